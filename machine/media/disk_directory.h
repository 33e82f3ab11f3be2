// What a disk or tape image holds, as the drive presents it: the files in directory order with
// their names, types and sizes, name patterns with '*' and '?', and the directory as the BASIC
// program that LOAD"$",8 reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon {

inline constexpr std::size_t DiskNameLength = 16;
// The byte that pads names in a directory: a shifted space.
inline constexpr std::uint8_t NamePadding = 0xA0;

// The file type byte of a directory entry: bits 0-2 the type, bit 6 locked, bit 7 closed.
inline constexpr std::uint8_t FileTypeMask = 0x07;
inline constexpr std::uint8_t FileTypeDel = 0;
inline constexpr std::uint8_t FileTypeSeq = 1;
inline constexpr std::uint8_t FileTypePrg = 2;
inline constexpr std::uint8_t FileTypeUsr = 3;
inline constexpr std::uint8_t FileTypeRel = 4;
inline constexpr std::uint8_t FileLocked = 0x40;
inline constexpr std::uint8_t FileClosed = 0x80;

// How a drive operation ended.
enum class DiskStatus {
  Ok,
  NotFound,        // no file matches the name
  Damaged,         // the image's structure is broken: a chain that loops or leaves the disk,
                   // a bad directory, a BAM that does not agree with the files
  Exists,          // SAVE of a name that is there already, without "@0:"
  DiskFull,
  DirectoryFull,
  WriteProtected,  // a tape image, or an image or folder that cannot be written
  BadName,         // a name that the drive cannot save under
};

// A name in PETSCII, without its padding. What the field holds past the first padding byte is
// no part of the name, but the drive's listing shows it after the closing quote (copy-protected
// disks hide text there): Rest, without the padding at its end.
struct DiskName {
  std::uint8_t Bytes[DiskNameLength];
  std::uint8_t Length;
  std::uint8_t Rest[DiskNameLength];
  std::uint8_t RestLength;
};

struct DiskFileEntry {
  DiskName Name;
  std::uint8_t Type;
  std::uint16_t Blocks;
  // Where the file starts: a D64 keeps track * 256 + sector, a T64 its entry's index.
  std::uint32_t Start;
  // A D64 entry's offset in the image, for rewriting it.
  std::size_t EntryOffset;
};

struct DiskDirectory {
  DiskName Name;
  std::uint8_t Id[5];  // disk ID, a blank, DOS type, as the header line shows them
  std::vector<DiskFileEntry> Files;
  int BlocksFree;
};

// `name` taken from a padded field of up to 16 bytes: it ends at the first padding byte (and,
// with `spaceIsPadding`, at trailing blanks, as tape images pad their names); what follows that
// byte is its Rest.
DiskName DiskNameFrom(std::span<const std::uint8_t> field, bool spaceIsPadding);

// The drive's name match: '?' stands for any one character, '*' for the rest of the name
// whatever it is; otherwise the name must equal the pattern.
bool DiskNameMatches(std::span<const std::uint8_t> pattern, const DiskName& name);

// The first file, in directory order, that a LOAD can read and whose name matches: closed
// files of the types PRG, SEQ and USR. Null when there is none.
const DiskFileEntry* FindDiskFile(const DiskDirectory& directory,
                                  std::span<const std::uint8_t> pattern);

// The directory as a BASIC program file (load address $0401 first): the header line with the
// disk's name and ID in reverse, a line per file whose name matches `pattern` (every file when
// it is empty) with its blocks as line number, and the free blocks.
std::vector<std::uint8_t> DirectoryProgram(const DiskDirectory& directory,
                                           std::span<const std::uint8_t> pattern);

}  // namespace quillon
