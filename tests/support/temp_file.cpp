#include "support/temp_file.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quillon::test {

std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::filesystem::path directory =
      std::filesystem::temp_directory_path() / ("quillon-test-" + std::to_string(getpid()));
  const std::filesystem::path path = directory / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

}  // namespace quillon::test
