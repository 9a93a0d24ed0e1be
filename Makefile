# The two commands of the README: `make run` and `make test`. Each sets up
# what it needs first (scripts/bootstrap.sh installs missing packages).
SHELL := /bin/bash
JOBS ?= $(shell nproc)
SCENARIO ?= applies
ANSWER ?= no
ARCH ?=
ARGS ?=

.PHONY: all bootstrap build native windows sanitize fuzz-build lane test soak run fuzz bench pictures release clean
FUZZ_TIME ?= 60

all: build

bootstrap:
	@scripts/bootstrap.sh

native: bootstrap
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS)

windows: bootstrap
	@cmake --preset mingw-i686 >/dev/null
	@cmake --build --preset mingw-i686 -j $(JOBS)
	@cmake --preset mingw-x86_64 >/dev/null
	@cmake --build --preset mingw-x86_64 -j $(JOBS)

build: native windows

# The unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: bootstrap
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize -j $(JOBS)

# libFuzzer targets (clang); `make test` replays their seed corpora.
fuzz-build: bootstrap
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

# The 32-bit lane's guest image, where this kernel cannot run 32-bit Wine
# itself (made once, about 15 minutes; scripts/lane/image.sh).
lane: bootstrap
	@scripts/lane/image.sh

# The Wine suites report each finished case as they go (build/test-progress.log).
test: build sanitize fuzz-build lane
	@scripts/with-progress.sh build/test-progress.log ctest --preset native -j $(JOBS)
	@ctest --preset sanitize -j $(JOBS)
	@ctest --preset fuzz -j $(JOBS)

# The Wine suites of both builds RUNS times under CPU load, and the failed
# runs of each case (scripts/soak.sh). Not part of `make test`.
RUNS ?= 5
soak: build lane
	@RUNS=$(RUNS) scripts/soak.sh

# Runs each fuzz target for FUZZ_TIME seconds, growing a copy of its corpus.
fuzz: fuzz-build
	@for t in reg_file pe_version ver_info; do \
	  mkdir -p build/fuzz/corpus-$$t && \
	  build/fuzz/$${t}_fuzz -max_total_time=$(FUZZ_TIME) build/fuzz/corpus-$$t fuzz/corpus/$$t || exit 1; \
	done

# The README's pictures of every window a person can meet, from the real
# Hotfix.exe under Wine and Xvfb (docs/pictures/; scripts/pictures/make.sh).
# Not part of `make test`.
pictures: windows
	@scripts/bootstrap.sh --pictures
	@scripts/pictures/make.sh

# Every benchmark, written up in BENCHMARKS.md. The simulator is measured in an
# optimised build of its own (build/bench); the native preset is Debug.
BENCH_RUNS ?= 7
bench: windows lane
	@cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DHOTFIX_WARNINGS_AS_ERRORS=OFF >/dev/null
	@cmake --build build/bench -j $(JOBS) --target hotfix-sim hotfix_sim_bench make_export
	@bench/run.sh $(BENCH_RUNS)

# dist/Hotfix.exe (i686) built in build/release-i686 pinned to PAYLOAD's
# 40517.exe and 40517-2.exe, which go beside it, with SHA256SUMS and
# BUILDINFO; signed with Authenticode when SIGN_CERT and SIGN_KEY (PEM) or
# SIGN_PKCS12 are given (scripts/release.sh). Never the unpinned `windows` build.
release: bootstrap
	@PAYLOAD="$(PAYLOAD)" scripts/release.sh

run:
	@mkdir -p build
	@echo "Building Hotfix.exe (i686, x86_64) and the tools; log in build/build.log"
	@$(MAKE) --no-print-directory build > build/build.log 2>&1 || { tail -40 build/build.log; exit 1; }
	@if [ "$(ARCH)" = i686 ]; then scripts/lane/image.sh; fi
	@HOTFIX_DEMO_ARGS="$(ARGS)" scripts/demo.sh $(SCENARIO) $(ANSWER) $(ARCH)

clean:
	rm -rf build
