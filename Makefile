# The two commands of the README, and the build steps they share.
#   make demo   install what is needed, build, print the demo board's text report
#   make test   install what is needed, build, run every test (normal and sanitizer builds)

BUILD      ?= build
BUILD_ASAN ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps build build-asan demo test test-normal test-asan format clean

all: build

deps:
	./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DSENSORVISOR_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS)

demo: build
	./$(BUILD)/tools/sensorvisor-sim -- -t

test-normal: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(BUILD_ASAN) && ctest --output-on-failure -j $(JOBS)

test: test-normal test-asan

format:
	find src tools tests -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN)
