// What every tier of the transforms shares (cyclic_tables.cpp defines it, compiled for the
// baseline instruction set): the tables of roots and constants, one coefficient of six
// transforms per entry of eight 32-bit lanes (lanes 0–2 the first operand modulo the three
// primes, 3–5 the second, 6 and 7 zero), the coefficients in that layout, and the sums
// taken back from them.
#pragma once

#include <cstdint>

#include "limbs/cyclic.h"

namespace limbs::cyclic {

struct alignas(32) Lanes {
  std::uint32_t v[8];
};

// Primes below 2^30, so that values up to 4p fit a 32-bit lane; each has 2^k-th roots of
// unity for k up to 21 (p − 1 = 119·2^23, 479·2^21, 7·2^26), and 3 generates each one's group.
constexpr std::uint32_t kPrime[3] = {998244353u, 1004535809u, 469762049u};
// Lanes 0–2 take the first operand modulo the three primes, lanes 3–5 the second; lanes 6
// and 7 stay 0 (they carry the first prime, so that their arithmetic stays in range).
constexpr int kLanePrime[8] = {0, 1, 2, 0, 1, 2, 0, 0};

// Twiddles: entry len + j holds the (2·len)-th root of unity to the j (forward) or its
// inverse (backward), with its Shoup quotient floor(w·2^32 / p); len a power of two below
// kMaxCyclic. The same entries serve every transform length.
extern Lanes forwardW[kMaxCyclic], forwardQ[kMaxCyclic], backwardW[kMaxCyclic], backwardQ[kMaxCyclic];
// Each lane's prime, twice it, and −1/p mod 2^32; the odd lanes' in every lane pair.
extern Lanes prime, twicePrime, oddPrime, negInverse, oddNegInverse;
// Garner's constants: 1/p1 and 1/p2 modulo each lane's prime, with their Shoup quotients,
// and a multiple of the lane's prime above every residue of the others.
extern Lanes inv1, inv1Q, inv2, inv2Q, lift;
// 2^32/n modulo each lane's prime and its Shoup quotient, for n = 2^k (index k).
extern Lanes scale[13], scaleQ[13];
// Every lane's factor 1 with its Shoup quotient, for the halves of an entry that a stage
// across two coefficients only reduces.
extern Lanes one, oneQ;
// 2^32 modulo each lane's prime (lanes 6 and 7: 0), for the residues of coefficients past
// 32 bits.
extern Lanes wrap;
// The transforms' coefficients, and a vector's worth past them for the last columns' group.
extern Lanes coef[kMaxCyclic + 8];
// The four-lane tiers' entries: two coefficients of the six transforms in twelve lanes
// (cyclic_stages.h), and the transforms held so.
struct alignas(16) Twelve {
  std::uint32_t v[12];
};
extern Twelve twelve[kMaxCyclic / 2];

// Builds the tables, once.
void prepare();

// log2(n) for n a power of two.
int log2Of(int n);

}  // namespace limbs::cyclic

namespace limbs::cyclicAvx2 {

// remaindersAvx2: ab[i] and bb[i] for `from` <= i < `to` rounded up to eight more, from
// coef[i] in [0, 4p): n·2^−32 times the cyclic sums modulo each prime (the pointwise
// products are Montgomery's), given back exactly by Garner's mixed radix, eight columns at a
// time. Compiled for AVX2, so called only where the processor has it.
void remaindersAvx2(int n, int from, int to, std::uint64_t* ab, std::uint64_t* bb);

// remaindersWideAvx2: the same from coef[0..n/2), where lanes 0–2 hold column i and lanes
// 3–5 column n/2 + i, for sums up to the primes' product: column k's sum is
// low[k] + high[k]·10^10 (low below 2^63, high below 2^56), for k below n.
void remaindersWideAvx2(int n, std::uint64_t* low, std::uint64_t* high);

// The whole products' first forward stage of x[0..xn) into coef[0..n/2), and their last
// backward stage over coef[0..n/2) (cyclic_stages.h), for the AVX-512 tier, whose other
// stages hold two of these entries to a vector.
void firstStageHalvesAvx2(const std::uint64_t* x, int xn, int n);
void lastStageHalvesAvx2(int n);

}  // namespace limbs::cyclicAvx2
