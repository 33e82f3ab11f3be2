// The addressing modes: each works out EffectiveAddress from the operand bytes that follow the
// opcode and tells whether indexing carried into another page than the base address.
#pragma once

#include <cstdint>

#include "core/memory.h"
#include "cpu/cpu.h"

namespace quillon::cpu_internal {

inline std::uint8_t OperandByte() { return MemRead(static_cast<std::uint16_t>(Cpu.PC + 1)); }

// Low byte first, as the bytes follow the opcode.
inline std::uint16_t OperandWord() {
  const std::uint8_t low = OperandByte();
  const std::uint8_t high = MemRead(static_cast<std::uint16_t>(Cpu.PC + 2));
  return static_cast<std::uint16_t>(low | (high << 8));
}

// Indexing of a 16-bit base; the result wraps at 64 KB and the page check compares high bytes.
inline bool IndexFrom(std::uint16_t base, std::uint8_t index) {
  Cpu.EffectiveAddress = static_cast<std::uint16_t>(base + index);
  return ((base ^ Cpu.EffectiveAddress) & 0xFF00) != 0;
}

// The operand is the byte after the opcode itself.
struct Immediate {
  static constexpr std::uint16_t Length = 2;
  static constexpr bool PageCrossCosts = false;
  static bool Resolve() {
    Cpu.EffectiveAddress = static_cast<std::uint16_t>(Cpu.PC + 1);
    return false;
  }
};

struct ZeroPage {
  static constexpr std::uint16_t Length = 2;
  static constexpr bool PageCrossCosts = false;
  static bool Resolve() {
    Cpu.EffectiveAddress = OperandByte();
    return false;
  }
};

// zp,X and zp,Y stay in page zero.
template <std::uint8_t CpuState::*Index>
struct ZeroPageIndexed {
  static constexpr std::uint16_t Length = 2;
  static constexpr bool PageCrossCosts = false;
  static bool Resolve() {
    Cpu.EffectiveAddress = static_cast<std::uint8_t>(OperandByte() + Cpu.*Index);
    return false;
  }
};
using ZeroPageX = ZeroPageIndexed<&CpuState::X>;
using ZeroPageY = ZeroPageIndexed<&CpuState::Y>;

struct Absolute {
  static constexpr std::uint16_t Length = 3;
  static constexpr bool PageCrossCosts = false;
  static bool Resolve() {
    Cpu.EffectiveAddress = OperandWord();
    return false;
  }
};

template <std::uint8_t CpuState::*Index>
struct AbsoluteIndexed {
  static constexpr std::uint16_t Length = 3;
  static constexpr bool PageCrossCosts = true;
  static bool Resolve() { return IndexFrom(OperandWord(), Cpu.*Index); }
};
using AbsoluteX = AbsoluteIndexed<&CpuState::X>;
using AbsoluteY = AbsoluteIndexed<&CpuState::Y>;

// (zp,X): the pointer wraps in page zero, but its high byte comes from pointer + 1 without
// wrapping, so a pointer at $FF takes its high byte from $0100.
struct IndexedIndirect {
  static constexpr std::uint16_t Length = 2;
  static constexpr bool PageCrossCosts = false;
  static bool Resolve() {
    const std::uint8_t pointer = static_cast<std::uint8_t>(OperandByte() + Cpu.X);
    Cpu.EffectiveAddress = MemReadWord(pointer);
    return false;
  }
};

// (zp),Y: the same pointer rule; the page check compares the pointer's word with the result.
struct IndirectIndexed {
  static constexpr std::uint16_t Length = 2;
  static constexpr bool PageCrossCosts = true;
  static bool Resolve() { return IndexFrom(MemReadWord(OperandByte()), Cpu.Y); }
};

}  // namespace quillon::cpu_internal
