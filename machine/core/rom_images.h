// The three ROMs of the machine: BASIC, KERNAL and the character generator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "builtin_rom_vector.h"

namespace quillon {

inline constexpr std::size_t BasicRomSize = 8192;
inline constexpr std::size_t KernalRomSize = 8192;
inline constexpr std::size_t CharRomSize = 4096;

// Each image starts with its built-in bytes and may be replaced once at start-up by a file.
struct RomImageSet {
  std::uint8_t Basic[BasicRomSize];
  std::uint8_t Kernal[KernalRomSize];
  std::uint8_t Chargen[CharRomSize];
};
extern RomImageSet RomImages;

// The byte of the image that the ROM bank shows at `address` (BASIC at $A000, the character
// generator at $D000, the KERNAL at $E000), or null where that bank shows RAM.
const std::uint8_t* RomImageAt(std::uint16_t address);

// The reset vector as the KERNAL image holds it at $FFFC/$FFFD.
std::uint16_t KernalResetVector();

// Replaces the images from "BASIC.ROM", "KERNAL.ROM" and "CHAR.ROM" in the current directory.
// A short file replaces a prefix, a long one is cut, a missing one is ignored.
void LoadRomFiles();

}  // namespace quillon
