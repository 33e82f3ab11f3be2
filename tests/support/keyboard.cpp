#include "support/keyboard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/command_line.h"
#include "host/key_table.h"
#include "host/messages.h"
#include "support/machine.h"

namespace quillon::test {

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
