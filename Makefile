# Tintwell: the two commands a developer needs.
#   make run         build, start the stand-in messenger and Tintwell (a demo)
#   make test        build both architectures and run every test under Wine
# and a few more:
#   make screenshot  render docs/tintwell.png from the real program
#   make dist        dist/ zips of Tintwell.exe for x86 and x64
#   make bench       Tintwell's start, apply, memory and size against a floor program
#   make soak        a long session: 10 000 scroll changes, 500 applies, memory growth
SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c

.PHONY: test run build deps screenshot dist bench soak clean

deps:
	bash scripts/install-deps.sh

build: deps
	cmake --preset x64
	cmake --build --preset x64
	cmake --preset x86
	cmake --build --preset x86

# The style and the test budget first, then one Wine prefix (32-bit programs
# included), X display and warm Wine server for the whole run: the x86 test
# programs run in it too. Everything runs even when something before it fails.
test: build
	status=0; bash scripts/check-style.sh || status=1; \
	bash scripts/test-share.sh || status=1; \
	bash scripts/wine-harness.sh build/x64 session \
	  bash -c 'status=0; for arch in x64 x86; do ctest --preset $$arch || status=1; done; exit $$status' \
	  || status=1; \
	exit $$status

# The demo has a harness of its own: it runs beside the tests.
run: build
	bash scripts/demo.sh run

screenshot: build
	bash scripts/demo.sh screenshot

# The zips of the last commit; ALLOW_UNCOMMITTED=1 zips the tree as it is.
dist: build
	bash scripts/dist.sh $(if $(ALLOW_UNCOMMITTED),--allow-uncommitted)

bench: build
	bash scripts/bench.sh bench

soak: build
	bash scripts/bench.sh soak

# The Debian 13 root (scripts/debian13.sh, which needs root) is root's: it
# goes only when root cleans.
clean:
	rm -rf dist build/x64 build/x86
	if [ -d build/debian13 ] && [ "$$(id -u)" -ne 0 ]; then \
	  echo "build/debian13 (the Debian 13 root) is root's: sudo make clean removes it"; \
	else \
	  rm -rf --one-file-system build; \
	fi
