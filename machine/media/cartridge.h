// Cartridge images: the ROM data of the first CHIP packet placed into RAM at every hard reset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// While set, CPU writes to $8000-$9FFF are dropped and every hard reset reloads the image.
extern int CartridgeAttached;
extern std::string CartridgePath;

// The attached cartridge as its file last gave it: the file header, the first CHIP header and
// as much of that packet's data as the file holds. A snapshot carries these bytes; a machine
// restored from one places them at its hard resets instead of reading the file, which may have
// changed or gone since (CartridgeImageKept), until a cartridge is attached or removed.
inline constexpr std::size_t CartridgeImageMaxSize = 64 + 16 + 0xFFFF;
extern std::vector<std::uint8_t> CartridgeImage;
extern int CartridgeImageKept;

// Attaches the cartridge file at `path` or removes the cartridge; the next hard reset loads or
// wipes it.
void AttachCartridge(const std::string& path);
void DetachCartridge();

// Reads the file at `path` into CartridgeImage (unless the image is kept) and places it.
void LoadCartridge(const char* path);

// The two halves of a load, for a machine that keeps its own cartridge: the file's bytes as
// CartridgeImage holds them, and the placing of an image's ROM data into `ram`.
std::vector<std::uint8_t> ReadCartridgeFile(const char* path);
void PlaceCartridgeImage(const std::vector<std::uint8_t>& image, std::uint8_t* ram);

}  // namespace quillon
