# The two commands a new user needs: `make demo` and `make test`.
BUILD ?= build
JOBS ?= 2

PREFIX ?= /usr/local

.PHONY: all build demo install test sanitize tsan fuzz bench-peers deps clean configure

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# Only what the demo and the README run: the tools, the library and its plugins.
demo: configure
	@cmake --build $(BUILD) -j$(JOBS) --target demo_programs
	@bash scripts/demo.sh $(BUILD)

# The library, its header, pkg-config and CMake files, the plugins, the tools
# and the man pages, below $(PREFIX) (and below $(DESTDIR) when set, for a
# package's staging tree).
install: configure
	@cmake --build $(BUILD) -j$(JOBS) --target installable
	@cmake --install $(BUILD) --prefix $(PREFIX)

test: build
	@cd $(BUILD) && ctest -j$(JOBS) --output-on-failure

# The suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQXSTORE_SANITIZE=ON -DQXSTORE_BENCH=OFF >/dev/null
	@cmake --build build-asan -j$(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest -j$(JOBS) --output-on-failure

# The threaded store-item and index tests under ThreadSanitizer; only their
# two test programs are built and run.
tsan: deps
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQXSTORE_TSAN=ON -DQXSTORE_BENCH=OFF >/dev/null
	@cmake --build build-tsan -j$(JOBS) --target store_tests index_tests
	@cd build-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest -j$(JOBS) -L '^(store|index)$$' --output-on-failure

# Every fuzz target (fuzz/README.md) for FUZZ_SECONDS each, two at a time,
# on its seed corpus; built with Debian's clang-16 and libFuzzer.
FUZZ_SECONDS ?= 20
fuzz:
	@bash scripts/install-deps.sh fuzz
	@CC=clang-16 CXX=clang++-16 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DQXSTORE_TESTS=OFF -DQXSTORE_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j$(JOBS) --target fuzz_targets
	@bash scripts/run-fuzz.sh build-fuzz $(FUZZ_SECONDS) $(JOBS)

# Side-by-side timings against Dovecot on one 20,000-message folder (about a
# minute once built; PERF_PEERS_N and PERF_PEERS_RUNS change it). Release build.
bench-peers: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j$(JOBS) --target storeadm
	@../shared/peers/run $(BUILD)

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz demo-store
