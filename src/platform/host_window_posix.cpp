#include "platform/host_window.h"

namespace fx::platform {

// No window system that the host editor could run in: there is nobody to tell.
void SendDataToWindow(const std::string&, std::uint32_t) {}

}  // namespace fx::platform
