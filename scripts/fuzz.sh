#!/usr/bin/env bash
# Builds the libFuzzer targets in build/fuzz (clang, ASan, UBSan) and runs each for
# FUZZ_SECONDS (default 60), one after the other on one core. Prints the executions and the
# findings of each target. Corpora grow in build/fuzz/corpus/<target> from run to run;
# findings land in build/fuzz/findings/<target>.
#   FUZZ_TARGETS="fuzz_a fuzz_b"  runs only those.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${FUZZ_SECONDS:-60}
build=build/fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined -g -O1"
cmake -S . -B $build -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DROWCASTER_FUZZ=ON "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" >/dev/null || exit 1
cmake --build $build -j 2 --target fuzzers >/dev/null || { cmake --build $build -j 1 --target fuzzers; exit 1; }

targets=${FUZZ_TARGETS:-$(cd $build/bin && ls fuzz_* 2>/dev/null | tr '\n' ' ')}
bash tests/fuzz/make_seeds.sh "$build/seeds" >/dev/null 2>&1 || echo "warning: seeds incomplete"

status=0
summary=()
for t in $targets; do
  corpus=$build/corpus/$t
  findings=$build/findings/$t
  mkdir -p "$corpus" "$findings"
  [ -d "$build/seeds/$t" ] && seeds="$build/seeds/$t" || seeds=""
  before=$(ls "$findings" | wc -l)
  log=$build/$t.log
  # The text helpers walk from the start of the text for each answer: keep their inputs short.
  case $t in
    fuzz_sjis_text) maxlen=4096 ;;
    *) maxlen=65536 ;;
  esac
  echo "=== $t ($seconds s)"
  started=$SECONDS
  # -fork would fan out; one process on one core keeps the machine usable for others.
  # A copy runs, so that a rebuild meanwhile does not touch the program in use.
  mkdir -p $build/run && cp "$build/bin/$t" "$build/run/$t"
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/run/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=$maxlen \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" $seeds >"$log" 2>&1
  rc=$?
  took=$((SECONDS - started))
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  [ -n "$runs" ] || runs=$(grep -oE 'Done [0-9]+ runs' "$log" | awk '{print $2}')
  after=$(ls "$findings" | wc -l)
  new=$((after - before))
  if [ $rc -ne 0 ] || [ $new -gt 0 ]; then
    status=1
    grep -E 'ERROR|property broken|SUMMARY|Test unit written' "$log" | head -n 8
  fi
  line="$t: ${runs:-0} executions in $took s, $new new finding(s), corpus $(ls "$corpus" | wc -l) inputs, exit $rc"
  echo "$line"
  summary+=("$line")
  echo "$(date -u +%FT%TZ) $line" >>$build/history.txt
done
echo
echo "fuzz summary:"
printf '  %s\n' "${summary[@]}"
exit $status
