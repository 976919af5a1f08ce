// Quotients of wide integers: long division for short quotients or divisors; longer ones
// by divide and conquer on the fast products, exact at every step.
#pragma once

#include "limbs/num.h"

namespace limbs {

// Quotients or divisors of fewer limbs than this are formed by long division; from it on by
// halving the quotient. Measured with bench/micro (bench/README.md).
constexpr int kDivideMin = 48;

// divide: q := floor(u / v) for v != 0 and u of at most kMaxLimbs - 1 limbs; v of any
// length (a divisor past the products' operands is divided long where it must be).
// q must not alias u or v.
void divide(const Num& u, const Num& v, Num& q);
// longDivide: the same by long division alone, the reference for divide; with r, also
// r := u − q·v. r aliases none of the others.
void longDivide(const Num& u, const Num& v, Num& q);
void longDivide(const Num& u, const Num& v, Num& q, Num* r);

}  // namespace limbs
