#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "session/session.h"
#include "keyboard/host_keys.h"
#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "session/host_state.h"
#include "app/autostart.h"
#include "app/command_line.h"
#include "app/headless_run.h"
#include "backends/headless/headless_backend.h"
#include "keyboard/key_queue.h"
#include "platform/messages.h"
#include "keyboard/typed_text.h"
#include "window/window_proc.h"
#include "support/machine.h"

namespace quillon {
namespace {

void Send(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam = 0) {
  MainWindowProc(&Headless, message, wParam, lParam);
}

// Runs whole frames and tells the key queue of each, as the main loop does.
void RunQueuedFrames(int frames) {
  for (int i = 0; i < frames; ++i) {
    test::RunFrames(1);
    KeyQueueFramesPassed(1);
  }
}

// The machine booted to READY. with the window procedure on the headless backend.
void BootToReady() {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  KeyQueueReset();
  for (int frame = 0; frame < 400 && !BasicWaitsForInput(CurrentMachine()); ++frame) RunQueuedFrames(1);
  ASSERT_TRUE(BasicWaitsForInput(CurrentMachine()));
}

// Key messages for `text` all at once, as fast typing between two frames sends them: each key
// pressed and let go, Shift pressed before a key that needs it and let go before the key, as
// typing tools and fast typists do.
void TypeAllAtOnce(const std::string& text) {
  std::vector<TypedKey> keys;
  ASSERT_EQ(TranslateTypedText(text, keys), "");
  for (const TypedKey& key : keys) {
    if (key.Shift) Send(MessageKeyDown, VirtualKeyShift);
    Send(MessageKeyDown, static_cast<std::uintptr_t>(key.VirtualKey));
    if (key.Shift) Send(MessageKeyUp, VirtualKeyShift);
    Send(MessageKeyUp, static_cast<std::uintptr_t>(key.VirtualKey));
  }
}

TEST(HostKeyInput, KeysPressedAndLetGoBetweenTwoFramesAllArrive) {
  BootToReady();
  TypeAllAtOnce("10 PRINT PEEK(56321)AND31:GOTO10\\nPRINT 667788\\n");
  EXPECT_FALSE(KeyQueueEmpty());
  RunQueuedFrames(250);
  EXPECT_TRUE(KeyQueueEmpty());
  EXPECT_EQ(test::ScreenRowText(6).substr(0, 33), "10 PRINT PEEK(56321)AND31:GOTO10 ");
  EXPECT_EQ(test::ScreenRowText(7).substr(0, 13), "PRINT 667788 ");
  EXPECT_EQ(test::ScreenRowText(8).substr(0, 8), " 667788 ");
}

void Command(std::uint32_t command) { Send(MessageCommand, command); }

// A key held for a few frames and let go.
void Tap(std::uintptr_t key, std::intptr_t lParam = 0) {
  Send(MessageKeyDown, key, lParam);
  RunQueuedFrames(3);
  Send(MessageKeyUp, key, lParam);
  RunQueuedFrames(3);
}

TEST(HostKeyInput, AKeyTappedWhilePausedNeverWasButOneTappedInTraceModeIsHeld) {
  BootToReady();
  Command(CommandPause);
  Send(MessageKeyDown, 'X');
  Send(MessageKeyUp, 'X');
  EXPECT_EQ(KeyMatrix[2], 0xFF);
  Command(CommandTrace);
  Send(MessageKeyDown, 'X');
  Send(MessageKeyUp, 'X');
  EXPECT_FALSE(KeyQueueEmpty());
  // The frames come as the trace steps through them: X goes down, and is held two of them.
  RunQueuedFrames(2);
  EXPECT_EQ(KeyMatrix[2], 0x7F);
  RunQueuedFrames(1);
  EXPECT_EQ(KeyMatrix[2], 0x7F);
  RunQueuedFrames(1);
  EXPECT_EQ(KeyMatrix[2], 0xFF);
  EXPECT_TRUE(KeyQueueEmpty());
}

TEST(HostKeyInput, RunStopWithRestoreAndCommodoreWithShiftDoWhatTheC64sKeysDo) {
  BootToReady();
  KeyQueueType(PastedTextKeys("POKE 53280,0\n"), false);
  RunQueuedFrames(60);
  ASSERT_EQ(MemRead(0xD020) & 0x0F, 0);
  // Esc is RUN/STOP; Page Up is RESTORE, whose press raises one NMI however long it is held:
  // the KERNAL's NMI handler finds RUN/STOP down and starts BASIC afresh, start-up colours
  // and all.
  Send(MessageKeyDown, VirtualKeyEscape);
  RunQueuedFrames(2);
  Send(MessageKeyDown, VirtualKeyPrior);
  EXPECT_EQ(Cpu.NmiPending, 1);
  Cpu.NmiPending = 0;
  Send(MessageKeyDown, VirtualKeyPrior);  // the keyboard's repeat
  EXPECT_EQ(Cpu.NmiPending, 0);
  Cpu.NmiPending = 1;
  RunQueuedFrames(5);
  Send(MessageKeyUp, VirtualKeyPrior);
  Send(MessageKeyUp, VirtualKeyEscape);
  RunQueuedFrames(30);
  EXPECT_EQ(MemRead(0xD020) & 0x0F, 14);

  // C= (Tab) with SHIFT switches between the upper-case and the lower-case character set.
  const std::uint8_t characterSet = MemRead(0xD018);
  Send(MessageKeyDown, VirtualKeyShift);
  Tap(VirtualKeyTab);
  Send(MessageKeyUp, VirtualKeyShift);
  RunQueuedFrames(3);
  EXPECT_EQ(MemRead(0xD018), characterSet ^ 0x02);
}

TEST(HostKeyInput, FocusLossLetsGoOfTheKeyboardButNotOfTypedTextOrShiftLock) {
  BootToReady();
  Tap(VirtualKeyCapital);  // SHIFT LOCK latches LEFT SHIFT
  EXPECT_EQ(KeyMatrix[1], 0x7F);
  Send(MessageKeyDown, 'A');
  Send(MessageKeyDown, 'B');  // waits behind A's hold
  Send(MessageKeyDown, VirtualKeyF12);
  Send(MessageKillFocus, 0);
  EXPECT_EQ(KeyMatrix[1], 0x7F) << "A let go, SHIFT LOCK kept";
  EXPECT_EQ(HostKeyDown['A'] + HostKeyDown['B'] + HostKeyDown[VirtualKeyF12], 0);
  Tap(VirtualKeyCapital);
  EXPECT_EQ(KeyMatrix[1], 0xFF);
  // Pasted text goes on through a focus loss in the middle of a shifted key.
  Headless.ClipboardText = "print \"x{y\"\r\n";
  Command(CommandPaste);
  for (int frame = 0; frame < 30 && (KeyMatrix[1] & 0x80) != 0; ++frame) RunQueuedFrames(1);
  ASSERT_EQ(KeyMatrix[1] & 0x80, 0) << "SHIFT for the quote";
  Send(MessageKillFocus, 0);
  RunQueuedFrames(200);
  EXPECT_TRUE(KeyQueueEmpty());
  // The pasted line went in whole but for the character no key types; B never did.
  EXPECT_EQ(test::ScreenRowText(6).substr(0, 12), "PRINT \"XY\"  ");
  EXPECT_EQ(test::ScreenRowText(7).substr(0, 4), "XY  ");
}

TEST(HostKeyInput, TheJoystickGoesToEitherPortOnTheKeypadOrTheCursorKeys) {
  BootToReady();
  Headless.MenuChanges.clear();
  // Keypad 8 without Num Lock: the cursor-up code, its scan code, no extended flag.
  const std::intptr_t keypadUp = KeyMessageLParam(0x48, false, false, false);
  Send(MessageKeyDown, VirtualKeyUp, keypadUp);
  EXPECT_EQ(HostKeyDown[VirtualKeyNumpad8], 1);
  EXPECT_EQ(JoystickRead(), 0x1E);
  EXPECT_EQ(KeyboardScan(0xFF), 0xFF);
  Command(CommandJoystickPort1);
  EXPECT_EQ(JoystickRead(), 0x1F);
  EXPECT_EQ(KeyboardScan(0xFF), 0xFE) << "port 1 pulls CIA1 port B's lines";
  EXPECT_EQ(KeyboardScan(0x00), 0xFE);
  Send(MessageKeyUp, VirtualKeyUp, keypadUp);
  EXPECT_EQ(KeyboardScan(0xFF), 0xFF);

  // On the cursor keys and right Ctrl the joystick takes them from the C64's keyboard.
  const std::intptr_t cursorLeft = KeyMessageLParam(0x4B, true, false, false);
  const std::intptr_t rightControl = KeyMessageLParam(0x1D, true, false, false);
  Command(CommandJoystickCursorKeys);
  Send(MessageKeyDown, VirtualKeyLeft, cursorLeft);
  Send(MessageKeyDown, VirtualKeyControl, rightControl);
  EXPECT_EQ(KeyboardScan(0xFF), 0xEB) << "left and fire in port 1";
  EXPECT_EQ(KeyboardScan(0xFE) | 0x14, 0xFF) << "no CRSR key";
  Send(MessageKeyUp, VirtualKeyLeft, cursorLeft);
  Send(MessageKeyUp, VirtualKeyControl, rightControl);
  Command(CommandJoystickPort2);
  Command(CommandJoystickCursorKeys);
  Send(MessageKeyDown, VirtualKeyLeft, cursorLeft);
  EXPECT_EQ(JoystickRead(), 0x1F);
  EXPECT_EQ(KeyMatrix[0], 0xFB) << "CRSR again";
  EXPECT_EQ(Headless.MenuChanges,
            (std::vector<std::string>{
                "Joystick in port &1=1", "Joystick in port &2=0", "Joystick on &cursor keys=0",
                "Joystick in port &1=1", "Joystick in port &2=0", "Joystick on &cursor keys=1",
                "Joystick in port &1=0", "Joystick in port &2=1", "Joystick on &cursor keys=1",
                "Joystick in port &1=0", "Joystick in port &2=1", "Joystick on &cursor keys=0"}));
}

TEST(HostKeyInput, TheScreenSaverWaitsWhileTheEmulationRunsOrIsTraced) {
  BootToReady();
  Command(CommandPause);
  Command(CommandPause);
  Command(CommandTrace);
  Host.Paused = 1;  // a trace step done
  Command(CommandReset);
  Command(CommandTrace);
  Command(CommandPause);
  EXPECT_EQ(Headless.ScreenSaverHolds, (std::vector<bool>{false, true, false}));
}

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

// The REM texts of the BASIC program in `ram`, a line each.
std::vector<std::string> RemarkLines(const std::uint8_t* ram) {
  std::vector<std::string> lines;
  std::uint16_t at = 0x0801;
  while ((ram[at] | ram[at + 1]) != 0 && lines.size() < 100) {
    std::string text;
    for (std::uint16_t i = at + 5; ram[i] != 0; ++i) text += static_cast<char>(ram[i]);
    lines.push_back(text);
    at = static_cast<std::uint16_t>(ram[at] | ram[at + 1] << 8);
  }
  return lines;
}

TEST(HostTyping, TextArrivesExactlyInBothModelsOnPalAndNtsc) {
  // A shifted key between unshifted ones, each pair the same two keys again: the scan that
  // sees SHIFT's column before a change and the key's after it would type "12" or '"'.
  std::string pairs;
  for (int i = 0; i < 18; ++i) pairs += "!2";
  // Ten lines of fifty characters with shifted and unshifted keys mixed, as a long paste.
  std::vector<std::string> remarks;
  std::string paste;
  for (int line = 0; line < 10; ++line) {
    std::string text;
    for (int i = 0; i < 50; ++i) text += "AB1!2\"#$%&'()*+,-./:;<=>?CDEF34"[(i * 7 + line) % 31];
    remarks.push_back(text);
    paste += std::to_string(line + 1) + " REM" + text + "\\n";
  }
  for (const auto& [model, ntsc] : {std::pair{MachineModel::Classic, false},
                                    {MachineModel::Classic, true},
                                    {MachineModel::Accurate, false},
                                    {MachineModel::Accurate, true}}) {
    SCOPED_TRACE(std::string(model == MachineModel::Classic ? "classic " : "accurate ") +
                 (ntsc ? "NTSC" : "PAL"));
    test::PowerOnMachine();
    CommandLineOptions options;
    options.Model = model;
    options.Ntsc = ntsc;
    options.Frames = 1500;
    ASSERT_EQ(TranslateTypedText(pairs, options.TypedKeys), "");
    HeadlessRunResult result = RunHeadless(options);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_NE(std::find(result.ScreenText.begin(), result.ScreenText.end(), pairs),
              result.ScreenText.end());

    test::PowerOnMachine();
    options.Frames = 4000;
    options.TypedKeys.clear();
    ASSERT_EQ(TranslateTypedText(paste, options.TypedKeys), "");
    result = RunHeadless(options);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(RemarkLines(CurrentMachine().Ram()), remarks);
  }
}

}  // namespace
}  // namespace quillon
