// For the Windows console test: writes input records into the console of the running
// zantorix.exe, as Windows would on a resize or a key: "resize" (a buffer-size event) or
// "esc" (Esc down and up with an empty character field, as some consoles send it).
// Usage: console_input.exe resize|esc   (status 0 once written)
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  const HANDLE all = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W p{};
  p.dwSize = sizeof p;
  DWORD pid = 0;
  for (BOOL more = Process32FirstW(all, &p); more; more = Process32NextW(all, &p)) {
    if (_wcsicmp(p.szExeFile, L"zantorix.exe") == 0) pid = p.th32ProcessID;
  }
  FreeConsole();
  if (argc != 2 || pid == 0 || !AttachConsole(pid)) return 3;
  const HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  INPUT_RECORD r[2]{};
  const bool resize = std::wcscmp(argv[1], L"resize") == 0;
  for (int i = 0; i < 2; ++i) {
    r[i].EventType = resize ? WINDOW_BUFFER_SIZE_EVENT : KEY_EVENT;
    if (resize) r[i].Event.WindowBufferSizeEvent.dwSize = COORD{90, 40};
    else r[i].Event.KeyEvent = {i == 0, 1, VK_ESCAPE, 0, {}, 0};
  }
  DWORD done = 0;
  const DWORD count = resize ? 1 : 2;
  return in != INVALID_HANDLE_VALUE && WriteConsoleInputW(in, r, count, &done) && done == count ? 0 : 4;
}
