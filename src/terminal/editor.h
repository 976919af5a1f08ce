// The line editor as a pair of streams: what the program prints goes straight to the
// terminal, and what it reads comes one edited line at a time. The reader of the input
// stream never learns that a terminal is there.
#pragma once

#include <chrono>
#include <deque>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

#include "terminal/history.h"
#include "terminal/keys.h"
#include "terminal/layout.h"
#include "terminal/line.h"

namespace terminal {

// Output: written straight to the terminal. Remembers the text since the last line break,
// which is the prompt that the next line is typed after. A progress note shown while work
// runs is erased before anything else is written.
class Screen : public std::streambuf {
 public:
  const std::string& tail() const { return tail_; }
  void lineEnded() { tail_.clear(); }
  void progress(int percent);  // shows "  NN% ..." on the row under the typed line
  void erase();                // the progress note gone from the screen (stays noted if a write fails)

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int_type overflow(int_type c) override;

 private:
  std::string tail_;
  bool noted_ = false;  // a progress note is on the screen
};

// What a line would compute, to show under it as it is typed ("" for nothing). The work
// asks goOn between its steps, and stops when it says no.
using Previewer = std::string (*)(std::string_view line, bool (*goOn)(double done));

// Input: each time the reader has used up the last line, one more line is edited at the
// terminal and handed over with its line break. A failed read throws std::ios_base::failure
// carrying errno.
class Lines : public std::streambuf {
 public:
  explicit Lines(Screen& screen) : screen_(screen) {}
  // Lines typed after this prompt join history, and the history file too; `loaded` is what
  // that file held.
  void keepHistory(std::string_view prompt, HistoryFile file, std::deque<std::string> loaded);
  // Lines typed after this prompt have a history of their own, this run's only, and
  // Ctrl-C there hands over a line that holds Ctrl-C alone, for the reader to take as "no".
  void askWith(std::string_view prompt) { askPrompt_ = prompt; }
  // Lines typed after the history prompt show what they would compute on the row below.
  void showPreviews(Previewer previewer) { previewer_ = previewer; }
  // watch: asked between steps of long work (see engine::goOn): shows progress once the
  // work has run a quarter of a second, and says no once Ctrl-C has been typed.
  bool watch(double done);

 protected:
  int_type underflow() override;

 private:
  enum class Step { more, done, end };
  bool edit();                    // false at the end of input
  Step key(const Key& k);
  Step submitted(bool searching);
  void draw(bool fromHome = false);
  void show(const std::string& bytes);
  void toEnd();
  void refresh();
  bool readMore(int waitMs);      // bytes from the terminal into pending_; false at its end
  View view();
  void updatePreview();
  void showPreview(const std::string& text);
  void leaveLine();               // the cursor to the line's end, the preview row erased
  void noteRows();                // tells tty what erases the preview row

  Screen& screen_;
  Editing editing_;
  Decoder decoder_;
  std::string prompt_, shownPrompt_;
  std::string keptPrompt_, askPrompt_;
  std::deque<std::string> asked_;  // the history of lines typed after askPrompt_ (while
                                   // one is edited, the other history's)
  bool asking_ = false;            // the line is edited after askPrompt_
  HistoryFile historyFile_;
  std::string pending_;       // bytes read but not yet decoded
  std::size_t next_ = 0;      // the first of them not yet decoded
  std::string delivered_;     // the finished line and its break, for the reader
  int cols_ = 80, rows_ = 0, cursorRow_ = 0;
  bool bell_ = false, blankLine_ = false;
  Previewer previewer_ = nullptr;
  std::string previewedLine_, previewText_;  // the last line worked out, and what it gave
  bool previewKnown_ = false;     // previewText_ is for previewedLine_
  bool previewShown_ = false;     // the row under the line shows previewText_
  using Clock = std::chrono::steady_clock;
  Clock::time_point workStart_, lastPoll_, lastNote_;
};

// Session: raw mode for its lifetime, and the two streams. ok() is false, and the terminal
// untouched, where standard input and output are not terminals fit for editing (TERM
// unset or dumb) or raw mode cannot be switched on. The terminal is given back when the
// session ends, at exit, and on any signal that ends the program. Lines typed after
// `historyPrompt` are kept in the history file that the environment names, and show what
// they would compute (`previewer`; none when null); those after `askPrompt` are as
// Lines::askWith says.
class Session {
 public:
  Session(std::string_view historyPrompt, std::string_view askPrompt, Previewer previewer = nullptr);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  bool ok() const { return ok_; }
  std::istream& in() { return in_; }
  std::ostream& out() { return out_; }
  // goOn: the live session's Lines::watch, for the engine to ask during long work.
  static bool goOn(double done);

 private:
  bool ok_ = false;
  Screen screen_;
  Lines lines_{screen_};
  std::istream in_{&lines_};
  std::ostream out_{&screen_};
};

}  // namespace terminal
