# The two commands of the README: `make run` and `make test`. Both install what is missing first,
# each only what its job needs (scripts/install-deps.sh run | test).
#
# One build folder serves both. `make run` builds only what the calendar runs from: the program,
# its two modules, the language files and the shipped schemes. A folder it configures first is
# configured without tests and benchmarks, so GoogleTest and Google Benchmark need not be installed;
# an existing folder keeps its settings. `make test` turns tests and benchmarks on in the same
# folder and builds everything; the program's objects are reused, not compiled again.
BUILD      ?= build
FUZZ_BUILD ?= build-fuzz
BUILD_TYPE ?= RelWithDebInfo
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)

# What the calendar runs from.
RUN_TARGETS = kestrivel kestrivel-http kestrivel-ical lang_files scheme_files

.PHONY: all deps deps-job deps-run deps-package deps-test configure configure-run build build-run \
        test bench fuzz run package clean

all: build

deps: deps-test

deps-run:
	@bash scripts/install-deps.sh run

# The packages of the job that asked for the program's build: run, or package.
DEPS_JOB ?= run
deps-job:
	@bash scripts/install-deps.sh $(DEPS_JOB)

deps-package:
	@bash scripts/install-deps.sh package

deps-test:
	@bash scripts/install-deps.sh test

configure-run: deps-job
	@if [ -f $(BUILD)/CMakeCache.txt ]; then \
	    cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null; \
	else \
	    cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	        -DKESTRIVEL_BUILD_TESTS=OFF -DKESTRIVEL_BUILD_BENCH=OFF >/dev/null; \
	fi

build-run: configure-run
	@cmake --build $(BUILD) -j $(JOBS) --target $(RUN_TARGETS)

configure: deps-test
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DKESTRIVEL_BUILD_TESTS=ON -DKESTRIVEL_BUILD_BENCH=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# CI also runs every fuzz target for a short, bounded time.
test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@if [ "$${CI:-}" = "true" ]; then $(MAKE) --no-print-directory fuzz FUZZ_SECONDS=20; fi

bench: build
	@bash scripts/run-benchmarks.sh $(BUILD)

fuzz: deps-test
	@bash scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

run: DEPS_JOB = run
run: build-run
	@bash scripts/run-calendar.sh $(BUILD)

# A .deb of the installed layout (program, modules, language files, schemes, desktop entry, icons,
# manual). It needs only what the program needs; CPack builds the folder's default targets first.
package: DEPS_JOB = package
package: build-run
	@cd $(BUILD) && cpack --config CPackConfig.cmake

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
