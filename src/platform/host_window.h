// The host editor's main window, found by its title.
#pragma once

#include <cstdint>
#include <string>

namespace fx::platform {

// Sends WM_COPYDATA to the top-level window titled title, if there is one: wParam 0 and a
// COPYDATASTRUCT of dwData = data, cbData 0, lpData null. Waits for the window to handle it,
// but gives up on a window that does not answer within a few seconds. Systems without such
// windows send nothing.
void SendDataToWindow(const std::string& title, std::uint32_t data);

}  // namespace fx::platform
