#include "monitor/expression.h"

#include <cctype>

#include "files/message_text.h"

namespace quillon {
namespace {

enum StepKind : std::uint8_t {
  PushValue,
  PushA,
  PushX,
  PushY,
  PushPC,
  PushSP,
  PushFL,
  Equal,
  NotEqual,
  Less,
  Greater,
  LessEqual,
  GreaterEqual,
  And,
  Or,
};

struct Register {
  const char* Name;
  StepKind Push;
};
constexpr Register Registers[] = {{"A", PushA},   {"X", PushX},   {"Y", PushY},
                                  {"PC", PushPC}, {"SP", PushSP}, {"FL", PushFL}};

struct Operator {
  const char* Text;
  StepKind Kind;
};
// Two-character operators first, so that "<=" is never read as "<".
constexpr Operator Comparisons[] = {{"==", Equal},        {"!=", NotEqual}, {"<=", LessEqual},
                                    {">=", GreaterEqual}, {"<", Less},      {">", Greater}};

bool IsNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.';
}

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
  }
  return true;
}

// A recursive-descent reader: or := and {"||" and}; and := comparison {"&&" comparison};
// comparison := operand [op operand]; operand := register | value | "(" or ")".
class ConditionReader {
 public:
  ConditionReader(std::string_view text, LabelResolver labels, Condition& out)
      : Text(text), Labels(labels), Out(out) {}

  std::string Read() {
    Out.Count = 0;
    ReadOr();
    SkipBlanks();
    if (Error.empty() && Position < Text.size()) {
      Error = "unexpected " + QuoteForMessage(Text.substr(Position));
    }
    return Error;
  }

 private:
  void SkipBlanks() {
    while (Position < Text.size() && std::isspace(static_cast<unsigned char>(Text[Position]))) {
      ++Position;
    }
  }

  bool Take(std::string_view token) {
    SkipBlanks();
    if (Text.substr(Position, token.size()) != token) return false;
    Position += token.size();
    return true;
  }

  void Emit(StepKind kind, std::uint32_t value = 0) {
    if (Out.Count == ConditionSteps) {
      if (Error.empty()) Error = "the condition is too long";
      return;
    }
    Out.Steps[Out.Count++] = {kind, value};
  }

  void ReadOr() {
    ReadAnd();
    while (Error.empty() && Take("||")) {
      ReadAnd();
      Emit(Or);
    }
  }

  void ReadAnd() {
    ReadComparison();
    while (Error.empty() && Take("&&")) {
      ReadComparison();
      Emit(And);
    }
  }

  void ReadComparison() {
    ReadOperand();
    if (!Error.empty()) return;
    for (const Operator& op : Comparisons) {
      if (Take(op.Text)) {
        ReadOperand();
        Emit(op.Kind);
        return;
      }
    }
  }

  void ReadOperand() {
    if (Take("(")) {
      ReadOr();
      if (Error.empty() && !Take(")")) Error = "a \")\" is missing";
      return;
    }
    SkipBlanks();
    std::size_t end = Position;
    if (end < Text.size() && (Text[end] == '$' || Text[end] == '+')) ++end;
    while (end < Text.size() && IsNameCharacter(Text[end])) ++end;
    const std::string_view word = Text.substr(Position, end - Position);
    if (word.empty()) {
      Error = Position < Text.size() ? "unexpected " + QuoteForMessage(Text.substr(Position))
                                     : "an operand is missing";
      return;
    }
    Position = end;
    for (const Register& r : Registers) {
      if (SameLetters(word, r.Name)) {
        Emit(r.Push);
        return;
      }
    }
    std::uint32_t value = 0;
    if (!ParseValue(word, Labels, value)) {
      Error = QuoteForMessage(word) + " is no register, number or label";
      return;
    }
    Emit(PushValue, value);
  }

  std::string_view Text;
  LabelResolver Labels;
  Condition& Out;
  std::size_t Position = 0;
  std::string Error;
};

}  // namespace

bool ParseValue(std::string_view text, LabelResolver labels, std::uint32_t& value) {
  if (text.empty()) return false;
  if (text[0] == '.') {
    std::uint16_t address = 0;
    if (labels == nullptr || !labels(text.substr(1), address)) return false;
    value = address;
    return true;
  }
  const bool decimal = text[0] == '+';
  std::string_view digits = text[0] == '$' || decimal ? text.substr(1) : text;
  const unsigned base = decimal ? 10 : 16;
  std::uint64_t number = 0;
  bool ok = !digits.empty();
  for (const char c : digits) {
    const int digit = std::isdigit(static_cast<unsigned char>(c))    ? c - '0'
                      : std::isxdigit(static_cast<unsigned char>(c)) ? std::toupper(c) - 'A' + 10
                                                                     : 99;
    if (digit >= static_cast<int>(base)) {
      ok = false;
      break;
    }
    number = number * base + static_cast<unsigned>(digit);
    if (number > 0xFFFFFFFFu) return false;
  }
  if (ok) {
    value = static_cast<std::uint32_t>(number);
    return true;
  }
  // A bare word that is no number may be a label.
  std::uint16_t address = 0;
  if (text[0] == '$' || decimal || labels == nullptr || !labels(text, address)) return false;
  value = address;
  return true;
}

std::string CompileCondition(std::string_view text, LabelResolver labels, Condition& condition) {
  Condition compiled{};
  const std::string error = ConditionReader(text, labels, compiled).Read();
  if (error.empty()) condition = compiled;
  return error;
}

bool ConditionHolds(const Condition& condition, const CpuRegisterFile& registers) {
  std::uint32_t stack[ConditionSteps];
  int depth = 0;
  for (int i = 0; i < condition.Count; ++i) {
    const Condition::Step& step = condition.Steps[i];
    switch (step.Kind) {
      case PushValue:
        stack[depth++] = step.Value;
        continue;
      case PushA:
        stack[depth++] = registers.A;
        continue;
      case PushX:
        stack[depth++] = registers.X;
        continue;
      case PushY:
        stack[depth++] = registers.Y;
        continue;
      case PushPC:
        stack[depth++] = registers.PC;
        continue;
      case PushSP:
        stack[depth++] = registers.SP;
        continue;
      case PushFL:
        stack[depth++] = registers.P;
        continue;
      default:
        break;
    }
    const std::uint32_t right = stack[--depth];
    const std::uint32_t left = stack[depth - 1];
    bool result = false;
    switch (step.Kind) {
      case Equal:
        result = left == right;
        break;
      case NotEqual:
        result = left != right;
        break;
      case Less:
        result = left < right;
        break;
      case Greater:
        result = left > right;
        break;
      case LessEqual:
        result = left <= right;
        break;
      case GreaterEqual:
        result = left >= right;
        break;
      case And:
        result = left != 0 && right != 0;
        break;
      case Or:
        result = left != 0 || right != 0;
        break;
      default:
        break;
    }
    stack[depth - 1] = result ? 1 : 0;
  }
  return depth == 1 && stack[0] != 0;
}

}  // namespace quillon
