# make run   the installer's window under Wine (on Xvfb, with a screenshot, when no display)
# make test  everything: missing packages, configure, build, all tests
# make bench release build in build-bench/, then our download, extraction and search timed
#            beside nginx, curl and unzip on loopback (figures in build-bench/bench.json)
# make size  the installer's largest contributors, from its link map
# make warnings  clang's -Wall -Wextra over the product sources, for the Windows target
# make release   the installer as shipped, in build-release/ (see README, "Packaging"):
#            SETTINGS_SERVER_URL= PARSER_SERVICE_URL= SHARE_SITE_HOME_URL=
#            REQUIRE_PACKAGE_SHA256=ON|OFF  SIGN_PKCS12=cert.p12 SIGN_PASSWORD_FILE=pass.txt
#            TIMESTAMP_URL=   (all optional)
# make check-package PACKAGE=path/to.zip   how the installer and the shell will read a package
# make fuzz  each parser of downloaded bytes under libFuzzer with sanitizers, natively,
#            FUZZ_SECONDS (60) each; new inputs land in build/fuzz/corpus
BUILD ?= build
BENCH_BUILD ?= build-bench
RELEASE_BUILD ?= build-release
FUZZ_SECONDS ?= 60

.PHONY: all deps build run test bench size warnings release check-package fuzz clean

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

size: build
	python3 tools/size_map.py $(BUILD)/TovarelinInstaller.map

warnings: deps $(BUILD)/CMakeCache.txt
	tools/clang_warnings.sh $(BUILD)

release: deps
	SETTINGS_SERVER_URL='$(SETTINGS_SERVER_URL)' PARSER_SERVICE_URL='$(PARSER_SERVICE_URL)' \
	SHARE_SITE_HOME_URL='$(SHARE_SITE_HOME_URL)' REQUIRE_PACKAGE_SHA256='$(REQUIRE_PACKAGE_SHA256)' \
	SIGN_PKCS12='$(SIGN_PKCS12)' SIGN_PASSWORD_FILE='$(SIGN_PASSWORD_FILE)' \
	TIMESTAMP_URL='$(TIMESTAMP_URL)' tools/release.sh $(RELEASE_BUILD)

check-package: build
	@test -n "$(PACKAGE)" || { echo "usage: make check-package PACKAGE=path/to.zip" >&2; exit 2; }
	@TOVARELIN_NO_DISPLAY=1 tests/wine/run.sh $(BUILD) $(BUILD)/bin/TovarelinCheckPackage.exe \
	  "Z:$$(realpath '$(PACKAGE)' | tr / '\\')"

fuzz: deps
	tests/fuzz/fuzz.sh run $(BUILD)/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
