#include <algorithm>
#include <utility>

#include "engine/ops.h"
#include "engine/store.h"
#include "engine/pack.h"
#include "limbs/num.h"
#include "limbs/mul.h"
#include "limbs/pow.h"

namespace engine {

limbs::GoOn goOn = nullptr;
bool unproven = false;

namespace {

// n := the exponent's integer part; its bits, lowest first, as '0'/'1' flags from index 1.
// Returns how many there are (0 for an exponent below 1). 10^5000 < 2^16610.
int exponentBits(limbs::Num& n, char* flags) {
  static limbs::Num e;
  pack(rExpPow, precision, n);
  limbs::shiftDown(n, precision - decpoint);
  e = n;
  int count = 0;
  while (e.len > 0) flags[++count] = static_cast<char>('0' + limbs::halve(e));
  return count;
}

// The step-by-step power, each step exactly the truncating mul(): result := result·square
// where a bit is set, square := square² up to the top bit. A square that reaches 0 stays
// 0, and the top bit is always set, so the result is 0. False, with nothing written, when
// goOn stops it.
bool chain(const limbs::Num& base, const char* flags, int count) {
  static limbs::Num store[4];
  limbs::Num *result = &store[0], *square = &store[1], *next = &store[2], *nextSquare = &store[3];  // swapped, never copied
  const int f = precision - decpoint;
  limbs::setPow10(*result, f);
  limbs::keepLow(*result, precision + 1);
  *square = base;
  for (int k = 1; k <= count; ++k) {
    if (goOn != nullptr && !goOn(static_cast<double>(k) / count)) return false;
    if (k == count) {  // the top bit, always set: no square after it
      limbs::mulFixed(*result, *square, *next, f, precision + 1);
      std::swap(result, next);
      break;
    }
    if (flags[k] == '1') {  // both products at once
      limbs::mulFixedPair(*result, *square, *next, *nextSquare, f, precision + 1);
      std::swap(result, next), std::swap(square, nextSquare);
    } else {
      limbs::mulFixed(*square, *square, *next, f, precision + 1);
      std::swap(square, next);
    }
    if (square->len == 0) {
      result->len = 0;
      break;
    }
  }
  unpack(*result, rExpResult, precision);
  return true;
}

}  // namespace

// An exponent below 1 and an integer base go straight to the chain (an integer power is
// exact there, wrapped). A base with a fraction gives its exact power, truncated, when that
// fits the integer digits, 0 when it is certainly below 10^−(f+2), and the chain otherwise.
bool exp() {
  char flags[40000];
  static limbs::Num power, base, exact;
  unproven = false;
  if (goOn != nullptr && !goOn(0)) return false;
  const int count = exponentBits(power, flags);
  const int f = precision - decpoint, intDigits = decpoint + 1;
  pack(rExpBase, precision, base);
  const signed char* fraction = n + rExpBase + decpoint + 1;
  if (count > 0 && std::any_of(fraction, fraction + f, [](signed char c) { return c != 0; })) {
    switch (limbs::exactPower(base, f, intDigits, power, flags, count, exact, limbs::kMaxOperand, goOn)) {
      case limbs::PowerSize::zero: return zero(rExpResult), true;
      case limbs::PowerSize::unproven: unproven = true; [[fallthrough]];
      case limbs::PowerSize::fits: return unpack(exact, rExpResult, precision), true;
      case limbs::PowerSize::stopped: return false;
      case limbs::PowerSize::overflows: break;
    }
  }
  return chain(base, flags, count);
}

}  // namespace engine
