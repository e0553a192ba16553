# The two everyday commands: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
SAMPLE     ?= samples/sample_mill.nc
CMAKE_ARGS ?=

.PHONY: all deps configure build run test sanitize tsan bench fuzz format clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

build: configure
	@ninja -C $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display: starting under Xvfb (xvfb-run)"; \
	  cd samples && xvfb-run -a ../$(BUILD)/src/gui/vantrel $(notdir $(SAMPLE)); \
	else \
	  cd samples && ../$(BUILD)/src/gui/vantrel $(notdir $(SAMPLE)); \
	fi

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# AddressSanitizer + UndefinedBehaviorSanitizer over every test of the core (no GUI, no benchmarks).
sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_SANITIZE=ON \
	  -DVANTREL_GUI=OFF -DVANTREL_BENCH=OFF >/dev/null
	@ninja -C $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# ThreadSanitizer over the tests that run threads (playback, serial line, control model).
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_TSAN=ON \
	  -DVANTREL_GUI=OFF -DVANTREL_BENCH=OFF >/dev/null
	@ninja -C $(TSAN_BUILD) -j $(JOBS) test_core test_app test_nc
	@cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure \
	  -j $(JOBS) -R '^(ControlSet|CloseQuery|Playback|PlayRaces)\.'

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_repetitions=5 \
	  --benchmark_report_aggregates_only=true; done; true

format:
	@find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)

# libFuzzer builds (clang): `make fuzz` builds every fuzz target into build-fuzz/fuzz/.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVANTREL_FUZZ=ON -DVANTREL_GUI=OFF -DVANTREL_BENCH=OFF -DVANTREL_TESTS=OFF >/dev/null
	@ninja -C build-fuzz -j $(JOBS)
