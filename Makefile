# Two commands do everything on a fresh Debian 12 machine:
#   make run    install what is missing, build, start Quorlin
#   make test   install what is missing, build, run the whole suite
# and for the sanitizers and fuzzing:
#   make test-asan   the whole suite built with AddressSanitizer and UBSan
#   make fuzz        each libFuzzer target for FUZZ_SECONDS seconds
#   make fuzz-replay each libFuzzer target once over the inputs kept in fuzz/ (seconds)
# and for the README's picture of the window:
#   make screenshot  docs/screenshot.png taken from the real program on a private Xvfb
#   make sheet-comparison  docs/sheet-quorlin.png beside the same tab printed by MuseScore 3
# and for speed and memory against their floors:
#   make bench       Release build, one table, and the figures in build-bench/bench.json
# and for transcribing bass recordings:
#   make test-transcribe  the whole test set rendered, transcribed by Quorlin and its peers,
#                    scored against the goals (build/transcribe-set/report-full.json)
BUILD_DIR := build
ASAN_DIR := build-asan
FUZZ_DIR := build-fuzz
BENCH_DIR := build-bench
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := read_tab_file save_tab_header load_settings engine_actions read_score read_recovery_file retune import_web_tab import_own_tab edit_columns edit_sequence layout_sheet read_midi_song read_guitar_pro_song read_musicxml_song read_gpif_song read_gpx_container read_recording

.PHONY: all deps configure build run screenshot sheet-comparison test test-transcribe test-asan fuzz fuzz-replay bench install package test-clean-install clean

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja: CMakeLists.txt CMakePresets.json | deps
	cmake --preset default

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	cmake --build --preset default

run: build
	@scripts/run-quorlin $(BUILD_DIR)

test: build
	ctest --preset default

test-transcribe: build
	tests/transcribe/run-set.sh $(BUILD_DIR) full --check

screenshot: build
	scripts/screenshot $(BUILD_DIR) docs/screenshot.png

sheet-comparison: build
	HELP_PICTURE=app/sheet-page.png scripts/sheet-comparison $(BUILD_DIR) docs/walking-on-eighths.tab docs

$(ASAN_DIR)/build.ninja: CMakeLists.txt CMakePresets.json | deps
	cmake --preset asan

test-asan: deps $(ASAN_DIR)/build.ninja
	cmake --build --preset asan
	ctest --preset asan

# Each fuzz target runs FUZZ_SECONDS seconds; a crash fails the target and leaves its
# input in $(FUZZ_DIR)/artifacts.
$(FUZZ_DIR)/build.ninja: CMakeLists.txt CMakePresets.json | deps
	cmake --preset fuzz

fuzz: deps $(FUZZ_DIR)/build.ninja
	cmake --build --preset fuzz
	fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# No fuzzing: every kept seed and every kept input that once failed runs once, so that a
# fixed crash cannot come back unnoticed.
fuzz-replay: deps $(FUZZ_DIR)/build.ninja
	cmake --build --preset fuzz
	fuzz/replay.sh $(FUZZ_DIR) $(FUZZ_TARGETS)

$(BENCH_DIR)/build.ninja: CMakeLists.txt CMakePresets.json | deps
	cmake --preset bench

bench: deps $(BENCH_DIR)/build.ninja
	cmake --build --preset bench
	bench/run.sh $(BENCH_DIR)

# The program, its help, desktop entry, icons, file type, AppStream data and man page under
# PREFIX; DESTDIR, from the command line or the environment, goes in front of every path.
PREFIX ?= /usr/local

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# The Debian package $(BUILD_DIR)/quorlin_<version>_<arch>.deb, installing under /usr.
package: build
	cmake --build $(BUILD_DIR) --target package

# The package installed, used, removed and purged in a fresh Debian 12 chroot kept in
# $(BUILD_DIR)/clean-root (needs root; the first run bootstraps it, which takes minutes).
test-clean-install: package
	scripts/test-clean-install

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR) $(BENCH_DIR)
