BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: deps test-deps configure build run test bench clean

deps:
	@bash scripts/install-deps

test-deps:
	@bash scripts/install-deps test

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/tessary

test: test-deps build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 300

bench: test-deps build
	@for b in $$(find $(BUILD_DIR)/bench -type f -name 'bench_*' -perm -u+x | sort); do echo "== $$b"; "$$b"; done

clean:
	rm -rf $(BUILD_DIR)
