// The 6510's arithmetic and flag rules: each operation takes the operand the bus delivered and
// updates the registers and flags. Decimal mode is the NMOS one: A and C are adjusted,
// N, V and Z come from intermediate or binary values.
#pragma once

#include <cstdint>

#include "cpu/cpu.h"

namespace quillon::cpu_internal {

inline void SetFlag(CpuRegisters& r, std::uint8_t flag, bool on) {
  r.P = static_cast<std::uint8_t>(on ? (r.P | flag) : (r.P & ~flag));
}

inline void SetNZ(CpuRegisters& r, std::uint8_t value) {
  r.P = static_cast<std::uint8_t>((r.P & ~(FlagN | FlagZ)) | (value & FlagN) |
                                    (value == 0 ? FlagZ : 0));
}

inline unsigned CarryIn(const CpuRegisters& r) { return r.P & FlagC; }

// --- Operations on a data operand -------------------------------------------------------------

template <std::uint8_t CpuRegisters::*Register>
void Load(CpuRegisters& r, std::uint8_t m) {
  r.*Register = m;
  SetNZ(r, m);
}

inline void LoadAX(CpuRegisters& r, std::uint8_t m) {
  r.A = r.X = m;
  SetNZ(r, m);
}

inline void Ora(CpuRegisters& r, std::uint8_t m) { Load<&CpuRegisters::A>(r, r.A | m); }
inline void And(CpuRegisters& r, std::uint8_t m) { Load<&CpuRegisters::A>(r, r.A & m); }
inline void Eor(CpuRegisters& r, std::uint8_t m) { Load<&CpuRegisters::A>(r, r.A ^ m); }

inline void Bit(CpuRegisters& r, std::uint8_t m) {
  r.P = static_cast<std::uint8_t>((r.P & ~(FlagN | FlagV | FlagZ)) | (m & (FlagN | FlagV)) |
                                    ((r.A & m) == 0 ? FlagZ : 0));
}

template <std::uint8_t CpuRegisters::*Register>
void Compare(CpuRegisters& r, std::uint8_t m) {
  const std::uint8_t value = r.*Register;
  SetNZ(r, static_cast<std::uint8_t>(value - m));
  SetFlag(r, FlagC, value >= m);
}

inline void Adc(CpuRegisters& r, std::uint8_t m) {
  const unsigned a = r.A;
  const unsigned binary = a + m + CarryIn(r);
  if ((r.P & FlagD) == 0) {
    SetFlag(r, FlagC, binary > 0xFF);
    SetFlag(r, FlagV, (~(a ^ m) & (a ^ binary) & 0x80) != 0);
    Load<&CpuRegisters::A>(r, static_cast<std::uint8_t>(binary));
    return;
  }
  unsigned low = (a & 0x0F) + (m & 0x0F) + CarryIn(r);
  if (low >= 0x0A) low += 6;
  if (low >= 0x20) low = (low & 0x0F) + 0x10;
  const unsigned t = (a & 0xF0) + (m & 0xF0) + low;
  SetFlag(r, FlagN, (t & 0x80) != 0);
  SetFlag(r, FlagV, (~(a ^ m) & (a ^ t) & 0x80) != 0);
  SetFlag(r, FlagZ, (binary & 0xFF) == 0);
  SetFlag(r, FlagC, t >= 0xA0);
  r.A = static_cast<std::uint8_t>(t >= 0xA0 ? t + 0x60 : t);
}

inline void Sbc(CpuRegisters& r, std::uint8_t m) {
  const int a = r.A;
  const int borrow = 1 - static_cast<int>(CarryIn(r));
  const int binary = a - m - borrow;
  if ((r.P & FlagD) == 0) {
    SetFlag(r, FlagC, binary >= 0);
    SetFlag(r, FlagV, ((a ^ m) & (a ^ binary) & 0x80) != 0);
    Load<&CpuRegisters::A>(r, static_cast<std::uint8_t>(binary));
    return;
  }
  int low = (a & 0x0F) - borrow - (m & 0x0F) + 0x100;
  if (low < 0x100) {
    low -= 6;
    if (low < 0xF0) low += 0x10;
  }
  const int t = low + (a & 0xF0) - (m & 0xF0);
  SetFlag(r, FlagN, (t & 0x80) != 0);
  SetFlag(r, FlagV, ((a ^ m) & (a ^ t) & 0x80) != 0);
  SetFlag(r, FlagZ, (binary & 0xFF) == 0);
  SetFlag(r, FlagC, t >= 0x100);
  r.A = static_cast<std::uint8_t>(t >= 0x100 ? t : t + 0xA0);
}

// Opcode $0B: the operand shifted left (carry from its bit 7) and ORed into A.
inline void ShiftLeftOra(CpuRegisters& r, std::uint8_t m) {
  SetFlag(r, FlagC, (m & 0x80) != 0);
  Ora(r, static_cast<std::uint8_t>(m << 1));
}

// --- Read-modify-write operations -------------------------------------------------------------
// Apply gets the byte of the first read and, for the shifts that read their operand twice, the
// byte of the second read; it returns the value to write back and sets the flags.

struct ShiftLeft {
  static constexpr bool ReadsTwice = true;
  static std::uint8_t Apply(CpuRegisters& r, std::uint8_t first, std::uint8_t second) {
    SetFlag(r, FlagC, (first & 0x80) != 0);
    const auto value = static_cast<std::uint8_t>(second << 1);
    SetNZ(r, value);
    return value;
  }
};

struct RotateLeft {
  static constexpr bool ReadsTwice = true;
  static std::uint8_t Apply(CpuRegisters& r, std::uint8_t first, std::uint8_t second) {
    const auto value = static_cast<std::uint8_t>((first << 1) | CarryIn(r));
    SetFlag(r, FlagC, (second & 0x80) != 0);
    SetNZ(r, value);
    return value;
  }
};

struct RotateRight {
  static constexpr bool ReadsTwice = true;
  static std::uint8_t Apply(CpuRegisters& r, std::uint8_t first, std::uint8_t second) {
    const auto value = static_cast<std::uint8_t>((first >> 1) | (CarryIn(r) << 7));
    SetFlag(r, FlagC, (second & 0x01) != 0);
    SetNZ(r, value);
    return value;
  }
};

struct ShiftRight {
  static constexpr bool ReadsTwice = false;
  static std::uint8_t Apply(CpuRegisters& r, std::uint8_t first, std::uint8_t) {
    SetFlag(r, FlagC, (first & 0x01) != 0);
    const auto value = static_cast<std::uint8_t>(first >> 1);
    SetNZ(r, value);
    return value;
  }
};

struct Increment {
  static constexpr bool ReadsTwice = false;
  static std::uint8_t Apply(CpuRegisters& r, std::uint8_t first, std::uint8_t) {
    const auto value = static_cast<std::uint8_t>(first + 1);
    SetNZ(r, value);
    return value;
  }
};

struct Decrement {
  static constexpr bool ReadsTwice = false;
  static std::uint8_t Apply(CpuRegisters& r, std::uint8_t first, std::uint8_t) {
    const auto value = static_cast<std::uint8_t>(first - 1);
    SetNZ(r, value);
    return value;
  }
};

}  // namespace quillon::cpu_internal
