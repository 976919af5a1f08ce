#include <utility>

#include "engine/ops.h"
#include "engine/store.h"
#include "engine/wide.h"
#include "engine/wide_mul.h"

namespace engine {

namespace {

// Bits of the exponent's integer part, lowest first, as '0'/'1' flags from index 1;
// returns how many there are (0 for an exponent below 1). 10^5000 < 2^16610.
int exponentBits(char* flags) {
  static wide::Num e;
  wide::pack(rExpPow, precision, e);
  wide::shiftDown(e, precision - decpoint);
  int count = 0;
  while (e.len > 0) flags[++count] = static_cast<char>('0' + wide::halve(e));
  return count;
}

}  // namespace

// Works on wide numbers throughout; each step is exactly the truncating mul().
// A square that reaches 0 stays 0, and the top bit is always set, so the result is 0.
void exp() {
  char flags[40000];
  const int count = exponentBits(flags);
  static wide::Num store[3];
  wide::Num *result = &store[0], *square = &store[1], *next = &store[2];  // swapped, never copied
  const int f = precision - decpoint;
  wide::setPow10(*result, f);
  wide::keepLow(*result, precision + 1);
  wide::pack(rExpBase, precision, *square);
  for (int k = 1; k <= count; ++k) {
    if (flags[k] == '1') {
      wide::mulFixed(*result, *square, *next, f, precision + 1);
      std::swap(result, next);
    }
    if (k == count) break;
    wide::mulFixed(*square, *square, *next, f, precision + 1);
    std::swap(square, next);
    if (square->len == 0) {
      result->len = 0;
      break;
    }
  }
  wide::unpack(*result, rExpResult, precision);
}

}  // namespace engine
