#!/usr/bin/env bash
# The thumbnailer through a real thumbnail service: the build is installed into a
# temporary prefix, whose share/ becomes the first XDG data directory of a private tumbler
# daemon on a private D-Bus session bus, with a private HOME and cache. Thumbnails are
# asked for over D-Bus as a file manager asks, in the normal and the large flavour;
# generated PE32, PE32+ and NE programs and a resource-only .mun module (whose type,
# having no name pattern, comes from its content) must get one in
# $XDG_CACHE_HOME/thumbnails/{normal,large}/<md5 of the file URI>.png (the program whose
# group holds a 256-pixel PNG at 128 and 256 pixels), and a program without icons none
# (tumbler reports it as failed). A shortcut in a Wine prefix gets the icon of the program
# it names, an installer package its own. The thumbnailer runs with its sandbox, as installed.
#
#   tumbler-check.sh BUILD_DIR SAMPLE_FILES_TOOL
# Exit status 77 (skipped) where tumbler or D-Bus cannot run.
set -euo pipefail

build=$1
samples_tool=$2
skip() { echo "SKIPPED: $*" >&2; exit 77; }

tumblerd=$(ls /usr/lib/*/tumbler-1/tumblerd /usr/libexec/tumbler-1/tumblerd 2>/dev/null | head -1 || true)
[ -n "$tumblerd" ] || skip "tumblerd not installed (Debian package tumbler)"
for tool in dbus-run-session dbus-monitor gdbus gio md5sum; do
  command -v "$tool" >/dev/null || skip "$tool not installed"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vexil-tumbler-XXXXXX")
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
mkdir -p "$work/files" "$work/home" "$work/cache" "$work/data"
"$samples_tool" "$work/files"

# Runs inside the private session bus.
cat >"$work/session.sh" <<'EOF'
#!/usr/bin/env bash
set -u
work=$1
tumblerd=$2
service=org.freedesktop.thumbnails.Thumbnailer1
path=/org/freedesktop/thumbnails/Thumbnailer1
"$tumblerd" >"$work/tumblerd.log" 2>&1 &
if ! gdbus wait --session --timeout 20 "$service" || ! kill -0 $! 2>/dev/null; then
  echo "tumblerd did not start on the session bus" >"$work/no-service"
  exit 0
fi
# The service sends its signals to the caller alone; a bus monitor sees them.
dbus-monitor --session "type='signal',interface='$service'" >"$work/signals.log" 2>&1 &
sleep 0.3
uris=() types=()
for f in noicons.exe pe32.exe pe32plus.dll ne.exe; do
  uris+=("'file://$work/files/$f'")
  types+=("'application/x-ms-dos-executable'")
done
# A shortcut inside a Wine prefix (its type from Vexil's own MIME definition, the one
# Debian 12 lacks) and an installer package.
uris+=("'file://$work/files/wine/drive_c/app.lnk'" "'file://$work/files/setup.msi'")
types+=("'application/x-ms-shortcut'" "'application/x-msi'")
# A file manager knows a .mun by its content alone.
mun_type=$(gio info -a standard::content-type "$work/files/imageres.dll.mun" | sed -n 's/^ *standard::content-type: //p')
uris+=("'file://$work/files/imageres.dll.mun'")
types+=("'${mun_type:-unknown}'")
list() { local IFS=,; echo "[$*]"; }
finished=0
for flavour in normal large; do
  gdbus call --session --dest "$service" --object-path "$path" --method "$service.Queue" \
    "$(list "${uris[@]}")" "$(list "${types[@]}")" "$flavour" default 0 >>"$work/queue.log" 2>&1 || exit 0
  finished=$((finished + 1))
  for _ in $(seq 1 300); do
    [ "$(grep -c 'member=Finished' "$work/signals.log")" -ge "$finished" ] && break
    sleep 0.1
  done
done
EOF
chmod +x "$work/session.sh"

# A failure of the bus itself is a machine that cannot run the service, not a fault.
env -i PATH="$work/prefix/bin:/usr/bin:/bin" HOME="$work/home" XDG_CACHE_HOME="$work/cache" \
  XDG_DATA_HOME="$work/data" XDG_DATA_DIRS="$work/prefix/share:/usr/local/share:/usr/share" \
  XDG_CONFIG_HOME="$work/home/.config" TMPDIR="$work" LANG=C.UTF-8 \
  dbus-run-session -- "$work/session.sh" "$work" "$tumblerd" >"$work/bus.log" 2>&1 ||
  skip "dbus-run-session could not run a session bus: $(tail -1 "$work/bus.log")"
if [ -f "$work/no-service" ]; then
  skip "$(cat "$work/no-service"): $(tail -3 "$work/tumblerd.log" 2>/dev/null | tr '\n' ' ')"
fi

failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
[ -s "$work/queue.log" ] && grep -q uint32 "$work/queue.log" || fail "Queue call failed: $(cat "$work/queue.log")"
[ "$(grep -c 'member=Finished' "$work/signals.log")" -ge 2 ] || fail "tumbler did not finish both requests within 30 s each"

thumbnail() { printf '%s' "file://$work/files/$1" | md5sum | cut -d' ' -f1 | sed "s|^|$work/cache/thumbnails/${2:-normal}/|; s|\$|.png|"; }
# A PNG's width, from its IHDR.
pngWidth() { od -An -tu1 -j16 -N4 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }'; }
for case in pe32.exe:normal:128 pe32.exe:large:256 pe32plus.dll:normal: ne.exe:normal: pe32plus.dll:large: \
            imageres.dll.mun:normal: wine/drive_c/app.lnk:normal:128 wine/drive_c/app.lnk:large:256 setup.msi:normal:48; do
  IFS=: read -r f flavour width <<<"$case"
  t=$(thumbnail "$f" "$flavour")
  if [ ! -f "$t" ]; then
    fail "$f: no $flavour thumbnail $t"
  elif [ "$(head -c 8 "$t" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    fail "$f: $t is not a PNG file"
  elif [ -n "$width" ] && [ "$(pngWidth "$t")" != "$width" ]; then
    fail "$f: the $flavour thumbnail is $(pngWidth "$t") pixels wide, not $width"
  else
    echo "ok: $f has its $flavour thumbnail${width:+ ($width pixels)}"
  fi
done
if [ -e "$(thumbnail noicons.exe)" ]; then
  fail "noicons.exe: a thumbnail was made for a program without icons"
elif ! grep -A3 'member=Error' "$work/signals.log" | grep -q "files/noicons.exe"; then
  fail "noicons.exe: tumbler did not report it as failed"
else
  echo "ok: noicons.exe has no thumbnail and was reported as failed"
fi

if [ "$failed" -ne 0 ]; then
  echo "--- signals" >&2; cat "$work/signals.log" >&2
  echo "--- tumblerd" >&2; tail -20 "$work/tumblerd.log" >&2
  exit 1
fi
