# The two commands: `make run` and `make test`. Both install what is missing first.
BUILD_RELEASE ?= build/release
BUILD_TEST ?= build/test
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run test build deps bench package clean fuzz

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_TESTS=OFF
	cmake --build $(BUILD_RELEASE) -j $(JOBS)

run: build
	$(BUILD_RELEASE)/src/tolvane $(FILE)

test: deps
	cmake -S . -B $(BUILD_TEST) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVANE_WERROR=ON -DTOLVANE_SANITIZE=ON
	cmake --build $(BUILD_TEST) -j $(JOBS)
	cd $(BUILD_TEST) && ctest --output-on-failure -j $(JOBS)

# The fuzz targets, each for FUZZ_SECONDS (default 300); `make test` runs them for a few seconds only.
fuzz: deps
	scripts/fuzz $(FUZZ_SECONDS)

# A Debian package of the Release build: $(BUILD_RELEASE)/tolvane_<version>_<arch>.deb
package: build
	cd $(BUILD_RELEASE) && cpack -G DEB

clean:
	rm -rf build
