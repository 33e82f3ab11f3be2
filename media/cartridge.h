// Cartridge images: the ROM data of the first CHIP packet placed into RAM at every hard reset.
#pragma once

#include <string>

namespace quillon {

// While set, CPU writes to $8000-$9FFF are dropped and every hard reset reloads the image.
extern int CartridgeAttached;
extern std::string CartridgePath;

// A path that names no regular file, or a file of another type, loads nothing.
void LoadCartridge(const char* path);

}  // namespace quillon
