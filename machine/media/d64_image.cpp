#include "media/d64_image.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace quillon {
namespace {

constexpr int BlockSize = 256;
constexpr int BlockDataSize = 254;
constexpr int DirectoryTrack = 18;
constexpr int FirstDirectorySector = 1;
constexpr int BamTracks = 35;
constexpr int MaximumTracks = 40;
constexpr int MaximumSectors = 21;
constexpr int EntrySize = 32;
constexpr int EntriesPerBlock = 8;
// The 1541 places a file's blocks ten sectors apart, the time its computer side needs for one
// block, and the directory's three apart.
constexpr int FileInterleave = 10;
constexpr int DirectoryInterleave = 3;

// Offsets in the BAM block (18/0) and in a directory entry.
constexpr int BamEntries = 4;
constexpr int BamDiskName = 0x90;
constexpr int BamDiskId = 0xA2;
constexpr int EntryType = 2;
constexpr int EntryTrack = 3;
constexpr int EntrySector = 4;
constexpr int EntryName = 5;
constexpr int EntrySideTrack = 21;
constexpr int EntrySideSector = 22;
constexpr int EntryBlocks = 30;

int SectorsInTrack(int track) {
  return track <= 17 ? 21 : track <= 24 ? 19 : track <= 30 ? 18 : 17;
}

bool ValidBlock(const D64Image& image, int track, int sector) {
  return track >= 1 && track <= image.Tracks && sector >= 0 && sector < SectorsInTrack(track);
}

std::size_t BlockOffset(int track, int sector) {
  std::size_t blocks = 0;
  for (int t = 1; t < track; ++t) blocks += static_cast<std::size_t>(SectorsInTrack(t));
  return (blocks + static_cast<std::size_t>(sector)) * BlockSize;
}

std::uint8_t* Block(D64Image& image, int track, int sector) {
  return image.Bytes.data() + BlockOffset(track, sector);
}
const std::uint8_t* Block(const D64Image& image, int track, int sector) {
  return image.Bytes.data() + BlockOffset(track, sector);
}

// One bit per block of the disk, for chains that must not come back to a block they passed.
struct BlockSet {
  bool Bits[MaximumTracks + 1][MaximumSectors] = {};
  bool Insert(int track, int sector) {
    if (Bits[track][sector]) return false;
    Bits[track][sector] = true;
    return true;
  }
};

// Follows a chain from (track, sector), calling `visit` with each block; a chain ends at a link
// to track 0. Damaged when a link leaves the disk or comes back to a block of `seen`.
template <typename Visit>
DiskStatus FollowChain(const D64Image& image, int track, int sector, BlockSet& seen,
                       Visit visit) {
  while (track != 0) {
    if (!ValidBlock(image, track, sector) || !seen.Insert(track, sector)) {
      return DiskStatus::Damaged;
    }
    const std::uint8_t* block = Block(image, track, sector);
    visit(track, sector, block);
    track = block[0];
    sector = block[1];
  }
  return DiskStatus::Ok;
}

// --- The BAM ---

std::uint8_t* BamEntry(D64Image& image, int track) {
  return Block(image, DirectoryTrack, 0) + BamEntries + 4 * (track - 1);
}

bool BlockFree(D64Image& image, int track, int sector) {
  return (BamEntry(image, track)[1 + sector / 8] >> (sector % 8) & 1) != 0;
}

void SetBlockFree(D64Image& image, int track, int sector, bool free) {
  std::uint8_t* entry = BamEntry(image, track);
  const std::uint8_t bit = static_cast<std::uint8_t>(1 << (sector % 8));
  if (free) {
    entry[1 + sector / 8] |= bit;
    ++entry[0];
  } else {
    entry[1 + sector / 8] &= static_cast<std::uint8_t>(~bit);
    --entry[0];
  }
}

// Each track's count must be the number of its free bits, and no bit may stand for a sector the
// track does not have.
bool BamConsistent(D64Image& image) {
  for (int track = 1; track <= BamTracks; ++track) {
    const std::uint8_t* entry = BamEntry(image, track);
    const std::uint32_t bits = entry[1] | entry[2] << 8 | entry[3] << 16;
    if ((bits >> SectorsInTrack(track)) != 0 || std::popcount(bits) != entry[0]) return false;
  }
  return true;
}

int FreeBlocksOutsideDirectory(const D64Image& image) {
  const std::uint8_t* bam = Block(image, DirectoryTrack, 0);
  int free = 0;
  for (int track = 1; track <= BamTracks; ++track) {
    if (track != DirectoryTrack) free += bam[BamEntries + 4 * (track - 1)];
  }
  return free;
}

// The first free sector of `track` from `sector` on, going round the track; -1 when full.
int FreeSectorFrom(D64Image& image, int track, int sector) {
  const int count = SectorsInTrack(track);
  for (int i = 0; i < count; ++i) {
    const int candidate = (sector + i) % count;
    if (BlockFree(image, track, candidate)) return candidate;
  }
  return -1;
}

// The track nearest the directory track that has a free block, starting `distance` away; on
// each distance the side below the directory comes first, as on the 1541. 0 when none has.
int NearestFreeTrack(D64Image& image, int below, int above) {
  for (;;) {
    const bool belowInRange = below >= 1;
    const bool aboveInRange = above <= BamTracks;
    if (!belowInRange && !aboveInRange) return 0;
    if (belowInRange && BamEntry(image, below)[0] != 0) return below;
    if (aboveInRange && BamEntry(image, above)[0] != 0) return above;
    --below;
    ++above;
  }
}

// Where the 1541 puts a file's next block. The first block goes on the free track nearest the
// directory, at its first free sector. Each further block stays on the track, ten sectors on
// from the last (on going round the track, one sector less), or at the next free sector after
// that; a full track passes to the next track further out on the same side, and when that side
// is full, to the other side's track nearest the directory.
bool NextFileBlock(D64Image& image, int& track, int& sector) {
  if (track == 0) {
    track = NearestFreeTrack(image, DirectoryTrack - 1, DirectoryTrack + 1);
    sector = 0;
  } else if (BamEntry(image, track)[0] != 0) {
    sector += FileInterleave;
    if (sector >= SectorsInTrack(track)) {
      sector -= SectorsInTrack(track);
      if (sector > 0) --sector;
    }
  } else {
    const int step = track < DirectoryTrack ? -1 : 1;
    int next = track + step;
    while (next >= 1 && next <= BamTracks && BamEntry(image, next)[0] == 0) next += step;
    if (next < 1 || next > BamTracks) {
      next = step < 0 ? NearestFreeTrack(image, 0, DirectoryTrack + 1)
                      : NearestFreeTrack(image, DirectoryTrack - 1, BamTracks + 1);
    }
    track = next;
    sector = 0;
  }
  if (track == 0) return false;
  sector = FreeSectorFrom(image, track, sector);
  SetBlockFree(image, track, sector, false);
  return true;
}

// Every block that the directory and the files use, with the BAM's own block.
DiskStatus UsedBlocks(const D64Image& image, const DiskDirectory& directory, BlockSet& used) {
  used.Insert(DirectoryTrack, 0);
  const auto nothing = [](int, int, const std::uint8_t*) {};
  if (FollowChain(image, DirectoryTrack, FirstDirectorySector, used, nothing) != DiskStatus::Ok) {
    return DiskStatus::Damaged;
  }
  for (const DiskFileEntry& file : directory.Files) {
    // A file that was never closed may have a broken chain: what it reaches is still in use.
    const bool closed = (file.Type & FileClosed) != 0;
    if (FollowChain(image, static_cast<int>(file.Start >> 8), static_cast<int>(file.Start & 0xFF),
                    used, nothing) != DiskStatus::Ok &&
        closed) {
      return DiskStatus::Damaged;
    }
    const std::uint8_t* entry = image.Bytes.data() + file.EntryOffset;
    if ((file.Type & FileTypeMask) == FileTypeRel &&
        FollowChain(image, entry[EntrySideTrack], entry[EntrySideSector], used, nothing) !=
            DiskStatus::Ok &&
        closed) {
      return DiskStatus::Damaged;
    }
  }
  return DiskStatus::Ok;
}

// A free directory entry, adding a block to the directory on track 18 when every entry is
// taken; 0 when the directory is full.
std::size_t FreeEntry(D64Image& image) {
  int track = DirectoryTrack;
  int sector = FirstDirectorySector;
  for (;;) {
    std::uint8_t* block = Block(image, track, sector);
    for (int i = 0; i < EntriesPerBlock; ++i) {
      if (block[i * EntrySize + EntryType] == 0) {
        return BlockOffset(track, sector) + static_cast<std::size_t>(i * EntrySize);
      }
    }
    if (block[0] == 0) break;
    track = block[0];
    sector = block[1];
  }
  if (track != DirectoryTrack) return 0;
  const int added = FreeSectorFrom(image, DirectoryTrack,
                                   (sector + DirectoryInterleave) % SectorsInTrack(track));
  if (added < 0) return 0;
  SetBlockFree(image, DirectoryTrack, added, false);
  std::uint8_t* last = Block(image, track, sector);
  last[0] = DirectoryTrack;
  last[1] = static_cast<std::uint8_t>(added);
  std::uint8_t* block = Block(image, DirectoryTrack, added);
  std::memset(block, 0, BlockSize);
  block[1] = 0xFF;
  return BlockOffset(DirectoryTrack, added);
}

const DiskFileEntry* FindExactName(const DiskDirectory& directory, const DiskName& name) {
  for (const DiskFileEntry& file : directory.Files) {
    if (file.Name.Length == name.Length &&
        std::memcmp(file.Name.Bytes, name.Bytes, name.Length) == 0) {
      return &file;
    }
  }
  return nullptr;
}

}  // namespace

