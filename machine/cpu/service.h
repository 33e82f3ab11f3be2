// The pieces of the service step between two instructions that the per-step handler and the
// fast path share.
#pragma once

#include <cstdint>

#include "core/memory.h"
#include "cpu/cpu.h"
#include "media/disk_drive.h"
#include "media/disk_traps.h"
#include "sid/sid.h"

namespace quillon::cpu_internal {

// The KERNAL's reset entry: whatever way the processor gets there, the SID falls silent.
inline constexpr std::uint16_t ResetEntryTrap = 0xFCE2;

inline bool IrqTaken(const CpuRegisters& r) {
  return Cpu.IrqPending != 0 && (r.P & FlagI) == 0;
}

// Whether the program counter stands at an address where the emulator steps in: the KERNAL's
// reset entry, and device 8's LOAD and SAVE while a disk image is attached.
inline bool IsAddressTrap(std::uint16_t pc) {
  return pc == ResetEntryTrap || (DiskAttached != 0 && IsDiskTrap(pc));
}

// Drive 8's traps on the classic machine's records.
void ServeClassicDiskTrap();

// The traps' work, in the service step with the registers in Cpu: a disk trap changes them.
inline void RunAddressTraps() {
  if (!IsAddressTrap(Cpu.PC)) return;
  ++BusSideEffects;
  if (Cpu.PC == ResetEntryTrap) {
    // The mixer's timer thread changes the mask too, so the three bits go in one update.
    ActiveVoices.fetch_and(~AllVoicesMask);
  }
  if (DiskAttached != 0 && IsDiskTrap(Cpu.PC)) ServeClassicDiskTrap();
}

// A fetched $80, a two-byte NOP, is kept as $82, which does the same: $80 in Opcode always
// means that the next call is the service step.
inline std::uint8_t FetchOpcode(const CpuRegisters& r) {
  const std::uint8_t opcode = MemReadCode(r.PC);
  return opcode == ServiceMarker ? 0x82 : opcode;
}

}  // namespace quillon::cpu_internal
