#include "media/disk_directory.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quillon {
namespace {

constexpr std::uint16_t DirectoryLoadAddress = 0x0401;
constexpr std::uint8_t ReverseOn = 0x12;
constexpr const char* const TypeNames[] = {"DEL", "SEQ", "PRG", "USR", "REL"};

// Appends one BASIC line: the link to the next line, the line number, the text and the zero
// that ends it. The link assumes the program at its own load address; BASIC relinks anyway.
void AppendLine(std::vector<std::uint8_t>& program, std::uint16_t number,
                const std::vector<std::uint8_t>& text) {
  const std::uint16_t next = static_cast<std::uint16_t>(
      DirectoryLoadAddress + (program.size() - 2) + 4 + text.size() + 1);
  program.push_back(static_cast<std::uint8_t>(next));
  program.push_back(static_cast<std::uint8_t>(next >> 8));
  program.push_back(static_cast<std::uint8_t>(number));
  program.push_back(static_cast<std::uint8_t>(number >> 8));
  program.insert(program.end(), text.begin(), text.end());
  program.push_back(0);
}

void Append(std::vector<std::uint8_t>& text, std::string_view characters) {
  for (const char c : characters) text.push_back(static_cast<std::uint8_t>(c));
}

void AppendName(std::vector<std::uint8_t>& text, const DiskName& name) {
  text.push_back('"');
  text.insert(text.end(), name.Bytes, name.Bytes + name.Length);
  text.push_back('"');
}

bool Loadable(std::uint8_t type) {
  const std::uint8_t kind = type & FileTypeMask;
  return (type & FileClosed) != 0 &&
         (kind == FileTypeSeq || kind == FileTypePrg || kind == FileTypeUsr);
}

}  // namespace

DiskName DiskNameFrom(std::span<const std::uint8_t> field, bool spaceIsPadding) {
  DiskName name{};
  field = field.first(std::min(field.size(), DiskNameLength));
  std::size_t length = 0;
  while (length < field.size() && field[length] != NamePadding) ++length;
  std::size_t end = field.size();
  while (end > length && field[end - 1] == NamePadding) --end;
  if (end > length + 1) {
    std::memcpy(name.Rest, field.data() + length + 1, end - length - 1);
    name.RestLength = static_cast<std::uint8_t>(end - length - 1);
  }
  while (spaceIsPadding && length > 0 && field[length - 1] == ' ') --length;
  std::memcpy(name.Bytes, field.data(), length);
  name.Length = static_cast<std::uint8_t>(length);
  return name;
}

bool DiskNameMatches(std::span<const std::uint8_t> pattern, const DiskName& name) {
  std::size_t i = 0;
  for (; i < pattern.size(); ++i) {
    if (pattern[i] == '*') return true;
    if (i >= name.Length) return false;
    if (pattern[i] != '?' && pattern[i] != name.Bytes[i]) return false;
  }
  return i == name.Length;
}

const DiskFileEntry* FindDiskFile(const DiskDirectory& directory,
                                  std::span<const std::uint8_t> pattern) {
  for (const DiskFileEntry& file : directory.Files) {
    if (Loadable(file.Type) && DiskNameMatches(pattern, file.Name)) return &file;
  }
  return nullptr;
}

std::vector<std::uint8_t> DirectoryProgram(const DiskDirectory& directory,
                                           std::span<const std::uint8_t> pattern) {
  std::vector<std::uint8_t> program;
  program.reserve(2 + 32 * (directory.Files.size() + 2) + 2);
  program.push_back(DirectoryLoadAddress & 0xFF);
  program.push_back(DirectoryLoadAddress >> 8);
  // One line's text: at most a quoted name of sixteen, blanks, a type and its marks.
  std::vector<std::uint8_t> text;
  text.reserve(32);
  text.push_back(ReverseOn);
  DiskName header = directory.Name;
  // The header shows the name's field in full width.
  std::memset(header.Bytes + header.Length, ' ', DiskNameLength - header.Length);
  header.Length = DiskNameLength;
  AppendName(text, header);
  text.push_back(' ');
  text.insert(text.end(), std::begin(directory.Id), std::end(directory.Id));
  AppendLine(program, 0, text);

  for (const DiskFileEntry& file : directory.Files) {
    if (!pattern.empty() && !DiskNameMatches(pattern, file.Name)) continue;
    text.clear();
    // The quotes line up: the block count and the blanks before the name take four places.
    Append(text, file.Blocks < 10 ? "   " : file.Blocks < 100 ? "  " : file.Blocks < 1000 ? " " : "");
    AppendName(text, file.Name);
    // What the name's field holds past its end follows the closing quote, as the drive lists
    // it: the padding bytes among it as blanks.
    const DiskName& name = file.Name;
    for (std::size_t i = 0; i < name.RestLength; ++i) {
      text.push_back(name.Rest[i] == NamePadding ? ' ' : name.Rest[i]);
    }
    text.insert(text.end(), DiskNameLength + 1 - name.Length - name.RestLength, ' ');
    // A file that was never closed shows a star before its type, a locked one a '<' after it.
    const std::uint8_t kind = file.Type & FileTypeMask;
    text.back() = (file.Type & FileClosed) ? ' ' : '*';
    Append(text, kind < std::size(TypeNames) ? TypeNames[kind] : "???");
    text.push_back((file.Type & FileLocked) ? '<' : ' ');
    AppendLine(program, file.Blocks, text);
  }

  text.clear();
  Append(text, "BLOCKS FREE.             ");
  AppendLine(program, static_cast<std::uint16_t>(directory.BlocksFree), text);
  program.push_back(0);
  program.push_back(0);
  return program;
}

}  // namespace quillon
