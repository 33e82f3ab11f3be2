// The addressing modes: each works out EffectiveAddress from the operand bytes that follow the
// opcode and tells whether indexing carried into another page than the base address.
#pragma once

#include <cstdint>

#include "core/memory.h"
#include "cpu/cpu.h"

namespace quillon::cpu_internal {

// The operand bytes are read as the instruction stream, not as data.
[[gnu::always_inline]] inline std::uint8_t OperandByte(const CpuRegisters& r) {
  return MemReadCode(static_cast<std::uint16_t>(r.PC + 1));
}

// Low byte first, as the bytes follow the opcode.
[[gnu::always_inline]] inline std::uint16_t OperandWord(const CpuRegisters& r) {
  const std::uint8_t low = OperandByte(r);
  const std::uint8_t high = MemReadCode(static_cast<std::uint16_t>(r.PC + 2));
  return static_cast<std::uint16_t>(low | (high << 8));
}

// Indexing of a 16-bit base; the result wraps at 64 KB and the page check compares high bytes.
inline bool IndexFrom(CpuRegisters& r, std::uint16_t base, std::uint8_t index) {
  r.EffectiveAddress = static_cast<std::uint16_t>(base + index);
  return ((base ^ r.EffectiveAddress) & 0xFF00) != 0;
}

// The operand is the byte after the opcode itself.
struct Immediate {
  static constexpr std::uint16_t Length = 2;
  static constexpr bool PageCrossCosts = false;
  static bool Resolve(CpuRegisters& r) {
    r.EffectiveAddress = static_cast<std::uint16_t>(r.PC + 1);
    return false;
  }
};

struct ZeroPage {
  static constexpr std::uint16_t Length = 2;
  static constexpr bool PageCrossCosts = false;
  static bool Resolve(CpuRegisters& r) {
    r.EffectiveAddress = OperandByte(r);
    return false;
  }
};

// zp,X and zp,Y stay in page zero.
template <std::uint8_t CpuRegisters::*Index>
struct ZeroPageIndexed {
  static constexpr std::uint16_t Length = 2;
  static constexpr bool PageCrossCosts = false;
  static bool Resolve(CpuRegisters& r) {
    r.EffectiveAddress = static_cast<std::uint8_t>(OperandByte(r) + r.*Index);
    return false;
  }
};
using ZeroPageX = ZeroPageIndexed<&CpuRegisters::X>;
using ZeroPageY = ZeroPageIndexed<&CpuRegisters::Y>;

struct Absolute {
  static constexpr std::uint16_t Length = 3;
  static constexpr bool PageCrossCosts = false;
  static bool Resolve(CpuRegisters& r) {
    r.EffectiveAddress = OperandWord(r);
    return false;
  }
};

template <std::uint8_t CpuRegisters::*Index>
struct AbsoluteIndexed {
  static constexpr std::uint16_t Length = 3;
  static constexpr bool PageCrossCosts = true;
  static bool Resolve(CpuRegisters& r) { return IndexFrom(r, OperandWord(r), r.*Index); }
};
using AbsoluteX = AbsoluteIndexed<&CpuRegisters::X>;
using AbsoluteY = AbsoluteIndexed<&CpuRegisters::Y>;

// (zp,X): the pointer wraps in page zero, but its high byte comes from pointer + 1 without
// wrapping, so a pointer at $FF takes its high byte from $0100.
struct IndexedIndirect {
  static constexpr std::uint16_t Length = 2;
  static constexpr bool PageCrossCosts = false;
  static bool Resolve(CpuRegisters& r) {
    const std::uint8_t pointer = static_cast<std::uint8_t>(OperandByte(r) + r.X);
    r.EffectiveAddress = MemReadWord(pointer);
    return false;
  }
};

// (zp),Y: the same pointer rule; the page check compares the pointer's word with the result.
struct IndirectIndexed {
  static constexpr std::uint16_t Length = 2;
  static constexpr bool PageCrossCosts = true;
  static bool Resolve(CpuRegisters& r) {
    return IndexFrom(r, MemReadWord(OperandByte(r)), r.Y);
  }
};

}  // namespace quillon::cpu_internal
