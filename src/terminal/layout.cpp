#include "terminal/layout.h"

#include "terminal/text.h"

namespace terminal {

namespace {

std::string csi(int n, char what) { return "\x1b[" + std::to_string(n) + what; }

}  // namespace

std::string shown(std::string_view ch) { return ch == "\x1b" ? std::string("^[") : std::string(ch); }

Place locate(const View& v, std::size_t upto) {
  const int cols = v.cols > 0 ? v.cols : 80;
  Place p;
  // One glyph of width w: to the next row when it does not fit, and past a filled row.
  const auto put = [&](int w) {
    if (p.col + w > cols) p = {p.row + 1, 0};
    p.col += w;
    if (p.col >= cols) p = {p.row + 1, 0};
  };
  for (std::size_t at = 0; at < v.prompt.size(); at += charLen(v.prompt, at)) {
    put(cellWidth(v.prompt.substr(at, charLen(v.prompt, at))));
  }
  for (std::size_t at = 0; at < upto; at += charLen(v.line, at)) {
    const std::string_view ch = v.line.substr(at, charLen(v.line, at));
    if (ch == "\x1b") {  // "^[" is two glyphs, which the terminal may split across rows
      put(1), put(1);
    } else {
      put(cellWidth(ch));
    }
  }
  return p;
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
  std::string s = fromHome ? "\x1b[H\x1b[2J" : (cursorRow > 0 ? csi(cursorRow, 'A') : "") + "\r";
  s += v.prompt;
  // The old line is cleared from after the prompt: a clear from the screen's top-left
  // corner is to some terminals a clear of the screen, whose copy they keep in scrollback.
  if (!fromHome) s += v.prompt.empty() ? "\x1b[K" : "\x1b[J";
  for (std::size_t at = 0; at < v.line.size(); at += charLen(v.line, at)) s += shown(v.line.substr(at, charLen(v.line, at)));
  const Place end = locate(v, v.line.size()), to = locate(v, v.cursor);
  // A row filled to its last column leaves the terminal waiting to wrap: a space wraps it,
  // so the rows stay one line to a terminal that reflows them, and the cursor goes back to
  // where locate says it is.
  if (end.col == 0 && end.row > 0) s += " \r";
  if (!fromHome && v.prompt.empty() && (end.row > 0 || end.col > 0)) s += "\x1b[J";
  if (to.row != end.row || to.col != end.col) s += moveCursor(end, to);
  cursorRow = to.row;
  return s;
}

}  // namespace terminal
