// The vector kernel of the schoolbook column sums, written once over a lane type S:
// S::V holds S::kLanes 64-bit lanes; S::mul multiplies the low 32 bits of each lane
// into a 64-bit product; S::keepFrom(x, k) clears the lanes below k (none for k <= 0). Included by one file per instruction set, each compiled for it;
// it uses nothing from the standard library, and every routine here is a template on S, so
// no code that another file links is compiled for a wider instruction set.
#pragma once

#include <cstdint>

#include "limbs/num.h"

namespace limbs::kernel {

// Rows of b taken per pass over the planes.
constexpr int kRowGroup = 8;
// Lanes of one plane: the longest operand, its shift by up to kRowGroup − 1 lanes and the
// 2·kRowGroup zero lanes after it (the last vector's overrun), in whole 64-byte lines.
constexpr int kPlaneLanes = (kMaxOperand + 3 * kRowGroup + 7) / 8 * 8;

// acc[m] += Σ_t bv[t] · plane_t[m] for m from `from` below len (rounded up to whole vectors),
// plane t at planes + t·kPlaneLanes.
template <class S>
inline void addPass(std::uint64_t* acc, const std::uint64_t* planes, int from, int len, const typename S::V* bv) {
  for (int m = from; m < len; m += S::kLanes) {
    typename S::V x = S::load(acc + m);
    for (int t = 0; t < kRowGroup; ++t) x = S::add(x, S::mul(bv[t], S::load(planes + t * kPlaneLanes + m)));
    S::store(acc + m, x);
  }
}

// bv[t] := b[j + t] in every lane, 0 past bn.
template <class S>
inline void broadcastRows(typename S::V* bv, const Limb* b, int j, int bn) {
  for (int t = 0; t < kRowGroup; ++t) bv[t] = S::set1(j + t < bn ? b[j + t] : 0);
}

// acc[j + m] += Σ_t b[j + t] · plane_t[m] for row groups j = 0, G, 2G, ... below bn,
// t < G = kRowGroup and m < len (rounded up to whole vectors), where plane t, at
// planes + t·kPlaneLanes, holds the other operand shifted t lanes up: plane_t[m] = a[m − t],
// zero outside a. So every row of a group reads the same lanes and every load is aligned
// when planes and acc are. acc holds bn + len + kRowGroup + 8 sums.
template <class S>
inline void addRows(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  for (int j = 0; j < bn; j += kRowGroup) {
    typename S::V bv[kRowGroup];
    broadcastRows<S>(bv, b, j, bn);
    addPass<S>(acc + j, planes, 0, len, bv);
  }
}

// As addRows for one group of bn <= G rows, with lanes 0 to 2t of plane t taken as zero: row
// t of a square's group meets only the limbs past its own, whatever the planes hold below.
template <class S>
inline void addCrossRows(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  typename S::V bv[kRowGroup];
  broadcastRows<S>(bv, b, 0, bn);
  int m = 0;
  for (; m < 2 * kRowGroup && m < len; m += S::kLanes) {
    typename S::V x = S::load(acc + m);
    for (int t = 0; t < kRowGroup; ++t) {
      x = S::add(x, S::mul(bv[t], S::keepFrom(S::load(planes + t * kPlaneLanes + m), 2 * t + 1 - m)));
    }
    S::store(acc + m, x);
  }
  addPass<S>(acc, planes, m, len, bv);
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
