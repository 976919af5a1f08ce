#include "numtext/show.h"

#include <algorithm>

#include "engine/store.h"
#include "numtext/outbuf.h"

namespace numtext {

int pad = 20;
int comma = 1;

namespace {

// A display is assembled in one static line, then appended to the output at once.
char line[2 * engine::kRegCells + 64];
int used = 0;

void add(char c) { line[used++] = c; }
void addDigit(int r, int k) { add(static_cast<char>('0' + engine::n[r + k])); }
void flushLine() {
  put(std::string_view(line, static_cast<std::size_t>(used)));
  used = 0;
}

int firstNonZero(int r) {
  int k = 0;
  while (k <= engine::precision && engine::n[r + k] == 0) ++k;
  return k;
}

int lastNonZero(int r) {
  int k = engine::precision;
  while (k >= 0 && engine::n[r + k] == 0) --k;
  return k;
}

}  // namespace

// An all-zero register shows its last two cells (one cell at precision 0).
void expdisplay(int r) {
  const int p = engine::precision;
  int i = firstNonZero(r);
  if (i > p) i = std::max(p - 1, 0);
  const int e = engine::decpoint - i;
  for (int j = i; j <= i + 6 && j <= p; ++j) {
    addDigit(r, j);
    if (j == i) add('.');
  }
  add('e');
  if (e >= 0) add('+');
  flushLine();
  putInt(e);
}

// The leading spaces put the decimal point in column pad + 2 when separators are on.
void display(int r) {
  const int p = engine::precision, dp = engine::decpoint;
  const int first = std::min(firstNonZero(r), dp);
  const int last = std::min(std::max(lastNonZero(r) + 1, dp + 1), p);
  if (pad != 0) {
    const int d = dp - first;
    for (int k = pad - d - d / 3; k > 0; --k) add(' ');
  }
  for (int j = first; j <= last; ++j) {
    addDigit(r, j);
    if (j == dp) add('.');
    if (comma == 1 && j < dp && (dp - j) % 3 == 0) add(',');
  }
  flushLine();
}

namespace {

// The length of the well-formed UTF-8 character at the start of s (0: none there).
std::size_t utf8Length(std::string_view s) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = b(0);
  const std::size_t len = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (lead < 0xC2 || lead > 0xF4 || s.size() < len) return 0;
  // The second byte's range depends on the lead, against overlong forms, surrogates and
  // code points past U+10FFFF.
  const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (b(1) < low || b(1) > high) return 0;
  for (std::size_t i = 2; i < len; ++i) {
    if ((b(i) & 0xC0) != 0x80) return 0;
  }
  return len;
}

}  // namespace

std::string printable(std::string_view bytes) {
  std::string out;
  for (std::size_t at = 0; at < bytes.size();) {
    const auto c = static_cast<unsigned char>(bytes[at]);
    const std::size_t len = c < 0x80 ? 1 : utf8Length(bytes.substr(at));
    if (c >= 0x20 && c != 0x7f && len > 0) {
      out.append(bytes.substr(at, len));
      at += len;
      continue;
    }
    constexpr char kHex[] = "0123456789abcdef";
    out += c == 0x1b ? std::string("\\e") : std::string{'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    ++at;
  }
  return out;
}

}  // namespace numtext
