// Feeds arbitrary bytes to the cartridge loader as a .crt file.
#include <cstddef>
#include <cstdint>

#include "loader_input.h"
#include "media/cartridge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon;
  static const fuzz::InputFile input(".crt");
  input.Write(data, size);
  fuzz::PrepareGuardedRam();
  LoadCartridge(input.Path.c_str());
  fuzz::CheckGuards();
  return 0;
}
