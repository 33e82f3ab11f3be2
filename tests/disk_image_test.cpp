#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "media/d64_image.h"
#include "media/disk_directory.h"
#include "media/t64_image.h"
#include "support/disk_images.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::D64Offset;

DiskName Name(std::string_view text) {
  DiskName name{};
  std::memcpy(name.Bytes, text.data(), text.size());
  name.Length = static_cast<std::uint8_t>(text.size());
  return name;
}

std::span<const std::uint8_t> Pattern(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A file of `count` bytes after its load address $0801, each byte its own index.
Bytes ProgramOf(std::size_t count) {
  Bytes bytes = {0x01, 0x08};
  for (std::size_t i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 7));
  return bytes;
}

// The directory program's lines as "number text", the text's bytes as characters.
std::vector<std::string> ListingLines(const Bytes& program) {
  std::vector<std::string> lines;
  std::size_t at = 2;
  while (at + 4 <= program.size() && (program[at] | program[at + 1]) != 0) {
    std::string line = std::to_string(program[at + 2] | program[at + 3] << 8);
    line += ' ';
    for (at += 4; program[at] != 0; ++at) line += static_cast<char>(program[at]);
    lines.push_back(line);
    ++at;
  }
  return lines;
}

D64Image Open(const Bytes& bytes) {
  D64Image image;
  EXPECT_TRUE(D64Open(bytes, image));
  return image;
}

Bytes ReadBack(const D64Image& image, std::string_view name) {
  DiskDirectory directory;
  EXPECT_EQ(D64ReadDirectory(image, directory), DiskStatus::Ok);
  const DiskFileEntry* file = FindDiskFile(directory, Pattern(name));
  Bytes data;
  if (file == nullptr) return data;
  EXPECT_EQ(D64ReadFile(image, *file, data), DiskStatus::Ok);
  return data;
}

TEST(DiskImage, SaveAllocatesLikeTheDriveAndFilesReadBack) {
  D64Image image = Open(test::BlankD64("WORK DISK", "WD"));
  const Bytes first = ProgramOf(860);  // 862 bytes: four blocks, the last holding 100
  ASSERT_EQ(D64WriteFile(image, Name("FIRST"), false, first), DiskStatus::Ok);
  const auto link = [&](int track, int sector) {
    return image.Bytes[D64Offset(track, sector)] * 256 + image.Bytes[D64Offset(track, sector) + 1];
  };
  const auto entry = [&](int index, int offset) {
    return image.Bytes[D64Offset(18, 1) + 32 * static_cast<std::size_t>(index) + offset];
  };
  // Next to the directory track, ten sectors apart, and one less on going round the track;
  // the last block's second byte is the offset of its last byte.
  EXPECT_EQ(entry(0, 2), 0x82);
  EXPECT_EQ(entry(0, 3) * 256 + entry(0, 4), 17 * 256 + 0);
  EXPECT_EQ(entry(0, 30), 4);
  EXPECT_EQ(link(17, 0), 17 * 256 + 10);
  EXPECT_EQ(link(17, 10), 17 * 256 + 20);
  EXPECT_EQ(link(17, 20), 17 * 256 + 8);
  EXPECT_EQ(link(17, 8), 0 * 256 + 101);
  EXPECT_EQ(test::D64BlocksFree(image.Bytes), 660);
  EXPECT_EQ(ReadBack(image, "FIRST"), first);

  // The next file starts at the track's first free sector; past the end of the track the
  // search goes on from sector 0 to the next free one.
  const Bytes second = ProgramOf(254 * 3);
  ASSERT_EQ(D64WriteFile(image, Name("SECOND"), false, second), DiskStatus::Ok);
  EXPECT_EQ(entry(1, 3) * 256 + entry(1, 4), 17 * 256 + 1);
  EXPECT_EQ(link(17, 1), 17 * 256 + 11);
  EXPECT_EQ(link(17, 11), 17 * 256 + 2);
  EXPECT_EQ(ReadBack(image, "SECOND"), second);
  EXPECT_EQ(ReadBack(image, "FIRST"), first);

  // An existing name is refused unless replaced; replacing frees the old blocks.
  const Bytes before = image.Bytes;
  EXPECT_EQ(D64WriteFile(image, Name("FIRST"), false, ProgramOf(10)), DiskStatus::Exists);
  EXPECT_EQ(image.Bytes, before);
  ASSERT_EQ(D64WriteFile(image, Name("FIRST"), true, ProgramOf(10)), DiskStatus::Ok);
  EXPECT_EQ(ReadBack(image, "FIRST"), ProgramOf(10));
  EXPECT_EQ(ReadBack(image, "SECOND"), second);
  EXPECT_EQ(test::D64BlocksFree(image.Bytes), 664 - 1 - 4);
  EXPECT_EQ(entry(0, 3) * 256 + entry(0, 4), 17 * 256 + 3) << "the new blocks come first";
  DiskDirectory directory;
  ASSERT_EQ(D64ReadDirectory(image, directory), DiskStatus::Ok);
  EXPECT_EQ(directory.Files.size(), 2u) << "the replaced file keeps its entry";

  // A file larger than the free blocks changes nothing; one that fills them exactly fits,
  // every block once.
  const int free = test::D64BlocksFree(image.Bytes);
  const Bytes full = image.Bytes;
  EXPECT_EQ(D64WriteFile(image, Name("BIG"), false, ProgramOf(254 * free - 1)),
            DiskStatus::DiskFull);
  EXPECT_EQ(image.Bytes, full);
  const Bytes all = ProgramOf(254 * free - 2);
  ASSERT_EQ(D64WriteFile(image, Name("ALL"), false, all), DiskStatus::Ok);
  EXPECT_EQ(test::D64BlocksFree(image.Bytes), 0);
  EXPECT_EQ(ReadBack(image, "ALL"), all);
  EXPECT_EQ(ReadBack(image, "SECOND"), second);
  EXPECT_EQ(D64WriteFile(image, Name("MORE"), false, ProgramOf(1)), DiskStatus::DiskFull);
}

