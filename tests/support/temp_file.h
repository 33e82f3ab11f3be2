// Files written by tests for the loaders to read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::test {

// Writes `bytes` to a file called `name` in a directory of this test process's own, and
// returns its path. The directory goes when the process ends.
std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

}  // namespace quillon::test
