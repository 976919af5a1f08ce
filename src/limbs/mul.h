// Products and squares of wide integers: schoolbook column sums below a threshold,
// Karatsuba above it, and number-theoretic transforms for the longest where the kernel has
// them. All scratch is static; nothing is allocated, except by longProduct's
// callers.
#pragma once

#include "limbs/columns.h"
#include "limbs/num.h"

namespace limbs {

// Below these operand lengths (limbs) products and squares are formed by schoolbook
// column sums; from them on by Karatsuba. Each column kernel has its own, measured with
// bench/micro (bench/README.md says where); any from 2 up gives the same products. A power's
// step takes its two products from one transform pair where the longer operand has `cyclic`
// limbs or more (0: never; kernels with transforms only), as long as the transform is
// not over twice the operand. From `whole` limbs in the shorter operand on, whole products
// and squares are formed by transforms too (0: never). Any value gives the same products.
struct Thresholds {
  int product, square, cyclic, whole;
};
// thresholdsFor: those of a kernel. setThresholds: changes them, for the benchmark that
// measures them and the tests that try both sides.
Thresholds thresholdsFor(Kernel k);
void setThresholds(Kernel k, Thresholds t);

// product: out := a * b mod B^keepLimbs, by squaring when a and b hold the same value; the
// limbs below dropLimbs are left unspecified. Each operand has at most kMaxOperand limbs
// above its low zero limbs. out must not alias a or b.
void product(const Num& a, const Num& b, Num& out, int keepLimbs = kMaxLimbs, int dropLimbs = 0);
// longProduct: r[0..an+bn) := a · b for operands of any length, normalised limbs; ws holds
// longScratch(max(an, bn)) limbs. For numbers past the fixed ones (exact powers' integers).
constexpr int longScratch(int an) { return 8 * an + 64; }
void longProduct(Limb* r, const Limb* a, int an, const Limb* b, int bn, Limb* ws);
// mulFixed: out := floor(a * b / 10^f) mod 10^keep: the fixed-point product with f
// fractional digits, truncated (never rounded) and wrapped. out must not alias a or b.
void mulFixed(const Num& a, const Num& b, Num& out, int f, int keep);
// mulFixedPair: ab := mulFixed(a, b, f, keep) and bb := mulFixed(b, b, f, keep), the two
// products of a power's step, formed together. ab and bb must not alias a, b or each other.
void mulFixedPair(const Num& a, const Num& b, Num& ab, Num& bb, int f, int keep);

}  // namespace limbs
