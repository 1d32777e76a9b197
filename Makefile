# The two commands of the quick start:
#   make run    install what is missing, build, start the editor
#   make test   install what is missing, build, run every test
# And for CI (.ci/run):
#   make test-asan              the suite under AddressSanitizer and UndefinedBehaviorSanitizer
#   make fuzz FUZZ_SECONDS=N    each libFuzzer target in fuzz/ for N seconds
#   make format-check           clang-format dry run over the sources
#   make check-epub             the EPUB books nvx writes, checked by EPUBCheck and pandoc
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
ASAN_DIR ?= build-asan
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 10
# Both cores (or however many the machine has) for compiling and for running tests.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Compiler warnings are errors in the builds made here (and so in CI); WERROR=OFF relaxes it.
WERROR ?= ON
# Extra CMake settings for every configure, e.g. CMAKE_ARGS=-DNVX_BUILD_BENCH=OFF.
CMAKE_ARGS ?=

# A sanitizer finding ends the test with an error; leaks inside the system's font and platform
# libraries (never the project's own code) are listed in the suppressions file.
SANITIZER_ENV = \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$(CURDIR)/tests/sanitizer/ubsan.supp \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp:print_suppressions=0

SOURCES = $(shell find src tests bench fuzz -name '*.cpp' -o -name '*.h' 2>/dev/null)

.PHONY: run test build deps configure bench format format-check clean sample package check-install \
        test-asan build-asan fuzz fuzz-build fuzz-deps format-deps layers check-epub

# Opens the sample collection (made once) unless ARGS names another file.
run: build $(BUILD_DIR)/sample.nvx
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY$$QT_QPA_PLATFORM" ]; then \
	  echo "No display to show the editor on: run it in a desktop session, or try: xvfb-run -a $(BUILD_DIR)/src/nvxedit"; \
	else \
	  ./$(BUILD_DIR)/src/nvxedit $(or $(ARGS),$(BUILD_DIR)/sample.nvx); \
	fi

$(BUILD_DIR)/sample.nvx: scripts/make-sample.sh $(wildcard scripts/sample/*.txt)
	bash scripts/make-sample.sh $@ $(BUILD_DIR)

sample:
	rm -f $(BUILD_DIR)/sample.nvx
	$(MAKE) $(BUILD_DIR)/sample.nvx

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DNVX_WERROR=$(WERROR) $(CMAKE_ARGS); \
	fi

deps:
	@bash scripts/install-deps.sh

# The whole suite with AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer, in its
# own build folder; benchmarks are left out.
test-asan: build-asan
	$(SANITIZER_ENV) ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

build-asan: deps
	@if [ ! -f $(ASAN_DIR)/build.ninja ]; then \
	  cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNVX_SANITIZE=address,undefined \
	    -DNVX_BUILD_BENCH=OFF -DNVX_WERROR=$(WERROR) $(CMAKE_ARGS); \
	fi
	$(SANITIZER_ENV) cmake --build $(ASAN_DIR) -j $(JOBS)

# Every fuzz/*_fuzz.cpp target, built with clang's libFuzzer, each run for FUZZ_SECONDS on a
# corpus that starts from the seeds fuzz/make-seeds.sh writes.
fuzz: fuzz-build
	bash fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

fuzz-build: fuzz-deps
	@if [ ! -f $(FUZZ_DIR)/build.ninja ]; then \
	  cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNVX_FUZZ=ON \
	    -DCMAKE_CXX_COMPILER=clang++-14 -DNVX_WERROR=$(WERROR) $(CMAKE_ARGS); \
	fi
	cmake --build $(FUZZ_DIR) -j $(JOBS)

fuzz-deps:
	@bash scripts/install-deps.sh fuzz

# Every workload beside its floor; generates the collections it needs into BUILD_DIR/bench-data.
bench: build
	bash scripts/bench.sh $(BUILD_DIR)

# The Debian package (BUILD_DIR/nvxedit_VERSION_ARCH.deb), built with CPack.
package: deps
	bash scripts/package.sh $(BUILD_DIR)

# The install tree and, as root, the package installed, used and removed again.
check-install: build
	bash scripts/check-install.sh $(BUILD_DIR)

# EPUBs exported from the test collections: EPUBCheck finds nothing, pandoc reads every article
# in order, each imports back unchanged; a pandoc-made book imports one article per entry.
check-epub: build
	@bash scripts/install-deps.sh epub
	bash scripts/check-epub.sh $(BUILD_DIR)

# The include graph of src/ by folder; fails, naming the include, when one runs up a layer.
layers:
	@cmake -DSOURCE_DIR=$(CURDIR) -P tests/layering/check_includes.cmake

format: format-deps
	clang-format -i $(SOURCES)

# Fails, listing each place, when a source file is not formatted as .clang-format says.
format-check: format-deps
	clang-format --dry-run --Werror $(SOURCES)

format-deps:
	@bash scripts/install-deps.sh format

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)
