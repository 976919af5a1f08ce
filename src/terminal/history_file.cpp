// The history file on disk. Nothing here blocks: a path that names anything but a regular
// file is no history, and the file is only ever appended to or replaced whole.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include "terminal/history.h"
#include "terminal/tty.h"

namespace terminal {

namespace {

// The calls in which the systems differ. On Windows a file opens in binary mode (no line
// ends rewritten), a device opens without waiting, there are no modes to keep or links to
// resolve, and a rename does not replace a file, a move does.
#ifdef _WIN32
constexpr int kOpenFlags = O_BINARY | O_NOINHERIT;
void unblock(int) {}
std::string resolved(const std::string& path) {
  char full[_MAX_PATH];
  return _fullpath(full, path.c_str(), sizeof full) != nullptr ? full : path;
}
bool separator(char c) { return c == '/' || c == '\\'; }
void makeFolder(const std::string& path) { _mkdir(path.c_str()); }
int makeTemporary(std::string& name) {
  if (_mktemp_s(name.data(), name.size() + 1) != 0) return -1;
  return open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, _S_IREAD | _S_IWRITE);
}
bool keepMode(int, const struct stat&) { return true; }
bool flush(int fd) { return _commit(fd) == 0; }
bool replace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
#else
constexpr int kOpenFlags = O_NONBLOCK | O_CLOEXEC;
void unblock(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK); }
std::string resolved(const std::string& path) {
  char full[PATH_MAX];
  return realpath(path.c_str(), full) != nullptr ? full : path;
}
bool separator(char c) { return c == '/'; }
void makeFolder(const std::string& path) { mkdir(path.c_str(), 0700); }
int makeTemporary(std::string& name) { return mkstemp(name.data()); }
bool keepMode(int fd, const struct stat& st) { return fchmod(fd, st.st_mode & 07777) == 0; }
bool flush(int fd) { return fsync(fd) == 0; }
bool replace(const std::string& from, const std::string& to) { return rename(from.c_str(), to.c_str()) == 0; }
#endif

// Opens `path` without waiting (a FIFO with no writer, a terminal) and keeps the descriptor
// only when it is a regular file, in blocking mode again; −1 otherwise (errno ENOENT when
// nothing is there). `st` gets its status.
int openRegular(const std::string& path, int flags, struct stat& st) {
  const int fd = open(path.c_str(), flags | kOpenFlags, 0600);
  if (fd < 0) return -1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  unblock(fd);
  return fd;
}

// At most `max` bytes from the end of the open file of size `size`; `whole` when that is
// all of it. False when it cannot be read.
bool readTail(int fd, std::size_t size, std::size_t max, std::string& text, bool& whole) {
  whole = size <= max;
  if (!whole && lseek(fd, static_cast<off_t>(size - max), SEEK_SET) < 0) return false;
  text.clear();
  char buf[1 << 16];
  for (ssize_t n = 1; n > 0 && text.size() < max;) {
    n = ::read(fd, buf, static_cast<unsigned>(std::min(sizeof buf, max - text.size())));  // at most 64 KiB
    if (n < 0 && errno != EINTR) return false;
    if (n > 0) text.append(buf, static_cast<std::size_t>(n));
  }
  return true;
}

// Reads the file's last kHistoryTail bytes into `file` and `lines`; false when it cannot.
bool load(HistoryFile& file, std::deque<std::string>& lines) {
  struct stat st{};
  const int fd = openRegular(file.path, O_RDONLY, st);
  if (fd < 0) return false;
  std::string text;
  bool whole = false;
  const bool ok = readTail(fd, static_cast<std::size_t>(st.st_size), kHistoryTail, text, whole);
  close(fd);
  if (!ok) return false;
  lines = readHistory(text, whole);
  file.lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  file.unfinished = !text.empty() && text.back() != '\n';
  return true;
}

// The folders above the file at `path`, made where missing (mode 0700).
void makeFolders(const std::string& path) {
  for (std::size_t at = 1; at < path.size(); ++at) {
    if (separator(path[at])) makeFolder(path.substr(0, at));  // an existing folder is left as it is
  }
}

// The file's last kMaxHistory good lines, through a temporary beside it (a name of its own
// each time, so a temporary left by a killed run is never in the way) renamed over it; a
// crash leaves the old file or the new one, never half of one. False when it cannot.
bool trim(HistoryFile& file) {
  std::deque<std::string> lines;
  struct stat st{};
  if (!load(file, lines) || stat(file.path.c_str(), &st) != 0) return false;
  std::string temp = file.path + ".XXXXXX";
  const int fd = makeTemporary(temp);
  if (fd < 0) return false;
  const std::string text = writeHistory(lines);
  const bool ok = keepMode(fd, st) && tty::writeAll(fd, text) && flush(fd);
  if (close(fd) == 0 && ok && replace(temp, file.path)) {
    file.lines = lines.size(), file.unfinished = false;
    return true;
  }
  unlink(temp.c_str());
  return false;
}

}  // namespace

HistoryFile openHistory(const std::string& path, std::deque<std::string>& loaded) {
  HistoryFile file;
  if (path.empty()) return file;
  file.path = resolved(path);  // a link's target
  if (!load(file, loaded) && errno != ENOENT) file.path.clear();
  return file;
}

bool appendHistory(HistoryFile& file, std::string_view line) {
  if (file.path.empty()) return false;
  struct stat st{};
  constexpr int kAppend = O_WRONLY | O_APPEND | O_CREAT;
  int fd = openRegular(file.path, kAppend, st);
  if (fd < 0 && errno == ENOENT) makeFolders(file.path), fd = openRegular(file.path, kAppend, st);
  if (fd < 0) return false;
  // A line left without its break by a write cut short gets one first, so that the two
  // never read back as one.
  std::string text(file.unfinished && st.st_size > 0 ? 1 : 0, '\n');
  text.append(line).push_back('\n');
  const bool ok = tty::writeAll(fd, text);
  if (close(fd) != 0 || !ok) return file.unfinished = true, false;
  file.lines += file.unfinished ? 2 : 1, file.unfinished = false;
  // A trim that fails (a folder that takes no new file) is tried again 1,000 lines later,
  // not at every line.
  if (file.lines > kTrimAbove && !trim(file)) file.lines = kMaxHistory;
  return true;
}

}  // namespace terminal
