# make run   the installer's window under Wine (on Xvfb, with a screenshot, when no display)
# make test  everything: missing packages, configure, build, all tests
# make bench release build in build-bench/, then our download, extraction and search timed
#            beside nginx, curl and unzip on loopback (figures in build-bench/bench.json)
# make size  the installer's largest contributors, from its link map
# make warnings  clang's -Wall -Wextra over the product sources, for the Windows target
# make release   the installer as shipped, in build-release/ (see README, "Packaging"):
#            PACKAGE_PUBLIC_KEY=publisher.pub.pem (or ALLOW_UNSIGNED_PACKAGES=ON)
#            SETTINGS_SERVER_URL= PARSER_SERVICE_URL= SHARE_SITE_HOME_URL=
#            REQUIRE_PACKAGE_SHA256=ON|OFF  SIGN_PKCS12=cert.p12 SIGN_PASSWORD_FILE=pass.txt
#            TIMESTAMP_URL=   (all optional)
# make check-package PACKAGE=path/to.zip [PACKAGE_PUBLIC_KEY=pub.pem PACKAGE_SIGNATURE=base64]
#            how the installer and the shell will read a package, and whether its signature holds
# make sign-package PACKAGE=path/to.zip KEY=publisher.pem
#            the package_sha256 and package_signature to publish, checked as the installer will
# make fuzz  each parser of downloaded bytes under libFuzzer with sanitizers, natively,
#            FUZZ_SECONDS (60) each; new inputs land in build/fuzz/corpus
BUILD ?= build
BENCH_BUILD ?= build-bench
RELEASE_BUILD ?= build-release
FUZZ_SECONDS ?= 60

.PHONY: all deps build run test bench size warnings release check-package sign-package fuzz clean

all: build

deps:
	@tools/install-deps.sh

# A key pair made once in a build folder and never committed: the installer is built with its
# public half; the demo back end and the tests sign with the other.
%/keys/publisher.pub.pem:
	@mkdir -p $*/keys
	openssl ecparam -name prime256v1 -genkey -noout -out $*/keys/publisher.pem
	openssl ec -in $*/keys/publisher.pem -pubout -out $@

$(BUILD)/CMakeCache.txt: | $(BUILD)/keys/publisher.pub.pem
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DTOVARELIN_PACKAGE_PUBLIC_KEY=$(abspath $(BUILD))/keys/publisher.pub.pem \
	  -DTOVARELIN_TEST_SIGNING_KEY=$(abspath $(BUILD))/keys/publisher.pem

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j 2

run: build
	tools/run.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure

bench: deps | $(BENCH_BUILD)/keys/publisher.pub.pem
	@bench/install-nginx.sh
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTOVARELIN_BENCH=ON \
	  -DTOVARELIN_PACKAGE_PUBLIC_KEY=$(abspath $(BENCH_BUILD))/keys/publisher.pub.pem
	cmake --build $(BENCH_BUILD) -j 2
	python3 bench/run_bench.py $(BENCH_BUILD)

size: build
	python3 tools/size_map.py $(BUILD)/TovarelinInstaller.map

warnings: deps $(BUILD)/CMakeCache.txt
	tools/clang_warnings.sh $(BUILD)

release: deps
	PACKAGE_PUBLIC_KEY='$(PACKAGE_PUBLIC_KEY)' ALLOW_UNSIGNED_PACKAGES='$(ALLOW_UNSIGNED_PACKAGES)' \
	SETTINGS_SERVER_URL='$(SETTINGS_SERVER_URL)' PARSER_SERVICE_URL='$(PARSER_SERVICE_URL)' \
	SHARE_SITE_HOME_URL='$(SHARE_SITE_HOME_URL)' REQUIRE_PACKAGE_SHA256='$(REQUIRE_PACKAGE_SHA256)' \
	SIGN_PKCS12='$(SIGN_PKCS12)' SIGN_PASSWORD_FILE='$(SIGN_PASSWORD_FILE)' \
	TIMESTAMP_URL='$(TIMESTAMP_URL)' tools/release.sh $(RELEASE_BUILD)

check-package: build
	@test -n "$(PACKAGE)" || { echo "usage: make check-package PACKAGE=path/to.zip" \
	  "[PACKAGE_PUBLIC_KEY=publisher.pub.pem PACKAGE_SIGNATURE=base64]" >&2; exit 2; }
	@key=; if [ -n "$(PACKAGE_PUBLIC_KEY)" ]; then \
	  key=$$(tools/package_key.sh '$(PACKAGE_PUBLIC_KEY)') || exit 2; fi; \
	TOVARELIN_NO_DISPLAY=1 tests/wine/run.sh $(BUILD) $(BUILD)/bin/TovarelinCheckPackage.exe \
	  "Z:$$(realpath '$(PACKAGE)' | tr / '\\')" $${key:+$$key '$(PACKAGE_SIGNATURE)'}

sign-package: build
	@test -n "$(PACKAGE)" -a -n "$(KEY)" || \
	  { echo "usage: make sign-package PACKAGE=path/to.zip KEY=publisher.pem" >&2; exit 2; }
	@openssl ec -in '$(KEY)' -pubout -out $(BUILD)/sign-package.pub.pem 2>/dev/null && \
	  $(MAKE) -s check-package PACKAGE='$(PACKAGE)' PACKAGE_PUBLIC_KEY=$(BUILD)/sign-package.pub.pem \
	  PACKAGE_SIGNATURE="$$(openssl dgst -sha256 -sign '$(KEY)' '$(PACKAGE)' | base64 -w0)"

fuzz: deps
	tests/fuzz/fuzz.sh run $(BUILD)/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
