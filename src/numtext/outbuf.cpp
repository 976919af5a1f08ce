#include "numtext/outbuf.h"

#include <algorithm>
#include <charconv>
#include <ostream>

namespace numtext {

namespace {

// 64 KiB: more than a whole token's output at the largest precision (two 13,400-character
// fixed displays, the legend, trace lines and 79 S commands); a longer run is emitted early.
constexpr std::size_t kCapacity = 1 << 16;
char text[kCapacity];
std::size_t used = 0;
std::ostream* stream = nullptr;

void room(std::size_t n) {
  if (used + n > kCapacity) emit();
}

}  // namespace

void bind(std::ostream& out) {
  stream = &out;
  used = 0;
}

void put(std::string_view s) {
  while (!s.empty()) {
    room(s.size());
    const std::size_t n = std::min(s.size(), kCapacity - used);
    s.copy(text + used, n);
    used += n;
    s.remove_prefix(n);
  }
}

void put(char c) {
  room(1);
  text[used++] = c;
}

void putInt(long long v) {
  room(24);
  used = static_cast<std::size_t>(std::to_chars(text + used, text + kCapacity, v).ptr - text);
}

bool emit() {
  if (stream == nullptr) return false;
  if (used > 0) stream->write(text, static_cast<std::streamsize>(used));
  used = 0;
  return !stream->fail();
}

std::string_view pending() { return {text, used}; }

void discard() { used = 0; }

}  // namespace numtext
