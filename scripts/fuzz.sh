#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) into
# BUILD_DIR and runs each for SECONDS seconds from its seed corpus fuzz/corpus/<target>/.
# Fails on any crash, leak, timeout or out-of-memory; the input that caused it is kept in
# BUILD_DIR/artifacts/. Prints executions per second per target at the end.
#   bash scripts/fuzz.sh [BUILD_DIR [SECONDS]]        (defaults: build-fuzz, 30)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
seconds=${2:-30}

# clang-14 and libclang-rt-14-dev (libFuzzer) come with the set-up.
bash scripts/setup.sh >/dev/null

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
      -DVEXORA_FUZZ=ON -DVEXORA_BUILD_TESTS=OFF -DVEXORA_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
targets=()
for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$build/artifacts"
summary=()
failed=0
for t in "${targets[@]}"; do
  # libFuzzer adds what it finds to the first corpus folder: a scratch copy, so the
  # committed seeds stay as they are.
  work="$build/corpus/$t"
  rm -rf "$work"; mkdir -p "$work"
  [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$work/"
  log="$build/$t.log"
  echo "== $t: ${seconds}s from $(ls "$work" | wc -l) seeds"
  rc=0
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" "$work" >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  summary+=("$(printf '%-20s %10s runs %8s exec/s  exit %d' "$t" "${runs:-?}" "${rate:-?}" "$rc")")
  if [ "$rc" -ne 0 ]; then
    failed=1
    echo "!! $t failed (exit $rc); its output ($log) ends:"
    tail -40 "$log"
  fi
done
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
  echo "fuzz: a target failed; inputs in $build/artifacts/" >&2
  exit 1
fi
