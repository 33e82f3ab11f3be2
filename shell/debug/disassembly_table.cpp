#include "debug/disassembly_table.h"

namespace quillon {
namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

}  // namespace

// One row per high digit of the opcode, sixteen entries by its low digit.
const char* const DisassemblyTable[256] = {
    // $00-$0F
    "BRK", "ORA ($a,X)", "???", "??? ($a,X)", "??? $a", "ORA $a", "ASL $a", "??? $a", "PHP",
    "ORA #$a", "ASL", "??? #$a", "??? $ba", "ORA $ba", "ASL $ba", "??? $ba",
    // $10-$1F
    "BPL $*a", "ORA ($a),Y", "???", "??? ($a),Y", "??? $a,X", "ORA $a,X", "ASL $a,X", "??? $a,X",
    "CLC", "ORA $ba,Y", "???", "??? $ba,Y", "??? $a", "ORA $ba,X", "ASL $ba,X", "??? $ba,X",
    // $20-$2F
    "JSR $ba", "AND ($a,X)", "NOP", "??? ($a,X)", "BIT $a", "AND $a", "ROL $a", "??? $a", "PLP",
    "AND #$a", "ROL", "??? #$a", "BIT $ba", "AND $ba", "ROL $ba", "??? $ba",
    // $30-$3F
    "BMI $*a", "AND ($a),Y", "???", "??? ($a),Y", "??? $a,X", "AND $a,X", "ROL $a,X", "??? $a,X",
    "SEC", "AND $ba,Y", "???", "??? $ba,Y", "??? $ba,X", "AND $ba,X", "ROL $ba,X", "??? $ba,X",
    // $40-$4F
    "RTI", "EOR ($a,X)", "???", "??? ($a,X)", "??? $a", "EOR $a", "LSR $a", "??? $a", "PHA",
    "EOR #$a", "LSR", "??? #$a", "JMP $ba", "EOR $ba", "LSR $ba", "??? $ba",
    // $50-$5F
    "BVC $*a", "EOR ($a),Y", "???", "??? ($a),Y", "??? $a,X", "EOR $a,X", "LSR $a,X", "??? $a,X",
    "CLI", "EOR $ba,Y", "???", "??? $ba,Y", "??? $ba,X", "EOR $ba,X", "LSR $ba,X", "??? $ba,X",
    // $60-$6F
    "RTS", "ADC ($a,X)", "???", "??? ($a,X)", "??? $a", "ADC $a", "ROR $a", "??? $a", "PLA",
    "ADC #$a", "ROR", "??? #$a", "JMP ($ba)", "ADC $ba", "ROR $ba", "??? $ba",
    // $70-$7F
    "BVS $*a", "ADC ($a),Y", "???", "??? ($a),Y", "??? $a,X", "ADC $a,X", "ROR $a,X", "??? $a,X",
    "SEI", "ADC $ba,Y", "???", "??? $ba,Y", "??? $ba,X", "ADC $ba,X", "ROR $ba,X", "??? $ba,X",
    // $80-$8F
    "??? #$a", "STA ($a,X)", "??? #$a", "??? ($a,X)", "STY $a", "STA $a", "STX $a", "??? $a", "DEY",
    "??? #$a", "TXA", "??? #$a", "STY $ba", "STA $ba", "STX $ba", "??? $ba",
    // $90-$9F
    "BCC $*a", "STA ($a),Y", "???", "??? ($a),Y", "STY $a,X", "STA $a,X", "STX $a,Y", "??? $a,Y",
    "TYA", "STA $ba,Y", "TXS", "??? $ba,Y", "??? $ba,X", "STA $ba,X", "??? $ba,Y", "??? $ba,Y",
    // $A0-$AF
    "LDY #$a", "LDA ($a,X)", "LDX #$a", "??? ($a,X)", "LDY $a", "LDA $a", "LDX $a", "??? $a", "TAY",
    "LDA #$a", "TAX", "??? #$a", "LDY $ba", "LDA $ba", "LDX $ba", "??? $ba",
    // $B0-$BF
    "BCS $*a", "LDA ($a),Y", "???", "??? ($a),Y", "LDY $a,X", "LDA $a,X", "LDX $a,Y", "??? $a,Y",
    "CLV", "LDA $ba,Y", "TSX", "??? $ba,Y", "LDY $ba,X", "LDA $ba,X", "LDX $ba,Y", "??? $ba,Y",
    // $C0-$CF
    "CPY #$a", "CMP ($a,X)", "??? #$a", "??? ($a,X)", "CPY $a", "CMP $a", "DEC $a", "??? $a", "INY",
    "CMP #$a", "DEX", "??? #$a", "CPY $ba", "CMP $ba", "DEC $ba", "??? $ba",
    // $D0-$DF
    "BNE $*a", "CMP ($a),Y", "???", "??? ($a),Y", "??? $a,X", "CMP $a,X", "DEC $a,X", "??? $a,X",
    "CLD", "CMP $ba,Y", "???", "??? $ba,Y", "??? $ba,X", "CMP $ba,X", "DEC $ba,X", "??? $ba,X",
    // $E0-$EF
    "CPX #$a", "SBC ($a,X)", "??? #$a", "??? ($a,X)", "CPX $a", "SBC $a", "INC $a", "??? $a", "INX",
    "SBC #$a", "NOP", "??? #$a", "CPX $ba", "SBC $ba", "INC $ba", "??? $ba",
    // $F0-$FF
    "BEQ $*a", "SBC ($a),Y", "???", "??? ($a),Y", "??? $a,X", "SBC $a,X", "INC $a,X", "??? $a,X",
    "SED", "SBC $ba,Y", "???", "??? $ba,Y", "??? $ba,X", "SBC $ba,X", "INC $ba,X", "??? $ba,X",
};

Disassembly Disassemble(std::uint16_t pc, const Machine& machine) {
  Disassembly result{};
  result.Bytes[0] = machine.Peek(pc);
  result.Length = 1;
  char* out = result.Text;
  for (const char* c = DisassemblyTable[result.Bytes[0]]; *c != '\0'; ++c) {
    if (*c != 'a' && *c != 'b') {
      *out++ = *c;
      continue;
    }
    const int index = *c == 'a' ? 1 : 2;
    const std::uint8_t operand = machine.Peek(static_cast<std::uint16_t>(pc + index));
    result.Bytes[index] = operand;
    if (index + 1 > result.Length) result.Length = index + 1;
    *out++ = HexDigits[operand >> 4];
    *out++ = HexDigits[operand & 0x0F];
  }
  *out = '\0';
  return result;
}

}  // namespace quillon
