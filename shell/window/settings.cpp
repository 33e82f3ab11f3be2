#include "window/settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "keyboard/host_keys.h"
#include "media/file_replace.h"
#include "media/utf8_path.h"
#include "monitor/remote_server.h"
#include "platform/display_platform.h"
#include "resources/menu.h"
#include "session/host_state.h"
#include "session/session.h"

namespace quillon {

SettingsState Settings = DefaultSettings;

namespace {

// A settings file is a few hundred bytes; anything much larger is no settings file of ours.
constexpr std::uintmax_t MaxFileSize = 64 * 1024;
constexpr std::int32_t MinWindowSide = 64;
constexpr std::int32_t MaxWindowSide = 16384;

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool ReadNumber(const std::string& text, std::int32_t low, std::int32_t high,
                std::int32_t& number) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  if (value < low || value > high) return false;
  number = value;
  return true;
}

// Takes one known key's value; false when the value is out of its range. Unknown keys are
// left alone, as a later version's settings would be.
bool ReadValue(const std::string& section, const std::string& key, const std::string& value,
               SettingsState& settings) {
  std::int32_t number = 0;
  if (section == "video" && key == "standard") {
    const std::string standard = Lower(value);
    if (standard != "pal" && standard != "ntsc") return false;
    settings.VideoStandard = standard == "pal" ? SettingsPal : SettingsNtsc;
  } else if (section == "video" && key == "border") {
    if (!ReadNumber(value, 0, 1, settings.ShowBorder)) return false;
  } else if (section == "joystick" && key == "port") {
    if (!ReadNumber(value, 1, 2, number)) return false;
    settings.JoystickPort = static_cast<std::uint8_t>(number);
  } else if (section == "joystick" && key == "cursorkeys") {
    if (!ReadNumber(value, 0, 1, number)) return false;
    settings.JoystickOnCursorKeys = static_cast<std::uint8_t>(number);
  } else if (section == "window" && (key == "width" || key == "height")) {
    if (!ReadNumber(value, 0, MaxWindowSide, number)) return false;
    (key == "width" ? settings.WindowWidth : settings.WindowHeight) = number;
  } else if (section == "window" && key == "maximized") {
    if (!ReadNumber(value, 0, 1, settings.WindowMaximized)) return false;
  } else if (section == "machine" && key == "model") {
    const std::string model = Lower(value);
    if (model != "classic" && model != "accurate") return false;
    settings.Model = model == "accurate" ? MachineModel::Accurate : MachineModel::Classic;
  } else if (section == "machine" && key == "sid") {
    if (value != "6581" && value != "8580") return false;
    settings.Sid = value == "8580" ? SidChip::Mos8580 : SidChip::Mos6581;
  } else if (section == "sound" && key == "on") {
    if (!ReadNumber(value, 0, 1, settings.SoundOn)) return false;
  } else if (section == "monitor" && key == "remote") {
    if (!ReadNumber(value, 0, 1, settings.RemoteMonitor)) return false;
  } else if (section == "monitor" && key == "address") {
    std::string host;
    std::uint16_t port = 0;
    if (!SplitMonitorAddress(value, host, port).empty()) return false;
    settings.RemoteMonitorAddress = value;
  } else if (section == "folders" && key == "programs") {
    settings.ProgramFolder = value;
  } else if (section == "folders" && key == "cartridges") {
    settings.CartridgeFolder = value;
  }
  return true;
}

// A window size is kept only whole and large enough to show something.
bool UsableWindowSize(const SettingsState& settings) {
  return settings.WindowWidth >= MinWindowSide && settings.WindowHeight >= MinWindowSide;
}

}  // namespace

std::string SettingsFilePath() {
#ifdef _WIN32
  // The folder's name in the system's own characters, whatever the code page.
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (appData == nullptr || *appData == L'\0') return "";
  return Utf8FromPath(std::filesystem::path(appData) / "Quillon" / "quillon.ini");
#else
  std::filesystem::path folder;
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  // A relative XDG_CONFIG_HOME is invalid and to be ignored.
  if (configHome != nullptr && configHome[0] == '/') {
    folder = configHome;
  } else if (home != nullptr && home[0] != '\0') {
    folder = std::filesystem::path(home) / ".config";
  } else {
    return "";
  }
  return (folder / "quillon" / "quillon.ini").string();
#endif
}

bool ParseSettings(const std::string& text, SettingsState& settings) {
  if (text.find('\0') != std::string::npos) return false;
  SettingsState read = settings;
  std::istringstream lines(text);
  std::string line;
  std::string section;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return false;
      section = Lower(Trim(line.substr(1, line.size() - 2)));
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0) return false;
    if (!ReadValue(section, Lower(Trim(line.substr(0, equals))), Trim(line.substr(equals + 1)),
                   read)) {
      return false;
    }
  }
  if (!UsableWindowSize(read)) read.WindowWidth = read.WindowHeight = 0;
  settings = read;
  return true;
}

