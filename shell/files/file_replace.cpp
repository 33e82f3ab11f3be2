#include "files/file_replace.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace quillon {

std::string ReplaceFile(const std::string& path, const void* data, std::size_t size) {
  const std::filesystem::path target(path);
  const std::filesystem::path temporary = target.string() + ".new";
  std::error_code error;
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.flush();
    if (!file) {
      file.close();
      std::filesystem::remove(temporary, error);
      return "cannot write '" + path + "'";
    }
  }
  std::filesystem::rename(temporary, target, error);
  if (!error) return "";
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  return "cannot write '" + path + "': " + error.message();
}

}  // namespace quillon
