#include "monitor/assembler.h"

#include <cctype>
#include <cstring>

#include "debug/disassembly_table.h"
#include "files/message_text.h"

namespace quillon {
namespace {

std::string Upper(std::string_view text) {
  std::string upper;
  for (const char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c))) {
      upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  return upper;
}

bool EndsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The opcode whose template is `mnemonic` followed by the operand form `form` ("" for none),
// documented first; -1 for none.
int FindOpcode(const std::string& mnemonic, const std::string& form) {
  const std::string text = form.empty() ? mnemonic : mnemonic + " " + form;
  int found = -1;
  for (int opcode = 0; opcode < 256; ++opcode) {
    if (text != DisassemblyTable[opcode]) continue;
    if (!IsUndocumented(static_cast<std::uint8_t>(opcode))) return opcode;
    if (found < 0) found = opcode;
  }
  return found;
}

}  // namespace

std::string AssembleLine(std::string_view line, std::uint16_t address, LabelResolver labels,
                         std::vector<std::uint8_t>& bytes) {
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
    line.remove_prefix(1);
  if (line.size() < 3) return "no instruction";
  const std::string mnemonic = Upper(line.substr(0, 3));
  if (line.size() > 3 && !std::isspace(static_cast<unsigned char>(line[3]))) {
    return "no instruction: " + QuoteForMessage(line);
  }
  // The operand without blanks; the index registers in upper case, the value as written.
  std::string operand;
  for (const char c : line.substr(3)) {
    if (!std::isspace(static_cast<unsigned char>(c))) operand += c;
  }
  const std::string shape = Upper(operand);

  // The forms to try, the value's text within the operand, and whether a byte is needed.
  std::string value = operand;
  std::string byteForm;  // taken when the value fits a byte
  std::string wordForm;  // otherwise
  if (operand.empty() || shape == "A") {
    const int opcode = FindOpcode(mnemonic, "");
    if (opcode < 0) return mnemonic + " needs an operand";
    bytes = {static_cast<std::uint8_t>(opcode)};
    return "";
  }
  if (shape[0] == '#') {
    value = operand.substr(1);
    byteForm = "#$a";
  } else if (shape[0] == '(' && EndsWith(shape, ",X)")) {
    value = operand.substr(1, operand.size() - 4);
    byteForm = "($a,X)";
  } else if (shape[0] == '(' && EndsWith(shape, "),Y")) {
    value = operand.substr(1, operand.size() - 4);
    byteForm = "($a),Y";
  } else if (shape[0] == '(' && EndsWith(shape, ")")) {
    value = operand.substr(1, operand.size() - 2);
    wordForm = "($ba)";
  } else {
    std::string index;
    if (EndsWith(shape, ",X") || EndsWith(shape, ",Y")) {
      index = shape.substr(shape.size() - 2);
      value = operand.substr(0, operand.size() - 2);
    }
    byteForm = "$a" + index;
    wordForm = "$ba" + index;
  }
  std::uint32_t number = 0;
  if (!ParseValue(value, labels, number) || number > 0xFFFF) {
    return QuoteForMessage(value) + " is no value";
  }
  // A branch's operand is its target.
  if (const int branch = FindOpcode(mnemonic, "$*a"); branch >= 0 && wordForm == "$ba") {
    const int offset = static_cast<int>(number) - (address + 2);
    if (offset < -128 || offset > 127) return "the branch cannot reach " + QuoteForMessage(value);
    bytes = {static_cast<std::uint8_t>(branch), static_cast<std::uint8_t>(offset)};
    return "";
  }
  const int byteOpcode = byteForm.empty() ? -1 : FindOpcode(mnemonic, byteForm);
  if (byteOpcode >= 0 && number <= 0xFF) {
    bytes = {static_cast<std::uint8_t>(byteOpcode), static_cast<std::uint8_t>(number)};
    return "";
  }
  const int wordOpcode = wordForm.empty() ? -1 : FindOpcode(mnemonic, wordForm);
  if (wordOpcode >= 0) {
    bytes = {static_cast<std::uint8_t>(wordOpcode), static_cast<std::uint8_t>(number),
             static_cast<std::uint8_t>(number >> 8)};
    return "";
  }
  if (byteOpcode >= 0) return QuoteForMessage(value) + " does not fit a byte";
  bool known = false;
  for (const char* text : DisassemblyTable) known = known || mnemonic.compare(0, 3, text, 3) == 0;
  if (!known) return QuoteForMessage(mnemonic) + " is no instruction";
  return mnemonic + " has no such operand: " + QuoteForMessage(operand);
}

}  // namespace quillon
