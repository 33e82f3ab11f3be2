#include "media/program_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "media/media_file.h"

namespace quillon {

namespace {

constexpr long P00HeaderSize = 26;
constexpr std::size_t RamSize = 65536;

// BASIC's pointers to the start of variables, of arrays and the end of arrays.
constexpr std::uint16_t VariablesStart = 0x2D;
// What the KERNAL's LOAD leaves behind: the end of the load and the device it came from.
constexpr std::uint16_t LoadEnd = 0xAE;
constexpr std::uint16_t DeviceNumber = 0xBA;
constexpr std::uint8_t DiskDevice = 8;
constexpr std::uint16_t KeyboardBuffer = 0x0277;
constexpr std::uint16_t KeyboardBufferCount = 0xC6;

// Reads the rest of the file into RAM from `address` on, wrapping at 64 KB; returns the number
// of bytes stored. A program holds no more bytes than the address space: reading stops after
// 64 KB, when every byte of RAM has been written once.
std::size_t ReadIntoRam(std::FILE* file, std::uint8_t* ram, std::uint16_t address) {
  std::size_t total = 0;
  for (;;) {
    const std::size_t room = std::min(RamSize - address, RamSize - total);
    const std::size_t got = std::fread(ram + address, 1, room, file);
    total += got;
    address = static_cast<std::uint16_t>(address + got);
    if (got < room || total == RamSize) return total;
  }
}

// BASIC takes the program's end as the start of its variables; the arrays start and end one
// and two bytes later, each with the end's high byte (RUN recomputes them anyway).
void SetProgramEnd(std::uint8_t* ram, std::uint16_t end) {
  const std::uint8_t high = static_cast<std::uint8_t>(end >> 8);
  for (int i = 0; i < 3; ++i) {
    ram[VariablesStart + 2 * i] = static_cast<std::uint8_t>(end + i);
    ram[VariablesStart + 2 * i + 1] = high;
  }
}

// Makes the program that ends before `end` BASIC's current one (the start of its variables and
// arrays follow the end) and types RUN into the keyboard buffer.
void StartLoadedProgram(std::uint8_t* ram, std::uint16_t end) {
  SetProgramEnd(ram, end);
  static constexpr std::uint8_t Keys[] = {'R', 'U', 'N', 13};
  std::memcpy(ram + KeyboardBuffer, Keys, sizeof Keys);
  ram[KeyboardBufferCount] = sizeof Keys;
}

}  // namespace

bool LoadProgramFile(const char* path, std::uint8_t* ram) {
  std::FILE* file = OpenMediaFile(path);
  if (file == nullptr) return false;
  const std::size_t length = std::strlen(path);
  std::uint8_t loadAddress[2];
  const bool p00 = length > 0 && path[length - 1] == '0';
  const bool loaded = (!p00 || std::fseek(file, P00HeaderSize, SEEK_SET) == 0) &&
                      std::fread(loadAddress, 1, 2, file) == 2;
  if (loaded) {
    const std::uint16_t start = static_cast<std::uint16_t>(loadAddress[0] | loadAddress[1] << 8);
    const std::size_t count = ReadIntoRam(file, ram, start);
    const auto end = static_cast<std::uint16_t>(start + count);
    // As a LOAD from drive 8 leaves them, so that a program that loads its next part from the
    // device it came from finds one.
    ram[LoadEnd] = static_cast<std::uint8_t>(end);
    ram[LoadEnd + 1] = static_cast<std::uint8_t>(end >> 8);
    ram[DeviceNumber] = DiskDevice;
    StartLoadedProgram(ram, end);
  }
  std::fclose(file);
  return loaded;
}

}  // namespace quillon
