// The text screen as text: what headless runs print with --screen-text and the monitor's
// "screen" command shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

// The text screen at `screenAddress` in the machine's RAM, 25 rows of 40 characters with
// trailing blanks removed; reversed characters read as their plain form and characters with no
// ASCII counterpart as "?".
std::vector<std::string> ScreenRows(std::uint16_t screenAddress);

}  // namespace quillon
