#include "media/t64_image.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quillon {
namespace {

constexpr std::size_t HeaderSize = 64;
constexpr std::size_t EntrySize = 32;
constexpr std::size_t MaximumEntriesOffset = 34;
constexpr std::size_t UsedEntriesOffset = 36;
constexpr std::size_t TapeNameOffset = 40;
constexpr std::size_t EntryKind = 0;
constexpr std::size_t EntryStart = 2;
constexpr std::size_t EntryEnd = 4;
constexpr std::size_t EntryOffset = 8;
constexpr std::size_t EntryName = 16;
constexpr int BlockDataSize = 254;

std::uint16_t Word(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t Long(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16) |
         static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The directory slots that lie inside the file, however many the header claims.
std::size_t SlotCount(const T64Image& image) {
  const std::size_t claimed = Word(image.Bytes.data() + MaximumEntriesOffset);
  return std::min(claimed, (image.Bytes.size() - HeaderSize) / EntrySize);
}

const std::uint8_t* Entry(const T64Image& image, std::size_t index) {
  return image.Bytes.data() + HeaderSize + index * EntrySize;
}

// The slots of the files, in the directory's order: as many as the header counts as used (one
// where it counts none, as archives of old tools do), each marked used and pointing at data
// inside the file. Slots past the used ones often lie over the programs' data, whose bytes
// would read as entries.
std::vector<std::size_t> UsedEntries(const T64Image& image) {
  const std::size_t used = std::max<std::size_t>(Word(image.Bytes.data() + UsedEntriesOffset), 1);
  std::vector<std::size_t> entries;
  for (std::size_t index = 0; index < SlotCount(image) && entries.size() < used; ++index) {
    const std::uint8_t* entry = Entry(image, index);
    const std::uint32_t offset = Long(entry + EntryOffset);
    if (entry[EntryKind] != 0 && offset >= HeaderSize && offset < image.Bytes.size()) {
      entries.push_back(index);
    }
  }
  return entries;
}

// The data offsets of the used entries, in ascending order.
std::vector<std::uint32_t> DataOffsets(const T64Image& image) {
  std::vector<std::uint32_t> offsets;
  for (std::size_t index : UsedEntries(image)) {
    offsets.push_back(Long(Entry(image, index) + EntryOffset));
  }
  std::sort(offsets.begin(), offsets.end());
  return offsets;
}

// The bytes of entry `index`: from its offset to its address range's end, the next file's
// data or the end of the archive, whichever comes first.
std::size_t DataLength(const T64Image& image, std::size_t index,
                       const std::vector<std::uint32_t>& offsets) {
  const std::uint8_t* entry = Entry(image, index);
  const std::uint32_t offset = Long(entry + EntryOffset);
  if (offset >= image.Bytes.size()) return 0;
  const auto next = std::upper_bound(offsets.begin(), offsets.end(), offset);
  const std::size_t limit =
      next != offsets.end() && *next < image.Bytes.size() ? *next : image.Bytes.size();
  // No program is longer than the address space.
  const std::size_t available = std::min<std::size_t>(limit - offset, 0x10000);
  const std::uint16_t start = Word(entry + EntryStart);
  const std::uint16_t end = Word(entry + EntryEnd);
  return end > start ? std::min<std::size_t>(end - start, available) : available;
}

}  // namespace

bool T64Open(std::vector<std::uint8_t> bytes, T64Image& image) {
  if (bytes.size() < HeaderSize || std::memcmp(bytes.data(), "C64", 3) != 0) return false;
  image.Bytes = std::move(bytes);
  return true;
}

void T64ReadDirectory(const T64Image& image, DiskDirectory& directory) {
  directory.Name = DiskNameFrom({image.Bytes.data() + TapeNameOffset, DiskNameLength}, true);
  std::memcpy(directory.Id, "T64  ", sizeof directory.Id);
  directory.BlocksFree = 0;
  directory.Files.clear();
  const std::vector<std::uint32_t> offsets = DataOffsets(image);
  for (std::size_t index : UsedEntries(image)) {
    const std::uint8_t* entry = Entry(image, index);
    DiskFileEntry file{};
    file.Name = DiskNameFrom({entry + EntryName, DiskNameLength}, true);
    file.Type = FileClosed | FileTypePrg;
    file.Blocks = static_cast<std::uint16_t>(
        (DataLength(image, index, offsets) + 2 + BlockDataSize - 1) / BlockDataSize);
    file.Start = static_cast<std::uint32_t>(index);
    directory.Files.push_back(file);
  }
}

DiskStatus T64ReadFile(const T64Image& image, const DiskFileEntry& file,
                       std::vector<std::uint8_t>& data) {
  data.clear();
  if (file.Start >= SlotCount(image)) return DiskStatus::Damaged;
  const std::uint8_t* entry = Entry(image, file.Start);
  const std::uint32_t offset = Long(entry + EntryOffset);
  if (offset < HeaderSize || offset >= image.Bytes.size()) return DiskStatus::Damaged;
  const std::uint8_t* bytes = image.Bytes.data() + offset;
  data.push_back(entry[EntryStart]);
  data.push_back(entry[EntryStart + 1]);
  data.insert(data.end(), bytes, bytes + DataLength(image, file.Start, DataOffsets(image)));
  return DiskStatus::Ok;
}

}  // namespace quillon
