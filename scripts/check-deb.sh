#!/usr/bin/env bash
# Builds the Debian package from build/ (made by ./test.sh), installs it with apt-get as a
# user would, and runs the installed programs from /usr/bin. It installs into the system,
# so it is not part of ./test.sh; CI runs it after the tests. The package is removed again
# at the end unless it was installed before.
#   scripts/check-deb.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
vexil_install "${VEXIL_PACKAGES[@]}" "${VEXIL_DEB_PACKAGES[@]}"

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
BUILD=build
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" -j2
rm -rf "$BUILD/package"
cpack --config "$BUILD/CPackConfig.cmake" -B "$BUILD/package" >/dev/null
debs=("$BUILD"/package/vexil_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "check-deb: no single vexil_*.deb in $BUILD/package" >&2; exit 1; }
deb=$(realpath "${debs[0]}")
echo "== $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

was_installed=no
dpkg-query -W -f='${Status}' vexil 2>/dev/null | grep -q 'install ok installed' && was_installed=yes
cleanup() {
  if [ "$was_installed" = no ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get remove -y -qq vexil >/dev/null || true
  fi
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "$deb" >/dev/null

failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
for f in /usr/bin/vexil /usr/bin/vexil-cli /usr/bin/vexil-thumbnailer /usr/share/applications/org.vexil.vexil.desktop \
         /usr/share/metainfo/org.vexil.vexil.metainfo.xml /usr/share/thumbnailers/vexil.thumbnailer \
         /usr/share/icons/hicolor/256x256/apps/org.vexil.vexil.png /usr/share/man/man1/vexil-thumbnailer.1; do
  [ -f "$f" ] || fail "$f not installed by the package"
done
for f in /usr/bin/vexil /usr/bin/vexil-cli /usr/bin/vexil-thumbnailer; do
  ! ldd "$f" | grep 'not found' >/dev/null || fail "$f: $(ldd "$f" | grep 'not found' | head -1)"
  # The archive library is loaded by the commands that read archives, not at every start.
  ! ldd "$f" | grep libarchive >/dev/null || fail "$f loads libarchive at start"
done
for f in /usr/bin/vexil-cli /usr/bin/vexil-thumbnailer; do
  ! ldd "$f" | grep 'libstdc++' >/dev/null || fail "$f loads the C++ runtime at start"
done

# grep reads the whole help: with -q it would stop early, and the writer's SIGPIPE would fail
# the pipeline under pipefail.
/usr/bin/vexil-cli --help | grep '^usage: vexil-cli' >/dev/null || fail "vexil-cli --help"
work=$(mktemp -d)
trap 'rm -rf "$work"; cleanup' EXIT
"$BUILD/tests/vexil_sample_files" "$work"
status=0
/usr/bin/vexil-thumbnailer 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "vexil-thumbnailer without arguments exits $status, not 2"
/usr/bin/vexil-thumbnailer -s 128 "$work/pe32.exe" "$work/thumb.png" || fail "vexil-thumbnailer on a program"
[ "$(head -c 8 "$work/thumb.png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  fail "vexil-thumbnailer wrote no PNG"
# The package's shortcut type, known once dpkg's trigger has rebuilt the MIME database, and
# the shortcut's thumbnail: the program it names.
if command -v gio >/dev/null; then
  type=$(gio info -a standard::content-type "$work/wine/drive_c/app.lnk" | sed -n 's/^ *standard::content-type: //p')
  [ "$type" = application/x-ms-shortcut ] || fail "an installed system calls a .lnk file '$type'"
fi
/usr/bin/vexil-thumbnailer -s 128 "$work/wine/drive_c/app.lnk" "$work/link.png" || fail "vexil-thumbnailer on a shortcut"
/usr/bin/vexil-cli count "$work/pe32.exe" | grep "^1"$'\t' >/dev/null || fail "vexil-cli count"
# A cursor pack as a .zip: the archive library the package depends on, loaded when needed.
"$BUILD/tests/vexil_sample_files" --cursor-pack "$work/pack"
(cd "$work/pack" && python3 -m zipfile -c ../pack.zip .)
/usr/bin/vexil-cli cursor-theme "$work/pack.zip" --name PackageProbe --prefix "$work/icons" >/dev/null 2>&1 &&
  [ -f "$work/icons/PackageProbe/cursors/left_ptr" ] || fail "vexil-cli cursor-theme from a .zip"
# Inside bubblewrap as GNOME runs thumbnailers (skipped, with the reason, where bwrap cannot run).
status=0
tests/desktop/bwrap-check.sh /usr/bin/vexil-thumbnailer "$BUILD/tests/vexil_sample_files" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || fail "vexil-thumbnailer under bwrap"

if [ "$failed" -ne 0 ]; then exit 1; fi
echo "== the package installs; vexil-cli and vexil-thumbnailer run from /usr/bin"
