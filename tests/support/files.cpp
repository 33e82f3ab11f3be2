#include "support/files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
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

const TempDirectory& ProcessDirectory() {
  static const TempDirectory directory;
  return directory;
}

// The settings of whoever runs the tests are never read or written: a test process keeps its
// own, in its own directory.
[[maybe_unused]] const bool OwnSettingsFolder = [] {
  return setenv("XDG_CONFIG_HOME", (ProcessDirectory().Path / "config").c_str(), 1) == 0;
}();

struct Token {
  std::string_view Text;
  std::uint8_t Code;
};

// The BASIC V2 keywords and operators that test programs use, with their token bytes.
constexpr Token Tokens[] = {
    {"END", 0x80},  {"FOR", 0x81},   {"NEXT", 0x82}, {"GOTO", 0x89}, {"IF", 0x8B},
    {"POKE", 0x97}, {"PRINT", 0x99}, {"SYS", 0x9E},  {"TO", 0xA4},   {"THEN", 0xA7},
    {"+", 0xAA},    {"-", 0xAB},     {"*", 0xAC},    {"/", 0xAD},    {"AND", 0xAF},
    {">", 0xB1},    {"=", 0xB2},     {"<", 0xB3},    {"PEEK", 0xC2},
};

void AppendTokenised(std::vector<std::uint8_t>& out, std::string_view text) {
  bool quoted = false;
  while (!text.empty()) {
    if (text.front() == '"') quoted = !quoted;
    bool matched = false;
    for (const Token& token : Tokens) {
      if (!quoted && text.starts_with(token.Text)) {
        out.push_back(token.Code);
        text.remove_prefix(token.Text.size());
        matched = true;
        break;
      }
    }
    if (!matched) {
      out.push_back(static_cast<std::uint8_t>(text.front()));
      text.remove_prefix(1);
    }
  }
}

}  // namespace

std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::filesystem::path path = ProcessDirectory().Path / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

std::vector<std::uint8_t> BasicProgramFile(std::initializer_list<std::string_view> lines,
                                           std::uint16_t start) {
  std::vector<std::uint8_t> file = {static_cast<std::uint8_t>(start),
                                    static_cast<std::uint8_t>(start >> 8)};
  for (std::string_view line : lines) {
    const std::size_t space = line.find(' ');
    const unsigned number = static_cast<unsigned>(std::atoi(std::string(line.substr(0, space)).c_str()));
    std::vector<std::uint8_t> body = {static_cast<std::uint8_t>(number),
                                      static_cast<std::uint8_t>(number >> 8)};
    AppendTokenised(body, line.substr(space + 1));
    body.push_back(0);
    // The link is the address of the next line, which starts after this one's link and body.
    const unsigned next = start + (file.size() - 2) + 2 + body.size();
    file.push_back(static_cast<std::uint8_t>(next));
    file.push_back(static_cast<std::uint8_t>(next >> 8));
    file.insert(file.end(), body.begin(), body.end());
  }
  file.push_back(0);
  file.push_back(0);
  return file;
}

std::vector<std::uint8_t> CrtImage(
    std::uint8_t type,
    const std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>>& packets) {
  std::vector<std::uint8_t> image(64, 0);
  std::copy_n("C64 CARTRIDGE   \0\0\0\x40\x01\x00", 22, image.begin());
  image[23] = type;
  for (const auto& [address, data] : packets) {
    const std::size_t size = data.size();
    const std::uint8_t header[] = {'C', 'H', 'I', 'P', 0, 0, std::uint8_t((size + 16) >> 8),
                                   std::uint8_t(size + 16), 0, 0, 0, 0,
                                   std::uint8_t(address >> 8), std::uint8_t(address),
                                   std::uint8_t(size >> 8), std::uint8_t(size)};
    image.insert(image.end(), std::begin(header), std::end(header));
    image.insert(image.end(), data.begin(), data.end());
  }
  return image;
}

}  // namespace quillon::test
