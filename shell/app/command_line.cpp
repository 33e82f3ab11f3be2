#include "app/command_line.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>

#include "files/message_text.h"
#include "monitor/remote_server.h"
#include "interface/machine.h"
#include "media/utf8_path.h"

namespace quillon {

const char* const VersionText = "quillon 0.98 (3rd Public Beta)\n";

namespace {

bool Readable(const std::string& path) {
  return IsRegularFile(path.c_str()) &&
         static_cast<bool>(std::ifstream(PathFromUtf8(path), std::ios::binary));
}

std::string SetFrames(const char* text, CommandLineOptions& options) {
  const char* end = text + std::strlen(text);
  const auto [last, error] = std::from_chars(text, end, options.Frames);
  options.FramesGiven = true;
  if (error == std::errc() && last == end && options.Frames > 0) return "";
  return "--frames needs a whole number from 1 up, not " + QuoteForMessage(text);
}

// Options that only switch something on.
template <bool CommandLineOptions::*Field>
std::string SetFlag(const char*, CommandLineOptions& options) {
  options.*Field = true;
  return "";
}

// Options whose value is a file name.
template <std::string CommandLineOptions::*Field>
std::string SetPath(const char* text, CommandLineOptions& options) {
  options.*Field = text;
  return "";
}

std::string SetModel(const char* text, CommandLineOptions& options) {
  const std::string_view model = text;
  if (model != "classic" && model != "accurate") {
    return "--model needs classic or accurate, not " + QuoteForMessage(text);
  }
  options.Model = model == "accurate" ? MachineModel::Accurate : MachineModel::Classic;
  options.ModelGiven = true;
  return "";
}

std::string SetCia(const char* text, CommandLineOptions& options) {
  const std::string_view cia = text;
  if (cia != "old" && cia != "new") return "--cia needs old or new, not " + QuoteForMessage(text);
  options.NewCias = cia == "new";
  options.CiaGiven = true;
  return "";
}

std::string SetSid(const char* text, CommandLineOptions& options) {
  const std::string_view sid = text;
  if (sid != "6581" && sid != "8580") {
    return "--sid needs 6581 or 8580, not " + QuoteForMessage(text);
  }
  options.Sid = sid == "8580" ? SidChip::Mos8580 : SidChip::Mos6581;
  options.SidGiven = true;
  return "";
}

std::string SetTypedText(const char* text, CommandLineOptions& options) {
  return TranslateTypedText(text, options.TypedKeys);
}

std::string SetRemoteMonitor(const char* text, CommandLineOptions& options) {
  options.RemoteMonitor = text != nullptr ? text : DefaultRemoteMonitorAddress;
  std::string host;
  std::uint16_t port = 0;
  const std::string error = SplitMonitorAddress(options.RemoteMonitor, host, port);
  return error.empty() ? "" : "--remote-monitor " + error;
}

bool ValueOptional(const CommandLineOption& option) {
  return option.Value != nullptr && option.Value[0] == '[';
}

using Options = CommandLineOptions;
constexpr CommandLineOption Table[] = {
    {"--headless", nullptr, nullptr, OptionPlace::Anywhere, "run without a window",
     SetFlag<&Options::Headless>},
    {"--warp", nullptr, nullptr, OptionPlace::WindowOnly,
     "(window) start in warp: as fast as the machine goes (F9 switches it)",
     SetFlag<&Options::Warp>},
    {"--mute", nullptr, nullptr, OptionPlace::Anywhere,
     "start with Settings > Sound off (headless: record silence)", SetFlag<&Options::Mute>},
    {"--model", "MODEL", "a machine model", OptionPlace::Anywhere,
     "the machine: classic (the default) or accurate, the cycle-exact one", SetModel},
    {"--cia", "CIA", "a CIA type", OptionPlace::Anywhere,
     "the accurate machine's CIAs: old (6526, the default) or new (6526A)", SetCia},
    {"--sid", "SID", "a SID chip", OptionPlace::Anywhere,
     "the accurate machine's SID: 6581 (the default) or 8580", SetSid},
    {"--disk", "FILE", "a disk image", OptionPlace::Anywhere,
     "attach the disk image FILE (.d64, .t64) as drive 8, starting nothing",
     SetPath<&Options::Disk>},
    {"--frames", "N", "a number of frames", OptionPlace::HeadlessOnly,
     "run N frames, then exit (default 300)", SetFrames},
    {"--realtime", nullptr, nullptr, OptionPlace::HeadlessOnly,
     "pace at 50 frames per second as the window does (default: as fast as possible)",
     SetFlag<&Options::RealTime>},
    {"--ntsc", nullptr, nullptr, OptionPlace::HeadlessOnly, "start in NTSC",
     SetFlag<&Options::Ntsc>},
    {"--type", "TEXT", "the text to type", OptionPlace::HeadlessOnly,
     "type TEXT once BASIC waits for input (\\n is RETURN)", SetTypedText},
    {"--screenshot", "PNG", "a file name", OptionPlace::HeadlessOnly,
     "write the final picture as PNG (360 x 240, with border)",
     SetPath<&Options::ScreenshotPath>},
    {"--screen-text", nullptr, nullptr, OptionPlace::HeadlessOnly,
     "print the 25 rows of screen memory as text", SetFlag<&Options::ScreenText>},
    {"--trace", nullptr, nullptr, OptionPlace::HeadlessOnly,
     "draw the trace view into the final picture", SetFlag<&Options::Trace>},
    {"--wav", "WAV", "a file name", OptionPlace::HeadlessOnly,
     "record the sound as a WAV file (16-bit mono; 11025 Hz, accurate model 44100 Hz)",
     SetPath<&Options::WavPath>},
    {"--debug-exit", nullptr, nullptr, OptionPlace::HeadlessOnly,
     "a write to $D7FF ends the run; the byte written is the exit status",
     SetFlag<&Options::DebugExit>},
    {"--trace-log", "FILE", "a file name", OptionPlace::HeadlessOnly,
     "write a line for every instruction run to FILE (- for standard output)",
     SetPath<&Options::TraceLogPath>},
    {"--snapshot-load", "FILE", "a file name", OptionPlace::HeadlessOnly,
     "start from the machine in snapshot FILE; --frames counts from there",
     SetPath<&Options::SnapshotLoadPath>},
    {"--snapshot-save", "FILE", "a file name", OptionPlace::HeadlessOnly,
     "write the machine as it is at the end of the run to snapshot FILE",
     SetPath<&Options::SnapshotSavePath>},
    {"--monitor", nullptr, nullptr, OptionPlace::Anywhere,
     "stop into the text monitor on this terminal's input and output",
     SetFlag<&Options::TextMonitor>},
    {"--remote-monitor", "[=ADDRESS:PORT]", "an address and port", OptionPlace::Anywhere,
     "serve the remote monitor (default 127.0.0.1:6502; no authentication)",
     SetRemoteMonitor},
    {"--help", nullptr, nullptr, OptionPlace::Anywhere, "show this text (also -h)",
     SetFlag<&Options::Help>},
    {"--version", nullptr, nullptr, OptionPlace::Anywhere, "show the version",
     SetFlag<&Options::Version>},
};

const CommandLineOption* FindOption(const std::string& name) {
  if (name == "-h") return FindOption("--help");
  for (const CommandLineOption& option : Table) {
    if (name == option.Name) return &option;
  }
  return nullptr;
}

bool LooksLikeOption(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-';
}

// What the whole command line must hold together, once every argument has been read.
std::string CheckCombination(const CommandLineOptions& options, const std::string& headlessOnly,
                             const std::string& windowOnly) {
  if (!headlessOnly.empty() && !options.Headless) return headlessOnly + " works only with --headless";
  if (options.CiaGiven && options.Model != MachineModel::Accurate) {
    return "--cia works only with --model accurate: the classic machine has one kind of CIA";
  }
  if (options.SidGiven && options.Model != MachineModel::Accurate) {
    return "--sid works only with --model accurate: the classic machine mixes voices of its own";
  }
  if (!windowOnly.empty() && options.Headless) {
    return windowOnly + " is for the window; a headless run without --realtime is as fast as it goes";
  }
  if (!options.File.empty()) {
    const std::string error = CheckStartFile(options.File);
    if (!error.empty()) return error;
    if (IsDiskImageFile(options.File) && !options.Disk.empty()) {
      return "--disk and a disk image to start cannot go together";
    }
  }
  if (!options.Disk.empty()) {
    if (!IsDiskImageFile(options.Disk)) {
      return QuoteForMessage(options.Disk) + " is not a .d64 or .t64 file";
    }
    const std::string error = CheckDiskImage(options.Disk);
    if (!error.empty()) return error;
  }
  if (!options.SnapshotLoadPath.empty()) {
    if (!Readable(options.SnapshotLoadPath)) {
      return "cannot read " + QuoteForMessage(options.SnapshotLoadPath);
    }
    if (options.Ntsc) return "--ntsc cannot change a snapshot's machine, which has its standard";
    if (IsCartridgeFile(options.File)) {
      return "--snapshot-load brings its machine's cartridge; a .crt cannot be started with it";
    }
  }
  return "";
}

}  // namespace

const std::span<const CommandLineOption> CommandLineOptionTable(Table);

std::string CheckStartFile(const std::string& path) {
  if (!IsProgramFile(path) && !IsCartridgeFile(path) && !IsDiskImageFile(path)) {
    return QuoteForMessage(path) + " is not a .prg, .p00, .crt, .d64 or .t64 file";
  }
  if (!Readable(path)) return "cannot read " + QuoteForMessage(path);
  return IsDiskImageFile(path) ? CheckDiskImage(path) : "";
}

std::string UsageText() {
  std::string text =
      "usage: quillon [options] [FILE]             the desktop window; FILE (.prg, .p00, .crt, "
      ".d64, .t64) is started\n"
      "       quillon --headless [options] [FILE]  no window\n";
  for (const CommandLineOption& option : Table) {
    std::string name = option.Name;
    if (option.Value != nullptr) {
      if (!ValueOptional(option)) name += ' ';
      name += option.Value;
    }
    name.resize(std::max<std::size_t>(name.size() + 1, 21), ' ');
    text += "  " + name + option.Help + "\n";
  }
  text +=
      "  --                   what follows is a file, even when it begins with -\n"
      "An option's value may also follow an equals sign: --type=--5 types --5.\n"
      "exit status:\n"
      "  0    the run ended as asked\n"
      "  1    the emulator could not start\n"
      "  2    bad arguments, or a file that cannot be read or written (a damaged snapshot)\n"
      "  3    the run ended unfinished: --frames ran out before the program wrote $D7FF under\n"
      "       --debug-exit, or --type text was not typed whole\n"
      "  N    under --debug-exit, the byte the program wrote to $D7FF\n";
  return text;
}

std::string ParseCommandLine(int argc, const char* const* argv, CommandLineOptions& options) {
  std::string firstHeadlessOnly;
  std::string firstWindowOnly;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || !LooksLikeOption(argument)) {
      if (!options.File.empty()) {
        return "only one file can be started, not both " + QuoteForMessage(options.File) +
               " and " + QuoteForMessage(argument);
      }
      options.File = argument;
      continue;
    }
    const std::size_t equals = argument.starts_with("--") ? argument.find('=') : std::string::npos;
    const std::string name = argument.substr(0, equals);
    const CommandLineOption* option = FindOption(name);
    if (option == nullptr) return "unknown option " + QuoteForMessage(name) + " (see --help)";
    const char* value = nullptr;
    if (equals != std::string::npos) {
      if (option->Value == nullptr) return name + " takes no value";
      value = argv[i] + equals + 1;
    } else if (option->Value != nullptr && !ValueOptional(*option)) {
      if (i + 1 >= argc) return name + " needs " + option->ValueNeed;
      value = argv[++i];
      if (std::string_view(value).starts_with("--")) {
        return name + " needs " + option->ValueNeed + ", not the option " +
               QuoteForMessage(value) + " (write " + name + "=VALUE for a value that begins with --)";
      }
    }
    // An empty value is a missing one.
    if (value != nullptr && *value == '\0') return name + " needs " + option->ValueNeed;
    const std::string error = option->Apply(value, options);
    if (!error.empty()) return error;
    if (option->Place == OptionPlace::HeadlessOnly && firstHeadlessOnly.empty()) firstHeadlessOnly = name;
    if (option->Place == OptionPlace::WindowOnly && firstWindowOnly.empty()) firstWindowOnly = name;
  }
  return CheckCombination(options, firstHeadlessOnly, firstWindowOnly);
}

}  // namespace quillon
