# Rowcaster: top-level commands. See README.md.
SHELL := /bin/bash
JOBS  ?= $(shell nproc)
BUILD := build

.PHONY: all build build-linux build-asan build-windows test test-linux test-asan test-windows demo dist run deps clean bench-engine bench-gridbridge bench-wine-tool fuzz long-run spam-scores

all: build

deps:
	@bash scripts/install-deps.sh

# Configuring every time is cheap and picks up new source files.
build-linux:
	cmake -S . -B $(BUILD)/linux -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD)/linux -j $(JOBS)
build-asan:
	cmake -S . -B $(BUILD)/asan -DCMAKE_BUILD_TYPE=Debug -DROWCASTER_SANITIZE=ON >/dev/null
	cmake --build $(BUILD)/asan -j $(JOBS)
build-windows:
	cmake -S . -B $(BUILD)/windows -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
	cmake --build $(BUILD)/windows -j $(JOBS)

build: deps
	$(MAKE) build-linux build-asan build-windows

test-linux: build-linux
	cd $(BUILD)/linux && ctest --output-on-failure -j $(JOBS)
test-asan: build-asan
	cd $(BUILD)/asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)
test-windows: build-windows
	bash scripts/wine-session.sh bash -c 'cd $(BUILD)/windows && ctest --output-on-failure'

test: build
	@bash scripts/run-all-tests.sh

dist: deps build-windows
	@bash scripts/make-dist.sh

demo: deps build-linux
	@bash scripts/demo.sh

bench-engine: build-linux
	@bash bench/engine/run.sh

run: deps build-windows
	@bash scripts/run-windows-program.sh

# Time per mail through the Windows programs under Wine: the real SMTP.exe against the stand-in.
bench-wine-tool: build-windows
	bash scripts/wine-session.sh /usr/bin/python3 bench/wine_tool/run.py $(BUILD)/windows

# libFuzzer targets (clang, ASan, UBSan) in build/fuzz, each run for FUZZ_SECONDS (60 unless set).
fuzz: deps
	@FUZZ_SECONDS=$(or $(FUZZ_SECONDS),60) bash scripts/fuzz.sh

# GridBridge against openpyxl, xlsx2csv and the inflate floor; prints the figures.
bench-gridbridge: build-linux
	cmake --build $(BUILD)/linux -j 2 --target gridbridge_bench
	/usr/bin/python3 bench/gridbridge/run_bench.py $(BUILD)/linux

# SpamAssassin's score of every kind of message the runner writes, through curl and the strict
# local server.
spam-scores: deps build-linux
	/usr/bin/python3 tests/e2e/spam_judge_test.py --scores --runner $(BUILD)/linux/bin/rowcaster-send

# 5,000 rows through the runner, curl and the local SMTPS server; prints memory and arrivals.
long-run: build-linux
	ROWCASTER_SEND=$(BUILD)/linux/bin/rowcaster-send /usr/bin/python3 tests/faults/long_run.py

clean:
	rm -rf $(BUILD)
