#include "numtext/entry.h"

#include <cstdint>
#include <cstring>

#include "engine/store.h"
#include "numtext/outbuf.h"

namespace numtext {

char t[kBufLen];
bool trace = true;

namespace {

char at(int pos, int end = kBufLen) { return pos >= 0 && pos < end ? t[pos] : '\0'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNonZeroDigit(char c) { return c >= '1' && c <= '9'; }

}  // namespace

void clearBuffer() { std::memset(t, 0, sizeof t); }

// Eight positions at a time over the NUL tail, then one at a time.
int filled() {
  static_assert(kBufLen % 8 == 0);
  int end = kBufLen;
  for (std::uint64_t word = 0; end > 0; end -= 8) {
    std::memcpy(&word, t + end - 8, 8);
    if (word != 0) break;
  }
  while (end > 0 && t[end - 1] == '\0') --end;
  return end;
}

// Called for an e or E at i (0 <= i < kBufLen).
void rewriteMarker(int i) {
  const char next = at(i + 1);
  if (next == '-' || next == '+') {
    t[i] = next == '-' ? '>' : '<';
    t[i + 1] = ' ';
  } else {
    t[i] = '<';
  }
}

int intvalueT(int pos) {
  constexpr long long kMax = 2147483647;
  int sign = 1;
  for (; pos < kBufLen && !isDigit(at(pos)); ++pos) {
    if (at(pos) == '-') sign = -1;
  }
  long long value = 0;
  for (; pos < kBufLen && isDigit(at(pos)); ++pos) {
    value = value * 10 + (at(pos) - '0');
    if (value > kMax) value = kMax;
  }
  return static_cast<int>(value) * sign;
}

// Digits from the first non-zero one on go to cells decpoint, decpoint+1, ... (d.ddd...),
// then the register is shifted by the decimal exponent of that first digit.
// Past the last character of the token every position is NUL: a scan that has met no
// non-zero digit there only runs on to `end`, so it jumps.
void valueT(int r, int start, int end) {
  using engine::n;
  const int content = filled();
  for (int i = 0; i < content; ++i) rewriteAt(i);
  int first = -1, dot = -1, last = start - 1, w = engine::decpoint;
  engine::zero(r);
  int pos = start;
  for (bool done = false; pos < end && !done;) {
    if (first == -1 && pos >= content) {
      last = end - 1;
      pos = end;
      break;
    }
    last = pos;
    const char c = at(pos, end);
    if (dot == -1 && c == '.') dot = pos;
    if (first == -1 && isNonZeroDigit(c)) first = pos;
    if (first != -1 && isDigit(c)) {
      if (w <= engine::precision) n[r + w] = static_cast<signed char>(c - '0');
      ++w;
    }
    ++pos;
    const char next = at(pos, end);
    if (first != -1 && !isDigit(next) && next != '.') done = true;
  }
  long long expo = 0;
  if (at(pos, end) == '<') expo = intvalueT(pos);
  if (at(pos, end) == '>') expo = -static_cast<long long>(intvalueT(pos));
  if (trace) putInt(first), put(' '), putInt(dot), put(' '), putInt(last), put(' '), putInt(expo), put('\n');
  if (first == -1) return;
  long long shift = expo + (dot == -1 ? last - first : dot < first ? dot - first : dot - first - 1);
  if (shift < 0) engine::shiftDown(r, -shift);
  if (shift > 0) engine::shiftUp(r, shift);
}

}  // namespace numtext