TEST(DiskImage, TheDirectoryGrowsOnTrack18UntilItIsFull) {
  D64Image image = Open(test::BlankD64("MANY", "MN"));
  for (int i = 0; i < 144; ++i) {
    std::string name = "F";
    name += std::to_string(i);
    ASSERT_EQ(D64WriteFile(image, Name(name), false, ProgramOf(1)),
              DiskStatus::Ok)
        << i;
  }
  // 18 directory blocks of eight entries, three sectors apart: 1, 4, 7, ...
  EXPECT_EQ(image.Bytes[D64Offset(18, 1)] * 256 + image.Bytes[D64Offset(18, 1) + 1], 18 * 256 + 4);
  const Bytes full = image.Bytes;
  EXPECT_EQ(D64WriteFile(image, Name("ONE MORE"), false, ProgramOf(1)), DiskStatus::DirectoryFull);
  EXPECT_EQ(image.Bytes, full);
  DiskDirectory directory;
  ASSERT_EQ(D64ReadDirectory(image, directory), DiskStatus::Ok);
  EXPECT_EQ(directory.Files.size(), 144u);
  EXPECT_EQ(ReadBack(image, "F143"), ProgramOf(1));
}

TEST(DiskImage, OnlyTheFourD64SizesOpen) {
  for (const auto& [tracks, errors] : {std::pair{35, false}, {35, true}, {40, false}, {40, true}}) {
    Bytes bytes = test::BlankD64("SIZES", "SZ", tracks, errors);
    D64Image image;
    ASSERT_TRUE(D64Open(bytes, image)) << bytes.size();
    EXPECT_EQ(image.Tracks, tracks);
    ASSERT_EQ(D64WriteFile(image, Name("KEPT"), false, ProgramOf(300)), DiskStatus::Ok);
    EXPECT_EQ(image.Bytes.size(), bytes.size()) << "error bytes stay";
    EXPECT_EQ(ReadBack(image, "KEPT"), ProgramOf(300));
  }
  D64Image image;
  for (std::size_t size : {0, 174847, 174849, 196607, 200000}) {
    EXPECT_FALSE(D64Open(Bytes(size), image)) << size;
  }
}

