# Set-up, build and tests on a Debian 12 machine: `make test` does everything.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo deb check-deb asan tsan clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The browser the web page test opens is needed by the tests only, not by `make demo`.
test: build
	@scripts/install-test-deps
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

demo: build
	$(BUILD)/src/cli/tessarix-cli demo

# tessarix_<version>_amd64.deb in the build folder; check-deb runs the checks CI runs on it.
deb: build
	@scripts/install-packaging-deps
	cd $(BUILD) && cpack -G DEB

check-deb: deb
	scripts/check-deb $(BUILD)

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	$(MAKE) test BUILD=build-asan \
	  CMAKE_FLAGS="-DTESSARIX_SANITIZE=address,undefined -DTESSARIX_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug"

# The job, driver and window logic tests under ThreadSanitizer: the worker thread against the
# window's polling. Only their test programs are built; a report makes one end with a failure.
tsan: deps
	$(MAKE) configure BUILD=build-tsan \
	  CMAKE_FLAGS="-DTESSARIX_SANITIZE=thread -DTESSARIX_BUILD_BENCH=OFF -DTESSARIX_BUILD_APP=OFF"
	cmake --build build-tsan -j $(JOBS) --target platform_tests collection_tests job_state_tests \
	  engine_tests batch_tests window_logic_tests
	TSAN_OPTIONS="halt_on_error=1" build-tsan/tests/platform/platform_tests \
	  --gtest_filter='WorkPool*:MemoryBudget*'
	TSAN_OPTIONS="halt_on_error=1" build-tsan/tests/collection/collection_tests \
	  --gtest_filter='ParallelAnalysis*:HostileSizes.TwoLarge*'
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build-tsan/tests/job_state/job_state_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build-tsan/tests/batch/batch_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  build-tsan/tests/window_logic/window_logic_tests
	TSAN_OPTIONS="halt_on_error=1" build-tsan/tests/engine/engine_tests \
	  --gtest_filter='Parallel*:Rendering*:TileCache*'

clean:
	rm -rf $(BUILD) build-asan build-tsan
