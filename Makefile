# Entry points. Every target that needs the toolchain installs what is missing
# first, so `make demo` and `make test` work on a fresh machine.

PYTHON ?= $(shell scripts/find-python)
SYSTEM_PYTHON ?= /usr/bin/python3
DIST_PACKAGES := /usr/lib/python3/dist-packages
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 20
# `make test` ends with a short run of every fuzz target.
FUZZ_SMOKE_SECONDS ?= 5

# One build directory per interpreter (the extension is built against it).
build_dir = build/$(shell $(1) -c "import sys, hashlib; print('cp%d%d-' % sys.version_info[:2] + hashlib.sha1(sys.executable.encode()).hexdigest()[:8])")

BUILD_DIR := $(call build_dir,$(PYTHON))
SYSTEM_BUILD_DIR := $(call build_dir,$(SYSTEM_PYTHON))
# One clang build with ASan and UBSan serves the sanitized C++ tests, the
# sanitized Python run and the fuzz targets (the core is compiled once for all).
SANITIZED_DIR := build/sanitized
BENCH_DIR := build/bench

# pytest and hypothesis come from Debian's packages for every interpreter.
test_path = $(CURDIR):$(1)/python:$(DIST_PACKAGES)

.PHONY: deps build demo test cpp-tests python-tests system-python-tests oracle bench bench-dask \
	fuzz fuzz-run asan asan-run sanitized-build format clean

deps:
	@scripts/install-deps

# configure(build dir, python, extra cmake flags)
define configure
	cmake -S . -B $(1) -G Ninja -DCMAKE_BUILD_TYPE=Release -DPython3_EXECUTABLE=$(2) $(3) >/dev/null
	cmake --build $(1) -j $(JOBS)
endef

# The system interpreter's build links the core archive that $(BUILD_DIR)
# compiled (configure that one first); with one interpreter they are one build.
SHARED_CORE := $(if $(filter $(BUILD_DIR),$(SYSTEM_BUILD_DIR)),,$(CURDIR)/$(BUILD_DIR)/libbrelt_core.a)
configure_system = $(call configure,$(SYSTEM_BUILD_DIR),$(SYSTEM_PYTHON),-DBRELT_BUILD_TESTS=OFF \
	-DBRELT_PREBUILT_CORE=$(SHARED_CORE))

build: deps
	$(call configure,$(BUILD_DIR),$(PYTHON),)

demo: build
	PYTHONPATH=$(CURDIR) $(PYTHON) -m brelt.demo

# `make test`: the three builds one after another, then every check, two at a
# time (-j $(JOBS)), each check's output printed whole when it ends. The
# property tests run the "quick" profile of tests/python/conftest.py;
# BRELT_HYPOTHESIS=thorough runs each with the examples it asks for.
test: deps
	$(call configure,$(BUILD_DIR),$(PYTHON),-DBRELT_BUILD_TESTS=ON)
	$(configure_system)
	$(MAKE) --no-print-directory sanitized-build
	$(MAKE) --no-print-directory -j $(JOBS) --output-sync=target \
	  asan-run python-tests system-python-tests cpp-tests fuzz-run FUZZ_SECONDS=$(FUZZ_SMOKE_SECONDS)

# The parts of `make test`, which expect their builds to exist.
# pytest(python, build dir, paths)
# Each run spreads its tests over $(JOBS) processes (pytest-xdist), so the
# last checks still running keep both cores busy.
pytest = PYTHONPATH=$(call test_path,$(2)) $(1) -m pytest -q -p no:cacheprovider -n $(JOBS) $(3)

cpp-tests:
	ctest --test-dir $(BUILD_DIR) --output-on-failure --no-tests=error -j $(JOBS)
	scripts/encoding-oracle $(BUILD_DIR)/brelt_decode_tool

python-tests:
	$(call pytest,$(PYTHON),$(BUILD_DIR),tests/python)
	$(call pytest,$(PYTHON),$(BUILD_DIR),tests/compat)

# The pip install check (test_package.py) links the same core archive.
system-python-tests:
	CMAKE_ARGS=-DBRELT_PREBUILT_CORE=$(SHARED_CORE) \
	  $(call pytest,$(SYSTEM_PYTHON),$(SYSTEM_BUILD_DIR),tests/python)
	$(call pytest,$(SYSTEM_PYTHON),$(SYSTEM_BUILD_DIR),tests/compat)

# The decoders against the text-encoding oracle, installing it first (npm).
oracle: deps
	$(call configure,$(BUILD_DIR),$(PYTHON),-DBRELT_BUILD_TESTS=ON)
	scripts/encoding-oracle $(BUILD_DIR)/brelt_decode_tool --install

