// Products and squares. Short operands: schoolbook column sums in 64 bits, one carry
// pass. Long ones: Karatsuba on halves, a0·b0, a1·b1 and |a0 − a1|·|b0 − b1|, so every
// intermediate stays a non-negative number of normalised limbs.
#include "limbs/mul.h"

#include <algorithm>
#include <array>
#include <cassert>

#include "limbs/columns.h"

namespace limbs {

namespace {

// A column sums at most kColumnMax products of two limbs below 10^8, and stays below 2^64:
// 1,844 · (10^8 − 1)^2 < 1.8440·10^19 < 2^64 = 1.8446·10^19. (A square's column counts
// each cross product twice: as many terms as a product's column of the same length.)
constexpr int kColumnMax = 1844;

constexpr bool inColumns(Thresholds t) { return t.product - 1 <= kColumnMax && t.square - 1 <= kColumnMax; }
// The thresholds by kernel (plain, SSE2, AVX2, AVX-512, NEON), as measured.
constexpr std::array<Thresholds, 5> kMeasured{{{440, 720}, {440, 720}, {440, 720}, {440, 720}, {440, 720}}};
static_assert(std::all_of(kMeasured.begin(), kMeasured.end(), inColumns), "every schoolbook column must fit 64 bits");
std::array<Thresholds, 5> thresholds = kMeasured;

// Those of the kernel in use, for the products now under way.
Thresholds current{440, 720};

// Scratch of one Karatsuba level of n limbs (halves of m = ceil(n/2)): |a0 − a1| and
// |b0 − b1| (m each), their product (2m) and the middle term (2m + 1); then the level below.
constexpr int karatsubaScratch(int n, int threshold) {
  return n < threshold ? 0 : 6 * ((n + 1) / 2) + 1 + karatsubaScratch((n + 1) / 2, threshold);
}
// An unbalanced product adds one piece's product (2·bn) per level of its piece recursion;
// the pieces shrink at least by half every two levels, so 8·kMaxOperand bounds them all.
constexpr int kScratch = karatsubaScratch(kMaxOperand, 2) + 8 * kMaxOperand;
Limb scratch[kScratch];

// Column sums of at most kColumnMax products each, in 64 bits, for the schoolbook paths.
std::uint64_t columns[kMaxLimbs + kColumnSlack];

// floor(v / B) for −B <= v < 4·B: the carry of a limb sum formed without carries.
inline std::int32_t carryOf(std::int32_t v) {
  constexpr std::int32_t B = kBase;
  return (v >= B) + (v >= 2 * B) + (v >= 3 * B) - (v < 0);
}

// x[0..len), limbs in [−2, B + 4), normalised by one carry pass; returns the carry out.
// Runs of limbs already in range with no carry into them are skipped, not rewritten.
std::int32_t settle(Limb* x, int len) {
  const auto outOfRange = [](Limb e) { return e >= kBase; };  // negative limbs wrap above B
  std::int32_t c = 0;
  for (int i = 0; i < len; ++i) {
    if (c == 0 && !outOfRange(x[i])) {
      i = static_cast<int>(std::find_if(x + i, x + len, outOfRange) - x);
      if (i == len) break;
    }
    const std::int32_t y = static_cast<std::int32_t>(x[i]) + c;
    c = carryOf(y);
    x[i] = static_cast<Limb>(y - c * static_cast<std::int32_t>(kBase));
  }
  return c;
}

// x[0..len) += c for a small signed carry c, running up until it is absorbed.
void propagate(Limb* x, int len, std::int32_t c) {
  for (int i = 0; c != 0 && i < len; ++i) {
    const std::int32_t y = static_cast<std::int32_t>(x[i]) + c;
    c = carryOf(y);
    x[i] = static_cast<Limb>(y - c * static_cast<std::int32_t>(kBase));
  }
}

// r[0..len) := v[0..len) normalised, for sums −B <= v < 4·B formed without carries:
// each limb takes its own remainder and the carry of the limb below, in one vector pass;
// a rare limb pushed out of range then settles in a scalar pass. Returns the carry out.
std::int32_t normalise(Limb* r, const std::int32_t* v, int len) {
  if (len == 0) return 0;
  const bool off = carrySpan(r, v, len);
  std::int32_t c = carryOf(v[len - 1]);
  if (off) c += settle(r, len);
  return c;
}

// r[0..len) := the column sums acc[0..len) with their carries, for a value below B^len:
// each sum splits on its own into three limbs, the pieces are summed per limb (below 3·B)
// and normalised once.
void carryOut(Limb* r, const std::uint64_t* acc, int len) {
  static std::int32_t v[kMaxLimbs + kColumnSlack];
  splitColumns(acc, len, v);
  normalise(r, v, len);
}

// r := a · b by column sums, bn <= an, bn <= kColumnMax.
void basecase(Limb* r, const Limb* a, int an, const Limb* b, int bn) {
  std::fill(columns, columns + an + bn + kColumnSlack, std::uint64_t{0});
  addColumns(columns, a, an, b, bn);
  carryOut(r, columns, an + bn);
}

// r := a · a: the cross products once, doubled, plus the squares on the diagonal.
void basecaseSquare(Limb* r, const Limb* a, int n) {
  std::fill(columns, columns + 2 * n + kColumnSlack, std::uint64_t{0});
  addCrossColumns(columns, a, n);
  for (int i = 0; i < n; ++i) {
    columns[2 * i] = 2 * columns[2 * i] + std::uint64_t{a[i]} * a[i];
    columns[2 * i + 1] *= 2;
  }
  carryOut(r, columns, 2 * n);
}

// d[0..m) := |x − y| for x of m limbs and y of h <= m limbs; true when x < y.
bool absDiff(Limb* d, const Limb* x, int m, const Limb* y, int h, std::int32_t* v) {
  bool less = false;
  if (h == m || std::all_of(x + h, x + m, [](Limb e) { return e == 0; })) {
    int i = h - 1;
    while (i >= 0 && x[i] == y[i]) --i;
    less = i >= 0 && x[i] < y[i];
  }
  const std::int32_t s = less ? -1 : 1;
  for (int i = 0; i < h; ++i) v[i] = s * (static_cast<std::int32_t>(x[i]) - static_cast<std::int32_t>(y[i]));
  for (int i = h; i < m; ++i) v[i] = static_cast<std::int32_t>(x[i]);
  normalise(d, v, m);
  return less;
}

// Adds the middle term of a Karatsuba level to r (2n limbs) at limb m: low + high ∓ t,
// where low = r[0..2m), high = r[2m..2n) and t = |x0 − x1|·|y0 − y1| (2m limbs).
// The four terms are summed limb by limb without carries, then normalised once.
void addMiddle(Limb* r, int n, int m, const Limb* t, bool subtract, std::int32_t* v) {
  const int h2 = 2 * (n - m);
  const std::int32_t s = subtract ? -1 : 1;
  auto at = [](const Limb* p, int i) { return static_cast<std::int32_t>(p[i]); };
  for (int i = 0; i < h2; ++i) v[i] = at(r, m + i) + at(r, i) + at(r, 2 * m + i) + s * at(t, i);
  for (int i = h2; i < 2 * m; ++i) v[i] = at(r, m + i) + at(r, i) + s * at(t, i);
  propagate(r + 3 * m, 2 * n - 3 * m, normalise(r + m, v, 2 * m));
}

// r[0..2n) := a · b, both of n limbs.
void karatsuba(Limb* r, const Limb* a, const Limb* b, int n, Limb* ws) {
  if (n < current.product) return basecase(r, a, n, b, n);
  const int m = (n + 1) / 2, h = n - m;
  Limb *da = ws, *db = ws + m, *t = ws + 2 * m, *next = ws + 6 * m + 1;
  auto* v = reinterpret_cast<std::int32_t*>(ws + 4 * m);
  const bool negA = absDiff(da, a, m, a + m, h, v);
  const bool negB = absDiff(db, b, m, b + m, h, v);
  karatsuba(t, da, db, m, next);
  karatsuba(r, a, b, m, next);
  karatsuba(r + 2 * m, a + m, b + m, h, next);
  addMiddle(r, n, m, t, negA == negB, v);
}

// r[0..2n) := a · a.
void karatsubaSquare(Limb* r, const Limb* a, int n, Limb* ws) {
  if (n < current.square) return basecaseSquare(r, a, n);
  const int m = (n + 1) / 2, h = n - m;
  Limb *da = ws, *t = ws + 2 * m, *next = ws + 6 * m + 1;
  auto* v = reinterpret_cast<std::int32_t*>(ws + 4 * m);
  absDiff(da, a, m, a + m, h, v);
  karatsubaSquare(t, da, m, next);
  karatsubaSquare(r, a, m, next);
  karatsubaSquare(r + 2 * m, a + m, h, next);
  addMiddle(r, n, m, t, true, v);
}

// r[0..an+bn) := a · b for bn <= an: a in pieces of bn limbs, each piece times b.
void unbalanced(Limb* r, const Limb* a, int an, const Limb* b, int bn, Limb* ws) {
  if (bn < current.product) return basecase(r, a, an, b, bn);
  karatsuba(r, a, b, bn, ws);
  std::fill(r + 2 * bn, r + an + bn, Limb{0});
  Limb* piece = ws;
  for (int at = bn; at < an; at += bn) {
    const int len = std::min(bn, an - at);
    if (len == bn) {
      karatsuba(piece, a + at, b, bn, ws + 2 * bn);
    } else {
      unbalanced(piece, b, bn, a + at, len, ws + 2 * bn);
    }
    addTo(r + at, an + bn - at, piece, len + bn);
  }
}

}  // namespace

Thresholds thresholdsFor(Kernel k) { return thresholds[static_cast<std::size_t>(k)]; }

void setThresholds(Kernel k, Thresholds t) {
  assert(inColumns(t) && t.product >= 2 && t.square >= 2);
  thresholds[static_cast<std::size_t>(k)] = t;
}

// The zero limbs below both operands' lowest non-zero limbs are left out of the product.
void product(const Num& a, const Num& b, Num& out) {
  current = thresholds[static_cast<std::size_t>(kernelInUse())];
  const int la = lowZeroLimbs(a), lb = lowZeroLimbs(b);
  if (la == a.len || lb == b.len) {
    out.len = 0;
    return;
  }
  const int an = a.len - la, bn = b.len - lb;
  std::fill(out.d, out.d + la + lb, Limb{0});
  Limb* r = out.d + la + lb;
  assert(an <= kMaxOperand && bn <= kMaxOperand);
  if (an == bn && std::equal(a.d + la, a.d + a.len, b.d + lb)) {
    karatsubaSquare(r, a.d + la, an, scratch);
  } else if (an >= bn) {
    unbalanced(r, a.d + la, an, b.d + lb, bn, scratch);
  } else {
    unbalanced(r, b.d + lb, bn, a.d + la, an, scratch);
  }
  out.len = a.len + b.len;
  trim(out);
}

void mulFixed(const Num& a, const Num& b, Num& out, int f, int keep) {
  product(a, b, out);
  keepLow(out, f + keep);
  shiftDown(out, f);
}

}  // namespace limbs
