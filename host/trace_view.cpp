#include "host/trace_view.h"

#include <cstdio>
#include <cstring>

#include "core/memory.h"
#include "host/disassembly_table.h"
#include "host/status_line.h"

namespace quillon {

namespace {

constexpr int MnemonicColumn = 20;
constexpr int FlagsColumn = 32;
constexpr int FirstOperandColumn = 11;   // "$" and two digits of the byte after the opcode
constexpr int SecondOperandColumn = 15;  // and of the byte after that

}  // namespace

void DrawTraceView(std::uint16_t pc, std::uint8_t a, std::uint8_t x, std::uint8_t y,
                   std::uint8_t p, std::uint8_t sp) {
  char text[48];
  std::snprintf(text, sizeof text, "$%04X: ", pc);
  DrawTextAt(text, 0, 0, TextWhite, TextBlack);
  DrawTextAt("$", 7, 0, TextWhite, TextBlack);
  DrawHexByte(MemRead(pc), 8, 0, TextWhite, TextBlack);
  DrawTextAt("        : ", 10, 0, TextYellow, TextBlack);

  // The opcode is read again for the disassembly, as the CPU's bus would see it.
  const Disassembly instruction = Disassemble(pc, MemRead);
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
    DrawGlyph('0' + ((p >> (7 - bit)) & 1), FlagsColumn + bit, 1, TextWhite, TextBlack);
  }
  std::snprintf(text, sizeof text, "STACKP: $%04X A:$%02X X:$%02X Y:$%02X ", sp, a, x, y);
  DrawTextAt(text, 0, 1, TextYellow, TextBlack);
}

}  // namespace quillon
