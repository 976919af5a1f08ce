// The vector kernel of the schoolbook column sums, written once over a lane type S:
// S::V holds S::kLanes 64-bit lanes; S::mul multiplies the low 32 bits of each lane
// into a 64-bit product. Included by one file per instruction set, each compiled for it;
// it uses nothing from the standard library, so no shared code is compiled for a wider set.
#pragma once

#include <cstdint>

#include "engine/wide.h"

namespace engine::wide::kernel {

// acc[i + j] += ap[i] · b[j] for i < an, j < bn, kRowGroup rows of b per pass over ap:
// acc[j + k] += b[j]·ap[k] + b[j+1]·ap[k−1] + b[j+2]·ap[k−2] + b[j+3]·ap[k−3].
// ap holds a widened to 64-bit lanes with kRowGroup − 1 zero lanes before it and 16 after;
// acc holds an + bn + 16 sums (the lanes past an + bn − 1 gain only zeros).
// Rows of b taken per pass over ap.
constexpr int kRowGroup = 4;

template <class S>
inline void addRows(std::uint64_t* acc, const std::uint64_t* ap, int an, const Limb* b, int bn) {
  using V = typename S::V;
  for (int j = 0; j < bn; j += kRowGroup) {
    V bv[kRowGroup];
    for (int t = 0; t < kRowGroup; ++t) bv[t] = S::set1(j + t < bn ? b[j + t] : 0);
    std::uint64_t* out = acc + j;
    for (int k = 0; k < an + kRowGroup - 1; k += S::kLanes) {
      V x = S::load(out + k);
      for (int t = 0; t < kRowGroup; ++t) x = S::add(x, S::mul(bv[t], S::load(ap + k - t)));
      S::store(out + k, x);
    }
  }
}

}  // namespace engine::wide::kernel
