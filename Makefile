# The two commands a new user needs: `make demo` and `make test`.
BUILD ?= build
JOBS ?= 2

.PHONY: all build demo test sanitize deps clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest -j$(JOBS) --output-on-failure

# The suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQXSTORE_SANITIZE=ON -DQXSTORE_BENCH=OFF >/dev/null
	@cmake --build build-asan -j$(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -j$(JOBS) --output-on-failure

clean:
	rm -rf $(BUILD) build-asan demo-store
