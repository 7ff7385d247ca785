# One-command entry points. `demo`, `test`, `bench` and `fuzz` install what
# they need first (scripts/setup.sh, also `make setup`); the others build and
# install only, with neither Node nor the network (README.md says what each
# needs).
#   make demo        the server driving the simulator through a whole session,
#                    shown live on the simulator's page (WATCH=1: slowly)
#   make test        every test, in every build this system has (below)
#   make test-slow   the one test of the real clock (30 s), apart
#   make bench       the benchmark table (Release build)
#   make fuzz        each fuzz target for FUZZ_SECONDS (default 600)
#   make test-ratio  lines of tests against lines of code
#   make mutants     the small faults the tests catch, per file, as measured
#   make release     both programs, Release, in build/release
#   make install     copies the Release build to PREFIX (default /usr/local)
#   make uninstall   removes what the last `make install` put there
#   make package     the Debian packages, from the Release build
#   make universal   macOS: one server binary for Apple silicon and Intel
#   make mcpb        macOS: the MCP Bundle (.mcpb) of that binary, for desktop
#                    clients; it fetches its packer alone from npm
#   make mac-standin Linux: `make universal` and `make mcpb` run through the
#                    Mac's own paths against a stand-in Mac (scripts/mac_standin)
#
# The builds of `make test`:
#   release  both programs as they ship, optimised, warnings as errors
#   check    clang with AddressSanitizer and UndefinedBehaviorSanitizer:
#            every test (unit, integration, the simulator's, end-to-end, the
#            demo) and, where clang has libFuzzer, each fuzz target for
#            FUZZ_TEST_SECONDS from its seed corpus
#   libcxx   Linux only: clang on LLVM's libc++, the nearest stand-in for
#            Apple's toolchain: the unit and integration tests
#   mac-standin  Linux only: the Mac's universal build and bundle, on a
#            stand-in Mac (on a Mac, the workflow's universal job runs them)

OS := $(shell uname -s)
PREFIX ?= /usr/local
JOBS ?= 2
CMAKE_FLAGS ?=
BUILD := build
FUZZ_SECONDS ?= 600
FUZZ_TEST_SECONDS ?= 5
FUZZ_TARGETS := request namespace osc

ifeq ($(OS),Darwin)
  # Homebrew's prefix, and ICU's (keg-only; only the simulator uses it).
  BREW := $(shell brew --prefix 2>/dev/null)
  # The SDK, named outright: CMake 4 names none, and the system's libcurl is
  # looked for in it.
  SDK := $(shell xcrun --sdk macosx --show-sdk-path 2>/dev/null)
  # Built for this Mac's macOS, as Homebrew's libraries are: only the
  # universal binary, which builds its simdjson itself, names an older one.
  HOST_MACOS := $(shell sw_vers -productVersion 2>/dev/null | cut -d. -f1-2)
  PLATFORM_FLAGS := -DCMAKE_PREFIX_PATH=$(BREW) -DCMAKE_OSX_SYSROOT="$(SDK)" \
    -DCMAKE_OSX_DEPLOYMENT_TARGET=$(HOST_MACOS)
  export PKG_CONFIG_PATH := $(shell brew --prefix icu4c 2>/dev/null)/lib/pkgconfig:$(PKG_CONFIG_PATH)
  RELEASE_COMPILER :=
  # Apple's, named: Homebrew's LLVM, when first on PATH, would mix its own
  # libc++ headers with the system's library.
  CHECK_COMPILER := -DCMAKE_CXX_COMPILER=$(shell xcrun --find clang++ 2>/dev/null)
  # Apple's sanitizer runtime has no leak checker: asking for one aborts.
  SANITIZER_OPTIONS := ASAN_OPTIONS=abort_on_error=1
  TEST_BUILDS := test-check
  # The bundle carries the binary for both kinds of Mac.
  MCPB_BUILD := universal
  MCPB_BINARY := $(BUILD)/universal/zindle_recorder_mcp
  MCPB_MANIFEST := $(BUILD)/universal/server/mcpb/manifest.json
else
  PLATFORM_FLAGS :=
  RELEASE_COMPILER := -DCMAKE_CXX_COMPILER=g++
  CHECK_COMPILER := -DCMAKE_CXX_COMPILER=clang++-19
  SANITIZER_OPTIONS := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  TEST_BUILDS := test-check test-libcxx mac-standin
endif
SANITIZER_OPTIONS += UBSAN_OPTIONS=print_stacktrace=1

configure = cmake -S . -B $(BUILD)/$(1) -G Ninja -Wno-dev $(PLATFORM_FLAGS) \
  $(2) $(CMAKE_FLAGS) >/dev/null
compile = cmake --build $(BUILD)/$(1) -j$(JOBS)
# The one check of the real clock, a 30-second wait, runs on its own
# (make test-slow); fake clocks test the same waits to the tick.
ctest = ctest --test-dir $(BUILD)/$(1) --output-on-failure -j$(JOBS) -E 'Slow\.'

