#include "media/cartridge.h"

#include <cstdint>
#include <cstdio>

#include "core/machine.h"
#include "media/media_file.h"

namespace quillon {

int CartridgeAttached = 0;
std::string CartridgePath;

namespace {

constexpr std::size_t FileHeaderSize = 64;
constexpr std::size_t ChipHeaderSize = 16;
constexpr std::size_t HardwareTypeOffset = 22;
constexpr std::size_t LoadAddressOffset = 12;  // within the CHIP header
constexpr std::size_t RomSizeOffset = 14;

// Every multi-byte field of the format is big-endian.
std::uint16_t BigEndianWord(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

// Normal cartridges and type 4 hold plain ROM at a fixed address.
bool IsPlainRomType(std::uint16_t type) { return type == 0 || type == 4; }

bool ReadExactly(std::FILE* file, std::uint8_t* buffer, std::size_t size) {
  return std::fread(buffer, 1, size, file) == size;
}

// The ROM data goes to RAM from the load address on, wrapping at 64 KB. A file that ends before
// its size field says stops the copy there: only bytes actually read reach RAM.
void ReadRomData(std::FILE* file, std::uint16_t address, std::size_t size) {
  const std::size_t room = MainRamSize - address;
  const std::size_t first = size < room ? size : room;
  if (std::fread(MainRam + address, 1, first, file) == first && size > first) {
    std::fread(MainRam, 1, size - first, file);
  }
}

}  // namespace

void LoadCartridge(const char* path) {
  std::FILE* file = OpenMediaFile(path);
  if (file == nullptr) return;
  std::uint8_t header[FileHeaderSize];
  std::uint8_t chip[ChipHeaderSize];
  // Only the first CHIP packet is read; a file too short for both headers loads nothing.
  if (ReadExactly(file, header, FileHeaderSize) &&
      IsPlainRomType(BigEndianWord(header + HardwareTypeOffset)) &&
      ReadExactly(file, chip, ChipHeaderSize)) {
    ReadRomData(file, BigEndianWord(chip + LoadAddressOffset),
                BigEndianWord(chip + RomSizeOffset));
  }
  std::fclose(file);
}

}  // namespace quillon