bool D64Open(std::vector<std::uint8_t> bytes, D64Image& image) {
  const std::size_t size = bytes.size();
  if (size == D64SizeStandard || size == D64SizeStandardWithErrors) {
    image.Tracks = 35;
  } else if (size == D64SizeExtended || size == D64SizeExtendedWithErrors) {
    image.Tracks = 40;
  } else {
    return false;
  }
  image.Bytes = std::move(bytes);
  return true;
}

DiskStatus D64ReadDirectory(const D64Image& image, DiskDirectory& directory) {
  const std::uint8_t* bam = Block(image, DirectoryTrack, 0);
  directory.Name = DiskNameFrom({bam + BamDiskName, DiskNameLength}, false);
  for (int i = 0; i < 5; ++i) {
    const std::uint8_t c = bam[BamDiskId + i];
    directory.Id[i] = c == NamePadding ? ' ' : c;
  }
  directory.BlocksFree = FreeBlocksOutsideDirectory(image);
  directory.Files.clear();
  BlockSet seen;
  // The 1541 reads the directory from 18/1 whatever the BAM's link says.
  return FollowChain(image, DirectoryTrack, FirstDirectorySector, seen,
                     [&](int track, int sector, const std::uint8_t* block) {
                       for (int i = 0; i < EntriesPerBlock; ++i) {
                         const std::uint8_t* entry = block + i * EntrySize;
                         if (entry[EntryType] == 0) continue;
                         DiskFileEntry file{};
                         file.Name = DiskNameFrom({entry + EntryName, DiskNameLength}, false);
                         file.Type = entry[EntryType];
                         file.Blocks = static_cast<std::uint16_t>(entry[EntryBlocks] |
                                                                  entry[EntryBlocks + 1] << 8);
                         file.Start = static_cast<std::uint32_t>(entry[EntryTrack] << 8 |
                                                                 entry[EntrySector]);
                         file.EntryOffset =
                             BlockOffset(track, sector) + static_cast<std::size_t>(i * EntrySize);
                         directory.Files.push_back(file);
                       }
                     });
}

