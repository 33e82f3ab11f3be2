// Feeds arbitrary bytes to the D64 reader and writer as patches to a disk with two files:
// each three input bytes pick a block where the BAM, the directory or a file chain lives, an
// offset in it and the byte to put there. The drive then lists, loads and saves on the patched
// disk, in memory and through an image file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "loader_input.h"
#include "media/d64_image.h"
#include "media/disk_drive.h"

namespace {

using namespace quillon;

// The blocks worth changing: the BAM, the directory's first block, and the files' blocks on
// track 17 (each file starts there, ten sectors apart).
constexpr int PatchedBlocks[][2] = {{18, 0}, {18, 1}, {17, 0}, {17, 10}, {17, 20},
                                    {17, 8},  {17, 1}, {17, 11}};

std::size_t BlockOffset(int track, int sector) {
  std::size_t blocks = 0;
  for (int t = 1; t < track; ++t) blocks += t <= 17 ? 21 : t <= 24 ? 19 : t <= 30 ? 18 : 17;
  return (blocks + static_cast<std::size_t>(sector)) * 256;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

// A formatted disk with a four-block and a two-block file.
std::vector<std::uint8_t> BaseDisk() {
  std::vector<std::uint8_t> bytes(D64SizeStandard);
  std::uint8_t* bam = bytes.data() + BlockOffset(18, 0);
  bam[0] = 18;
  bam[1] = 1;
  for (int track = 1; track <= 35; ++track) {
    const int sectors = track <= 17 ? 21 : track <= 24 ? 19 : track <= 30 ? 18 : 17;
    std::uint32_t bits = (1u << sectors) - 1;
    if (track == 18) bits &= ~3u;
    std::uint8_t* entry = bam + 4 * track;
    entry[0] = static_cast<std::uint8_t>(sectors - (track == 18 ? 2 : 0));
    entry[1] = static_cast<std::uint8_t>(bits);
    entry[2] = static_cast<std::uint8_t>(bits >> 8);
    entry[3] = static_cast<std::uint8_t>(bits >> 16);
  }
  std::memset(bam + 0x90, 0xA0, 0x1B);
  bytes[BlockOffset(18, 1) + 1] = 0xFF;
  D64Image image;
  Check(D64Open(bytes, image));
  static const std::uint8_t first[900] = {0x01, 0x08};
  static const std::uint8_t second[400] = {0x00, 0xC0};
  Check(D64WriteFile(image, {{'A'}, 1, {}, 0}, false, first) == DiskStatus::Ok);
  Check(D64WriteFile(image, {{'B'}, 1, {}, 0}, false, second) == DiskStatus::Ok);
  return image.Bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fuzz::InputFile input(".d64");
  static const std::vector<std::uint8_t> base = BaseDisk();
  std::vector<std::uint8_t> bytes = base;
  for (std::size_t i = 0; i + 3 <= size; i += 3) {
    const auto& block = PatchedBlocks[data[i] % std::size(PatchedBlocks)];
    bytes[BlockOffset(block[0], block[1]) + data[i + 1]] = data[i + 2];
  }

  D64Image image;
  Check(D64Open(bytes, image));
  DiskDirectory directory;
  if (D64ReadDirectory(image, directory) == DiskStatus::Ok) {
    std::vector<std::uint8_t> file;
    for (const DiskFileEntry& entry : directory.Files) D64ReadFile(image, entry, file);
    DirectoryProgram(directory, {});
  }
  // A SAVE that succeeds leaves a disk whose directory lists the file and reads it back.
  static const std::uint8_t program[600] = {0x01, 0x08};
  const DiskName name = {{'F', 'U', 'Z', 'Z'}, 4, {}, 0};
  for (bool replace : {false, true}) {
    const std::vector<std::uint8_t> before = image.Bytes;
    const DiskStatus status = D64WriteFile(image, name, replace, program);
    if (status != DiskStatus::Ok) {
      Check(image.Bytes == before);
      continue;
    }
    Check(D64ReadDirectory(image, directory) == DiskStatus::Ok);
    const std::uint8_t pattern[] = {'F', 'U', 'Z', 'Z'};
    const DiskFileEntry* saved = FindDiskFile(directory, pattern);
    std::vector<std::uint8_t> file;
    Check(saved != nullptr && D64ReadFile(image, *saved, file) == DiskStatus::Ok &&
          file == std::vector<std::uint8_t>(program, program + sizeof program));
  }

  // The drive's own path: the file read afresh, listed and loaded.
  input.Write(bytes.data(), bytes.size());
  DiskAttached = 1;
  DiskPath = input.Path;
  std::vector<std::uint8_t> file;
  const std::uint8_t dollar[] = {'$'};
  const std::uint8_t star[] = {'*'};
  Check(DiskLoad(input.Path, dollar, file) != DiskStatus::Ok || file.size() >= 2);
  Check(DiskLoad(input.Path, star, file) != DiskStatus::Ok || file.size() >= 2);
  return 0;
}
