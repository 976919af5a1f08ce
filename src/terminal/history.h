// The history file: where it lives, what of it is read back, and what a trimmed copy holds.
// Pure: text in, lines out; the file itself is read and written by tty.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "terminal/line.h"

namespace terminal {

// At most this many bytes are read from the file's end: kMaxHistory lines of kMaxLine bytes.
constexpr std::size_t kHistoryTail = kMaxHistory * (kMaxLine + 1);

// historyPath: the file, from the environment's values (null: unset). $ZANTORIX_HISTORY
// when set (set but empty: no file); else $XDG_STATE_HOME/zantorix/history when that is
// an absolute path; else $HOME/.local/state/zantorix/history; "" when none applies.
std::string historyPath(const char* own, const char* stateHome, const char* home);
// readHistory: the lines to load from the file's last bytes (`whole`: its start too, else
// the first, partial, line is skipped): the last kMaxHistory keepable lines, a line that
// repeats the one before it kept once. `clean` is false when the file holds more than
// that (more lines, garbled ones, an unfinished last line): it is then to be rewritten.
std::deque<std::string> readHistory(std::string_view text, bool whole, bool& clean);
// writeHistory: the file's text for these lines.
std::string writeHistory(const std::deque<std::string>& lines);

}  // namespace terminal
