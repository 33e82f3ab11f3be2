#include "debug/trace_view.h"

#include <cstdio>
#include <cstring>

#include "debug/disassembly_table.h"
#include "debug/status_line.h"
#include "session/session.h"

namespace quillon {

namespace {

constexpr int MnemonicColumn = 20;
constexpr int FlagsColumn = 32;
constexpr int FirstOperandColumn = 11;   // "$" and two digits of the byte after the opcode
constexpr int SecondOperandColumn = 15;  // and of the byte after that

}  // namespace

void DrawTraceView(const CpuRegisterFile& registers) {
  const Machine& machine = CurrentMachine();
  const std::uint16_t pc = registers.PC;
  char text[48];
  std::snprintf(text, sizeof text, "$%04X: ", pc);
  DrawTextAt(text, 0, 0, TextWhite, TextBlack);
  DrawTextAt("$", 7, 0, TextWhite, TextBlack);
  DrawHexByte(machine.Peek(pc), 8, 0, TextWhite, TextBlack);
  DrawTextAt("        : ", 10, 0, TextYellow, TextBlack);

  const Disassembly instruction = Disassemble(pc, machine);
  DrawTextAt(instruction.Text, MnemonicColumn, 0, TextWhite, TextBlack);
  for (int column = MnemonicColumn + static_cast<int>(std::strlen(instruction.Text));
       column < FlagsColumn; ++column) {
    DrawGlyph(' ', column, 0, TextWhite, TextBlack);
  }
  DrawTextAt("NV-BDIZC", FlagsColumn, 0, TextYellow, TextBlack);
  // The operand bytes again in their own fields, "$.." where the instruction has none.
  const int fields[] = {FirstOperandColumn, SecondOperandColumn};
  for (int operand = 1; operand <= 2; ++operand) {
    const int field = fields[operand - 1];
    if (operand < instruction.Length) {
      DrawTextAt("$", field, 0, TextWhite, TextBlack);
      DrawHexByte(instruction.Bytes[operand], field + 1, 0, TextWhite, TextBlack);
    } else {
      DrawTextAt("$..", field, 0, TextWhite, TextBlack);
    }
  }

  for (int bit = 0; bit < 8; ++bit) {
    DrawGlyph('0' + ((registers.P >> (7 - bit)) & 1), FlagsColumn + bit, 1, TextWhite,
              TextBlack);
  }
  std::snprintf(text, sizeof text, "STACKP: $%04X A:$%02X X:$%02X Y:$%02X ", registers.SP,
                registers.A, registers.X, registers.Y);
  DrawTextAt(text, 0, 1, TextYellow, TextBlack);
}

}  // namespace quillon
