# Front door for people who do not want to learn CMake.
#   make deps   install the Debian packages the build needs (as root, or with sudo)
#   make        build everything (Release) into build/
#   make test   deps + build + every test, including a sanitizer build of the converter and imgsize
#   make bench  run the benchmarks
#   make run    start the editor
#   make fuzz   run the fuzz targets for a bounded time (FUZZ_SECONDS each)
#   make package  build the Debian package quirtle_<version>_<arch>.deb here

BUILD       ?= build
SAN_BUILD   ?= build-san
FUZZ_BUILD  ?= build-fuzz
JOBS        ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all deps build test test-release test-sanitize bench run fuzz package clean format

all: build

deps:
	@bash tools/deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: deps
	$(MAKE) test-release
	$(MAKE) test-sanitize

test-release: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DQUIRTLE_SANITIZE=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

bench: deps
	$(MAKE) build
	@bash tools/bench.sh $(BUILD)

run: deps
	$(MAKE) build
	@bash tools/run.sh $(BUILD)

package: deps
	$(MAKE) build
	cd $(BUILD) && cpack -G DEB
	cp $(BUILD)/package/quirtle_*.deb .

fuzz:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQUIRTLE_BUILD_FUZZ=ON -DQUIRTLE_BUILD_APP=OFF -DQUIRTLE_BUILD_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@bash tools/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