.PHONY: setup release build-release check libcxx test test-check \
  test-libcxx test-slow demo bench fuzz install uninstall package universal \
  mcpb mac-standin format-check run-bits test-ratio mutants clean

setup:
	@scripts/setup.sh

# Builds. The Release build runs no set-up, so that a packager builds it
# offline; `release` is its name in the README. The test builds set up first.
build-release:
	@$(call configure,release,-DCMAKE_BUILD_TYPE=Release -DZINDLE_WERROR=ON \
	  -DZINDLE_TESTS=OFF $(RELEASE_COMPILER))
	@$(call compile,release)

release: build-release

check: setup
	@$(call configure,check,-DCMAKE_BUILD_TYPE=Debug -DZINDLE_WERROR=ON \
	  -DZINDLE_SANITIZE=ON -DZINDLE_FUZZ_SECONDS=$(FUZZ_TEST_SECONDS) \
	  $(CHECK_COMPILER))
	@$(call compile,check)

# The simulator is left out: the system's HTTP library it is built on is
# compiled against libstdc++.
libcxx: setup
	@$(call configure,libcxx,-DCMAKE_BUILD_TYPE=Debug -DZINDLE_WERROR=ON \
	  -DZINDLE_LIBCXX=ON -DZINDLE_SIM=OFF $(CHECK_COMPILER))
	@$(call compile,libcxx)

# Tests.
test: format-check run-bits build-release $(TEST_BUILDS)
	@echo "All tests passed in every build."

# The clients' CLIs, for their test alone, into a cache folder.
test-check: check
	@scripts/setup.sh clients
	@$(SANITIZER_OPTIONS) $(call ctest,check)

test-libcxx: libcxx
	@$(call ctest,libcxx)

test-slow: check
	@$(SANITIZER_OPTIONS) ctest --test-dir $(BUILD)/check --output-on-failure -R 'Slow\.'

format-check: setup
	@scripts/format_check.sh

# Every script run by its path can be: git keeps its run bit.
run-bits: setup
	@scripts/check_run_bits.mjs

test-ratio:
	@scripts/test_ratio.sh

# The table of ../shared/tools/mutants.py's runs kept in bench/mutants (hours
# of CPU each, so printed, not run).
mutants:
	@scripts/mutants_table.mjs

# The rest.
demo: setup release
	@scripts/demo.sh $(BUILD)/release $(if $(FULL),--full) $(if $(WATCH),--watch)

bench:
	@scripts/setup.sh bench
	@$(call configure,bench,-DCMAKE_BUILD_TYPE=Release -DZINDLE_TESTS=OFF \
	  -DZINDLE_BENCH=ON $(CHECK_COMPILER))
	@$(call compile,bench)
	@scripts/bench.sh $(BUILD)/bench

# The fuzz targets are built by a clang that has libFuzzer; Apple's has none.
fuzz: check
	@test -d $(BUILD)/check/tests/fuzz || { echo "make fuzz: this clang" \
	  "has no libFuzzer (Apple's has none): the fuzz targets run on Linux" >&2; \
	  exit 1; }
	@for target in $(FUZZ_TARGETS); do \
	  echo "== $$target, $(FUZZ_SECONDS) s"; \
	  log=$(BUILD)/check/tests/fuzz/$$target.log; \
	  $(SANITIZER_OPTIONS) $(BUILD)/check/tests/fuzz/$${target}_fuzzer \
	    -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=2048 -max_len=65536 \
	    -print_final_stats=1 $(BUILD)/check/tests/fuzz/corpus/$$target \
	    tests/fuzz/corpus/$$target >$$log 2>&1 || { tail -40 $$log; exit 1; }; \
	  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' $$log; \
	done

install: build-release
	@scripts/install.sh install $(BUILD)/release $(PREFIX)

uninstall:
	@scripts/install.sh uninstall $(BUILD)/release

package: build-release
	@cd $(BUILD)/release && cpack >/dev/null && ls $(CURDIR)/$(BUILD)/release/*.deb

universal:
	@scripts/universal.sh $(BUILD)/universal

# The bundle is how a desktop app installs the server on a Mac, where the
# app runs. Of the set-up it takes only its packer, from npm as
# package-lock.json pins it. On Linux the end-to-end tests pack one of their
# own, as a test of the format.
ifeq ($(OS),Darwin)
mcpb: $(MCPB_BUILD)
	@scripts/setup.sh packer
	@scripts/mcpb.sh $(MCPB_BINARY) $(MCPB_MANIFEST) $(BUILD)/mcpb
else
mcpb:
	@echo "make mcpb: the bundle is made on macOS, where the app runs" >&2
	@exit 1
endif

mac-standin:
	@scripts/setup.sh mac-standin
	@JOBS=$(JOBS) scripts/mac_standin/run.sh

clean:
	rm -rf $(BUILD)
