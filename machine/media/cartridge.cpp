#include "media/cartridge.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/machine.h"
#include "media/media_file.h"

namespace quillon {

int CartridgeAttached = 0;
std::string CartridgePath;
std::vector<std::uint8_t> CartridgeImage;
int CartridgeImageKept = 0;

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

}  // namespace

// The file's header, its first CHIP header and as much of that packet's data as there is. A file
// of another hardware type gives its header only; a file too short for both headers gives what
// it has, which places nothing.
std::vector<std::uint8_t> ReadCartridgeFile(const char* path) {
  std::vector<std::uint8_t> image;
  // Only a regular file: a device or a pipe could block the open or never end.
  std::FILE* file = OpenMediaFile(path);
  if (file == nullptr) return image;
  image.resize(FileHeaderSize + ChipHeaderSize);
  std::size_t size = std::fread(image.data(), 1, FileHeaderSize, file);
  if (size == FileHeaderSize && IsPlainRomType(BigEndianWord(image.data() + HardwareTypeOffset))) {
    size += std::fread(image.data() + size, 1, ChipHeaderSize, file);
    if (size == FileHeaderSize + ChipHeaderSize) {
      image.resize(size + BigEndianWord(image.data() + FileHeaderSize + RomSizeOffset));
      size += std::fread(image.data() + size, 1, image.size() - size, file);
    }
  }
  std::fclose(file);
  image.resize(size);
  return image;
}

// The ROM data goes to RAM from the load address on, wrapping at 64 KB. An image whose file
// ended before its size field says stops there: only bytes actually read reach RAM.
void PlaceCartridgeImage(const std::vector<std::uint8_t>& image, std::uint8_t* ram) {
  constexpr std::size_t dataStart = FileHeaderSize + ChipHeaderSize;
  if (image.size() < dataStart || !IsPlainRomType(BigEndianWord(image.data() + HardwareTypeOffset))) {
    return;
  }
  const std::uint16_t address = BigEndianWord(image.data() + FileHeaderSize + LoadAddressOffset);
  const std::size_t size = std::min<std::size_t>(
      BigEndianWord(image.data() + FileHeaderSize + RomSizeOffset), image.size() - dataStart);
  for (std::size_t i = 0; i < size; ++i) {
    ram[(address + i) & 0xFFFF] = image[dataStart + i];
  }
}

void AttachCartridge(const std::string& path) {
  CartridgePath = path;
  CartridgeAttached = 1;
  CartridgeImageKept = 0;
}

void DetachCartridge() {
  CartridgeAttached = 0;
  CartridgeImageKept = 0;
}

void LoadCartridge(const char* path) {
  if (!CartridgeImageKept) CartridgeImage = ReadCartridgeFile(path);
  PlaceCartridgeImage(CartridgeImage, MainRam);
}

}  // namespace quillon
