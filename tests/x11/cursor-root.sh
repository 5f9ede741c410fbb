#!/usr/bin/env bash
# A cursor theme made by `vexil-cli cursor-theme` as a real X server shows it: a pack made by
# code becomes the theme Probe, `xsetroot -cursor_name left_ptr` sets the root window's cursor
# from it (XCURSOR_THEME and XCURSOR_PATH naming it, as a desktop session would), and the
# cursor the server then shows is read back and compared with the theme's left_ptr.
#   cursor-root.sh VEXIL_CLI SAMPLE_FILES CURSOR_ROOT
# Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb or xsetroot here).
set -u
cli=$1 samples=$2 root=$3
for tool in Xvfb xsetroot; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

"$samples" --cursor-pack "$work/pack" >/dev/null || { echo "the pack cannot be written"; exit 1; }
"$cli" cursor-theme "$work/pack" --prefix "$work/icons" --name Probe >/dev/null || exit 1

# -noreset: xsetroot is the only client, and a reset when it leaves would give the root window
# its default cursor again.
Xvfb -displayfd 3 -noreset -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "skipped: Xvfb cannot start here"; exit 77; }
export DISPLAY=:$(head -n1 "$work/display")
arrow=$work/icons/Probe/cursors/left_ptr

# The server's own cursor first: the comparison tells them apart.
"$root" "$arrow" 32 2>/dev/null
case $? in
  0) echo "the server's cursor is the theme's before the theme was set"; exit 1 ;;
  77) echo "skipped: the X server has no XFIXES extension"; exit 77 ;;
esac
XCURSOR_THEME=Probe XCURSOR_PATH=$work/icons XCURSOR_SIZE=32 xsetroot -cursor_name left_ptr || exit 1
"$root" "$arrow" 32 || exit 1
echo "the root window shows the theme's left_ptr"
