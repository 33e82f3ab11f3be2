# Cross-building the 64-bit (PE32+) Windows program with mingw-w64 (Debian:
# g++-mingw-w64-x86-64-posix, whose POSIX thread model gives std::thread and std::mutex).
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
