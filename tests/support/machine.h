// Helpers that bring the real machine up in a test and look at what it shows.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::test {

// Puts every record back to its program-start value and runs EmulatorInit, as a fresh
// program start would.
void PowerOnMachine();

// Runs RunStep until `frames` more frames have ended.
void RunFrames(int frames);

// Runs exactly `steps` calls of RunStep.
void RunSteps(long steps);

// Row `row` (0-24) of the text screen at `screenAddress`, screen codes turned into ASCII.
std::string ScreenRowText(int row, std::uint16_t screenAddress = 0x0400);

}  // namespace quillon::test
