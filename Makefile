# Thin wrapper around CMake: `make run` and `make test` work on a fresh checkout.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup configure build run test bench soak clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/tavelin --simulate

test: build
	@bash scripts/run-tests.sh $(BUILD_DIR)

bench: setup
	@bash bench/run.sh $(ARGS)

soak: configure
	@BUILD_DIR=$(BUILD_DIR) bash scripts/soak.sh $(ARGS)

# The Debian package, $(BUILD_DIR)/tavelin_<version>_amd64.deb.
.PHONY: package
package: build
	@cmake --build $(BUILD_DIR) --target package

clean:
	rm -rf $(BUILD_DIR) build-*
