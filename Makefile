# The two commands of the README: `make demo` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all bootstrap build test demo bench clean

all: build

bootstrap:
	@scripts/bootstrap

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: bootstrap
	@$(MAKE) --no-print-directory build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: bootstrap
	@$(MAKE) --no-print-directory build
	@scripts/demo

bench: bootstrap
	@$(MAKE) --no-print-directory build
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@scripts/bench
	@node bench/suite/suite-bench.js --plainstep $(BUILD)/plainstep

clean:
	rm -rf $(BUILD)
