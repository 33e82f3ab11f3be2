// Writes the Windows program's resources from the shell's own data, for the resource compiler:
// the main menu and the About dialog as resource-script statements, the About picture as a
// 24-bit BMP file and the icon as an ICO file. It is built with the build machine's own compiler
// and run while the Windows program is cross-built, so that the menu items, the dialog's layout
// and the pictures exist once, in resources/, for every backend.
//
//   quillon_resource_generator OUTPUT_DIRECTORY
// writes shell_resources.rc, about.bmp and quillon.ico there.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "resources/about_dialog.h"
#include "resources/about_picture.h"
#include "resources/icon_picture.h"
#include "resources/menu.h"

namespace quillon {
namespace {

// Bytes of a file in the little-endian order of Windows' own structures.
struct Bytes {
  std::vector<std::uint8_t> Data;

  void U8(std::uint32_t value) { Data.push_back(static_cast<std::uint8_t>(value)); }
  void U16(std::uint32_t value) {
    U8(value);
    U8(value >> 8);
  }
  void U32(std::uint32_t value) {
    U16(value);
    U16(value >> 16);
  }
};

constexpr std::uint32_t BitmapInfoHeaderSize = 40;
constexpr std::uint32_t BitmapFileHeaderSize = 14;
constexpr std::uint32_t IconDirectorySize = 6;
constexpr std::uint32_t IconEntrySize = 16;

// A resource script's string: in double quotes, with quotes doubled and the characters that
// the compiler reads as escapes written as escapes.
std::string Quoted(const char* text) {
  std::string quoted = "\"";
  for (; *text != '\0'; ++text) {
    if (*text == '"') {
      quoted += "\"\"";
    } else if (*text == '\\') {
      quoted += "\\\\";
    } else if (*text == '\t') {
      quoted += "\\t";
    } else {
      quoted += *text;
    }
  }
  return quoted + "\"";
}

std::string MenuScript() {
  std::string script = std::to_string(MainMenuResourceId) + " MENU\nBEGIN\n";
  for (const MenuResource& menu : MainMenu) {
    script += "    POPUP " + Quoted(menu.Title) + "\n    BEGIN\n";
    for (const MenuItemResource& item : menu.Items) {
      if (item.Flags & MenuItemSeparator) {
        script += "        MENUITEM SEPARATOR\n";
        continue;
      }
      script += "        MENUITEM " + Quoted(item.Text) + ", " + std::to_string(item.Command);
      if (item.Flags & MenuItemChecked) script += ", CHECKED";
      if (item.Flags & MenuItemGrayed) script += ", GRAYED";
      script += "\n";
    }
    script += "    END\n";
  }
  return script + "END\n";
}

std::string Rect(const DialogRect& rect) {
  return std::to_string(rect.X) + ", " + std::to_string(rect.Y) + ", " +
         std::to_string(rect.Width) + ", " + std::to_string(rect.Height);
}

// The About box: a modal frame centred on the screen and brought to the foreground, with the
// picture in a frame above the OK button.
std::string DialogScript() {
  return std::to_string(AboutDialogResourceId) + " DIALOGEX 0, 0, " +
         std::to_string(AboutDialogWidth) + ", " + std::to_string(AboutDialogHeight) +
         "\nSTYLE DS_MODALFRAME | DS_CENTER | DS_SETFOREGROUND | DS_NOIDLEMSG | WS_POPUP | "
         "WS_VISIBLE | WS_CAPTION | WS_SYSMENU\n"
         "EXSTYLE WS_EX_STATICEDGE\n"
         "CAPTION " + Quoted(AboutDialogCaption) + "\n"
         "FONT " + std::to_string(AboutDialogFontPoints) + ", " + Quoted(AboutDialogFont) + "\n"
         "BEGIN\n"
         "    CONTROL " + Quoted(AboutOkButtonText) + ", " + std::to_string(AboutOkButtonId) +
         ", \"Button\", BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | WS_TABSTOP, " +
         Rect(AboutOkButtonRect) + "\n"
         "    CONTROL " + std::to_string(AboutBitmapResourceId) +
         ", " + std::to_string(AboutPictureId) + ", \"Static\", SS_BITMAP, " +
         Rect(AboutPictureRect) + ", WS_EX_DLGMODALFRAME\n"
         "END\n";
}

// A device-independent bitmap's header, for `width` x `height` pixels of `bitsPerPixel`;
// `heightFactor` is 2 for an icon image, whose mask follows the colours.
void PutBitmapInfoHeader(Bytes& out, int width, int height, int heightFactor, int bitsPerPixel,
                         std::uint32_t imageSize) {
  out.U32(BitmapInfoHeaderSize);
  out.U32(static_cast<std::uint32_t>(width));
  out.U32(static_cast<std::uint32_t>(height * heightFactor));  // positive: bottom-up
  out.U16(1);                                                   // planes
  out.U16(static_cast<std::uint32_t>(bitsPerPixel));
  out.U32(0);  // no compression
  out.U32(imageSize);
  out.U32(0);  // resolutions
  out.U32(0);
  out.U32(0);  // colours used and important
  out.U32(0);
}

// Bitmap 105: the About picture, 24 bits per pixel, rows bottom-up.
Bytes AboutBitmapFile() {
  std::vector<std::uint32_t> pixels(AboutPictureWidth * AboutPictureHeight);
  DrawAboutPicture(pixels.data());
  const std::uint32_t rowSize = (AboutPictureWidth * 3 + 3) / 4 * 4;
  const std::uint32_t imageSize = rowSize * AboutPictureHeight;
  Bytes out;
  out.U8('B');
  out.U8('M');
  out.U32(BitmapFileHeaderSize + BitmapInfoHeaderSize + imageSize);
  out.U32(0);
  out.U32(BitmapFileHeaderSize + BitmapInfoHeaderSize);
  PutBitmapInfoHeader(out, AboutPictureWidth, AboutPictureHeight, 1, 24, imageSize);
  for (int y = AboutPictureHeight - 1; y >= 0; --y) {
    for (int x = 0; x < AboutPictureWidth; ++x) {
      const std::uint32_t pixel = pixels[y * AboutPictureWidth + x];
      out.U8(pixel);
      out.U8(pixel >> 8);
      out.U8(pixel >> 16);
    }
    for (std::uint32_t pad = AboutPictureWidth * 3; pad < rowSize; ++pad) out.U8(0);
  }
  return out;
}

// The icon in each of its sizes: 32-bit colours, opaque, and an all-clear mask.
Bytes IconFile() {
  std::vector<Bytes> images;
  for (int size : IconSizes) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size);
    DrawIconPicture(pixels.data(), size);
    const std::uint32_t maskRowSize = (static_cast<std::uint32_t>(size) + 31) / 32 * 4;
    const std::uint32_t imageSize = static_cast<std::uint32_t>(size * size * 4) + maskRowSize * size;
    Bytes image;
    PutBitmapInfoHeader(image, size, size, 2, 32, imageSize);
    for (int y = size - 1; y >= 0; --y) {
      for (int x = 0; x < size; ++x) image.U32(0xFF000000u | pixels[y * size + x]);
    }
    image.Data.resize(image.Data.size() + maskRowSize * size, 0);
    images.push_back(image);
  }
  Bytes out;
  out.U16(0);  // reserved
  out.U16(1);  // an icon
  out.U16(static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = IconDirectorySize + IconEntrySize * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out.U8(static_cast<std::uint32_t>(IconSizes[i]));
    out.U8(static_cast<std::uint32_t>(IconSizes[i]));
    out.U8(0);  // no colour table
    out.U8(0);
    out.U16(1);  // planes
    out.U16(32);
    out.U32(static_cast<std::uint32_t>(images[i].Data.size()));
    out.U32(offset);
    offset += static_cast<std::uint32_t>(images[i].Data.size());
  }
  for (const Bytes& image : images) out.Data.insert(out.Data.end(), image.Data.begin(), image.Data.end());
  return out;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) std::fprintf(stderr, "quillon_resource_generator: cannot write '%s'\n", path.c_str());
  return static_cast<bool>(out);
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
  return WriteFile(path, std::string(bytes.Data.begin(), bytes.Data.end()));
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  using namespace quillon;
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillon_resource_generator OUTPUT_DIRECTORY\n");
    return 2;
  }
  const std::string directory = argv[1];
  const std::string bitmap = directory + "/about.bmp";
  const std::string icon = directory + "/quillon.ico";
  const std::string script =
      "// Written by quillon_resource_generator from resources/; do not edit.\n\n" +
      MenuScript() + "\n" + DialogScript() + "\n" + std::to_string(AboutBitmapResourceId) +
      " BITMAP " + Quoted(bitmap.c_str()) + "\n" + std::to_string(IconResourceId) + " ICON " +
      Quoted(icon.c_str()) + "\n";
  const bool written = WriteFile(bitmap, AboutBitmapFile()) && WriteFile(icon, IconFile()) &&
                       WriteFile(directory + "/shell_resources.rc", script);
  return written ? 0 : 1;
}
