// The built program as a process: in a pseudo-terminal as a person would use it, and with
// its standard streams broken or fed a ten-million-character token.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support.h"

namespace {

// Appends what fd prints to `seen` until `needle` shows after `from`; false after 5 s.
bool readUntil(int fd, std::string& seen, const std::string& needle, size_t from = 0) {
  for (int waited = 0; seen.find(needle, from) == std::string::npos; waited += 10) {
    pollfd p{fd, POLLIN, 0};
    char buf[4096];
    const ssize_t got = poll(&p, 1, 10) > 0 ? read(fd, buf, sizeof buf) : 0;
    if (got < 0 || waited > 5000) return false;
    seen.append(buf, static_cast<size_t>(got));
  }
  return true;
}

// Starts the calculator in a child whose standard input and output are set up by `setup`.
template <typename Setup>
pid_t start(Setup setup) {
  const pid_t pid = setup();
  if (pid == 0) {
    execl(ZANTORIX_BIN, ZANTORIX_BIN, static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// The exit status, or 128 + the signal that ended the process (−1 for a core dump).
int finish(pid_t pid, long* peakKiB = nullptr) {
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (peakKiB != nullptr) *peakKiB = usage.ru_maxrss;
  if (WIFSIGNALED(status)) return WCOREDUMP(status) ? -1 : 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

}  // namespace

// Each prompt is on the screen before anything is typed at it; ESC + Enter and Ctrl-D
// (at "  >" and at the precision prompt) end the program with status 0. Cursor, editing
// and function keys (Left, Up, Delete, F1) are refused without acting: no quit, and R and M
// as they were (M+R is 8+8).
TEST(Process, RealTerminal) {
  const std::vector<const char*> cursorKeys = {"S\r", "1+2\x1b[D0\r", "\x1b[A\r", "\x1b[3~\r", "\x1bOP\r", "M+R\r"};
  const struct {
    std::vector<const char*> lines;  // each waits for the next prompt
    const char* keys;                // then these end the program
    const char* tail;                // the end of the screen
  } rows[] = {{{"20\r", "5+3\r"}, "\x1b\r", "  >^[\r\n\r\n\r\n"},
              {{"20\r", "5+3\r"}, "\x04", "  >\r\n"},
              {{}, "\x04", "  Precision: \r\n"},
              {{"20\r", "5+3\r"}, "q\r", "16.0\r\n\r\n  >q\r\n\r\n\r\n"}};
  for (size_t r = 0; r < std::size(rows); ++r) {
    int tty = -1;
    const pid_t pid = start([&] { return forkpty(&tty, nullptr, nullptr, nullptr); });
    std::string screen;
    ASSERT_TRUE(readUntil(tty, screen, "  Precision: ")) << screen;
    EXPECT_NE(screen.find("(No spaces. Cram everything together.)"), std::string::npos);
    std::vector<const char*> lines = rows[r].lines;
    if (r == 3) lines.insert(lines.end(), cursorKeys.begin(), cursorKeys.end());
    for (const std::string line : lines) {
      const size_t mark = screen.size();
      ASSERT_EQ(write(tty, line.data(), line.size()), static_cast<ssize_t>(line.size()));
      ASSERT_TRUE(readUntil(tty, screen, "  >", mark + 1)) << screen;
    }
    const std::string keys = rows[r].keys, tail = rows[r].tail;
    ASSERT_EQ(write(tty, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    EXPECT_EQ(finish(pid), 0);
    readUntil(tty, screen, "\x01");  // drain what is left
    close(tty);
    EXPECT_EQ(screen.substr(screen.size() - tail.size()), tail) << screen;
  }
}

// Standard input unreadable or standard output unwritable: a message and status 1, no core;
// a reader that goes away ends the program by SIGPIPE, as for any console filter. A
// ten-million-character token is refused like any over-long one without being held in
// memory, and the next line works.
TEST(Process, StandardStreams) {
  const std::string dir = testing::TempDir(), input = dir + "zantorix_streams.in", longToken = dir + "zantorix_long.in",
                    shortToken = dir + "zantorix_short.in", output = dir + "zantorix_streams.out",
                    errors = dir + "zantorix_streams.err", tail = "\n5+3\nq\n";
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
