// The vector kernel of the schoolbook column sums, written once over a lane type S:
// S::V holds S::kLanes 64-bit lanes; S::mul multiplies the low 32 bits of each lane
// into a 64-bit product. Included by one file per instruction set, each compiled for it;
// it uses nothing from the standard library, so no shared code is compiled for a wider set.
#pragma once

#include <cstdint>

#include "engine/wide.h"

namespace engine::wide::kernel {

// acc[i + j] += ap[i] · b[j] for i < an, j < bn, four rows of b per pass over ap:
// acc[j + k] += b[j]·ap[k] + b[j+1]·ap[k−1] + b[j+2]·ap[k−2] + b[j+3]·ap[k−3].
// ap holds a widened to 64-bit lanes with 3 zero lanes before it and 16 after it;
// acc holds an + bn + 16 sums (the lanes past an + bn + 2 gain only zeros).
template <class S>
inline void addRows(std::uint64_t* acc, const std::uint64_t* ap, int an, const Limb* b, int bn) {
  using V = typename S::V;
  for (int j = 0; j < bn; j += 4) {
    const V b0 = S::set1(b[j]);
    const V b1 = S::set1(j + 1 < bn ? b[j + 1] : 0);
    const V b2 = S::set1(j + 2 < bn ? b[j + 2] : 0);
    const V b3 = S::set1(j + 3 < bn ? b[j + 3] : 0);
    std::uint64_t* out = acc + j;
    for (int k = 0; k < an + 3; k += S::kLanes) {
      V x = S::load(out + k);
      x = S::add(x, S::mul(b0, S::load(ap + k)));
      x = S::add(x, S::mul(b1, S::load(ap + k - 1)));
      x = S::add(x, S::mul(b2, S::load(ap + k - 2)));
      x = S::add(x, S::mul(b3, S::load(ap + k - 3)));
      S::store(out + k, x);
    }
  }
}

}  // namespace engine::wide::kernel
