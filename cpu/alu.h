// The 6510's arithmetic and flag rules: each operation takes the operand the bus delivered and
// updates the registers and flags of Cpu. Decimal mode is the NMOS one: A and C are adjusted,
// N, V and Z come from intermediate or binary values.
#pragma once

#include <cstdint>

#include "cpu/cpu.h"

namespace quillon::cpu_internal {

inline void SetFlag(std::uint8_t flag, bool on) {
  Cpu.P = static_cast<std::uint8_t>(on ? (Cpu.P | flag) : (Cpu.P & ~flag));
}

inline void SetNZ(std::uint8_t value) {
  Cpu.P = static_cast<std::uint8_t>((Cpu.P & ~(FlagN | FlagZ)) | (value & FlagN) |
                                    (value == 0 ? FlagZ : 0));
}

inline unsigned CarryIn() { return Cpu.P & FlagC; }

// --- Operations on a data operand -------------------------------------------------------------

template <std::uint8_t CpuState::*Register>
void Load(std::uint8_t m) {
  Cpu.*Register = m;
  SetNZ(m);
}

inline void LoadAX(std::uint8_t m) {
  Cpu.A = Cpu.X = m;
  SetNZ(m);
}

inline void Ora(std::uint8_t m) { Load<&CpuState::A>(Cpu.A | m); }
inline void And(std::uint8_t m) { Load<&CpuState::A>(Cpu.A & m); }
inline void Eor(std::uint8_t m) { Load<&CpuState::A>(Cpu.A ^ m); }

inline void Bit(std::uint8_t m) {
  Cpu.P = static_cast<std::uint8_t>((Cpu.P & ~(FlagN | FlagV | FlagZ)) | (m & (FlagN | FlagV)) |
                                    ((Cpu.A & m) == 0 ? FlagZ : 0));
}

template <std::uint8_t CpuState::*Register>
void Compare(std::uint8_t m) {
  const std::uint8_t r = Cpu.*Register;
  SetNZ(static_cast<std::uint8_t>(r - m));
  SetFlag(FlagC, r >= m);
}

inline void Adc(std::uint8_t m) {
  const unsigned a = Cpu.A;
  const unsigned binary = a + m + CarryIn();
  if ((Cpu.P & FlagD) == 0) {
    SetFlag(FlagC, binary > 0xFF);
    SetFlag(FlagV, (~(a ^ m) & (a ^ binary) & 0x80) != 0);
    Load<&CpuState::A>(static_cast<std::uint8_t>(binary));
    return;
  }
  unsigned low = (a & 0x0F) + (m & 0x0F) + CarryIn();
  if (low >= 0x0A) low += 6;
  if (low >= 0x20) low = (low & 0x0F) + 0x10;
  const unsigned t = (a & 0xF0) + (m & 0xF0) + low;
  SetFlag(FlagN, (t & 0x80) != 0);
  SetFlag(FlagV, (~(a ^ m) & (a ^ t) & 0x80) != 0);
  SetFlag(FlagZ, (binary & 0xFF) == 0);
  SetFlag(FlagC, t >= 0xA0);
  Cpu.A = static_cast<std::uint8_t>(t >= 0xA0 ? t + 0x60 : t);
}

inline void Sbc(std::uint8_t m) {
  const int a = Cpu.A;
  const int borrow = 1 - static_cast<int>(CarryIn());
  const int binary = a - m - borrow;
  if ((Cpu.P & FlagD) == 0) {
    SetFlag(FlagC, binary >= 0);
    SetFlag(FlagV, ((a ^ m) & (a ^ binary) & 0x80) != 0);
    Load<&CpuState::A>(static_cast<std::uint8_t>(binary));
    return;
  }
  int low = (a & 0x0F) - borrow - (m & 0x0F) + 0x100;
  if (low < 0x100) {
    low -= 6;
    if (low < 0xF0) low += 0x10;
  }
  const int t = low + (a & 0xF0) - (m & 0xF0);
  SetFlag(FlagN, (t & 0x80) != 0);
  SetFlag(FlagV, ((a ^ m) & (a ^ t) & 0x80) != 0);
  SetFlag(FlagZ, (binary & 0xFF) == 0);
  SetFlag(FlagC, t >= 0x100);
  Cpu.A = static_cast<std::uint8_t>(t >= 0x100 ? t : t + 0xA0);
}

// Opcode $0B: the operand shifted left (carry from its bit 7) and ORed into A.
inline void ShiftLeftOra(std::uint8_t m) {
  SetFlag(FlagC, (m & 0x80) != 0);
  Ora(static_cast<std::uint8_t>(m << 1));
}

// --- Read-modify-write operations -------------------------------------------------------------
// Apply gets the byte of the first read and, for the shifts that read their operand twice, the
// byte of the second read; it returns the value to write back and sets the flags.

struct ShiftLeft {
  static constexpr bool ReadsTwice = true;
  static std::uint8_t Apply(std::uint8_t first, std::uint8_t second) {
    SetFlag(FlagC, (first & 0x80) != 0);
    const auto value = static_cast<std::uint8_t>(second << 1);
    SetNZ(value);
    return value;
  }
};

struct RotateLeft {
  static constexpr bool ReadsTwice = true;
  static std::uint8_t Apply(std::uint8_t first, std::uint8_t second) {
    const auto value = static_cast<std::uint8_t>((first << 1) | CarryIn());
    SetFlag(FlagC, (second & 0x80) != 0);
    SetNZ(value);
    return value;
  }
};

struct RotateRight {
  static constexpr bool ReadsTwice = true;
  static std::uint8_t Apply(std::uint8_t first, std::uint8_t second) {
    const auto value = static_cast<std::uint8_t>((first >> 1) | (CarryIn() << 7));
    SetFlag(FlagC, (second & 0x01) != 0);
    SetNZ(value);
    return value;
  }
};

struct ShiftRight {
  static constexpr bool ReadsTwice = false;
  static std::uint8_t Apply(std::uint8_t first, std::uint8_t) {
    SetFlag(FlagC, (first & 0x01) != 0);
    const auto value = static_cast<std::uint8_t>(first >> 1);
    SetNZ(value);
    return value;
  }
};

struct Increment {
  static constexpr bool ReadsTwice = false;
  static std::uint8_t Apply(std::uint8_t first, std::uint8_t) {
    const auto value = static_cast<std::uint8_t>(first + 1);
    SetNZ(value);
    return value;
  }
};

struct Decrement {
  static constexpr bool ReadsTwice = false;
  static std::uint8_t Apply(std::uint8_t first, std::uint8_t) {
    const auto value = static_cast<std::uint8_t>(first - 1);
    SetNZ(value);
    return value;
  }
};

}  // namespace quillon::cpu_internal
