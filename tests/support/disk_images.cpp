#include "support/disk_images.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "media/d64_image.h"

namespace quillon::test {
namespace {

int SectorsInTrack(int track) {
  return track <= 17 ? 21 : track <= 24 ? 19 : track <= 30 ? 18 : 17;
}

void PutPadded(std::vector<std::uint8_t>& bytes, std::size_t at, std::string_view text,
               std::size_t width, std::uint8_t pad) {
  for (std::size_t i = 0; i < width; ++i) {
    bytes[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : pad;
  }
}

}  // namespace

std::size_t D64Offset(int track, int sector) {
  std::size_t blocks = 0;
  for (int t = 1; t < track; ++t) blocks += static_cast<std::size_t>(SectorsInTrack(t));
  return (blocks + static_cast<std::size_t>(sector)) * 256;
}

std::vector<std::uint8_t> BlankD64(std::string_view name, std::string_view id, int tracks,
                                   bool errorBytes) {
  const std::size_t blocks = D64Offset(tracks + 1, 0) / 256;
  std::vector<std::uint8_t> image(blocks * 256);
  std::uint8_t* bam = image.data() + D64Offset(18, 0);
  bam[0] = 18;
  bam[1] = 1;
  bam[2] = 'A';
  for (int track = 1; track <= 35; ++track) {
    std::uint32_t bits = (1u << SectorsInTrack(track)) - 1;
    if (track == 18) bits &= ~3u;  // the BAM and the first directory block
    std::uint8_t* entry = bam + 4 * track;
    entry[0] = static_cast<std::uint8_t>(std::popcount(bits));
    entry[1] = static_cast<std::uint8_t>(bits);
    entry[2] = static_cast<std::uint8_t>(bits >> 8);
    entry[3] = static_cast<std::uint8_t>(bits >> 16);
  }
  PutPadded(image, D64Offset(18, 0) + 0x90, name, 16, 0xA0);
  bam[0xA0] = bam[0xA1] = 0xA0;
  PutPadded(image, D64Offset(18, 0) + 0xA2, id, 2, 0xA0);
  bam[0xA4] = 0xA0;
  bam[0xA5] = '2';
  bam[0xA6] = 'A';
  std::memset(bam + 0xA7, 0xA0, 4);
  image[D64Offset(18, 1) + 1] = 0xFF;
  if (errorBytes) image.insert(image.end(), blocks, 0x01);
  return image;
}

void AddD64File(std::vector<std::uint8_t>& image, std::string_view name,
                const std::vector<std::uint8_t>& bytes) {
  D64Image disk;
  ASSERT_TRUE(D64Open(image, disk));
  DiskName diskName{};
  std::memcpy(diskName.Bytes, name.data(), name.size());
  diskName.Length = static_cast<std::uint8_t>(name.size());
  ASSERT_EQ(D64WriteFile(disk, diskName, false, bytes), DiskStatus::Ok) << name;
  image = disk.Bytes;
}

int D64BlocksFree(const std::vector<std::uint8_t>& image) {
  int free = 0;
  for (int track = 1; track <= 35; ++track) {
    if (track != 18) free += image[D64Offset(18, 0) + 4 * static_cast<std::size_t>(track)];
  }
  return free;
}

std::vector<std::uint8_t> T64Archive(std::string_view name, const std::vector<TapeFile>& files,
                                     int slots) {
  std::vector<std::uint8_t> archive(64 + 32 * static_cast<std::size_t>(slots));
  PutPadded(archive, 0, "C64 tape image file", 32, 0);
  archive[32] = 0x00;
  archive[33] = 0x01;
  archive[34] = static_cast<std::uint8_t>(slots);
  archive[36] = static_cast<std::uint8_t>(files.size());
  PutPadded(archive, 40, name, 24, ' ');
  for (std::size_t i = 0; i < files.size(); ++i) {
    const TapeFile& file = files[i];
    const std::uint16_t end =
        file.End != 0 ? file.End : static_cast<std::uint16_t>(file.Start + file.Bytes.size());
    const std::size_t offset = archive.size();
    PutPadded(archive, 64 + 32 * i + 16, file.Name, 16, ' ');
    std::uint8_t* entry = archive.data() + 64 + 32 * i;
    entry[0] = 1;
    entry[1] = 0x82;
    entry[2] = static_cast<std::uint8_t>(file.Start);
    entry[3] = static_cast<std::uint8_t>(file.Start >> 8);
    entry[4] = static_cast<std::uint8_t>(end);
    entry[5] = static_cast<std::uint8_t>(end >> 8);
    for (int b = 0; b < 4; ++b) entry[8 + b] = static_cast<std::uint8_t>(offset >> (8 * b));
    archive.insert(archive.end(), file.Bytes.begin(), file.Bytes.end());
  }
  return archive;
}

}  // namespace quillon::test
