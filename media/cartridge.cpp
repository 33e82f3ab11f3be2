#include "media/cartridge.h"

namespace quillon {

int CartridgeAttached = 0;
std::string CartridgePath;

void LoadCartridge(const char*) {}

}  // namespace quillon
