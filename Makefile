# Set-up, build and tests on a Debian 12 machine: `make test` does everything.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build test demo asan clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

demo: build
	$(BUILD)/src/cli/tessarix-cli demo

# The whole suite once more under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	$(MAKE) test BUILD=build-asan \
	  CMAKE_FLAGS="-DTESSARIX_SANITIZE=address,undefined -DTESSARIX_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug"

clean:
	rm -rf $(BUILD) build-asan
