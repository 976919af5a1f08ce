// Cyclic column sums by number-theoretic transforms, for AVX2 (this file alone is compiled
// with -mavx2). Each vector holds one coefficient of six transforms at once, one per 32-bit
// lane: a and b, each modulo the three primes below. So every butterfly of every stage is a
// lane-wise vector operation, with no shuffles within a vector, and the transform of b serves
// both products. A column sum below min(an, bn)·B^2 < 2^64 is far below the primes' product,
// so the Chinese remainders give it exactly. The tables are cyclic_tables.cpp's.
#include <immintrin.h>

#include <cassert>

#include "limbs/cyclic_stages.h"

namespace limbs {

// Named for the instruction set, as every function that holds its instructions is.
namespace cyclicAvx2 {

namespace {

using V = __m256i;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using namespace cyclic;

V load(const Lanes& l) { return _mm256_load_si256(reinterpret_cast<const V*>(l.v)); }
void store(Lanes& l, V v) { _mm256_store_si256(reinterpret_cast<V*>(l.v), v); }

// The high halves of the lane-wise 64-bit products x·y.
V mulHigh(V x, V y) {
  const V even = _mm256_mul_epu32(x, y), odd = _mm256_mul_epu32(_mm256_srli_epi64(x, 32), _mm256_srli_epi64(y, 32));
  return _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA);
}

// x·w mod p in [0, 2p) for any x below 2^32, q = floor(w·2^32 / p) (Shoup's product).
V mulTwiddle(V x, V w, V q, V p) {
  return _mm256_sub_epi32(_mm256_mullo_epi32(x, w), _mm256_mullo_epi32(mulHigh(x, q), p));
}

// s − m where s >= m, for s below 2m: back into [0, m) (m is 2p to bring sums below 4p
// under 2p, p for a residue below 2p).
V reduce(V s, V m) { return _mm256_min_epu32(s, _mm256_sub_epi32(s, m)); }

// Montgomery's product x·y·2^−32 mod p in [0, 2p), for x, y below 2p.
V mulMontgomery(V x, V y) {
  const V p = load(prime), op = load(oddPrime), ni = load(negInverse), oni = load(oddNegInverse);
  const V te = _mm256_mul_epu32(x, y), to = _mm256_mul_epu32(_mm256_srli_epi64(x, 32), _mm256_srli_epi64(y, 32));
  const V re = _mm256_add_epi64(te, _mm256_mul_epu32(_mm256_mul_epu32(te, ni), p));
  const V ro = _mm256_add_epi64(to, _mm256_mul_epu32(_mm256_mul_epu32(to, oni), op));
  return _mm256_blend_epi32(_mm256_srli_epi64(re, 32), ro, 0xAA);
}

// The stages' vector type: one coefficient of the six transforms per vector.
struct Avx2 {
  using V = __m256i;
  using Entry = Lanes;
  static V load(const Lanes& l) { return cyclicAvx2::load(l); }
  static void store(Lanes& l, V v) { cyclicAvx2::store(l, v); }
  static V table(const Lanes& l) { return cyclicAvx2::load(l); }
  static V add(V x, V y) { return _mm256_add_epi32(x, y); }
  static V sub(V x, V y) { return _mm256_sub_epi32(x, y); }
  static V reduce(V s, V m) { return cyclicAvx2::reduce(s, m); }
  static V mulTwiddle(V x, V w, V q, V p) { return cyclicAvx2::mulTwiddle(x, w, q, p); }
  static V limbs(Limb x, Limb y) {
    const V vx = _mm256_set1_epi32(static_cast<int>(x)), vy = _mm256_set1_epi32(static_cast<int>(y));
    return _mm256_blend_epi32(_mm256_blend_epi32(vx, vy, 0x38), _mm256_setzero_si256(), 0xC0);
  }
  // a·b into lanes 0–2 and b·b into 3–5, from a in lanes 0–2 and b in 3–5.
  static V pointwise(V v) { return mulMontgomery(v, _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(3, 4, 5, 3, 4, 5, 6, 7))); }
  // The whole products' operations (cyclic_stages.h).
  static V coefficient(std::uint64_t c) {
    const V lo = _mm256_set1_epi32(static_cast<int>(c & 0xFFFFFFFFu)), hi = _mm256_set1_epi32(static_cast<int>(c >> 32));
    const V r = _mm256_add_epi32(mulTwiddle(lo, load(one), load(oneQ), load(prime)), _mm256_mullo_epi32(hi, load(wrap)));
    return _mm256_blend_epi32(reduce(r, load(twicePrime)), _mm256_setzero_si256(), 0xC0);
  }
  static V cross(const Lanes& lo, const Lanes& up) { return _mm256_blend_epi32(load(lo), load(up), 0x38); }
  static V upper(V v) { return _mm256_blend_epi32(_mm256_setzero_si256(), v, 0x38); }
  static V flip(V v) { return _mm256_sub_epi32(_mm256_blend_epi32(v, _mm256_setzero_si256(), 0x38), upper(v)); }
  static V lowerTwice(V v) { return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 1, 2, 0, 1, 2, 6, 7)); }
  static V upperTwice(V v) { return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(3, 4, 5, 3, 4, 5, 6, 7)); }
  static V multiply(V x, V y) { return mulMontgomery(x, y); }
};

