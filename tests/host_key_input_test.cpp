#include <gtest/gtest.h>

#include <string>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "host/autostart.h"
#include "host/headless/headless_backend.h"
#include "host/key_queue.h"
#include "host/messages.h"
#include "host/typed_text.h"
#include "host/window_proc.h"
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
  for (int frame = 0; frame < 400 && !BasicWaitsForInput(); ++frame) RunQueuedFrames(1);
  ASSERT_TRUE(BasicWaitsForInput());
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

}  // namespace
}  // namespace quillon
