// Text between the shell and the system: UTF-8 on the shell's side, UTF-16 in the wide calls,
// with the machine library's own conversions, which never fail.
#include <string>

#include "backends/win32/win32_state.h"
#include "media/utf8_path.h"

namespace quillon::win32 {

std::wstring WideText(std::string_view text) {
  const std::u16string wide = Utf16FromUtf8(text);
  return std::wstring(wide.begin(), wide.end());
}

std::string Utf8Text(std::wstring_view text) {
  return Utf8FromUtf16(std::u16string(text.begin(), text.end()));
}

}  // namespace quillon::win32
