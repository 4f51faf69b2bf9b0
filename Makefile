# `make run` and `make test` do all the set-up on a fresh Debian 12 machine.
SHELL := /bin/bash
BUILD := build
ASAN_BUILD := build-asan
CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

export ASAN_OPTIONS ?= detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS ?= suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS ?= print_stacktrace=1:halt_on_error=1

.PHONY: all deps build build-asan stage deb run test test-native test-asan test-runtime format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The sanitized run leaves out the tests that host a web view (label
# "webview"): Chromium's own allocator does not run under AddressSanitizer.
build-asan: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DVESPERLINE_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)

stage: build
	@scripts/stage $(BUILD)

# build/deb/vesperline_<version>_amd64.deb, from the stage.
deb: stage
	@cd $(BUILD) && cpack -G DEB

run: stage
	@scripts/run-staged $(BUILD)

test: test-native test-asan test-runtime
	@echo "All test suites passed."

test-native: stage
	ctest --test-dir $(BUILD) --output-on-failure --parallel 3

test-asan: stage build-asan
	ctest --test-dir $(ASAN_BUILD) --output-on-failure --parallel 3 -LE webview

test-runtime: stage
	@scripts/test-runtime

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
