# The two everyday commands: `make run` and `make test`. Both install what is missing first.
SHELL      := /bin/bash
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
SAMPLE     ?= samples/sample_mill.nc
CMAKE_ARGS ?=
PREFIX     ?= /usr/local

.PHONY: all deps configure build run test install deb sanitize tsan bench fuzz fuzz-run format clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS) >/dev/null

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

# Installs the programs, launcher entry, icons, file type, manual pages, samples and help page under
# PREFIX (DESTDIR is honoured as well).
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package (build/vantrel_<version>_<arch>.deb).
deb: build
	@cd $(BUILD) && cpack -G DEB

# AddressSanitizer + UndefinedBehaviorSanitizer over every test, the Qt tests included (no benchmarks).
# Qt's own libraries are not instrumented; memory they keep until exit, should LeakSanitizer report
# it, goes in scripts/lsan.supp (the PulseAudio client of the media player test is listed there).
# A test that fails is run once more: under load, LeakSanitizer's own tracer has crashed at the exit
# of the media player test ("Tracer caught signal 11") after every check had passed. A real failure
# fails twice and still fails the run.
sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_SANITIZE=ON -DVANTREL_GUI=ON \
	  -DVANTREL_BENCH=OFF $(CMAKE_ARGS) >/dev/null
	@ninja -C $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j $(JOBS) --repeat until-pass:2

# ThreadSanitizer over the tests that run threads (playback, serial line, control model).
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVANTREL_TSAN=ON \
	  -DVANTREL_GUI=OFF -DVANTREL_BENCH=OFF $(CMAKE_ARGS) >/dev/null
	@ninja -C $(TSAN_BUILD) -j $(JOBS) test_core test_app test_nc test_dnc
	@cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure \
	  -j $(JOBS) -R '^(ControlSet|CloseQuery|Playback|PlayRaces|TComm|DncLink|DncPanel)\.'

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b" --benchmark_repetitions=5 \
	  --benchmark_report_aggregates_only=true; done; true

format:
	@find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)

# libFuzzer builds (clang): `make fuzz` builds every fuzz target into build-fuzz/fuzz/; `make fuzz-run`
# runs each for FUZZ_SECONDS from its seed corpus, JOBS targets side by side (scripts/fuzz-one.sh), and
# fails when any finds a crash, leak, undefined behaviour or an input slower than 10 s.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVANTREL_FUZZ=ON -DVANTREL_GUI=OFF -DVANTREL_BENCH=OFF -DVANTREL_TESTS=OFF $(CMAKE_ARGS) >/dev/null
	@ninja -C $(FUZZ_BUILD) -j $(JOBS)

fuzz-run: fuzz
	@ls $(FUZZ_BUILD)/fuzz/fuzz_* | xargs -P $(JOBS) -I{} bash scripts/fuzz-one.sh {} $(FUZZ_SECONDS) $(FUZZ_BUILD)
