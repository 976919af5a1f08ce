// The built program as a process: in a pseudo-terminal as a person would use it, and with
// its standard streams broken or fed a ten-million-character token.
#include <gtest/gtest.h>
#include <poll.h>
#if __has_include(<pty.h>)
#include <pty.h>
#else
#include <util.h>  // openpty on the BSDs and macOS
#endif
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <iterator>
#include <memory>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support.h"

using namespace std::string_literals;
#include "terminal/history.h"

namespace {

// No test here rests on how fast the machine is. A wait's time limit only ends a hang; long
// work is long by construction: every run uses the plain kernel, over which a power at
// precision 9999 takes seconds, so a key or a signal sent as soon as its progress shows
// finds it still running; and the program makes ready what erases a row before it draws
// the row, so that a signal may come the moment the row is seen.
constexpr int kHang = 60000;  // ms

// Appends what fd prints to `seen` until `needle` shows after `from`; false after `limitMs`
// or once fd reads nothing more (the program has ended).
bool readUntil(int fd, std::string& seen, const std::string& needle, size_t from = 0, int limitMs = kHang) {
  for (int waited = 0; seen.find(needle, from) == std::string::npos; waited += 10) {
    pollfd p{fd, POLLIN, 0};
    char buf[4096];
    const ssize_t got = poll(&p, 1, 10) > 0 ? read(fd, buf, sizeof buf) : 0;
    if (got < 0 || waited > limitMs) return false;
    seen.append(buf, static_cast<size_t>(got));
  }
  return true;
}

// Starts the calculator, with these arguments, in a child whose standard input and output
// are set up by `setup`.
template <typename Setup>
pid_t start(Setup setup, const std::vector<const char*>& args = {}) {
  const pid_t pid = setup();
  if (pid == 0) {
    setenv("ZANTORIX_KERNEL", "plain", 1);
    std::vector<char*> argv{const_cast<char*>(ZANTORIX_BIN)};
    for (const char* a : args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    execv(ZANTORIX_BIN, argv.data());
    _exit(127);
  }
  return pid;
}

// The exit status, or 128 + the signal that ended the process (−1 for a core dump). A
// process still running after kHang is killed, so that a hang fails the test.
int finish(pid_t pid, long* peakKiB = nullptr) {
  int status = 0;
  rusage usage{};
  for (int waited = 0; wait4(pid, &status, WNOHANG, &usage) == 0; waited += 10) {
    if (waited == kHang) kill(pid, SIGKILL);
    usleep(10000);
  }
#if defined(__APPLE__)
  if (peakKiB != nullptr) *peakKiB = usage.ru_maxrss / 1024;  // bytes there, KiB elsewhere
#else
  if (peakKiB != nullptr) *peakKiB = usage.ru_maxrss;
#endif
  if (WIFSIGNALED(status)) return WCOREDUMP(status) ? -1 : 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}


// Writes keys to the terminal; '\xff' stands for a pause longer than the Esc delay.
void typeKeys(int tty, const std::string& keys) {
  for (size_t at = 0, stop = 0; at <= keys.size(); at = stop + 1) {
    stop = std::min(keys.find('\xff', at), keys.size());
    ASSERT_EQ(write(tty, keys.data() + at, stop - at), static_cast<ssize_t>(stop - at));
    if (stop < keys.size()) usleep(150000);
  }
}

// Types each line and waits for the prompt after it; false when one does not come.
bool typeLines(int tty, std::string& screen, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const size_t mark = screen.size();
    typeKeys(tty, line);
    if (!readUntil(tty, screen, "\n  >", mark + 1)) return false;
  }
  return true;
}

// Starts the calculator on a new pseudo-terminal of `cols` columns, as its session's controlling
// terminal, with TERM set to `term`, its history in `history` ("": none) and previews on
// or off. The caller keeps both ends.
// The terminal's settings before the program starts go to `initial`, when given; SIGHUP
// comes ignored with `hupIgnored`.
pid_t startOnPty(const char* term, int& master, int& slave, const std::string& history = "", bool previews = false,
                 termios* initial = nullptr, unsigned short cols = 80, bool hupIgnored = false) {
  winsize size{24, cols, 0, 0};
  if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) return -1;
  // Not inherited by a later run's process: the terminal ends when its own program does.
  fcntl(master, F_SETFD, FD_CLOEXEC), fcntl(slave, F_SETFD, FD_CLOEXEC);
  if (initial != nullptr && tcgetattr(slave, initial) != 0) return -1;
  return start([&] {
    const pid_t child = fork();
    if (child != 0) return child;
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
    close(master), close(slave);
    setenv("TERM", term, 1);
    setenv("ZANTORIX_HISTORY", history.c_str(), 1);
    setenv("ZANTORIX_PREVIEW", previews ? "1" : "oFF", 1);
    if (hupIgnored) std::signal(SIGHUP, SIG_IGN);  // as nohup starts it
    return child;
  });
}

