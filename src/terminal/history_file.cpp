// The history file on disk. Nothing here blocks for long: a path that names anything but a
// regular file is no history, and the file is only ever appended to or replaced whole. Runs
// that share the file take turns by an advisory lock on it, held for each append and trim.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/file.h>
#endif

#include "terminal/history.h"
#include "terminal/tty.h"
#include "terminal/utf16.h"

namespace terminal {

namespace {

// The calls in which the systems differ. On Windows paths go to the wide calls as UTF-16
// (a path outside the ANSI code page works too), a file opens in binary mode (no line ends
// rewritten), a device opens without waiting, there are no modes to keep or links to
// resolve, and a rename does not replace a file, a move does.
#ifdef _WIN32
constexpr int kOpenFlags = O_BINARY | O_NOINHERIT;
std::wstring wide(const std::string& path) { return toWide(path); }
std::filesystem::path fsPath(const std::string& path) { return wide(path); }
int openPath(const std::string& path, int flags) { return _wopen(wide(path).c_str(), flags, _S_IREAD | _S_IWRITE); }
bool statPath(const std::string& path, struct stat& st) {
  const int fd = openPath(path, O_RDONLY | kOpenFlags);
  const bool ok = fd >= 0 && fstat(fd, &st) == 0;
  if (fd >= 0) close(fd);
  return ok;
}
void removePath(const std::string& path) { _wunlink(wide(path).c_str()); }
void unblock(int) {}
std::string resolved(const std::string& path) {
  wchar_t full[_MAX_PATH];
  return _wfullpath(full, wide(path).c_str(), _MAX_PATH) != nullptr ? fromWide(full) : path;
}
bool separator(char c) { return c == '/' || c == '\\'; }
void makeFolder(const std::string& path) { _wmkdir(wide(path).c_str()); }
int makeTemporary(std::string& name) {
  std::wstring w = wide(name);
  if (_wmktemp_s(w.data(), w.size() + 1) != 0) return -1;
  name = fromWide(w);
  return _wopen(w.c_str(), O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, _S_IREAD | _S_IWRITE);
}
bool keepMode(int, const struct stat&) { return true; }
bool flush(int fd) { return _commit(fd) == 0; }
bool replace(const std::string& from, const std::string& to) {
  return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
// The lock is one byte far past any history's end, so that it never stands in the way of
// a run that writes without it.
bool tryLock(int fd) {
  OVERLAPPED at{};
  at.OffsetHigh = 0x40000000;
  const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}
bool sameFile(int, const std::string&) { return true; }  // a file open elsewhere is never replaced
bool truncateTo(int fd, long long size) { return _chsize_s(fd, size) == 0; }
void pause() { Sleep(5); }
#else
constexpr int kOpenFlags = O_NONBLOCK | O_CLOEXEC;
std::filesystem::path fsPath(const std::string& path) { return path; }
int openPath(const std::string& path, int flags) { return open(path.c_str(), flags, 0600); }
bool statPath(const std::string& path, struct stat& st) { return stat(path.c_str(), &st) == 0; }
void removePath(const std::string& path) { unlink(path.c_str()); }
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
bool tryLock(int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0; }
// Whether fd is still the file at `path`: a trim by another run may have replaced it.
bool sameFile(int fd, const std::string& path) {
  struct stat open{}, named{};
  return fstat(fd, &open) == 0 && statPath(path, named) && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}
bool truncateTo(int fd, long long size) { return ftruncate(fd, static_cast<off_t>(size)) == 0; }
void pause() { usleep(5000); }
#endif

constexpr int kLockTries = 20;  // 5 ms apart: a run waits about 100 ms for another's turn

// Opens `path` without waiting (a FIFO with no writer, a terminal) and keeps the descriptor
// only when it is a regular file, in blocking mode again; −1 otherwise (errno ENOENT when
// nothing is there). `st` gets its status.
int openRegular(const std::string& path, int flags, struct stat& st) {
  const int fd = openPath(path, flags | kOpenFlags);
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
  while (text.size() < max) {  // a read cut short by a signal goes on
    const auto n = ::read(fd, buf, static_cast<unsigned>(std::min(sizeof buf, max - text.size())));  // at most 64 KiB
    if (n < 0 && errno != EINTR) return false;
    if (n == 0) break;
    if (n > 0) text.append(buf, static_cast<std::size_t>(n));
  }
  return true;
}

// Whether the file just opened starts with a UTF-16 byte-order mark: text another tool
// wrote (as PowerShell 5 does), which lines of UTF-8 must not be added to. Leaves the
// offset at the start.
bool utf16Text(int fd) {
  unsigned char mark[2] = {0, 0};
  const bool read2 = ::read(fd, mark, 2) == 2;
  lseek(fd, 0, SEEK_SET);
  return read2 && ((mark[0] == 0xFF && mark[1] == 0xFE) || (mark[0] == 0xFE && mark[1] == 0xFF));
}

// Reads the file's last kHistoryTail bytes into `file` and `lines`; false when it cannot
// (errno EILSEQ: it is UTF-16 text).
bool load(HistoryFile& file, std::deque<std::string>& lines) {
  struct stat st{};
  const int fd = openRegular(file.path, O_RDONLY, st);
  if (fd < 0) return false;
  if (utf16Text(fd)) return close(fd), errno = EILSEQ, false;
  std::string text;
  bool whole = false;
  const bool ok = readTail(fd, static_cast<std::size_t>(st.st_size), kHistoryTail, text, whole);
  close(fd);
  if (!ok) return false;
  lines = readHistory(text, whole);
  file.lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  return true;
}

// The folders above the file at `path`, made where missing (mode 0700).
void makeFolders(const std::string& path) {
  for (std::size_t at = 1; at < path.size(); ++at) {
    if (separator(path[at])) makeFolder(path.substr(0, at));  // an existing folder is left as it is
  }
}

// The prefix of the temporaries that trims write beside the file: the file's name and
// ".trim.", then six characters of its own each time.
std::string trimPrefix(const std::string& path) { return path + ".trim."; }

// Temporaries that a trim killed before its rename left behind, removed. Only while the
// lock is held, when no other trim is writing one.
void removeLeftovers(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path file = fsPath(path);
  const fs::path::string_type prefix = file.filename().native() + fs::path(".trim.").native();
  std::error_code e;
  for (fs::directory_iterator it(file.parent_path(), e), end; !e && it != end; it.increment(e)) {
    const fs::path::string_type name = it->path().filename().native();
    if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) fs::remove(it->path(), e);
  }
}

// With the lock held: the file's last kMaxHistory good lines, through a temporary beside it
// renamed over it; a crash leaves the old file or the new one, never half of one. What is
// trimmed is what the file holds now, whatever other runs added. False when it cannot.
bool trim(HistoryFile& file) {
  std::deque<std::string> lines;
  struct stat st{};
  if (!load(file, lines) || !statPath(file.path, st)) return false;
  if (file.lines <= kTrimAbove) return true;  // another run has trimmed it
  removeLeftovers(file.path);
  std::string temp = trimPrefix(file.path) + "XXXXXX";
  const int fd = makeTemporary(temp);
  if (fd < 0) return false;
  const std::string text = writeHistory(lines);
  const bool ok = keepMode(fd, st) && tty::writeAll(fd, text) && flush(fd);
  if (close(fd) == 0 && ok && replace(temp, file.path)) {
    file.lines = lines.size();
    return true;
  }
  removePath(temp);
  return false;
}

// Opens the file to append (making it and its folders when missing) and takes its lock
// within about 100 ms; `locked` says whether it did. A file replaced by another run's trim
// while this one waited is opened afresh. −1 when it cannot be opened.
int openLocked(const std::string& path, bool& locked) {
  constexpr int kAppend = O_RDWR | O_APPEND | O_CREAT;
  for (int tries = 0;; ++tries) {
    struct stat st{};
    int fd = openRegular(path, kAppend, st);
    if (fd < 0 && errno == ENOENT) makeFolders(path), fd = openRegular(path, kAppend, st);
    if (fd < 0) return -1;
    for (locked = false; !locked && tries < kLockTries; ++tries) {
      locked = tryLock(fd);
      if (!locked) pause();
    }
    if (!locked || sameFile(fd, path)) return fd;
    close(fd);  // the lock is on a file a trim has replaced
  }
}

// Whether the open file of size `size` ends in a line break (an empty one does).
bool endsLine(int fd, long long size) {
  char last = '\n';
  if (size > 0 && (lseek(fd, static_cast<off_t>(size - 1), SEEK_SET) < 0 || ::read(fd, &last, 1) != 1)) return false;
  return last == '\n';
}

// Says once on standard error that the history is not kept, and why.
void tellUnsaved(const std::string& path, int error) {
  tty::writeAll(2, "zantorix: the history is not saved from now on: " + path + ": " + std::strerror(error) + "\n");
}

}  // namespace

HistoryFile openHistory(const std::string& path, std::deque<std::string>& loaded) {
  HistoryFile file;
  if (path.empty()) return file;
  file.path = resolved(path);  // a link's target
  if (!load(file, loaded) && errno != ENOENT) {
    if (errno == EILSEQ) {
      tty::writeAll(2, "zantorix: " + file.path + " holds UTF-16 text, not history: it is left as it is\n");
    }
    file.path.clear();
  }
  return file;
}

bool appendHistory(HistoryFile& file, std::string_view line) {
  if (file.path.empty()) return false;
  bool locked = false;
  const int fd = openLocked(file.path, locked);
  struct stat st{};
  if (fd < 0 || fstat(fd, &st) != 0) {
    tellUnsaved(file.path, errno);
    file.path.clear();
    if (fd >= 0) close(fd);
    return false;
  }
  // A line that another run, or a hand, left without its break gets one first, so that
  // the two never read back as one.
  const bool broken = !endsLine(fd, st.st_size);
  std::string text(broken ? 1 : 0, '\n');
  text.append(line).push_back('\n');
  const bool ok = tty::writeAll(fd, text);
  const int error = errno;
  // A write cut short (a full disk, a file size limit) is taken back whole, so that no
  // fragment of it is ever recalled; without the lock another run may have written after
  // it, and a fragment stays (the next append ends it with a break).
  if (!ok && locked) truncateTo(fd, st.st_size);
  if (ok) file.lines += broken ? 2 : 1;
  // A trim that fails (a folder that takes no new file) is tried again 1,000 lines later,
  // not at every line; one that cannot have the lock, at the next line.
  if (ok && locked && file.lines > kTrimAbove && !trim(file)) file.lines = kMaxHistory;
  if (close(fd) != 0 || !ok) {
    tellUnsaved(file.path, ok ? errno : error);
    file.path.clear();
    return false;
  }
  return true;
}

}  // namespace terminal
