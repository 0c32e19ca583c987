#include "app/host_notification.h"

#include "platform/host_window.h"

namespace fx {

void NotifyHost(ChangeMask mask) {
  platform::SendDataToWindow(HostWindowTitle, mask);
}

}  // namespace fx
