// The transforms' butterfly stages, written once over a vector type S: S::V holds a vector
// of coefficients of the six transforms, stored in an S::Entry; S::add and S::sub work on
// 32-bit lanes, S::reduce and S::mulTwiddle as in the AVX2 file, and S::table(entry) loads
// a table entry (a twiddle or its Shoup quotient) into a V. Included by the AVX2 and
// AVX-512 files, each compiled for its instruction set; every routine is a template on S,
// so no code that another file links is compiled for a wider instruction set.
#pragma once

#include "limbs/cyclic_lanes.h"

namespace limbs::cyclic {

// Entries per block of the stages whose butterflies stay within a block: 8 KiB of AVX2's,
// 16 KiB of AVX-512's, which the level-1 cache holds with the twiddles while the block runs
// through them.
constexpr int kBlock = 256;

// One forward stage of half-length len over c[from..to) (whole blocks of 2·len): decimation
// in frequency, coefficients in [0, 2p) kept there. Roots at j = 0 are 1.
template <class S>
void forwardStage(typename S::Entry* c, int len, int from, int to, typename S::V p, typename S::V p2) {
  for (int s = from; s < to; s += 2 * len) {
    const auto u = S::load(c[s]), v = S::load(c[s + len]);
    S::store(c[s], S::reduce(S::add(u, v), p2));
    S::store(c[s + len], S::reduce(S::add(S::sub(u, v), p2), p2));
    for (int j = 1; j < len; ++j) {
      const auto x = S::load(c[s + j]), y = S::load(c[s + j + len]);
      S::store(c[s + j], S::reduce(S::add(x, y), p2));
      S::store(c[s + j + len], S::mulTwiddle(S::add(S::sub(x, y), p2), S::table(cyclicAvx2::forwardW[len + j]),
                                             S::table(cyclicAvx2::forwardQ[len + j]), p));
    }
  }
}

// One backward stage, decimation in time, over coefficients in [0, 4p), which stay there:
// only the sum's first term is reduced below 2p, as Shoup's product takes any factor below
// 2^32 and gives one below 2p.
template <class S>
void backwardStage(typename S::Entry* c, int len, int from, int to, typename S::V p, typename S::V p2) {
  for (int s = from; s < to; s += 2 * len) {
    for (int j = 0; j < len; ++j) {
      const auto u = S::reduce(S::load(c[s + j]), p2);
      const auto v = j == 0 ? S::reduce(S::load(c[s + len]), p2)
                            : S::mulTwiddle(S::load(c[s + j + len]), S::table(cyclicAvx2::backwardW[len + j]),
                                            S::table(cyclicAvx2::backwardQ[len + j]), p);
      S::store(c[s + j], S::add(u, v));
      S::store(c[s + j + len], S::add(S::sub(u, v), p2));
    }
  }
}

// The forward stages of half-lengths len down to 1 over c[0..count): those longer than a
// block over everything, the rest block by block.
template <class S>
void forwardStages(typename S::Entry* c, int count, int len, typename S::V p, typename S::V p2) {
  const int block = count < kBlock ? count : kBlock;
  for (; 2 * len > block; len /= 2) forwardStage<S>(c, len, 0, count, p, p2);
  for (int b = 0; b < count; b += block) {
    for (int l = len; l >= 1; l /= 2) forwardStage<S>(c, l, b, b + block, p, p2);
  }
}

// The backward stages of half-lengths 1 up to count/2 over c[0..count): block by block
// first, then those longer than a block over everything.
template <class S>
void backwardStages(typename S::Entry* c, int count, typename S::V p, typename S::V p2) {
  const int block = count < kBlock ? count : kBlock;
  for (int b = 0; b < count; b += block) {
    for (int l = 1; 2 * l <= block; l *= 2) backwardStage<S>(c, l, b, b + block, p, p2);
  }
  for (int len = block; len < count; len *= 2) backwardStage<S>(c, len, 0, count, p, p2);
}

}  // namespace limbs::cyclic
