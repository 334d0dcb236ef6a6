# Thin wrapper over CMake for newcomers: `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
WEB_BUILD ?= build-web
# `make web-serve WEB_BIND=0.0.0.0` lets a phone on the same network open it.
WEB_BIND ?= 127.0.0.1
WEB_PORT ?= 8080
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup configure build run sim test test-asan bench web web-serve clean format

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

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: setup
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZT_SANITIZE=ON -DZT_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@bash scripts/run-bench $(BUILD)

# The app as a web page in $(WEB_BUILD)/site (emscripten), and a static
# server for it. `make test` builds the page too (its browser tests need it).
web: setup
	@bash scripts/build-web $(WEB_BUILD)

web-serve: web
	@python3 platform/host/web/serve.py --bind $(WEB_BIND) --port $(WEB_PORT) $(WEB_BUILD)/site

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(WEB_BUILD)
