// The terminal on Windows: the console's key records turned into the bytes a terminal
// sends (arrows and the like as escape sequences, text as UTF-8, Ctrl-C as byte 3), and its
// output in virtual-terminal mode, so that the editor and its layout work as on any
// terminal. The only file here that calls the Windows console.
#include "terminal/tty.h"

#include "terminal/drawing.h"
#include "terminal/keyrecord.h"
#include "terminal/utf16.h"

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
bool vt = true;         // the console interprets escape sequences; else they are drawn here
std::string drawCarry;  // the end of a write cut off inside a sequence or a character
WORD normalColours = 0; // the colours the console had at the start
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
  if (active && n > 0) write({endBytes[slot], n});
}

// Whether the console interprets escape sequences: one that changes nothing on the screen
// is written, and the cursor must not move. Where it did (the sequence shown as text, as on
// consoles before Windows 10), the cursor goes back and the text is blanked.
bool interprets() {
  CONSOLE_SCREEN_BUFFER_INFO before{}, after{};
  if (!GetConsoleScreenBufferInfo(out, &before)) return true;
  DWORD done = 0;
  WriteFile(out, "\x1b[0m", 4, &done, nullptr);
  if (!GetConsoleScreenBufferInfo(out, &after)) return true;
  const COORD a = before.dwCursorPosition, b = after.dwCursorPosition;
  if (a.X == b.X && a.Y == b.Y) return true;
  const DWORD cells = static_cast<DWORD>((b.Y - a.Y) * before.dwSize.X + b.X - a.X);
  FillConsoleOutputCharacterW(out, L' ', cells, a, &done);
  SetConsoleCursorPosition(out, a);
  return false;
}

// Blanks `cells` cells from `from` in the normal colours.
void blank(COORD from, DWORD cells) {
  DWORD done = 0;
  FillConsoleOutputCharacterW(out, L' ', cells, from, &done);
  FillConsoleOutputAttribute(out, normalColours, cells, from, &done);
}

// One step of the editor's drawing through the console's own calls.
void carryOut(const DrawStep& step) {
  using K = DrawStep::Kind;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(out, &info)) return;
  COORD at = info.dwCursorPosition;
  const SHORT width = info.dwSize.X, height = info.dwSize.Y;
  const auto n = static_cast<SHORT>(std::min(step.n, 9999));
  switch (step.kind) {
    case K::text: {
      const std::u16string w = toUtf16(step.text);
      DWORD done = 0;
      WriteConsoleW(out, w.data(), static_cast<DWORD>(w.size()), &done, nullptr);
      return;
    }
    case K::up: at.Y = static_cast<SHORT>(std::max(at.Y - n, 0)); break;
    case K::down: at.Y = static_cast<SHORT>(std::min(at.Y + n, height - 1)); break;
    case K::right: at.X = static_cast<SHORT>(std::min(at.X + n, width - 1)); break;
    case K::eraseLine: return blank(at, static_cast<DWORD>(width - at.X));
    case K::eraseBelow:  // row by row to the window's bottom
      blank(at, static_cast<DWORD>(width - at.X));
      for (SHORT row = static_cast<SHORT>(at.Y + 1); row <= info.srWindow.Bottom; ++row) blank({0, row}, static_cast<DWORD>(width));
      return;
    case K::dim: SetConsoleTextAttribute(out, static_cast<WORD>((normalColours & 0xF0) | FOREGROUND_INTENSITY)); return;
    case K::normal: SetConsoleTextAttribute(out, normalColours); return;
    case K::home: at = {info.srWindow.Left, info.srWindow.Top}; break;
    case K::clear:
      for (SHORT row = info.srWindow.Top; row <= info.srWindow.Bottom; ++row) blank({0, row}, static_cast<DWORD>(width));
      return;
  }
  SetConsoleCursorPosition(out, at);
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
// console's virtual-terminal processing where it is there and works; else (consoles before
// Windows 10 refuse it, wine's takes it and shows the sequences as text) the drawing is
// carried out here through the console's calls.
bool enter() {
  in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!GetConsoleMode(in, &savedIn) || !GetConsoleMode(out, &savedOut)) return false;
  const bool vtMode = SetConsoleMode(out, savedOut | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  if (!vtMode && !SetConsoleMode(out, savedOut | ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT)) return false;
  const DWORD raw = (savedIn | ENABLE_WINDOW_INPUT) &
                    ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT | ENABLE_MOUSE_INPUT);
  if (!SetConsoleMode(in, raw)) {
    SetConsoleMode(out, savedOut);
    return false;
  }
  savedCodePage = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  normalColours = GetConsoleScreenBufferInfo(out, &info) ? info.wAttributes : static_cast<WORD>(7);
  vt = vtMode && interprets();
  if (!vt) SetConsoleMode(out, savedOut | ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT);
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

// Through the console handle itself, in UTF-8 (the code page enter set); where the console
// does not interpret escape sequences, as steps carried out through its own calls.
bool write(std::string_view s) {
  if (!vt && active) {
    for (const DrawStep& step : drawSteps(s, drawCarry)) carryOut(step);
    return true;
  }
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

std::vector<std::string> arguments() { return splitCommandLine(reinterpret_cast<const char16_t*>(GetCommandLineW())); }

}  // namespace terminal::tty
