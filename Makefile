# The two commands of the README: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
BUILD_TYPE ?= RelWithDebInfo
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)

.PHONY: all deps configure build test bench fuzz run package clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# CI also runs every fuzz target for a short, bounded time.
test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@if [ "$${CI:-}" = "true" ]; then $(MAKE) --no-print-directory fuzz FUZZ_SECONDS=20; fi

bench: build
	@bash scripts/run-benchmarks.sh $(BUILD)

fuzz: deps
	@bash scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

run: build
	@bash scripts/run-calendar.sh $(BUILD)

# A .deb of the installed layout (program, language files, schemes, desktop entry, icons, manual).
package: build
	@cd $(BUILD) && cpack --config CPackConfig.cmake

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
