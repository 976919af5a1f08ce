// Quotients of wide integers by long division with quotient-limb estimation.
#pragma once

#include "limbs/num.h"

namespace limbs {

// divide: q := floor(u / v) for v != 0 and u of at most kMaxLimbs - 1 limbs.
// q must not alias u or v.
void divide(const Num& u, const Num& v, Num& q);

}  // namespace limbs
