#include <algorithm>

#include "engine/ops.h"
#include "engine/store.h"
#include "engine/wide.h"
#include "engine/wide_div.h"

namespace engine {

// The scaled dividend: a register value times 10^f, at most 15,000 digits.
static_assert(wide::digitLimbs(kRegCells + kRegCells / 2) < wide::kMaxLimbs, "the scaled dividend fits");

// Checks the divisor, scales the dividend by 10^f, drops the zero limbs the two share
// at the low end (floor(a c / b c) = floor(a / b)), then divides once, exactly.
bool div() {
  if (compare(rDivB, rZero) == kEqual) return false;
  static wide::Num a, b, q;
  wide::pack(rDivA, precision, a);
  wide::pack(rDivB, precision, b);
  wide::shiftUp(a, precision - decpoint);
  const int common = std::min(wide::lowZeroLimbs(a), wide::lowZeroLimbs(b));
  wide::shiftDown(a, common * wide::kLimbDigits);
  wide::shiftDown(b, common * wide::kLimbDigits);
  wide::divide(a, b, q);
  wide::unpack(q, rDivQuot, precision);
  return true;
}

}  // namespace engine
