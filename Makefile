# Quick start: `make run` starts the window, `make test` builds and runs every test.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: setup configure build run test bench samples clean

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@$(BUILD_DIR)/bin/oscalyx

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench:
	@bash scripts/setup.sh --bench
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target oscalyx-bench oscalyx-cli
	@$(BUILD_DIR)/bin/oscalyx-bench

samples: build
	@$(BUILD_DIR)/bin/make-samples sample

clean:
	@rm -rf $(BUILD_DIR)
