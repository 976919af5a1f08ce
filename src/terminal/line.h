// The line being edited and the lines submitted before it. Pure: a key and the state in,
// the new state and what the screen must do out; nothing is read or written here.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "terminal/keys.h"

namespace terminal {

// At most this many bytes in a line: memory stays bounded whatever is typed or pasted.
constexpr std::size_t kMaxLine = 4096;
// The submitted lines that Up and Down walk through.
constexpr std::size_t kMaxHistory = 1000;

struct Editing {
  std::string line;
  std::size_t cursor = 0;             // a byte offset, always at a character's start
  std::deque<std::string> history;    // oldest first
  std::size_t walk = 0;               // the history entry shown; history.size() is the draft
  std::string draft;                  // the line being typed while history is shown
};

enum class Outcome {
  unchanged,  // nothing to draw
  changed,    // the line or the cursor moved: redraw
  refused,    // nothing changed: ring the bell
  submit,     // Enter: the line is done and is in history
  end,        // Ctrl-D on an empty line: the end of input
  interrupt,  // Ctrl-C: the line is dropped
  suspend,    // Ctrl-Z
  clear,      // Ctrl-L: clear the screen, redraw
};

// apply: one key to the state. submit leaves the finished line in `line` (history has it
// too); the caller empties the line with startLine before the next one.
Outcome apply(Editing& e, const Key& k);
// startLine: an empty line, history walk back at the draft.
void startLine(Editing& e);
// The byte length of the character that starts at `at`.
std::size_t charLen(std::string_view s, std::size_t at);

}  // namespace terminal
