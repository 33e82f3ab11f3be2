// Feeds arbitrary bytes to the program file loader, under both kinds of name.
#include <cstddef>
#include <cstdint>

#include "core/machine.h"
#include "loader_input.h"
#include "media/program_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon;
  if (size == 0) return 0;
  // The first byte picks the name, and with it whether the 26-byte header is skipped.
  static const fuzz::InputFile prg(".PRG");
  static const fuzz::InputFile p00(".P00");
  const fuzz::InputFile& input = (data[0] & 1) ? p00 : prg;
  input.Write(data + 1, size - 1);
  fuzz::PrepareGuardedRam();
  LoadProgramFile(input.Path.c_str(), MainRam);
  fuzz::CheckGuards();
  return 0;
}
