#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "cpu/cpu.h"
#include "host/display.h"
#include "host/headless/headless_backend.h"
#include "host/host_state.h"
#include "host/messages.h"
#include "host/window_proc.h"
#include "media/cartridge.h"
#include "support/machine.h"
#include "support/temp_file.h"

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
  EXPECT_EQ(Headless.MenuChanges,
            (std::vector<std::string>{"&Pause=1", "&Pause=0", "&Trace=1", "&Pause=0", "&Trace=0",
                                      "&PAL=0", "&PAL=1", "Show &border=0"}));
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
  Headless.ChosenFile = "/games/new.crt";
  Command(CommandLoadCartridge);
  EXPECT_EQ(CartridgePath, "/games/new.crt");
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
  // Outside full screen Esc only reaches the key table, where it presses nothing.
  Send(MessageKeyUp, VirtualKeyEscape);
  Send(MessageKeyDown, VirtualKeyEscape);
  EXPECT_FALSE(Headless.FullScreenHeld);
  EXPECT_EQ(HostKeyDown[VirtualKeyEscape], 1);
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
  // In full screen, or without a buffer, painting draws nothing.
  Headless.PaintedPixels.clear();
  Host.FullScreenActive = 1;
  Send(MessagePaint);
  Host.FullScreenActive = 0;
  FreeDisplayBuffer();
  Send(MessagePaint);
  EXPECT_EQ(Headless.Paints, 3);
  EXPECT_TRUE(Headless.PaintedPixels.empty());
}

}  // namespace
}  // namespace quillon
