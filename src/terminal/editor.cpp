#include "terminal/editor.h"

#include <cerrno>

#include "terminal/input.h"
#include "terminal/layout.h"
#include "terminal/tty.h"

namespace terminal {

namespace {

constexpr int kEscDelayMs = 50;  // an Esc with no sequence byte within this is a lone Esc
constexpr std::size_t kTailCap = 1024;
constexpr std::size_t kReadSize = 256;

}  // namespace

std::streamsize Screen::xsputn(const char* s, std::streamsize n) {
  const std::string_view text(s, static_cast<std::size_t>(n));
  if (!tty::write(text)) return 0;
  const std::size_t nl = text.rfind('\n');
  if (nl != std::string_view::npos) tail_.assign(text.substr(nl + 1));
  else if (tail_.size() < kTailCap) tail_.append(text);
  return n;
}

Screen::int_type Screen::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char ch = traits_type::to_char_type(c);
  return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

Lines::int_type Lines::underflow() {
  if (gptr() == egptr() && !edit()) return traits_type::eof();
  setg(delivered_.data(), delivered_.data(), delivered_.data() + delivered_.size());
  return traits_type::to_int_type(*gptr());
}

void Lines::show(const std::string& bytes) {
  if (!bytes.empty()) tty::write(bytes);
}

void Lines::draw(bool fromHome) {
  show(redraw(view(), cursorRow_, fromHome));
}

// The cursor to the end of the line, where the next output starts.
void Lines::toEnd() {
  const View v = view();
  const Place end = locate(v, v.line.size()), at = locate(v, v.cursor);
  if (end.row != at.row || end.col != at.col) show(moveCursor(at, end));
  cursorRow_ = end.row;
}

// After a resize or a stop: the width again, and the line drawn afresh.
void Lines::refresh() {
  const bool resumed = tty::takeResumed();
  if (!tty::takeResized() && !resumed) return;
  cols_ = tty::columns();
  // A terminal that reflows keeps the cursor where the text puts it; after a stop the
  // shell has left the cursor on a fresh row.
  cursorRow_ = resumed ? 0 : locate(view(), editing_.cursor).row;
  draw();
}

// One key: the new state, and what the screen shows of it.
Lines::Step Lines::key(const Key& k) {
  const bool appending = k.kind == KeyKind::text && editing_.cursor == editing_.line.size();
  if (k.kind == KeyKind::enter || k.kind == KeyKind::interrupt || k.kind == KeyKind::suspend) toEnd();
  switch (apply(editing_, k)) {
    case Outcome::unchanged: return Step::more;
    case Outcome::refused: bell_ = true; return Step::more;
    case Outcome::clear: draw(true); return Step::more;
    case Outcome::end: return Step::end;
    case Outcome::changed:
      if (!appending) return draw(), Step::more;
      {  // typed at the end of the line: only the character, as a plain terminal echoes it
        const Place end = locate(view(), editing_.cursor);
        show(shown(k.text()) + (end.col == 0 && end.row > 0 ? "\n" : ""));
        cursorRow_ = end.row;
      }
      return Step::more;
    case Outcome::submit: {
      const Place end = locate(view(), editing_.line.size());
      if (end.col != 0 || end.row == 0) show("\n");
      return Step::done;
    }
    case Outcome::interrupt:
      show("^C\n" + prompt_);
      cursorRow_ = locate({prompt_, "", 0, cols_}, 0).row;
      return Step::more;
    case Outcome::suspend:
      show("^Z");
      tty::suspend();
      refresh();
      return Step::more;
  }
  return Step::more;
}

// Edits one line into delivered_; false at the end of input.
bool Lines::edit() {
  startLine(editing_);
  prompt_ = screen_.tail();
  tty::takeResized(), tty::takeResumed();  // what happened before the prompt needs no redraw
  cols_ = tty::columns();
  cursorRow_ = locate({prompt_, "", 0, cols_}, 0).row;
  char buf[kReadSize];
  for (;;) {
    for (Key k; nextKey(decoder_, pending_, next_, k);) {
      const Step step = key(k);
      if (step == Step::more) continue;
      if (bell_) show("\a"), bell_ = false;
      if (step == Step::end) return false;
      delivered_ = editing_.line + '\n';
      screen_.lineEnded();
      return true;
    }
    pending_.clear();
    next_ = 0;
    if (bell_) show("\a"), bell_ = false;
    const tty::Wait w = tty::waitInput(decoder_.waiting() ? kEscDelayMs : -1);
    if (w == tty::Wait::timeout) {
      Key k;
      if (expire(decoder_, k)) key(k);
      continue;
    }
    const long n = w == tty::Wait::ready ? tty::readInput(buf, sizeof buf) : -1;
    if (n == 0) return false;
    if (n > 0) {
      pending_.assign(buf, static_cast<std::size_t>(n));
    } else if (errno == EINTR) {
      refresh();
    } else {
      readFailed();
    }
  }
}

Session::Session() { ok_ = tty::wanted() && tty::enter(); }

Session::~Session() {
  if (ok_) tty::leave();
}

}  // namespace terminal
