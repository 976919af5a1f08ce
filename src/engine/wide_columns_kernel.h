// The vector kernel of the schoolbook column sums, written once over a lane type S:
// S::V holds S::kLanes 64-bit lanes; S::mul multiplies the low 32 bits of each lane
// into a 64-bit product. Included by one file per instruction set, each compiled for it;
// it uses nothing from the standard library, so no shared code is compiled for a wider set.
#pragma once

#include <cstdint>

#include "engine/wide.h"

namespace engine::wide::kernel {

// Rows of b taken per pass over the planes.
constexpr int kRowGroup = 8;
// Lanes of one plane: the longest operand, its shift by up to kRowGroup − 1 lanes and the
// 2·kRowGroup zero lanes after it (the last vector's overrun), in whole 64-byte lines.
constexpr int kPlaneLanes = (kMaxOperand + 3 * kRowGroup + 7) / 8 * 8;

// acc[j + m] += Σ_t b[j + t] · plane_t[m] for row groups j = 0, G, 2G, ... below bn,
// t < G = kRowGroup and m < len (rounded up to whole vectors), where plane t, at
// planes + t·kPlaneLanes, holds the other operand shifted t lanes up: plane_t[m] = a[m − t],
// zero outside a. So every row of a group reads the same lanes and every load is aligned
// when planes and acc are. acc holds bn + len + kRowGroup + 8 sums.
template <class S>
inline void addRows(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  using V = typename S::V;
  for (int j = 0; j < bn; j += kRowGroup) {
    V bv[kRowGroup];
    for (int t = 0; t < kRowGroup; ++t) bv[t] = S::set1(j + t < bn ? b[j + t] : 0);
    std::uint64_t* out = acc + j;
    for (int m = 0; m < len; m += S::kLanes) {
      V x = S::load(out + m);
      for (int t = 0; t < kRowGroup; ++t) x = S::add(x, S::mul(bv[t], S::load(planes + t * kPlaneLanes + m)));
      S::store(out + m, x);
    }
  }
}

}  // namespace engine::wide::kernel