bool sameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
         std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

}  // namespace

// A person at a terminal: each prompt is on the screen before anything is typed at it; the
// line editor fixes typos, recalls lines, and drops a line at Ctrl-C with R kept; several
// pasted lines each get their turn. Every way out gives the terminal back as it was. With
// TERM=dumb there is no editor, and cursor keys are refused as for piped input. A signal
// that ends the program erases the rows it drew under the line first: the preview (from
// wherever the cursor stands) and the progress note, which never wraps, even in a window of
// 15 columns.
TEST(Process, RealTerminal) {
  const struct {
    const char* term;
    std::vector<std::string> lines;  // each waits for the next prompt
    std::string keys;                // then these, or
    int signal;                      // this signal, end the program
    int status;
    std::vector<std::string> seen;   // on the screen in this order; the last one ends it
    std::string shown = "";          // what shows, after the keys, before the signal: the
                                     // last bytes of a drawing, so that it is whole
    bool previews = false;
    unsigned short cols = 80;
    bool hupIgnored = false;         // then the signal comes before the keys
  } rows[] = {
      {"xterm", {"20\r", "1+2\x1b[D\x1b[D0\r", "\x1b[A\x7f" "5\r", "7*9\x03R+1\r", "+1\x01" "4\x05" "0\r"}, "Q\r", 0, 0,
       {" 12.0\r\n", " 15.0\r\n", "  >7*9^C\r\n  >R+1\r\n\r\n", "add 1.000000e+0", " 16.0\r\n", " 14.0\r\n", "  >Q\r\n\r\n\r\n"}},
      {"xterm", {"20\r", "5+3\r"}, "\x1b\xff\r", 0, 0, {"  >^[\r\n\r\n\r\n"}},
      {"xterm", {"20\r", "5+3\r"}, "\x04", 0, 0, {" 8.0\r\n\r\n  >\r\n"}},
      // Alt+b moves a word back and the session goes on; an empty line gets the prompt again
      {"xterm", {"20\r", "11+22\x1b" "b5\r", "\r"}, "q\r", 0, 0, {" 533.0\r\n", "  >\r\n  >q\r\n\r\n\r\n"}},
      {"xterm", {}, "\x04", 0, 0, {"  Precision: \r\n"}},
      {"xterm", {"20\r", "5+3\r"}, "", SIGTERM, 128 + SIGTERM, {" 8.0\r\n\r\n  >"}},
      {"xterm", {"20\r"}, "", SIGHUP, 128 + SIGHUP, {"  >"}},
      {"xterm", {"20\r"}, "5+3\rq\r", SIGHUP, 0, {" 8.0\r\n", "  >q\r\n\r\n\r\n"}, "", false, 80, true},
      // a precision asked again: Up recalls only precisions, Ctrl-C keeps the one set with R
      {"xterm", {"20\r", "7+1\r", "P\r\x1b[A\x03", "R+0\r", "P\r\x1b[A\x1b[A\r"}, "q\r", 0, 0,
       {"\x1b[J20^C\r\n\r\n\r\n  Precision kept at 20 decimal places; R and M are as they were.\r\n\r\n  >",
        " 8.0\r\n", "\x1b[J20\r\n\a\r\n\r\n  Precision set to 20", "  >q\r\n\r\n\r\n"}},
      {"xterm", {"20\r5+3 6*7\r2^3\r"}, "q\r", 0, 0, {" 8.0\r\n", " 42.0\r\n", " 8.0\r\n", "  >q\r\n\r\n\r\n"}},
      {"dumb", {"20\r", "S\r", "1+2\x1b[D0\r", "\x1b[A\r", "M+R\r"}, "q\r", 0, 0,
       {"cursor keys do not work here", "cursor keys do not work here", " 0.0\r\n", "  >q\r\n\r\n\r\n"}},
      {"xterm", {"20\r"}, "1/7", SIGTERM, 128 + SIGTERM, {"\x1b[J"}, "= 0.1428571428\x1b[0m\x1b[K\x1b[1A\r\x1b[6C", true},
      {"xterm", {"20\r"}, "1/7\x02", SIGINT, 128 + SIGINT, {"\r\x1b[6C\x1b[J"}, "\x1b[0m\x1b[K\x1b[1A\r\x1b[5C", true},
      {"xterm", {"9999\r", "1e4999+0\r", "S\r"}, "1.0000001^R\r", SIGTERM, 128 + SIGTERM, {"\r\x1b[K"}, "%", true, 15},
  };
  for (const auto& row : rows) {
    int tty = -1, slave = -1;
    termios before{}, during{}, after{};
    const pid_t pid = startOnPty(row.term, tty, slave, "", row.previews, &before, row.cols, row.hupIgnored);
    ASSERT_GT(pid, 0);
    std::string screen;
    ASSERT_TRUE(readUntil(tty, screen, "  Precision: ")) << screen;
    EXPECT_NE(screen.find("(No spaces. Cram everything together.)"), std::string::npos);
    for (const std::string& line : row.lines) {
      const size_t mark = screen.size();
      ASSERT_EQ(write(tty, line.data(), line.size()), static_cast<ssize_t>(line.size()));
      ASSERT_TRUE(readUntil(tty, screen, "  >", mark + 1)) << screen;
    }
    ASSERT_EQ(tcgetattr(slave, &during), 0);
    EXPECT_EQ((during.c_lflag & ICANON) == 0, std::string(row.term) != "dumb") << "raw mode at the prompt";
    const size_t mark = screen.size();
    if (row.hupIgnored) kill(pid, row.signal);
    typeKeys(tty, row.keys);
    if (!row.shown.empty()) {
      ASSERT_TRUE(readUntil(tty, screen, row.shown, mark)) << screen.substr(mark);
    }
    if (row.signal != 0 && !row.hupIgnored) kill(pid, row.signal);
    EXPECT_EQ(finish(pid), row.status) << row.lines.size();
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_TRUE(sameSettings(before, after)) << "settings not given back, row " << row.lines.size();
    close(slave);
    readUntil(tty, screen, "\x01");  // drain what is left
    close(tty);
    size_t at = 0;
    for (const std::string& part : row.seen) {
      at = screen.find(part, at);
      ASSERT_NE(at, std::string::npos) << part << " in\n" << screen;
      at += part.size();
    }
    EXPECT_EQ(at, screen.size()) << screen;
    EXPECT_EQ(screen.find("6.300000e+1"), std::string::npos);
    for (size_t pct = screen.find("%", mark); pct != std::string::npos; pct = screen.find("%", pct + 1)) {
      const size_t from = screen.rfind('\r', pct), to = screen.find("\x1b[K", pct);
      EXPECT_LT(to - from - 1, row.cols) << screen.substr(from, to - from);
    }
  }
}

