# The two commands of the README, and the build steps they share.
#   make demo   install what is needed, build the launcher, print the demo board's text report
#   make demo-gui   the same, but open the window on the demo board (needs an X display)
#   make test   install what is needed, build, run every test (normal and sanitizer builds)
#               on a private Xvfb (scripts/with-xvfb)
#   make bench  build the benchmark driver (Release) and run the benchmark
#   make bench-fleet  50 exporters on generated boards scraped by one Prometheus server
#   make bench-gui  the window's refresh cycle and memory (Release, on a private Xvfb)
#   make package  a Debian package (build-package/sensorvisor_*.deb)
#   make fuzz   build the libFuzzer targets with clang and run each FUZZ_SECONDS seconds
#   make lint   clang-tidy over src/ and tools/ (.clang-tidy); fails on any finding
#   make faults plant each fault of tests/faults/ in a copy of the tree and report the ones no
#               test catches (build-faults/; not part of make test)

BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_BENCH ?= build-bench
BUILD_PKG  ?= build-package
BUILD_FUZZ ?= build-fuzz
BUILD_LINT ?= build-lint
LINT_JOBS  ?= 2
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := board_file config_loader config_writer master_file pci_devices proc_i2c \
                proc_modules smbios sysfs_adapters
JOBS       ?= $(shell nproc)
CMAKE_GEN  := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all deps configure build build-asan demo demo-gui bench-gui bench-fleet test test-normal test-asan package bench format clean fuzz lint faults

all: build

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DSENSORVISOR_SANITIZE=ON
	cmake --build $(BUILD_ASAN) -j $(JOBS)

# The demos build the launcher alone, not the tests.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target sensorvisor-sim
	./$(BUILD)/tools/sensorvisor-sim -- -t

demo-gui: configure
	cmake --build $(BUILD) -j $(JOBS) --target sensorvisor-sim
	./$(BUILD)/tools/sensorvisor-sim

test-normal: build
	cd $(BUILD) && $(CURDIR)/scripts/with-xvfb ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(BUILD_ASAN) && $(CURDIR)/scripts/with-xvfb ctest --output-on-failure -j $(JOBS)

test: test-normal test-asan

# Installed under /usr; tests are not part of the package build.
package: deps
	cmake -S . -B $(BUILD_PKG) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DCMAKE_INSTALL_PREFIX=/usr -DSENSORVISOR_TESTS=OFF
	cmake --build $(BUILD_PKG) -j $(JOBS)
	cd $(BUILD_PKG) && cpack

bench:
	./scripts/install-deps bench
	cmake -S . -B $(BUILD_BENCH) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_BENCH) -j $(JOBS) --target sensorvisor-bench
	./bench/run-bench $(BUILD_BENCH)

# Not part of the tests; bounded (FLEET_SECONDS of scraping, default 180).
bench-fleet:
	./scripts/install-deps
	cmake -S . -B $(BUILD_BENCH) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_BENCH) -j $(JOBS) --target sensorvisor-exporter-sim
	./bench/run-fleet $(BUILD_BENCH)

bench-gui:
	./scripts/install-deps bench-gui
	cmake -S . -B $(BUILD_BENCH) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_BENCH) -j $(JOBS) --target sensorvisor-gui-bench minimal-gtk-window \
	      sensorvisor-sim
	./scripts/with-xvfb ./bench/run-gui-bench $(BUILD_BENCH)

# One fault at a time in build-faults/tree, rebuilt incrementally in
# build-faults/build; the report also goes to build-faults/report.txt.
faults: deps
	./scripts/with-xvfb ./scripts/plant-faults $(FAULTS)

# Found crashes stay in $(BUILD_FUZZ)/crashes/, the fuzzers' own corpus in
# $(BUILD_FUZZ)/corpus/.
fuzz:
	./scripts/install-deps fuzz
	cmake -S . -B $(BUILD_FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DCMAKE_CXX_COMPILER=clang++ -DSENSORVISOR_FUZZ=ON -DSENSORVISOR_TESTS=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS) $(addprefix --target ,$(addsuffix _fuzz,$(FUZZ_TARGETS)))
	./scripts/run-fuzz $(BUILD_FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# Only the compile database is needed, not a build. The keyword table's
# compile-time self-check needs more constant-evaluation steps than clang
# allows by default (as in the fuzzing build).
lint:
	./scripts/install-deps lint
	cmake -S . -B $(BUILD_LINT) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	run-clang-tidy -quiet -j $(LINT_JOBS) -p $(BUILD_LINT) \
	    -extra-arg=-fconstexpr-steps=16777216 '$(CURDIR)/(src|tools)/'

format:
	find src tools tests -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_PKG)
