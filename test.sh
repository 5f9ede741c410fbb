#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh                         the normal build and all tests
#   ./test.sh --asan                  the same under AddressSanitizer and UndefinedBehaviorSanitizer;
#                                     leaks count as failures
#   ./test.sh --fuzz SECONDS [NAME...] builds the libFuzzer harnesses with clang and runs each
#                                     (or the named ones: pe_resources, ico_read, ...) for SECONDS;
#                                     any crash, leak, timeout or memory blow-up fails
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh

mode=normal
fuzz_seconds=0
fuzz_names=()
while [ $# -gt 0 ]; do
  case "$1" in
    --asan) mode=asan ;;
    --fuzz)
      mode=fuzz
      if [ $# -lt 2 ] || ! [[ "$2" =~ ^[0-9]+$ ]] || [ "$2" -eq 0 ]; then
        echo "--fuzz needs a number of seconds per harness" >&2; exit 2
      fi
      fuzz_seconds=$2
      shift ;;
    *)
      if [ "$mode" = fuzz ] && [[ "$1" =~ ^[a-z_]+$ ]]; then
        fuzz_names+=("$1")
      else
        echo "unknown option: $1" >&2; exit 2
      fi ;;
  esac
  shift
done

vexil_install "${VEXIL_PACKAGES[@]}"

case "$mode" in
  normal)
    BUILD=build
    CONFIG=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan)
    BUILD=build-asan
    CONFIG=(-DCMAKE_BUILD_TYPE=Debug -DVEXIL_SANITIZE=ON)
    # Leaks fail the run. The suppression file names third-party libraries only.
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ;;
  fuzz)
    vexil_install "${VEXIL_FUZZ_PACKAGES[@]}"
    BUILD=build-fuzz
    export CC=clang CXX=clang++
    CONFIG=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXIL_GUI=OFF -DVEXIL_TESTS=OFF -DVEXIL_FUZZ=ON) ;;
esac

# VEXIL_WERROR=1 (set by CI) makes every compiler warning an error; the build directory
# is configured again whenever that setting changes.
werror=OFF
[ "${VEXIL_WERROR:-0}" = 1 ] && werror=ON
CONFIG+=(-DVEXIL_WERROR=$werror)
if [ ! -f "$BUILD/build.ninja" ] || ! grep -q "^VEXIL_WERROR:BOOL=$werror\$" "$BUILD/CMakeCache.txt"; then
  cmake -S . -B "$BUILD" -G Ninja "${CONFIG[@]}" >/dev/null
fi

if [ "$mode" != fuzz ]; then
  cmake --build "$BUILD" -j2
  ctest --test-dir "$BUILD" --output-on-failure
  exit 0
fi

# Fuzzing: the harnesses with the longest input each may take (enough for the seeds and
# for directories, tables and images well past them). The readers of whole icon sets get
# room for directories of 65,535 entries over one large image, and memory limits that
# catch a set growing past its file: one allocation may hold the largest decoded image
# (4096 x 4096 pixels, 64 MiB), the process a few hundred MiB besides the sanitizers'.
declare -A MAX_LEN=(
  [pe_resources]=32768 [ne_resources]=32768 [ico_read]=1048576 [icon_groups]=1048576
  [dib_decode]=16384 [png_decode]=16384 [icon_extract]=32768
  [cursor_read]=1048576 [cursor_groups]=1048576 [ani_read]=1048576 [inf_read]=65536 [cursor_pack]=262144
  [lnk_read]=16384 [ini_read]=8192 [msi_read]=262144 [reg_read]=65536
)
declare -A MEMORY=(
  [ico_read]="-malloc_limit_mb=80 -rss_limit_mb=512" [icon_groups]="-malloc_limit_mb=80 -rss_limit_mb=512"
  [cursor_read]="-malloc_limit_mb=80 -rss_limit_mb=512" [cursor_groups]="-malloc_limit_mb=80 -rss_limit_mb=512"
  [ani_read]="-malloc_limit_mb=80 -rss_limit_mb=512" [cursor_pack]="-malloc_limit_mb=300 -rss_limit_mb=1024"
  [lnk_read]="-malloc_limit_mb=16 -rss_limit_mb=512" [ini_read]="-malloc_limit_mb=16 -rss_limit_mb=512"
  [msi_read]="-malloc_limit_mb=16 -rss_limit_mb=512" [reg_read]="-malloc_limit_mb=16 -rss_limit_mb=512"
)
if [ ${#fuzz_names[@]} -eq 0 ]; then
  fuzz_names=(pe_resources ne_resources ico_read icon_groups dib_decode png_decode icon_extract
              cursor_read cursor_groups ani_read inf_read cursor_pack lnk_read ini_read msi_read reg_read)
fi
for name in "${fuzz_names[@]}"; do
  [ -n "${MAX_LEN[$name]:-}" ] || { echo "unknown harness: $name" >&2; exit 2; }
done

cmake --build "$BUILD" --target fuzzers -j2
# Seeds are made fresh from the fixture code; the corpora grow across runs.
rm -rf "$BUILD/seeds"
"$BUILD/fuzz/fuzz_seeds" "$BUILD/seeds"
mkdir -p "$BUILD/artifacts" "$BUILD/logs"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

failed=0
passed=0
for name in "${fuzz_names[@]}"; do
  corpus="$BUILD/corpus/$name"
  log="$BUILD/logs/$name.log"
  mkdir -p "$corpus"
  status=0
  "$BUILD/fuzz/fuzz_$name" "$corpus" "$BUILD/seeds/$name" \
    -max_total_time="$fuzz_seconds" -max_len="${MAX_LEN[$name]}" ${MEMORY[$name]:--rss_limit_mb=1024} -timeout=10 \
    -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$BUILD/artifacts/$name-" >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  done_line=$(grep -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -1 | sed -E 's/^#[0-9]+[[:space:]]+[A-Z]+[[:space:]]+//; s/[[:space:]]+exec.*//' || true)
  if [ "$status" -ne 0 ]; then
    echo "fuzz_$name: FAILED (exit $status); see $log and $BUILD/artifacts/" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|fuzz property failed)' "$log" | head -5 >&2 || true
    failed=$((failed + 1))
  else
    echo "fuzz_$name: ${execs:-?} runs in ${fuzz_seconds}s, ${done_line:-no stats}"
    passed=$((passed + 1))
  fi
done
echo "fuzzing: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
