// Output text: every routine that prints appends to one static buffer, and the command
// loop hands the buffer to the output stream in whole pieces (before a read that would
// wait, when it fills, and at the end), so the stream sees a few large writes.
#pragma once

#include <cstddef>
#include <cstring>
#include <iosfwd>
#include <string_view>

namespace numtext {

namespace detail {
// 64 KiB: more than a whole token's output at the largest precision (two 13,400-character
// fixed displays, the legend, trace lines and 79 S commands); more is emitted early.
constexpr std::size_t kCapacity = 1 << 16;
extern char text[kCapacity];
extern std::size_t used;
void putLong(std::string_view s);
}  // namespace detail

// bind: the stream the buffer is emptied into when it fills.
void bind(std::ostream& out);
// put / putInt: append text, or an integer in plain decimal ("-1" for −1).
inline void put(std::string_view s) {
  if (s.size() > detail::kCapacity - detail::used) return detail::putLong(s);
  std::memcpy(detail::text + detail::used, s.data(), s.size());
  detail::used += s.size();
}
// A string literal: its length is known here, so the copy is a few moves.
template <std::size_t N>
inline void put(const char (&s)[N]) {
  put(std::string_view(s, N - 1));
}
inline void put(char c) {
  if (detail::used == detail::kCapacity) return detail::putLong(std::string_view(&c, 1));
  detail::text[detail::used++] = c;
}
void putInt(long long v);
// emit: writes the assembled text to the bound stream, then flushes it when asked, and
// empties the buffer; false once the stream has failed (nothing more is written then).
// outputError: errno of that failure (EIO when the stream left none).
bool emit(bool flush = false);
int outputError();
// pending: the text assembled since the last emit.  discard: drops it; discardFrom: drops
// what came after its first `at` characters.
std::string_view pending();
void discard();
void discardFrom(std::size_t at);

}  // namespace numtext
