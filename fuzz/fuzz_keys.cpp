// libFuzzer target: arbitrary bytes as keys typed at the line editor. The first byte sets
// the terminal's width; 0xFF stands for the Esc delay passing. Checks what must hold after
// every key: the line within its bound, the cursor on a character's start, history within
// its bound, and a redraw that puts the cursor where the layout says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "terminal/keys.h"
#include "terminal/layout.h"
#include "terminal/line.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void afterKey(const terminal::Editing& e, int cols) {
  check(e.line.size() <= terminal::kMaxLine && e.cursor <= e.line.size());
  check(e.cursor == e.line.size() || (static_cast<unsigned char>(e.line[e.cursor]) & 0xC0) != 0x80);
  check(e.history.size() <= terminal::kMaxHistory && e.walk <= e.history.size());
  const terminal::View v{"  >", e.line, e.cursor, cols};
  const terminal::Place at = terminal::locate(v, e.cursor), end = terminal::locate(v, e.line.size());
  check(at.row < end.row || (at.row == end.row && at.col <= end.col));
  check(at.col >= 0 && at.col < cols && end.col < cols);
  int row = end.row;
  terminal::redraw(v, row);
  check(row == at.row);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int cols = 1 + data[0] % 120;
  terminal::Editing e;
  terminal::Decoder d;
  const auto step = [&](const terminal::Key& k) {
    if (terminal::apply(e, k) == terminal::Outcome::submit) terminal::startLine(e);
    afterKey(e, cols);
  };
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (std::size_t at = 1, stop = 1; stop != std::string_view::npos; at = stop + 1) {
    stop = bytes.find('\xff', at);
    terminal::Key k;
    while (terminal::nextKey(d, bytes.substr(0, stop), at, k)) step(k);
    if (stop != std::string_view::npos && terminal::expire(d, k)) step(k);
  }
  return 0;
}
