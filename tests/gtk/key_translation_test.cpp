#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include "cia/keyboard.h"
#include "host/gtk/key_translation.h"
#include "host/headless/headless_backend.h"
#include "host/messages.h"
#include "host/window_proc.h"
#include "support/machine.h"

namespace quillon {
namespace {

struct KeyCase {
  std::uint32_t Keyval;
  int VirtualKey;
};

TEST(GtkKeyTranslation, EveryKeyOfTheKeyTableGetsItsWindowsCode) {
  const KeyCase cases[] = {
      {GDK_KEY_a, 0x41},          {GDK_KEY_z, 0x5A},          {GDK_KEY_Q, 0x51},
      {GDK_KEY_0, 0x30},          {GDK_KEY_9, 0x39},          {GDK_KEY_Return, 0x0D},
      {GDK_KEY_KP_Enter, 0x0D},   {GDK_KEY_Shift_L, 0x10},    {GDK_KEY_Shift_R, 0x10},
      {GDK_KEY_Control_L, 0x11},  {GDK_KEY_Control_R, 0x11},  {GDK_KEY_Pause, 0x13},
      {GDK_KEY_Escape, 0x1B},     {GDK_KEY_space, 0x20},      {GDK_KEY_Home, 0x24},
      {GDK_KEY_Left, 0x25},       {GDK_KEY_Up, 0x26},         {GDK_KEY_Right, 0x27},
      {GDK_KEY_Down, 0x28},       {GDK_KEY_Insert, 0x2D},     {GDK_KEY_Delete, 0x2E},
      {GDK_KEY_KP_Multiply, 0x6A}, {GDK_KEY_KP_Add, 0x6B},    {GDK_KEY_KP_Subtract, 0x6D},
      {GDK_KEY_KP_Decimal, 0x6E}, {GDK_KEY_KP_Divide, 0x6F},  {GDK_KEY_F1, 0x70},
      {GDK_KEY_F8, 0x77},         {GDK_KEY_F10, 0x79},        {GDK_KEY_F11, 0x7A},
      {GDK_KEY_F12, 0x7B},        {GDK_KEY_Scroll_Lock, 0x91}, {GDK_KEY_semicolon, 0xBA},
      {GDK_KEY_equal, 0xBB},      {GDK_KEY_comma, 0xBC},      {GDK_KEY_minus, 0xBD},
      {GDK_KEY_period, 0xBE},     {GDK_KEY_slash, 0xBF},      {GDK_KEY_bracketleft, 0xDB},
      {GDK_KEY_bracketright, 0xDD}, {GDK_KEY_apostrophe, 0xDE},
  };
  for (const KeyCase& key : cases) {
    EXPECT_EQ(VirtualKeyFromKeyval(key.Keyval), key.VirtualKey) << "keyval " << std::hex
                                                                << key.Keyval;
  }
  // Characters that only Shift makes are no keys of their own: the backend translates a key
  // by its unshifted value, so Shift+2 stays the 2 key.
  for (std::uint32_t shifted : {GDK_KEY_at, GDK_KEY_asterisk, GDK_KEY_quotedbl, GDK_KEY_colon}) {
    EXPECT_EQ(VirtualKeyFromKeyval(shifted), 0) << "keyval " << std::hex << shifted;
  }
}

TEST(GtkKeyTranslation, KeypadGivesItsDigitsWithNumLockOnOrOff) {
  const KeyCase cases[] = {
      {GDK_KEY_KP_8, 0x68}, {GDK_KEY_KP_Up, 0x68},     {GDK_KEY_KP_2, 0x62},
      {GDK_KEY_KP_Down, 0x62}, {GDK_KEY_KP_4, 0x64},   {GDK_KEY_KP_Left, 0x64},
      {GDK_KEY_KP_6, 0x66}, {GDK_KEY_KP_Right, 0x66},  {GDK_KEY_KP_0, 0x60},
      {GDK_KEY_KP_Insert, 0x60}, {GDK_KEY_KP_5, 0x65}, {GDK_KEY_KP_Begin, 0x65},
      {GDK_KEY_KP_Delete, 0x6E},
  };
  for (const KeyCase& key : cases) {
    EXPECT_EQ(VirtualKeyFromKeyval(key.Keyval), key.VirtualKey) << "keyval " << std::hex
                                                                << key.Keyval;
  }
}

TEST(GtkKeyTranslation, AltCombinationsAltAndF10AreSystemKeys) {
  const KeyMessage plain = TranslateKeyEvent(true, GDK_KEY_a, false);
  EXPECT_EQ(plain.Message, MessageKeyDown);
  EXPECT_EQ(plain.VirtualKey, 0x41);
  EXPECT_EQ(TranslateKeyEvent(false, GDK_KEY_a, false).Message, MessageKeyUp);

  const KeyMessage withAlt = TranslateKeyEvent(true, GDK_KEY_a, true);
  EXPECT_EQ(withAlt.Message, MessageSysKeyDown);
  EXPECT_EQ(withAlt.VirtualKey, 0x41);
  EXPECT_EQ(TranslateKeyEvent(false, GDK_KEY_a, true).Message, MessageSysKeyUp);
  EXPECT_EQ(TranslateKeyEvent(true, GDK_KEY_F10, false).Message, MessageSysKeyDown);
  EXPECT_EQ(TranslateKeyEvent(true, GDK_KEY_Alt_L, false).Message, MessageSysKeyDown);
  EXPECT_EQ(TranslateKeyEvent(true, GDK_KEY_Print, false).Message, 0u);
}

// From the key event to the keyboard matrix, through the window procedure.
void Deliver(bool pressed, std::uint32_t keyval, bool altHeld) {
  const KeyMessage key = TranslateKeyEvent(pressed, keyval, altHeld);
  if (key.Message != 0) {
    MainWindowProc(nullptr, key.Message, static_cast<std::uintptr_t>(key.VirtualKey), 0);
  }
}

TEST(GtkKeyTranslation, KeysReachTheMatrixOnlyWithoutAlt) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  // Shift with the 2 key is @ on the C64, with LEFT SHIFT let go.
  Deliver(true, GDK_KEY_Shift_L, false);
  Deliver(true, GDK_KEY_2, false);
  EXPECT_EQ(KeyMatrix[5] & 0x40, 0);     // @ held
  EXPECT_EQ(KeyMatrix[1] & 0x80, 0x80);  // LEFT SHIFT released
  EXPECT_EQ(KeyMatrix[7] & 0x08, 0x08);  // not the 2
  Deliver(false, GDK_KEY_2, false);
  Deliver(false, GDK_KEY_Shift_L, false);
  EXPECT_EQ(KeyMatrix[5], 0xFF);

  // Alt+A and F10 go to the system's default handling and press nothing.
  Deliver(true, GDK_KEY_Alt_L, false);
  Deliver(true, GDK_KEY_a, true);
  Deliver(true, GDK_KEY_F10, false);
  for (int column = 0; column < 8; ++column) EXPECT_EQ(KeyMatrix[column], 0xFF) << column;
  EXPECT_EQ(Headless.DefaultProcCalls, 3);
  EXPECT_EQ(HostKeyDown[0x41], 0);

  // The keypad's 8 is joystick up, with Num Lock off as well.
  Deliver(true, GDK_KEY_KP_Up, false);
  EXPECT_EQ(HostKeyDown[VirtualKeyNumpad8], 1);
  EXPECT_EQ(JoystickRead() & 0x01, 0);
}

}  // namespace
}  // namespace quillon
