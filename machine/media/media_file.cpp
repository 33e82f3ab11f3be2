#include "media/media_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "media/utf8_path.h"

namespace quillon {

bool IsRegularFile(const char* path) {
  std::error_code error;
  return std::filesystem::is_regular_file(PathFromUtf8(path), error);
}

std::FILE* OpenMediaFile(const char* path) {
  return IsRegularFile(path) ? OpenUtf8File(path, "rb") : nullptr;
}

bool ReadMediaFile(const char* path, std::size_t limit, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::FILE* file = OpenMediaFile(path);
  if (file == nullptr) return false;
  // In pieces, so that a small file takes little memory; one byte past the limit tells a file
  // that is too long from one that fills it.
  constexpr std::size_t Piece = 65536;
  std::size_t got = 0;
  do {
    bytes.resize(std::min(got + Piece, limit + 1));
    got += std::fread(bytes.data() + got, 1, bytes.size() - got, file);
  } while (got == bytes.size() && got <= limit);
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

bool IsProgramFile(const std::string& path) {
  const std::string extension = FileExtension(path);
  return extension == "prg" || extension == "p00";
}

bool IsCartridgeFile(const std::string& path) { return FileExtension(path) == "crt"; }

bool IsDiskImageFile(const std::string& path) {
  const std::string extension = FileExtension(path);
  return extension == "d64" || extension == "t64";
}

}  // namespace quillon
