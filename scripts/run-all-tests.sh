#!/usr/bin/env bash
# Runs every test: native, under the sanitizers, and the Windows programs under Wine.
set -u
cd "$(dirname "$0")/.."
jobs=$(nproc)
status=0
passed=0
failed=0
log="$(mktemp)"
run() {
  local title="$1"
  shift
  echo "=== $title"
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  [ "$rc" -eq 0 ] || status=1
  # ctest's summary: "NN% tests passed, F tests failed out of T"
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  if [ -n "$line" ]; then
    local f t
    f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + t - f))
    failed=$((failed + f))
  elif [ "$rc" -ne 0 ]; then
    failed=$((failed + 1))
  fi
}
run "native tests" bash -c "cd build/linux && ctest --output-on-failure -j $jobs"
run "sanitizer tests" bash -c "cd build/asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $jobs"
run "Windows tests under Wine" bash scripts/wine-session.sh bash -c "cd build/windows && ctest --output-on-failure -j $jobs"
rm -f "$log"
# The figures the fault and crash tests print (CTest keeps every test's output).
for b in linux asan; do
  grep -h -o -E '(faults injected|crash trials): .*' "build/$b/Testing/Temporary/LastTest.log" 2>/dev/null | sed "s/^/[$b] /"
done
echo
echo "total: $passed passed, $failed failed"
exit $status
