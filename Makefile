# The two commands of the README:
#   make test   installs what is missing, builds every preset and runs every test
#   make run    builds Haulix and starts it under Wine
.PHONY: run test setup native tsan windows test-native test-tsan test-windows bench clean

JOBS ?= $(shell nproc)

test: setup test-native test-tsan test-windows

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

test-native: native
	@scripts/check-portable.sh .
	ctest --preset native -j $(JOBS)

test-tsan: tsan
	ctest --preset tsan -j $(JOBS)

test-windows: windows
	@scripts/windows-tests.sh build/windows -j $(JOBS)

bench:
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@bench/run-all.sh build/release

clean:
	rm -rf build
