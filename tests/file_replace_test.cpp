// Replacing a file whole (media/file_replace.h), which disk SAVEs, snapshots and the settings
// share, and the UTF-8 names every file is opened by (media/utf8_path.h).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "media/file_replace.h"
#include "media/utf8_path.h"
#include "support/files.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const Bytes OldBytes = {'o', 'l', 'd'};
const Bytes NewBytes = {'n', 'e', 'w', ' ', 'b', 'y', 't', 'e', 's'};

// An empty folder of the test's own.
fs::path NewFolder(const std::string& name) {
  const fs::path folder = test::WriteTempFile(name, {});
  fs::remove(folder);
  fs::create_directory(folder);
  return folder;
}

Bytes ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

std::string Replace(const fs::path& path, const Bytes& bytes,
                    ReplacementCheck beforeRename = nullptr) {
  return ReplaceFile(path.string(), bytes.data(), bytes.size(), beforeRename);
}

TEST(FileReplace, ALinkStaysALinkAndTheFileItLeadsToGetsTheBytes) {
  struct Case {
    const char* What;
    // The link, the links on the way (name -> where it points), and the file at the end.
    std::vector<std::pair<std::string, std::string>> Links;
    const char* File;
    bool FileExists;
  };
  const fs::path folder = NewFolder("replace-links");
  const std::vector<Case> cases = {
      {"relative", {{"disk.d64", "real.d64"}}, "real.d64", true},
      {"absolute", {{"disk.d64", (folder / "real.d64").string()}}, "real.d64", true},
      {"a chain", {{"disk.d64", "step.d64"}, {"step.d64", "sub/real.d64"}}, "sub/real.d64", true},
      {"to a file not there yet", {{"disk.d64", "later.d64"}}, "later.d64", false},
  };
  for (const Case& c : cases) {
    fs::remove_all(folder);
    fs::create_directories(folder / "sub");
    WriteBytes(folder / "bystander", OldBytes);
    if (c.FileExists) WriteBytes(folder / c.File, OldBytes);
    for (const auto& [name, target] : c.Links) fs::create_symlink(target, folder / name);
    std::set<std::string> expected = Names(folder);
    expected.insert(fs::path(c.File).has_parent_path() ? "sub" : c.File);

    EXPECT_EQ(Replace(folder / "disk.d64", NewBytes), "") << c.What;
    EXPECT_EQ(ReadBytes(folder / c.File), NewBytes) << c.What;
    for (const auto& [name, target] : c.Links) {
      EXPECT_TRUE(fs::is_symlink(folder / name)) << c.What << ": " << name;
      EXPECT_EQ(fs::read_symlink(folder / name), target) << c.What << ": " << name;
    }
    EXPECT_EQ(ReadBytes(folder / "bystander"), OldBytes) << c.What;
    EXPECT_EQ(Names(folder), expected) << c.What;
    EXPECT_EQ(Names(folder / "sub").size(), fs::path(c.File).has_parent_path() ? 1u : 0u);
  }
}

TEST(FileReplace, StaleNewFilesOfEarlierSavesAreNeitherUsedNorWrittenThrough) {
  const fs::path folder = NewFolder("replace-stale");
  WriteBytes(folder / "disk.d64", OldBytes);
  WriteBytes(folder / "victim", OldBytes);
  // The fixed names that saves used to take, and the first names of the pattern, left behind by
  // saves that were cut off; links among them lead to a file that must not change.
  const std::string suffix = ReplacementSuffix;
  for (const std::string& name :
       {std::string("disk.d64.saving"), std::string("disk.d64.new"), "disk.d64" + suffix + "1"}) {
    fs::create_symlink("victim", folder / name);
  }
  WriteBytes(folder / ("disk.d64" + suffix + "2"), OldBytes);
  fs::create_symlink("nowhere", folder / ("disk.d64" + suffix + "3"));
  const std::set<std::string> before = Names(folder);

  for (int save = 0; save < 2; ++save) {
    EXPECT_EQ(Replace(folder / "disk.d64", NewBytes), "");
    EXPECT_EQ(ReadBytes(folder / "disk.d64"), NewBytes);
    EXPECT_FALSE(fs::is_symlink(folder / "disk.d64"));
    EXPECT_EQ(ReadBytes(folder / "victim"), OldBytes);
    EXPECT_EQ(ReadBytes(folder / ("disk.d64" + suffix + "2")), OldBytes);
    EXPECT_FALSE(fs::exists(folder / "nowhere"));
    EXPECT_EQ(Names(folder), before);
  }
}

