#include "platform/host_window.h"

namespace fx::platform {

// No window system that the host editor could run in: there is nobody to tell.
SendOutcome SendDataToWindow(const std::string&, std::uint32_t) {
  return {Delivery::kNoWindow};
}

}  // namespace fx::platform