TEST(DiskImage, BrokenChainsDirectoriesAndBamsAreDamagedAndNeverWritten) {
  Bytes good = test::BlankD64("HOSTILE", "HS");
  test::AddD64File(good, "VICTIM", ProgramOf(600));
  const std::size_t last = D64Offset(17, 20);
  struct Case {
    const char* What;
    std::size_t Offset;
    std::uint8_t Value;
    bool Readable;  // whether the file still loads
  };
  const Case cases[] = {
      {"chain back to its first block", last, 17, false},  // with sector byte 93 -> 17/93
      {"chain off the disk", last, 36, false},
      {"chain to a sector the track lacks", D64Offset(17, 10) + 1, 21, false},
      {"directory looping to itself", D64Offset(18, 1), 18, false},
      {"BAM count that disagrees with its bits", D64Offset(18, 0) + 4, 20, true},
      {"BAM calling a used block free", D64Offset(18, 0) + 4 * 17 + 1, 0xFF, true},
  };
  for (const Case& c : cases) {
    Bytes bytes = good;
    bytes[c.Offset] = c.Value;
    if (c.Offset == last && c.Value == 17) bytes[last + 1] = 0;  // back to 17/0: a loop
    if (c.Offset == D64Offset(18, 1)) bytes[c.Offset + 1] = 1;  // 18/1 links to 18/1
    D64Image image = Open(bytes);
    DiskDirectory directory;
    const DiskStatus listed = D64ReadDirectory(image, directory);
    Bytes data;
    const DiskFileEntry* file = FindDiskFile(directory, Pattern("VICTIM"));
    const DiskStatus read =
        file == nullptr ? DiskStatus::Damaged : D64ReadFile(image, *file, data);
    EXPECT_EQ(read == DiskStatus::Ok && listed == DiskStatus::Ok, c.Readable) << c.What;
    EXPECT_EQ(D64WriteFile(image, Name("NEW"), false, ProgramOf(10)), DiskStatus::Damaged)
        << c.What;
    EXPECT_EQ(image.Bytes, bytes) << c.What;
  }
}

TEST(DiskDirectory, PatternsMatchLikeTheDrive) {
  const DiskName hello = Name("HELLO");
  for (const char* pattern : {"HELLO", "*", "HEL*", "H?LLO", "?????", "HELLO*", "H*X"}) {
    EXPECT_TRUE(DiskNameMatches(Pattern(pattern), hello)) << pattern;
  }
  for (const char* pattern : {"HELL", "HELLO?", "HELLOS", "X*", "", "?ELL"}) {
    EXPECT_FALSE(DiskNameMatches(Pattern(pattern), hello)) << pattern;
  }
  DiskDirectory directory{};
  directory.Files = {{Name("GONE"), 0x02, 1, 0, 0},     // never closed
                     {Name("HELP"), 0x80, 1, 0, 0},     // DEL
                     {Name("HELLO"), 0xC2, 12, 1, 0},   // locked PRG
                     {Name("HELP ME"), 0x81, 123, 2, 0}};
  EXPECT_EQ(FindDiskFile(directory, Pattern("HEL*"))->Start, 1u) << "the first loadable match";
  EXPECT_EQ(FindDiskFile(directory, Pattern("*"))->Start, 1u);
  EXPECT_EQ(FindDiskFile(directory, Pattern("GONE")), nullptr);
  EXPECT_EQ(FindDiskFile(directory, Pattern("HELP")), nullptr);
}

TEST(DiskDirectory, TheListingIsABasicProgramInTheDrivesLayout) {
  DiskDirectory directory{};
  directory.Name = Name("MY DISK");
  std::memcpy(directory.Id, "ID 2A", 5);
  directory.BlocksFree = 539;
  directory.Files = {{Name("GONE"), 0x02, 1, 0, 0},
                     {Name("HELLO"), 0xC2, 12, 1, 0},
                     {Name("A LONGER NAME 16"), 0x81, 123, 2, 0}};
  const Bytes program = DirectoryProgram(directory, {});
  EXPECT_EQ(program[0] | program[1] << 8, 0x0401);
  EXPECT_EQ(ListingLines(program),
            (std::vector<std::string>{"0 \x12\"MY DISK         \" ID 2A",
                                      "1    \"GONE\"            *PRG ",
                                      "12   \"HELLO\"            PRG<",
                                      "123  \"A LONGER NAME 16\" SEQ ",
                                      "539 BLOCKS FREE.             "}));
  // The links chain the lines from $0401 on, and two zeros end the program.
  const std::size_t second = (program[2] | program[3] << 8) - 0x0401 + 2;
  EXPECT_EQ(program[second + 2], 1);
  EXPECT_EQ(program[program.size() - 1] | program[program.size() - 2], 0);
  EXPECT_EQ(ListingLines(DirectoryProgram(directory, Pattern("HE*"))).size(), 3u)
      << "the header, HELLO and the free blocks";

  // Past a name's first padding byte the field's bytes are no part of the name, but the drive
  // lists them after the closing quote, the padding among them as blanks.
  const auto field = [](std::string_view text) {
    Bytes bytes(DiskNameLength, NamePadding);
    for (std::size_t i = 0; i < text.size(); ++i) {
      bytes[i] = text[i] == '_' ? NamePadding : static_cast<std::uint8_t>(text[i]);
    }
    return DiskNameFrom(bytes, false);
  };
  directory.Files = {{field("GAME_,8,1"), 0x82, 30, 0, 0}, {field("AB_C_D"), 0x82, 2, 1, 0}};
  EXPECT_EQ(ListingLines(DirectoryProgram(directory, {}))[1], "30   \"GAME\",8,1         PRG ");
  EXPECT_EQ(ListingLines(DirectoryProgram(directory, {}))[2], "2    \"AB\"C D            PRG ");
  EXPECT_EQ(FindDiskFile(directory, Pattern("GAME"))->Start, 0u) << "the name ends at $A0";
}

