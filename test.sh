#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh            the normal build and all tests
#   ./test.sh --asan     the same under AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
vexil_install "${VEXIL_PACKAGES[@]}"

mode=normal
while [ $# -gt 0 ]; do
  case "$1" in
    --asan) mode=asan ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
  shift
done

case "$mode" in
  normal)
    BUILD=build
    CONFIG=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)
    BUILD=build-asan
    CONFIG=(-DCMAKE_BUILD_TYPE=Debug -DVEXIL_SANITIZE=ON)
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ;;
esac

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja "${CONFIG[@]}" >/dev/null
fi
cmake --build "$BUILD" -j2
ctest --test-dir "$BUILD" --output-on-failure
