// Feeds arbitrary bytes to the program file loader, under both kinds of name.
#include <cstddef>
#include <cstdint>

#include "guarded_ram.h"
#include "media/program_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon;
  if (size == 0) return 0;
  // The first byte picks the name, and with it whether the 26-byte header is skipped.
  static const std::string prgPath = fuzz::InputPath(".PRG");
  static const std::string p00Path = fuzz::InputPath(".P00");
  const std::string& path = (data[0] & 1) ? p00Path : prgPath;
  fuzz::WriteInput(path, data + 1, size - 1);
  fuzz::PrepareGuardedRam();
  LoadProgramFile(path.c_str());
  fuzz::CheckGuards();
  return 0;
}
