// A stand-in for the host editor and for other Windows processes, for the tests under Wine.
//
//   fxhost_stub receive [--busy=MS | --hung] LOG READY STOP [FILE...]
//     Opens a top-level window titled "Vaskel". Every WM_COPYDATA it receives appends one line
//     to LOG: "wParam=W dwData=0xD cbData=C lpData=null|set sizes=N,N,..." where the sizes are
//     those of the FILEs at that moment (-1 when missing), to show what was complete when the
//     message arrived. With --busy it takes no message for the first MS milliseconds, as an
//     editor loading a project; with --hung it never takes one, and exits at STOP with its
//     window.
//   fxhost_stub hold FILE READY STOP
//     Holds FILE open without sharing, as a host editor or scanner might.
//
// Both create READY once set up and run until the file STOP exists.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string gLog;
std::vector<std::string> gFiles;

bool Exists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void Touch(const char* path) {
  const HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

long long SizeOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA) return DefWindowProcA(window, message, wParam, lParam);
  const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  std::string line = "wParam=" + std::to_string(static_cast<unsigned long long>(wParam));
  char data[32];
  std::snprintf(data, sizeof data, " dwData=0x%llx",
                static_cast<unsigned long long>(record->dwData));
  line += data;
  line += " cbData=" + std::to_string(record->cbData);
  line += record->lpData == nullptr ? " lpData=null" : " lpData=set";
  line += " sizes=";
  for (size_t i = 0; i < gFiles.size(); ++i) {
    if (i > 0) line += ",";
    line += std::to_string(SizeOf(gFiles[i]));
  }
  line += "\n";
  if (FILE* log = std::fopen(gLog.c_str(), "ab")) {
    std::fputs(line.c_str(), log);
    std::fclose(log);
  }
  return TRUE;
}

int WaitForStopWithoutMessages(const char* stop) {
  while (!Exists(stop)) Sleep(20);
  return 0;
}

int WaitForStop(const char* stop) {
  MSG message;
  for (;;) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (Exists(stop)) return 0;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "receive" && argc >= 5) {
    int next = 2;
    DWORD busyMilliseconds = 0;
    bool hung = false;
    const std::string option = argv[next];
    if (option.rfind("--busy=", 0) == 0) {
      busyMilliseconds = std::stoul(option.substr(7));
      ++next;
    } else if (option == "--hung") {
      hung = true;
      ++next;
    }
    if (argc < next + 3) return 2;
    gLog = argv[next];
    const char* ready = argv[next + 1];
    const char* stop = argv[next + 2];
    for (int i = next + 3; i < argc; ++i) gFiles.push_back(argv[i]);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "FxHostStub";
    RegisterClassA(&windowClass);
    const HWND window = CreateWindowA("FxHostStub", "Vaskel", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 3;
    Touch(ready);
    if (hung) return WaitForStopWithoutMessages(stop);
    Sleep(busyMilliseconds);
    return WaitForStop(stop);
  }
  if (mode == "hold" && argc == 5) {
    const HANDLE handle = CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return 3;
    Touch(argv[3]);
    const int result = WaitForStop(argv[4]);
    CloseHandle(handle);
    return result;
  }
  std::fputs(
      "usage: fxhost_stub receive [--busy=MS | --hung] LOG READY STOP [FILE...]"
      " | hold FILE READY STOP\n",
      stderr);
  return 2;
}
