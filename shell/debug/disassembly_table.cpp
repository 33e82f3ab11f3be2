#include "debug/disassembly_table.h"

#include <algorithm>
#include <cstring>

#include "debug/hex_text.h"

namespace quillon {
namespace {

// The mnemonics of the undocumented opcodes, besides the NOPs other than $EA and the second
// SBC #, $EB.
constexpr const char* UndocumentedMnemonics[] = {"SLO", "RLA", "SRE", "RRA", "SAX", "LAX", "DCP",
                                                 "ISC", "ANC", "ALR", "ARR", "ANE", "LXA", "SBX",
                                                 "SHA", "SHX", "SHY", "TAS", "LAS", "JAM"};

// An address as "$" and its digits, or as its label.
char* PutAddress(char* out, std::uint16_t address, int digits, const DisassemblyStyle& style) {
  const char* label = style.LabelOf != nullptr ? style.LabelOf(address) : nullptr;
  if (label != nullptr) {
    const std::size_t length = std::min(std::strlen(label), LongestLabelShown);
    std::memcpy(out, label, length);
    return out + length;
  }
  *out++ = '$';
  return PutHex(out, address, digits);
}

}  // namespace

// One row per high digit of the opcode, sixteen entries by its low digit.
const char* const DisassemblyTable[256] = {
    // $00-$0F
    "BRK", "ORA ($a,X)", "JAM", "SLO ($a,X)", "NOP $a", "ORA $a", "ASL $a", "SLO $a", "PHP",
    "ORA #$a", "ASL", "ANC #$a", "NOP $ba", "ORA $ba", "ASL $ba", "SLO $ba",
    // $10-$1F
    "BPL $*a", "ORA ($a),Y", "JAM", "SLO ($a),Y", "NOP $a,X", "ORA $a,X", "ASL $a,X", "SLO $a,X",
    "CLC", "ORA $ba,Y", "NOP", "SLO $ba,Y", "NOP $ba,X", "ORA $ba,X", "ASL $ba,X", "SLO $ba,X",
    // $20-$2F
    "JSR $ba", "AND ($a,X)", "JAM", "RLA ($a,X)", "BIT $a", "AND $a", "ROL $a", "RLA $a", "PLP",
    "AND #$a", "ROL", "ANC #$a", "BIT $ba", "AND $ba", "ROL $ba", "RLA $ba",
    // $30-$3F
    "BMI $*a", "AND ($a),Y", "JAM", "RLA ($a),Y", "NOP $a,X", "AND $a,X", "ROL $a,X", "RLA $a,X",
    "SEC", "AND $ba,Y", "NOP", "RLA $ba,Y", "NOP $ba,X", "AND $ba,X", "ROL $ba,X", "RLA $ba,X",
    // $40-$4F
    "RTI", "EOR ($a,X)", "JAM", "SRE ($a,X)", "NOP $a", "EOR $a", "LSR $a", "SRE $a", "PHA",
    "EOR #$a", "LSR", "ALR #$a", "JMP $ba", "EOR $ba", "LSR $ba", "SRE $ba",
    // $50-$5F
    "BVC $*a", "EOR ($a),Y", "JAM", "SRE ($a),Y", "NOP $a,X", "EOR $a,X", "LSR $a,X", "SRE $a,X",
    "CLI", "EOR $ba,Y", "NOP", "SRE $ba,Y", "NOP $ba,X", "EOR $ba,X", "LSR $ba,X", "SRE $ba,X",
    // $60-$6F
    "RTS", "ADC ($a,X)", "JAM", "RRA ($a,X)", "NOP $a", "ADC $a", "ROR $a", "RRA $a", "PLA",
    "ADC #$a", "ROR", "ARR #$a", "JMP ($ba)", "ADC $ba", "ROR $ba", "RRA $ba",
    // $70-$7F
    "BVS $*a", "ADC ($a),Y", "JAM", "RRA ($a),Y", "NOP $a,X", "ADC $a,X", "ROR $a,X", "RRA $a,X",
    "SEI", "ADC $ba,Y", "NOP", "RRA $ba,Y", "NOP $ba,X", "ADC $ba,X", "ROR $ba,X", "RRA $ba,X",
    // $80-$8F
    "NOP #$a", "STA ($a,X)", "NOP #$a", "SAX ($a,X)", "STY $a", "STA $a", "STX $a", "SAX $a",
    "DEY", "NOP #$a", "TXA", "ANE #$a", "STY $ba", "STA $ba", "STX $ba", "SAX $ba",
    // $90-$9F
    "BCC $*a", "STA ($a),Y", "JAM", "SHA ($a),Y", "STY $a,X", "STA $a,X", "STX $a,Y", "SAX $a,Y",
    "TYA", "STA $ba,Y", "TXS", "TAS $ba,Y", "SHY $ba,X", "STA $ba,X", "SHX $ba,Y", "SHA $ba,Y",
    // $A0-$AF
    "LDY #$a", "LDA ($a,X)", "LDX #$a", "LAX ($a,X)", "LDY $a", "LDA $a", "LDX $a", "LAX $a",
    "TAY", "LDA #$a", "TAX", "LXA #$a", "LDY $ba", "LDA $ba", "LDX $ba", "LAX $ba",
    // $B0-$BF
    "BCS $*a", "LDA ($a),Y", "JAM", "LAX ($a),Y", "LDY $a,X", "LDA $a,X", "LDX $a,Y", "LAX $a,Y",
    "CLV", "LDA $ba,Y", "TSX", "LAS $ba,Y", "LDY $ba,X", "LDA $ba,X", "LDX $ba,Y", "LAX $ba,Y",
    // $C0-$CF
    "CPY #$a", "CMP ($a,X)", "NOP #$a", "DCP ($a,X)", "CPY $a", "CMP $a", "DEC $a", "DCP $a",
    "INY", "CMP #$a", "DEX", "SBX #$a", "CPY $ba", "CMP $ba", "DEC $ba", "DCP $ba",
    // $D0-$DF
    "BNE $*a", "CMP ($a),Y", "JAM", "DCP ($a),Y", "NOP $a,X", "CMP $a,X", "DEC $a,X", "DCP $a,X",
    "CLD", "CMP $ba,Y", "NOP", "DCP $ba,Y", "NOP $ba,X", "CMP $ba,X", "DEC $ba,X", "DCP $ba,X",
    // $E0-$EF
    "CPX #$a", "SBC ($a,X)", "NOP #$a", "ISC ($a,X)", "CPX $a", "SBC $a", "INC $a", "ISC $a",
    "INX", "SBC #$a", "NOP", "SBC #$a", "CPX $ba", "SBC $ba", "INC $ba", "ISC $ba",
    // $F0-$FF
    "BEQ $*a", "SBC ($a),Y", "JAM", "ISC ($a),Y", "NOP $a,X", "SBC $a,X", "INC $a,X", "ISC $a,X",
    "SED", "SBC $ba,Y", "NOP", "ISC $ba,Y", "NOP $ba,X", "SBC $ba,X", "INC $ba,X", "ISC $ba,X",
};

bool IsUndocumented(std::uint8_t opcode) {
  const char* text = DisassemblyTable[opcode];
  if (std::strncmp(text, "NOP", 3) == 0) return opcode != 0xEA;
  if (opcode == 0xEB) return true;
  for (const char* mnemonic : UndocumentedMnemonics) {
    if (std::strncmp(text, mnemonic, 3) == 0) return true;
  }
  return false;
}

Disassembly DisassembleBytes(std::uint16_t pc, const std::uint8_t* bytes,
                             const DisassemblyStyle& style) {
  Disassembly result{};
  result.Bytes[0] = bytes[0];
  result.Length = 1;
  char* out = result.Text;
  const char* c = DisassemblyTable[bytes[0]];
  while (*c != '\0') {
    if (*c == '$' && (c[1] == 'a' || c[1] == 'b' || c[1] == '*')) {
      const bool branch = c[1] == '*';
      const bool word = c[1] == 'b';
      const bool immediate = c > DisassemblyTable[bytes[0]] && c[-1] == '#';
      result.Length = word ? 3 : 2;
      result.Bytes[1] = bytes[1];
      if (word) result.Bytes[2] = bytes[2];
      c += word || branch ? 3 : 2;
      if (branch && style.BranchTargets) {
        const auto target = static_cast<std::uint16_t>(pc + 2 + static_cast<std::int8_t>(bytes[1]));
        out = PutAddress(out, target, 4, style);
      } else if (word) {
        out = PutAddress(out, static_cast<std::uint16_t>(bytes[1] | bytes[2] << 8), 4, style);
      } else if (!branch && !immediate) {
        out = PutAddress(out, bytes[1], 2, style);
      } else {
        *out++ = '$';
        if (branch) *out++ = '*';
        out = PutHex(out, bytes[1], 2);
      }
      continue;
    }
    *out++ = *c++;
  }
  *out = '\0';
  return result;
}

Disassembly Disassemble(std::uint16_t pc, const Machine& machine) {
  const std::uint8_t bytes[3] = {machine.Peek(pc), machine.Peek(static_cast<std::uint16_t>(pc + 1)),
                                 machine.Peek(static_cast<std::uint16_t>(pc + 2))};
  return DisassembleBytes(pc, bytes, TraceStyle);
}

}  // namespace quillon
