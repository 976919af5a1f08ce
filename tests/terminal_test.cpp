// The line editor without a terminal: key bytes through the decoder and the editing
// rules, the console's key records as bytes, and where a line falls on a screen of a given
// width.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "terminal/drawing.h"
#include "terminal/history.h"
#include "terminal/keyrecord.h"
#include "terminal/keys.h"
#include "terminal/layout.h"
#include "terminal/line.h"
#include "terminal/utf16.h"

using namespace std::string_literals;

namespace {

// Feeds a script of key bytes as the editor does; '\xff' stands for the Esc delay passing.
// Enter submits and starts a new line. Returns the last key's outcome.
terminal::Outcome type(terminal::Editing& e, const std::string& script) {
  terminal::Decoder d;
  terminal::Outcome last = terminal::Outcome::unchanged;
  const auto step = [&](const terminal::Key& k) {
    last = terminal::apply(e, k);
    if (last == terminal::Outcome::submit) terminal::startLine(e);
  };
  for (size_t at = 0, stop = 0; stop != std::string::npos; at = stop + 1) {
    stop = script.find('\xff', at);
    terminal::Key k;
    while (terminal::nextKey(d, std::string_view(script).substr(0, stop), at, k)) step(k);
    if (stop != std::string::npos && terminal::expire(d, k)) step(k);
  }
  return last;
}

}  // namespace

