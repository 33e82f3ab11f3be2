#include "cia/cia.h"

#include <cstring>
#include <initializer_list>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "cpu/cpu.h"
#include "vic/vic.h"

namespace quillon {

CiaState Cia1 = {};
CiaState Cia2 = {};
std::uint8_t UserPortLines = 0xFF;

namespace {

// CIA2's serial inputs (DATA IN, CLOCK IN) on port A bits 6 and 7 read high: nothing is
// connected to the serial bus.
constexpr std::uint8_t SerialInputsHigh = 0xC0;

void SetLowByte(std::uint16_t& word, std::uint8_t value) {
  word = static_cast<std::uint16_t>((word & 0xFF00) | value);
}

void SetHighByte(std::uint16_t& word, std::uint8_t value) {
  word = static_cast<std::uint16_t>((word & 0x00FF) | (value << 8));
}

// Mask bits 0-4: a write with bit 7 set enables each source written as 1, with bit 7 clear
// disables it; sources written as 0 keep their setting.
void UpdateInterruptMask(CiaState& cia, std::uint8_t value) {
  const std::uint8_t sources = value & 0x1F;
  if (value & 0x80) {
    cia.InterruptMask |= sources;
  } else {
    cia.InterruptMask = static_cast<std::uint8_t>(cia.InterruptMask & ~sources);
  }
}

// The interrupt line a chip drives: the CPU's IRQ for CIA1, its NMI for CIA2.
std::uint8_t& InterruptLine(const CiaState& cia) {
  return &cia == &Cia1 ? Cpu.IrqPending : Cpu.NmiPending;
}

}  // namespace

std::uint8_t CiaPeek(const CiaState& cia, std::uint8_t index) {
  CiaCatchUp();
  // The chip decodes four address lines; the register repeats through its page.
  index &= 0x0F;
  const std::uint8_t value = cia.Registers[index];
  const bool isCia1 = &cia == &Cia1;
  switch (index) {
    case CiaPortA:
      return isCia1 ? static_cast<std::uint8_t>((value & 0xE0) | JoystickRead())
                    : static_cast<std::uint8_t>(value | SerialInputsHigh);
    case CiaPortB: {
      // CIA1 port B reads the keyboard rows of the columns selected on port A; CIA2's reads
      // its outputs where its direction bits are set and the user port's lines elsewhere.
      if (isCia1) return KeyboardScan(cia.Registers[CiaPortA]);
      const std::uint8_t outputs = cia.Registers[CiaDirectionB];
      return static_cast<std::uint8_t>((value & outputs) | (UserPortLines & ~outputs));
    }
    default:
      return value;
  }
}

std::uint8_t CiaRead(CiaState& cia, std::uint8_t index) {
  const std::uint8_t value = CiaPeek(cia, index);
  switch (index & 0x0F) {
    case CiaPortA:
      if (&cia == &Cia2) cia.Registers[CiaPortA] = value;
      break;
    case CiaPortB:
      if (&cia == &Cia1) KeyboardReads.NoteRead(CycleCounters.Clock);
      break;
    case CiaInterruptControl:
      // Reading the flags acknowledges them and releases the chip's interrupt line, whoever
      // else may have raised it.
      cia.Registers[CiaInterruptControl] = 0;
      InterruptLine(cia) = 0;
      break;
    default:
      break;
  }
  return value;
}

void CiaWrite(CiaState& cia, std::uint8_t index, std::uint8_t value) {
  CiaCatchUp();
  index &= 0x0F;
  cia.Registers[index] = value;
  switch (index) {
    case CiaPortA:
      // CIA2's port A lines 0-1 drive the VIC-II's upper address lines inverted.
      if (&cia == &Cia2) Vic.BankBase = static_cast<std::uint16_t>(((~value) & 3) * 0x4000);
      break;
    case CiaTimerALow: SetLowByte(cia.TimerALatch, value); break;
    case CiaTimerAHigh: SetHighByte(cia.TimerALatch, value); break;
    case CiaTimerBLow: SetLowByte(cia.TimerBLatch, value); break;
    case CiaTimerBHigh: SetHighByte(cia.TimerBLatch, value); break;
    case CiaInterruptControl:
      // The written byte also stands in the flag register until the next underflow or read.
      UpdateInterruptMask(cia, value);
      break;
    case CiaControlA:
      if (value & CiaControlForceLoad) {
        cia.TimerACounter = cia.TimerALatch;
        cia.Registers[CiaTimerALow] = static_cast<std::uint8_t>(cia.TimerALatch);
      }
      cia.TimerARunning = value & CiaControlStart;
      // A timer started, stopped or reloaded moves its next underflow.
      RescheduleEvents();
      break;
    case CiaControlB:
      if (value & CiaControlForceLoad) {
        cia.TimerBCounter = cia.TimerBLatch;
        cia.Registers[CiaTimerBLow] = static_cast<std::uint8_t>(cia.TimerBLatch);
      }
      cia.TimerBRunning = value & CiaControlStart;
      RescheduleEvents();
      break;
    default:
      break;
  }
}

void CiaHardReset() {
  CiaCatchUp();
  for (CiaState* cia : {&Cia1, &Cia2}) {
    std::memset(cia->Registers, 0, sizeof cia->Registers);
    cia->TimerARunning = 0;
    cia->TimerBRunning = 0;
  }
}

}  // namespace quillon
