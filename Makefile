# Quick start: `make demo` and `make test`. A bare `make` builds the three programs into build/.
BUILD       ?= build
ASAN_BUILD  ?= build-asan
BENCH_BUILD ?= build-bench
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build test test-release test-sanitize bench demo clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# Every test twice: the normal build with g++, then clang++ with AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: test-release test-sanitize

test-release: build
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure

test-sanitize:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DMZ_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) -j $(JOBS) --output-on-failure

# Listing speed, on an optimised build of its own.
bench:
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DMZ_BENCH=ON -DMZ_TESTS=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target listing_bench
	$(BENCH_BUILD)/listing_bench

demo: build
	sh scripts/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
