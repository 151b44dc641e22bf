# Quick start: `make run` starts the window, `make test` builds and runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
# CI sets WERROR=ON: warnings are errors there, never in a user's release build.
WERROR ?= OFF
CMAKE_FLAGS = -DOSCALYX_WERROR=$(WERROR)

.PHONY: setup configure build run test test-sanitize test-tsan bench samples package fuzz fuzz-run clean

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@$(BUILD_DIR)/bin/oscalyx

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench:
	@bash scripts/setup.sh --bench
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target oscalyx-bench oscalyx-cli
	@$(BUILD_DIR)/bin/oscalyx-bench

samples: build
	@$(BUILD_DIR)/bin/make-samples sample

# The Debian package $(BUILD_DIR)/oscalyx_<version>_<arch>.deb; `apt install ./$(BUILD_DIR)/oscalyx_*.deb`.
package: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target oscalyx oscalyx-cli oscalyx-icons
	@cd $(BUILD_DIR) && cpack -G DEB

# Every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: setup
	@cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSCALYX_SANITIZE=ON -DOSCALYX_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-sanitize -j $(JOBS)
	@cd build-sanitize && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Every test again, built with ThreadSanitizer: the readers, the filter, the
# sweep and the window's long work run on several threads.
test-tsan: setup
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSCALYX_TSAN=ON -DOSCALYX_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 allocator_may_return_null=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --output-on-failure -j $(JOBS)

# The libFuzzer targets (clang); `make fuzz-run FUZZ_SECONDS=60` runs each that long.
#
# Where the sanitizers' allocator cannot meet a request it returns null, as
# the C library's malloc does (allocator_may_return_null), instead of stopping.
# The HDF5 library under matio (MATLAB v7.3 files) allocates buffers of the
# length a file gives before it checks that length against the file's end, so
# FuzzMat73Reader runs as on a machine where a request above a gigabyte fails:
# the read is then refused. Every other fuzzer keeps libFuzzer's limits, and
# memory a library fills by a forged length still counts against the RSS limit.
# tests/io/data holds the MATLAB files that once failed.
FUZZ_SECONDS ?= 60
fuzz:
	@bash scripts/setup.sh --fuzz
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSCALYX_FUZZ=ON >/dev/null
	@cmake --build build-fuzz -j $(JOBS)

fuzz-run: fuzz
	@build-fuzz/bin/make-fuzz-corpus build-fuzz/seeds
	@for target in FuzzCsvReader:csv FuzzSpc51Reader:dbl FuzzTextReader:text FuzzWavReader:wav FuzzUffReader:uff \
	               FuzzMatReader:mat FuzzMat73Reader:mat FuzzCliOptions:cli; do \
	  name=$${target%%:*}; seeds=$${target##*:}; mkdir -p build-fuzz/corpus/$$name; \
	  extra=""; asan=allocator_may_return_null=1; \
	  case $$name in FuzzMat*) extra=tests/io/data;; esac; \
	  [ $$name = FuzzMat73Reader ] && asan=$$asan:max_allocation_size_mb=1024; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  ASAN_OPTIONS=$$asan LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp \
	  build-fuzz/bin/$$name -max_total_time=$(FUZZ_SECONDS) -timeout=25 -rss_limit_mb=4096 -max_len=65536 \
	    -artifact_prefix=build-fuzz/$$name- build-fuzz/corpus/$$name build-fuzz/seeds/$$seeds $$extra \
	    > build-fuzz/$$name.log 2>&1; status=$$?; \
	  grep -E '^(#[0-9]+ +DONE|Done [0-9]+ runs)|ERROR|SUMMARY' build-fuzz/$$name.log; \
	  [ $$status -eq 0 ] || { tail -40 build-fuzz/$$name.log; exit 1; }; \
	done

clean:
	@rm -rf $(BUILD_DIR)
