// The optional command line: a file to start, and headless runs for automation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/typed_text.h"

namespace quillon {

struct CommandLineOptions {
  bool Headless = false;
  bool Help = false;
  bool Version = false;
  bool RealTime = false;
  bool Ntsc = false;
  bool ScreenText = false;
  bool Trace = false;
  bool Warp = false;
  bool Mute = false;
  std::int32_t Frames = 300;
  std::vector<TypedKey> TypedKeys;
  std::string ScreenshotPath;
  std::string WavPath;
  std::string File;  // a program (.prg, .p00), cartridge (.crt) or disk (.d64, .t64); or empty
  std::string Disk;  // a disk image (.d64, .t64) attached without starting anything; or empty
};

// Reads argv[1..argc-1] into `options`. Returns an empty string, or one line that says what is
// wrong (unknown option, missing or bad value, unreadable or unknown file).
std::string ParseCommandLine(int argc, const char* const* argv, CommandLineOptions& options);

// Whether the file is a cartridge image, or a program file, by its name.
bool IsCartridgeFile(const std::string& path);
bool IsProgramFile(const std::string& path);

extern const char* const UsageText;
extern const char* const VersionText;

}  // namespace quillon
