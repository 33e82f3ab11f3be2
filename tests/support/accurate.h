// Helpers for the accurate machine's tests: booting it, looking at its screen, and running 6502
// code on it, written with a small assembler.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "interface/machine.h"

namespace quillon::test {

// An accurate machine powered on and run until BASIC waits at READY.
std::unique_ptr<Machine> BootAccurate(bool newCias = false);

// Row `row` (0-24) of the text screen the machine shows, as ASCII, trailing blanks removed.
std::string ScreenRow(const Machine& machine, int row);

// 6502 code from `origin` on, one instruction per call.
class Assembler {
 public:
  explicit Assembler(std::uint16_t origin) : Origin(origin) {}

  Assembler& Bytes(std::initializer_list<std::uint8_t> bytes);
  Assembler& Nops(int count);
  Assembler& LdaImmediate(std::uint8_t value) { return Bytes({0xA9, value}); }
  Assembler& Lda(std::uint16_t address) { return Absolute(0xAD, address); }
  Assembler& Sta(std::uint16_t address) { return Absolute(0x8D, address); }
  Assembler& Stx(std::uint16_t address) { return Absolute(0x8E, address); }
  Assembler& Sty(std::uint16_t address) { return Absolute(0x8C, address); }
  // Stores `value` at each address.
  Assembler& Poke(std::initializer_list<std::uint16_t> addresses, std::uint8_t value);
  // LDA $D012 / CMP #line / BNE back: waits for the raster line's low byte.
  Assembler& WaitRaster(std::uint8_t line);
  // Waits for RASTER bit 8 to be set, then clear: line 0 of the next frame.
  Assembler& WaitNewFrame();
  // LDA address / AND #mask / BEQ back: waits for a bit.
  Assembler& WaitBit(std::uint16_t address, std::uint8_t mask);
  // JMP to itself: where the program ends.
  Assembler& Stop();
  Assembler& Jmp(std::uint16_t address) { return Absolute(0x4C, address); }
  // A branch instruction (BNE, BEQ, ...) to `target`, which must lie on the same page as the
  // instruction after it when `timed`, so that a taken branch takes 3 cycles.
  Assembler& Branch(std::uint8_t opcode, std::uint16_t target, bool timed = true);
  // Exactly `cycles` cycles (at least 2) of code that changes Y and the flags only.
  Assembler& Delay(int cycles);
  // Synchronises to the raster: ends at the start of cycle 12 of raster line `line` (25-50), to
  // the cycle, where the lines since line 10 hold no bad line and no sprite. Changes A, X, Y
  // and $02.
  Assembler& SyncToLine(std::uint8_t line);
  // Writes `word` over the two bytes at `address`, which the code already holds.
  Assembler& PatchWord(std::uint16_t address, std::uint16_t word);
  std::uint16_t Here() const { return static_cast<std::uint16_t>(Origin + Code.size()); }
  // The address of the last Stop.
  std::uint16_t End() const { return EndAddress; }

  // Copies the code into the machine's RAM.
  void LoadInto(Machine& machine) const;
  // The code as a program file that BASIC's RUN starts: loaded at $0801 behind a line
  // 10 SYS2061, for code assembled at ProgramOrigin.
  std::vector<std::uint8_t> ProgramFile() const;
  static constexpr std::uint16_t ProgramOrigin = 0x080D;

 private:
  Assembler& Absolute(std::uint8_t opcode, std::uint16_t address);

  std::uint16_t Origin;
  std::uint16_t EndAddress = 0;
  std::vector<std::uint8_t> Code;
};

// Runs the machine from `origin`, with interrupts masked, an instruction at a time until the
// program counter reaches one of `ends`; false when it does not within `instructions`.
bool RunUntil(Machine& machine, std::uint16_t origin, std::initializer_list<std::uint16_t> ends,
              int instructions = 2'000'000);

}  // namespace quillon::test
