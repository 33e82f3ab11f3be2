#include "cia/cia.h"

#include "cia/keyboard.h"

namespace quillon {

CiaState Cia1 = {};
CiaState Cia2 = {};
std::uint8_t KeyMatrix[8] = {};
std::uint8_t HostKeyDown[256] = {};

void CiaStep() {}
std::uint8_t CiaRead(CiaState&, std::uint8_t) { return 0xFF; }
void CiaWrite(CiaState&, std::uint8_t, std::uint8_t) {}
void CiaHardReset() {}
std::uint8_t JoystickRead() { return 0x1F; }

}  // namespace quillon