// Standard input unreadable or standard output unwritable: a message and status 1, no core;
// a reader that goes away ends the program by SIGPIPE, as for any console filter. A
// ten-million-character token is refused like any over-long one without being held in
// memory, and the next line works.
TEST(Process, StandardStreams) {
  const testing_support::Scratch dir;
  const std::string input = dir / "streams.in", longToken = dir / "long.in", shortToken = dir / "short.in",
                    output = dir / "streams.out", errors = dir / "streams.err", tail = "\n5+3\nq\n";
  std::string session = "20\n";
  for (int i = 0; i < 20000; ++i) session += "5+3\n";
  std::ofstream(input, std::ios::binary) << session;
  std::ofstream(longToken, std::ios::binary) << "20\n" << std::string(10'000'000, '9') << tail;
  std::ofstream(shortToken, std::ios::binary) << "20\n" << std::string(80, '9') << tail;
  const struct {
    std::string stdinFrom;  // a path, or "" for closed
    std::string stdoutTo;   // a path, "" for closed, or "pipe" for a reader that reads 100 bytes
    int status;
    const char* message;
  } rows[] = {
      {"/", "/dev/null", 1, "zantorix: cannot read standard input: Is a directory\n"},
      {"", "/dev/null", 1, "zantorix: cannot read standard input: Bad file descriptor\n"},
      {input, "/dev/full", 1, "zantorix: cannot write standard output: No space left on device\n"},
      {input, "", 1, "zantorix: cannot write standard output: Bad file descriptor\n"},
      {input, "pipe", 128 + SIGPIPE, ""},
      {shortToken, output, 0, ""},
      {longToken, output, 0, ""},
  };
  long shortPeakKiB = 0;
  for (const auto& row : rows) {
    if (row.stdoutTo == "/dev/full" && access("/dev/full", W_OK) != 0) continue;  // Linux has it
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = start([&] {
      const pid_t child = fork();
      if (child != 0) return child;
      std::signal(SIGPIPE, SIG_DFL);
      dup2(open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      row.stdinFrom.empty() ? (void)close(0) : (void)dup2(open(row.stdinFrom.c_str(), O_RDONLY), 0);
      if (row.stdoutTo == "pipe") dup2(out[1], 1);
      else row.stdoutTo.empty() ? (void)close(1) : (void)dup2(open(row.stdoutTo.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      close(out[0]), close(out[1]);
      return child;
    });
    close(out[1]);
    char buf[100];
    EXPECT_GE(read(out[0], buf, sizeof buf), 0);
    close(out[0]);
    long peakKiB = 0;
    EXPECT_EQ(finish(pid, &peakKiB), row.status) << row.stdinFrom << " > " << row.stdoutTo;
    EXPECT_EQ(testing_support::readFile(errors), row.message) << row.stdinFrom << " > " << row.stdoutTo;
    if (row.stdoutTo == output) {
      EXPECT_EQ(testing_support::readFile(output), testing_support::runDialogue("20\n" + std::string(80, '9') + tail));
    }
    if (row.stdinFrom == shortToken) shortPeakKiB = peakKiB;
    if (row.stdinFrom == longToken) {
      EXPECT_LT(peakKiB - shortPeakKiB, 2048) << "the token must not be held in memory";
    }
  }
}

namespace {

// Runs the calculator with these arguments and no input; its status, and what it wrote.
int runWith(const std::vector<const char*>& args, std::string& out, std::string& err) {
  const testing_support::Scratch dir;
  const std::string outFile = dir / "args.out", errFile = dir / "args.err";
  const pid_t pid = start(
      [&] {
        const pid_t child = fork();
        if (child != 0) return child;
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        return child;
      },
      args);
  const int status = finish(pid);
  out = testing_support::readFile(outFile), err = testing_support::readFile(errFile);
  return status;
}

// The calculator on a pseudo-terminal (TERM=xterm), at its first prompt; `screen` is what
// it has shown. end() types the last keys and returns the exit status.
struct Term {
  int tty = -1, slave = -1;
  pid_t pid;
  std::string screen;
  explicit Term(const std::string& history = "", bool previews = false, unsigned short cols = 80)
      : pid(startOnPty("xterm", tty, slave, history, previews, nullptr, cols)) {
    readUntil(tty, screen, "  Precision: ");
  }
  bool lines(const std::vector<std::string>& l) { return typeLines(tty, screen, l); }
  bool until(const std::string& needle, size_t from) { return readUntil(tty, screen, needle, from); }
  int end(const std::string& keys) {
    typeKeys(tty, keys);
    const int status = finish(pid);
    close(slave);
    readUntil(tty, screen, "\x01");  // what is left on the terminal, up to its end
    close(tty);
    return status;
  }
};

// Until `done` holds, tried every 10 ms; false after kHang.
template <typename Done>
bool await(Done done) {
  for (int waited = 0; !done(); waited += 10) {
    if (waited > kHang) return false;
    usleep(10000);
  }
  return true;
}

// A session ended by Ctrl-D after these lines: the screen.
std::string session(const std::string& history, const std::vector<std::string>& lines) {
  Term t(history);
  t.lines(lines);
  EXPECT_EQ(t.end("\x04"), 0);
  return t.screen;
}

}  // namespace

// The options: --help and --version print and end the run; tokens give bare results, with
// status 1 at a token that cannot run; anything else is an error, with status 2.
TEST(Process, Options) {
  const struct {
    std::vector<const char*> args;
    int status;
    std::string out, errStart;
  } rows[] = {
      {{"--version"}, 0, "zantorix " + std::string(ZANTORIX_VERSION) + "\n", ""},
      {{"--no-such-option"}, 2, "", "zantorix: unknown option '--no-such-option'"},
      {{"--version", "x"}, 2, "", "zantorix: --version stands alone"},
      // tokens on the command line: bare results, an error's status, a bad option's
      {{"-p", "20", "1/7"}, 0, "0.1428571428\n", ""},
      {{"--precision=30", "1/7", "S", "R*7"}, 0, "0.142857142857142\n0.999999999999994\n", ""},
      {{"1+2", "Q", "5/0"}, 0, "3.0\n", ""},
      {{"-p", "20", "5/0"}, 1, "", "zantorix: token 1 '5/0': division by zero\n"},
      {{"-p", "20", "-"}, 0, "", ""},
      // no token quits early or computes nothing unseen; options only before the tokens
      {{"-p", "20", "1/4", "sqrt(2)", "1/5"}, 1, "0.250\n", "zantorix: token 2 'sqrt(2)': holds q, which would end"},
      {{"1+2", "S", "M*2", "5"}, 1, "3.0\n6.0\n", "zantorix: token 4 '5': computes nothing: write an operation, as 5+0\n"},
      {{"1/3", "-p", "5"}, 2, "", "zantorix: options come first: '-p' after a token"},
      {{"-p", "10000", "1+1"}, 2, "", "zantorix: the precision must be a whole number from 0 to 9999"},
      {{"--precision", "-1", "1+1"}, 2, "", "zantorix: the precision must be"},
      {{"-p", "20"}, 2, "", "zantorix: no tokens"},
      {{"-x", "1+1"}, 2, "", "zantorix: unknown option '-x'"},
      // the short and joined forms; a dash and a point is a token; "-" only alone
      {{"-V"}, 0, "zantorix " + std::string(ZANTORIX_VERSION) + "\n", ""},
      {{"-p20", "1/7"}, 0, "0.1428571428\n", ""},
      {{"--precision", "30", "1/7"}, 0, "0.142857142857142\n", ""},
      {{"-.5"}, 0, "99999999999.50\n", ""},
      {{"-", "1+1"}, 2, "", "zantorix: - (read standard input) stands alone"},
      {{"-p", "20", "1/7", "-"}, 2, "", "zantorix: - (read standard input) stands alone"},
      {{"-x\x1b[31m"}, 2, "", "zantorix: unknown option '-x\\e[31m'"},  // no raw bytes in messages
  };
  for (const auto& row : rows) {
    std::string out, err;
    EXPECT_EQ(runWith(row.args, out, err), row.status) << row.args[0];
    EXPECT_EQ(out, row.out) << row.args[0];
    EXPECT_EQ(err.substr(0, row.errStart.size()), row.errStart) << row.args[0];
  }
  std::string out, err;
  EXPECT_EQ(runWith({"-h"}, out, err), 0);
  EXPECT_NE(out.find("--version"), std::string::npos);
  EXPECT_NE(out.find("man zantorix"), std::string::npos);
}

// History outlives the run: each line typed at the prompt is in the file (mode 600, its
// folder made) as soon as it is submitted, precision answers are not; the next run recalls
// it with Up and finds it with Ctrl-R, and adds to the file's end. Only a regular file is
// history: anything else starts the program at once, as with no history. Nothing is
// rewritten at start-up; past 2,000 lines the file is trimmed to its last 1,000 good ones,
// in the file a link names, its mode kept. Two runs typing in turn keep each other's lines.
TEST(Process, HistoryFile) {
  const testing_support::Scratch scratch;
  const std::string dir = scratch.dir, file = scratch / "state/history";
  std::string screen = session(file, {"20\r", "12345+1\r"});
  EXPECT_EQ(testing_support::readFile(file), "12345+1\n");
  struct stat st{};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((dir + "/state").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  screen = session(file, {"20\r", "\x1b[A\r", "\x12" "1234\r", "2*3\r"});
  const size_t first = screen.find("result 1.234600e+4");
  EXPECT_NE(first, std::string::npos) << screen;
  EXPECT_NE(screen.find("result 1.234600e+4", first + 1), std::string::npos) << screen;
  EXPECT_EQ(testing_support::readFile(file), "12345+1\n2*3\n");

  // What is not a regular file: the screen is as with no history at all.
  const std::string plain = session("", {"20\r", "1+2\r", "7\x03"});
  const std::string fifo = dir + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, dir, std::string("/dev/tty"), std::string("/dev/full")}) {
    EXPECT_EQ(session(path, {"20\r", "1+2\r", "7\x03"}), plain) << path;
  }

  // Files as found: `before` (mode 644), named directly or through a link; Up shows
  // `recalled`, then `typed` is typed; the file after.
  std::string many, garbled, garbledTrimmed;
  for (int i = 0; i < 2000; ++i) many += std::to_string(i) + "+1\n";
  for (int i = 0; i < 1500; ++i) garbled += std::to_string(i) + "+1\n\x1b[A\xff\n";
  for (int i = 501; i < 1500; ++i) garbledTrimmed += std::to_string(i) + "+1\n";
  const std::string readme = "# Notes\n\nSome text\x1b[1m, with blank lines.\n\n";
  const std::string utf16 = "\xff\xfe" "1\0+\0" "2\0\n\0"s;
  const struct {
    std::string before;
    bool link;
    std::string recalled, typed, after;
  } rows[] = {
      {readme, false, "# Notes", "", readme},  // untouched while nothing is typed
      {readme, true, "# Notes", "5-1\r", readme + "5-1\n"},
      {"1+2\n5*3", false, "1+2", "4+4\r", "1+2\n5*3\n4+4\n"},  // a line cut short
      {many, true, "1999+1", "", many},
      {many, true, "1999+1", "7+7\r", many.substr(many.find("1001+1")) + "7+7\n"},
      {garbled, false, "1499+1", "7+7\r", garbledTrimmed + "7+7\n"},
      {"1+2\r\n5*3\r\n", false, "5*3", "4+4\r", "1+2\r\n5*3\r\n4+4\n"},  // a Windows tool's line ends
      {utf16, false, "\a", "4+4\r", utf16},  // UTF-16 text: no history, left as it is, and said
  };
  const std::string target = dir + "/target", link = dir + "/link";
  for (const auto& row : rows) {
    std::ofstream(target, std::ios::binary | std::ios::trunc) << row.before;
    chmod(target.c_str(), 0644);
    unlink(link.c_str());
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    Term t(row.link ? link : target);
    ASSERT_TRUE(t.lines({"20\r"})) << t.screen;
    const size_t mark = t.screen.size();
    typeKeys(t.tty, "\x1b[A");
    EXPECT_TRUE(t.until(row.recalled, mark)) << t.screen.substr(mark);
    EXPECT_TRUE(t.lines({"\x03"}));
    if (!row.typed.empty()) {
      EXPECT_TRUE(t.lines({row.typed}));
    }
    EXPECT_EQ(t.end("\x04"), 0);
    EXPECT_EQ(testing_support::readFile(target), row.after) << row.before.substr(0, 20);
    EXPECT_EQ(t.screen.find("holds UTF-16 text, not history") != std::string::npos, row.before == utf16);
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
  }

  // Two runs typing in turn into one file.
  Term a(file), b(file);
  ASSERT_TRUE(a.lines({"20\r"}) && b.lines({"20\r"}));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(a.lines({"1+" + std::to_string(i) + "\r"}) && b.lines({"2+" + std::to_string(i) + "\r"}));
  EXPECT_EQ(a.end("\x04"), 0);
  EXPECT_EQ(b.end("\x04"), 0);
  EXPECT_EQ(testing_support::readFile(file), "12345+1\n2*3\n1+0\n2+0\n1+1\n2+1\n1+2\n2+2\n1+3\n2+3\n1+4\n2+4\n");
}

namespace {

// A child process, its standard error appended to `errors`, that does `work` and ends (status
// 1 when it returned false); finish() gives its status.
template <typename Work>
pid_t spawn(const std::string& errors, Work work) {
  const pid_t pid = fork();
  if (pid == 0) dup2(open(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600), 2), _exit(work() ? 0 : 1);
  return pid;
}

// Appends `count` lines "<tag>+<i>" to the history at `path` as one run would.
bool appendLines(const std::string& path, char tag, int count) {
  std::deque<std::string> loaded;
  terminal::HistoryFile file = terminal::openHistory(path, loaded);
  for (int i = 0; i < count; ++i) {
    if (!terminal::appendHistory(file, std::string(1, tag) + "+" + std::to_string(i))) return false;
  }
  return true;
}

}  // namespace

// Runs sharing one history: two appending at once past many trims each keep every line,
// in order (the kept tail of each run's lines has no gap), and no temporary is left; a write
// cut short by a file size limit is taken back, so that nothing of it is ever recalled; a
// file that cannot be written is said once, and the run goes on.
TEST(Process, HistoryUnderSeveralRuns) {
  const testing_support::Scratch dir;
  const std::string file = dir / "history", errors = dir / "errors";
  std::string before;
  for (int i = 0; i < 1990; ++i) before += "0+" + std::to_string(i) + "\n";
  std::ofstream(file, std::ios::binary) << before;
  std::ofstream(dir / "history.trim.Ab12Cd", std::ios::binary) << "left by a run killed mid-trim\n";
  constexpr int kEach = 3000;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  const auto run = [&](char tag) {  // starts when `go` closes, so that the two overlap
    char c;
    close(go[1]);
    return read(go[0], &c, 1) == 0 && appendLines(file, tag, kEach);
  };
  const pid_t one = spawn(errors, [&] { return run('a'); }), other = spawn(errors, [&] { return run('b'); });
  close(go[0]), close(go[1]);
  EXPECT_EQ(finish(one), 0);
  EXPECT_EQ(finish(other), 0);
  std::istringstream text(testing_support::readFile(file));
  int next[2] = {-1, -1}, lines = 0;
  for (std::string line; std::getline(text, line); ++lines) {
    if (line[0] == '0') continue;
    const int writer = line[0] - 'a', i = std::stoi(line.substr(2));
    EXPECT_TRUE(next[writer] == -1 || i == next[writer]) << line << " after " << next[writer] - 1;
    next[writer] = i + 1;
  }
  EXPECT_TRUE(next[0] == kEach || next[1] == kEach);  // what is kept of each ends with its last
  for (const int n : next) EXPECT_TRUE(n == -1 || n == kEach) << n;
  EXPECT_LE(lines, static_cast<int>(2 * terminal::kTrimAbove)) << "no trim";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.dir), {}), 2) << "a temporary is left";  // and errors

  // A file size limit that cuts the line short: nothing of it stays; the next line is whole.
  // The file starts below the trim's mark, so that no trim runs (the two runs above may leave
  // it past the mark, their last trims being due at their own counts), and long enough that
  // the limit, which holds for every file of the run, leaves room for the message.
  before.clear();
  for (int i = 0; i < 1000; ++i) before += "0+" + std::to_string(i) + "\n";
  std::ofstream(file, std::ios::binary | std::ios::trunc) << before;
  const rlimit limit{before.size() + 3, before.size() + 3};
  EXPECT_EQ(finish(spawn(errors, [&] { return std::signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, &limit), appendLines(file, 'c', 1); })), 1);
  EXPECT_EQ(testing_support::readFile(file), before);
  EXPECT_EQ(finish(spawn(errors, [&] { return appendLines(file, 'd', 1); })), 0);
  EXPECT_EQ(testing_support::readFile(file), before + "d+0\n");

  // A read-only file: said once, and the run goes on without it.
  chmod(file.c_str(), 0400);
  if (access(file.c_str(), W_OK) != 0) {  // root may write it anyway
    EXPECT_EQ(finish(spawn(errors, [&] { return appendLines(file, 'e', 1) || appendLines(file, 'e', 1); })), 1);
  }
  chmod(file.c_str(), 0600);
  const std::string said = testing_support::readFile(errors);
  EXPECT_EQ(said.find("zantorix: the history is not saved from now on: " + file + ": File too large\n"), 0u) << said;
}

