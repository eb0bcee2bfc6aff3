# Zoetra: `make run` plays a GIF in zoetra.exe under Wine, `make test` runs
# every test. Both install what is missing first (Debian, as root).
SHELL := /bin/bash
.DEFAULT_GOAL := build

FILE ?= src/res/sample.gif
JOBS ?= $(shell nproc)
WIN_DIR := $(CURDIR)/build/win

.PHONY: deps build native windows run test dist bench clean fuzz

deps:
	@tools/install_deps.sh

build: deps
	@$(MAKE) --no-print-directory native windows

native:
	@[ -f build/native/build.ninja ] || \
	  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build build/native -j $(JOBS)

# The Windows tree builds in build/win-tree; the programs land in build/win.
windows:
	@[ -f build/win-tree/build.ninja ] || \
	  cmake -S . -B build/win-tree -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	    -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=$(WIN_DIR)
	cmake --build build/win-tree -j $(JOBS)

run: build
	tools/run_wine.sh "$(FILE)"

# The zip to take to Windows: build/dist/zoetra-VERSION-win64.zip holding
# zoetra.exe, README.md and LICENSE (tools/make_dist.sh).
dist: deps
	@$(MAKE) --no-print-directory windows
	@tools/make_dist.sh

# run_tests.sh builds first (make native windows), so a failed build is
# reported in its summary too.
test: deps
	@JOBS=2 tools/run_tests.sh

# The decoder's fuzzer (clang, AddressSanitizer, UndefinedBehaviorSanitizer):
# `make fuzz` runs it FUZZ_SECONDS (default 600) over the seed corpus; new
# inputs go to build/fuzz/corpus, findings to build/fuzz/findings.
FUZZ_SECONDS ?= 600
fuzz: deps
	fuzz/run.sh $(FUZZ_SECONDS)

# Load times of Zoetra against giflib and stb_image. Makes its inputs with
# real encoders once (build/bench/inputs; later runs reuse them), prints the
# table and writes it to build/bench/results.txt. Not part of `make test`.
bench: deps native
	@set -o pipefail; inputs=$$(bench/make_inputs.sh build/bench/inputs) && \
	  build/native/zoetra-bench $$inputs | tee build/bench/results.txt

clean:
	rm -rf build
