#include "terminal/layout.h"

#include <algorithm>

#include "terminal/text.h"

namespace terminal {

namespace {

std::string csi(int n, char what) { return "\x1b[" + std::to_string(n) + what; }

}  // namespace

std::string shown(std::string_view ch) { return ch == "\x1b" ? std::string("^[") : std::string(ch); }

// Walks the prompt and the first `upto` bytes of the line: each(text, place, ofLine) for
// every character, with the place it starts at. Returns the place after the last.
template <typename Each>
Place walk(const View& v, std::size_t upto, Each each) {
  const int cols = v.cols > 0 ? v.cols : 80;
  Place p;
  // One glyph of width w: to the next row when it does not fit, and past a filled row.
  const auto put = [&](int w) {
    if (p.col + w > cols) p = {p.row + 1, 0};
    p.col += w;
    if (p.col >= cols) p = {p.row + 1, 0};
  };
  for (std::size_t at = 0; at < v.prompt.size(); at += charLen(v.prompt, at)) {
    const std::string_view ch = v.prompt.substr(at, charLen(v.prompt, at));
    const int w = cellWidth(ch);
    each(ch, p.col + w > cols ? Place{p.row + 1, 0} : p, false);
    put(w);
  }
  for (std::size_t at = 0; at < upto; at += charLen(v.line, at)) {
    const std::string_view ch = v.line.substr(at, charLen(v.line, at));
    if (ch == "\x1b") {  // "^[" is two glyphs, which the terminal may split across rows
      each(ch, p, true);
      put(1), put(1);
    } else {
      const int w = cellWidth(ch);
      each(ch, p.col + w > cols ? Place{p.row + 1, 0} : p, true);
      put(w);
    }
  }
  return p;
}

Place locate(const View& v, std::size_t upto) {
  return walk(v, upto, [](std::string_view, Place, bool) {});
}

std::string moveCursor(Place from, Place to) {
  std::string s;
  if (to.row < from.row) s += csi(from.row - to.row, 'A');
  if (to.row > from.row) s += csi(to.row - from.row, 'B');
  s += '\r';
  if (to.col > 0) s += csi(to.col, 'C');
  return s;
}

std::string redraw(const View& v, int& cursorRow, bool fromHome) {
  const Place end = locate(v, v.line.size()), to = locate(v, v.cursor);
  const int height = v.rows > 0 ? v.rows : end.row + 1;
  const int first = end.row >= height ? std::clamp(to.row - height + 1, 0, end.row + 1 - height) : 0;
  const int last = first + height - 1;
  std::string s = fromHome ? "\x1b[H\x1b[2J" : (cursorRow > 0 ? csi(cursorRow, 'A') : "") + "\r";
  // The old line is cleared from after the prompt: a clear from the screen's top-left
  // corner is to some terminals a clear of the screen, whose copy they keep in scrollback.
  const bool promptFirst = first == 0 && !v.prompt.empty();
  bool cleared = fromHome;
  walk(v, v.line.size(), [&](std::string_view ch, Place at, bool ofLine) {
    if (at.row < first || at.row > last) return;
    if (!cleared && (!promptFirst || ofLine)) {
      s += promptFirst ? "\x1b[J" : "\x1b[K";
      cleared = true;
    }
    s += shown(ch);
  });
  if (!cleared) s += promptFirst ? "\x1b[J" : "\x1b[K";
  Place drawn = end;
  if (end.row > last) {
    drawn = {last, 0};  // the window's last row is full: the terminal waits there to wrap
  } else if (end.col == 0 && end.row > 0) {
    // A row filled to its last column leaves the terminal waiting to wrap: a space wraps it,
    // so the rows stay one line to a terminal that reflows them, and the cursor goes back
    // to where locate says it is.
    s += " \r";
  }
  if (!fromHome && !promptFirst && end.row <= last && (end.row > 0 || end.col > 0)) s += "\x1b[J";
  if (to.row != drawn.row || to.col != drawn.col) s += moveCursor(drawn, to);
  cursorRow = to.row;
  return s;
}

}  // namespace terminal
