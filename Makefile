# The project's commands. Each one installs what it needs first
# (scripts/setup.sh does nothing when everything is present).
BUILD ?= build
JOBS  ?= 2

.PHONY: all setup build test demo bench dist clean

all: build

setup:
	@./scripts/setup.sh

$(BUILD)/CMakeCache.txt: | setup
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	    -DCMAKE_BUILD_TYPE=Release

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

test: build
	./scripts/run-tests.sh $(BUILD)

demo: build
	./scripts/demo.sh $(BUILD)

bench: build
	./scripts/run-bench.sh $(BUILD)

dist: build
	./scripts/make-dist.sh $(BUILD)

clean:
	rm -rf $(BUILD)
