// The built program as a process: in a pseudo-terminal as a person would use it, and
// with a ten-million-character token on a pipe, measuring its peak resident size.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace {

// Reads from fd until `needle` appears after `from` or five seconds pass; returns the text.
bool readUntil(int fd, std::string& seen, const std::string& needle, size_t from = 0) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (seen.find(needle, from) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[4096];
    const ssize_t got = read(fd, buf, sizeof buf);
    if (got <= 0) return seen.find(needle, from) != std::string::npos;
    seen.append(buf, static_cast<size_t>(got));
  }
  return true;
}

void type(int fd, const std::string& keys) { ASSERT_EQ(write(fd, keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }

// Starts the calculator on a new pseudo-terminal; returns its pid and the master side.
pid_t startInTerminal(int& master) {
  const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    execl(ZANTORIX_BIN, ZANTORIX_BIN, static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

int exitStatus(pid_t pid, rusage* usage = nullptr) {
  int status = 0;
  rusage ignored{};
  wait4(pid, &status, 0, usage != nullptr ? usage : &ignored);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Each prompt must be on the screen before anything is typed at it.
TEST(Terminal, PromptsBeforeTypingAndCleanExits) {
  struct {
    const char* name;
    const char* keysAtPrompt;  // typed at the first "  >"
    const char* lastWords;     // what the screen ends with (the terminal echoes ESC as ^[)
  } rows[] = {{"escape", "\x1b\r", "  >^[\r\n\r\n\r\n"}, {"ctrl-d", "\x04", "  >\r\n"}};
  for (const auto& row : rows) {
    int master = -1;
    const pid_t pid = startInTerminal(master);
    ASSERT_GT(pid, 0);
    std::string screen;
    ASSERT_TRUE(readUntil(master, screen, "  Precision: ")) << row.name << ": " << screen;
    EXPECT_NE(screen.find("(No spaces. Cram everything together.)"), std::string::npos);
    type(master, "20\r");
    ASSERT_TRUE(readUntil(master, screen, "  >")) << screen;
    const size_t mark = screen.size();
    type(master, "5+3\r");
    ASSERT_TRUE(readUntil(master, screen, "  >", mark)) << screen;
    EXPECT_NE(screen.find("8.0", mark), std::string::npos);
    type(master, row.keysAtPrompt);
    EXPECT_EQ(exitStatus(pid), 0) << row.name;
    readUntil(master, screen, "\x01");  // drain what is left
    close(master);
    EXPECT_EQ(screen.substr(screen.size() - std::string(row.lastWords).size()), row.lastWords) << row.name;
  }
  // Ctrl-D at the precision prompt.
  int master = -1;
  const pid_t pid = startInTerminal(master);
  std::string screen;
  ASSERT_TRUE(readUntil(master, screen, "  Precision: "));
  type(master, "\x04");
  EXPECT_EQ(exitStatus(pid), 0);
  close(master);
}

// Runs the program on a pipe fed with `head`, `len` copies of '9' and `tail`; returns
// its peak resident size in KiB.
long peakKiB(const std::string& head, long long len, const std::string& tail) {
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0), dup2(out[1], 1);
    close(in[1]), close(out[0]);
    execl(ZANTORIX_BIN, ZANTORIX_BIN, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]), close(out[1]);
  const pid_t drain = fork();  // a reader, so the program never blocks on its output
  if (drain == 0) {
    char buf[4096];
    while (read(out[0], buf, sizeof buf) > 0) {
    }
    _exit(0);
  }
  close(out[0]);
  const std::string chunk(1 << 16, '9');
  bool ok = write(in[1], head.data(), head.size()) == static_cast<ssize_t>(head.size());
  for (long long left = len; ok && left > 0; left -= static_cast<long long>(chunk.size())) {
    const size_t n = static_cast<size_t>(std::min<long long>(left, static_cast<long long>(chunk.size())));
    ok = write(in[1], chunk.data(), n) == static_cast<ssize_t>(n);
  }
  ok = ok && write(in[1], tail.data(), tail.size()) == static_cast<ssize_t>(tail.size());
  close(in[1]);
  rusage usage{};
  const int status = exitStatus(pid, &usage);
  exitStatus(drain);
  return ok && status == 0 ? usage.ru_maxrss : -1;
}

TEST(Process, TenMillionCharacterTokenKeepsMemoryBounded) {
  const long small = peakKiB("20\n", 10, "\n5+3\nq\n");
  const long huge = peakKiB("20\n", 10'000'000, "\n5+3\nq\n");
  ASSERT_GT(small, 0);
  ASSERT_GT(huge, 0);
  std::printf("peak resident size: %ld KiB with a 10-character token, %ld KiB with 10,000,000\n", small, huge);
  EXPECT_LT(huge - small, 2048) << "the token must not be held in memory";
}
