// The line being edited and the lines submitted before it. Pure: a key and the state in,
// the new state and what the screen must do out; nothing is read or written here.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <string_view>

#include "terminal/keys.h"

namespace terminal {

// At most this many bytes in a line: memory stays bounded whatever is typed or pasted.
constexpr std::size_t kMaxLine = 4096;
// The submitted lines that Up and Down walk through.
constexpr std::size_t kMaxHistory = 1000;

// Ctrl-R's search back through history, as it stands.
struct Search {
  bool on = false;
  bool failed = false;        // the last try found nothing
  std::string query;
  std::size_t match = 0;      // the history entry shown (history.size(): none yet)
  std::string line;           // the line and cursor from before the search, for Ctrl-G
  std::size_t cursor = 0;
};

struct Editing {
  std::string line;
  std::size_t cursor = 0;               // a byte offset, always at a character's start
  std::deque<std::string> history;      // oldest first
  std::size_t walk = 0;                 // the history entry shown; history.size() is the draft
  std::map<std::size_t, std::string> edits;  // entries changed while walking, and the draft
  std::string killed;                   // the last text Ctrl-U, Ctrl-K, Ctrl-W or Alt+d/Backspace took
  bool keep = true;                     // whether a submitted line joins history
  bool kept = false;                    // whether the last submitted line joined it
  Search search;
};

enum class Outcome {
  unchanged,  // nothing to draw
  changed,    // the line or the cursor moved: redraw
  refused,    // nothing changed: ring the bell
  submit,     // Enter: the line is done (and in history when `kept`)
  end,        // Ctrl-D on an empty line: the end of input
  interrupt,  // Ctrl-C: the line is dropped
  suspend,    // Ctrl-Z
  clear,      // Ctrl-L: clear the screen, redraw
};

// apply: one key to the state. submit leaves the finished line in `line`; the caller
// empties the line with startLine before the next one.
Outcome apply(Editing& e, const Key& k);
// startLine: an empty line, history walk back at the draft, edits made while walking gone.
void startLine(Editing& e);
// keepable: whether a line may join history: not blank, at most kMaxLine bytes, whole
// UTF-8 characters and no control bytes.
bool keepable(std::string_view line);
// What stands before the line while searching: "(reverse-i-search)`query': ".
std::string searchPrompt(const Search& s);

}  // namespace terminal
