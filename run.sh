#!/usr/bin/env bash
# Builds Vexil when needed and starts it. Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
vexil_install "${VEXIL_PACKAGES[@]}"

BUILD=build
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" -j2

if [ -x "$BUILD/src/app/vexil" ]; then
  exec "$BUILD/src/app/vexil" "$@"
fi
exec "$BUILD/src/cli/vexil-cli" --help
