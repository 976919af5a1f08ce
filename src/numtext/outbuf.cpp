#include "numtext/outbuf.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <ostream>

namespace numtext {

namespace detail {

char text[kCapacity];
std::size_t used = 0;

// Emits, then appends s in pieces of at most the whole buffer.
void putLong(std::string_view s) {
  while (!s.empty()) {
    if (used == kCapacity) emit();
    const std::size_t n = std::min(s.size(), kCapacity - used);
    s.copy(text + used, n);
    used += n;
    s.remove_prefix(n);
  }
}

}  // namespace detail

using detail::kCapacity;
using detail::text;
using detail::used;

namespace {

std::ostream* stream = nullptr;
int failure = 0;  // errno of the first failed write, or 0

}  // namespace

void bind(std::ostream& out) {
  stream = &out;
  used = 0;
  failure = 0;
}

// Straight into the buffer when it has room for the longest integer (20 characters).
void putInt(long long v) {
  if (kCapacity - used >= 24) {
    used = static_cast<std::size_t>(std::to_chars(text + used, text + kCapacity, v).ptr - text);
    return;
  }
  char digits[24];
  put(std::string_view(digits, static_cast<std::size_t>(std::to_chars(digits, digits + 24, v).ptr - digits)));
}

bool emit(bool flush) {
  if (stream == nullptr || failure != 0) {
    used = 0;
    return false;
  }
  errno = 0;
  if (used > 0) stream->write(text, static_cast<std::streamsize>(used));
  if (flush && !stream->fail()) stream->flush();
  used = 0;
  if (stream->fail()) failure = errno != 0 ? errno : EIO;
  return failure == 0;
}

int outputError() { return failure; }

std::string_view pending() { return {text, used}; }

void discard() { used = 0; }

void discardFrom(std::size_t at) {
  if (at < used) used = at;
}

}  // namespace numtext
