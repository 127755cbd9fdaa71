# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: run test build setup configure bench package format clean

setup:
	@bash tools/setup.sh $(SETUP_ARGS)

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

# A new build tree made for the program alone leaves the tests out, so that configuring it needs
# none of the test packages; one that has the tests keeps them.
PROGRAM_ONLY := $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DBUILD_TESTING=OFF)

# Only the program: no tests, no benchmarks.
run: CMAKE_ARGS += $(PROGRAM_ONLY)
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target tessel
	./$(BUILD)/tessel

# Everything, with the sanitized copy of the program the robustness tests use. The sound-server
# tests spend nearly all their time waiting on private servers, so they run first, three to a core,
# and then the rest, one to a core; both halves always run.
test: CMAKE_ARGS += -DBUILD_TESTING=ON -DTESSEL_SANITIZE=ON -DTESSEL_BENCHMARKS=ON
test: SETUP_ARGS = --tests
test: configure
	@cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && status=0; \
	  ctest --output-on-failure -L sound_server -j $$(( 3 * $(JOBS) )) || status=1; \
	  ctest --output-on-failure -LE sound_server -j $(JOBS) || status=1; \
	  exit $$status

bench: CMAKE_ARGS += -DBUILD_TESTING=ON -DTESSEL_BENCHMARKS=ON
bench: SETUP_ARGS = --tests
bench: configure
	@cmake --build $(BUILD) -j $(JOBS) --target bench

# A Debian package of the program alone: $(BUILD)/tessel_<version>_<arch>.deb.
package: CMAKE_ARGS += $(PROGRAM_ONLY)
package: SETUP_ARGS = --package
package: configure
	@cmake --build $(BUILD) -j $(JOBS) --target tessel
	cd $(BUILD) && cpack -G DEB

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