// t[l] := lane l of c[0..8), for the lanes 0–5: an 8-by-8 transposition, two lanes short.
void transpose(const Lanes* c, V* t) {
  V a[8], b[8];
  for (int k = 0; k < 4; ++k) {
    a[2 * k] = _mm256_unpacklo_epi32(load(c[2 * k]), load(c[2 * k + 1]));
    a[2 * k + 1] = _mm256_unpackhi_epi32(load(c[2 * k]), load(c[2 * k + 1]));
  }
  for (int k = 0; k < 2; ++k) {  // b[4k + l]: lanes l and l + 4 of columns 4k to 4k + 3
    b[4 * k] = _mm256_unpacklo_epi64(a[4 * k], a[4 * k + 2]), b[4 * k + 1] = _mm256_unpackhi_epi64(a[4 * k], a[4 * k + 2]);
    b[4 * k + 2] = _mm256_unpacklo_epi64(a[4 * k + 1], a[4 * k + 3]);
    b[4 * k + 3] = _mm256_unpackhi_epi64(a[4 * k + 1], a[4 * k + 3]);
  }
  for (int l = 0; l < 4; ++l) t[l] = _mm256_permute2x128_si256(b[l], b[4 + l], 0x20);
  for (int l = 4; l < 6; ++l) t[l] = _mm256_permute2x128_si256(b[l - 4], b[l], 0x31);
}

// Lane k of a table, in every lane.
V lane(const Lanes& l, int k) { return _mm256_set1_epi32(static_cast<int>(l.v[k])); }

// r[0..3) := Garner's mixed-radix digits t1, t2, t3 of the eight sums whose residues modulo
// the three primes (times n/2^32) are x[0..3), taken from lanes first to first + 2: each
// residue scaled back, then t1 + p1·(t2 + p2·t3) is the sum.
void mixedRadix(const V* x, int first, int logN, V* r) {
  for (int k = 0; k < 3; ++k) {
    const V p = _mm256_set1_epi32(static_cast<int>(kPrime[k]));
    r[k] = reduce(mulTwiddle(x[k], lane(scale[logN], first + k), lane(scaleQ[logN], first + k), p), p);
    if (k == 0) continue;
    const V d = _mm256_sub_epi32(_mm256_add_epi32(r[k], lane(lift, first + k)), r[0]);  // r − t1, then / p1
    r[k] = reduce(mulTwiddle(d, lane(inv1, first + k), lane(inv1Q, first + k), p), p);
  }
  const V p3 = _mm256_set1_epi32(static_cast<int>(kPrime[2]));
  const V d = _mm256_sub_epi32(_mm256_add_epi32(r[2], lane(lift, first + 2)), r[1]);  // (· − t2) / p2
  r[2] = reduce(mulTwiddle(d, lane(inv2, first + 2), lane(inv2Q, first + 2), p3), p3);
}

// Lanes 0–3 (half 0) or 4–7 (half 1) of v, widened to 64 bits.
V widen(V v, int half) {
  return _mm256_cvtepu32_epi64(half == 0 ? _mm256_castsi256_si128(v) : _mm256_extracti128_si256(v, 1));
}

