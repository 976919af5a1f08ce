// Wide integers: eight decimal digits per 32-bit limb, least significant limb first.
// This layer is plain integer arithmetic: every length, shift and cut is an argument; it
// knows nothing of registers (engine/pack.h converts).
#pragma once

#include <cstdint>

namespace limbs {

using Limb = std::uint32_t;
constexpr Limb kBase = 100000000;
constexpr int kLimbDigits = 8;

// Long work calls this now and then with the share of it done (above 0, up to 1); false
// stops the work. Null: the work always runs to its end.
using GoOn = bool (*)(double done);

// Longest operand of a product: 2,560 limbs (20,480 digits), room for a 10,000-digit
// register value with 10,000 digits of guard and scaling around it.
constexpr int kMaxOperand = 2560;
// Longest number held: a product of two longest operands, plus one limb for the
// divisor normalisation of a quotient.
constexpr int kMaxLimbs = 2 * kMaxOperand + 1;

struct Num {
  // Limbs in use: d[len - 1] != 0, or len == 0 for zero. No initialiser, so that the many
  // static numbers are zero-initialised for free rather than each touching a page at start.
  int len;
  Limb d[kMaxLimbs];

  Num() = default;
  Num(const Num& other) { *this = other; }
  // Copies the limbs in use only, not the whole 20 KiB.
  Num& operator=(const Num& other) {
    len = other.len;
    for (int i = 0; i < len; ++i) d[i] = other.d[i];
    return *this;
  }
};

// digitLimbs: the limbs that hold k digits, ceil(k / 8).
constexpr int digitLimbs(int k) { return (k + kLimbDigits - 1) / kLimbDigits; }

// trim: drops zero limbs at the top.
void trim(Num& x);
// setPow10: x := 10^k, for 10^k below kBase^kMaxLimbs.
void setPow10(Num& x, int k);
// shiftUp: x := x * 10^k, for a result that fits.  shiftDown: x := floor(x / 10^k).
void shiftUp(Num& x, int k);
void shiftDown(Num& x, int k);
// scaleBy: out := x · s for s < kBase, in x.len + 1 limbs (the top one possibly 0, not
// trimmed); out may be x.
void scaleBy(const Num& x, Limb s, Num& out);
// keepLow: x := x mod 10^k.
void keepLow(Num& x, int k);
// lowZeroLimbs: the number of zero limbs below the lowest non-zero one (len for zero).
int lowZeroLimbs(const Num& x);
// digits: the number of decimal digits of x (0 for zero).
int digits(const Num& x);
// compare: -1, 0 or 1 for a < b, a == b, a > b.
int compare(const Num& a, const Num& b);
// halve: x := floor(x / 2); returns the bit shifted out.
int halve(Num& x);

// Limb vectors, least significant first. addTo: r[0..rn) += a[0..an) for an <= rn,
// returns the carry out of r (0 or 1). subFrom: r[0..rn) -= a[0..an), returns the borrow.
Limb addTo(Limb* r, int rn, const Limb* a, int an);
Limb subFrom(Limb* r, int rn, const Limb* a, int an);

}  // namespace limbs
