// The host editor's main window, found by its title.
#pragma once

#include <cstdint>
#include <string>

namespace fx::platform {

// What became of a message to a window.
enum class Delivery {
  kDelivered,     // the window handled it
  kNoWindow,      // no top-level window has the title: nobody to tell
  kTimedOut,      // the window took no message within the wait; the message was withdrawn
  kWindowClosed,  // the window went away before it took the message
  kRefused,       // the system would not send it; systemError says why
};

struct SendOutcome {
  Delivery delivery = Delivery::kNoWindow;
  std::uint32_t systemError = 0;  // with kRefused: the system's error code
};

// How long SendDataToWindow waits at most for a window to take the message.
inline constexpr std::uint32_t kWindowWaitMilliseconds = 60000;

// Sends WM_COPYDATA to the top-level window titled title, if there is one: wParam 0 and a
// COPYDATASTRUCT of dwData = data, cbData 0, lpData null, and waits until the window has
// handled it. A window that takes no message meanwhile (an editor busy loading a project, or
// one that hangs for good: the two look alike) is waited for kWindowWaitMilliseconds at most.
// Systems without such windows send nothing and report kNoWindow.
//
// Test hook (Windows): the environment variable FXINSTALL_HOST_WAIT_MS, a number of
// milliseconds from 1 to kWindowWaitMilliseconds, shortens the wait.
SendOutcome SendDataToWindow(const std::string& title, std::uint32_t data);

}  // namespace fx::platform
