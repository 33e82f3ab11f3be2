#include "support/accurate.h"

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
