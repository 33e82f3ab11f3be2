// The shell's texts in the Windows forms of its menu and dialog data, turned into GTK's: "&"
// mnemonics into "_" ones, and the open-file dialog's filter into GTK file-filter patterns.
#pragma once

#include <string>
#include <vector>

namespace quillon {

// "Load &cartridge..." becomes "Load _cartridge..."; "&&" stays a literal "&" and a literal
// "_" is doubled.
std::string MnemonicLabel(const char* text);

struct FileFilterSpec {
  std::string Description;
  // Shell patterns that match the names in any letter case, one for each of the filter's.
  std::vector<std::string> Patterns;
};

// The pairs of description and ';'-separated patterns of a Windows filter string, ended by an
// empty string.
std::vector<FileFilterSpec> ParseFileFilter(const char* filter);

}  // namespace quillon
