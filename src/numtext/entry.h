// Number entry: the input buffer and the routines that read numbers out of it.
#pragma once

namespace numtext {

constexpr int kBufLen = 80;  // positions 0..79; the token ends at the first NUL
// The input buffer, filled with one token by the command loop; positions past 79 read as NUL.
extern char t[kBufLen];
// Whether valueT appends its trace line (the dialogue shows it; bare results do not).
extern bool trace;

// clearBuffer: every position := NUL.  filled: the position after the last non-NUL one.
void clearBuffer();
int filled();
// rewriteAt: the exponent-marker rewrite at position i < kBufLen: e/E followed by '-' becomes
// '>' and ' ', followed by '+' becomes '<' and ' ', any other e/E becomes '<'.
void rewriteMarker(int i);
inline void rewriteAt(int i) {
  if (t[i] == 'e' || t[i] == 'E') rewriteMarker(i);
}
// intvalueT: the signed integer from position pos: skips non-digits (any '-' met makes
// it negative), then reads digits. Saturates at 2147483647 in magnitude; 0 without digits.
int intvalueT(int pos);
// valueT: parses the number from position start into register r, treating positions
// at or past `end` as NUL, and appends the trace line "first dot last expo\n" to the output
// when `trace` is on.
// Keeps at most precision - decpoint + 1 significant digits; shifts past the register leave 0.
void valueT(int r, int start, int end = kBufLen);

}  // namespace numtext
