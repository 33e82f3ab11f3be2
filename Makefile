# Thin wrapper over CMake for the quick-start commands.
BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 30

.PHONY: run test check sanitize tsan fuzz build deps windows clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON >/dev/null
	@env -u MAKELEVEL -u MAKEFLAGS -u MFLAGS cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/quillon $(ARGS)

# The Windows programs, cross-built with mingw-w64: build-win32/quillon.exe (32-bit) and
# build-win64/quillon.exe (64-bit), each one file that needs nothing else on Windows.
define cross_build
	@cmake -S . -B $(1) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-$(2).cmake -DCMAKE_BUILD_TYPE=Release \
	  -DQUILLON_WERROR=ON >/dev/null
	@env -u MAKELEVEL -u MAKEFLAGS -u MFLAGS cmake --build $(1) -j $(JOBS)
endef

windows:
	@scripts/install-deps.sh windows
	$(call cross_build,build-win32,i686)
	$(call cross_build,build-win64,x86_64)

# Every test: the suite of the release build, then the sanitizer builds and the fuzzers.
test: check sanitize tsan fuzz

# The release build's suite: fast tests and, where a display server can be started, the
# desktop end-to-end tests, the Windows programs' under Wine among them.
check: build windows
	@scripts/install-deps.sh wine
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

sanitize: deps
	@scripts/sanitize.sh

tsan: deps
	@scripts/tsan-check.sh

fuzz: deps
	@scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz build-win32 build-win64
