// The terminal on Windows: the console's key records turned into the bytes a terminal
// sends (arrows and the like as escape sequences, text as UTF-8, Ctrl-C as byte 3), and its
// output in virtual-terminal mode, so that the editor and its layout work as on any
// terminal. The only file here that calls the Windows console.
#include "terminal/tty.h"

#include "terminal/keyrecord.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace terminal::tty {

namespace {

HANDLE in = INVALID_HANDLE_VALUE, out = INVALID_HANDLE_VALUE;
DWORD savedIn = 0, savedOut = 0;
UINT savedCodePage = 0;
HANDLE wake = nullptr;  // set by the Ctrl handler, so that a wait returns at once
std::atomic<bool> active{false}, resized{false}, interrupted{false};
std::string pending;    // bytes translated from key records, not yet read
KeyTranslator keys;     // a surrogate pair's first half, between records
// Two slots for atEnd's bytes: one is written while the other, named by endSlot, stays
// whole for the Ctrl handler's thread.
char endBytes[2][kEndBytes];
std::size_t endLength[2] = {0, 0};
std::atomic<int> endSlot{0};

// The bytes a terminal would send for a key record, into `pending`.
void translate(const KEY_EVENT_RECORD& k) {
  KeyRecord r;
  r.down = k.bKeyDown != 0, r.key = k.wVirtualKeyCode, r.ch = static_cast<char16_t>(k.uChar.UnicodeChar);
  r.mods = k.dwControlKeyState, r.repeat = k.wRepeatCount;
  translateKey(keys, r, pending);
}

// Reads every record waiting, without blocking: keys into `pending`. True when the window
// changed size among them.
bool drain() {
  bool sized = false;
  DWORD count = 0;
  while (GetNumberOfConsoleInputEvents(in, &count) && count > 0) {
    INPUT_RECORD records[64];
    DWORD got = 0;
    if (!ReadConsoleInputW(in, records, 64, &got)) break;
    for (DWORD i = 0; i < got; ++i) {
      if (records[i].EventType == KEY_EVENT) translate(records[i].Event.KeyEvent);
      if (records[i].EventType == WINDOW_BUFFER_SIZE_EVENT) sized = true;
    }
  }
  if (sized) resized = true;
  return sized;
}

// What atEnd asked for, written while the console is still the program's.
void eraseRows() {
  const int slot = endSlot;
  const std::size_t n = endLength[slot];
  DWORD done = 0;
  if (active && n > 0) WriteFile(out, endBytes[slot], static_cast<DWORD>(n), &done, nullptr);
}

// Ctrl-C and Ctrl-Break are keys, as in raw mode elsewhere; closing the console, logging
// off or shutting down give the console back before the program ends.
BOOL WINAPI onControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    interrupted = true;
    if (wake != nullptr) SetEvent(wake);
    return TRUE;
  }
  eraseRows();
  leave();
  return FALSE;
}

// A crash gives the console back too, then goes on to end the program as it would have.
LONG WINAPI onCrash(EXCEPTION_POINTERS*) {
  eraseRows();
  leave();
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

bool wanted() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) && GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
}

// Input: key records one by one, no echo, Ctrl-C a key, window sizes reported. Output: the
// console's virtual-terminal processing, which consoles before Windows 10 refuse: false
// then, and the dialogue stays cooked.
bool enter() {
  in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!GetConsoleMode(in, &savedIn) || !GetConsoleMode(out, &savedOut)) return false;
  if (!SetConsoleMode(out, savedOut | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
  const DWORD raw = (savedIn | ENABLE_WINDOW_INPUT) &
                    ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT | ENABLE_MOUSE_INPUT);
  if (!SetConsoleMode(in, raw)) {
    SetConsoleMode(out, savedOut);
    return false;
  }
  savedCodePage = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  if (wake == nullptr) wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(onControl, TRUE);
  SetUnhandledExceptionFilter(onCrash);
  std::atexit(leave);
  active = true;
  return true;
}

void leave() {
  if (!active) return;
  SetConsoleMode(in, savedIn);
  SetConsoleMode(out, savedOut);
  if (savedCodePage != 0) SetConsoleOutputCP(savedCodePage);
  active = false;
}

void atEnd(std::string_view bytes) {
  const int slot = 1 - endSlot;
  const bool fits = bytes.size() <= kEndBytes;
  if (fits) std::copy(bytes.begin(), bytes.end(), endBytes[slot]);
  endLength[slot] = fits ? bytes.size() : 0;
  endSlot = slot;  // sequentially consistent: the bytes are there before the switch
}

int columns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 80;
  return std::max(info.srWindow.Right - info.srWindow.Left + 1, 1);
}

int rows() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return 0;
  return info.srWindow.Bottom - info.srWindow.Top + 1;
}

// Ready when translated bytes or a Ctrl-C wait; interrupted when the window changed size
// (as a signal interrupts a wait elsewhere). Records that are no keys are read and dropped.
Wait waitInput(int ms) {
  const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(std::max(ms, 0));
  for (;;) {
    const bool sized = drain();
    if (!pending.empty() || interrupted) return Wait::ready;
    if (sized) return Wait::interrupted;
    const ULONGLONG now = GetTickCount64();
    if (ms >= 0 && now >= until) return Wait::timeout;
    const HANDLE handles[2] = {in, wake};
    const DWORD left = ms < 0 ? INFINITE : static_cast<DWORD>(until - now);
    const DWORD w = WaitForMultipleObjects(wake != nullptr ? 2 : 1, handles, FALSE, left);
    if (w == WAIT_OBJECT_0 + 1) ResetEvent(wake);
    if (w == WAIT_FAILED) return Wait::ready;  // the read that follows reports it
  }
}

long readInput(char* buf, std::size_t size) {
  if (pending.empty() && !interrupted) {
    const Wait w = waitInput(-1);
    if (w == Wait::interrupted) return errno = EINTR, -1;
  }
  if (interrupted.exchange(false)) pending.push_back('\x03');
  if (pending.empty()) return errno = EIO, -1;
  const std::size_t n = std::min(size, pending.size());
  std::copy(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(n), buf);
  pending.erase(0, n);
  return static_cast<long>(n);
}

bool writeAll(int fd, std::string_view s) {
  while (!s.empty()) {
    const int n = _write(fd, s.data(), static_cast<unsigned>(std::min<std::size_t>(s.size(), 1 << 30)));
    if (n <= 0) return false;
    s.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Through the console handle itself, in UTF-8 (the code page enter set).
bool write(std::string_view s) {
  while (!s.empty()) {
    DWORD done = 0;
    const DWORD n = static_cast<DWORD>(std::min<std::size_t>(s.size(), 1 << 20));
    if (!WriteFile(out, s.data(), n, &done, nullptr) || done == 0) return errno = EIO, false;
    s.remove_prefix(done);
  }
  return true;
}

// Windows has no job control: Ctrl-Z does nothing here.
void suspend() {}

bool takeResized() { return resized.exchange(false); }

bool takeResumed() { return false; }

}  // namespace terminal::tty
