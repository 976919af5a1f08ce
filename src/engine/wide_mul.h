// Products and squares of wide integers: schoolbook column sums below a threshold,
// Karatsuba above it. All scratch is static; nothing is allocated.
#pragma once

#include "engine/wide.h"

namespace engine::wide {

// Below these operand lengths (limbs) products and squares are formed by schoolbook
// column sums; from them on by Karatsuba. Measured on the project's machine: bench/README.md.
constexpr int kKaratsubaMin = 440;
constexpr int kSquareKaratsubaMin = 720;

// mulN: r[0..an+bn) := a * b for 1 <= bn <= an <= kMaxOperand. r must not overlap a or b.
void mulN(Limb* r, const Limb* a, int an, const Limb* b, int bn);
// sqrN: r[0..2n) := a * a for 1 <= n <= kMaxOperand. r must not overlap a.
void sqrN(Limb* r, const Limb* a, int n);
// schoolbookN: r[0..an+bn) := a * b by column sums alone, for bn <= an (the plain path the
// faster ones are tested against). r must not overlap a or b.
void schoolbookN(Limb* r, const Limb* a, int an, const Limb* b, int bn);

// product: out := a * b, by squaring when a and b hold the same value. Each operand has
// at most kMaxOperand limbs above its low zero limbs. out must not alias a or b.
void product(const Num& a, const Num& b, Num& out);
// mulFixed: out := floor(a * b / 10^f) mod 10^keep: the fixed-point product with f
// fractional digits, truncated (never rounded) and wrapped. out must not alias a or b.
void mulFixed(const Num& a, const Num& b, Num& out, int f, int keep);

}  // namespace engine::wide