TEST(FileReplace, TheOldFilesPermissionsAreKeptAndANewFileGetsTheUmasks) {
  const fs::path folder = NewFolder("replace-modes");
  for (const mode_t mode : {0600, 0640, 0644, 0754, 0444}) {
    const fs::path path = folder / ("mode" + std::to_string(mode));
    WriteBytes(path, OldBytes);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    EXPECT_EQ(Replace(path, NewBytes), "");
    struct stat status;
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, mode) << std::oct << mode;
  }
  const mode_t mask = umask(022);
  umask(mask);
  EXPECT_EQ(Replace(folder / "fresh", NewBytes), "");
  struct stat status;
  ASSERT_EQ(stat((folder / "fresh").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0666 & ~mask);
}

// The new file as it stands when the check before the rename comes, and the old one then.
fs::path Watched;
Bytes SeenNew;
Bytes SeenOld;
bool StopBeforeRename() {
  const std::string suffix = ReplacementSuffix;
  SeenNew = ReadBytes(Watched.string() + suffix + "1");
  SeenOld = ReadBytes(Watched);
  return false;
}

TEST(FileReplace, ASaveStoppedBeforeTheRenameLeavesTheOldFileAndNoNewOne) {
  const fs::path folder = NewFolder("replace-stopped");
  Watched = folder / "machine.qsn";
  WriteBytes(Watched, OldBytes);
  EXPECT_EQ(Replace(Watched, NewBytes, StopBeforeRename),
            "cannot write '" + Watched.string() + "': Interrupted system call");
  EXPECT_EQ(SeenNew, NewBytes) << "the new file was whole before the rename";
  EXPECT_EQ(SeenOld, OldBytes);
  EXPECT_EQ(ReadBytes(Watched), OldBytes);
  EXPECT_EQ(Names(folder), std::set<std::string>{"machine.qsn"});
}

TEST(FileReplace, AFolderThatCannotBeWrittenGivesTheErrorAndKeepsTheOldFile) {
  const fs::path folder = NewFolder("unwritable");
  const fs::path path = folder / "disk.d64";
  WriteBytes(path, OldBytes);
  ASSERT_EQ(chmod(path.c_str(), 0644), 0);
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  // Root may write anywhere: the save runs as nobody then, in a process of its own.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(2);
    const std::string error = Replace(path, NewBytes);
    _exit(error == "cannot write '" + path.string() + "': Permission denied" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  chmod(folder.c_str(), 0755);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the error was not reported";
  EXPECT_EQ(ReadBytes(path), OldBytes);
  EXPECT_EQ(Names(folder), std::set<std::string>{"disk.d64"});
}

TEST(Utf8Path, NamesGoToUtf16AndBackWithWhatIsNoCharacterReplaced) {
  struct Case {
    std::string Utf8;
    std::u16string Utf16;
  };
  const Case whole[] = {
      {"plain.prg", u"plain.prg"},
      {"\xC3\xA9t\xC3\xA9.d64", u"\u00E9t\u00E9.d64"},
      {"\xE6\x97\xA5\xE6\x9C\xAC.prg", u"\u65E5\u672C.prg"},
      {"\xF0\x9F\x98\x80!", u"\U0001F600!"},
      {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", u"\uFFFF\U0010FFFF"},
  };
  for (const Case& c : whole) {
    EXPECT_EQ(Utf16FromUtf8(c.Utf8), c.Utf16) << c.Utf8;
    EXPECT_EQ(Utf8FromUtf16(c.Utf16), c.Utf8) << c.Utf8;
  }
  const Case broken[] = {
      {"a\x80z", u"a\uFFFDz"},                  // a continuation byte alone
      {"a\xE6\x97z", u"a\uFFFDz"},              // a character cut short
      {"a\xC0\xAFz", u"a\uFFFD\uFFFDz"},        // an overlong '/', which no lead byte C0 starts
      {"a\xE0\x80\xAFz", u"a\uFFFDz"},          // an overlong '/' in three bytes
      {"a\xED\xA0\x80z", u"a\uFFFDz"},          // a surrogate
      {"a\xF4\x90\x80\x80z", u"a\uFFFDz"},      // past U+10FFFF
      {"a\xFFz\xE6", u"a\uFFFDz\uFFFD"},
  };
  for (const Case& c : broken) EXPECT_EQ(Utf16FromUtf8(c.Utf8), c.Utf16) << c.Utf8;
  // Surrogates without their other half.
  const Case unpaired[] = {
      {"\xEF\xBF\xBD" "a", std::u16string{0xD800, u'a'}},
      {"a\xEF\xBF\xBD", std::u16string{u'a', 0xDC00}},
      {"\xEF\xBF\xBD\xEF\xBF\xBD", std::u16string{0xDC00, 0xD800}},
  };
  for (const Case& c : unpaired) EXPECT_EQ(Utf8FromUtf16(c.Utf16), c.Utf8);
}

}  // namespace
}  // namespace quillon
