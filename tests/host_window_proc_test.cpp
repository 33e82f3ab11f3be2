#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "keyboard/host_keys.h"
#include "cia/keyboard.h"
#include "core/machine.h"
#include "cpu/cpu.h"
#include "window/display.h"
#include "backends/headless/headless_backend.h"
#include "session/host_state.h"
#include "keyboard/key_queue.h"
#include "platform/messages.h"
#include "window/window_proc.h"
#include "media/cartridge.h"
#include "support/files.h"
#include "support/machine.h"

namespace quillon {
namespace {

std::intptr_t Send(std::uint32_t message, std::uintptr_t wParam = 0) {
  return MainWindowProc(&Headless, message, wParam, 0);
}

void Command(std::uint32_t command) { EXPECT_EQ(Send(MessageCommand, command), 0); }

void StartWindow() {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  CreateDisplayBuffer();
}

bool NoC64KeyDown() {
  return std::all_of(KeyMatrix, KeyMatrix + 8, [](std::uint8_t column) { return column == 0xFF; });
}

TEST(HostWindowProc, MenuCommandsChangeTheirStateAndCheckMarks) {
  StartWindow();
  Command(CommandPause);
  EXPECT_EQ(Host.Paused, 1);
  Command(CommandTrace);  // turned on while paused it unpauses, so the next pass takes a step
  EXPECT_EQ(Host.TraceMode + Host.Paused, 1);
  Host.Paused = 1;
  Command(CommandTrace);
  EXPECT_EQ(Host.TraceMode + Host.Paused, 0);
  const std::int32_t divisor = Host.SpeedDivisor;
  Command(CommandPal);
  EXPECT_EQ(VideoStandard, VideoStandardNtsc);
  Command(CommandPal);
  EXPECT_EQ(VideoStandard, VideoStandardPal);
  EXPECT_EQ(Host.SpeedDivisor, divisor) << "the speed divisor stays as it was";
  Command(CommandShowBorder);
  EXPECT_EQ(Host.ShowBorder, 0);
  EXPECT_EQ(Host.DisplayPixels, nullptr) << "the main loop makes the new buffer";
  // Warp: the menu item, and F9 once per press however long it is held.
  Command(CommandWarp);
  EXPECT_EQ(Host.Warp, 1);
  Send(MessageKeyDown, VirtualKeyF9);
  Send(MessageKeyDown, VirtualKeyF9);
  EXPECT_EQ(Host.Warp, 0);
  Send(MessageKeyUp, VirtualKeyF9);
  Send(MessageKeyDown, VirtualKeyF9);
  EXPECT_EQ(Host.Warp, 1);
  Command(CommandSound);
  EXPECT_EQ(Host.SoundOn, 0);
  Command(CommandSound);
  EXPECT_EQ(Host.SoundOn, 1);
  EXPECT_EQ(Headless.MenuChanges,
            (std::vector<std::string>{"&Pause=1", "&Pause=0", "&Trace=1", "&Pause=0", "&Trace=0",
                                      "&PAL=0", "&PAL=1", "Show &border=0", "&Warp=1", "&Warp=0",
                                      "&Warp=1", "&Sound=0", "&Sound=1"}));
  Command(CommandReset);
  EXPECT_EQ(Cpu.ResetRequest, 1);
  Command(CommandAbout);
  EXPECT_EQ(Headless.AboutDialogs, 1);
  Command(CommandHelp);
  EXPECT_EQ(Send(MessageCommand, (1u << 16) | CommandPause), 0);
  EXPECT_EQ(Host.Paused, 0) << "a control's notification is no menu command";
  Headless.WindowExists = true;
  Command(CommandExit);  // destroys the window, which pauses and posts the quit message
  EXPECT_EQ(Host.Paused, 1);
  ASSERT_EQ(Headless.Queue.size(), 1u);
  EXPECT_EQ(Headless.Queue.front().Message, MessageQuit);
  EXPECT_EQ(Headless.DefaultProcCalls, 0);
}

TEST(HostWindowProc, FileCommandsLoadProgramsAndAttachAndRemoveCartridges) {
  StartWindow();
  CartridgePath = "old.crt";
  Command(CommandLoadCartridge);  // cancelled
  EXPECT_EQ(Headless.LastOfferedName, "old.crt") << "the dialog offers the previous name";
  EXPECT_EQ(Headless.LastFilter, std::string("Cartridge (*.crt)\0*.CRT\0", 24));
  EXPECT_EQ(CartridgeAttached + Cpu.ResetRequest, 0);
  Headless.ChosenFile = "/dev/zero";
  Command(CommandLoadCartridge);
  EXPECT_EQ(CartridgeAttached + Cpu.ResetRequest, 0) << "only a regular file counts as picked";
  const std::string cartridge = test::WriteTempFile("new.crt", {});
  Headless.ChosenFile = cartridge;
  Command(CommandLoadCartridge);
  EXPECT_EQ(CartridgePath, cartridge);
  EXPECT_EQ(CartridgeAttached + Cpu.ResetRequest, 2);
  Cpu.ResetRequest = 0;
  Command(CommandRemoveCartridge);
  EXPECT_EQ(CartridgeAttached + Cpu.ResetRequest, 1);

  Headless.ChosenFile = test::WriteTempFile("game.prg", {0x00, 0xC0, 0xA9, 0x05});
  Command(CommandLoadProgram);
  EXPECT_EQ(Headless.LastFilter, std::string("Program file (*.prg; *.p00)\0*.PRG;*.P00\0", 40));
  EXPECT_EQ(Headless.LastOfferedName, "") << "the program dialog starts empty";
  EXPECT_EQ(MainRam[0xC001], 0x05);
  EXPECT_EQ(MainRam[0xC6], 4) << "RUN and RETURN typed";
}

TEST(HostWindowProc, EscLeavesFullScreenAndF12StepsOnlyInTraceMode) {
  StartWindow();
  Headless.FullScreenAvailable = false;
  Command(CommandFullScreen);
  EXPECT_EQ(Host.FullScreenActive + Headless.CursorHidden, 0) << "the cursor is shown again";
  Headless.FullScreenAvailable = true;
  Command(CommandFullScreen);
  EXPECT_TRUE(Host.FullScreenActive && Headless.FullScreenHeld && Headless.CursorHidden);
  Send(MessageKeyDown, VirtualKeyEscape);
  EXPECT_TRUE(!Host.FullScreenActive && !Headless.FullScreenHeld && !Headless.CursorHidden);
  EXPECT_TRUE(NoC64KeyDown()) << "the Esc that leaves full screen is no RUN/STOP";
  // Outside full screen Esc is RUN/STOP.
  Send(MessageKeyUp, VirtualKeyEscape);
  KeyQueueFramesPassed(KeyHoldScans);
  Send(MessageKeyDown, VirtualKeyEscape);
  EXPECT_FALSE(Headless.FullScreenHeld);
  EXPECT_EQ(HostKeyDown[VirtualKeyEscape], 1);
  EXPECT_EQ(KeyMatrix[7], 0x7F);
  KeyQueueFramesPassed(KeyHoldScans);
  Send(MessageKeyUp, VirtualKeyEscape);
  EXPECT_TRUE(Headless.MenuChanges.empty()) << "full screen has no check mark";

  Host.Paused = 1;
  Send(MessageKeyDown, VirtualKeyF12);
  EXPECT_EQ(Host.Paused, 1);
  Host.TraceMode = 1;
  Send(MessageKeyDown, VirtualKeyF12);  // a repeat of the held key steps again
  EXPECT_EQ(Host.Paused, 0);
  Send(MessageKeyUp, VirtualKeyF12);
  EXPECT_EQ(HostKeyDown[VirtualKeyF12], 0);
  EXPECT_TRUE(NoC64KeyDown());
}

TEST(HostWindowProc, ScreenSaverIsHeldOffOnlyWhileRunningAndOtherMessagesGoToTheSystem) {
  StartWindow();
  for (std::uint32_t request : {SysCommandScreenSave, SysCommandScreenSave | 2,
                                SysCommandMonitorPower, SysCommandMonitorPower | 0xF}) {
    EXPECT_EQ(Send(MessageSysCommand, request), 0);
  }
  EXPECT_EQ(Headless.DefaultProcCalls, 0);
  Host.Paused = 1;
  for (std::uint32_t request : {SysCommandScreenSave, SysCommandMonitorPower, 0xF100u}) {
    Send(MessageSysCommand, request);
  }
  Send(MessageSysKeyDown, 'A');
  Send(MessageSysKeyUp, 'A');
  Send(MessageChar, 'a');
  Send(MessageKeyDown, 0x1234);  // no virtual-key code
  EXPECT_EQ(Headless.DefaultProcCalls, 7);
  EXPECT_EQ(HostKeyDown['A'], 0);
  EXPECT_TRUE(NoC64KeyDown());
}

TEST(HostWindowProc, SizeAndPaintShowTheBufferStretchedToTheClientArea) {
  StartWindow();
  Headless.WindowExists = true;
  Headless.WindowWidth = 806;
  Headless.WindowHeight = 644;
  Send(MessageSize);
  EXPECT_EQ(Host.ClientWidth * 1000 + Host.ClientHeight, 800600);
  Host.DisplayPixels[0] = 0x123456;
  Send(MessagePaint);
  ASSERT_EQ(Headless.PaintedWidth * 1000 + Headless.PaintedHeight, 360240);
  EXPECT_EQ(Headless.PaintedPixels[0], 0x123456u);
  // Without a buffer painting draws nothing.
  Headless.PaintedPixels.clear();
  FreeDisplayBuffer();
  Send(MessagePaint);
  EXPECT_TRUE(Headless.PaintedPixels.empty());
}

using Matrix = std::array<std::uint8_t, 8>;

// The C64 keys ("column,row") that a host key presses without and with Shift held; "-c,r" is a
// key that the key-down lets go. The last field is what the key-up with Shift lets go where
// that is not simply what the key-down pressed.
struct ExpectedRow {
  int VirtualKey;
  const char *Plain, *Shifted, *ShiftedUp;
};

constexpr ExpectedRow Expected[] = {
    {0x08, "0,0", "0,0", ""},          {0x09, "7,5", "7,5", ""},          {0x1B, "7,7", "7,7", ""},
    {0xA1, "6,4", "6,4", ""},          {0xA3, "7,2", "7,2", ""},          {0xC0, "7,1", "7,1", ""},
    {0xDC, "6,0", "6,0", ""},
    {0x0D, "0,1", "0,1", ""},          {0x10, "1,7", "1,7", ""},          {0x11, "7,2", "7,2", ""},
    {0x13, "7,7", "7,7", ""},          {0x20, "7,4", "7,4", ""},          {0x24, "6,3", "6,3", ""},
    {0x25, "0,2 1,7", "0,2 1,7", ""},  {0x26, "0,7 1,7", "0,7 1,7", ""},  {0x27, "0,2", "0,2", ""},
    {0x28, "0,7", "0,7", ""},          {0x2D, "0,0 1,7", "0,0 1,7", ""},  {0x2E, "0,0", "0,0", ""},
    {'0', "4,3", "4,0 1,7", ""},       {'1', "7,0", "7,0 1,7", ""},       {'2', "7,3", "5,6 -1,7 -6,4", "5,6"},
    {'3', "1,0", "1,0 1,7", ""},       {'4', "1,3", "1,3 1,7", ""},       {'5', "2,0", "2,0 1,7", ""},
    {'6', "2,3", "6,6", ""},           {'7', "3,0", "2,3 1,7", ""},       {'8', "3,3", "3,3", ""},
    {'9', "4,0", "3,3 1,7", ""},       {0x6A, "6,1", "6,1", ""},          {0x6B, "5,0", "5,0", ""},
    {0x6D, "5,3", "5,3", ""},          {0x6E, "5,4", "5,4 1,7", ""},      {0x6F, "6,7", "6,7 1,7", ""},
    {0x70, "0,4", "0,4", ""},          {0x71, "0,4 1,7", "0,4 1,7", ""},  {0x72, "0,5", "0,5", ""},
    {0x73, "0,5 1,7", "0,5 1,7", ""},  {0x74, "0,6", "0,6", ""},          {0x75, "0,6 1,7", "0,6 1,7", ""},
    {0x76, "0,3", "0,3", ""},          {0x77, "0,3 1,7", "0,3 1,7", ""},  {0xBA, "6,2", "5,5 -1,7 -6,4", "5,5 1,7 6,4"},
    {0xBB, "6,5", "5,0 -1,7 -6,4", "5,0"},          {0xBC, "5,7", "5,7 1,7", ""},      {0xBD, "5,3", "5,3", ""},
    {0xDB, "5,5 1,7", "5,5 1,7", ""},  {0xDD, "6,2 1,7", "6,2 1,7", ""},  {0xDE, "3,0 1,7", "7,3 1,7", ""},
};
// The letters A-Z press the same key with and without Shift.
constexpr const char* Letters = "1,2 3,4 2,4 2,2 1,6 2,5 3,2 3,5 4,1 4,2 4,5 5,2 4,4 "
                                "4,7 4,6 5,1 7,6 2,1 1,5 2,6 3,6 3,7 1,1 2,7 3,1 1,4";

// Applies "c,r ..." to a matrix: pressed keys clear their bit, "-c,r" and `release` set it.
void Apply(Matrix& matrix, const std::string& keys, bool release) {
  std::istringstream words(keys);
  std::string word;
  while (words >> word) {
    const bool letGo = release || word[0] == '-';
    if (word[0] == '-') word.erase(0, 1);
    const auto bit = static_cast<std::uint8_t>(1 << (word[2] - '0'));
    matrix[word[0] - '0'] = letGo ? matrix[word[0] - '0'] | bit : matrix[word[0] - '0'] & ~bit;
  }
}

Matrix CurrentMatrix() {
  Matrix matrix;
  std::memcpy(matrix.data(), KeyMatrix, 8);
  return matrix;
}

void ReleaseEverything() {
  KeyQueueReset();
  std::memset(KeyMatrix, 0xFF, sizeof KeyMatrix);
  std::memset(HostKeyDown, 0, sizeof HostKeyDown);
  Host.ShiftHeld = 0;
}

// A key message, and then as many frames as the key queue holds a key down.
void SendAndHold(std::uint32_t message, int key) {
  Send(message, static_cast<std::uintptr_t>(key));
  KeyQueueFramesPassed(KeyHoldScans);
}

TEST(HostKeyTable, EveryRowPressesAndReleasesItsKeysWithAndWithoutShift) {
  UseHeadlessBackend(false);
  std::vector<ExpectedRow> rows(std::begin(Expected), std::end(Expected));
  std::istringstream letters(Letters);
  std::vector<std::string> letterKeys(26);
  for (int i = 0; i < 26; ++i) {
    letters >> letterKeys[i];
    rows.push_back({'A' + i, letterKeys[i].c_str(), letterKeys[i].c_str(), ""});
  }
  std::set<int> mapped;
  for (const ExpectedRow& row : rows) {
    mapped.insert(row.VirtualKey);
    for (bool shifted : {false, true}) {
      SCOPED_TRACE(testing::Message() << "key $" << std::hex << row.VirtualKey << " " << shifted);
      ReleaseEverything();
      Matrix expected;
      expected.fill(0xFF);
      if (shifted) {
        SendAndHold(MessageKeyDown, VirtualKeyShift);
        Apply(expected, "1,7", false);
      }
      const char* down = shifted ? row.Shifted : row.Plain;
      SendAndHold(MessageKeyDown, row.VirtualKey);
      Apply(expected, down, false);
      EXPECT_EQ(CurrentMatrix(), expected) << "key down";
      EXPECT_EQ(HostKeyDown[row.VirtualKey], 1);
      SendAndHold(MessageKeyUp, row.VirtualKey);
      Apply(expected, shifted && row.ShiftedUp[0] ? row.ShiftedUp : down, true);
      EXPECT_EQ(CurrentMatrix(), expected) << "key up";
      EXPECT_EQ(HostKeyDown[row.VirtualKey], 0);
    }
  }
  // Every other key is only noted as held (Caps Lock, the SHIFT LOCK, latches LEFT SHIFT).
  Matrix released;
  released.fill(0xFF);
  for (int key = 0; key < 256; ++key) {
    if (mapped.count(key) != 0 || key == VirtualKeyCapital) continue;
    ReleaseEverything();
    Host.ShiftHeld = key & 1;
    Send(MessageKeyDown, key);
    EXPECT_EQ(HostKeyDown[key], 1);
    ASSERT_EQ(CurrentMatrix(), released) << "key " << key;
  }
}

TEST(HostKeyTable, AKeyLetGoAfterShiftReleasesWhatItsPressPressed) {
  UseHeadlessBackend(false);
  ReleaseEverything();
  // Shift-0 pressed, Shift let go, then 0 let go (the order in which fast typists and typing
  // tools let go): the 9 and LEFT SHIFT that the press held are let go, not the 0 that an
  // unshifted press would have held, so no C64 key stays down.
  SendAndHold(MessageKeyDown, VirtualKeyShift);
  SendAndHold(MessageKeyDown, '0');
  EXPECT_EQ(KeyMatrix[4], 0xFE);
  SendAndHold(MessageKeyUp, VirtualKeyShift);
  SendAndHold(MessageKeyUp, '0');
  for (std::uint8_t column : KeyMatrix) EXPECT_EQ(column, 0xFF);
  // A key-up with no key-down before it goes by the Shift state of its own moment: with Shift
  // held it lets go of the shifted 0's 9.
  SendAndHold(MessageKeyDown, VirtualKeyShift);
  KeyMatrix[4] = 0xFE;
  SendAndHold(MessageKeyUp, '0');
  EXPECT_EQ(KeyMatrix[4], 0xFF);
}

}  // namespace
}  // namespace quillon