TEST(TapeArchive, FilesComeOutAsPrgWithLengthsCutToTheData) {
  const Bytes one = {1, 2, 3, 4, 5};
  const Bytes two = {9, 8, 7};
  Bytes archive = test::T64Archive("MY TAPE", {{"ONE", 0x0801, one, 0xC3C6},  // end too far
                                               {"TWO", 0xC000, two, 0xC3C6}});
  T64Image image;
  ASSERT_TRUE(T64Open(archive, image));
  DiskDirectory directory;
  T64ReadDirectory(image, directory);
  EXPECT_EQ(std::string(directory.Name.Bytes, directory.Name.Bytes + directory.Name.Length),
            "MY TAPE");
  ASSERT_EQ(directory.Files.size(), 2u);
  EXPECT_EQ(directory.Files[1].Type, 0x82);
  EXPECT_EQ(directory.BlocksFree, 0);
  Bytes data;
  ASSERT_EQ(T64ReadFile(image, *FindDiskFile(directory, Pattern("ONE")), data), DiskStatus::Ok);
  EXPECT_EQ(data, (Bytes{0x01, 0x08, 1, 2, 3, 4, 5})) << "cut where the next file starts";
  ASSERT_EQ(T64ReadFile(image, *FindDiskFile(directory, Pattern("T*")), data), DiskStatus::Ok);
  EXPECT_EQ(data, (Bytes{0x00, 0xC0, 9, 8, 7})) << "cut where the archive ends";

  // Slots beyond the file, and entries whose data lie outside it, are not listed.
  archive[34] = 0xFF;
  archive[64 + 32 + 8 + 2] = 0x10;  // the second file's offset past the end
  ASSERT_TRUE(T64Open(archive, image));
  T64ReadDirectory(image, directory);
  EXPECT_EQ(directory.Files.size(), 1u);
  directory.Files[0].Start = 1;
  EXPECT_EQ(T64ReadFile(image, directory.Files[0], data), DiskStatus::Damaged);
}

TEST(TapeArchive, OnlyTheUsedEntriesAreListedNotProgramDataTakenForSlots) {
  // A directory of 100 slots claimed, of which the file holds 2 before the program's data,
  // whose bytes look like used entries pointing into the file: they are files only as far as
  // the header counts used entries (a count of 0, from old tools, meaning one).
  Bytes program(32 * 8, 0x00);
  for (std::size_t slot = 0; slot < program.size(); slot += 32) {
    program[slot] = 1;
    program[slot + 8] = 64;
  }
  Bytes archive = test::T64Archive("TAPE", {{"GAME", 0x0801, program, 0}}, 2);
  archive[34] = 100;
  T64Image image;
  DiskDirectory directory;
  for (const auto& [used, listed] : {std::pair{1, 1u}, {0, 1u}, {3, 3u}}) {
    archive[36] = static_cast<std::uint8_t>(used);
    ASSERT_TRUE(T64Open(archive, image));
    T64ReadDirectory(image, directory);
    EXPECT_EQ(directory.Files.size(), listed) << "used entries " << used;
  }
  EXPECT_FALSE(T64Open(Bytes(63, 'C'), image));
  EXPECT_FALSE(T64Open(Bytes(100, 0), image));
}

}  // namespace
}  // namespace quillon
