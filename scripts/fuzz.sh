#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs each for SECONDS
# (default 60) on a copy of its seeds, so the committed seeds never change. Fails on any crash,
# leak, time-out or sanitizer report; the input that caused it is kept in build-fuzz/fuzz-runs/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
case "$seconds" in
  ''|*[!0-9]*|0) echo "usage: $0 [SECONDS]  (a whole number above 0)" >&2; exit 2 ;;
esac
bash scripts/setup.sh

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DZYVORA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZYVORA_GUI=OFF -DZYVORA_TESTS=OFF -DZYVORA_BENCH=OFF >/dev/null
ninja -C build-fuzz -j2 zyvora-fuzz

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

targets=(image_decode settingsfile_read intparse codecs device_link settingsfile_roundtrip)
failed=()
for target in "${targets[@]}"; do
  work="build-fuzz/fuzz-runs/$target"
  rm -rf "$work"
  mkdir -p "$work"
  cp -R "fuzz/corpus/$target" "$work/corpus"
  options=(-max_total_time="$seconds" -timeout=10 -detect_leaks=1 -print_final_stats=1
           -artifact_prefix="$work/")
  # The dictionary holds settings-file words; only the target whose input is a file takes it.
  [ "$target" = settingsfile_read ] && options+=(-dict=build-fuzz/fuzz/settingsfile.dict)
  status=0
  "build-fuzz/fuzz/$target" "${options[@]}" "$work/corpus" </dev/null >"$work/log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  # A run that stopped early prints no final statistics; its last status line counts instead.
  [ -n "$executions" ] || executions=$(sed -n 's/^#\([0-9][0-9]*\).*/\1/p' "$work/log" | tail -n 1)
  # A sanitizer report that did not stop the run still fails it.
  if [ "$status" -ne 0 ] || grep -qE "runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer" "$work/log"; then
    echo "$target: FAILED after ${executions:-?} executions (exit status $status); log: $work/log"
    grep -E "property failed|ERROR:|SUMMARY:|runtime error:|Test unit written" "$work/log" | head -n 10 >&2 || true
    failed+=("$target")
  else
    echo "$target: ${executions:-?} executions in ${seconds} s, no fault"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
echo "Fuzzing found no fault."
