#!/usr/bin/env bash
# `cmake --install` into a fresh temporary prefix: every file is there, and each passes its
# validator (desktop-file-validate with no output at all, appstreamcli validate, man pages
# without groff warnings, icons of the size their folder names). Where python3 is present,
# the committed icons are also compared with what tools/make_glyphs.py draws now.
#
#   install-check.sh BUILD_DIR SOURCE_DIR gui|nogui
# Exit status 77 (skipped) where a validator is not installed.
set -euo pipefail

build=$1
source=$2
gui=$3
skip() { echo "SKIPPED: $*" >&2; exit 77; }
for tool in desktop-file-validate appstreamcli groff; do
  command -v "$tool" >/dev/null || skip "$tool not installed"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vexil-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

id=org.vexil.vexil
sizes="16 32 48 128 256"
expected="bin/vexil-cli bin/vexil-thumbnailer share/thumbnailers/vexil.thumbnailer share/mime/packages/org.vexil.vexil.xml
  share/man/man1/vexil-cli.1 share/man/man1/vexil-thumbnailer.1"
if [ "$gui" = gui ]; then
  expected+=" bin/vexil share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/man/man1/vexil.1"
  for s in $sizes; do expected+=" share/icons/hicolor/${s}x${s}/apps/$id.png"; done
fi
for f in $expected; do
  [ -f "$prefix/$f" ] || fail "$f not installed"
done
for f in vexil vexil-cli vexil-thumbnailer; do
  [ ! -e "$prefix/bin/$f" ] || [ -x "$prefix/bin/$f" ] || fail "bin/$f is not executable"
done

if [ "$gui" = gui ]; then
  out=$(desktop-file-validate "$prefix/share/applications/$id.desktop" 2>&1) || fail "desktop-file-validate failed"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
  appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/appstream.log")"
  # The metainfo names the desktop entry it launches and the programs it provides.
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo does not launch $id.desktop"
  grep -q "^Icon=$id\$" "$prefix/share/applications/$id.desktop" || fail "the desktop entry's Icon is not $id"
  # The menu entry opens the file it is given, and offers itself for Windows programs, DLLs,
  # 16-bit modules and icon files.
  grep -q '^Exec=vexil %f$' "$prefix/share/applications/$id.desktop" || fail "the desktop entry's Exec is not 'vexil %f'"
  for type in application/x-ms-dos-executable application/x-msdownload application/vnd.microsoft.portable-executable \
              application/x-ms-ne-executable application/x-dosexec image/vnd.microsoft.icon; do
    grep -q "^MimeType=.*$type;" "$prefix/share/applications/$id.desktop" || fail "the desktop entry's MimeType lacks $type"
  done

  # Width and height from each PNG's IHDR.
  for s in $sizes; do
    png=$prefix/share/icons/hicolor/${s}x${s}/apps/$id.png
    [ -f "$png" ] || continue
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$w $h" = "$s $s" ] || fail "icon ${s}x${s} is $w x $h"
  done
fi

# The thumbnailer entry: the freedesktop keys, a command that exists in the prefix, and the
# MIME types Windows programs get on Debian 12 and elsewhere.
entry=$prefix/share/thumbnailers/vexil.thumbnailer
if [ -f "$entry" ]; then
  [ "$(head -1 "$entry")" = "[Thumbnailer Entry]" ] || fail "vexil.thumbnailer: no [Thumbnailer Entry] group"
  try=$(sed -n 's/^TryExec=//p' "$entry")
  [ -x "$prefix/bin/$try" ] || fail "vexil.thumbnailer: TryExec $try is not an installed program"
  grep -q '^Exec=vexil-thumbnailer -s %s %i %o$' "$entry" || fail "vexil.thumbnailer: unexpected Exec line"
  for type in application/x-ms-dos-executable application/x-msdownload application/vnd.microsoft.portable-executable \
              application/x-ms-ne-executable application/x-dosexec application/x-ms-dll image/vnd.microsoft.icon \
              image/x-win-bitmap application/x-navi-animation application/x-ms-shortcut application/x-mswinurl \
              application/x-msi; do
    grep -q "^MimeType=.*$type;" "$entry" || fail "vexil.thumbnailer: MimeType lacks $type"
  done
fi

# The shortcut type: installed, and (the install rebuilt the prefix's MIME database) given to
# a .lnk file by its name and to a shell link by its header alone.
mime_package=$prefix/share/mime/packages/$id.xml
[ -f "$mime_package" ] || fail "share/mime/packages/$id.xml not installed"
if command -v gio >/dev/null && command -v update-mime-database >/dev/null; then
  [ -f "$prefix/share/mime/mime.cache" ] || fail "the install did not rebuild share/mime"
  printf 'L\0\0\0\001\024\002\0\0\0\0\0\300\0\0\0\0\0\0F' >"$work/header-only"
  head -c 76 /dev/zero >>"$work/header-only"
  cp "$work/header-only" "$work/named.lnk"
  for f in header-only named.lnk; do
    type=$(XDG_DATA_HOME=$work/none XDG_DATA_DIRS=$prefix/share:/usr/share gio info -a standard::content-type "$work/$f" |
           sed -n 's/^ *standard::content-type: //p')
    [ "$type" = application/x-ms-shortcut ] || fail "$f is '$type', not application/x-ms-shortcut"
  done
fi

# One version everywhere: the project's, in the metainfo's release and every man page.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
if [ "$gui" = gui ]; then
  grep -q "<release version=\"$version\"" "$prefix/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo's release is not $version"
fi
for page in "$prefix"/share/man/man1/*.1; do
  head -1 "$page" | grep -q "\"Vexil $version\"" || fail "$(basename "$page") does not say Vexil $version"
done

for page in "$prefix"/share/man/man1/*.1; do
  warnings=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# The committed icons are the generator's output.
if command -v python3 >/dev/null; then
  mkdir -p "$work/gen/tools"
  cp "$source/tools/make_glyphs.py" "$work/gen/tools/"
  python3 "$work/gen/tools/make_glyphs.py"
  for s in $sizes; do
    cmp -s "$work/gen/res/icons/hicolor/${s}x${s}/apps/$id.png" "$source/res/icons/hicolor/${s}x${s}/apps/$id.png" ||
      fail "res/icons/hicolor/${s}x${s}/apps/$id.png differs from what tools/make_glyphs.py draws"
  done
  for bmp in "$work"/gen/res/glyphs/*.bmp; do
    cmp -s "$bmp" "$source/res/glyphs/$(basename "$bmp")" || fail "res/glyphs/$(basename "$bmp") differs from the generator's"
  done
fi

[ "$failed" -eq 0 ] && echo "ok: $(find "$prefix" -type f | wc -l) files installed, each valid"
exit "$failed"
