#include "terminal/tty.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <atomic>
#include <cstdio>

namespace terminal::tty {

namespace {

termios saved{}, raw{};
volatile std::sig_atomic_t active = 0, resized = 0, resumed = 0;
// Two slots for atEnd's bytes: one is written while the other, named by endSlot, stays
// whole for a handler that interrupts the writing.
char endBytes[2][kEndBytes];
volatile std::sig_atomic_t endLength[2] = {0, 0}, endSlot = 0;

// What atEnd asked for, written while the terminal is still the program's.
void eraseRows() {
  const int slot = endSlot;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  const auto n = static_cast<std::size_t>(endLength[slot]);
  if (active && n > 0) writeAll(STDOUT_FILENO, {endBytes[slot], n});
}

// Signals whose default action ends the program: each gives the terminal back, then ends
// it as the signal would. A signal that is ignored or already handled is left alone.
constexpr int kEnding[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL,
                           SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGPIPE};

void onEnding(int sig) {
  eraseRows();
  leave();
  std::signal(sig, SIG_DFL);
  raise(sig);  // blocked until the handler returns, then the default action
}

void install(int sig, void (*handler)(int), bool onlyIfDefault) {
  struct sigaction old{};
  if (onlyIfDefault && (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL)) return;
  struct sigaction sa{};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a read in progress returns EINTR and the editor redraws
  sigaction(sig, &sa, nullptr);
}

void applyRaw() {
  if (active) tcsetattr(STDIN_FILENO, TCSADRAIN, &raw);
}

// Continued after any stop: raw mode again (a shell may have reset the settings), redraw.
void onContinue(int) {
  const int e = errno;
  applyRaw();
  resumed = 1;
  errno = e;
}

// A stop asked for from outside (kill -TSTP) or by Ctrl-Z: the terminal is given back
// while the program stands still.
void onStop(int) {
  const int e = errno;
  const bool wasActive = active != 0;
  eraseRows();
  leave();
  std::signal(SIGTSTP, SIG_DFL);
  sigset_t tstp;
  sigemptyset(&tstp);
  sigaddset(&tstp, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
  raise(SIGTSTP);  // stops here until continued
  install(SIGTSTP, onStop, false);
  active = wasActive ? 1 : 0;
  applyRaw();
  resumed = 1;
  errno = e;
}

void onResize(int) { resized = 1; }

}  // namespace

bool wanted() {
  const char* term = std::getenv("TERM");
  return isatty(STDIN_FILENO) && isatty(STDOUT_FILENO) && term != nullptr && *term != '\0' &&
         std::strcmp(term, "dumb") != 0;
}

bool enter() {
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return false;
  raw = saved;
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | ICRNL | INLCR | IGNCR | BRKINT | ISTRIP);
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  for (int sig : kEnding) install(sig, onEnding, true);
  install(SIGTSTP, onStop, true);
  install(SIGCONT, onContinue, false);
  install(SIGWINCH, onResize, false);
  std::atexit(leave);
  active = 1;
  if (tcsetattr(STDIN_FILENO, TCSADRAIN, &raw) != 0) {
    active = 0;
    return false;
  }
  return true;
}

// The settings go back before the flag says so: a signal between the two finds the flag
// still set and restores them again, which is harmless, never a terminal left raw.
void leave() {
  if (!active) return;
  const int e = errno;
  tcsetattr(STDIN_FILENO, TCSADRAIN, &saved);
  active = 0;
  errno = e;
}

void atEnd(std::string_view bytes) {
  const int slot = 1 - endSlot;
  const bool fits = bytes.size() <= kEndBytes;
  if (fits) std::copy(bytes.begin(), bytes.end(), endBytes[slot]);
  endLength[slot] = fits ? static_cast<std::sig_atomic_t>(bytes.size()) : 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);  // the bytes before the switch
  endSlot = slot;
}

int columns() {
  winsize w{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &w) == 0 && w.ws_col > 0) return w.ws_col;
  return 80;
}

int rows() {
  winsize w{};
  return ioctl(STDOUT_FILENO, TIOCGWINSZ, &w) == 0 ? w.ws_row : 0;
}

Wait waitInput(int ms) {
  pollfd p{STDIN_FILENO, POLLIN, 0};
  const int n = poll(&p, 1, ms);
  if (n > 0 || (n < 0 && errno != EINTR)) return Wait::ready;  // a failure: the read that follows says it
  return n == 0 ? Wait::timeout : Wait::interrupted;
}

long readInput(char* buf, std::size_t size) { return static_cast<long>(::read(STDIN_FILENO, buf, size)); }

bool writeAll(int fd, std::string_view s) {
  while (!s.empty()) {
    const ssize_t n = ::write(fd, s.data(), s.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    s.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool write(std::string_view s) { return writeAll(STDOUT_FILENO, s); }

void suspend() { kill(0, SIGTSTP); }

bool takeResized() {
  const bool r = resized != 0;
  resized = 0;
  return r;
}

bool takeResumed() {
  const bool r = resumed != 0;
  resumed = 0;
  return r;
}

}  // namespace terminal::tty
