#include "backends/gtk/gtk_text.h"

#include <cctype>
#include <cstring>

namespace quillon {
namespace {

// "*.PRG" becomes "*.[pP][rR][gG]": the file system keeps the letter case of the name, the
// Windows dialog ignores it.
std::string AnyCasePattern(const std::string& pattern) {
  std::string result;
  for (char c : pattern) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalpha(u)) {
      result += '[';
      result += static_cast<char>(std::tolower(u));
      result += static_cast<char>(std::toupper(u));
      result += ']';
    } else {
      result += c;
    }
  }
  return result;
}

}  // namespace

std::string MnemonicLabel(const char* text) {
  std::string label;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == '&') {
      if (c[1] == '&') {
        label += '&';
        ++c;
      } else {
        label += '_';
      }
    } else if (*c == '_') {
      label += "__";
    } else {
      label += *c;
    }
  }
  return label;
}

std::vector<FileFilterSpec> ParseFileFilter(const char* filter) {
  std::vector<FileFilterSpec> filters;
  while (*filter != '\0') {
    FileFilterSpec spec;
    spec.Description = filter;
    filter += std::strlen(filter) + 1;
    // A description without its patterns ends the list.
    if (*filter == '\0') break;
    const std::string patterns = filter;
    filter += patterns.size() + 1;
    std::size_t start = 0;
    while (start <= patterns.size()) {
      std::size_t end = patterns.find(';', start);
      if (end == std::string::npos) end = patterns.size();
      if (end > start) spec.Patterns.push_back(AnyCasePattern(patterns.substr(start, end - start)));
      start = end + 1;
    }
    filters.push_back(std::move(spec));
  }
  return filters;
}

}  // namespace quillon
