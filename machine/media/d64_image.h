// D64 disk images: the 1541's 35 tracks (683 blocks of 256 bytes), or 40 tracks, each with or
// without the error byte per block that some images carry at the end. Track 18 holds the BAM
// (block 0: the free blocks of tracks 1-35 and the disk's name and ID) and the directory
// (blocks 1 on, eight 32-byte entries each); a file is a chain of blocks whose first two bytes
// link to the next block, or end the chain with the number of the last byte used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "media/disk_directory.h"

namespace quillon {

inline constexpr std::size_t D64SizeStandard = 174848;
inline constexpr std::size_t D64SizeStandardWithErrors = 174848 + 683;
inline constexpr std::size_t D64SizeExtended = 196608;
inline constexpr std::size_t D64SizeExtendedWithErrors = 196608 + 768;
inline constexpr std::size_t D64MaximumSize = D64SizeExtendedWithErrors;

struct D64Image {
  std::vector<std::uint8_t> Bytes;  // the whole file, error bytes included
  int Tracks;                       // 35 or 40
};

// Takes the file's bytes as an image. False when their size is not one of a D64's.
bool D64Open(std::vector<std::uint8_t> bytes, D64Image& image);

// The disk's name and ID, its files in directory order and the blocks free. Damaged when the
// directory's chain loops or leaves the disk.
DiskStatus D64ReadDirectory(const D64Image& image, DiskDirectory& directory);

// The bytes of `file`, its load address first. Damaged when the chain loops or leaves the disk.
DiskStatus D64ReadFile(const D64Image& image, const DiskFileEntry& file,
                       std::vector<std::uint8_t>& data);

// Writes `data` as a closed PRG file called `name`, allocating its blocks the way the 1541
// does. With `replace` an existing file of that name is replaced (its blocks are freed once the
// new file stands); without it an existing name is refused. Changes nothing unless it ends Ok:
// the BAM must agree with the files, and the disk and directory must have room.
DiskStatus D64WriteFile(D64Image& image, const DiskName& name, bool replace,
                        std::span<const std::uint8_t> data);

}  // namespace quillon
