// The vector kernel of the schoolbook column sums, written once over a lane type S:
// S::V holds S::kLanes 64-bit lanes; S::mul multiplies the low 32 bits of each lane into a
// 64-bit product; S::keepFrom(x, k) clears the lanes below k (none for k <= 0). Included by
// one file per instruction set, each compiled for it; it uses nothing from the standard library, and every routine here is a
// template on S, so no code that another file links is compiled for a wider instruction set.
#pragma once

#include <cstdint>

#include "limbs/num.h"

namespace limbs::kernel {

// Rows of b taken per pass over the planes.
constexpr int kRowGroup = 8;
// Lanes of one plane: kRowGroup zero lanes before lane 0, the longest operand, its shift by
// up to kRowGroup − 1 lanes and the 2·kRowGroup zero lanes after it (the last vector's
// overrun), in whole 64-byte lines.
constexpr int kPlaneLanes = (kMaxOperand + 4 * kRowGroup + 7) / 8 * 8;

// The planes hold the other operand a widened to 64-bit lanes, S::kLanes copies: plane s,
// at planes + s·kPlaneLanes, holds a[x − s] at lane x, zero outside a (from lane −kRowGroup
// on). So a[m − t] for the kLanes lanes from m, t < kRowGroup, is one aligned vector of plane
// t mod kLanes, kLanes·floor(t / kLanes) lanes down: narrower kernels widen fewer copies.
template <class S>
inline typename S::V at(const std::uint64_t* planes, int t, int m) {
  return S::load(planes + (t % S::kLanes) * kPlaneLanes + m - S::kLanes * (t / S::kLanes));
}

// planes := a[0..n) as above, for S::kLanes planes; returns n + kRowGroup − 1, the lanes a
// pass must cover.
template <class S>
inline int widen(std::uint64_t* planes, const Limb* a, int n) {
  for (int s = 0; s < S::kLanes; ++s) {
    std::uint64_t* plane = planes + s * kPlaneLanes;
    for (int m = -kRowGroup; m < kRowGroup; ++m) plane[m] = 0;  // a fixed count: no string store
    for (int i = 0; i < n; ++i) plane[i + s] = a[i];
    for (int m = 0; m < 2 * kRowGroup; ++m) plane[n + s + m] = 0;
  }
  return n + kRowGroup - 1;
}

// acc[m] += Σ_t bv[t] · a[m − t] for m from `from` (a multiple of kLanes) below len, rounded
// up to whole vectors.
template <class S>
inline void addPass(std::uint64_t* acc, const std::uint64_t* planes, int from, int len, const typename S::V* bv) {
#if defined(__GNUC__)
#pragma GCC unroll 2  // two steps in flight: the loads of one overlap the sums of the other
#endif
  for (int m = from; m < len; m += S::kLanes) {
    typename S::V x = S::load(acc + m);
    for (int t = 0; t < kRowGroup; ++t) x = S::add(x, S::mul(bv[t], at<S>(planes, t, m)));
    S::store(acc + m, x);
  }
}

// bv[t] := b[j + t] in every lane, 0 past bn; a whole group without a test per row.
template <class S>
inline void broadcastRows(typename S::V* bv, const Limb* b, int j, int bn) {
  if (j + kRowGroup <= bn) {
    for (int t = 0; t < kRowGroup; ++t) bv[t] = S::set1(b[j + t]);
  } else {
    for (int t = 0; t < kRowGroup; ++t) bv[t] = S::set1(j + t < bn ? b[j + t] : 0);
  }
}

// acc[j + m] += Σ_t b[j + t] · a[m − t] for row groups j = 0, G, 2G, ... below bn, t < G =
// kRowGroup and m < len (rounded up to whole vectors), a from the planes: every row of a group
// reads aligned lanes when planes and acc are aligned. acc holds bn + len + kRowGroup + 8 sums.
template <class S>
inline void addRows(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  for (int j = 0; j < bn; j += kRowGroup) {
    typename S::V bv[kRowGroup];
    broadcastRows<S>(bv, b, j, bn);
    addPass<S>(acc + j, planes, 0, len, bv);
  }
}

// As addRows for one group of bn <= G rows b[t] < 2^31, each taken twice, with a[m − t]
// taken as zero for m <= 2t: row t of a square's group meets only the limbs past its own,
// whatever the planes hold below, and each cross product counts for its mirror image too.
template <class S>
inline void addCrossRows(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  typename S::V bv[kRowGroup];
  for (int t = 0; t < kRowGroup; ++t) bv[t] = S::set1(t < bn ? 2 * b[t] : 0);
  int m = 0;
#if defined(__GNUC__)
#pragma GCC unroll 16  // whole: each mask, and each product left out, known when compiled
#endif
  for (; m < 2 * kRowGroup && m < len; m += S::kLanes) {
    typename S::V x = S::load(acc + m);
#if defined(__GNUC__)
#pragma GCC unroll 8
#endif
    for (int t = 0; t < kRowGroup; ++t) {
      const int below = 2 * t + 1 - m;  // lanes of this vector on or below row t's diagonal
      if (below < S::kLanes) x = S::add(x, S::mul(bv[t], below > 0 ? S::keepFrom(at<S>(planes, t, m), below) : at<S>(planes, t, m)));
    }
    S::store(acc + m, x);
  }
  addPass<S>(acc, planes, m, len, bv);
}

// Karatsuba's middle on columns, as limbs::addMiddle: s[m..3m) += mid − low − high, with
// low = s[0..2m), high = s[2m..4m); each vector of s[m + i] and s[2m + i] read before written.
template <class S>
inline void addMiddle(std::uint64_t* s, int m, const std::uint64_t* mid) {
  std::uint64_t *low2 = s + m, *high = s + 2 * m;
  const std::uint64_t *low = s, *high2 = s + 3 * m;
  int i = 0;
  for (; i + S::kLanes <= m; i += S::kLanes) {
    const typename S::V a = S::load(low + i), b = S::load(low2 + i), c = S::load(high + i);
    S::store(low2 + i, S::sub(S::add(b, S::load(mid + i)), S::add(a, c)));
    S::store(high + i, S::sub(S::add(c, S::load(mid + m + i)), S::add(b, S::load(high2 + i))));
  }
  for (; i < m; ++i) {
    const std::uint64_t a = low[i], b = low2[i], c = high[i];
    low2[i] = b + mid[i] - a - c;
    high[i] = c + mid[m + i] - b - high2[i];
  }
}

// h[i] := a[i] + a[m + i] for i < k, a[i] for k <= i < m: a sum of halves without carries,
// a loop the compiler vectorises for S.
template <class S>
inline void addHalves(Limb* __restrict h, const Limb* __restrict a, int m, int k) {
  for (int i = 0; i < k; ++i) h[i] = a[i] + a[m + i];
  for (int i = k; i < m; ++i) h[i] = a[i];
}

// The carry-free pass of a limb sum (limbs::addSpan) one limb at a time, from limb an − 1
// down to limb 1, so that each reads the limbs below it as they were (a may be r); true
// when some r[i] landed on B. The portable kernel, and the vector kernels' lowest limbs.
template <class S>
inline bool addSpanScalar(Limb* r, const Limb* a, int an) {
  for (int i = an - 1; i > 0; --i) {
    const Limb s = r[i] + a[i], below = r[i - 1] + a[i - 1];  // each below 2·B
    r[i] = s - (s >= kBase ? kBase : 0) + (below >= kBase ? 1 : 0);
  }
  Limb landed = 0;  // a pass of its own: GCC then vectorises both loops
  for (int i = 1; i < an; ++i) landed |= r[i] == kBase ? 1 : 0;
  return landed != 0;
}

// As addSpanScalar for a difference (limbs::subSpan); true when some r[i] went below zero.
template <class S>
inline bool subSpanScalar(Limb* r, const Limb* a, int an) {
  for (int i = an - 1; i > 0; --i) {
    const Limb d = r[i] - a[i] + (r[i] < a[i] ? kBase : 0);
    r[i] = d - (r[i - 1] < a[i - 1] ? 1 : 0);
  }
  Limb under = 0;
  for (int i = 1; i < an; ++i) under |= r[i] == ~Limb{0} ? 1 : 0;
  return under != 0;
}

// x[0..n) −= k·v[0..n) one limb at a time, the top first (limbs::takeOff).
template <class S>
inline void takeOffScalar(std::int64_t* x, const Limb* v, int n, std::int32_t k) {
  for (int i = n - 1; i >= 0; --i) x[i] -= std::int64_t{k} * v[i];
}

// floor(v / B) for −B <= v < 4·B: the carry of a limb sum formed without carries.
template <class S>
inline std::int32_t carryOf(std::int32_t v) {
  constexpr std::int32_t B = kBase;
  return (v >= B) + (v >= 2 * B) + (v >= 3 * B) - (v < 0);
}

// r[i] := v[i] − carry(v[i])·B + carry(v[i−1]) for i < len (no carry into r[0]): each limb
// its own remainder and the carry of the limb below, a loop the compiler vectorises for S.
// Returns whether some r[i] came out of range, for one scalar pass to settle.
template <class S>
inline bool carrySpan(Limb* r, const std::int32_t* v, int len) {
  constexpr std::int32_t B = kBase;
  int off = 0;
  r[0] = static_cast<Limb>(v[0] - carryOf<S>(v[0]) * B);
  for (int i = 1; i < len; ++i) {
    const std::int32_t x = v[i] - carryOf<S>(v[i]) * B + carryOf<S>(v[i - 1]);
    off |= static_cast<Limb>(x) >= kBase;
    r[i] = static_cast<Limb>(x);
  }
  return off != 0;
}

}  // namespace limbs::kernel
