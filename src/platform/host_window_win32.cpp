#include <windows.h>

#include "platform/host_window.h"

namespace fx::platform {
namespace {

// How long a host editor may take to handle the message before the installer stops waiting.
constexpr UINT kSendTimeoutMs = 5000;

}  // namespace

void SendDataToWindow(const std::string& title, std::uint32_t data) {
  const HWND window = FindWindowA(nullptr, title.c_str());
  if (window == nullptr || !IsWindow(window)) return;
  COPYDATASTRUCT record{};
  record.dwData = data;
  record.cbData = 0;
  record.lpData = nullptr;
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record), SMTO_ABORTIFHUNG,
                      kSendTimeoutMs, &result);
}

}  // namespace fx::platform
