#!/usr/bin/env bash
# Installs the Debian packages Vexil needs to build, test and run, when any is missing.
# Sourced by run.sh and test.sh. Uses sudo when not root. A second run installs nothing.
set -euo pipefail

VEXIL_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libpng-dev libdeflate-dev libjpeg-dev libseccomp-dev libxcursor-dev libarchive-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic qt6-translations-l10n
  tumbler dbus-daemon dbus-bin libglib2.0-bin shared-mime-info
  desktop-file-utils appstream groff-base
  xvfb xdotool xclip at-spi2-core python3-pyatspi python3-gi
  bubblewrap
  qt6-wayland qt6-gtk-platformtheme
  adwaita-icon-theme
  sway
  x11-xserver-utils libxfixes-dev
)
# libdeflate-dev: PNG image data is inflated and deflated through libdeflate, which is quicker
# than zlib (libpng still reads the PNG images that are not 8-bit RGBA).
# libxcursor-dev: the tests read the Xcursor files vexil-cli writes back with libXcursor's
# loader (vexil-cli writes them itself and does not link it).
# libarchive-dev: Windows cursor packs are downloaded as .zip, .7z and .rar archives, which
# the cursor theme builder reads in memory through libarchive (nothing is unpacked to disk).
# qt6-translations-l10n brings qtbase_ja.qm, Qt's own texts (file dialog, buttons) in
# Japanese. tumbler (the XFCE thumbnail service), dbus-daemon (dbus-run-session), dbus-bin
# (dbus-monitor) and libglib2.0-bin (gdbus, gio) run the thumbnailer through a real thumbnail
# service in the tests; shared-mime-info (update-mime-database, and the database gio reads)
# lets the install tests check the shortcut type Vexil installs; desktop-file-utils, appstream and groff-base validate the installed
# desktop entry, metainfo and man pages. xvfb, xdotool, xclip, at-spi2-core and
# python3-pyatspi run the real program on an X server and read its texts back; python3-gi
# runs the window test's stand-in for the desktop portal on the session bus.
# libseccomp-dev builds the thumbnailer's seccomp filter; bubblewrap runs the thumbnailer
# in the sandbox GNOME puts every thumbnailer in. qt6-wayland lets the window open on a
# Wayland session; qt6-gtk-platformtheme is there for the window test to prove that the GTK
# theme a GNOME desktop would give Qt is never loaded.
# adwaita-icon-theme: the cursor themes made from Windows cursor packs inherit Adwaita, and
# the tests check the table of cursor names against the names it installs.
# sway: the tests only: a Wayland compositor whose headless backend (no GPU, pixman
# rendering) shows the window's app_id (sway_app_id).
# x11-xserver-utils (xsetroot) and libxfixes-dev: the x11_cursor test sets the root window's
# cursor from a theme vexil-cli made and reads the cursor the X server shows back (XFIXES).
# Extra packages for building and checking the Debian package (scripts/check-deb.sh):
# dpkg-shlibdeps finds the package's dependencies, and CPack needs `file` for it.
VEXIL_DEB_PACKAGES=(dpkg-dev file)
# Extra packages for the fuzzers, installed by `./test.sh --fuzz` only: clang (clang-14 on
# Debian 12) and libclang-rt-dev, which brings libclang-rt-14-dev with libFuzzer and the
# sanitizer runtimes.
VEXIL_FUZZ_PACKAGES=(clang libclang-rt-dev)
# Extra packages for the benchmarks only: icoextract and the imaging library it needs are
# the peer the thumbnailer and `extract --format png` are timed beside
# (bench/ThumbnailerBench.cpp, bench/ExtractRunBench.cpp); eatmydata runs `extract` with
# flushing turned off, the floor its durable writes are measured against.
VEXIL_BENCH_PACKAGES=(icoextract python3-pil eatmydata)

vexil_missing_packages() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  echo "${missing[@]:-}"
}

vexil_install() {
  local missing
  missing=$(vexil_missing_packages "$@")
  [ -z "$missing" ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: $missing" >&2
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  # shellcheck disable=SC2086
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends $missing >/dev/null
}
