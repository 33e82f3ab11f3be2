// Feeds arbitrary bytes to the T64 reader, as an archive in memory and as the drive's image:
// the input follows the archive's "C64" signature, so that every input is read as one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "loader_input.h"
#include "media/disk_drive.h"
#include "media/t64_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon;
  std::vector<std::uint8_t> bytes = {'C', '6', '4'};
  bytes.insert(bytes.end(), data, data + size);
  T64Image image;
  if (T64Open(bytes, image)) {
    DiskDirectory directory;
    T64ReadDirectory(image, directory);
    std::vector<std::uint8_t> file;
    for (const DiskFileEntry& entry : directory.Files) {
      // No file is longer than the address space, or than the archive.
      if (T64ReadFile(image, entry, file) == DiskStatus::Ok &&
          (file.size() > 0x10002 || file.size() > bytes.size() + 2)) {
        std::abort();
      }
    }
    DirectoryProgram(directory, {});
  }
  static const fuzz::InputFile input(".t64");
  input.Write(bytes.data(), bytes.size());
  DiskAttached = 1;
  DiskPath = input.Path;
  std::vector<std::uint8_t> file;
  const std::uint8_t star[] = {'*'};
  const std::uint8_t save[] = {'N', 'E', 'W'};
  DiskLoad(input.Path, star, file);
  // A tape archive is never written.
  if (DiskSave(input.Path, save, file) != DiskStatus::WriteProtected) std::abort();
  return 0;
}