TEST(LineEditor, Keys) {
  using O = terminal::Outcome;
  const struct {
    std::string script, line;
    size_t cursor;
    O last;
  } rows[] = {
      // moving and inserting, by arrows and by control keys
      {"1+2\x1b[D\x1b[D" "0", "10+2", 2, O::changed},
      {"1+2\x02\x02" "0\x06\x06", "10+2", 4, O::changed},
      {"+1\x01" "4\x05" "0", "4+10", 4, O::changed},
      {"+1\x1b[H4\x1bOF0\x1bOH\x1b[F", "4+10", 4, O::changed},
      {"+1\x1b[1~4\x1b[4~0\x1b[7~\x1b[8~", "4+10", 4, O::changed},
      {"12\x1b[1;5D\x1b[C\x1b[C", "12", 2, O::changed},
      // words: Alt+b, Alt+f, Ctrl-Left and Ctrl-Right (xterm and rxvt), a number is one word
      {"11+22\x1b" "b5", "11+522", 4, O::changed},
      {"11+22\x01\x1b" "f", "11+22", 2, O::changed},
      {"1.5*2.25\x1b[1;5D\x1b[1;5D\x1b[1;5C", "1.5*2.25", 3, O::changed},
      {"1.5*2.25 x\x1bOd\x1bOd\x1b[1;3D\x1bOc", "1.5*2.25 x", 3, O::changed},
      // killing words, and Ctrl-Y putting back the last text killed
      {"11+22\x01\x1b" "d\x05\x19", "+2211", 5, O::changed},
      {"1.5*2.25\x1b\x7f", "1.5*", 4, O::changed},
      {"1.5*2.25\x1b\x08\x01\x19", "2.251.5*", 4, O::changed},
      {"12345\x02\x02\x15\x05\x19", "45123", 5, O::changed},
      {"ab cd\x17\x19\x19", "ab cdcd", 7, O::changed},
      {"\x19", "", 0, O::unchanged},
      // other Alt keys and Alt+Enter do nothing; Esc Esc starts a sequence afresh
      {"1\x1bq\x1b\r\x1b\xc3\xa9" "2", "12", 2, O::changed},
      {"1+2\r\x1b\x1b[A", "1+2", 3, O::changed},
      // deleting
      {"123\x7f", "12", 2, O::changed},
      {"123\x08\x01\x1b[3~", "2", 0, O::changed},
      {"123\x01\x04", "23", 0, O::changed},
      {"123\x04", "123", 3, O::unchanged},
      {"\x04", "", 0, O::end},
      {"12345\x02\x02\x15", "45", 0, O::changed},
      {"12345\x02\x02\x0b", "123", 3, O::changed},
      {"ab cd  \x17", "ab ", 3, O::changed},
      {"ab cd\x02\x02\x17", "cd", 0, O::changed},
      // characters: UTF-8 moves and deletes whole; malformed bytes and other controls drop
      {"a\xc3\xa9\xe4\xb8\xad" "b\x02\x02\x7f", "a\xe4\xb8\xad" "b", 1, O::changed},
      {"\xf0\x9f\x98\x80\x02x", "x\xf0\x9f\x98\x80", 1, O::changed},
      {"a\x80" "b\xc3" "c\xfe", "abc", 3, O::changed},
      {"a\xe0\x80\x80\xed\xa0\x80\xf4\x90\x80\x80\xc0\xaf" "b", "ab", 2, O::changed},
      // a combining accent moves and deletes with its letter
      {"e\xcc\x81x\x02\x02", "e\xcc\x81x", 0, O::changed},
      {"ae\xcc\x81\x7f", "a", 1, O::changed},
      {"a\tb\x07\x00\x1c\x1d\x1e\x1f" "c"s, "a bc", 4, O::changed},  // Tab separates as a space does
      // escape sequences nobody asked for are dropped whole; a lone Esc is a character
      {"a\x1b[15~\x1b[1;5P\x1bOP\x1b[200~\x1b[99999999999A" "b", "ab", 2, O::changed},
      {"R\x1b\xff", "R\x1b", 2, O::changed},
      {"\x1b\xff\r", "", 0, O::submit},
      {"1\x1b[\xff" "2", "12", 2, O::changed},
      // the line's bound
      {std::string(5000, '7'), std::string(4096, '7'), 4096, O::refused},
      // history: Up and Down, the draft kept, repeats and blank lines not kept
      {"1+2\r5+3\r\x1b[A\x1b[A\x1b[A", "1+2", 3, O::refused},
      {"1+2\r5+3\r\x10\x10\x0e", "5+3", 3, O::changed},
      {"1+2\r7*\x1b[A\x7f\x1b[B", "7*", 2, O::changed},
      {"1+2\r1+2\r \r\r\x1b[A\x1b[A", "1+2", 3, O::refused},
      {"1+2\r\x1b[A\x7f" "5\r\x1b[A\x1b[A", "1+2", 3, O::changed},
      {"\x1b[B", "", 0, O::refused},
      // an edit to a recalled line is kept while walking, and gone once a line is submitted
      {"1+2\r5+3\r\x1b[A\x7f" "4\x1b[A\x1b[B", "5+4", 3, O::changed},
      {"1+2\r5+3\r\x1b[A\x7f" "4\x1b[A\r\x1b[A\x1b[A", "5+3", 3, O::changed},
      // Ctrl-R: typing narrows, Ctrl-R again goes further back, Ctrl-G or Esc gives the line
      // back, another key takes the match; a failed search leaves the line
      {"12345+1\r2*3\r\x12" "1234", "12345+1", 0, O::changed},
      {"12\r5+123\r\x12" "12", "5+123", 2, O::changed},  // the match in hand is kept while it holds
      {"1+2\r1+3\r\x12" "1+\x12", "1+2", 0, O::changed},
      {"1+2\r7\x12" "1\x07", "7", 1, O::changed},
      {"1+2\r7\x12" "1\x1b\xff", "7", 1, O::changed},
      {"1+2\r\x12+\x1b[C", "1+2", 2, O::changed},
      {"1+2\r\x12" "9", "", 0, O::changed},
      {"1+2\r\x12" "+2\x7f\x7f", "", 0, O::changed},
      {"1+2\r\x12" "1\x03", "", 0, O::interrupt},
      {"\x12\x12", "", 0, O::refused},
      // Ctrl-C drops the line and keeps nothing of it
      {"7*9\x03", "", 0, O::interrupt},
      {"7*9\x03\x1b[A", "", 0, O::refused},
      {"1\x0c", "1", 1, O::clear},
      {"1\x1a", "1", 1, O::suspend},
  };
  for (const auto& row : rows) {
    terminal::Editing e;
    EXPECT_EQ(type(e, row.script), row.last) << row.script;
    EXPECT_EQ(e.line, row.line) << row.script;
    EXPECT_EQ(e.cursor, row.cursor) << row.script;
  }
  // History keeps the last 1,000 lines.
  terminal::Editing e;
  for (int i = 0; i < 1005; ++i) type(e, std::to_string(i) + "\r");
  std::string up;
  for (int i = 0; i < 1005; ++i) up += "\x10";
  EXPECT_EQ(type(e, up), terminal::Outcome::refused);
  EXPECT_EQ(e.line, "5");
  // Where history is not kept (the precision prompt), Enter adds nothing.
  e.keep = false;
  type(e, "77\r");
  EXPECT_FALSE(e.kept);
  EXPECT_EQ(e.history.back(), "1004");

  // The Windows console's key records, as the bytes a terminal sends for them.
  using R = terminal::KeyRecord;
  namespace vk = terminal::vk;
  const struct {
    std::vector<R> records;
    std::string bytes;
  } keys[] = {
      {{{true, vk::left, 0, 0, 1}, {true, vk::right, 0, vk::leftCtrl, 1}, {true, vk::left, 0, vk::rightAlt, 1}},
       "\x1b[D\x1b[1;5C\x1b[1;3D"},
      {{{true, vk::home, 0, 0, 1}, {true, vk::end, 0, 0, 1}, {true, vk::del, 0, 0, 1}}, "\x1b[H\x1b[F\x1b[3~"},
      {{{true, vk::escape, 0, 0, 1}, {true, vk::escape, 0x1B, 0, 1}}, "\x1b\x1b"},  // Esc, its character empty or not
      {{{true, 0x51, u'@', vk::leftCtrl | vk::rightAlt, 1}, {true, 0x42, u'b', vk::leftAlt, 1}}, "@\x1b" "b"},  // AltGr, Alt
      {{{true, 0x41, 0x01, vk::leftCtrl, 1}, {true, 0x5A, 0x1A, vk::leftCtrl, 1}}, "\x01"},  // Ctrl-Z: nothing
      {{{true, 0x35, u'5', 0, 3}, {true, 0x36, u'6', 0, 0}, {false, 0x37, u'7', 0, 1}}, "5556"},  // repeats; a key up
      {{{true, 0, 0xD83D, 0, 1}, {true, 0, 0xDE00, 0, 1}, {true, 0, u'\u4e2d', 0, 1}}, "\xf0\x9f\x98\x80\xe4\xb8\xad"},
      {{{true, 0, 0xD83D, 0, 1}, {true, 0x41, u'a', 0, 1}, {true, 0, 0xDE00, 0, 1}}, "a"},  // lone halves dropped
  };
  for (const auto& row : keys) {
    terminal::KeyTranslator t;
    std::string bytes;
    for (const R& r : row.records) terminal::translateKey(t, r, bytes);
    EXPECT_EQ(bytes, row.bytes) << row.bytes;
  }
}

