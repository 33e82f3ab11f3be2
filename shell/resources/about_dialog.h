// Dialog 103, the modal About box, as data for the backends that build it: its caption, size in
// dialog units, font, and its two controls, the OK button and the picture of bitmap 105.
#pragma once

#include <cstdint>

namespace quillon {

inline constexpr std::uint32_t AboutDialogResourceId = 103;
inline constexpr std::uint32_t AboutBitmapResourceId = 105;
inline constexpr const char* AboutDialogCaption = "About ";
inline constexpr const char* AboutDialogFont = "MS Sans Serif";
inline constexpr int AboutDialogFontPoints = 8;
inline constexpr int AboutDialogWidth = 225;
inline constexpr int AboutDialogHeight = 162;

struct DialogRect {
  int X, Y, Width, Height;
};
inline constexpr std::uint32_t AboutOkButtonId = 1010;
inline constexpr const char* AboutOkButtonText = "&OK";
inline constexpr DialogRect AboutOkButtonRect = {8, 135, 216, 15};
inline constexpr std::uint32_t AboutPictureId = 1011;
inline constexpr DialogRect AboutPictureRect = {7, 8, 217, 127};
inline constexpr int AboutPictureWidth = 320;
inline constexpr int AboutPictureHeight = 200;

}  // namespace quillon
