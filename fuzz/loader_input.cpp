#include "loader_input.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/machine.h"

namespace quillon::fuzz {

namespace {

constexpr std::size_t GuardSize = 65536;
constexpr std::uint8_t GuardByte = 0xA5;
std::uint8_t* Block = nullptr;

bool GuardIntact(const std::uint8_t* guard) {
  for (std::size_t i = 0; i < GuardSize; ++i) {
    if (guard[i] != GuardByte) return false;
  }
  return true;
}

}  // namespace

void PrepareGuardedRam() {
  if (Block == nullptr) {
    Block = static_cast<std::uint8_t*>(std::malloc(GuardSize + MainRamSize + GuardSize));
    std::memset(Block, GuardByte, GuardSize);
    std::memset(Block + GuardSize + MainRamSize, GuardByte, GuardSize);
  }
  MainRam = Block + GuardSize;
  std::memset(MainRam, 0, MainRamSize);
}

void CheckGuards() {
  if (!GuardIntact(Block) || !GuardIntact(Block + GuardSize + MainRamSize)) {
    std::fprintf(stderr, "loader wrote outside MainRam\n");
    std::abort();
  }
}

InputFile::InputFile(const char* suffix)
    : Path((std::filesystem::temp_directory_path() /
            ("quillon-fuzz-" + std::to_string(getpid()) + suffix))
               .string()) {}

InputFile::~InputFile() { std::remove(Path.c_str()); }

void InputFile::Write(const unsigned char* data, unsigned long size) const {
  std::FILE* file = std::fopen(Path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
}

}  // namespace quillon::fuzz
