// Where the prompt and the line fall on a terminal of a given width, and the bytes that
// draw them. Pure: the line and the width in, text for the terminal out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "terminal/text.h"

namespace terminal {

// A place on the screen, counted from the prompt's first column: row 0 is the prompt's row.
struct Place {
  int row = 0, col = 0;
};

// What the screen shows now: the prompt (text without control bytes), the line, the width.
struct View {
  std::string_view prompt;
  std::string_view line;
  std::size_t cursor = 0;
  int cols = 80;
  int rows = 0;  // the window's height (0: no limit); a taller line is shown a window at a time
};

// The place just after the first `upto` bytes of the line. A character that does not fit
// in the row starts the next one; a row filled to the last column ends there, and the
// place after it is column 0 of the next row.
Place locate(const View& v, std::size_t upto);
// The bytes that show the character as the line shows it.
std::string shown(std::string_view ch);
// redraw: from the cursor at row `cursorRow`, draws the prompt and the line afresh and leaves
// the cursor at v.cursor; `fromHome` clears the whole screen first. Returns the bytes;
// cursorRow becomes the cursor's new row. A line taller than the window is drawn as the
// window's worth of rows that holds the cursor, over the whole window: the move up to row
// 0 stops at the window's top, where that drawing starts.
std::string redraw(const View& v, int& cursorRow, bool fromHome = false);
// moveCursor: from place `from` to place `to`, with relative moves.
std::string moveCursor(Place from, Place to);

}  // namespace terminal
