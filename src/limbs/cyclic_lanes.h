// What the AVX-512 transforms share with the AVX2 ones (cyclic_avx2.cpp defines it all):
// the tables of roots and constants, one coefficient of six transforms per entry of eight
// 32-bit lanes (lanes 0–2 the first operand modulo the three primes, 3–5 the second, 6 and
// 7 zero), the coefficients in that layout, and the sums taken back from them. Compiled for
// AVX2, so called only where the processor has it.
#pragma once

#include <cstdint>

#include "limbs/cyclic.h"

namespace limbs::cyclicAvx2 {

struct alignas(32) Lanes {
  std::uint32_t v[8];
};

// Twiddles: entry len + j holds the (2·len)-th root of unity to the j (forward) or its
// inverse (backward), with its Shoup quotient floor(w·2^32 / p); len a power of two below
// kMaxCyclic. The same entries serve every transform length.
extern Lanes forwardW[kMaxCyclic], forwardQ[kMaxCyclic], backwardW[kMaxCyclic], backwardQ[kMaxCyclic];
// Each lane's prime, twice it, and −1/p mod 2^32; the odd lanes' in every lane pair.
extern Lanes prime, twicePrime, oddPrime, negInverse, oddNegInverse;
// The transforms' coefficients, and a vector's worth past them for the last columns' group.
extern Lanes coef[kMaxCyclic + 8];

// Builds the tables, once.
void prepare();

// ab[i] and bb[i], for i from `from` below `to` rounded up to eight more, from coef[i] in
// [0, 4p): n times the cyclic sums modulo each prime, given back exactly.
void remainders(int n, int from, int to, std::uint64_t* ab, std::uint64_t* bb);

}  // namespace limbs::cyclicAvx2
