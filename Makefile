# The two commands of the README: `make run` and `make test`. Each sets up
# what it needs first (scripts/bootstrap.sh installs missing packages).
SHELL := /bin/bash
JOBS ?= $(shell nproc)
SCENARIO ?= applies
ANSWER ?= no

.PHONY: all bootstrap build native windows test run clean

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

test: build
	@ctest --preset native -j $(JOBS)

run: build
	@scripts/demo.sh $(SCENARIO) $(ANSWER)

clean:
	rm -rf build
