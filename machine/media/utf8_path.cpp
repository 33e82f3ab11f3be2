#include "media/utf8_path.h"

#include <cstdint>

namespace quillon {
namespace {

constexpr char32_t Replacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }
bool IsSurrogate(char32_t code) { return code >= 0xD800 && code <= 0xDFFF; }

// The character that starts at text[at], and how many bytes it takes; a sequence that is no
// character takes its lead byte alone, or the continuation bytes it has, as U+FFFD.
char32_t DecodeUtf8(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  if (lead < 0x80) return lead;
  // How many continuation bytes follow, and the smallest value that needs them all.
  const int more = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                   : lead >= 0xF0 && lead <= 0xF4                                   ? 3
                                                                                    : 0;
  if (more == 0) return Replacement;
  constexpr char32_t Smallest[] = {0, 0x80, 0x800, 0x10000};
  char32_t code = lead & (0x3F >> more);
  for (int i = 0; i < more; ++i) {
    if (at >= text.size() || !IsContinuation(static_cast<unsigned char>(text[at]))) {
      return Replacement;
    }
    code = code << 6 | (static_cast<unsigned char>(text[at++]) & 0x3F);
  }
  return code < Smallest[more] || code > 0x10FFFF || IsSurrogate(code) ? Replacement : code;
}

void EncodeUtf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
    return;
  }
  const int more = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
  constexpr unsigned char Lead[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(Lead[more] | code >> (6 * more));
  for (int i = more - 1; i >= 0; --i) out += static_cast<char>(0x80 | ((code >> (6 * i)) & 0x3F));
}

}  // namespace

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const char32_t code = DecodeUtf8(text, at);
    if (code < 0x10000) {
      out += static_cast<char16_t>(code);
    } else {
      out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Utf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    char32_t code = text[at];
    if (code >= 0xD800 && code <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
        text[at + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++at] - 0xDC00);
    } else if (IsSurrogate(code)) {
      code = Replacement;
    }
    EncodeUtf8(code, out);
  }
  return out;
}

#ifdef _WIN32

// The system's wide characters are UTF-16 units.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::filesystem::path PathFromUtf8(std::string_view name) {
  const std::u16string wide = Utf16FromUtf8(name);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return Utf8FromUtf16(std::u16string(wide.begin(), wide.end()));
}

std::FILE* OpenUtf8File(const std::string& name, const char* mode) {
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(PathFromUtf8(name).c_str(), wideMode.c_str());
}

#else

std::filesystem::path PathFromUtf8(std::string_view name) {
  return std::filesystem::path(std::string(name));
}

std::string Utf8FromPath(const std::filesystem::path& path) { return path.native(); }

std::FILE* OpenUtf8File(const std::string& name, const char* mode) {
  return std::fopen(name.c_str(), mode);
}

#endif

}  // namespace quillon