// What Windows hands over as UTF-16: command lines split as its C runtime splits them, and
// text both ways, pairs joined and broken sequences replaced.
TEST(LineEditor, WindowsText) {
  const struct {
    std::u16string line;
    std::vector<std::string> args;
  } lines[] = {
      {u"zantorix.exe -p 20 2*3\u4e2d", {"zantorix.exe", "-p", "20", "2*3\xe4\xb8\xad"}},
      {u"\"C:\\Program Files\\z.exe\"  \t a\"b c\"d \"\"", {"C:\\Program Files\\z.exe", "ab cd", ""}},
      {u"z a\\\\\"b\" c\\\"d e\\f \"x\"\"y\"", {"z", "a\\b", "c\"d", "e\\f", "x\"y"}},
      {u"z \xd83d\xde00 \xd83d", {"z", "\xf0\x9f\x98\x80", "\xef\xbf\xbd"}},
      {u"z.exe", {"z.exe"}},
  };
  for (const auto& row : lines) EXPECT_EQ(terminal::splitCommandLine(row.line), row.args) << row.args.back();
  EXPECT_EQ(terminal::toUtf16("C:\\\xe4\xb8\xad\\\xf0\x9f\x98\x80"), u"C:\\\u4e2d\\\xd83d\xde00");
  EXPECT_EQ(terminal::toUtf16("a\xff\xc3(\xed\xa0\x80"), u"a\xfffd\xfffd(\xfffd\xfffd\xfffd");
  EXPECT_EQ(terminal::toUtf8(terminal::toUtf16("R*M \xc3\xa9")), "R*M \xc3\xa9");
}

