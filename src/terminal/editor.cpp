#include "terminal/editor.h"

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "terminal/history.h"
#include "terminal/input.h"
#include "terminal/layout.h"
#include "terminal/tty.h"
#include "terminal/utf16.h"

namespace terminal {

namespace {

constexpr int kEscDelayMs = 50;  // an Esc with no byte after it within this is a lone Esc
constexpr std::size_t kTailCap = 1024;
constexpr std::size_t kReadSize = 256;
constexpr std::size_t kTypeAhead = 1 << 16;  // bytes read ahead while work runs, at most
constexpr char kCtrlC = 3, kCtrlZ = 26;
constexpr auto kQuiet = std::chrono::milliseconds(250);      // work shorter shows no progress
constexpr auto kNoteEvery = std::chrono::milliseconds(200);  // the progress shown afresh
constexpr auto kPollEvery = std::chrono::milliseconds(20);   // the keyboard asked for Ctrl-C

Lines* live = nullptr;  // the session's input while a session runs, for Session::goOn

constexpr auto kPreviewFor = std::chrono::milliseconds(50);  // the longest a preview works
std::chrono::steady_clock::time_point previewStart;
bool keyWaiting = false;  // the preview stopped for a key

// A preview's work goes on while no key waits and it is young.
bool previewGoOn(double) {
  keyWaiting = tty::waitInput(0) == tty::Wait::ready;
  return !keyWaiting && std::chrono::steady_clock::now() - previewStart < kPreviewFor;
}

#ifdef _WIN32
// A variable of the environment as UTF-8, read as UTF-16 (the ANSI code page would lose
// what lies outside it); "" when unset.
std::string wideEnv(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value != nullptr ? fromWide(value) : "";
}
#endif

// The bytes that erase everything under the line shown by `v`, from where its cursor is.
std::string erasing(const View& v) { return moveCursor(locate(v, v.cursor), locate(v, v.line.size())) + "\x1b[J"; }

}  // namespace

// The note is cut to the window's width, so that it never wraps onto a row of its own.
void Screen::progress(int percent) {
  std::string note = "  " + std::to_string(percent) + "%  (Ctrl-C stops it)";
  note.resize(std::min(note.size(), static_cast<std::size_t>(std::max(tty::columns() - 1, 1))));
  tty::atEnd("\r\x1b[K");  // ready before the note shows, for a signal that comes at once
  noted_ = tty::write("\r" + note + "\x1b[K") || noted_;
}

void Screen::erase() {
  if (noted_ && tty::write("\r\x1b[K")) noted_ = false, tty::atEnd("");
}

std::streamsize Screen::xsputn(const char* s, std::streamsize n) {
  erase();
  if (noted_) return 0;  // the note could not be erased: the output has failed
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

void Lines::keepHistory(std::string_view prompt, HistoryFile file, std::deque<std::string> loaded) {
  keptPrompt_ = prompt;
  historyFile_ = std::move(file);
  editing_.history = std::move(loaded);
}

bool Lines::watch(double done) {
  const Clock::time_point now = Clock::now();
  if (done <= 0) workStart_ = lastPoll_ = lastNote_ = now;
  if (now - lastPoll_ >= kPollEvery) {
    lastPoll_ = now;
    if (pending_.size() - next_ < kTypeAhead && tty::waitInput(0) == tty::Wait::ready) {
      char buf[kReadSize];
      const long n = tty::readInput(buf, sizeof buf);
      const std::size_t from = pending_.size();
      if (n > 0) pending_.append(buf, static_cast<std::size_t>(n));
      const std::size_t at = pending_.find(kCtrlC, from);
      if (at != std::string::npos) {  // what was typed before it goes, as the line in hand does
        pending_.erase(next_, at + 1 - next_);
        decoder_ = Decoder{};
        setg(egptr(), egptr(), egptr());
        return false;
      }
      const std::size_t stop = pending_.find(kCtrlZ, from);
      if (stop != std::string::npos) {  // stops at once; the work goes on when continued
        pending_.erase(stop, 1);
        screen_.erase();
        tty::suspend();
        lastNote_ = now - kNoteEvery;
      }
    }
  }
  if (now - workStart_ >= kQuiet && now - lastNote_ >= kNoteEvery) {
    lastNote_ = now;
    screen_.progress(static_cast<int>(done * 100));
  }
  return true;
}

Lines::int_type Lines::underflow() {
  if (gptr() == egptr() && !edit()) return traits_type::eof();
  setg(delivered_.data(), delivered_.data(), delivered_.data() + delivered_.size());
  return traits_type::to_int_type(*gptr());
}

View Lines::view() {
  shownPrompt_ = editing_.search.on ? searchPrompt(editing_.search) : prompt_;
  return {shownPrompt_, editing_.line, editing_.cursor, cols_, rows_};
}

void Lines::show(const std::string& bytes) {
  if (!bytes.empty()) tty::write(bytes);
}

void Lines::draw(bool fromHome) {
  show(redraw(view(), cursorRow_, fromHome));
  previewShown_ = false;  // a redraw clears everything below the line
}

// The line's result, worked out again only when the line changed, on the row below it
// (erased when there is none). Not while searching, nor on a line the window cannot hold
// with a row to spare.
void Lines::updatePreview() {
  const View v = view();
  const Place end = locate(v, v.line.size());
  const bool room = rows_ <= 0 || end.row + 2 <= rows_;
  if (!editing_.keep || asking_ || editing_.search.on || !room) {
    if (previewShown_) showPreview("");
    return;
  }
  if (!previewKnown_ || previewedLine_ != editing_.line) {
    previewStart = Clock::now();
    keyWaiting = false;
    previewText_ = previewer_(editing_.line, previewGoOn);
    previewedLine_ = editing_.line;
    previewKnown_ = !keyWaiting;  // work cut short by a key is done again once keys stop
    if (keyWaiting) previewText_.clear();
  }
  if (!previewText_.empty() || previewShown_) showPreview(previewText_);
}

// Writes `text` ("" erases) on the row under the line, dim, cut to the window's width,
// and puts the cursor back. At the window's bottom the row scrolls the screen once. What
// erases the row is ready before the row shows, for a signal that comes at once.
void Lines::showPreview(const std::string& text) {
  const View v = view();
  const Place at = locate(v, v.cursor), end = locate(v, v.line.size());
  if (!text.empty()) tty::atEnd(erasing(v));
  std::string s = moveCursor(at, {end.row, 0}) + "\n\r";
  if (!text.empty()) {
    const auto width = static_cast<std::size_t>(cols_ > 1 ? cols_ - 1 : 1);
    s += "\x1b[2m" + (text.size() > width ? text.substr(0, width - 1) + "\u2026" : text) + "\x1b[0m";
  }
  s += "\x1b[K" + moveCursor({end.row + 1, 0}, at);
  show(s);
  previewShown_ = !text.empty();
}

void Lines::leaveLine() {
  toEnd();
  if (previewShown_) show("\x1b[J"), previewShown_ = false;
  tty::atEnd("");
}

// What erases the preview's row should a signal end the program now.
void Lines::noteRows() {
  tty::atEnd(previewShown_ ? erasing(view()) : "");
}

// The cursor to the end of the line, where the next output starts; on a line taller than
// the window, the window's last rows are drawn.
void Lines::toEnd() {
  const View v = view();
  const Place end = locate(v, v.line.size()), at = locate(v, v.cursor);
  if (end.row == at.row && end.col == at.col) return;
  if (rows_ > 0 && end.row >= rows_) {
    editing_.cursor = editing_.line.size();
    return draw();
  }
  show(moveCursor(at, end));
  cursorRow_ = end.row;
}

// After a resize, a stop, or a width that changed unannounced: the line drawn afresh.
void Lines::refresh() {
  const bool resumed = tty::takeResumed(), resized = tty::takeResized();
  const int cols = tty::columns(), rows = tty::rows();
  if (!resumed && !resized && cols == cols_ && rows == rows_) return;
  cols_ = cols, rows_ = rows;
  // A terminal that reflows keeps the cursor where the text puts it; after a stop the
  // shell has left the cursor on a fresh row.
  cursorRow_ = resumed ? 0 : locate(view(), editing_.cursor).row;
  draw();
}

// Enter: the line shown as submitted, the cursor on the row below it, the line in the
// history file when it joined history.
Lines::Step Lines::submitted(bool searching) {
  if (searching) editing_.cursor = editing_.line.size(), draw();  // the line without the search
  const Place end = locate(view(), editing_.line.size());
  if (end.col != 0 || end.row == 0) show("\n");
  if (editing_.kept && !asking_) appendHistory(historyFile_, editing_.line);
  return Step::done;
}

// One key: the new state, and what the screen shows of it.
Lines::Step Lines::key(const Key& k) {
  const bool searching = editing_.search.on;
  const bool appending = !searching && k.kind == KeyKind::text && editing_.cursor == editing_.line.size();
  if (k.kind == KeyKind::enter || k.kind == KeyKind::interrupt || k.kind == KeyKind::suspend) leaveLine();
  switch (apply(editing_, k)) {
    case Outcome::unchanged: return Step::more;
    case Outcome::refused: bell_ = true; return Step::more;
    case Outcome::clear: draw(true); return Step::more;
    case Outcome::end: return Step::end;
    case Outcome::changed:
      if (!appending) return draw(), Step::more;
      {  // typed at the end of the line: only the character, as a plain terminal echoes it;
         // a filled row wraps by a space written past it, so the rows stay one line. A new
         // row would land on the preview's: then the line is drawn afresh.
        const Place end = locate(view(), editing_.cursor);
        if (previewShown_ && end.row != cursorRow_) return draw(), Step::more;
        show(shown(k.text()) + (end.col == 0 && end.row > 0 ? " \r" : ""));
        cursorRow_ = end.row;
      }
      return Step::more;
    case Outcome::submit: return submitted(searching);
    case Outcome::interrupt:
      if (asking_) {  // the reader's "no"
        show("^C\n");
        editing_.line.assign(1, '\x03');
        return Step::done;
      }
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

// Waits up to waitMs (−1: no limit) for bytes, and reads them into pending_; a wait that
// ends with none sends a pending Esc on its own. False at the end of input.
bool Lines::readMore(int waitMs) {
  const tty::Wait w = tty::waitInput(waitMs);
  if (w == tty::Wait::timeout) {
    Key k;
    if (expire(decoder_, k)) key(k);
    return true;
  }
  if (w == tty::Wait::interrupted) return refresh(), true;  // a signal, or the window resized
  char buf[kReadSize];
  const long n = tty::readInput(buf, sizeof buf);
  if (n == 0) return false;
  if (n > 0) pending_.append(buf, static_cast<std::size_t>(n));
  else if (errno != EINTR) readFailed();
  refresh();
  return true;
}

// Edits one line into delivered_; false at the end of input. After an empty line the
// prompt, which nothing printed again, is shown again.
bool Lines::edit() {
  previewKnown_ = previewShown_ = false;  // R and M may have changed since the last line
  if (blankLine_ && screen_.tail().empty()) show(prompt_);
  else prompt_ = screen_.tail();
  asking_ = !askPrompt_.empty() && prompt_ == askPrompt_;
  editing_.keep = asking_ || (!keptPrompt_.empty() && prompt_ == keptPrompt_);
  if (asking_) std::swap(editing_.history, asked_);
  struct Back {  // the history of the history prompt back however the line ends
    Lines& l;
    ~Back() {
      if (l.asking_) std::swap(l.editing_.history, l.asked_);
    }
  } back{*this};
  startLine(editing_);
  tty::takeResized(), tty::takeResumed();  // what happened before the prompt needs no redraw
  cols_ = tty::columns(), rows_ = tty::rows();
  cursorRow_ = locate({prompt_, "", 0, cols_}, 0).row;
  for (;;) {
    for (Key k; nextKey(decoder_, pending_, next_, k);) {
      const Step step = key(k);
      if (step == Step::more) continue;
      if (bell_) show("\a"), bell_ = false;
      if (step == Step::end) return false;
      delivered_ = editing_.line + '\n';
      blankLine_ = editing_.line.find_first_not_of(" \t") == std::string::npos;
      screen_.lineEnded();
      return true;
    }
    pending_.clear();
    next_ = 0;
    if (bell_) show("\a"), bell_ = false;
    if (previewer_ != nullptr && !decoder_.waiting()) updatePreview();
    noteRows();
    if (!readMore(decoder_.waiting() ? kEscDelayMs : -1)) return false;
  }
}

Session::Session(std::string_view historyPrompt, std::string_view askPrompt, Previewer previewer) {
  if (!tty::wanted()) return;
  // The history is read before raw mode, so that nothing it does is seen in raw mode.
  std::deque<std::string> loaded;
#ifdef _WIN32
  const std::string own = wideEnv(L"ZANTORIX_HISTORY"), local = wideEnv(L"LOCALAPPDATA");
  const std::string path = windowsHistoryPath(_wgetenv(L"ZANTORIX_HISTORY") != nullptr ? own.c_str() : nullptr, local.c_str());
#else
  const std::string path = historyPath(std::getenv("ZANTORIX_HISTORY"), std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
#endif
  HistoryFile file = openHistory(path, loaded);
  ok_ = tty::enter();
  if (!ok_) return;
  live = &lines_;
  lines_.keepHistory(historyPrompt, std::move(file), std::move(loaded));
  lines_.showPreviews(previewer);
  lines_.askWith(askPrompt);
}

Session::~Session() {
  if (!ok_) return;
  live = nullptr;
  tty::leave();
}

bool Session::goOn(double done) { return live == nullptr || live->watch(done); }

}  // namespace terminal
