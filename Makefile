# make run   the installer's window under Wine (on Xvfb, with a screenshot, when no display)
# make test  everything: missing packages, configure, build, all tests
BUILD ?= build

.PHONY: all deps build run test clean

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

clean:
	rm -rf $(BUILD)
