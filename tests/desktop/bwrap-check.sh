#!/usr/bin/env bash
# Runs the thumbnailer the way GNOME runs every thumbnailer: inside bubblewrap with only
# /usr (and the /lib, /lib64, /bin, /sbin links into it), a private /proc and /dev, every
# namespace unshared, no HOME, no display; the input bound read-only as
# /tmp/gnome-desktop-file-to-thumbnail.EXT (its own extension), an empty output folder at
# /tmp/out, and the thumbnailer itself bound read-only at a path of its own outside /usr.
# An installer package holds its icon and gets a thumbnail there; a shortcut cannot, as
# the file it names is not visible inside.
#   bwrap-check.sh THUMBNAILER SAMPLE_FILES_TOOL
# THUMBNAILER may be the packaged /usr/bin/vexil-thumbnailer, which is then run as it is
# installed (scripts/check-deb.sh does this).
# Exit 77 (skipped) with the reason where bwrap cannot run.
set -euo pipefail

thumbnailer=$1
samples_tool=$2

skip() { echo "SKIPPED: $*"; exit 77; }
command -v bwrap >/dev/null || skip "bwrap (Debian bubblewrap) is not installed"
bwrap --ro-bind / / --unshare-all --die-with-parent true 2>/dev/null ||
  skip "bwrap cannot create its namespaces here: $(bwrap --ro-bind / / --unshare-all true 2>&1 | head -1)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$samples_tool" "$work" >/dev/null

# The system's links into /usr, as GNOME makes them.
links=()
for dir in lib lib64 bin sbin; do
  if [ -L "/$dir" ]; then links+=(--symlink "$(readlink "/$dir")" "/$dir"); fi
done
inner=/usr/bin/vexil-thumbnailer
[ "$thumbnailer" = /usr/bin/vexil-thumbnailer ] || inner=/opt/vexil/vexil-thumbnailer

failures=0
for case in pe32.exe:128:0 pe32.exe:256:0 pe32plus.dll:256:0 ne.exe:128:0 icon.ico:128:0 noicons.exe:128:1 \
            setup.msi:128:0 wine/drive_c/app.lnk:128:1; do
  IFS=: read -r name size want <<<"$case"
  inside=/tmp/gnome-desktop-file-to-thumbnail.${name##*.}
  out=$work/out-${name//\//-}-$size
  mkdir "$out"
  bind=(--ro-bind "$thumbnailer" "$inner")
  [ "$inner" = /usr/bin/vexil-thumbnailer ] && bind=()
  status=0
  env -i PATH=/usr/bin:/bin bwrap --ro-bind /usr /usr "${links[@]}" --proc /proc --dev /dev \
    --unshare-all --die-with-parent --chdir / \
    --ro-bind "$work/$name" "$inside" \
    --bind "$out" /tmp/out "${bind[@]}" \
    "$inner" -s "$size" "$inside" /tmp/out/thumb.png \
    2>"$work/err" || status=$?
  made=no
  [ -s "$out/thumb.png" ] && [ "$(head -c 8 "$out/thumb.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] && made=yes
  if [ "$status" != "$want" ] || { [ "$want" = 0 ] && [ "$made" != yes ]; } || { [ "$want" != 0 ] && [ -e "$out/thumb.png" ]; }; then
    echo "FAIL: $name at $size: exit $status (wanted $want), thumbnail made: $made; stderr: $(cat "$work/err")"
    failures=$((failures + 1))
  else
    echo "ok: $name at $size: exit $status, thumbnail made: $made"
  fi
done
[ "$failures" = 0 ]
