// The optional command line: a file to start, and headless runs for automation. Every option is
// one row of a table (its name, its value, where it works, its help line and what it sets), from
// which both the parser and --help are made.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "interface/machine.h"
#include "keyboard/typed_text.h"

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
  bool DebugExit = false;
  bool TextMonitor = false;
  // --model, --cia and --sid: the machine model and, for the accurate one, its CIAs and SID.
  MachineModel Model = MachineModel::Classic;
  bool ModelGiven = false;
  bool NewCias = false;
  bool CiaGiven = false;
  SidChip Sid = SidChip::Mos6581;
  bool SidGiven = false;
  std::int32_t Frames = 300;
  bool FramesGiven = false;
  std::vector<TypedKey> TypedKeys;
  std::string ScreenshotPath;
  std::string TraceLogPath;  // "-" for standard output
  std::string SnapshotLoadPath;
  std::string SnapshotSavePath;
  std::string WavPath;
  std::string File;  // a program (.prg, .p00), cartridge (.crt) or disk (.d64, .t64); or empty
  std::string Disk;  // a disk image (.d64, .t64) attached without starting anything; or empty
  std::string RemoteMonitor;  // ADDRESS:PORT the remote monitor listens on; empty for none
};

// Where an option works.
enum class OptionPlace : std::uint8_t { Anywhere, WindowOnly, HeadlessOnly };

struct CommandLineOption {
  const char* Name;       // "--frames"
  // What its value is, as --help names it ("N"); null for none. A value that may be left out
  // is named in brackets ("[=ADDRESS:PORT]") and given only after an equals sign.
  const char* Value;
  const char* ValueNeed;  // what a missing value is: "a number of frames"
  OptionPlace Place;
  const char* Help;
  // Takes the value (null for an option without one) into the options; returns an empty
  // string or what is wrong with the value.
  std::string (*Apply)(const char* value, CommandLineOptions& options);
};

// Every option, in the order --help lists them.
extern const std::span<const CommandLineOption> CommandLineOptionTable;

// Reads argv[1..argc-1] into `options`. An option's value is the next argument, or follows an
// equals sign (--frames=10); a value that begins with "--" must be given the second way. "--"
// ends the options: what follows is a file. Returns an empty string, or one line that says
// what is wrong (unknown option, missing or bad value, unreadable or unknown file).
std::string ParseCommandLine(int argc, const char* const* argv, CommandLineOptions& options);

// Whether `path` is a file a run can start: a program file, cartridge or disk image that can
// be read. Returns an empty string, or one line that says what is wrong.
std::string CheckStartFile(const std::string& path);

// The --help text: the usage lines, every option of the table and the exit statuses.
std::string UsageText();
extern const char* const VersionText;

// Exit statuses of the program, besides the guest's own under --debug-exit.
inline constexpr int ExitSuccess = 0;
inline constexpr int ExitStartFailed = 1;
inline constexpr int ExitBadInput = 2;
inline constexpr int ExitUnfinished = 3;

}  // namespace quillon
