# The two commands of the quick start:
#   make run    install what is missing, build, start the editor
#   make test   install what is missing, build, run every test
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo

.PHONY: run test build deps configure bench format clean

run: build
	./$(BUILD_DIR)/src/nvxedit $(ARGS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j 2

build: configure
	cmake --build $(BUILD_DIR)

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE); \
	fi

deps:
	@bash scripts/install-deps.sh

bench: build
	./$(BUILD_DIR)/bench/store_bench
	bash scripts/measure-tool.sh $(BUILD_DIR)

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)
