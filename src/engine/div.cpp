#include <algorithm>

#include "engine/ops.h"
#include "engine/store.h"
#include "engine/pack.h"
#include "limbs/num.h"
#include "limbs/div.h"

namespace engine {

// The scaled dividend: a register value times 10^f, at most 15,000 digits.
static_assert(limbs::digitLimbs(kRegCells + kRegCells / 2) < limbs::kMaxLimbs, "the scaled dividend fits");

// Checks the divisor, scales the dividend by 10^f, drops the zero limbs the two share
// at the low end (floor(a c / b c) = floor(a / b)), then divides once, exactly.
bool div() {
  if (compare(rDivB, rZero) == kEqual) return false;
  static limbs::Num a, b, q;
  pack(rDivA, precision, a);
  pack(rDivB, precision, b);
  limbs::shiftUp(a, precision - decpoint);
  const int common = std::min(limbs::lowZeroLimbs(a), limbs::lowZeroLimbs(b));
  limbs::shiftDown(a, common * limbs::kLimbDigits);
  limbs::shiftDown(b, common * limbs::kLimbDigits);
  limbs::divide(a, b, q);
  unpack(q, rDivQuot, precision);
  return true;
}

}  // namespace engine
