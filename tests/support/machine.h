// Helpers that bring the real machine up in a test, run it, type on it and look at what it
// shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "interface/machine.h"

namespace quillon::test {

// The model's name, for the tests that run in both models.
inline const char* ModelName(MachineModel model) {
  return model == MachineModel::Classic ? "Classic" : "Accurate";
}

// Takes the machine's memory blocks away for its lifetime, as before the program's first
// EmulatorInit, with `allocator` standing in for the real one; puts everything back at the end.
class UnallocatedMachine {
 public:
  explicit UnallocatedMachine(void* (*allocator)(std::size_t));
  ~UnallocatedMachine();
  UnallocatedMachine(const UnallocatedMachine&) = delete;
  UnallocatedMachine& operator=(const UnallocatedMachine&) = delete;

 private:
  std::uint8_t* blocks_[3];
};

// Puts every record back to its program-start value and runs EmulatorInit, as a fresh
// program start would.
void PowerOnMachine();

// Runs RunStep until `frames` more frames have ended.
void RunFrames(int frames);

// Runs exactly `steps` calls of RunStep.
void RunSteps(long steps);

// Row `row` (0-24) of the text screen at `screenAddress`, screen codes turned into ASCII.
std::string ScreenRowText(int row, std::uint16_t screenAddress = 0x0400);

// Powers the machine on, puts `code` into RAM at `address` and leaves the CPU at its service
// step, about to fetch the first byte.
void StartProgram(std::uint16_t address, std::initializer_list<std::uint8_t> code);

// Runs one instruction through CpuExecute, from its service step (interrupt entry and fetch) to
// its last cycle; returns the number of calls, which is its cycle count.
int RunInstruction();

// Types `text` key by key through the host key table into KeyMatrix, with the host Shift key
// held for characters that need it; '\n' is RETURN. A character no key types fails the test.
void TypeText(std::string_view text);

}  // namespace quillon::test
