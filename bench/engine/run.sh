#!/usr/bin/env bash
# make bench-engine: builds the benchmark, writes its workbook and runs it.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --build build/linux -j2 --target engine_bench >/dev/null
mkdir -p build/bench
workbook=build/bench/engine-20000.xlsx
[ -f "$workbook" ] || /usr/bin/python3 bench/engine/make_workbook.py "$workbook" 20000
build/linux/bin/engine_bench "$workbook" build/bench/engine