// The history file: where it is, and what of it comes back (the file itself, its trimming
// and what is never read as history, are in the process tests).
TEST(LineEditor, HistoryFile) {
  const char* none = nullptr;
  EXPECT_EQ(terminal::historyPath("/tmp/h", "/state", "/home/u"), "/tmp/h");
  EXPECT_EQ(terminal::historyPath("", "/state", "/home/u"), "");
  EXPECT_EQ(terminal::historyPath(none, "/state", "/home/u"), "/state/zantorix/history");
  EXPECT_EQ(terminal::historyPath(none, "state", "/home/u"), "/home/u/.local/state/zantorix/history");
  EXPECT_EQ(terminal::historyPath(none, none, ""), "");
  EXPECT_EQ(terminal::windowsHistoryPath("D:\\h", "C:\\L"), "D:\\h");
  EXPECT_EQ(terminal::windowsHistoryPath("", "C:\\L"), "");
  EXPECT_EQ(terminal::windowsHistoryPath(none, "C:\\L"), "C:\\L\\zantorix\\history");
  EXPECT_EQ(terminal::windowsHistoryPath(none, ""), "");
  const struct {
    std::string text;
    bool whole;
    std::vector<std::string> lines;
  } rows[] = {
      {"", true, {}},
      {"1+2\n5*3\n", true, {"1+2", "5*3"}},
      {"1+2\n5*3", true, {"1+2"}},  // a line cut short by a failed write
      {"tail of a line\n1+2\n", false, {"1+2"}},
      // blank lines, control bytes, broken UTF-8, repeats and over-long lines are dropped
      {"1+2\n \n\x1b[A\n\xff\xfe\n\xc3\n1+2\n\xc3\xa9\n" + std::string(4097, '1') + "\n\0\n"s, true,
       {"1+2", "\xc3\xa9"}},
      {"a\x80" "b\n1\x7f\n1\r\r\n2\t3\n\xe2\x80\x8b\n4\xed\xa0\x80\n5\n", true, {"\xe2\x80\x8b", "5"}},
      {"1+2\r\n5*3\r\n", true, {"1+2", "5*3"}},  // a Windows tool's line ends
  };
  for (const auto& row : rows) {
    const auto lines = terminal::readHistory(row.text, row.whole);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), row.lines) << row.text;
  }
}

