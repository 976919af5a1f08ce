#include "terminal/layout.h"

#include "terminal/line.h"

namespace terminal {

namespace {

// Code point of a UTF-8 character (already whole and valid).
char32_t codePoint(std::string_view ch) {
  const auto b = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(ch[i])); };
  switch (ch.size()) {
    case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    case 4: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    default: return b(0);
  }
}

// The wide ranges of East Asian scripts and emoji that terminals draw two columns wide.
bool wide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

std::string csi(int n, char what) { return "\x1b[" + std::to_string(n) + what; }

}  // namespace

int cellWidth(std::string_view ch) {
  if (ch == "\x1b") return 2;
  return wide(codePoint(ch)) ? 2 : 1;
}

std::string shown(std::string_view ch) { return ch == "\x1b" ? std::string("^[") : std::string(ch); }

Place locate(const View& v, std::size_t upto) {
  const int cols = v.cols > 0 ? v.cols : 80;
  Place p{static_cast<int>(v.prompt.size()) / cols, static_cast<int>(v.prompt.size()) % cols};
  // One glyph of width w: to the next row when it does not fit, and past a filled row.
  const auto put = [&](int w) {
    if (p.col + w > cols) p = {p.row + 1, 0};
    p.col += w;
    if (p.col >= cols) p = {p.row + 1, 0};
  };
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
  std::string s = fromHome ? "\x1b[H\x1b[2J" : (cursorRow > 0 ? csi(cursorRow, 'A') : "") + "\r\x1b[J";
  s += v.prompt;
  for (std::size_t at = 0; at < v.line.size(); at += charLen(v.line, at)) s += shown(v.line.substr(at, charLen(v.line, at)));
  const Place end = locate(v, v.line.size()), to = locate(v, v.cursor);
  // A row filled to its last column leaves the terminal waiting to wrap: a line break
  // puts the cursor where locate says it is.
  if (end.col == 0 && end.row > 0) s += '\n';
  if (to.row != end.row || to.col != end.col) s += moveCursor(end, to);
  cursorRow = to.row;
  return s;
}

}  // namespace terminal