// Ctrl-Z under a job-control parent, as a shell runs it: the program stops, at the prompt
// and during long work, with the terminal given back (canonical mode); once continued in
// the foreground it is in raw mode again and goes on editing and computing. Stopped from
// elsewhere (SIGSTOP) and continued after the terminal was set back to canonical mode
// meanwhile, it is in raw mode again too. The shell reports each stop (S) and each return
// to raw mode (R, then C for the last), and the keys wait for its reports.
TEST(Process, StopAndContinue) {
  int tty = -1, slave = -1, report[2];
  winsize size{24, 80, 0, 0};
  ASSERT_EQ(openpty(&tty, &slave, nullptr, nullptr, &size), 0);
  ASSERT_EQ(pipe(report), 0);
  const pid_t shell = fork();
  if (shell == 0) {  // the shell: its own session on the terminal, the calculator a job in it
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    std::signal(SIGTTOU, SIG_IGN);
    const pid_t job = fork();
    if (job == 0) {
      setpgid(0, 0);
      std::signal(SIGTTOU, SIG_DFL);
      for (int fd = 0; fd < 3; ++fd) dup2(slave, fd);
      setenv("TERM", "xterm", 1), setenv("ZANTORIX_HISTORY", "", 1), setenv("ZANTORIX_PREVIEW", "0", 1);
      execl(ZANTORIX_BIN, ZANTORIX_BIN, static_cast<char*>(nullptr));
      _exit(127);
    }
    setpgid(job, job);
    tcsetpgrp(slave, job);
    int status = 0;
    termios t{};
    const auto raw = [&] { return tcgetattr(slave, &t) == 0 && (t.c_lflag & ICANON) == 0; };
    for (int stop = 0; stop < 2; ++stop) {  // Ctrl-Z at the prompt, then during long work
      waitpid(job, &status, WUNTRACED);
      if (!WIFSTOPPED(status) || write(report[1], "S", 1) != 1) _exit(2);
      if (raw()) _exit(3);  // given back while stopped
      tcsetpgrp(slave, job);
      kill(-job, SIGCONT);
      if (!await(raw) || write(report[1], "R", 1) != 1) _exit(4);
    }
    kill(job, SIGSTOP);
    waitpid(job, &status, WUNTRACED);
    t.c_lflag |= ICANON | ECHO;
    tcsetattr(slave, TCSANOW, &t);
    kill(job, SIGCONT);
    if (!await(raw) || write(report[1], "C", 1) != 1) _exit(5);
    waitpid(job, &status, 0);
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 6);
  }
  close(report[1]);
  const std::unique_ptr<const pid_t, void (*)(const pid_t*)> reap(&shell, [](const pid_t* p) { kill(*p, SIGKILL); });
  const auto reported = [&](char what) {
    pollfd p{report[0], POLLIN, 0};
    char got = 0;
    return poll(&p, 1, kHang) > 0 && read(report[0], &got, 1) == 1 && got == what;
  };
  std::string screen;
  ASSERT_TRUE(readUntil(tty, screen, "  Precision: ")) << screen;
  typeKeys(tty, "20\r");
  ASSERT_TRUE(readUntil(tty, screen, "  >")) << screen;
  typeKeys(tty, "7\x1a");
  ASSERT_TRUE(readUntil(tty, screen, "^Z")) << screen;
  ASSERT_TRUE(reported('S'));
  ASSERT_TRUE(reported('R'));
  ASSERT_TRUE(typeLines(tty, screen, {"+1\r"})) << screen;
  typeKeys(tty, "P\r");
  ASSERT_TRUE(readUntil(tty, screen, "  Precision: ", screen.size())) << screen;
  ASSERT_TRUE(typeLines(tty, screen, {"9999\r", "1e4999+0\r", "S\r"})) << screen;
  EXPECT_NE(screen.find(" 8.0"), std::string::npos) << screen;
  size_t mark = screen.size();
  typeKeys(tty, "1.0000001^R\r");
  ASSERT_TRUE(readUntil(tty, screen, "%", mark)) << screen.substr(mark);
  typeKeys(tty, "\x1a");
  ASSERT_TRUE(reported('S'));
  ASSERT_TRUE(reported('R'));
  mark = screen.size();
  ASSERT_TRUE(readUntil(tty, screen, "%", mark)) << screen.substr(mark);  // the work goes on
  EXPECT_TRUE(reported('C'));
  typeKeys(tty, "\x03");  // the work stopped: in raw mode, no signal
  ASSERT_TRUE(readUntil(tty, screen, "\n  >", mark)) << screen.substr(mark);
  EXPECT_NE(screen.find("interrupted", mark), std::string::npos) << screen.substr(mark);
  typeKeys(tty, "q\r");
  EXPECT_EQ(finish(shell), 0) << screen;
  close(slave), close(tty), close(report[0]);
}

