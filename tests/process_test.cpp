// The built program as a process: in a pseudo-terminal as a person would use it, and on
// a pipe with a ten-million-character token, measuring its peak resident size.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

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

int finish(pid_t pid, long* peakKiB = nullptr) {
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (peakKiB != nullptr) *peakKiB = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Each prompt is on the screen before anything is typed at it; ESC + Enter and Ctrl-D
// (at "  >" and at the precision prompt) end the program with status 0.
TEST(Process, RealTerminal) {
  const char* rows[][2] = {{"\x1b\r", "  >^[\r\n\r\n\r\n"}, {"\x04", "  >\r\n"}, {"", "  Precision: \r\n"}};
  for (const auto& row : rows) {
    int tty = -1;
    const pid_t pid = start([&] { return forkpty(&tty, nullptr, nullptr, nullptr); });
    std::string screen;
    ASSERT_TRUE(readUntil(tty, screen, "  Precision: ")) << screen;
    EXPECT_NE(screen.find("(No spaces. Cram everything together.)"), std::string::npos);
    if (*row[0] != '\0') {
      ASSERT_EQ(write(tty, "20\r", 3), 3);
      ASSERT_TRUE(readUntil(tty, screen, "  >")) << screen;
      const size_t mark = screen.size();
      ASSERT_EQ(write(tty, "5+3\r", 4), 4);
      ASSERT_TRUE(readUntil(tty, screen, "8.0\r\n\r\n  >", mark)) << screen;
    }
    const std::string keys = *row[0] != '\0' ? row[0] : "\x04";
    ASSERT_EQ(write(tty, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    EXPECT_EQ(finish(pid), 0);
    readUntil(tty, screen, "\x01");  // drain what is left
    close(tty);
    EXPECT_EQ(screen.substr(screen.size() - std::string(row[1]).size()), row[1]);
  }
}

// Refused like any over-long token, without holding it in memory; the next line works.
TEST(Process, TenMillionCharacterToken) {
  const std::string saved = testing::TempDir() + "zantorix_long_token.out";
  long peak[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    int in[2];
    ASSERT_EQ(pipe(in), 0);
    const pid_t pid = start([&] {
      const pid_t child = fork();
      if (child == 0) dup2(in[0], 0), close(in[1]), freopen(saved.c_str(), "wb", stdout);
      return child;
    });
    close(in[0]);
    const std::string head = "20\n", chunk(1 << 16, '9'), tail = "\n5+3\nq\n";
    bool ok = write(in[1], head.data(), head.size()) == 3;
    for (long left = i == 0 ? 80 : 10'000'000; ok && left > 0; left -= 1 << 16) {
      const size_t n = static_cast<size_t>(std::min(left, 1L << 16));
      ok = write(in[1], chunk.data(), n) == static_cast<ssize_t>(n);
    }
    ok = ok && write(in[1], tail.data(), tail.size()) == static_cast<ssize_t>(tail.size());
    close(in[1]);
    EXPECT_TRUE(ok);
    EXPECT_EQ(finish(pid, &peak[i]), 0);
    EXPECT_EQ(testing_support::readFile(saved), testing_support::runDialogue("20\n" + std::string(80, '9') + tail));
  }
  std::printf("peak resident size: %ld KiB with an 80-character token, %ld KiB with 10,000,000\n", peak[0], peak[1]);
  EXPECT_LT(peak[1] - peak[0], 2048) << "the token must not be held in memory";
}
