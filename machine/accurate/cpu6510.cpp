#include "accurate/cpu6510_alu.h"

namespace quillon::accurate::cpu_internal {

// The NMOS adder in decimal mode: each digit is corrected by 6 when it passes 9. N and V are
// read from the sum between the two corrections, Z from the binary sum; invalid digits go
// through the same steps ($5F + $0B gives $60).
void DecimalAdc(CpuRegisters& r, std::uint8_t m) {
  const unsigned a = r.A;
  const unsigned carry = Carry(r);
  unsigned low = (a & 0x0F) + (m & 0x0F) + carry;
  if (low >= 0x0A) low = ((low + 0x06) & 0x0F) + 0x10;
  unsigned sum = (a & 0xF0) + (m & 0xF0) + low;
  SetFlag(r, FlagN, (sum & 0x80) != 0);
  SetFlag(r, FlagV, ((a ^ sum) & (m ^ sum) & 0x80) != 0);
  SetFlag(r, FlagZ, ((a + m + carry) & 0xFF) == 0);
  if (sum >= 0xA0) sum += 0x60;
  SetFlag(r, FlagC, sum >= 0x100);
  r.A = static_cast<std::uint8_t>(sum);
}

// Each digit that borrowed is corrected by 6, the low one inside its own nibble.
std::uint8_t DecimalSbcResult(std::uint8_t a, std::uint8_t m, unsigned carry) {
  int low = (a & 0x0F) - (m & 0x0F) + static_cast<int>(carry) - 1;
  if (low < 0) low = ((low - 0x06) & 0x0F) - 0x10;
  int result = (a & 0xF0) - (m & 0xF0) + low;
  if (result < 0) result -= 0x60;
  return static_cast<std::uint8_t>(result);
}

// The rotate is the binary one; N is the carry rotated in, Z and V come from the rotated value
// before the digits are corrected, and C tells whether the high digit was.
void DecimalArr(CpuRegisters& r, std::uint8_t t) {
  const unsigned high = t >> 4;
  const unsigned low = t & 0x0F;
  const unsigned carry = Carry(r);
  auto result = static_cast<std::uint8_t>((t >> 1) | (carry << 7));
  SetFlag(r, FlagN, carry != 0);
  SetFlag(r, FlagZ, result == 0);
  SetFlag(r, FlagV, ((t ^ result) & 0x40) != 0);
  if (low + (low & 1) > 5) {
    result = static_cast<std::uint8_t>((result & 0xF0) | ((result + 6) & 0x0F));
  }
  const bool highCorrected = high + (high & 1) > 5;
  if (highCorrected) result = static_cast<std::uint8_t>(result + 0x60);
  SetFlag(r, FlagC, highCorrected);
  r.A = result;
}

}  // namespace quillon::accurate::cpu_internal
