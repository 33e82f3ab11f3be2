#include "media/media_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace quillon {

bool IsRegularFile(const char* path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

std::FILE* OpenMediaFile(const char* path) {
  return IsRegularFile(path) ? std::fopen(path, "rb") : nullptr;
}

bool ReadMediaFile(const char* path, std::size_t limit, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::FILE* file = OpenMediaFile(path);
  if (file == nullptr) return false;
  // One byte more than the limit tells a file that is too long from one that fills it.
  bytes.resize(limit + 1);
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
  const bool ok = std::ferror(file) == 0 && got <= limit;
  std::fclose(file);
  bytes.resize(ok ? got : 0);
  return ok;
}

std::string FileExtension(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

}  // namespace quillon
