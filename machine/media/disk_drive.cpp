#include "media/disk_drive.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "media/d64_image.h"
#include "media/file_replace.h"
#include "media/media_file.h"
#include "media/t64_image.h"
#include "media/utf8_path.h"

namespace quillon {

int DiskAttached = 0;
std::string DiskPath;

namespace {

namespace fs = std::filesystem;

struct OpenImage {
  bool Tape;
  D64Image Disk;
  T64Image Archive;
};

bool IsTapeArchive(const std::string& path) { return FileExtension(path) == "t64"; }

// Reads and checks the image; an empty string when it is one, otherwise what is wrong.
std::string ReadImage(const std::string& path, OpenImage& image) {
  image.Tape = IsTapeArchive(path);
  std::vector<std::uint8_t> bytes;
  if (!ReadMediaFile(path.c_str(), image.Tape ? T64MaximumSize : D64MaximumSize, bytes)) {
    if (!IsRegularFile(path.c_str())) return "cannot read '" + path + "'";
    return "'" + path + "' is too large for a " + (image.Tape ? "T64 tape archive" : "D64 disk image");
  }
  const std::size_t size = bytes.size();
  if (image.Tape) {
    if (!T64Open(std::move(bytes), image.Archive)) return "'" + path + "' is not a T64 tape archive";
  } else if (!D64Open(std::move(bytes), image.Disk)) {
    return "'" + path + "' is not a D64 disk image: " + std::to_string(size) +
           " bytes, not 174848 or 196608 (each with or without error bytes)";
  }
  return "";
}

DiskStatus ReadDirectory(const OpenImage& image, DiskDirectory& directory) {
  if (!image.Tape) return D64ReadDirectory(image.Disk, directory);
  T64ReadDirectory(image.Archive, directory);
  return DiskStatus::Ok;
}

DiskStatus ReadFile(const OpenImage& image, const DiskFileEntry& file,
                    std::vector<std::uint8_t>& data) {
  return image.Tape ? T64ReadFile(image.Archive, file, data) : D64ReadFile(image.Disk, file, data);
}

bool StartsWith(std::span<const std::uint8_t> name, std::string_view prefix) {
  return name.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
}

// The name without the drive number that may stand before it ("0:NAME", ":NAME").
std::span<const std::uint8_t> WithoutDrive(std::span<const std::uint8_t> name) {
  if (StartsWith(name, "0:")) return name.subspan(2);
  if (StartsWith(name, ":")) return name.subspan(1);
  return name;
}

// Characters that the drive reads as part of a command, never as part of a name to save.
bool SavableName(std::span<const std::uint8_t> name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), [](std::uint8_t c) {
    return c == '*' || c == '?' || c == ',' || c == ':' || c == '=' || c == '"';
  });
}

// Whether anyone may write the file or folder at all: a read-only image or folder is
// write-protected even for a user whom the system would let write anyway.
bool WriteAllowed(const fs::path& path) {
  std::error_code error;
  const fs::perms perms = fs::status(path, error).permissions();
  return !error && (perms & (fs::perms::owner_write | fs::perms::group_write |
                             fs::perms::others_write)) != fs::perms::none;
}

}  // namespace

std::string CheckDiskImage(const std::string& path) {
  OpenImage image;
  return ReadImage(path, image);
}

std::string AttachDiskImage(const std::string& path) {
  std::string error = CheckDiskImage(path);
  if (error.empty()) {
    DiskPath = path;
    DiskAttached = 1;
  }
  return error;
}

void DetachDiskImage() {
  DiskAttached = 0;
  DiskPath.clear();
}

DiskStatus DiskLoad(const std::string& imagePath, std::span<const std::uint8_t> name,
                    std::vector<std::uint8_t>& file) {
  file.clear();
  OpenImage image;
  DiskDirectory directory;
  if (!ReadImage(imagePath, image).empty() ||
      ReadDirectory(image, directory) != DiskStatus::Ok) {
    return DiskStatus::Damaged;
  }
  if (StartsWith(name, "$")) {
    // "$" alone, "$0" or "$0:pattern": the directory, of the matching files only.
    std::span<const std::uint8_t> pattern = name.subspan(1);
    if (StartsWith(pattern, "0")) pattern = pattern.subspan(1);
    pattern = StartsWith(pattern, ":") ? pattern.subspan(1) : pattern.subspan(pattern.size());
    file = DirectoryProgram(directory, pattern);
    return DiskStatus::Ok;
  }
  const DiskFileEntry* entry = FindDiskFile(directory, WithoutDrive(name));
  if (entry == nullptr) return DiskStatus::NotFound;
  const DiskStatus status = ReadFile(image, *entry, file);
  // Without the two bytes of its load address a file cannot be loaded.
  if (status != DiskStatus::Ok || file.size() < 2) {
    file.clear();
    return DiskStatus::Damaged;
  }
  return DiskStatus::Ok;
}

std::string CheckDiskHasProgram(const std::string& path) {
  static constexpr std::uint8_t FirstFile[] = {'*'};
  std::vector<std::uint8_t> file;
  switch (DiskLoad(path, FirstFile, file)) {
    case DiskStatus::Ok:
      return "";
    case DiskStatus::NotFound:
      return "'" + path + "' holds no program to start: LOAD\"*\",8 finds no file";
    default:
      return "'" + path + "' holds no program to start: its directory or first file is damaged";
  }
}

DiskStatus DiskSave(const std::string& imagePath, std::span<const std::uint8_t> name,
                    std::span<const std::uint8_t> file) {
  const bool replace = StartsWith(name, "@");
  std::span<const std::uint8_t> plain = WithoutDrive(replace ? name.subspan(1) : name);
  if (!SavableName(plain)) return DiskStatus::BadName;
  // The drive keeps the first sixteen characters of a longer name.
  plain = plain.first(std::min(plain.size(), DiskNameLength));
  const DiskName diskName = DiskNameFrom(plain, false);

  std::error_code error;
  const fs::path target = fs::canonical(PathFromUtf8(imagePath), error);
  if (error || IsTapeArchive(imagePath) || !WriteAllowed(target) ||
      !WriteAllowed(target.parent_path())) {
    return DiskStatus::WriteProtected;
  }
  OpenImage image;
  if (!ReadImage(imagePath, image).empty()) return DiskStatus::Damaged;
  const DiskStatus status = D64WriteFile(image.Disk, diskName, replace, file);
  if (status != DiskStatus::Ok) return status;
  const std::vector<std::uint8_t>& bytes = image.Disk.Bytes;
  return ReplaceFile(imagePath, bytes.data(), bytes.size()).empty() ? DiskStatus::Ok
                                                                   : DiskStatus::WriteProtected;
}

}  // namespace quillon