namespace {

// The last bytes of a preview's drawing: the row's end, and the cursor back on the line.
const std::string kPreviewDrawn = "\x1b[K\x1b[1A\r\x1b[";

// With previews on or off, after these lines: `last` typed and, once its preview is drawn,
// Enter. Returns what the screen got after the Enter up to the next prompt.
std::string afterEnter(bool previews, const std::vector<std::string>& lines, const std::string& last) {
  Term t("", previews);
  t.lines(lines);
  const size_t typed = t.screen.size();
  typeKeys(t.tty, last);
  EXPECT_TRUE(t.until(previews ? kPreviewDrawn : last, typed)) << t.screen.substr(typed);
  const size_t mark = t.screen.size();
  t.lines({"\r"});
  EXPECT_EQ(t.end("q\r"), 0);
  return t.screen.substr(mark);
}

}  // namespace

// The result shows under the line as it is typed, with no effect: a previewed line dropped
// with Ctrl-C leaves R, M and the precision as they were, and keys typed while a heavy
// preview works are taken; the bytes after Enter are the same with previews on and off (but
// for the erasing of the preview's row). Long work shows its progress and stops at Ctrl-C:
// the prompt comes back with R and M as they were.
TEST(Process, PreviewsAndLongWork) {
  Term t("", true);
  ASSERT_TRUE(t.lines({"20\r", "1/7\r", "S\r"})) << t.screen;
  size_t mark = t.screen.size();
  typeKeys(t.tty, "R*7");
  ASSERT_TRUE(t.until("= 0.9999999996", mark)) << t.screen.substr(mark);
  mark = t.screen.size();
  typeKeys(t.tty, "2S");  // the preview of a line that stores: drawn, with no effect
  ASSERT_TRUE(t.until("\x1b[K\x1b[1A\r\x1b[8C", mark)) << t.screen.substr(mark);
  typeKeys(t.tty, "\x03");
  ASSERT_TRUE(t.until("^C\r\n  >", mark)) << t.screen.substr(mark);
  mark = t.screen.size();
  ASSERT_TRUE(t.lines({"R+M\r"})) << t.screen;
  EXPECT_NE(t.screen.find("result 2.857142e-1", mark), std::string::npos) << t.screen.substr(mark);

  // Precision 9999, R = M = 10^4999: a power too long to preview, and long to run.
  typeKeys(t.tty, "P\r");
  ASSERT_TRUE(t.until("  Precision: ", mark + 1)) << t.screen;
  ASSERT_TRUE(t.lines({"9999\r", "1e4999+0\r", "S\r"})) << t.screen;
  typeKeys(t.tty, "1.0000001^R");
  mark = t.screen.size();
  typeKeys(t.tty, "5");
  ASSERT_TRUE(t.until("5", mark));
  mark = t.screen.size();
  typeKeys(t.tty, "\x1b[D");  // perhaps while the preview works: it is worked out again afterwards
  ASSERT_TRUE(t.until("= \u2026", mark)) << t.screen.substr(mark);
  typeKeys(t.tty, "\x1b[C\x7f\r");
  ASSERT_TRUE(t.until("%", mark)) << t.screen.substr(mark);
  typeKeys(t.tty, "7\x03");  // what was typed before Ctrl-C goes with the work
  ASSERT_TRUE(t.until("\n  >", mark)) << t.screen.substr(mark);
  EXPECT_NE(t.screen.find("interrupted", mark), std::string::npos);
  EXPECT_EQ(t.screen.find("result", mark), std::string::npos);
  ASSERT_TRUE(t.lines({"\r", "R+M\r"})) << t.screen;
  EXPECT_EQ(t.screen.find("  >7", mark), std::string::npos) << t.screen.substr(mark);
  mark = t.screen.find("  >R+M", mark);
  EXPECT_NE(t.screen.find("result 2.000000e+4999", mark), std::string::npos) << t.screen.substr(mark, 300);
  EXPECT_EQ(t.end("q\r"), 0);

  const std::vector<std::string> before{"20\r", "3+0\r", "S\r"};
  std::string on = afterEnter(true, before, "M/7"), off = afterEnter(false, before, "M/7");
  ASSERT_EQ(on.substr(0, 3), "\x1b[J");
  EXPECT_EQ(on.substr(3), off);
  EXPECT_NE(off.find(" 0.4285714285\r\n"), std::string::npos) << off;
}
