#include "support/accurate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "interface/create_machine.h"

namespace quillon::test {

std::unique_ptr<Machine> BootAccurate(bool newCias) {
  auto machine = CreateMachine(MachineModel::Accurate, {.NewCias = newCias});
  machine->PowerOn();
  for (int frame = 0; frame < 300 && !BasicWaitsForInput(*machine); ++frame) machine->RunFrames(1);
  return machine;
}

std::string ScreenRow(const Machine& machine, int row) {
  std::string text;
  const std::uint16_t screen = machine.ScreenAddress();
  for (int column = 0; column < 40; ++column) {
    const unsigned code = machine.Ram()[(screen + row * 40 + column) & 0xFFFF] & 0x7F;
    // Screen codes 1-26 are the letters; 32-63 match ASCII.
    text += static_cast<char>(code >= 1 && code <= 26 ? code + 0x40 : code < 64 ? code : '?');
  }
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

Assembler& Assembler::Bytes(std::initializer_list<std::uint8_t> bytes) {
  Code.insert(Code.end(), bytes);
  return *this;
}

Assembler& Assembler::Nops(int count) {
  Code.insert(Code.end(), static_cast<std::size_t>(count), 0xEA);
  return *this;
}

Assembler& Assembler::Absolute(std::uint8_t opcode, std::uint16_t address) {
  return Bytes({opcode, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8)});
}

Assembler& Assembler::Poke(std::initializer_list<std::uint16_t> addresses, std::uint8_t value) {
  LdaImmediate(value);
  for (std::uint16_t address : addresses) Sta(address);
  return *this;
}

Assembler& Assembler::WaitRaster(std::uint8_t line) {
  Lda(0xD012);
  return Bytes({0xC9, line, 0xD0, 0xF9});
}

Assembler& Assembler::WaitNewFrame() {
  Lda(0xD011);
  Bytes({0x10, 0xFB});  // BPL back
  Lda(0xD011);
  return Bytes({0x30, 0xFB});  // BMI back
}

Assembler& Assembler::WaitBit(std::uint16_t address, std::uint8_t mask) {
  Lda(address);
  return Bytes({0x29, mask, 0xF0, 0xF9});
}

Assembler& Assembler::Stop() {
  EndAddress = Here();
  return Absolute(0x4C, EndAddress);
}

Assembler& Assembler::Branch(std::uint8_t opcode, std::uint16_t target, bool timed) {
  const int after = Here() + 2;
  const int offset = target - after;
  if (offset < -128 || offset > 127 || (timed && (after >> 8) != (target >> 8))) {
    ADD_FAILURE() << "the branch at " << Here() << " to " << target << " leaves its page";
  }
  return Bytes({opcode, static_cast<std::uint8_t>(offset)});
}

Assembler& Assembler::PatchWord(std::uint16_t address, std::uint16_t word) {
  const std::size_t at = static_cast<std::uint16_t>(address - Origin);
  Code.at(at) = static_cast<std::uint8_t>(word);
  Code.at(at + 1) = static_cast<std::uint8_t>(word >> 8);
  return *this;
}

Assembler& Assembler::Delay(int cycles) {
  constexpr std::uint8_t BitZeroPage[] = {0x24, 0x02};  // 3 cycles
  if (cycles < 2) ADD_FAILURE() << "no code takes " << cycles << " cycle";
  // LDY #k / DEY / BNE takes 5k + 1 cycles; NOPs and a BIT make up the rest, which cannot be
  // a single cycle. The loop's branch must stay on its page; NOPs alone otherwise.
  auto restWith = [cycles](int loops) { return loops > 0 ? cycles - (5 * loops + 1) : cycles; };
  int loops = (cycles - 1) / 5;
  if (restWith(loops) == 1) --loops;
  const int dey = Here() + 2;
  if (((dey + 3) >> 8) != (dey >> 8)) loops = 0;
  int rest = restWith(loops);
  if (loops > 0) {
    Bytes({0xA0, static_cast<std::uint8_t>(loops), 0x88});
    Branch(0xD0, static_cast<std::uint16_t>(dey));
  }
  if (rest % 2 == 1) {
    Bytes({BitZeroPage[0], BitZeroPage[1]});
    rest -= 3;
  }
  return Nops(rest / 2);
}

// A poll for line 10 of a new frame, then a loop of 64 cycles that reads RASTER one cycle later in the line
// each time round: when the line read is two past the one before, the read was in cycle 1.
// Then a loop of one line a round counts up to `line`.
Assembler& Assembler::SyncToLine(std::uint8_t line) {
  constexpr std::uint8_t Previous = 0x02;
  WaitNewFrame();
  LdaImmediate(10);
  const std::uint16_t poll = Here();
  Absolute(0xCD, 0xD012);  // CMP $D012
  Branch(0xD0, poll);
  Absolute(0xAE, 0xD012);  // LDX $D012
  Delay(56);
  const std::uint16_t walk = Here();
  Delay(45);
  Bytes({0x86, Previous});  // STX
  Absolute(0xAE, 0xD012);   // LDX $D012: the read in its last cycle
  Bytes({0x8A, 0x38, 0xE5, Previous, 0xC9, 0x01});  // TXA / SEC / SBC / CMP #1
  Branch(0xF0, walk);
  // Cycle 13 of the line in X.
  const std::uint16_t count = Here();
  Delay(56);
  Bytes({0xE8, 0xE0, line});  // INX / CPX #line
  return Branch(0xD0, count);
}

std::vector<std::uint8_t> Assembler::ProgramFile() const {
  static constexpr std::uint8_t Stub[] = {0x01, 0x08, 0x0B, 0x08, 0x0A, 0x00, 0x9E,
                                          '2',  '0',  '6',  '1',  0x00, 0x00, 0x00};
  std::vector<std::uint8_t> file(sizeof Stub + Code.size());
  std::copy(std::begin(Stub), std::end(Stub), file.begin());
  std::copy(Code.begin(), Code.end(), file.begin() + sizeof Stub);
  return file;
}

void Assembler::LoadInto(Machine& machine) const {
  std::uint8_t* ram = machine.Ram();
  for (std::size_t i = 0; i < Code.size(); ++i) ram[(Origin + i) & 0xFFFF] = Code[i];
}

bool RunUntil(Machine& machine, std::uint16_t origin, std::initializer_list<std::uint16_t> ends,
              int instructions) {
  CpuRegisterFile registers = machine.Registers();
  registers.PC = origin;
  registers.P |= 0x04;
  machine.SetRegisters(registers);
  for (int i = 0; i < instructions; ++i) {
    for (std::uint16_t end : ends) {
      if (machine.Registers().PC == end) return true;
    }
    machine.StepInstruction();
  }
  return false;
}

}  // namespace quillon::test