std::string FormatSettings(const SettingsState& settings) {
  std::ostringstream text;
  text << "; Quillon's settings, written when the window closes.\n"
       << "[Machine]\n"
       << "Model=" << (settings.Model == MachineModel::Accurate ? "Accurate" : "Classic") << "\n"
       << "Sid=" << (settings.Sid == SidChip::Mos8580 ? "8580" : "6581") << "\n\n"
       << "[Video]\n"
       << "Standard=" << (settings.VideoStandard == SettingsNtsc ? "NTSC" : "PAL") << "\n"
       << "Border=" << settings.ShowBorder << "\n\n"
       << "[Joystick]\n"
       << "Port=" << int{settings.JoystickPort} << "\n"
       << "CursorKeys=" << int{settings.JoystickOnCursorKeys} << "\n\n"
       << "[Sound]\n"
       << "On=" << settings.SoundOn << "\n\n"
       << "[Monitor]\n"
       << "Remote=" << settings.RemoteMonitor << "\n"
       << "Address=" << settings.RemoteMonitorAddress << "\n\n"
       << "[Window]\n"
       << "Width=" << settings.WindowWidth << "\n"
       << "Height=" << settings.WindowHeight << "\n"
       << "Maximized=" << settings.WindowMaximized << "\n\n"
       << "[Folders]\n"
       << "Programs=" << settings.ProgramFolder << "\n"
       << "Cartridges=" << settings.CartridgeFolder << "\n";
  return text.str();
}

SettingsState LoadSettings(const std::string& path) {
  SettingsState settings = DefaultSettings;
  if (path.empty()) return settings;
  std::error_code error;
  const std::filesystem::path name = PathFromUtf8(path);
  const std::uintmax_t size = std::filesystem::file_size(name, error);
  if (error || size > MaxFileSize) return settings;
  std::ifstream file(name, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  if (!file) return settings;
  ParseSettings(text.str(), settings);
  return settings;
}

bool SaveSettings(const std::string& path, const SettingsState& settings) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(PathFromUtf8(path).parent_path(), error);
  const std::string text = FormatSettings(settings);
  return ReplaceFile(path, text.data(), text.size()).empty();
}

void ApplySettings() {
  SessionMachineOptions.Sid = Settings.Sid;
  UseModel(Settings.Model);
  CurrentMachine().SetPal(Settings.VideoStandard != SettingsNtsc);
  Host.ShowBorder = Settings.ShowBorder;
  JoystickPort = Settings.JoystickPort;
  JoystickOnCursorKeys = Settings.JoystickOnCursorKeys;
  FollowHostKeys();
  Host.SoundOn = Settings.SoundOn;
}

void CaptureSettings() {
  Settings.Model = CurrentMachine().Model();
  Settings.Sid = CurrentMachine().SidChipInUse().value_or(SessionMachineOptions.Sid);
  Settings.VideoStandard = CurrentMachine().Pal() ? SettingsPal : SettingsNtsc;
  Settings.ShowBorder = Host.ShowBorder ? 1 : 0;
  Settings.JoystickPort = JoystickPort;
  Settings.JoystickOnCursorKeys = JoystickOnCursorKeys;
  Settings.SoundOn = Host.SoundOn ? 1 : 0;
}

void CaptureWindowPlacement() {
  if (Host.FullScreenActive) return;
  WindowPlacement placement = {Host.ClientWidth, Host.ClientHeight, false};
  if (DisplayPlatform.ReadWindowPlacement != nullptr) {
    placement = DisplayPlatform.ReadWindowPlacement();
  }
  Settings.WindowWidth = placement.NormalWidth;
  Settings.WindowHeight = placement.NormalHeight;
  Settings.WindowMaximized = placement.Maximized ? 1 : 0;
  if (!UsableWindowSize(Settings)) Settings.WindowWidth = Settings.WindowHeight = 0;
}

void OfferFolder(const std::string& folder, char* fileName) {
  constexpr char Separator = static_cast<char>(std::filesystem::path::preferred_separator);
  if (folder.empty() || folder.size() + 1 >= FileNameCapacity) return;
  std::memcpy(fileName, folder.data(), folder.size());
  std::size_t end = folder.size();
  if (fileName[end - 1] != Separator) fileName[end++] = Separator;
  fileName[end] = '\0';
}

void RememberFolder(std::string& folder, const char* path) {
  folder = Utf8FromPath(PathFromUtf8(path).parent_path());
}

}  // namespace quillon
