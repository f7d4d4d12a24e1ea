# Two commands do everything on a fresh Debian 12 machine:
#   make run    install what is missing, build, start Quorlin
#   make test   install what is missing, build, run the whole suite
BUILD_DIR := build

.PHONY: all deps configure build run test clean

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

clean:
	rm -rf $(BUILD_DIR)
