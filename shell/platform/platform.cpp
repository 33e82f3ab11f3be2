#include "platform/platform.h"

namespace quillon {

// Until a backend fills it, the table holds no operations.
PlatformOps Platform = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr};
WindowProcedure MainWindowProcedure = nullptr;

}  // namespace quillon
