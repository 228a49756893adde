# Quarvel: the two commands a fresh Debian 12 or 13 machine needs are
#   make run    builds and starts the game
#   make test   builds everything and runs every test, the Windows build's
#               under Wine and the browser build's in Chromium too
#   make package  builds the game and its Debian package,
#               quarvel_VERSION_ARCH.deb, in the build folder
#   make windows  cross-builds the Windows programs with MinGW-w64 and
#               packs quarvel-VERSION-windows-x64.zip and the installer
#               quarvel-VERSION-windows-x64.exe, in build-windows
#   make web    builds the game for browsers with emscripten: the page
#               quarvel-VERSION-web.zip and tools/quarvel-sim.js for node,
#               in build-web
#   make bench  builds everything and prints the benchmarks' figures
#               (BENCH_PLAY_SECONDS=60 sets the memory run's play time)
#   make test-sanitize  the whole suite again, then the soak, with address,
#               leak and undefined-behaviour checks (clang, in build-asan)
#   make fuzz   the fuzz target under libFuzzer for FUZZ_SECONDS (60) on
#               every core, in build-fuzz: new inputs and any crashing input
#               stay there; the seeds are in tests/fuzz/corpus
# Both first install whatever Debian packages are missing.

BUILD ?= build
JOBS  ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build run test package bench clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/quarvel

# The Linux build's tests, then the Windows build's under Wine (one Wine
# prefix and one Xvfb for them, made and removed by the tests), then the
# browser build's under node and headless Chromium; each runs even when
# one before has a failure. The Windows game's own tests under
# Wine (tests/wine) run in the first: they need the Linux build's X servers
# and XTest, and quarvel.exe from the second.
test: build windows web
	@status=0; \
	(cd $(BUILD) && ctest --output-on-failure -j $(JOBS)) || status=1; \
	(cd $(WINDOWS_BUILD) && ctest --output-on-failure -j $(JOBS)) || status=1; \
	(cd $(WEB_BUILD) && ctest --output-on-failure -j $(JOBS)) || status=1; \
	exit $$status

# Only the game: cpack packs the binary that is built, nothing else.
package: configure
	@cmake --build $(BUILD) -j $(JOBS) --target quarvel
	@cd $(BUILD) && cpack -G DEB

bench: build windows web
	@bash bench/run.sh $(BUILD)

WINDOWS_BUILD ?= build-windows

.PHONY: windows
windows: deps
	@cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake >/dev/null
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	@if [ -f $(WINDOWS_BUILD)/CPackConfig.cmake ]; then \
	  cd $(WINDOWS_BUILD) && cpack >/dev/null && ls quarvel-*-windows-x64.*; \
	else echo "windows: no game program to pack yet"; fi

# The browser build: Debian's emscripten with CMake's toolchain file from
# the same package; its linker runs node tools that want Debian's node
# modules.
WEB_BUILD ?= build-web

.PHONY: web
web: deps
	@export NODE_PATH=/usr/share/nodejs; \
	cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$$(em-config EMSCRIPTEN_ROOT)/cmake/Modules/Platform/Emscripten.cmake \
	  >/dev/null && cmake --build $(WEB_BUILD) -j $(JOBS)

# The sanitizer builds use clang (libclang-rt), which also builds the fuzz
# target; tests/sanitizer/run sets the sanitizers' options and suppressions
# for the programs that run.
SANITIZE_BUILD ?= build-asan
FUZZ_BUILD     ?= build-fuzz
FUZZ_SECONDS   ?= 60
SANITIZE_CMAKE  = -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=clang++ -DQUARVEL_SANITIZE=ON
SANITIZE_RUN    = bash $(CURDIR)/tests/sanitizer/run

.PHONY: test-sanitize fuzz

test-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) $(SANITIZE_CMAKE) >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && $(SANITIZE_RUN) ctest --output-on-failure -j $(JOBS)

fuzz: deps
	@cmake -S . -B $(FUZZ_BUILD) $(SANITIZE_CMAKE) -DQUARVEL_FUZZ=ON \
		-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target quarvel_fuzz
	@mkdir -p $(FUZZ_BUILD)/corpus
	@$(SANITIZE_RUN) $(FUZZ_BUILD)/tests/fuzz/quarvel_fuzz -fork=$(JOBS) \
		-max_total_time=$(FUZZ_SECONDS) -max_len=2048 -timeout=20 \
		-artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus tests/fuzz/corpus

clean:
	rm -rf $(BUILD) $(WINDOWS_BUILD) $(WEB_BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)