# The C++ microbenchmarks (GB/s), the suite against the csv module and pandas
# on both interpreters, then read_csv's lock-free phases on 1 and 2 threads.
# BENCH_ARGS=--quick for a short run.
BENCH_ARGS ?=
bench: deps
	@scripts/install-deps --bench
	$(call configure,$(BENCH_DIR),$(PYTHON),-DBRELT_BUILD_TESTS=OFF -DBRELT_BUILD_BENCH=ON)
	$(call configure,$(BUILD_DIR),$(PYTHON),)
	$(configure_system)
	$(BENCH_DIR)/brelt_core_benchmarks --benchmark_min_time=0.5
	$(BENCH_DIR)/brelt_table_memory
	PYTHONPATH=$(call test_path,$(SYSTEM_BUILD_DIR)) $(SYSTEM_PYTHON) bench/run.py $(BENCH_ARGS)
	PYTHONPATH=$(call test_path,$(BUILD_DIR)) $(PYTHON) bench/run.py $(BENCH_ARGS)
	@mixed=$$(ls -S build/bench-data/mixed-*MB.csv | head -n 1); \
	  $(BENCH_DIR)/brelt_read_phases 1 $$mixed && $(BENCH_DIR)/brelt_read_phases 2 $$mixed
	PYTHONPATH=$(call test_path,$(SYSTEM_BUILD_DIR)) $(SYSTEM_PYTHON) bench/files.py \
	  --decompress-speed $(BENCH_DIR)/brelt_decompress_speed

# brelt.dask against Dask's own reader on a 1 GB file, on a two-process
# cluster (the system interpreter has Dask); takes minutes.
bench-dask: deps
	$(call configure,$(BUILD_DIR),$(PYTHON),)
	$(configure_system)
	PYTHONPATH=$(call test_path,$(SYSTEM_BUILD_DIR)) $(SYSTEM_PYTHON) bench/dask_partitions.py

# Short runs of every fuzz target on a scratch copy of its seed corpus.
FUZZ_TARGETS := $(patsubst fuzz/%_fuzz.cpp,%,$(wildcard fuzz/*_fuzz.cpp))
fuzz: deps
	$(MAKE) --no-print-directory sanitized-build
	$(MAKE) --no-print-directory fuzz-run

# One target per fuzz target, so that `make -j` runs them side by side.
fuzz-run: $(addprefix fuzz-run-,$(FUZZ_TARGETS))
fuzz-run-%:
	@name=$*; target=$(SANITIZED_DIR)/fuzz_$$name; corpus=$(SANITIZED_DIR)/corpus/$$name; \
	  log=$(SANITIZED_DIR)/$$name.log; \
	  mkdir -p $$corpus; cp -r fuzz/corpus/$$name/. $$corpus/ 2>/dev/null; \
	  if $$target -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	       -artifact_prefix=$(SANITIZED_DIR)/ $$corpus >$$log 2>&1; then \
	    echo "fuzz $$name: $$(grep -o 'number_of_executed_units: [0-9]*' $$log | grep -o '[0-9]*') runs, no failure"; \
	  else \
	    tail -n 40 $$log; echo "fuzz $$name: FAILED (log: $$log)"; exit 1; \
	  fi

# The sanitized build: clang (libFuzzer needs it) with ASan and UBSan, the
# core instrumented for the fuzzers' coverage as well. Debug keeps the
# assertions; -O1 keeps the sanitized run quick, line tables its reports readable.
sanitized-build:
	CXX=clang++ $(call configure,$(SANITIZED_DIR),$(PYTHON),-DCMAKE_BUILD_TYPE=Debug \
	  "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -gline-tables-only" -DBRELT_BUILD_TESTS=ON -DBRELT_BUILD_FUZZ=ON \
	  -DBRELT_PACKAGE_DIR=$(CURDIR)/$(SANITIZED_DIR)/package/brelt)
	cp brelt/*.py $(SANITIZED_DIR)/package/brelt/

# The C++ tests and the Python suite with AddressSanitizer and UBSan (part of
# `make test`). The interpreter is not instrumented, so the runtime is
# preloaded into it, and leaks are not checked (the interpreter keeps memory
# until exit by design; tests/python/test_resources.py measures growth instead).
# No report of the interpreter's own has needed a suppression so far.
# libstdc++ is preloaded too, so the sanitizer finds the real __cxa_throw
# when it starts (the interpreter itself does not link it).
# The random and exhaustive C++ tests cover less here (scaled_rounds.hpp).
ASAN_RUNTIME = $(shell clang++ -print-file-name=libclang_rt.asan-$(shell uname -m).so) \
	$(shell clang++ -print-file-name=libstdc++.so)
# The sanitized run covers every test that drives the C++ code, with the
# property tests' "smoke" examples (tests/python/conftest.py). Left to the
# plain runs: memory growth means nothing with the sanitizer's allocator, and
# the package (pip build, stubs, demo, documented examples) and Dask checks
# test no C++ path the others miss.
ASAN_SKIPPED_FILES := test_resources test_package test_dask
asan: deps
	$(MAKE) --no-print-directory sanitized-build
	$(MAKE) --no-print-directory asan-run

asan-run:
	ctest --test-dir $(SANITIZED_DIR) --output-on-failure --no-tests=error -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LD_PRELOAD="$(ASAN_RUNTIME)" PYTHONMALLOC=malloc BRELT_HYPOTHESIS=smoke \
	  PYTHONPATH=$(CURDIR)/$(SANITIZED_DIR)/package:$(SANITIZED_DIR)/python:$(DIST_PACKAGES) \
	  $(PYTHON) -P -m pytest -q -p no:cacheprovider -n $(JOBS) \
	  $(foreach file,$(ASAN_SKIPPED_FILES),--ignore=tests/python/$(file).py) tests/python tests/compat

format:
	clang-format -i $$(git ls-files '*.cpp' '*.hpp' | grep -v /generated/)

clean:
	rm -rf build brelt/_core*.so
