#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include "keyboard/host_keys.h"
#include "cia/keyboard.h"
#include "backends/gtk/key_translation.h"
#include "backends/headless/headless_backend.h"
#include "keyboard/key_position.h"
#include "keyboard/key_queue.h"
#include "platform/messages.h"
#include "window/window_proc.h"
#include "support/machine.h"

namespace quillon {
namespace {

// X11 and Wayland number a key by its scan code + 8.
constexpr std::uint32_t KeyCode(int scanCode) { return static_cast<std::uint32_t>(scanCode + 8); }

// The key the window procedure sees for a press of the key with `scanCode` that gives `label`.
int KeyFor(int scanCode, std::uint32_t label) {
  const KeyMessage message = TranslateKeyEvent(true, KeyCode(scanCode), label, false);
  return KeyFromMessage(static_cast<std::uintptr_t>(message.VirtualKey), message.LParam);
}

struct LayoutKey {
  int ScanCode;
  std::uint32_t Label;
  int VirtualKey;
};

TEST(GtkKeyTranslation, FrenchAndGermanKeysGiveTheirLettersDigitsAndPlaces) {
  // French (AZERTY): letters by their labels, the digit row as digits whatever it prints, the
  // punctuation by place; the comma where US keyboards have M is the comma, M is where US
  // keyboards have the semicolon.
  const LayoutKey french[] = {
      {0x02, GDK_KEY_ampersand, '1'},        {0x03, GDK_KEY_eacute, '2'},
      {0x04, GDK_KEY_quotedbl, '3'},         {0x05, GDK_KEY_apostrophe, '4'},
      {0x06, GDK_KEY_parenleft, '5'},        {0x07, GDK_KEY_minus, '6'},
      {0x08, GDK_KEY_egrave, '7'},           {0x09, GDK_KEY_underscore, '8'},
      {0x0A, GDK_KEY_ccedilla, '9'},         {0x0B, GDK_KEY_agrave, '0'},
      {0x0C, GDK_KEY_parenright, VirtualKeyOemMinus},
      {0x10, GDK_KEY_a, 'A'},                {0x11, GDK_KEY_z, 'Z'},
      {0x1E, GDK_KEY_q, 'Q'},                {0x2C, GDK_KEY_w, 'W'},
      {0x27, GDK_KEY_m, 'M'},                {0x32, GDK_KEY_comma, VirtualKeyOemComma},
      {0x33, GDK_KEY_semicolon, VirtualKeyOemComma},
      {0x1A, GDK_KEY_dead_circumflex, VirtualKeyOem4},
      {0x29, GDK_KEY_twosuperior, VirtualKeyOem3},
      {0x2B, GDK_KEY_asterisk, VirtualKeyOem5},
  };
  // German (QWERTZ): Y and Z swapped by label, the umlauts and sharp s by place.
  const LayoutKey german[] = {
      {0x02, GDK_KEY_1, '1'},                {0x0B, GDK_KEY_0, '0'},
      {0x15, GDK_KEY_z, 'Z'},                {0x2C, GDK_KEY_y, 'Y'},
      {0x0C, GDK_KEY_ssharp, VirtualKeyOemMinus},
      {0x0D, GDK_KEY_dead_acute, VirtualKeyOemPlus},
      {0x1A, GDK_KEY_udiaeresis, VirtualKeyOem4},
      {0x1B, GDK_KEY_plus, VirtualKeyOem6},
      {0x27, GDK_KEY_odiaeresis, VirtualKeyOem1},
      {0x28, GDK_KEY_adiaeresis, VirtualKeyOem7},
      {0x29, GDK_KEY_dead_circumflex, VirtualKeyOem3},
      {0x2B, GDK_KEY_numbersign, VirtualKeyOem5},
      {0x35, GDK_KEY_minus, VirtualKeyOem2},
      {0x56, GDK_KEY_less, VirtualKeyOem102},
  };
  for (const auto& layout : {std::span<const LayoutKey>(french), std::span<const LayoutKey>(german)}) {
    for (const LayoutKey& key : layout) {
      EXPECT_EQ(KeyFor(key.ScanCode, key.Label), key.VirtualKey)
          << "scan code " << std::hex << key.ScanCode << ", label " << key.Label;
    }
  }
}

TEST(GtkKeyTranslation, OtherKeysGoByWhatTheyAreWithWindowsScanCodes) {
  struct Case {
    std::uint32_t KeyCode;
    std::uint32_t Keyval;
    int VirtualKey;  // as the window procedure sees it
    int ScanCode;
    bool Extended;
  };
  const Case cases[] = {
      {KeyCode(0x0E), GDK_KEY_BackSpace, VirtualKeyBack, 0x0E, false},
      {KeyCode(0x0F), GDK_KEY_Tab, VirtualKeyTab, 0x0F, false},
      {KeyCode(0x01), GDK_KEY_Escape, VirtualKeyEscape, 0x01, false},
      {KeyCode(0x2A), GDK_KEY_Shift_L, VirtualKeyShift, 0x2A, false},
      {KeyCode(0x36), GDK_KEY_Shift_R, VirtualKeyRightShift, 0x36, false},
      {KeyCode(0x1D), GDK_KEY_Control_L, VirtualKeyControl, 0x1D, false},
      {105, GDK_KEY_Control_R, VirtualKeyRightControl, 0x1D, true},
      {111, GDK_KEY_Up, VirtualKeyUp, 0x48, true},
      {112, GDK_KEY_Page_Up, VirtualKeyPrior, 0x49, true},
      {119, GDK_KEY_Delete, VirtualKeyDelete, 0x53, true},
      {KeyCode(0x3B), GDK_KEY_F1, VirtualKeyF1, 0x3B, false},
      {KeyCode(0x58), GDK_KEY_F12, VirtualKeyF12, 0x58, false},
      {KeyCode(0x46), GDK_KEY_Scroll_Lock, VirtualKeyScrollLock, 0x46, false},
      // The keypad without Num Lock gives the cursor block's codes without the extended flag,
      // which the window procedure takes for the keypad's digits: the joystick does not
      // depend on Num Lock.
      {KeyCode(0x48), GDK_KEY_KP_Up, VirtualKeyNumpad8, 0x48, false},
      {KeyCode(0x52), GDK_KEY_KP_Insert, VirtualKeyNumpad0, 0x52, false},
      {KeyCode(0x4B), GDK_KEY_KP_4, VirtualKeyNumpad4, 0x4B, false},
      {KeyCode(0x53), GDK_KEY_KP_Delete, VirtualKeyDecimal, 0x53, false},
      {KeyCode(0x37), GDK_KEY_KP_Multiply, VirtualKeyMultiply, 0x37, false},
  };
  for (const Case& key : cases) {
    const KeyMessage message = TranslateKeyEvent(true, key.KeyCode, key.Keyval, false);
    SCOPED_TRACE(testing::Message() << "keyval " << std::hex << key.Keyval);
    EXPECT_EQ(message.Message, MessageKeyDown);
    EXPECT_EQ(KeyScanCode(message.LParam), key.ScanCode);
    EXPECT_EQ(KeyIsExtended(message.LParam), key.Extended);
    EXPECT_EQ(KeyFromMessage(static_cast<std::uintptr_t>(message.VirtualKey), message.LParam),
              key.VirtualKey);
  }
  // A release carries the flags of a key that was down and goes up.
  const KeyMessage release = TranslateKeyEvent(false, KeyCode(0x1E), GDK_KEY_a, false);
  EXPECT_EQ(release.Message, MessageKeyUp);
  EXPECT_EQ(static_cast<std::uint32_t>(release.LParam) >> 30, 3u);
  EXPECT_EQ(TranslateKeyEvent(true, 200, GDK_KEY_Print, false).Message, 0u);
}

TEST(GtkKeyTranslation, AltCombinationsAltAndF10AreSystemKeys) {
  const KeyMessage withAlt = TranslateKeyEvent(true, KeyCode(0x1E), GDK_KEY_a, true);
  EXPECT_EQ(withAlt.Message, MessageSysKeyDown);
  EXPECT_EQ(withAlt.VirtualKey, 'A');
  EXPECT_EQ(TranslateKeyEvent(false, KeyCode(0x1E), GDK_KEY_a, true).Message, MessageSysKeyUp);
  EXPECT_EQ(TranslateKeyEvent(true, KeyCode(0x44), GDK_KEY_F10, false).Message,
            MessageSysKeyDown);
  EXPECT_EQ(TranslateKeyEvent(true, KeyCode(0x38), GDK_KEY_Alt_L, false).Message,
            MessageSysKeyDown);
}

// From the key event to the keyboard matrix, through the window procedure.
void Deliver(bool pressed, int scanCode, std::uint32_t label, bool altHeld = false) {
  const KeyMessage key = TranslateKeyEvent(pressed, KeyCode(scanCode), label, altHeld);
  if (key.Message != 0) {
    MainWindowProc(nullptr, key.Message, static_cast<std::uintptr_t>(key.VirtualKey),
                   key.LParam);
  }
  KeyQueueFramesPassed(KeyHoldScans);
}

TEST(GtkKeyTranslation, KeysReachTheMatrixOnlyWithoutAlt) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  // Right Shift with the French 2 key is @ on the C64, with both SHIFT keys let go.
  Deliver(true, 0x36, GDK_KEY_Shift_R);
  EXPECT_EQ(KeyMatrix[6] & 0x10, 0);  // RIGHT SHIFT held
  Deliver(true, 0x03, GDK_KEY_eacute);
  EXPECT_EQ(KeyMatrix[5] & 0x40, 0);     // @ held
  EXPECT_EQ(KeyMatrix[6] & 0x10, 0x10);  // RIGHT SHIFT let go
  Deliver(false, 0x03, GDK_KEY_eacute);
  Deliver(false, 0x36, GDK_KEY_Shift_R);
  for (int column = 0; column < 8; ++column) EXPECT_EQ(KeyMatrix[column], 0xFF) << column;

  // Alt+A and F10 go to the system's default handling and press nothing.
  Deliver(true, 0x38, GDK_KEY_Alt_L);
  Deliver(true, 0x1E, GDK_KEY_a, true);
  Deliver(true, 0x44, GDK_KEY_F10);
  for (int column = 0; column < 8; ++column) EXPECT_EQ(KeyMatrix[column], 0xFF) << column;
  EXPECT_EQ(Headless.DefaultProcCalls, 3);
  EXPECT_EQ(HostKeyDown['A'], 0);
}

}  // namespace
}  // namespace quillon
