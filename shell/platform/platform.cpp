#include "platform/platform.h"

#include "platform/socket_platform.h"

namespace quillon {

// Until a backend fills it, the table holds no operations.
PlatformOps Platform = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr, nullptr, nullptr};
WindowProcedure MainWindowProcedure = nullptr;
SocketPlatformOps SocketPlatform = {};

}  // namespace quillon
