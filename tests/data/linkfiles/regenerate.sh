#!/usr/bin/env bash
# Makes the files of this folder with real writers: shortcuts saved by Wine's own shell
# link object (mklinks.c, built with mingw-w64 and run in a throw-away Wine prefix) and an
# installer package built by wixl (package.wxs, with two icons made here), and that
# package's icon streams as msidump extracts them (Icon/).
#   regenerate.sh            writes the files into this folder
#   regenerate.sh --check    makes them in a temporary folder and compares them with the
#                            files here: the shortcuts byte for byte, the package by its
#                            tables and streams (its summary holds a fresh id and the time)
# Exit status 77 (skipped) where Wine, the mingw-w64 compiler or msitools is missing. No
# network is used; the prefix lives in a temporary folder and is removed afterwards.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
check=0
[ "${1:-}" = --check ] && check=1
for tool in wine wineboot wineserver x86_64-w64-mingw32-gcc wixl msidump python3; do
  command -v "$tool" >/dev/null || { echo "regenerate.sh: $tool is missing, skipped" >&2; exit 77; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vexil-linkfiles.XXXXXX")
export WINEPREFIX="$work/prefix"
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
out="$work/out"
mkdir -p "$out"

# The package's icons: a 16-pixel 4-bit image (in the mini stream) and a 32-pixel 32-bit
# one (past the 4096-byte cutoff, in regular sectors).
python3 - "$work" <<'PY'
import struct, sys
def ico(size, bpp):
    if bpp == 32:
        pal = b''
        pixels = b''.join(struct.pack('<BBBB', (x * 8) & 255, (y * 8) & 255, 128, 255) for y in range(size) for x in range(size))
    else:
        pal = b''.join(struct.pack('<BBBB', i * 16, 255 - i * 16, (i * 64) & 255, 0) for i in range(16))
        row = ((size * 4 + 31) // 32) * 4
        pixels = b''.join(bytes((((x + y) % 16) << 4) | ((x + 1 + y) % 16) for x in range(0, size, 2)).ljust(row, b'\0') for y in range(size))
    mask = bytes(((size + 31) // 32) * 4 * size)
    image = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, bpp, 0, len(pixels) + len(mask), 0, 0, 0, 0) + pal + pixels + mask
    return struct.pack('<HHHBBBBHHII', 0, 1, 1, size, size, 16 if bpp == 4 else 0, 0, 1, bpp, len(image), 22) + image
open(sys.argv[1] + '/small.ico', 'wb').write(ico(16, 4))
open(sys.argv[1] + '/large.ico', 'wb').write(ico(32, 32))
PY
(cd "$work" && wixl -o "$out/package.msi" "$here/package.wxs")

# The shortcuts: targets made in a new prefix, with fixed times (the ID list keeps the
# dates of the target and its folders), saved by mklinks.exe.
x86_64-w64-mingw32-gcc -O2 -municode -o "$work/mklinks.exe" "$here/mklinks.c" -lole32 -luuid
timeout 600 wineboot -i >/dev/null 2>&1
wineserver -w
c="$WINEPREFIX/drive_c"
game="$c/Program Files/Vexil Test"
mkdir -p "$game/Spiél" "$game/links" "$c/out"
for f in game.exe tool.exe icons.dll "Spiél/ゲーム.exe"; do printf 'MZ' >"$game/$f"; done
# Access times in the future: a relatime mount leaves them alone when the folders are read
# (an access time before the change time would be renewed).
find "$c/Program Files" -exec touch -m -d '2024-01-02 03:04:06' {} + -exec touch -a -d '2037-01-02 03:04:06' {} +
timeout 300 wine "$work/mklinks.exe" 'C:\out' >/dev/null
wineserver -w
cp "$c/out/"*.lnk "$out/"

if [ "$check" = 0 ]; then
  cp "$out/"* "$here/"
  # The package's icon streams as msidump reads them, for the tests to compare with.
  mkdir -p "$work/streams" "$here/Icon"
  msidump -s -d "$work/streams" "$here/package.msi" >/dev/null
  cp "$work/streams/_Streams/Icon."* "$here/Icon/"
  echo "regenerate.sh: wrote $(cd "$out" && echo *) into $here"
  exit 0
fi

status=0
for f in "$out/"*.lnk; do
  cmp "$f" "$here/$(basename "$f")" || status=1
done
# The package's tables and streams, without its summary (a fresh revision id and the time).
for side in new old; do
  msi="$out/package.msi"
  [ "$side" = old ] && msi="$here/package.msi"
  mkdir -p "$work/dump-$side"
  msidump -t -s -d "$work/dump-$side" "$msi" >/dev/null
  rm -f "$work/dump-$side/_SummaryInformation.idt" "$work/dump-$side/_Streams/"*SummaryInformation
done
diff -r "$work/dump-new" "$work/dump-old" || status=1
[ "$status" = 0 ] && echo "regenerate.sh: the writers still make the files of $here"
exit "$status"
