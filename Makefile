# make run   the installer's window under Wine (on Xvfb, with a screenshot, when no display)
# make test  everything: missing packages, configure, build, all tests
# make bench release build in build-bench/, then our download, extraction and search timed
#            beside nginx, curl and unzip on loopback (figures in build-bench/bench.json)
# make fuzz  each parser of downloaded bytes under libFuzzer with sanitizers, natively,
#            FUZZ_SECONDS (60) each; new inputs land in build/fuzz/corpus
BUILD ?= build
BENCH_BUILD ?= build-bench
FUZZ_SECONDS ?= 60

.PHONY: all deps build run test bench fuzz clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j 2

run: build
	tools/run.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure

bench: deps
	@bench/install-nginx.sh
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTOVARELIN_BENCH=ON
	cmake --build $(BENCH_BUILD) -j 2
	python3 bench/run_bench.py $(BENCH_BUILD)

fuzz: deps
	tests/fuzz/fuzz.sh run $(BUILD)/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
