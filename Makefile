# Thin wrapper over CMake for newcomers: `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup configure build run sim test test-asan conformance bench clean format

all: build

setup:
	@bash scripts/setup

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The app: the desktop window where there is a display (options in ARGS,
# e.g. `make run ARGS=--rehearse`), else the simulator on the example scripts.
run: build
	@bash scripts/run-app $(BUILD) $(ARGS)

sim: build
	@bash scripts/run-sim $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@cat $(BUILD)/conformance-win32.summary 2>/dev/null || true

# The conformance tests on both sides: the stand-in, and real Win32 (MinGW-w64
# build run under Wine); prints each side's count and every known difference.
conformance: build
	@bash conformance/run $(BUILD) $(BUILD)/conformance/test_conformance

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: setup
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZT_SANITIZE=ON -DZT_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@bash scripts/run-bench $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD)
