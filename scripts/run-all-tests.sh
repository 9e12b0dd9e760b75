#!/usr/bin/env bash
# Runs every test: native, under the sanitizers, and the Windows programs under Wine.
set -u
cd "$(dirname "$0")/.."
jobs=$(nproc)
status=0
run() {
  echo "=== $1"
  shift
  "$@" || status=1
}
run "native tests" bash -c "cd build/linux && ctest --output-on-failure -j $jobs"
run "sanitizer tests" bash -c "cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 ctest --output-on-failure -j $jobs"
run "Windows tests under Wine" bash scripts/wine-session.sh bash -c "cd build/windows && ctest --output-on-failure -j $jobs"
if [ $status -eq 0 ]; then echo "all test sets passed"; else echo "some tests failed"; fi
exit $status
