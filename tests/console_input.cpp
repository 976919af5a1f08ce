// For the Windows console test: writes input records into the console of the running
// zantorix.exe, as Windows would on a resize or a key: "resize" (a buffer-size event) or
// "esc" (Esc down and up with an empty character field, as some consoles send it).
// Usage: console_input.exe resize|esc   (status 0 once written)
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>

static DWORD findProgram() {
  const HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W p{};
  p.dwSize = sizeof p;
  DWORD pid = 0;
  for (BOOL more = Process32FirstW(all, &p); more; more = Process32NextW(all, &p)) {
    if (_wcsicmp(p.szExeFile, L"zantorix.exe") == 0) pid = p.th32ProcessID;
  }
  CloseHandle(all);
  return pid;
}

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const DWORD pid = findProgram();
  FreeConsole();
  if (pid == 0 || !AttachConsole(pid)) return 3;
  const HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return 4;
  INPUT_RECORD r[2]{};
  DWORD count = 1, done = 0;
  if (std::wcscmp(argv[1], L"resize") == 0) {
    r[0].EventType = WINDOW_BUFFER_SIZE_EVENT;
    r[0].Event.WindowBufferSizeEvent.dwSize = COORD{90, 40};
  } else {
    for (int i = 0; i < 2; ++i) {
      r[i].EventType = KEY_EVENT;
      r[i].Event.KeyEvent.bKeyDown = i == 0;
      r[i].Event.KeyEvent.wRepeatCount = 1;
      r[i].Event.KeyEvent.wVirtualKeyCode = VK_ESCAPE;
    }
    count = 2;
  }
  return WriteConsoleInputW(in, r, count, &done) && done == count ? 0 : 5;
}
