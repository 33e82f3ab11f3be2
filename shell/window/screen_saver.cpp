#include "window/screen_saver.h"

#include "session/host_state.h"
#include "platform/platform.h"

namespace quillon {
namespace {

// What the platform was last asked: -1 nothing yet, 0 allowed, 1 held off.
int HeldOff = -1;

void AskPlatform(bool hold) {
  if (HeldOff == (hold ? 1 : 0)) return;
  HeldOff = hold ? 1 : 0;
  if (Platform.HoldOffScreenSaver != nullptr) Platform.HoldOffScreenSaver(hold);
}

}  // namespace

void FollowScreenSaverHold() { AskPlatform(!Host.Paused || Host.TraceMode); }

void ReleaseScreenSaverHold() {
  AskPlatform(false);
  HeldOff = -1;
}

}  // namespace quillon
