# The two commands of the README:
#   make test   installs what is missing, builds every preset and runs every test
#   make run    builds Haulix and starts it under Wine
# and the package for Windows users:
#   make dist   dist/haulix-VERSION-win64.zip, from an optimised, stripped release build
.PHONY: run test setup native tsan windows dist test-native test-tsan test-windows test-dist \
	bench clean

JOBS ?= $(shell nproc)

test: setup test-native test-tsan test-windows test-dist

run: setup
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows -j $(JOBS) --target haulix
	@scripts/run-haulix.sh

setup:
	@scripts/setup.sh

native:
	@cmake --preset native >/dev/null
	@cmake --build --preset native -j $(JOBS)

tsan:
	@cmake --preset tsan >/dev/null
	@cmake --build --preset tsan -j $(JOBS)

windows:
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows -j $(JOBS)

dist: setup
	@cmake --preset dist >/dev/null
	@cmake --build --preset dist -j $(JOBS)
	@ls dist/haulix-*-win64.zip

test-native: native
	@scripts/check-portable.sh .
	ctest --preset native -j $(JOBS)

test-tsan: tsan
	ctest --preset tsan -j $(JOBS)

test-windows: windows
	@scripts/windows-tests.sh build/windows -j $(JOBS)

test-dist: dist
	ctest --preset dist

bench:
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@bench/run-all.sh build/release

clean:
	rm -rf build dist