TEST(LineEditor, Layout) {
  const std::string filled(77, '1');
  const struct {
    std::string prompt, line;
    size_t cursor;
    int cols, cursorRow;  // the row the cursor stood in before the redraw
    terminal::Place at, end;
    std::string bytes;  // what redraws it
  } rows[] = {
      {"  >", "abc", 3, 80, 0, {0, 6}, {0, 6}, "\r  >\x1b[Jabc"},
      {"  >", filled, 77, 80, 0, {1, 0}, {1, 0}, "\r  >\x1b[J" + filled + " \r"},
      {"  >", filled + "2", 1, 80, 1, {0, 4}, {1, 1}, "\x1b[1A\r  >\x1b[J" + filled + "2\x1b[1A\r\x1b[4C"},
      {"  >", "12345678", 2, 5, 2, {1, 0}, {2, 1}, "\x1b[2A\r  >\x1b[J12345678\x1b[1A\r"},
      // a wide character that does not fit starts the next row; "^[" may split
      {"  >", "1\xe4\xb8\xad", 4, 5, 0, {1, 2}, {1, 2}, "\r  >\x1b[J1\xe4\xb8\xad"},
      {"  >", "1\x1b", 2, 5, 0, {1, 1}, {1, 1}, "\r  >\x1b[J1^["},
      // a combining accent takes no column; with no prompt, nothing is cleared from column 0
      {"  >", "e\xcc\x81x", 4, 80, 0, {0, 5}, {0, 5}, "\r  >\x1b[Je\xcc\x81x"},
      {"", "ab", 2, 80, 0, {0, 2}, {0, 2}, "\r\x1b[Kab\x1b[J"},
      {"  Precision: ", "", 0, 10, 1, {1, 3}, {1, 3}, "\x1b[1A\r  Precision: \x1b[J"},
  };
  for (const auto& row : rows) {
    const terminal::View v{row.prompt, row.line, row.cursor, row.cols};
    const terminal::Place at = terminal::locate(v, row.cursor), end = terminal::locate(v, row.line.size());
    EXPECT_EQ(at.row * 1000 + at.col, row.at.row * 1000 + row.at.col) << row.line << " at " << row.cols;
    EXPECT_EQ(end.row * 1000 + end.col, row.end.row * 1000 + row.end.col) << row.line << " at " << row.cols;
    int cursorRow = row.cursorRow;
    EXPECT_EQ(terminal::redraw(v, cursorRow), row.bytes) << row.line << " at " << row.cols;
    EXPECT_EQ(cursorRow, row.at.row);
  }
  int cursorRow = 3;
  EXPECT_EQ(terminal::redraw({"  >", "ab", 0, 80}, cursorRow, true), "\x1b[H\x1b[2J  >ab\r\x1b[3C");
  // A line taller than a window of 3 rows: the rows that hold the cursor, over the window.
  const std::string tall = "12345678901234567890";
  cursorRow = 4;
  EXPECT_EQ(terminal::redraw({"  >", tall, 0, 5, 3}, cursorRow), "\x1b[4A\r  >\x1b[J123456789012\x1b[2A\r\x1b[3C");
  EXPECT_EQ(cursorRow, 0);
  EXPECT_EQ(terminal::redraw({"  >", tall, 20, 5, 3}, cursorRow), "\r\x1b[K8901234567890\x1b[J");
  EXPECT_EQ(cursorRow, 4);

  // What the editor writes, read back as steps for a console that shows escapes as text;
  // written in pieces, a sequence or character cut off waits for the rest.
  const struct {
    std::vector<std::string> pieces;
    std::string steps;
  } drawn[] = {
      {{"\r  >\x1b[J11+522\r\r\n\r\x1b[2m= 533.0\x1b[0m\x1b[K\x1b[1A\r\x1b[8C"},
       "'\r  >' J '11+522\r\r\n\r' dim '= 533.0' normal K up1 '\r' right8"},
      {{"\x1b[H\x1b[2J  >ab\x1b[3B\x1b[m\a"}, "home clear '  >ab' down3 normal '\a'"},
      {{"a\xe4", "\xb8\xad\x1b", "[", "12", "C\xf0\x9f", "\x98\x80"}, "'a' '\xe4\xb8\xad' right12 '\xf0\x9f\x98\x80'"},
      {{"x\x1b[1;5Dy\x1b[3Kz\x1b" "7w"}, "'xyzw'"},  // sequences the editor never writes
  };
  for (const auto& row : drawn) {
    std::string carry, got;
    for (const std::string& piece : row.pieces) {
      for (const terminal::DrawStep& d : terminal::drawSteps(piece, carry)) {
        using K = terminal::DrawStep::Kind;
        const char* names[] = {"", "up", "down", "right", "K", "J", "dim", "normal", "home", "clear"};
        got += (got.empty() ? "" : " ") + (d.kind == K::text ? "'" + d.text + "'" : names[static_cast<int>(d.kind)]);
        if (d.kind == K::up || d.kind == K::down || d.kind == K::right) got += std::to_string(d.n);
      }
    }
    EXPECT_EQ(got, row.steps);
    EXPECT_EQ(carry, "");
  }
}
