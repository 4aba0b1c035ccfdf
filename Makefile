# Entry points; see README.md.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
PYTHON     := /usr/bin/python3
CMAKE_ARGS := -G Ninja -DPython_EXECUTABLE=$(PYTHON) -DPYTHON_EXECUTABLE=$(PYTHON)

.PHONY: all deps build demo test test-plain test-sanitize install bench clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	PYTHONPATH=$(BUILD)/python-client-core/module:$(BUILD)/python-client-core/schema/py:$(BUILD)/Halvern/HalvernWrapper:Halvern/python:Halvern/tools $(PYTHON) examples/demo.py

# Every test: the plain build (C++ and Python), then the C++ tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
test: test-plain test-sanitize

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_ARGS) -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON \
	  -DBUILD_PYTHON_MODULES=OFF -DBUILD_BENCHMARKS=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -L cpp

install: build
	cmake --install $(BUILD)

# The extra decoders the benchmarks compare against are installed only here.
bench: build
	@scripts/install-deps.sh bench
	@bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
