// Feeds arbitrary bytes to the cartridge loader as a .crt file.
#include <cstddef>
#include <cstdint>

#include "guarded_ram.h"
#include "media/cartridge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillon;
  static const std::string path = fuzz::InputPath(".crt");
  fuzz::WriteInput(path, data, size);
  fuzz::PrepareGuardedRam();
  LoadCartridge(path.c_str());
  fuzz::CheckGuards();
  return 0;
}