// t1 + p1·t2 + m·t3 modulo 2^64 for the 64-bit lanes t1, t2, t3 below 2^32, m below 2^64.
V mixed(V t1, V t2, V t3, std::uint64_t m) {
  const V v = _mm256_add_epi64(t1, _mm256_mul_epu32(t2, _mm256_set1_epi64x(kPrime[0])));
  const V low = _mm256_mul_epu32(t3, _mm256_set1_epi64x(static_cast<long long>(m & 0xFFFFFFFFu)));
  const V high = _mm256_mul_epu32(t3, _mm256_set1_epi64x(static_cast<long long>(m >> 32)));
  return _mm256_add_epi64(_mm256_add_epi64(v, low), _mm256_slli_epi64(high, 32));
}

constexpr u64 kP12 = u64{kPrime[0]} * kPrime[1];
constexpr u64 kTen10 = 10000000000u;

// out[0..8) := the eight sums of mixedRadix, modulo 2^64 (the sums themselves are below it).
void garner(const V* x, int first, int logN, std::uint64_t* out) {
  V r[3];
  mixedRadix(x, first, logN, r);
  for (int half = 0; half < 2; ++half) {
    const V v = mixed(widen(r[0], half), widen(r[1], half), widen(r[2], half), kP12);
    _mm256_storeu_si256(reinterpret_cast<V*>(out + 4 * half), v);
  }
}

// The same eight sums as low + high·10^10: t1 + p1·t2 + t3·(p1·p2 mod 10^10) and
// t3·floor(p1·p2 / 10^10), below 2^63 and 2^56.
void garnerWide(const V* x, int first, int logN, std::uint64_t* low, std::uint64_t* high) {
  V r[3];
  mixedRadix(x, first, logN, r);
  const V top = _mm256_set1_epi64x(static_cast<long long>(kP12 / kTen10));
  for (int half = 0; half < 2; ++half) {
    const V t3 = widen(r[2], half);
    const V v = mixed(widen(r[0], half), widen(r[1], half), t3, kP12 % kTen10);
    _mm256_storeu_si256(reinterpret_cast<V*>(low + 4 * half), v);
    _mm256_storeu_si256(reinterpret_cast<V*>(high + 4 * half), _mm256_mul_epu32(t3, top));
  }
}

}  // namespace

// Eight columns at a time, transposed so that each vector holds one prime.
void remaindersAvx2(int n, int from, int to, std::uint64_t* ab, std::uint64_t* bb) {
  const int logN = log2Of(n);
  for (int i = from; i < to; i += 8) {
    V t[6];
    transpose(coef + i, t);
    garner(t, 0, logN, ab + i);
    garner(t + 3, 3, logN, bb + i);
  }
}

void firstStageHalvesAvx2(const std::uint64_t* x, int xn, int n) { firstStageHalves<Avx2>(coef, x, xn, n); }
void lastStageHalvesAvx2(int n) { lastStageHalves<Avx2>(coef, n); }

void remaindersWideAvx2(int n, std::uint64_t* low, std::uint64_t* high) {
  const int logN = log2Of(n), half = n / 2;
  for (int i = 0; i < half; i += 8) {
    V t[6];
    transpose(coef + i, t);
    garnerWide(t, 0, logN, low + i, high + i);
    garnerWide(t + 3, 3, logN, low + half + i, high + half + i);
  }
}

}  // namespace cyclicAvx2

void cyclicWholeAvx2(const std::uint64_t* a, int an, const std::uint64_t* b, int bn, int n, std::uint64_t* low,
                     std::uint64_t* high) {
  using namespace cyclicAvx2;
  assert(n <= kMaxCyclic && an + bn - 1 <= n);
  cyclic::prepare();
  cyclic::wholeSums<Avx2>(cyclic::coef, a, an, b, bn, n);
  remaindersWideAvx2(n, low, high);
}

void cyclicPairAvx2(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                    std::uint64_t* bb) {
  using namespace cyclicAvx2;
  assert(n <= kMaxCyclic && an <= n && bn <= n && 0 <= from && from <= to && to <= n);
  cyclic::prepare();
  cyclic::pairSums<Avx2>(cyclic::coef, a, an, b, bn, n);
  remaindersAvx2(n, from, to, ab, bb);
}

}  // namespace limbs
