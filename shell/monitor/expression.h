// Numbers and conditions as the monitor reads them. A number is hex, with or without "$", or
// decimal after "+"; a name that a label gives stands for its address. A condition compares
// registers and numbers (A == $20, X > 3 && Y != 0) and is compiled into a program of fixed
// size, so that checking it when a checkpoint is hit allocates nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "interface/machine.h"

namespace quillon {

// The address of the label `name` (without its leading "."); false when there is none.
using LabelResolver = bool (*)(std::string_view name, std::uint16_t& address);

// Reads a whole number or label from `text`. False when it is neither (or overflows 32 bits).
bool ParseValue(std::string_view text, LabelResolver labels, std::uint32_t& value);

inline constexpr int ConditionSteps = 48;

// A condition as a program for a small stack machine, in postfix order.
struct Condition {
  struct Step {
    std::uint8_t Kind;
    std::uint32_t Value;
  };
  Step Steps[ConditionSteps];
  int Count;
};

// Compiles `text`: register names A, X, Y, PC, SP and FL (upper or lower case), numbers and
// labels, the comparisons == != < > <= >=, && and || (which bind less tightly, || least) and
// parentheses. Returns an empty string, or what is wrong with the text.
std::string CompileCondition(std::string_view text, LabelResolver labels, Condition& condition);

bool ConditionHolds(const Condition& condition, const CpuRegisterFile& registers);

}  // namespace quillon
