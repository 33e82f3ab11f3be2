// Disk images and tape archives built in code, as a freshly formatted 1541 disk and a tape
// archiver would write them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::test {

// The byte offset of block (track, sector) in a D64 image.
std::size_t D64Offset(int track, int sector);

// A formatted, empty D64: BAM and the first directory block on track 18, everything else free.
// `tracks` is 35 or 40; `errorBytes` appends one error byte (0x01, no error) per block.
std::vector<std::uint8_t> BlankD64(std::string_view name, std::string_view id, int tracks = 35,
                                   bool errorBytes = false);

// Adds a closed PRG file with `bytes` (load address first) to `image`, the way SAVE does.
void AddD64File(std::vector<std::uint8_t>& image, std::string_view name,
                const std::vector<std::uint8_t>& bytes);

// The number of free blocks that the BAM counts outside the directory track.
int D64BlocksFree(const std::vector<std::uint8_t>& image);

struct TapeFile {
  std::string Name;
  std::uint16_t Start;
  std::vector<std::uint8_t> Bytes;  // without load address
  std::uint16_t End = 0;            // 0: start + number of bytes, as it should be
};

// A T64 archive named `name` holding `files` in order, with `slots` directory slots.
std::vector<std::uint8_t> T64Archive(std::string_view name, const std::vector<TapeFile>& files,
                                     int slots = 8);

}  // namespace quillon::test
