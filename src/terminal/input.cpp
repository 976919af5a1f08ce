#include "terminal/input.h"

#include <cerrno>
#include <ios>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace terminal {

namespace {

// read(2) on standard input: bytes read, 0 at its end, −1 with errno set.
long readStandardInput(char* buf, unsigned size) {
#if defined(_WIN32)
  return _read(0, buf, size);
#else
  return static_cast<long>(::read(STDIN_FILENO, buf, size));
#endif
}

}  // namespace

void readFailed() { throw std::ios_base::failure("read", std::error_code(errno, std::generic_category())); }

DescriptorInput::int_type DescriptorInput::underflow() {
  for (;;) {
    const long n = readStandardInput(buf_, sizeof buf_);
    if (n > 0) {
      setg(buf_, buf_, buf_ + n);
      return traits_type::to_int_type(buf_[0]);
    }
    if (n == 0) return traits_type::eof();
    if (errno != EINTR) readFailed();
  }
}

}  // namespace terminal
