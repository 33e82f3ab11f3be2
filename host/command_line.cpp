#include "host/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <fstream>

#include "media/disk_drive.h"
#include "media/media_file.h"

namespace quillon {

const char* const UsageText =
    "usage: quillon [--warp] [--mute] [--disk IMAGE] [FILE]\n"
    "                                           the desktop window; FILE (.prg, .p00, .crt, .d64,\n"
    "                                           .t64) is autostarted\n"
    "  --warp            start in warp: as fast as the machine goes (F9 switches it)\n"
    "  --mute            start with Settings > Sound off\n"
    "  --disk FILE       attach the disk image FILE (.d64, .t64) as drive 8 (also headless)\n"
    "       quillon --headless [options] [FILE] no window\n"
    "  --frames N        run N frames, then exit (default 300)\n"
    "  --realtime        pace at 50 frames per second as the window does\n"
    "  --ntsc            start in NTSC\n"
    "  --type TEXT       type TEXT once BASIC waits for input (\\n is RETURN)\n"
    "  --screenshot PNG  write the final picture as PNG (360 x 240, with border)\n"
    "  --screen-text     print the 25 rows of screen memory as text\n"
    "  --trace           draw the trace view into the final picture\n"
    "  --wav WAV         record the sound as a WAV file (16-bit mono, 11025 Hz)\n"
    "  --help, --version\n";

const char* const VersionText = "quillon 0.98 (3rd Public Beta)\n";

namespace {

bool ParseFrames(const char* text, std::int32_t& frames) {
  const char* end = text + std::strlen(text);
  const auto [last, error] = std::from_chars(text, end, frames);
  return error == std::errc() && last == end && frames > 0;
}

}  // namespace

bool IsCartridgeFile(const std::string& path) { return FileExtension(path) == "crt"; }

bool IsProgramFile(const std::string& path) {
  const std::string extension = FileExtension(path);
  return extension == "prg" || extension == "p00";
}

std::string ParseCommandLine(int argc, const char* const* argv, CommandLineOptions& options) {
  bool headlessOnly = false;
  std::string firstHeadlessOption;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (argument == "--help" || argument == "-h") {
      options.Help = true;
    } else if (argument == "--version") {
      options.Version = true;
    } else if (argument == "--headless") {
      options.Headless = true;
    } else if (argument == "--warp") {
      options.Warp = true;
    } else if (argument == "--mute") {
      options.Mute = true;
    } else if (argument == "--disk") {
      const char* text = value();
      if (text == nullptr || *text == '\0') return "--disk needs a disk image";
      options.Disk = text;
    } else if (argument.size() > 1 && argument[0] == '-') {
      if (firstHeadlessOption.empty()) firstHeadlessOption = argument;
      headlessOnly = true;
      if (argument == "--realtime") {
        options.RealTime = true;
      } else if (argument == "--ntsc") {
        options.Ntsc = true;
      } else if (argument == "--screen-text") {
        options.ScreenText = true;
      } else if (argument == "--trace") {
        options.Trace = true;
      } else if (argument == "--frames") {
        const char* text = value();
        if (text == nullptr) return "--frames needs a number of frames";
        if (!ParseFrames(text, options.Frames)) {
          return std::string("--frames needs a whole number from 1 up, not '") + text + "'";
        }
      } else if (argument == "--type") {
        const char* text = value();
        if (text == nullptr) return "--type needs the text to type";
        const std::string error = TranslateTypedText(text, options.TypedKeys);
        if (!error.empty()) return error;
      } else if (argument == "--screenshot") {
        const char* text = value();
        if (text == nullptr || *text == '\0') return "--screenshot needs a file name";
        options.ScreenshotPath = text;
      } else if (argument == "--wav") {
        const char* text = value();
        if (text == nullptr || *text == '\0') return "--wav needs a file name";
        options.WavPath = text;
      } else {
        return "unknown option '" + argument + "' (see --help)";
      }
    } else if (!options.File.empty()) {
      return "only one file can be started, not both '" + options.File + "' and '" + argument +
             "'";
    } else {
      options.File = argument;
    }
  }
  if (headlessOnly && !options.Headless) {
    return firstHeadlessOption + " works only with --headless";
  }
  if (options.Warp && options.Headless) {
    return "--warp is for the window; a headless run without --realtime is as fast as it goes";
  }
  if (!options.File.empty()) {
    if (!IsProgramFile(options.File) && !IsCartridgeFile(options.File) &&
        !IsDiskImageFile(options.File)) {
      return "'" + options.File + "' is not a .prg, .p00, .crt, .d64 or .t64 file";
    }
    if (!IsRegularFile(options.File.c_str()) || !std::ifstream(options.File, std::ios::binary)) {
      return "cannot read '" + options.File + "'";
    }
    if (IsDiskImageFile(options.File)) {
      if (!options.Disk.empty()) return "--disk and a disk image to start cannot go together";
      return CheckDiskImage(options.File);
    }
  }
  if (!options.Disk.empty()) {
    if (!IsDiskImageFile(options.Disk)) return "'" + options.Disk + "' is not a .d64 or .t64 file";
    return CheckDiskImage(options.Disk);
  }
  return "";
}

}  // namespace quillon
