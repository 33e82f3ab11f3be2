// RAM for the loader fuzz targets, with guard areas on both sides that must never change.
#pragma once

#include <string>

namespace quillon::fuzz {

// Points MainRam at 64 KB of zeros between two guard areas, allocated and filled on the first
// call.
void PrepareGuardedRam();

// Stops the run when a loader wrote outside MainRam.
void CheckGuards();

// A path for this process's input file, ending in `suffix`.
std::string InputPath(const char* suffix);

// Writes the input bytes to `path`.
void WriteInput(const std::string& path, const unsigned char* data, unsigned long size);

}  // namespace quillon::fuzz
