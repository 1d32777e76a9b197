# The two commands of the quick start:
#   make run    install what is missing, build, start the editor
#   make test   install what is missing, build, run every test
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo

.PHONY: run test build deps configure bench format clean sample

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
