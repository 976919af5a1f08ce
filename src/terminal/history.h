// The history file: where it lives, what of it is read back, and what a trimmed copy holds
// (pure: text in, lines out, in history.cpp); and the file itself, read without ever
// blocking, appended to, and trimmed in place of the file a link names (history_file.cpp).
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
// windowsHistoryPath: the same on Windows: $ZANTORIX_HISTORY when set (empty: no file);
// else %LOCALAPPDATA%\zantorix\history when that is set; "" when neither is.
std::string windowsHistoryPath(const char* own, const char* localAppData);
// readHistory: the lines to load from the file's last bytes (`whole`: its start too, else
// the first, partial, line is skipped): the last kMaxHistory keepable lines that end in a
// line break (CR LF as well), a line that repeats the one before it kept once. A last line
// without its break, a line with control bytes or with broken UTF-8 is not loaded.
std::deque<std::string> readHistory(std::string_view text, bool whole);
// writeHistory: the file's text for these lines.
std::string writeHistory(const std::deque<std::string>& lines);

// A history file in use. Only a regular file, or a path where nothing is yet, is history.
struct HistoryFile {
  std::string path;          // the file, a link resolved once; "" for no history
  std::size_t lines = 0;     // line breaks it holds, as far as this run knows
};
// The file trimmed to its last kMaxHistory lines once it holds more than this many.
constexpr std::size_t kTrimAbove = 2 * kMaxHistory;

// openHistory: the file at `path` ("": none) and the lines to recall from it, read without
// blocking or waiting on anything that is not a regular file (a FIFO, a terminal, a
// device, a folder: no history). Never writes.
HistoryFile openHistory(const std::string& path, std::deque<std::string>& loaded);
// appendHistory: the line and its break added at the file's end in one write (the file,
// mode 0600, and its missing folders, 0700, made first), a break first when the file's last
// line lacks one; past kTrimAbove lines, the file trimmed to what it holds then, through a
// temporary beside it renamed over it, its mode kept. Runs that share the file take turns
// by a lock on it; one that cannot have it within about 100 ms appends without it and
// trims later. A write cut short is taken back (under the lock). A file that cannot be
// written is no history from then on, said once on standard error; false: the line is not in.
bool appendHistory(HistoryFile& file, std::string_view line);

}  // namespace terminal
