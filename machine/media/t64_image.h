// T64 tape archives: a 64-byte header ("C64" first, the number of directory slots, the tape's
// name), 32-byte directory entries (start and end address, the data's offset in the file, the
// file's name), then the programs' bytes. They are read-only here: the drive presents their
// files as PRG files of a disk with no blocks free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/disk_directory.h"

namespace quillon {

// What a tape archive can sensibly hold: many programs of up to 64 KB each.
inline constexpr std::size_t T64MaximumSize = 4 * 1024 * 1024;

struct T64Image {
  std::vector<std::uint8_t> Bytes;
};

// Takes the file's bytes as a tape archive. False when they do not start with a T64 header.
bool T64Open(std::vector<std::uint8_t> bytes, T64Image& image);

// The tape's name and its used entries in order, each as a closed PRG file.
void T64ReadDirectory(const T64Image& image, DiskDirectory& directory);

// The bytes of `file`, its load address first. Its length is the one of its address range,
// cut short where the next file's data or the archive itself ends (many archives carry a wrong
// end address). Damaged when its data lies outside the archive.
DiskStatus T64ReadFile(const T64Image& image, const DiskFileEntry& file,
                       std::vector<std::uint8_t>& data);

}  // namespace quillon
