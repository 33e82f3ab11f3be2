# Cross-building the 32-bit (PE32) Windows program with mingw-w64 (Debian:
# g++-mingw-w64-i686-posix, whose POSIX thread model gives std::thread and std::mutex).
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(MINGW_TARGET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
