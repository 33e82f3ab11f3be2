// The two 6526 CIAs: timers, interrupt registers, the keyboard scan, the joystick and the
// VIC-II bank selection.
#pragma once

#include <cstdint>

namespace quillon {

struct CiaState {
  std::uint8_t Registers[16];
  std::uint16_t TimerACounter;
  std::uint16_t TimerBCounter;
  std::uint16_t TimerALatch;
  std::uint16_t TimerBLatch;
  std::uint8_t TimerARunning;
  std::uint8_t TimerBRunning;
  std::uint8_t InterruptMask;
};
extern CiaState Cia1;  // $DC00: keyboard, joystick, IRQ
extern CiaState Cia2;  // $DD00: VIC-II bank, NMI, user port

// The levels that hardware on the user port presents on PB0-PB7 of CIA2: $FF, all pulled up,
// while nothing is plugged in. Port B reads them on its input lines.
extern std::uint8_t UserPortLines;

// A chip's fields in a snapshot, in both directions (see interface/snapshot_stream.h).
template <class Stream>
void CiaStateFields(Stream& s, CiaState& cia) {
  s.Raw(cia.Registers, sizeof cia.Registers);
  s.Field(cia.TimerACounter);
  s.Field(cia.TimerBCounter);
  s.Field(cia.TimerALatch);
  s.Field(cia.TimerBLatch);
  s.Flag(cia.TimerARunning);
  s.Flag(cia.TimerBRunning);
  s.Field(cia.InterruptMask);
}
inline bool CiaStateIsValid(const CiaState& cia) { return cia.InterruptMask <= 0x1F; }

// Register indices within a chip's 16-byte register file.
inline constexpr int CiaPortA = 0x0;
inline constexpr int CiaPortB = 0x1;
inline constexpr int CiaDirectionB = 0x3;
inline constexpr int CiaTimerALow = 0x4;
inline constexpr int CiaTimerAHigh = 0x5;
inline constexpr int CiaTimerBLow = 0x6;
inline constexpr int CiaTimerBHigh = 0x7;
inline constexpr int CiaInterruptControl = 0xD;
inline constexpr int CiaControlA = 0xE;
inline constexpr int CiaControlB = 0xF;

// Bits of the control registers and of the interrupt flag byte.
inline constexpr std::uint8_t CiaControlStart = 0x01;
inline constexpr std::uint8_t CiaControlOneShot = 0x08;
inline constexpr std::uint8_t CiaControlForceLoad = 0x10;
inline constexpr std::uint8_t CiaControlBSource = 0x60;
inline constexpr std::uint8_t CiaSourceTimerA = 0x40;  // timer B counts timer A underflows
inline constexpr std::uint8_t CiaInterruptTimerA = 0x01;
inline constexpr std::uint8_t CiaInterruptTimerB = 0x02;
inline constexpr std::uint8_t CiaInterruptFired = 0x80;

// The timers count lazily: CiaClock is the number of steps they have counted, and they are
// brought up to the machine's Clock before the CPU reads or writes a register.
extern std::uint64_t CiaClock;

// Counts every running timer of both chips once.
void CiaStep();
// Counts `steps` steps at once, with every underflow in its own step, exactly as that many
// CiaStep calls would.
void CiaAdvance(std::uint64_t steps);
// Counts the steps from CiaClock up to the machine's Clock.
void CiaCatchUp();
// The first step whose CPU call would see the next timer underflow, or UINT64_MAX when no
// timer runs towards one.
std::uint64_t CiaNextEventStep();
std::uint8_t CiaRead(CiaState& cia, std::uint8_t index);
// What CiaRead would return, without acknowledging anything.
std::uint8_t CiaPeek(const CiaState& cia, std::uint8_t index);
void CiaWrite(CiaState& cia, std::uint8_t index, std::uint8_t value);

// Zeroes both register files and stops all four timers; counters, latches and masks stay.
void CiaHardReset();

}  // namespace quillon
