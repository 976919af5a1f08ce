// Products and squares. Schoolbook column sums in 64 bits, with Karatsuba on halves above
// a threshold. Karatsuba runs on the column sums themselves: halves are added limb by limb
// without carries, sub-products are combined modulo 2^64, and the carries are taken once,
// at the top. Only operands too long for 64-bit columns take one level on normalised limbs.
#include "limbs/mul.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>

#include "limbs/columns.h"
#include "limbs/cpu.h"
#include "limbs/cyclic.h"

namespace limbs {

namespace {

// A column sum of a product of limb vectors, kept modulo 2^64.
using Sum = std::uint64_t;

// A product's column sums stay below min(an, bn)·(B − 1)^2, which 64 bits hold while the
// shorter operand has at most kColumnMax limbs: 1,844·(10^8 − 1)^2 < 1.8440·10^19 < 2^64.
// Sub-products may wrap; their sums and differences at the top do not.
constexpr int kColumnMax = 1844;
// After d Karatsuba levels a limb of a sum of halves is below 2^d·B; the kernels take 32-bit
// limbs, and 2^5·10^8 < 2^32 (squares double theirs: 2^4·10^8 < 2^31).
constexpr int kMaxDepth = 5;

// The thresholds by kernel (plain, SSE2, SSE4.1, AVX2, AVX-512, NEON), measured with
// bench/micro (bench/README.md says where): Karatsuba's for plain, SSE2, AVX2 and AVX-512;
// SSE4.1's are SSE2's, whose column sums it takes; NEON's as SSE2's, its width. The pair's:
// AVX2's and AVX-512's where they win, SSE4.1's too (from 8,800 digits); NEON's where
// SSE4.1's win by 1.3 times (from 9,600), for want of an ARM processor to time them on. Whole
// products' and squares': AVX2's and AVX-512's where they win, from 16,000 digits.
constexpr std::array<Thresholds, 6> kMeasured{{{200, 320, 0, 0},
                                                {128, 128, 0, 0},
                                                {128, 128, 1100, 0},
                                                {128, 240, 1024, 2000},
                                                {128, 240, 512, 2000},
                                                {128, 128, 1200, 0}}};
std::array<Thresholds, 6> thresholds = kMeasured;

// Those of the kernel in use, for the products now under way.
Thresholds current{200, 320, 0, 0};

// Scratch of the column recursion: per Karatsuba level of n limbs (halves of m), the sums of
// halves (2m limbs) and their product's columns (2m + kColumnSlack); an unbalanced product
// adds one piece's columns per level of its piece recursion, pieces that shrink at least by
// half every two levels.
constexpr int kLevels = 16;
Limb halfSums[2 * kMaxOperand + 2 * kLevels];
Sum sumScratch[12 * kMaxOperand + 4 * kLevels * kColumnSlack];
// A product's column sums, and the scratch of the levels on normalised limbs above them for
// operands whose columns 64 bits do not hold.
Sum columns[kMaxLimbs + kColumnSlack];
Limb wide[longScratch(kMaxOperand)];

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

// Sums split below the lowest kept limb for the carry into it; the two lowest of them lack
// their lower pieces.
constexpr int kCarryBelow = 8;

// Split sums v[k] are at most 3·(B − 1): with a carry of at most 2 into a limb, its carry out
// is at most 2 too (3·B − 3 + 2 < 3·B). So the carry into limb `from` follows from the few
// sums below it as soon as they settle it: the carry's range at `at`, taken as [0, 3] (wider
// than it can be, which only leaves it open a little more often), carried up to `from`.
// −1 if still open.
int carryInto(const std::int32_t* v, int at, int from) {
  constexpr std::int32_t B = kBase;
  std::int32_t low = 0, high = 3;
  for (int k = at; k < from; ++k) low = (v[k] + low) / B, high = (v[k] + high) / B;
  return low == high ? low : -1;
}

// r[from..len) := the limbs from `from` of the column sums s[0..len) with their carries, for
// a value below B^len (r below `from` unset): each sum splits on its own into three limbs,
// the pieces are summed per limb (below 3·B), and one vector pass takes every limb's carry;
// a rare limb pushed out of range then settles. Of the sums below `from` only the top few are
// split, for the carry into it, unless that carry is still open there: then every sum is
// split, or, when those below `from` are not whole (`whole` false), false is returned.
bool carryOut(Limb* r, const Sum* s, int len, int from = 0, bool whole = true) {
  static std::int32_t v[kMaxLimbs + kColumnSlack];
  const int start = from - kCarryBelow;
  int carry = -1;
  if (start >= 0) {
    splitColumns(s + start, len - start, v + start);
    carry = carryInto(v, start + 2, from);
  }
  if (carry < 0) {
    if (!whole) return false;
    splitColumns(s, len, v);
    from = 0;
  } else {
    --from, v[from] = carry * static_cast<std::int32_t>(kBase);  // a limb below that only carries
  }
  if (carrySpan(r + from, v + from, len - from)) settle(r + from, len - from);
  return true;
}

// s[0..2n) := the column sums of a·b mod 2^64, both of n limbs below 2^(depth)·B; s holds
// 2n + kColumnSlack sums, those past 2n − 1 set to 0. hs and ss: scratch for this level on.
void productColumns(Sum* s, const Limb* a, const Limb* b, int n, int depth, Limb* hs, Sum* ss) {
  if (n < current.product || depth == kMaxDepth) {
    std::fill(s, s + 2 * n + kColumnSlack, Sum{0});
    return addColumns(s, a, n, b, n);
  }
  const int m = (n + 1) / 2, h = n - m;
  Limb *sa = hs, *sb = hs + m;
  Sum* mid = ss;
  addHalves(sa, a, m, h), addHalves(sb, b, m, h);
  productColumns(s, a, b, m, depth, hs + 2 * m, ss + 2 * m + kColumnSlack);
  productColumns(s + 2 * m, a + m, b + m, h, depth, hs + 2 * m, ss + 2 * m + kColumnSlack);
  productColumns(mid, sa, sb, m, depth + 1, hs + 2 * m, ss + 2 * m + kColumnSlack);
  addMiddle(s, m, mid);
}

// s := the column sums of a·a, as productColumns: the cross products once, doubled, and the
// squares on the diagonal. Doubled limbs must fit 32 bits, so squares stop a level short.
void squareColumns(Sum* s, const Limb* a, int n, int depth, Limb* hs, Sum* ss) {
  if (n < current.square || depth == kMaxDepth - 1) {
    for (int i = 0; i < n; ++i) s[2 * i] = Sum{a[i]} * a[i], s[2 * i + 1] = 0;
    std::fill(s + 2 * n, s + 2 * n + kColumnSlack, Sum{0});
    return addCrossColumns(s, a, n);
  }
  const int m = (n + 1) / 2, h = n - m;
  Sum* mid = ss;
  addHalves(hs, a, m, h);
  squareColumns(s, a, m, depth, hs + m, ss + 2 * m + kColumnSlack);
  squareColumns(s + 2 * m, a + m, h, depth, hs + m, ss + 2 * m + kColumnSlack);
  squareColumns(mid, hs, m, depth + 1, hs + m, ss + 2 * m + kColumnSlack);
  addMiddle(s, m, mid);
}

// s[0..an+bn) := the column sums of a·b for bn <= an, limbs below B: a in pieces of bn
// limbs, each piece times b. s holds an + bn + kColumnSlack sums.
void unbalancedColumns(Sum* s, const Limb* a, int an, const Limb* b, int bn, Sum* ss) {
  if (bn < current.product) {
    std::fill(s, s + an + bn + kColumnSlack, Sum{0});
    return addColumns(s, a, an, b, bn);
  }
  productColumns(s, a, b, bn, 0, halfSums, ss);
  std::fill(s + 2 * bn, s + an + bn + kColumnSlack, Sum{0});
  Sum *piece = ss, *next = ss + 2 * bn + kColumnSlack;
  for (int at = bn; at < an; at += bn) {
    const int len = std::min(bn, an - at);
    if (len == bn) {
      productColumns(piece, a + at, b, bn, 0, halfSums, next);
    } else {
      unbalancedColumns(piece, b, bn, a + at, len, next);
    }
    for (int i = 0; i < len + bn; ++i) s[at + i] += piece[i];
  }
}

// Whole products by transform take 10-digit coefficients, four to five limbs; the kernel's
// transforms for them, if any.
constexpr int kWholeDigits = 10;
using WholeFn = void (*)(const Sum*, int, const Sum*, int, int, Sum*, Sum*);
WholeFn wholeOf(Kernel k) {
#if ZANTORIX_AVX_KERNELS
  if (k == Kernel::avx512) return cyclicWholeAvx512;
  if (k == Kernel::avx2) return cyclicWholeAvx2;
#endif
  (void)k;
  return nullptr;
}

// The 10-digit coefficients of xn limbs.
constexpr int coefficientsOf(int xn) { return (kLimbDigits * xn + kWholeDigits - 1) / kWholeDigits; }

// c[0..) := the 10-digit coefficients of x[0..xn), least first; returns their count. c holds
// it rounded up to four more.
int toCoefficients(const Limb* x, int xn, Sum* c) {
  const auto at = [&](int i) { return i < xn ? x[i] : Limb{0}; };
  const int count = coefficientsOf(xn);
  for (int k = 0, i = 0; k < count; k += 4, i += 5) {
    const Limb l1 = at(i + 1), l2 = at(i + 2), l3 = at(i + 3);
    c[k] = at(i) + Sum{l1 % 100} * kBase;
    c[k + 1] = l1 / 100 + Sum{l2 % 10000} * 1000000;
    c[k + 2] = l2 / 10000 + Sum{l3 % 1000000} * 10000;
    c[k + 3] = l3 / 1000000 + Sum{at(i + 4)} * 100;
  }
  return count;
}

// s[limb] and s[limb + 1] += v·10^(8 − D digits): v at the D-digit mark of limb `limb`,
// split at the limb boundary; only below len.
template <Sum D>
inline void placeAt(Sum* s, int len, int limb, Sum v) {
  if (limb < len) s[limb] += v % D * (kBase / D);
  if (limb + 1 < len) s[limb + 1] += v / D;
}

// s[0..len) := limb-column sums of Σ_k (low[k] + high[k]·10^10)·10^(10k) for k below count,
// modulo B^len; s holds len + kColumnSlack sums, those past len zero. With low below 2^63
// and high below 2^56 each 10-digit column's part is below 2^64, and so is each limb's sum.
void limbColumns(Sum* s, int len, const Sum* low, const Sum* high, int count) {
  std::fill(s, s + len + kColumnSlack, Sum{0});
  const auto at = [&](int k) { return (k < count ? low[k] : 0) + (k > 0 && k <= count ? high[k - 1] : 0); };
  for (int k = 0, limb = 0; k <= count && limb < len; k += 4, limb += 5) {
    placeAt<kBase>(s, len, limb, at(k));
    placeAt<1000000>(s, len, limb + 1, at(k + 1));
    placeAt<10000>(s, len, limb + 2, at(k + 2));
    placeAt<100>(s, len, limb + 3, at(k + 3));
  }
}

// The whole products' transform length for a·b: the shortest power of two that holds every
// column of the 10-digit coefficients' product; 0 where none does, or where the shorter
// operand is below the kernel's threshold.
int wholeLength(int an, int bn) {
  if (current.whole == 0 || std::min(an, bn) < current.whole) return 0;
  const int total = coefficientsOf(an) + coefficientsOf(bn) - 1;
  int n = 16;
  while (n < total) n *= 2;
  return n <= kMaxCyclic && an + bn <= kMaxLimbs ? n : 0;
}

// r[drop..k) as columnProduct gives them (k = min(an + bn, keep)), by the whole-product
// transforms where the kernel has them and the shorter operand reaches its threshold; false
// (r untouched) elsewhere.
bool wholeProduct(Limb* r, const Limb* a, int an, const Limb* b, int bn, int keep, int drop) {
  static Sum ca[kMaxCyclic + 4], cb[kMaxCyclic + 4], low[kMaxCyclic], high[kMaxCyclic];
  const WholeFn whole = wholeOf(kernelInUse());
  const int n = whole == nullptr ? 0 : wholeLength(an, bn);
  if (n == 0) return false;
  const bool square = an == bn && std::equal(a, a + an, b);
  const int na = toCoefficients(a, an, ca), nb = square ? na : toCoefficients(b, bn, cb);
  whole(ca, na, square ? ca : cb, nb, n, low, high);
  const int len = std::min(an + bn, keep);
  limbColumns(columns, len, low, high, na + nb - 1);
  carryOut(r, columns, len, std::clamp(drop, 0, len));
  return true;
}

// r[drop..k) := the limbs of a · b mod B^k from limb `drop` on, k = min(an + bn, keep), for
// bn <= an, bn <= kColumnMax: the columns, then the carries of those below k.
void columnProduct(Limb* r, const Limb* a, int an, const Limb* b, int bn, int keep = kMaxLimbs, int drop = 0) {
  if (an == bn && std::equal(a, a + an, b)) {
    squareColumns(columns, a, an, 0, halfSums, sumScratch);
  } else {
    unbalancedColumns(columns, a, an, b, bn, sumScratch);
  }
  const int len = std::min(an + bn, keep);
  carryOut(r, columns, len, std::clamp(drop, 0, len));
}

// r[0..an+bn) := a · b, bn <= an, in pieces of a that the column sums take (kMaxOperand limbs).
void piecewise(Limb* r, const Limb* a, int an, const Limb* b, int bn, Limb* ws) {
  std::fill(r, r + an + bn, Limb{0});
  for (int at = 0; at < an; at += kMaxOperand) {
    const int len = std::min(kMaxOperand, an - at);
    if (len >= bn) {
      columnProduct(ws, a + at, len, b, bn);
    } else {
      columnProduct(ws, b, bn, a + at, len);
    }
    addTo(r + at, an + bn - at, ws, len + bn);
  }
}

}  // namespace

// Karatsuba on normalised limbs, a0·b0 + ((a0 + a1)(b0 + b1) − a0·b0 − a1·b1)·B^m + a1·b1·B^2m,
// until the shorter operand's columns fit 64 bits; an operand over twice as long as the other
// goes in pieces of the shorter one's length.
void longProduct(Limb* r, const Limb* a, int an, const Limb* b, int bn, Limb* ws) {
  if (an < bn) return longProduct(r, b, bn, a, an, ws);
  current = thresholds[static_cast<std::size_t>(kernelInUse())];
  if (wholeProduct(r, a, an, b, bn, kMaxLimbs, 0)) return;
  if (bn <= kColumnMax) return piecewise(r, a, an, b, bn, ws);
  const int m = (an + 1) / 2, len = an + bn;
  if (bn <= m) {  // pieces of bn limbs, each a product of two long operands
    std::fill(r, r + len, Limb{0});
    for (int at = 0; at < an; at += bn) {
      const int piece = std::min(bn, an - at);
      longProduct(ws, a + at, piece, b, bn, ws + piece + bn);
      addTo(r + at, len - at, ws, piece + bn);
    }
    return;
  }
  Limb *sa = ws, *sb = ws + m + 1, *mid = ws + 2 * m + 2, *next = ws + 4 * m + 4;
  std::copy(a, a + m, sa), std::copy(b, b + m, sb);
  sa[m] = addTo(sa, m, a + m, an - m), sb[m] = addTo(sb, m, b + m, bn - m);
  longProduct(mid, sa, m + 1, sb, m + 1, next);
  longProduct(r, a, m, b, m, next);
  longProduct(r + 2 * m, a + m, an - m, b + m, bn - m, next);
  subFrom(mid, 2 * m + 2, r, 2 * m), subFrom(mid, 2 * m + 2, r + 2 * m, len - 2 * m);
  // The middle term a0·b1 + a1·b0 is below B^(len − m): its limbs from there on are zeros,
  // and r ends there.
  addTo(r + m, len - m, mid, std::min(2 * m + 2, len - m));
}

Thresholds thresholdsFor(Kernel k) { return thresholds[static_cast<std::size_t>(k)]; }

void setThresholds(Kernel k, Thresholds t) {
  assert(t.product >= 2 && t.square >= 2 && t.cyclic >= 0);
  thresholds[static_cast<std::size_t>(k)] = t;
}

// The zero limbs below both operands' lowest non-zero limbs are left out of the product, the
// carries of the columns from keepLimbs up are never taken, and those below dropLimbs only
// as far as the carry into it needs.
void product(const Num& a, const Num& b, Num& out, int keepLimbs, int dropLimbs) {
  current = thresholds[static_cast<std::size_t>(kernelInUse())];
  const int la = lowZeroLimbs(a), lb = lowZeroLimbs(b);
  if (la == a.len || lb == b.len || la + lb >= keepLimbs) {
    out.len = 0;
    return;
  }
  const int an = a.len - la, bn = b.len - lb;
  assert(an <= kMaxOperand && bn <= kMaxOperand);
  std::fill(out.d, out.d + la + lb, Limb{0});
  Limb* r = out.d + la + lb;
  const Limb *x = a.d + la, *y = b.d + lb;
  const bool swap = an < bn;
  const int keep = keepLimbs - la - lb, drop = dropLimbs - la - lb;
  if (wholeProduct(r, x, an, y, bn, keep, drop)) {
    // by transform
  } else if (std::min(an, bn) > kColumnMax) {
    longProduct(r, x, an, y, bn, wide);  // all of it, whatever keepLimbs and dropLimbs
  } else {
    columnProduct(r, swap ? y : x, std::max(an, bn), swap ? x : y, std::min(an, bn), keep, drop);
  }
  out.len = std::min(a.len + b.len, keepLimbs);
  trim(out);
}

void mulFixed(const Num& a, const Num& b, Num& out, int f, int keep) {
  product(a, b, out, digitLimbs(f + keep), f / kLimbDigits);
  keepLow(out, f + keep);
  shiftDown(out, f);
}

namespace {

// The transform pair of a kernel and the transform lengths where it pays off against
// Karatsuba's column sums (bench/README.md), for operands from the kernel's `cyclic`
// threshold on: from `shortest` coefficients for operands of at least n/2, and from `third`
// on for operands of n/3 (0: never). AVX2's, SSE4.1's and NEON's from 2,048; AVX-512's, two
// coefficients to a vector, from 1,024 and a third from 2,048.
struct Tier {
  void (*pair)(const Limb*, int, const Limb*, int, int, int, int, Sum*, Sum*);
  int shortest, third;
};
Tier tierOf(Kernel k) {
#if ZANTORIX_AVX_KERNELS
  if (k == Kernel::avx512) return {cyclicPairAvx512, 1024, 2048};
  if (k == Kernel::avx2) return {cyclicPairAvx2, 2048, 0};
  if (k == Kernel::sse41) return {cyclicPairSse41, 2048, 0};
#endif
#if ZANTORIX_NEON
  if (k == Kernel::neon) return {cyclicPairNeon, 2048, 0};
#endif
  (void)k;
  return {nullptr, 0, 0};
}

// The cyclic transforms' length for the pair's products a·b and b·b: the shortest power of
// two that holds both operands and the kept columns of both products, and folds only columns
// that the carry into the lowest kept limb does not read; 0 where no such length pays off
// against Karatsuba (shorter operands, or the longest transform too short), where a folded
// column sum could pass 64 bits, or where the kernel has no transforms. A column of a·b sums
// at most min(an, bn) limb products, one of b·b at most bn: 64 bits hold kColumnMax of them.
int cyclicLength(const Tier& tier, int an, int bn, int keepLimbs, int dropLimbs) {
  const int longer = std::max(an, bn), sums = longer + bn;  // a·b's and b·b's columns, the more
  const int from = thresholds[static_cast<std::size_t>(kernelInUse())].cyclic;
  if (tier.pair == nullptr || from == 0 || longer < from || std::min(an, bn) == 0 || bn > kColumnMax) return 0;
  const int len = std::min(sums, keepLimbs), lowest = std::max(0, dropLimbs - kCarryBelow);
  const auto fits = [&](int n) { return n >= len && n >= longer && sums - n <= lowest; };
  int n = tier.shortest;
  while (n < kMaxCyclic && !fits(n)) n *= 2;
  const bool pays = (tier.third != 0 && n >= tier.third ? 3 : 2) * longer >= n;
  return fits(n) && pays ? n : 0;
}

// out := floor(s / 10^f) mod 10^keep for the column sums s of a product, whole from
// dropLimbs − kCarryBelow on; false where the carry into the kept limbs needs lower ones.
bool fixedFromColumns(Sum* s, int len, int f, int keep, Num& out) {
  const int from = f / kLimbDigits;
  std::fill(s + len, s + len + kColumnSlack, Sum{0});
  if (!carryOut(out.d, s, len, from, false)) return false;
  std::fill(out.d, out.d + from, Limb{0});
  out.len = len;
  trim(out);
  keepLow(out, f + keep);
  shiftDown(out, f);
  return true;
}

}  // namespace

// Both products from one transform of b where it pays off; each falls back on mulFixed when
// the carry into its kept limbs reaches the folded columns (a run of nines, rarely).
void mulFixedPair(const Num& a, const Num& b, Num& ab, Num& bb, int f, int keep) {
  const int keepLimbs = digitLimbs(f + keep), dropLimbs = f / kLimbDigits;
  const Tier tier = tierOf(kernelInUse());
  const int n = cyclicLength(tier, a.len, b.len, keepLimbs, dropLimbs);
  if (n == 0) {
    mulFixed(a, b, ab, f, keep);
    mulFixed(b, b, bb, f, keep);
    return;
  }
  static Sum second[kMaxLimbs + kColumnSlack];
  const int abLen = std::min(a.len + b.len, keepLimbs), bbLen = std::min(2 * b.len, keepLimbs);
  const int lowest = std::max(0, dropLimbs - kCarryBelow);
  tier.pair(a.d, a.len, b.d, b.len, n, lowest, std::max(abLen, bbLen), columns, second);
  if (!fixedFromColumns(columns, abLen, f, keep, ab)) mulFixed(a, b, ab, f, keep);
  if (!fixedFromColumns(second, bbLen, f, keep, bb)) mulFixed(b, b, bb, f, keep);
}

}  // namespace limbs
