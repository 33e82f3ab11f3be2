#include "support/temp_file.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quillon::test {

namespace {

// This process's directory, removed with everything in it when the test process ends.
struct TempDirectory {
  std::filesystem::path Path =
      std::filesystem::temp_directory_path() / ("quillon-test-" + std::to_string(getpid()));
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
};

}  // namespace

std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  static const TempDirectory directory;
  const std::filesystem::path path = directory.Path / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

}  // namespace quillon::test
