// The plain methods: long multiplication digit by digit, and long division by
// repeated subtraction. Slow (quadratic in digits, times ten for division) and simple.
#include <algorithm>
#include <cstring>

#include "engine/reference.h"
#include "engine/store.h"

namespace engine::ref {

namespace {

constexpr int kMaxPositions = 3 * kRegCells + 2;

// Digit i of a digit string (most significant first) of length len, 0 outside it.
int digitAt(const signed char* s, int len, int i) { return i >= 0 && i < len ? s[i] : 0; }

// rem >= b, both len digits, most significant first.
bool notBelow(const signed char* rem, const signed char* b, int len) {
  for (int i = 0; i < len; ++i) {
    if (rem[i] != b[i]) return rem[i] > b[i];
  }
  return true;
}

void subtractInPlace(signed char* rem, const signed char* b, int len) {
  int borrow = 0;
  for (int i = len - 1; i >= 0; --i) {
    int d = rem[i] - b[i] - borrow;
    borrow = d < 0 ? 1 : 0;
    rem[i] = static_cast<signed char>(d + 10 * borrow);
  }
}

}  // namespace

// Column sums by weight, then carries from the lowest weight up; cell k of the
// product is the digit of weight 10^(f + precision - k).
void mul() {
  static int col[2 * kRegCells + 2];
  const int p = precision, f = precision - decpoint;
  std::fill(col, col + 2 * p + 3, 0);
  for (int i = 0; i <= p; ++i) {
    for (int j = 0; j <= p; ++j) col[(p - i) + (p - j)] += n[rMulA + i] * n[rMulB + j];
  }
  int carry = 0;
  for (int w = 0; w <= 2 * p + 2; ++w) {
    const int t = col[w] + carry;
    col[w] = t % 10;
    carry = t / 10;
  }
  for (int k = 0; k <= p; ++k) n[rMulProd + k] = static_cast<signed char>(col[f + p - k]);
}

// Brings down the digits of dividend * 10^f one at a time; each quotient digit is the
// number of times the divisor can be subtracted from the running remainder (0..9).
bool div() {
  if (compare(rDivB, rZero) == kEqual) return false;
  static signed char rem[kRegCells + 1], b[kRegCells + 1], q[kMaxPositions];
  const int p = precision, f = precision - decpoint, len = p + 2, total = p + 1 + f;
  std::memset(rem, 0, sizeof rem);
  b[0] = 0;
  std::memcpy(b + 1, n + rDivB, static_cast<size_t>(p) + 1);
  for (int i = 0; i < total; ++i) {
    std::memmove(rem, rem + 1, static_cast<size_t>(len) - 1);
    rem[len - 1] = static_cast<signed char>(digitAt(n + rDivA, p + 1, i));
    int digit = 0;
    while (notBelow(rem, b, len)) {
      subtractInPlace(rem, b, len);
      ++digit;
    }
    q[i] = static_cast<signed char>(digit);
  }
  for (int k = 0; k <= p; ++k) n[rDivQuot + k] = q[total - (p + 1) + k];
  return true;
}

}  // namespace engine::ref
