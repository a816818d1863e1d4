#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in their own build folder and runs each one
# for a bounded time over a seed corpus built at run time. Exits non-zero when a target crashes,
# leaks or times out; exits 0 with a "skipped" line when clang or its fuzzer runtime is missing.
#
#   FUZZ_SECONDS  time per target (default 30)
#   FUZZ_BUILD    build folder (default build-fuzz)
#   FUZZ_TARGETS  names to run, e.g. "fuzz_sentence" (default: every fuzz/fuzz_*.cpp)
#   JOBS          build jobs, and targets run side by side (default 2)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${FUZZ_BUILD:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-30}
jobs=${JOBS:-2}

cxx=${FUZZ_CXX:-}
if [ -z "$cxx" ]; then
  cxx=$(command -v clang++-14 || command -v clang++ || true)
fi
if [ -z "$cxx" ]; then
  echo "fuzz.sh: skipped: clang not available"
  exit 0
fi
probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
printf '%s\n' '#include <cstdint>' '#include <cstddef>' \
  'extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }' \
  > "$probe_dir/probe.cpp"
if ! "$cxx" -fsanitize=fuzzer,address,undefined "$probe_dir/probe.cpp" -o "$probe_dir/probe" \
     >/dev/null 2>&1; then
  echo "fuzz.sh: skipped: clang not available with its fuzzer runtime ($cxx)"
  exit 0
fi

echo "fuzz.sh: building with $cxx in $build"
mkdir -p "$build"
# ccache, as the main build uses it: a second run, or another checkout's, compiles nothing again.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if ! cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
     "${launcher[@]}" >"$build/configure.log" 2>&1; then
  cat "$build/configure.log"
  echo "fuzz.sh: FAILED to configure"
  exit 1
fi
if ! cmake --build "$build" -j "$jobs"; then
  echo "fuzz.sh: FAILED to build"
  exit 1
fi

seeds=$build/seeds
rm -rf "$seeds"
if ! "$build/make_seeds" "$seeds"; then
  echo "fuzz.sh: FAILED to write the seed corpora"
  exit 1
fi
# The language-table parser starts from the shipped tables.
mkdir -p "$seeds/fuzz_langtable"
cp common/text/*.ini "$seeds/fuzz_langtable/"

targets=${FUZZ_TARGETS:-}
if [ -z "$targets" ]; then
  for source in fuzz/fuzz_*.cpp; do
    targets+=" $(basename "$source" .cpp)"
  done
fi

# One target's run; its exit code goes to a file, its output to its log.
run_target() {
  local name=$1
  local corpus=$build/corpus/$name artifacts=$build/artifacts/$name
  mkdir -p "$corpus" "$artifacts" "$seeds/$name"
  local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384
              -print_final_stats=1 -artifact_prefix="$artifacts/")
  if [ -f "fuzz/$name.dict" ]; then
    args+=(-dict="fuzz/$name.dict")
  fi
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    "$build/$name" "${args[@]}" "$corpus" "$seeds/$name" >"$build/$name.log" 2>&1
  echo $? >"$build/$name.rc"
}

# Each target runs single-threaded for its whole time: JOBS of them run side by side, so that
# every core fuzzes (each target still gets its full time).
echo "fuzz.sh: ${seconds}s per target, $jobs at a time"
running=0
for name in $targets; do
  rm -f "$build/$name.rc"
  run_target "$name" &
  running=$((running + 1))
  if [ $running -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

status=0
for name in $targets; do
  echo "== $name: ${seconds}s =="
  log=$build/$name.log
  rc=$(cat "$build/$name.rc" 2>/dev/null || echo 1)
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|Done [0-9]+ runs)' "$log" | tail -2
  if [ "$rc" -ne 0 ]; then
    tail -40 "$log"
    echo "fuzz.sh: $name FAILED (exit $rc); inputs in $build/artifacts/$name"
    status=1
  fi
done

if [ $status -eq 0 ]; then
  echo "fuzz.sh: all targets ran clean"
fi
exit $status
