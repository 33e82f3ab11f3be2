// The 6510's registers and what its instructions compute on them, apart from the bus: each
// operation takes the byte the bus delivered and updates registers and flags. The
// undocumented opcodes are the NMOS chip's real ones, decimal mode included.
#pragma once

#include <cstdint>

#include "interface/status_flags.h"

namespace quillon::accurate {

// The registers as a program sees them between instructions. The chip has no storage for bits 5
// and 4 of P; the core keeps them set, as PHP shows them, and ignores them when it pushes P.
struct CpuRegisters {
  std::uint8_t A = 0;
  std::uint8_t X = 0;
  std::uint8_t Y = 0;
  std::uint8_t S = 0;
  std::uint8_t P = FlagUnused | FlagB | FlagI;
  std::uint16_t PC = 0;
};

// What ANE ($8B) and LXA ($AB) OR into A before their ANDs. The real chips differ and drift with
// temperature; $EE is the common value, and the one the programs that use these opcodes work
// with.
inline constexpr std::uint8_t AneLxaMagic = 0xEE;

namespace cpu_internal {

// Decimal mode's results, rare enough to be called out of line. DecimalAdc sets A and all four
// flags; DecimalSbcResult is only the accumulator, since SBC's flags are the binary ones;
// DecimalArr finishes ARR from the AND result `t` and sets A, N, V, Z and C.
void DecimalAdc(CpuRegisters& r, std::uint8_t m);
std::uint8_t DecimalSbcResult(std::uint8_t a, std::uint8_t m, unsigned carry);
void DecimalArr(CpuRegisters& r, std::uint8_t t);

inline void SetFlag(CpuRegisters& r, std::uint8_t flag, bool on) {
  r.P = static_cast<std::uint8_t>(on ? (r.P | flag) : (r.P & ~flag));
}

inline void SetNZ(CpuRegisters& r, std::uint8_t value) {
  r.P = static_cast<std::uint8_t>((r.P & ~(FlagN | FlagZ)) | (value & FlagN) |
                                  (value == 0 ? FlagZ : 0));
}

inline unsigned Carry(const CpuRegisters& r) { return r.P & FlagC; }

// --- Operations on a byte read --------------------------------------------------------------

inline void Lda(CpuRegisters& r, std::uint8_t m) { SetNZ(r, r.A = m); }
inline void Ldx(CpuRegisters& r, std::uint8_t m) { SetNZ(r, r.X = m); }
inline void Ldy(CpuRegisters& r, std::uint8_t m) { SetNZ(r, r.Y = m); }
inline void Lax(CpuRegisters& r, std::uint8_t m) { SetNZ(r, r.A = r.X = m); }
inline void Ora(CpuRegisters& r, std::uint8_t m) { Lda(r, static_cast<std::uint8_t>(r.A | m)); }
inline void And(CpuRegisters& r, std::uint8_t m) { Lda(r, static_cast<std::uint8_t>(r.A & m)); }
inline void Eor(CpuRegisters& r, std::uint8_t m) { Lda(r, static_cast<std::uint8_t>(r.A ^ m)); }

inline void Bit(CpuRegisters& r, std::uint8_t m) {
  r.P = static_cast<std::uint8_t>((r.P & ~(FlagN | FlagV | FlagZ)) | (m & (FlagN | FlagV)) |
                                  ((r.A & m) == 0 ? FlagZ : 0));
}

// CMP, CPX, CPY, DCP and SBX compare in binary whatever D says.
inline void Compare(CpuRegisters& r, std::uint8_t value, std::uint8_t m) {
  SetNZ(r, static_cast<std::uint8_t>(value - m));
  SetFlag(r, FlagC, value >= m);
}
inline void Cmp(CpuRegisters& r, std::uint8_t m) { Compare(r, r.A, m); }
inline void Cpx(CpuRegisters& r, std::uint8_t m) { Compare(r, r.X, m); }
inline void Cpy(CpuRegisters& r, std::uint8_t m) { Compare(r, r.Y, m); }

inline void Adc(CpuRegisters& r, std::uint8_t m) {
  if ((r.P & FlagD) != 0) return DecimalAdc(r, m);
  const unsigned sum = r.A + m + Carry(r);
  SetFlag(r, FlagC, sum > 0xFF);
  SetFlag(r, FlagV, ((r.A ^ sum) & (m ^ sum) & 0x80) != 0);
  Lda(r, static_cast<std::uint8_t>(sum));
}

// N, V, Z and C are the binary subtraction's in both modes; D changes only the result.
inline void Sbc(CpuRegisters& r, std::uint8_t m) {
  const unsigned difference = r.A - m - (1 - Carry(r));
  const auto binary = static_cast<std::uint8_t>(difference);
  SetFlag(r, FlagV, ((r.A ^ m) & (r.A ^ binary) & 0x80) != 0);
  const std::uint8_t result =
      (r.P & FlagD) != 0 ? DecimalSbcResult(r.A, m, Carry(r)) : binary;
  SetFlag(r, FlagC, difference < 0x100);
  SetNZ(r, binary);
  r.A = result;
}

inline void Anc(CpuRegisters& r, std::uint8_t m) {
  And(r, m);
  SetFlag(r, FlagC, (r.A & 0x80) != 0);
}

inline void Alr(CpuRegisters& r, std::uint8_t m) {
  const auto t = static_cast<std::uint8_t>(r.A & m);
  SetFlag(r, FlagC, (t & 1) != 0);
  Lda(r, static_cast<std::uint8_t>(t >> 1));
}

// AND, then ROR through the adder: in binary mode C and V come from bits 6 and 5 of the result.
inline void Arr(CpuRegisters& r, std::uint8_t m) {
  const auto t = static_cast<std::uint8_t>(r.A & m);
  if ((r.P & FlagD) != 0) return DecimalArr(r, t);
  Lda(r, static_cast<std::uint8_t>((t >> 1) | (Carry(r) << 7)));
  SetFlag(r, FlagC, (r.A & 0x40) != 0);
  SetFlag(r, FlagV, ((r.A ^ (r.A << 1)) & 0x40) != 0);
}

// X = (A AND X) - #i, a compare's subtraction: no borrow in, V kept.
inline void Sbx(CpuRegisters& r, std::uint8_t m) {
  const auto t = static_cast<std::uint8_t>(r.A & r.X);
  SetFlag(r, FlagC, t >= m);
  Ldx(r, static_cast<std::uint8_t>(t - m));
}

inline void Ane(CpuRegisters& r, std::uint8_t m) {
  Lda(r, static_cast<std::uint8_t>((r.A | AneLxaMagic) & r.X & m));
}

inline void Lxa(CpuRegisters& r, std::uint8_t m) {
  Lax(r, static_cast<std::uint8_t>((r.A | AneLxaMagic) & m));
}

inline void Las(CpuRegisters& r, std::uint8_t m) {
  r.S = static_cast<std::uint8_t>(m & r.S);
  Lax(r, r.S);
}

// --- Read-modify-write operations: the value to write back --------------------------------

inline std::uint8_t Asl(CpuRegisters& r, std::uint8_t m) {
  SetFlag(r, FlagC, (m & 0x80) != 0);
  const auto value = static_cast<std::uint8_t>(m << 1);
  SetNZ(r, value);
  return value;
}

inline std::uint8_t Lsr(CpuRegisters& r, std::uint8_t m) {
  SetFlag(r, FlagC, (m & 1) != 0);
  const auto value = static_cast<std::uint8_t>(m >> 1);
  SetNZ(r, value);
  return value;
}

inline std::uint8_t Rol(CpuRegisters& r, std::uint8_t m) {
  const auto value = static_cast<std::uint8_t>((m << 1) | Carry(r));
  SetFlag(r, FlagC, (m & 0x80) != 0);
  SetNZ(r, value);
  return value;
}

inline std::uint8_t Ror(CpuRegisters& r, std::uint8_t m) {
  const auto value = static_cast<std::uint8_t>((m >> 1) | (Carry(r) << 7));
  SetFlag(r, FlagC, (m & 1) != 0);
  SetNZ(r, value);
  return value;
}

inline std::uint8_t Inc(CpuRegisters& r, std::uint8_t m) {
  const auto value = static_cast<std::uint8_t>(m + 1);
  SetNZ(r, value);
  return value;
}

inline std::uint8_t Dec(CpuRegisters& r, std::uint8_t m) {
  const auto value = static_cast<std::uint8_t>(m - 1);
  SetNZ(r, value);
  return value;
}

// The undocumented ones: a shift, rotate or step written back, then an operation on A with it.
inline std::uint8_t Slo(CpuRegisters& r, std::uint8_t m) {
  const std::uint8_t value = Asl(r, m);
  Ora(r, value);
  return value;
}

inline std::uint8_t Rla(CpuRegisters& r, std::uint8_t m) {
  const std::uint8_t value = Rol(r, m);
  And(r, value);
  return value;
}

inline std::uint8_t Sre(CpuRegisters& r, std::uint8_t m) {
  const std::uint8_t value = Lsr(r, m);
  Eor(r, value);
  return value;
}

inline std::uint8_t Rra(CpuRegisters& r, std::uint8_t m) {
  const std::uint8_t value = Ror(r, m);
  Adc(r, value);
  return value;
}

inline std::uint8_t Dcp(CpuRegisters& r, std::uint8_t m) {
  const auto value = static_cast<std::uint8_t>(m - 1);
  Cmp(r, value);
  return value;
}

inline std::uint8_t Isc(CpuRegisters& r, std::uint8_t m) {
  const auto value = static_cast<std::uint8_t>(m + 1);
  Sbc(r, value);
  return value;
}

}  // namespace cpu_internal
}  // namespace quillon::accurate
