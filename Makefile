# One-command entry points. Each target installs what it needs first.
#   make demo    the server driving the simulator through a whole session
#   make test    every test: a gcc build, then a clang ASan+UBSan build
#                (and a Release build with warnings as errors)
#   make bench   the benchmark table (Release build)
#   make fuzz    each fuzz target for FUZZ_SECONDS (default 600) under ASan+UBSan
#   make install PREFIX=/usr/local
#   make package the Debian package of both programs

PREFIX ?= /usr/local
JOBS ?= 2
CMAKE_FLAGS ?=

BUILD := build
configure = cmake -S . -B $(BUILD)/$(1) -G Ninja -Wno-dev $(2) $(CMAKE_FLAGS) >/dev/null

.PHONY: setup debug asan release test test-debug test-asan demo bench fuzz install package format-check clean

setup:
	@scripts/setup.sh

debug: setup
	@$(call configure,debug,-DCMAKE_BUILD_TYPE=Debug -DZINDLE_WERROR=ON)
	@cmake --build $(BUILD)/debug -j$(JOBS)

asan: setup
	@$(call configure,asan,-DCMAKE_BUILD_TYPE=Debug -DZINDLE_WERROR=ON -DZINDLE_SANITIZE=ON -DCMAKE_CXX_COMPILER=clang++)
	@cmake --build $(BUILD)/asan -j$(JOBS)

release: setup
	@$(call configure,release,-DCMAKE_BUILD_TYPE=Release -DZINDLE_WERROR=ON -DZINDLE_TESTS=OFF)
	@cmake --build $(BUILD)/release -j$(JOBS)

test-debug: debug
	@ctest --test-dir $(BUILD)/debug --output-on-failure -j$(JOBS)

test-asan: asan
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(BUILD)/asan --output-on-failure -j$(JOBS)

test: format-check release test-debug test-asan
	@echo "All tests passed in both builds."

format-check: setup
	@git ls-files '*.cpp' '*.hpp' | xargs clang-format --dry-run --Werror

demo: release
	@scripts/demo.sh $(BUILD)/release $(if $(FULL),--full)

bench: setup
	@$(call configure,bench,-DCMAKE_BUILD_TYPE=Release -DZINDLE_TESTS=OFF -DZINDLE_BENCH=ON)
	@cmake --build $(BUILD)/bench -j$(JOBS)
	@scripts/bench.sh $(BUILD)/bench

install: release
	@cmake --install $(BUILD)/release --prefix $(PREFIX)

package: release
	@cd $(BUILD)/release && cpack >/dev/null && ls $(CURDIR)/$(BUILD)/release/*.deb

clean:
	rm -rf $(BUILD)

FUZZ_SECONDS ?= 600
fuzz: asan
	@for target in request namespace osc json; do \
	  echo "== $$target, $(FUZZ_SECONDS) s"; \
	  log=$(BUILD)/asan/tests/fuzz/$$target.log; \
	  $(BUILD)/asan/tests/fuzz/$${target}_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	    -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
	    $(BUILD)/asan/tests/fuzz/corpus/$$target tests/fuzz/corpus/$$target \
	    >$$log 2>&1 || { tail -40 $$log; exit 1; }; \
	  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' $$log; \
	done
