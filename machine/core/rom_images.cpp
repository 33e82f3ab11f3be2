#include "core/rom_images.h"

#include <cstdio>

namespace quillon {

std::uint16_t KernalResetVector() {
  return static_cast<std::uint16_t>(RomImages.Kernal[0x1FFC] | (RomImages.Kernal[0x1FFD] << 8));
}

const std::uint8_t* RomImageAt(std::uint16_t address) {
  if (address >= 0xE000) return RomImages.Kernal + (address - 0xE000);
  if (address >= 0xD000) return RomImages.Chargen + (address - 0xD000);
  if (address >= 0xA000 && address < 0xC000) return RomImages.Basic + (address - 0xA000);
  return nullptr;
}

namespace {

void ReplaceImageFromFile(const char* name, std::uint8_t* image, std::size_t size) {
  std::FILE* file = std::fopen(name, "rb");
  if (file == nullptr) return;
  // Whatever the file holds, at most one image's worth goes in; a short read leaves the
  // built-in bytes after it in place.
  (void)std::fread(image, 1, size, file);
  std::fclose(file);
}

}  // namespace

void LoadRomFiles() {
  ReplaceImageFromFile("BASIC.ROM", RomImages.Basic, BasicRomSize);
  ReplaceImageFromFile("KERNAL.ROM", RomImages.Kernal, KernalRomSize);
  ReplaceImageFromFile("CHAR.ROM", RomImages.Chargen, CharRomSize);
}

}  // namespace quillon
