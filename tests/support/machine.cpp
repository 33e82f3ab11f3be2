#include "support/machine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <cstring>

#include "app/command_line.h"
#include "cia/cia.h"
#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/memory.h"
#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "keyboard/host_keys.h"
#include "keyboard/key_queue.h"
#include "keyboard/key_table.h"
#include "media/cartridge.h"
#include "platform/messages.h"
#include "session/host_state.h"
#include "session/session.h"
#include "sid/mixer.h"
#include "sid/sid.h"
#include "sound/sound_output.h"
#include "vic/frame_image.h"
#include "vic/vic.h"
#include "window/display.h"
#include "window/main_loop.h"
#include "window/settings.h"
#include "window/window_proc.h"

namespace quillon::test {

namespace {

// The images as the program starts with them, taken before any test replaces them.
const RomImageSet BuiltInRomImages = RomImages;

void ResetHostRecord() {
  FreeDisplayBuffer();
  Host.Paused = 0;
  Host.TraceMode = 0;
  Host.SoundOn = 1;
  Host.ShowBorder = 1;
  Host.FullScreenActive = 0;
  Host.ShiftHeld = 0;
  Host.SpeedPercent = 0;
  Host.FrameSkip = 1;
  KeyQueueReset();
  std::memset(HostKeyDown, 0, sizeof HostKeyDown);
  JoystickPort = 2;
  JoystickOnCursorKeys = 0;
  Settings = DefaultSettings;
}

}  // namespace

UnallocatedMachine::UnallocatedMachine(void* (*allocator)(std::size_t))
    : blocks_{MainRam, ColorRam, FrameImage.Picture} {
  MainRam = ColorRam = FrameImage.Picture = nullptr;
  AllocateMachineBlock = allocator;
}

UnallocatedMachine::~UnallocatedMachine() {
  std::free(MainRam);
  std::free(ColorRam);
  std::free(FrameImage.Picture);
  MainRam = blocks_[0];
  ColorRam = blocks_[1];
  FrameImage.Picture = blocks_[2];
  AllocateMachineBlock = std::malloc;
}

void PowerOnMachine() {
  // The classic machine, whatever model an earlier run of the test put in use.
  UseModel(MachineModel::Classic);
  RomImages = BuiltInRomImages;
  ResetHostRecord();
  VideoStandard = VideoStandardPal;
  SoundClock.Enabled = false;
  RasterLineEnd = {};
  FrameImage.Target = FrameImage.Picture;
  CartridgeAttached = 0;
  CartridgePath.clear();
  CartridgeImage.clear();
  CartridgeImageKept = 0;
  FetchObserver = nullptr;
  ASSERT_TRUE(StartMachine());
  // As after the main window's class was registered: messages reach the window procedure.
  MainWindowProcedure = MainWindowProc;
}

void RunFrames(int frames) {
  const std::int32_t target = CycleCounters.FrameCounter + frames;
  while (CycleCounters.FrameCounter < target) RunStep();
}

void RunSteps(long steps) {
  for (long i = 0; i < steps; ++i) RunStep();
}

std::string ScreenRowText(int row, std::uint16_t screenAddress) {
  std::string text;
  for (int column = 0; column < 40; ++column) {
    unsigned code = MainRam[(screenAddress + row * 40 + column) & 0xFFFF] & 0x7F;
    // Screen codes 1-26 are the letters; 32-63 match ASCII.
    text += static_cast<char>(code >= 1 && code <= 26 ? code + 0x40 : code < 64 ? code : '?');
  }
  return text;
}

void StartProgram(std::uint16_t address, std::initializer_list<std::uint8_t> code) {
  PowerOnMachine();
  for (std::uint8_t byte : code) MainRam[address++] = byte;
  Cpu.PC = static_cast<std::uint16_t>(address - code.size());
}

int RunInstruction() {
  int cycles = 0;
  do {
    CpuExecute();
    ++cycles;
  } while (Cpu.Opcode != ServiceMarker);
  return cycles;
}

void TypeText(std::string_view text) {
  // The KERNAL scans the keyboard sixty times a second: three 50 Hz frames span several scans.
  constexpr int HoldFrames = 3;
  std::vector<TypedKey> keys;
  ASSERT_EQ(TranslateTypedText(std::string(text), keys), "");
  for (const TypedKey& key : keys) {
    if (key.Shift) ApplyKeyDown(VirtualKeyShift, true);
    ApplyKeyDown(key.VirtualKey, key.Shift);
    RunFrames(HoldFrames);
    ApplyKeyUp(key.VirtualKey, key.Shift);
    if (key.Shift) ApplyKeyUp(VirtualKeyShift, true);
    RunFrames(HoldFrames);
  }
}

}  // namespace quillon::test
