// What the loader fuzz targets share: RAM between guard areas that must never change, and the
// file that carries each input to the loader.
#pragma once

#include <string>

namespace quillon::fuzz {

// Points MainRam at 64 KB of zeros between two guard areas, allocated and filled on the first
// call.
void PrepareGuardedRam();

// Stops the run when a loader wrote outside MainRam.
void CheckGuards();

// The file that hands this process's inputs to a loader; removed when the process ends.
struct InputFile {
  explicit InputFile(const char* suffix);
  ~InputFile();
  void Write(const unsigned char* data, unsigned long size) const;
  std::string Path;
};

}  // namespace quillon::fuzz
