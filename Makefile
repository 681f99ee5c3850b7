# Tintwell: the two commands a developer needs.
#   make run         build, start the stand-in messenger and Tintwell (a demo)
#   make test        build both architectures and run every test under Wine
# and a few more:
#   make screenshot  render docs/tintwell.png from the real program
#   make dist        dist/ zips of Tintwell.exe for x86 and x64
SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c

.PHONY: test run build deps screenshot dist clean

deps:
	bash scripts/install-deps.sh

build: deps
	cmake --preset x64
	cmake --build --preset x64
	cmake --preset x86
	cmake --build --preset x86

test: build
	ctest --preset x86
	ctest --preset x64

run: build
	bash scripts/demo.sh run

screenshot: build
	bash scripts/demo.sh screenshot

dist: build
	bash scripts/dist.sh

clean:
	rm -rf build dist
