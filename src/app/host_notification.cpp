#include "app/host_notification.h"

namespace fx {

platform::SendOutcome NotifyHost(ChangeMask mask) {
  return platform::SendDataToWindow(kHostWindowTitle, mask);
}

}  // namespace fx
