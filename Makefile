# Quick start: `make demo` and `make test`. A bare `make` builds the four programs into build/.
BUILD       ?= build
ASAN_BUILD  ?= build-asan
FUZZ_BUILD  ?= build-fuzz
BENCH_BUILD ?= build-bench
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 3
JOBS        ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX      ?= /usr/local
MAKEFLAGS   += --no-print-directory

.PHONY: all deps build configure lint test test-release test-sanitize fuzz-build fuzz fuzz-smoke bench demo install package clean

all: build

# Only the programs; the tests are built by `make test`.
build: configure
	cmake --build $(BUILD) -j $(JOBS) --target programs

# mztape reads and writes audio through libsndfile; a machine without it gets it from apt-get
# (through sudo when not root), so `make`, `make demo` and `make test` need no other set-up.
deps:
	@pkg-config --exists sndfile 2>/dev/null || { \
	  echo "libsndfile is missing: installing pkg-config and libsndfile1-dev with apt-get"; \
	  as_root=; [ "$$(id -u)" = 0 ] || as_root=sudo; \
	  $$as_root apt-get update && $$as_root apt-get install -y pkg-config libsndfile1-dev; }

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The programs' and libraries' sources through clang-tidy (checks in .clang-tidy), with the
# compile commands of the normal build; any finding fails. CMake lists the sources and folders
# from its list of programs. It takes seconds, so `make test` runs it first.
lint: SHELL := /bin/bash
lint: .SHELLFLAGS := -o pipefail -c
lint:
	$(MAKE) configure > /dev/null
	xargs -a $(BUILD)/lint-arguments.txt -d '\n' clang-tidy -p $(BUILD) --quiet 2>&1 | { grep -v -E '^[0-9]+ warnings? generated\.$$' || true; }

# Every test twice: the normal build with g++, then clang++ with AddressSanitizer and
# UndefinedBehaviorSanitizer.
test: lint test-release test-sanitize fuzz-smoke

test-release: configure
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DMZ_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ctest --test-dir $(ASAN_BUILD) -j $(JOBS) --output-on-failure

# libFuzzer targets under clang++; `make fuzz` runs each for FUZZ_SECONDS, `make test` a short smoke.
fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DMZ_FUZZ=ON -DMZ_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz: fuzz-build
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-smoke: fuzz-build
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS)

# Listing and tape decoding speed, and mztape decode as a whole process on a 20-minute recording,
# on an optimised build of its own.
bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DMZ_BENCH=ON -DMZ_TESTS=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target listing_bench tape_decoder_bench mztape
	$(BENCH_BUILD)/listing_bench
	$(BENCH_BUILD)/tape_decoder_bench
	bash bench/mztape_bench.sh $(BENCH_BUILD)/mztape

demo: build
	bash scripts/demo.sh $(BUILD)

# The three programs into $(PREFIX)/bin and their manual pages into $(PREFIX)/share/man/man1;
# DESTDIR=/some/root stages the same tree below another root.
install: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$(PREFIX)"
	cmake --build $(BUILD) -j $(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)

# A Debian package of the same files, in $(BUILD)/dist.
package: build
	cmake --build $(BUILD) --target package
	@ls -1 $(BUILD)/dist/*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
