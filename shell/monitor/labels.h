// Names for addresses, for the monitor: loaded from label files, shown in disassembly in place
// of the addresses they name, and accepted wherever an address is (".name", or the bare name
// where it is no hex number). A label file holds lines of either form
//   al C:e5cf .name        (the monitor's own command; "C:" may be left out)
//   name = $e5cf           (an assembler's symbol list; a ";" starts a comment)
// and blank lines; any other line is reported and skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Gives `address` the name `name` (a leading "." is dropped); a name already given moves. False
// when the name is no name: letters, digits and "_", not beginning with a digit.
bool AddLabel(std::string_view name, std::uint16_t address);
void ClearLabels();

// The name of `address` (the first one given when it has several), or null.
const char* LabelAt(std::uint16_t address);
// The address named `name`; false when no label has it.
bool FindLabel(std::string_view name, std::uint16_t& address);

// Reads a label file's lines into the labels. Returns the number of new names in `added` and,
// in `problems`, a line for each of the first lines it could not read; false (with one
// problem) when the file cannot be read at all.
bool LoadLabelFile(const std::string& path, std::size_t& added, std::vector<std::string>& problems);

}  // namespace quillon
