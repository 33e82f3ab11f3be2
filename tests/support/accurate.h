// Helpers for the accurate machine's tests: booting it, looking at its screen, running code on it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "interface/machine.h"

namespace quillon::test {

// An accurate machine powered on and run until BASIC waits at READY.
std::unique_ptr<Machine> BootAccurate(bool newCias = false);

// Row `row` (0-24) of the text screen the machine shows, as ASCII, trailing blanks removed.
std::string ScreenRow(const Machine& machine, int row);

}  // namespace quillon::test
