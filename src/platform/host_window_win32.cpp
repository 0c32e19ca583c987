#include <windows.h>

#include <cstdlib>

#include "platform/host_window.h"

namespace fx::platform {
namespace {

// The wait for the window, or the shorter one that FXINSTALL_HOST_WAIT_MS asks for (a test
// hook: a test of a window that never answers need not last a minute). Anything else in the
// variable is ignored.
DWORD WaitMilliseconds() {
  char value[16];
  const DWORD length = GetEnvironmentVariableA("FXINSTALL_HOST_WAIT_MS", value, sizeof value);
  if (length == 0 || length >= sizeof value) return kWindowWaitMilliseconds;
  char* end = nullptr;
  const unsigned long wait = std::strtoul(value, &end, 10);
  if (end == value || *end != '\0' || wait == 0 || wait > kWindowWaitMilliseconds) {
    return kWindowWaitMilliseconds;
  }
  return static_cast<DWORD>(wait);
}

}  // namespace

SendOutcome SendDataToWindow(const std::string& title, std::uint32_t data) {
  const HWND window = FindWindowA(nullptr, title.c_str());
  if (window == nullptr) return {Delivery::kNoWindow};
  COPYDATASTRUCT record{};
  record.dwData = data;
  record.cbData = 0;
  record.lpData = nullptr;
  DWORD_PTR result = 0;
  // No SMTO_ABORTIFHUNG: Windows counts a window that has not asked for messages for 5 seconds
  // as hung, so an editor busy loading a project would lose the message. The message waits in
  // the window's queue until the window takes it or the wait ends, when Windows withdraws it.
  // SMTO_ERRORONEXIT: a window destroyed meanwhile makes the call fail, not succeed.
  SetLastError(ERROR_SUCCESS);
  if (SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record),
                          SMTO_NORMAL | SMTO_ERRORONEXIT, WaitMilliseconds(), &result) != 0) {
    return {Delivery::kDelivered};
  }
  const DWORD error = GetLastError();
  if (!IsWindow(window)) return {Delivery::kWindowClosed};
  // Old Windows versions reported a time-out as error 0.
  if (error == ERROR_TIMEOUT || error == ERROR_SUCCESS) return {Delivery::kTimedOut};
  return {Delivery::kRefused, static_cast<std::uint32_t>(error)};
}

}  // namespace fx::platform
