// The terminal itself: raw input mode on and off, the window's width, bytes in and out,
// and the signals that must give the terminal back. The only file here that calls POSIX.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace terminal::tty {

// wanted: standard input and output are both terminals and TERM names one that is not dumb.
bool wanted();
// enter: saves the settings, switches the input side to raw mode (output processing stays
// as it is) and installs the signal handlers; false, with nothing changed, when it cannot.
bool enter();
// leave: the saved settings back. Safe to call more than once and from a signal handler.
void leave();
// atEnd: bytes that erase what the program drew below the line (a preview, a progress
// note), written before the settings are given back when a signal ends or stops the
// program; "" for none. Longer than kEndBytes: none.
constexpr std::size_t kEndBytes = 128;
void atEnd(std::string_view bytes);
// columns / rows: the window's width, 80 when the terminal does not say, and its height,
// 0 when it does not.
int columns();
int rows();

enum class Wait { ready, timeout, interrupted };
// waitInput: waits up to `ms` milliseconds (−1: no limit) for standard input; interrupted
// by a signal or a change of the window's size (a redraw, no failure); ready too when the
// wait fails, for the read that follows to report it.
Wait waitInput(int ms);
// readInput: read(2) on standard input: bytes read, 0 at its end, −1 with errno set.
long readInput(char* buf, std::size_t size);
// write: all of s to standard output; false (errno set) when a write fails.
bool write(std::string_view s);
// writeAll: all of s to descriptor fd, resumed after a signal; false when a write fails.
bool writeAll(int fd, std::string_view s);
// suspend: stops the program's process group as Ctrl-Z would in a plain terminal; the
// settings are given back first and raw mode returns when the program is continued.
void suspend();
// takeResized / takeResumed: whether the window changed size, or the program was continued
// after a stop, since the last call.
bool takeResized();
bool takeResumed();
#ifdef _WIN32
// arguments: the program's command line, taken as UTF-16 and split as the C runtime splits
// it, in UTF-8 (the C runtime's own arguments lose what lies outside the ANSI code page).
std::vector<std::string> arguments();
#endif

}  // namespace terminal::tty
