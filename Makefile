# Thin wrapper over CMake for newcomers: `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
CLANG_BUILD ?= build-clang
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 300
WEB_BUILD ?= build-web
# `make web-serve WEB_BIND=0.0.0.0` lets a phone on the same network open it.
WEB_BIND ?= 127.0.0.1
WEB_PORT ?= 8080
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
DEB_OUT ?= build-deb
CMAKE_FLAGS ?=
# Warnings stop the build only where asked (CI: WERROR=ON).
WERROR ?= OFF

.PHONY: all setup configure build run sim test test-asan test-clang conformance fuzz soak bench install deb web web-serve phone clean format format-check

all: build

setup:
	@bash scripts/setup

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZT_WERROR=$(WERROR) $(CMAKE_FLAGS) >/dev/null

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
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZT_SANITIZE=ON -DZT_BENCH=OFF \
		-DZT_WERROR=$(WERROR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite again, built for release by Clang (less the web page and
# the Wine run, which no native compiler builds).
test-clang: setup
	@cmake -S . -B $(CLANG_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
		-DCMAKE_CXX_COMPILER=clang++ -DZT_BENCH=OFF -DZT_PACKAGE_TESTS=OFF -DZT_WERROR=$(WERROR) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(CLANG_BUILD) -j $(JOBS)
	@cd $(CLANG_BUILD) && ctest --output-on-failure -j $(JOBS) -E '^(web_browser|web_firefox|web_webkit|web_phone|conformance_win32)$$'

# Every fuzz target for FUZZ_SECONDS each (CI: 30).
fuzz: setup
	@cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
		-DCMAKE_CXX_COMPILER=clang++ -DZT_FUZZ=ON -DZT_BENCH=OFF -DZT_DESKTOP=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@bash scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# A million mixed commands through the simulator, with its memory watched.
soak: build
	@python3 scripts/soak.py $(BUILD)/platform/host/sim/zentrick-sim --commands 1000000

bench: build
	@bash scripts/run-bench $(BUILD)

# The programs, manual pages, desktop entry, metainfo and icons under
# PREFIX (e.g. `make install PREFIX=~/.local`).
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, built by dpkg-buildpackage from a copy of the tree;
# the .deb lands in $(DEB_OUT)/.
deb: setup
	@JOBS=$(JOBS) bash scripts/build-deb $(DEB_OUT)

# The app as a web page in $(WEB_BUILD)/site (emscripten), and a static
# server for it. `make test` builds the page too (its browser tests need it).
web: setup
	@bash scripts/build-web $(WEB_BUILD)

web-serve: web
	@python3 platform/host/web/serve.py --bind $(WEB_BIND) --port $(WEB_PORT) $(WEB_BUILD)/site

# The page to a phone on this network over https it can trust, with QR
# codes and the steps on the phone (options in ARGS, e.g.
# `make phone ARGS="--port 9443 --name stage.local"`; zentrick-phone --help).
phone: web
	@python3 platform/host/web/phone.py --site $(WEB_BUILD)/site $(ARGS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(CLANG_BUILD) $(FUZZ_BUILD) $(DEB_OUT) $(WEB_BUILD)
