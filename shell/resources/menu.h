// Menu 101, the main window's menu bar, as data: every backend builds its native menu from it,
// and the window procedure rewrites items with the same texts when their check marks change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/messages.h"
#include "platform/platform.h"

namespace quillon {

inline constexpr std::uint32_t MainMenuResourceId = 101;

inline constexpr MenuItemResource FileMenuItems[] = {
    {"Load &cartridge...", CommandLoadCartridge, 0},
    {"&Remove cartridge", CommandRemoveCartridge, 0},
    {"Load &program...", CommandLoadProgram, 0},
    {"Attach &disk...", CommandAttachDisk, 0},
    {"De&tach disk", CommandDetachDisk, 0},
    {nullptr, 0, MenuItemSeparator},
    {"&Save snapshot...", CommandSaveSnapshot, 0},
    {"Load s&napshot...", CommandLoadSnapshot, 0},
    {nullptr, 0, MenuItemSeparator},
    {"E&xit", CommandExit, 0},
};
inline constexpr MenuItemResource EditMenuItems[] = {
    {"&Paste", CommandPaste, 0},
};
inline constexpr MenuItemResource EmulationMenuItems[] = {
    {"&Pause", CommandPause, 0},
    {"&Reset", CommandReset, 0},
    {"&Trace", CommandTrace, 0},
    {"&Warp", CommandWarp, 0},
};
inline constexpr MenuItemResource SettingsMenuItems[] = {
    {"Show &border", CommandShowBorder, MenuItemChecked},
    {"&PAL", CommandPal, MenuItemChecked},
    {"&Full screen", CommandFullScreen, 0},
    {"&Sound", CommandSound, MenuItemChecked},
    {nullptr, 0, MenuItemSeparator},
    {"Joystick in port &1", CommandJoystickPort1, 0},
    {"Joystick in port &2", CommandJoystickPort2, MenuItemChecked},
    {"Joystick on &cursor keys", CommandJoystickCursorKeys, 0},
    {nullptr, 0, MenuItemSeparator},
    {"C&lassic machine", CommandModelClassic, MenuItemChecked},
    {"&Accurate machine (cycle-exact)", CommandModelAccurate, 0},
    {nullptr, 0, MenuItemSeparator},
    {"SID chip &6581", CommandSid6581, MenuItemChecked},
    {"SID chip &8580 (C64C)", CommandSid8580, 0},
    {nullptr, 0, MenuItemSeparator},
    {"Remote &monitor", CommandRemoteMonitor, 0},
};
inline constexpr MenuItemResource HelpMenuItems[] = {
    {"&Help", CommandHelp, MenuItemGrayed},
    {"&About", CommandAbout, 0},
};

// The sub-menus by position: 0 File, 1 Edit, 2 Emulation, 3 Settings, 4 "?".
inline constexpr MenuResource MainMenu[] = {
    {"&File", FileMenuItems},
    {"E&dit", EditMenuItems},
    {"&Emulation", EmulationMenuItems},
    {"&Settings", SettingsMenuItems},
    {"&?", HelpMenuItems},
};
inline constexpr int EmulationSubMenu = 2;
inline constexpr int SettingsSubMenu = 3;

// The item with identifier `command`, or null.
constexpr const MenuItemResource* FindMenuItem(std::uint32_t command) {
  for (const MenuResource& menu : MainMenu) {
    for (const MenuItemResource& item : menu.Items) {
      if (item.Text != nullptr && item.Command == command) return &item;
    }
  }
  return nullptr;
}

// The filters of the open-file dialog: pairs of description and pattern, ended by an empty
// string.
inline constexpr char ProgramFileFilter[] = "Program file (*.prg; *.p00)\0*.PRG;*.P00\0";
inline constexpr char CartridgeFileFilter[] = "Cartridge (*.crt)\0*.CRT\0";
inline constexpr char DiskImageFileFilter[] = "Disk image (*.d64; *.t64)\0*.D64;*.T64\0";
inline constexpr std::size_t FileNameCapacity = 512;

}  // namespace quillon
