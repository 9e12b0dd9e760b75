#!/usr/bin/env bash
# Builds the .xls fuzz target with libFuzzer, ASan and UBSan (outside the normal build),
# seeds its corpus with the converted test workbooks and their bare workbook streams, and
# runs it. Usage: tests/fuzz/run-xls-fuzz.sh [seconds [libFuzzer flags...]]   (default 300)
# Crashing inputs land in build/fuzz/xls-findings/; copy them to tests/xls/fuzz-regressions/.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-300}"
shift $(( $# > 0 ? 1 : 0 ))
out=build/fuzz
mkdir -p "$out/xls-corpus" "$out/xls-findings"
src="gridbridge/compound_file.cpp gridbridge/biff8_reader.cpp platform/codepage_posix.cpp"
glue="gridbridge/xls_reader.cpp gridbridge/value_format.cpp gridbridge/cell_text.cpp gridbridge/sheet_table.cpp engine/sjis_text.cpp"
flags="-std=c++17 -g -O1 -I. -Wall -Wextra"
clang++ $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  tests/fuzz/xls_fuzz.cpp $src $glue -o "$out/xls_fuzz"
clang++ $flags tests/fuzz/xls_stream.cpp $src -o "$out/xls_stream"

# Seeds: the workbooks the tests convert (made here if no build tree has them yet).
fixtures=build/fuzz/xls-fixtures
/usr/bin/python3 tests/xls/make_workbooks.py --out "$fixtures" --cache build/xls-cache >/dev/null
for f in "$fixtures"/*.xls; do
  [ "$(stat -c %s "$f")" -le 1048576 ] || continue  # the large one only slows the fuzzer down
  name=$(basename "$f" .xls)
  cp "$f" "$out/xls-corpus/$name.xls"
  "$out/xls_stream" "$f" "$out/xls-corpus/$name.stream"
done
for f in tests/xls/fuzz-regressions/*; do
  [ -f "$f" ] && cp "$f" "$out/xls-corpus/"
done

ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 "$out/xls_fuzz" "$out/xls-corpus" \
  -artifact_prefix="$out/xls-findings/" -max_total_time="$seconds" -max_len=262144 -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 "$@"
