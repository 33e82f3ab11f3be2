// The messages that a platform backend delivers to the main window procedure, with the numbers,
// menu command identifiers and virtual-key codes that Windows uses, so that a Windows backend
// passes its own messages through unchanged and every other backend translates into them.
#pragma once

#include <cstdint>

namespace quillon {

// Window messages.
inline constexpr std::uint32_t MessageNull = 0x0000;  // means nothing; wakes a waiting loop
inline constexpr std::uint32_t MessageCreate = 0x0001;
inline constexpr std::uint32_t MessageDestroy = 0x0002;
inline constexpr std::uint32_t MessageSize = 0x0005;
inline constexpr std::uint32_t MessageKillFocus = 0x0008;
inline constexpr std::uint32_t MessagePaint = 0x000F;
inline constexpr std::uint32_t MessageClose = 0x0010;
inline constexpr std::uint32_t MessageQuit = 0x0012;
inline constexpr std::uint32_t MessageKeyDown = 0x0100;
inline constexpr std::uint32_t MessageKeyUp = 0x0101;
inline constexpr std::uint32_t MessageChar = 0x0102;
inline constexpr std::uint32_t MessageSysKeyDown = 0x0104;
inline constexpr std::uint32_t MessageSysKeyUp = 0x0105;
inline constexpr std::uint32_t MessageCommand = 0x0111;
inline constexpr std::uint32_t MessageSysCommand = 0x0112;
// Files dropped on the window; wParam is the drop, which Platform.TakeDroppedFile reads.
inline constexpr std::uint32_t MessageDropFiles = 0x0233;

// System commands (wParam of MessageSysCommand; the low four bits are the system's own).
inline constexpr std::uint32_t SysCommandMask = 0xFFF0;
inline constexpr std::uint32_t SysCommandClose = 0xF060;
inline constexpr std::uint32_t SysCommandScreenSave = 0xF140;
inline constexpr std::uint32_t SysCommandMonitorPower = 0xF170;

// Menu commands (low word of wParam of MessageCommand; the high word is 0 for a menu).
inline constexpr std::uint32_t CommandLoadCartridge = 40001;
inline constexpr std::uint32_t CommandLoadProgram = 40002;
inline constexpr std::uint32_t CommandExit = 40003;
inline constexpr std::uint32_t CommandPause = 40006;
inline constexpr std::uint32_t CommandReset = 40007;
inline constexpr std::uint32_t CommandTrace = 40008;
inline constexpr std::uint32_t CommandShowBorder = 40012;
inline constexpr std::uint32_t CommandPal = 40013;
inline constexpr std::uint32_t CommandHelp = 40014;
inline constexpr std::uint32_t CommandAbout = 40015;
inline constexpr std::uint32_t CommandFullScreen = 40016;
inline constexpr std::uint32_t CommandRemoveCartridge = 40018;
inline constexpr std::uint32_t CommandAttachDisk = 40020;
inline constexpr std::uint32_t CommandDetachDisk = 40021;
inline constexpr std::uint32_t CommandWarp = 40030;
inline constexpr std::uint32_t CommandSound = 40040;
inline constexpr std::uint32_t CommandSaveSnapshot = 40060;
inline constexpr std::uint32_t CommandLoadSnapshot = 40061;
inline constexpr std::uint32_t CommandPaste = 40050;
inline constexpr std::uint32_t CommandJoystickPort1 = 40051;
inline constexpr std::uint32_t CommandJoystickPort2 = 40052;
inline constexpr std::uint32_t CommandJoystickCursorKeys = 40053;
inline constexpr std::uint32_t CommandModelClassic = 40070;
inline constexpr std::uint32_t CommandModelAccurate = 40071;
inline constexpr std::uint32_t CommandSid6581 = 40072;
inline constexpr std::uint32_t CommandSid8580 = 40073;
inline constexpr std::uint32_t CommandRemoteMonitor = 40080;

// Virtual-key codes (wParam of the key messages).
inline constexpr int VirtualKeyBack = 0x08;
inline constexpr int VirtualKeyTab = 0x09;
inline constexpr int VirtualKeyClear = 0x0C;  // keypad 5 without Num Lock
inline constexpr int VirtualKeyReturn = 0x0D;
inline constexpr int VirtualKeyShift = 0x10;
inline constexpr int VirtualKeyControl = 0x11;
inline constexpr int VirtualKeyPause = 0x13;
inline constexpr int VirtualKeyCapital = 0x14;  // Caps Lock
inline constexpr int VirtualKeyEscape = 0x1B;
inline constexpr int VirtualKeySpace = 0x20;
inline constexpr int VirtualKeyPrior = 0x21;  // Page Up
inline constexpr int VirtualKeyNext = 0x22;   // Page Down
inline constexpr int VirtualKeyEnd = 0x23;
inline constexpr int VirtualKeyHome = 0x24;
inline constexpr int VirtualKeyLeft = 0x25;
inline constexpr int VirtualKeyUp = 0x26;
inline constexpr int VirtualKeyRight = 0x27;
inline constexpr int VirtualKeyDown = 0x28;
inline constexpr int VirtualKeyInsert = 0x2D;
inline constexpr int VirtualKeyDelete = 0x2E;
inline constexpr int VirtualKeyNumpad0 = 0x60;
inline constexpr int VirtualKeyNumpad2 = 0x62;
inline constexpr int VirtualKeyNumpad4 = 0x64;
inline constexpr int VirtualKeyNumpad6 = 0x66;
inline constexpr int VirtualKeyNumpad8 = 0x68;
inline constexpr int VirtualKeyMultiply = 0x6A;
inline constexpr int VirtualKeyAdd = 0x6B;
inline constexpr int VirtualKeySubtract = 0x6D;
inline constexpr int VirtualKeyDecimal = 0x6E;
inline constexpr int VirtualKeyDivide = 0x6F;
inline constexpr int VirtualKeyF1 = 0x70;
inline constexpr int VirtualKeyF2 = 0x71;
inline constexpr int VirtualKeyF3 = 0x72;
inline constexpr int VirtualKeyF4 = 0x73;
inline constexpr int VirtualKeyF5 = 0x74;
inline constexpr int VirtualKeyF6 = 0x75;
inline constexpr int VirtualKeyF7 = 0x76;
inline constexpr int VirtualKeyF8 = 0x77;
inline constexpr int VirtualKeyF9 = 0x78;  // warp on and off
inline constexpr int VirtualKeyF11 = 0x7A;  // slow motion while held
inline constexpr int VirtualKeyF12 = 0x7B;  // the trace view while held, a step in trace mode
inline constexpr int VirtualKeyScrollLock = 0x91;  // the status line while held
// The right-hand Shift and Ctrl keys. Key messages carry VK_SHIFT and VK_CONTROL for both
// sides; the window procedure tells them apart by the scan code and the extended-key flag.
inline constexpr int VirtualKeyRightShift = 0xA1;
inline constexpr int VirtualKeyRightControl = 0xA3;
inline constexpr int VirtualKeyOem1 = 0xBA;      // ; : on a US keyboard
inline constexpr int VirtualKeyOemPlus = 0xBB;   // = +
inline constexpr int VirtualKeyOemComma = 0xBC;  // , <
inline constexpr int VirtualKeyOemMinus = 0xBD;  // - _
inline constexpr int VirtualKeyOemPeriod = 0xBE; // . >
inline constexpr int VirtualKeyOem2 = 0xBF;      // / ?
inline constexpr int VirtualKeyOem3 = 0xC0;      // ` ~
inline constexpr int VirtualKeyOem4 = 0xDB;      // [ {
inline constexpr int VirtualKeyOem5 = 0xDC;      // \ |
inline constexpr int VirtualKeyOem6 = 0xDD;      // ] }
inline constexpr int VirtualKeyOem7 = 0xDE;      // ' "
inline constexpr int VirtualKeyOem102 = 0xE2;    // the extra key beside left Shift (ISO)

// The lParam of a key message: repeat count in bits 0-15, the keyboard's scan code in bits
// 16-23, bit 24 set for the extended keys (right Ctrl and Alt, the cursor and editing block,
// keypad Enter and /), bit 30 set when the key was already down, bit 31 set for a release.
inline constexpr std::intptr_t KeyMessageLParam(int scanCode, bool extended, bool release,
                                                 bool wasDown) {
  return static_cast<std::intptr_t>(1u | (static_cast<std::uint32_t>(scanCode & 0xFF) << 16) |
                                    (extended ? 1u << 24 : 0u) | (wasDown ? 1u << 30 : 0u) |
                                    (release ? 1u << 31 : 0u));
}
inline constexpr int KeyScanCode(std::intptr_t lParam) {
  return static_cast<int>((static_cast<std::uint32_t>(lParam) >> 16) & 0xFF);
}
inline constexpr bool KeyIsExtended(std::intptr_t lParam) {
  return ((static_cast<std::uint32_t>(lParam) >> 24) & 1) != 0;
}

// The two halves of a command's wParam.
inline constexpr std::uint32_t LowWord(std::uintptr_t value) {
  return static_cast<std::uint32_t>(value & 0xFFFF);
}
inline constexpr std::uint32_t HighWord(std::uintptr_t value) {
  return static_cast<std::uint32_t>((value >> 16) & 0xFFFF);
}

}  // namespace quillon
