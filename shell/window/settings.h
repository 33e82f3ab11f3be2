// The settings kept between runs of the desktop window, in an INI file in the user's
// configuration folder. A file that is missing, unreadable or damaged counts as none: the
// defaults are used, and the file is written afresh at exit. Headless runs neither read nor
// write it.
#pragma once

#include <cstdint>
#include <string>

#include "interface/machine.h"
#include "monitor/remote_server.h"

namespace quillon {

struct SettingsState {
  std::uint32_t VideoStandard;  // SettingsPal or SettingsNtsc
  std::int32_t ShowBorder;      // 0 or 1
  std::uint8_t JoystickPort;    // 1 or 2
  std::uint8_t JoystickOnCursorKeys;  // 0 or 1
  // The window's client area as last left, 0 x 0 for the size that fits the picture.
  std::int32_t WindowWidth;
  std::int32_t WindowHeight;
  // Whether the window was maximised; the size above is then the one it comes back to.
  std::int32_t WindowMaximized;
  // The folders of the last program and cartridge picked, empty for none.
  std::string ProgramFolder;
  std::string CartridgeFolder;
  std::int32_t SoundOn;  // Settings > Sound: 0 or 1
  MachineModel Model;    // Settings > the machine model
  SidChip Sid;           // Settings > SID chip, for the accurate model
  // Settings > Remote monitor: served (1) or not (0), and where.
  std::int32_t RemoteMonitor;
  std::string RemoteMonitorAddress;
};
inline constexpr std::uint32_t SettingsNtsc = 0;
inline constexpr std::uint32_t SettingsPal = 1;
inline const SettingsState DefaultSettings = {SettingsPal, 1, 2, 0, 0, 0, 0, {}, {}, 1,
                                              MachineModel::Classic, SidChip::Mos6581, 0,
                                              DefaultRemoteMonitorAddress};

// The settings of this run: loaded at the start, kept up to date by the menu commands and the
// file dialogs, written at exit.
extern SettingsState Settings;

// Where the settings file lives: $XDG_CONFIG_HOME/quillon/quillon.ini (or ~/.config/...) on
// Linux, %APPDATA%\Quillon\quillon.ini on Windows. Empty when the environment names no such
// folder.
std::string SettingsFilePath();

// Reads settings from the text of an INI file into `settings`. False, with `settings` left as
// it was, when the text is damaged: a line that is no section, key = value pair, comment or
// blank, or a known key with a value out of its range. Unknown sections and keys are skipped.
bool ParseSettings(const std::string& text, SettingsState& settings);
std::string FormatSettings(const SettingsState& settings);

// The settings in the file at `path`, or the defaults when it is missing, unreadable or
// damaged.
SettingsState LoadSettings(const std::string& path);
// Writes the file whole, through a temporary file, so that a failed write leaves the old file
// as it was. False when it could not be written.
bool SaveSettings(const std::string& path, const SettingsState& settings);

// Puts Settings into effect before start-up: machine model and SID chip, video standard,
// border, joystick, sound.
void ApplySettings();
// Takes the values in effect now into Settings: machine model and SID chip, video standard,
// border, joystick, sound. (The remote monitor's setting changes with its menu item only:
// --remote-monitor serves for one run.)
void CaptureSettings();
// Takes the window's placement into Settings as the window goes, while it still exists: its
// normal client area and whether it is maximised, or only its client area where the platform
// has no such states. Nothing in full screen, where the window's size is the screen's.
void CaptureWindowPlacement();

// The open-file dialog's offer for `folder`: the folder with a closing separator when it fits
// in a buffer of FileNameCapacity characters, otherwise nothing.
void OfferFolder(const std::string& folder, char* fileName);
// Notes the folder of `path`, a file just picked, in `folder`.
void RememberFolder(std::string& folder, const char* path);

}  // namespace quillon
