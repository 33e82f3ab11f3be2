# Thin wrapper over CMake for the quick-start commands.
BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 30

.PHONY: run test check sanitize tsan fuzz build deps clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON >/dev/null
	@env -u MAKELEVEL -u MAKEFLAGS -u MFLAGS cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/quillon $(ARGS)

# Every test: the suite of the release build, then the sanitizer builds and the fuzzers.
test: check sanitize tsan fuzz

# The release build's suite: fast tests and, where a display server can be started, the
# desktop end-to-end tests.
check: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

sanitize: deps
	@scripts/sanitize.sh

tsan: deps
	@scripts/tsan-check.sh

fuzz: deps
	@scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz
