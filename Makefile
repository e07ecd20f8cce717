# The two commands that matter: `make run` and `make test`. Both install what
# is missing (Debian packages), configure, build, and then run.

PRESET ?= dev
BUILD_DIR := build/$(PRESET)

.PHONY: all setup configure build test run bench clean

all: build

setup:
	@scripts/setup

configure: setup
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

test: build
	@ctest --preset $(PRESET)

run: build
	cd examples && ../$(BUILD_DIR)/src/app/quillmere sample.mob

bench: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release
	@bench/run build/release

clean:
	rm -rf build
