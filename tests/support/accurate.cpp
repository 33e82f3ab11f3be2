#include "support/accurate.h"

#include "interface/create_machine.h"

namespace quillon::test {

std::unique_ptr<Machine> BootAccurate(bool newCias) {
  auto machine = CreateMachine(MachineModel::Accurate, {.NewCias = newCias});
  machine->PowerOn();
  for (int frame = 0; frame < 300 && !BasicWaitsForInput(*machine); ++frame) machine->RunFrames(1);
  return machine;
}

std::string ScreenRow(const Machine& machine, int row) {
  std::string text;
  const std::uint16_t screen = machine.ScreenAddress();
  for (int column = 0; column < 40; ++column) {
    const unsigned code = machine.Ram()[(screen + row * 40 + column) & 0xFFFF] & 0x7F;
    // Screen codes 1-26 are the letters; 32-63 match ASCII.
    text += static_cast<char>(code >= 1 && code <= 26 ? code + 0x40 : code < 64 ? code : '?');
  }
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

}  // namespace quillon::test