DiskStatus D64ReadFile(const D64Image& image, const DiskFileEntry& file,
                       std::vector<std::uint8_t>& data) {
  data.clear();
  BlockSet seen;
  return FollowChain(image, static_cast<int>(file.Start >> 8),
                     static_cast<int>(file.Start & 0xFF), seen,
                     [&](int, int, const std::uint8_t* block) {
                       // The last block's second byte is the offset of its last byte in use.
                       const int end = block[0] != 0 ? BlockSize : block[1] + 1;
                       if (end > 2) data.insert(data.end(), block + 2, block + end);
                     });
}

DiskStatus D64WriteFile(D64Image& image, const DiskName& name, bool replace,
                        std::span<const std::uint8_t> data) {
  D64Image work = image;
  DiskDirectory directory;
  BlockSet used;
  if (D64ReadDirectory(work, directory) != DiskStatus::Ok || !BamConsistent(work) ||
      UsedBlocks(work, directory, used) != DiskStatus::Ok) {
    return DiskStatus::Damaged;
  }
  // A block in use that the BAM calls free would be given to the new file over the old.
  for (int track = 1; track <= BamTracks; ++track) {
    for (int sector = 0; sector < SectorsInTrack(track); ++sector) {
      if (used.Bits[track][sector] && BlockFree(work, track, sector)) return DiskStatus::Damaged;
    }
  }
  const DiskFileEntry* existing = FindExactName(directory, name);
  if (existing != nullptr && !replace) return DiskStatus::Exists;

  const std::size_t entryOffset = existing != nullptr ? existing->EntryOffset : FreeEntry(work);
  if (entryOffset == 0) return DiskStatus::DirectoryFull;
  const int blocks = data.empty() ? 1 : static_cast<int>((data.size() + BlockDataSize - 1) /
                                                         BlockDataSize);
  if (blocks > FreeBlocksOutsideDirectory(work)) return DiskStatus::DiskFull;

  int track = 0;
  int sector = 0;
  NextFileBlock(work, track, sector);
  const int firstTrack = track;
  const int firstSector = sector;
  for (int i = 0; i < blocks; ++i) {
    std::uint8_t* block = Block(work, track, sector);
    std::memset(block, 0, BlockSize);
    const std::size_t start = static_cast<std::size_t>(i) * BlockDataSize;
    const std::size_t count = std::min<std::size_t>(BlockDataSize, data.size() - start);
    if (count > 0) std::memcpy(block + 2, data.data() + start, count);
    if (i + 1 < blocks) {
      NextFileBlock(work, track, sector);
      block[0] = static_cast<std::uint8_t>(track);
      block[1] = static_cast<std::uint8_t>(sector);
    } else {
      block[1] = static_cast<std::uint8_t>(count + 1);
    }
  }

  if (existing != nullptr) {
    // The old file's blocks go back to the BAM once the new file stands.
    BlockSet seen;
    FollowChain(work, static_cast<int>(existing->Start >> 8),
                static_cast<int>(existing->Start & 0xFF), seen,
                [&](int t, int s, const std::uint8_t*) {
                  if (t <= BamTracks) SetBlockFree(work, t, s, true);
                });
  }
  std::uint8_t* entry = work.Bytes.data() + entryOffset;
  entry[EntryType] = FileClosed | FileTypePrg;
  entry[EntryTrack] = static_cast<std::uint8_t>(firstTrack);
  entry[EntrySector] = static_cast<std::uint8_t>(firstSector);
  std::memset(entry + EntryName, NamePadding, DiskNameLength);
  std::memcpy(entry + EntryName, name.Bytes, name.Length);
  std::memset(entry + EntrySideTrack, 0, EntryBlocks - EntrySideTrack);
  entry[EntryBlocks] = static_cast<std::uint8_t>(blocks);
  entry[EntryBlocks + 1] = static_cast<std::uint8_t>(blocks >> 8);
  image = std::move(work);
  return DiskStatus::Ok;
}

}  // namespace quillon
