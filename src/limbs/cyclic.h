// Column sums of two products at once by number-theoretic transforms, where a fixed-point
// product keeps only the middle of its columns: a cyclic transform of length n folds the
// columns from n down onto the lowest ones, which such a product drops, and the transform of
// the shared operand serves both products.
#pragma once

#include <cstdint>

#include "limbs/num.h"

namespace limbs {

// The longest transform: 4,096 coefficients.
constexpr int kMaxCyclic = 4096;

// cyclicPairAvx2: ab[k] := Σ a[i]·b[j] and bb[k] := Σ b[i]·b[j] over i + j ≡ k (mod n), for
// from <= k < to <= n, with n a power of two from 16 to kMaxCyclic, an, bn <= n and limbs
// below B. Exact while every sum is below 2^64: those of ab below min(an, bn)·B^2, those of
// bb below bn·B^2, so min(an, bn) and bn at most 1,844. Built only for x86-64, and run only
// where AVX2 is. ab and bb hold to + 8 sums (those past `to` get any values).
void cyclicPairAvx2(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                    std::uint64_t* bb);

// cyclicPairAvx512: the same sums by the same transforms, two coefficients to a vector; run
// only where AVX-512 is.
void cyclicPairAvx512(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                      std::uint64_t* bb);
// cyclicPairSse41 and cyclicPairNeon: the same on four lanes, each entry in two vectors; run
// only where SSE4.1 is, and built only for 64-bit ARM.
void cyclicPairSse41(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                     std::uint64_t* bb);
void cyclicPairNeon(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                    std::uint64_t* bb);

// Whole products and squares, where no column may be folded: their columns exceed 64 bits,
// so the coefficients are 10-digit ones (below 10^10), and column sums below the primes'
// product (about 2^88.6; 2,048 coefficients to an operand keep them below 2^78).
// cyclicWholeAvx2: Σ_k (low[k] + high[k]·10^10)·x^k := a(x)·b(x) for coefficients a[0..an)
// and b[0..bn), a square where b is a; an + bn − 1 <= n, n a power of two from 16 to
// kMaxCyclic; low[k] below 2^63, high[k] below 2^56, both for k below n.
void cyclicWholeAvx2(const std::uint64_t* a, int an, const std::uint64_t* b, int bn, int n, std::uint64_t* low,
                     std::uint64_t* high);
// cyclicWholeAvx512: the same, two entries to a vector in every stage but the first and last.
void cyclicWholeAvx512(const std::uint64_t* a, int an, const std::uint64_t* b, int bn, int n, std::uint64_t* low,
                       std::uint64_t* high);

}  // namespace limbs
