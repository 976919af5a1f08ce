// The transform pair for AVX-512 (this file alone is compiled with -mavx512f): the AVX2
// transforms' six lanes per coefficient, two coefficients per vector, i and i + n/2 in the
// lower and upper eight lanes. The first forward stage pairs exactly those two, and the
// last backward one, so they are the only stages that work across the halves; every other
// stage runs the same butterflies on both halves at once, their twiddles alike. The tables
// and the whole products' remainders are the AVX2 file's; the tables are shared by every
// tier.
#include <immintrin.h>

#include <cassert>

#include "limbs/cyclic_stages.h"

namespace limbs {

namespace cyclicAvx512 {

namespace {

using V = __m512i;
using H = __m256i;
using cyclic::Lanes;

// Coefficients i and i + n/2 of the six transforms, for i below n/2.
struct alignas(64) Pair {
  std::uint32_t v[16];
};
Pair coef[kMaxCyclic / 2];

// The same eight lanes in both halves.
V both(const Lanes &l) { return _mm512_broadcast_i64x4(_mm256_load_si256(reinterpret_cast<const H*>(l.v))); }
// a in the lower half, b in the upper.
V halves(const Lanes &a, const Lanes &b) {
  return _mm512_inserti64x4(_mm512_castsi256_si512(_mm256_load_si256(reinterpret_cast<const H*>(a.v))),
                            _mm256_load_si256(reinterpret_cast<const H*>(b.v)), 1);
}
V load(const Pair& c) { return _mm512_load_si512(c.v); }
void store(Pair& c, V v) { _mm512_store_si512(c.v, v); }

// The high halves of the lane-wise 64-bit products x·y.
V mulHigh(V x, V y) {
  const V even = _mm512_mul_epu32(x, y), odd = _mm512_mul_epu32(_mm512_srli_epi64(x, 32), _mm512_srli_epi64(y, 32));
  return _mm512_mask_blend_epi32(0xAAAA, _mm512_srli_epi64(even, 32), odd);
}

// x·w mod p in [0, 2p) for any x below 2^32, q = floor(w·2^32 / p) (Shoup's product).
V mulTwiddle(V x, V w, V q, V p) {
  return _mm512_sub_epi32(_mm512_mullo_epi32(x, w), _mm512_mullo_epi32(mulHigh(x, q), p));
}

// s − m where s >= m, for s below 2m: back into [0, m).
V reduce(V s, V m) { return _mm512_min_epu32(s, _mm512_sub_epi32(s, m)); }

// Montgomery's product x·y·2^−32 mod p in [0, 2p), for x, y below 2p.
V mulMontgomery(V x, V y) {
  const V p = both(cyclic::prime), op = both(cyclic::oddPrime);
  const V ni = both(cyclic::negInverse), oni = both(cyclic::oddNegInverse);
  const V te = _mm512_mul_epu32(x, y), to = _mm512_mul_epu32(_mm512_srli_epi64(x, 32), _mm512_srli_epi64(y, 32));
  const V re = _mm512_add_epi64(te, _mm512_mul_epu32(_mm512_mul_epu32(te, ni), p));
  const V ro = _mm512_add_epi64(to, _mm512_mul_epu32(_mm512_mul_epu32(to, oni), op));
  return _mm512_mask_blend_epi32(0xAAAA, _mm512_srli_epi64(re, 32), ro);
}

// The stages' vector type: two coefficients of the six transforms per vector, the twiddles
// alike in both halves.
struct Avx512 {
  using V = __m512i;
  using Entry = Pair;
  static V load(const Pair& c) { return cyclicAvx512::load(c); }
  static void store(Pair& c, V v) { cyclicAvx512::store(c, v); }
  static V table(const Lanes& l) { return both(l); }
  static V add(V x, V y) { return _mm512_add_epi32(x, y); }
  static V sub(V x, V y) { return _mm512_sub_epi32(x, y); }
  static V reduce(V s, V m) { return cyclicAvx512::reduce(s, m); }
  static V mulTwiddle(V x, V w, V q, V p) { return cyclicAvx512::mulTwiddle(x, w, q, p); }
};

// Coefficient i of the six transforms (a[i] in lanes 0–2, b[i] in 3–5, 0 elsewhere), in
// both halves.
V limbsAt(const Limb* a, int an, const Limb* b, int bn, int i) {
  const V x = _mm512_set1_epi32(i < an ? static_cast<int>(a[i]) : 0);
  const V y = _mm512_set1_epi32(i < bn ? static_cast<int>(b[i]) : 0);
  return _mm512_maskz_mov_epi32(0x3F3F, _mm512_mask_blend_epi32(0x3838, x, y));
}

// The forward butterfly across the halves: (u + v, (u − v)·w) for u and v (in both halves,
// below 2p) the entries j and j + half, w = forwardW[half + j]; both through one product (by 1
// in the lower half).
V acrossForward(V u, V v, int half, int j) {
  const V s = _mm512_add_epi32(u, _mm512_mask_sub_epi32(v, 0xFF00, both(cyclic::twicePrime), v));
  return mulTwiddle(s, halves(cyclic::one, cyclic::forwardW[half + j]), halves(cyclic::oneQ, cyclic::forwardQ[half + j]),
                    both(cyclic::prime));
}

// The first forward stage, read from the limbs: pair j := the coefficients j and j + n/2.
void firstStage(const Limb* a, int an, const Limb* b, int bn, int n) {
  const int half = n / 2;
  for (int j = 0; j < half; ++j) store(coef[j], acrossForward(limbsAt(a, an, b, bn, j), limbsAt(a, an, b, bn, half + j), half, j));
}

// The backward butterfly across the halves, into the AVX2 file's coefficients j and j + half
// ([0, 4p)): the lower half plus and minus the upper times backwardW[half + j], for c[j]
// below 4p.
void acrossBackward(const Pair* c, int half) {
  const V p = both(cyclic::prime);
  const H h2 = _mm256_load_si256(reinterpret_cast<const H*>(cyclic::twicePrime.v));
  for (int j = 0; j < half; ++j) {
    const V t = mulTwiddle(load(c[j]), halves(cyclic::one, cyclic::backwardW[half + j]),
                           halves(cyclic::oneQ, cyclic::backwardQ[half + j]), p);
    const H u = _mm512_castsi512_si256(t), v = _mm512_extracti64x4_epi64(t, 1);
    _mm256_store_si256(reinterpret_cast<H*>(cyclic::coef[j].v), _mm256_add_epi32(u, v));
    _mm256_store_si256(reinterpret_cast<H*>(cyclic::coef[half + j].v), _mm256_add_epi32(_mm256_sub_epi32(u, v), h2));
  }
}

// The forward transform after its first stage, over the n/2 pairs: bit-reversed order
// within each half.
void forward(int n) {
  cyclic::forwardStages<Avx512>(coef, n / 2, n / 4, both(cyclic::prime), both(cyclic::twicePrime));
}

// The pair's pointwise products: a·b into lanes 0–2, b·b into 3–5 of each half.
void pointwise(int n) {
  const V fromB = _mm512_setr_epi32(3, 4, 5, 3, 4, 5, 6, 7, 11, 12, 13, 11, 12, 13, 14, 15);
  for (int i = 0; i < n / 2; ++i) {
    const V v = load(coef[i]);
    store(coef[i], mulMontgomery(v, _mm512_permutexvar_epi32(fromB, v)));
  }
}

// The backward transform: every stage but the last within the halves, then the last into
// the AVX2 file's coefficients, one per entry, as its remainders read them ([0, 4p)).
void backward(int n) {
  cyclic::backwardStages<Avx512>(coef, n / 2, both(cyclic::prime), both(cyclic::twicePrime));
  acrossBackward(coef, n / 2);
}

// The AVX2 file's coefficients := n times the cyclic sums a·b (lanes 0–2) and b·b (3–5).
void sums(const Limb* a, int an, const Limb* b, int bn, int n) {
  firstStage(a, an, b, bn, n);
  forward(n);
  pointwise(n);
  backward(n);
}

// The whole products' second forward stage, from the AVX2 file's entries (two coefficients
// of one operand each, after the first stage) into pairs c[0..n/4): entries j and j + n/4.
void wholeSecondStage(Pair* c, int n) {
  const int quarter = n / 4;
  for (int j = 0; j < quarter; ++j) store(c[j], acrossForward(both(cyclic::coef[j]), both(cyclic::coef[quarter + j]), quarter, j));
}

// Whole products' sums into the AVX2 file's entries as its remainders read them: each
// operand's first stage there, the second across the halves here, the rest of the forward
// stages and the pointwise products on n/4 pairs, the backward stages back to the AVX2 file's
// last one.
void wholeSums(const std::uint64_t* a, int an, const std::uint64_t* b, int bn, int n) {
  const V p = both(cyclic::prime), p2 = both(cyclic::twicePrime);
  const int quarter = n / 4;
  Pair* other = coef;
  cyclicAvx2::firstStageHalvesAvx2(a, an, n);
  wholeSecondStage(coef, n);
  cyclic::forwardStages<Avx512>(coef, quarter, quarter / 2, p, p2);
  if (b != a) {
    other = coef + quarter;
    cyclicAvx2::firstStageHalvesAvx2(b, bn, n);
    wholeSecondStage(other, n);
    cyclic::forwardStages<Avx512>(other, quarter, quarter / 2, p, p2);
  }
  for (int j = 0; j < quarter; ++j) store(coef[j], mulMontgomery(load(coef[j]), load(other[j])));
  cyclic::backwardStages<Avx512>(coef, quarter, p, p2);
  acrossBackward(coef, quarter);
  cyclicAvx2::lastStageHalvesAvx2(n);
}

// The remainders, sixteen columns at a time: the entries transposed so that each vector
// holds one lane of sixteen of them, then Garner's mixed radix (garnerColumns).

// Permute indices for transpose (bit 4 picks the second source). Round one: lanes l0..l0+3
// of the four entries in two vectors, as [l·4 + e]; round two: lanes j0, j0 + 1 of those
// (relative) from eight entries in two such, as [j·8 + e]; round three: lane j of those from
// sixteen entries, as [e].
struct alignas(64) Index {
  std::int32_t v[16];
};
constexpr Index roundOne(int l0) {
  Index x{};
  for (int k = 0; k < 16; ++k) x.v[k] = (k % 4 < 2 ? 0 : 16) + 8 * (k % 2) + l0 + k / 4;
  return x;
}
constexpr Index roundTwo(int j0) {
  Index x{};
  for (int k = 0; k < 16; ++k) x.v[k] = (k % 8 < 4 ? 0 : 16) + (j0 + k / 8) * 4 + k % 4;
  return x;
}
constexpr Index roundThree(int j) {
  Index x{};
  for (int k = 0; k < 16; ++k) x.v[k] = (k < 8 ? 0 : 16) + j * 8 + k % 8;
  return x;
}
constexpr Index kOne[2] = {roundOne(0), roundOne(4)}, kTwo[2] = {roundTwo(0), roundTwo(2)};
constexpr Index kThree[2] = {roundThree(0), roundThree(1)};

V permute(V a, const Index& i, V b) { return _mm512_permutex2var_epi32(a, _mm512_load_si512(i.v), b); }

// t[l] := lane l of the entries c[0..16), for the lanes 0–5.
void transpose(const Lanes* c, V* t) {
  V lower[4], upper[4], pairs[2][3];
  for (int m = 0; m < 4; ++m) {  // entries 4m to 4m + 3
    const V x = _mm512_loadu_si512(c[4 * m].v), y = _mm512_loadu_si512(c[4 * m + 2].v);
    lower[m] = permute(x, kOne[0], y), upper[m] = permute(x, kOne[1], y);
  }
  for (int q = 0; q < 2; ++q) {  // entries 8q to 8q + 7: lanes 0–1, 2–3, 4–5
    pairs[q][0] = permute(lower[2 * q], kTwo[0], lower[2 * q + 1]);
    pairs[q][1] = permute(lower[2 * q], kTwo[1], lower[2 * q + 1]);
    pairs[q][2] = permute(upper[2 * q], kTwo[0], upper[2 * q + 1]);
  }
  for (int l = 0; l < 6; ++l) t[l] = permute(pairs[0][l / 2], kThree[l % 2], pairs[1][l / 2]);
}

// Garner's operations on sixteen columns, one per lane (cyclic_stages.h's garnerColumns).
struct Columns {
  using H = __m512i;
  static H hSet(std::uint32_t x) { return _mm512_set1_epi32(static_cast<int>(x)); }
  static H hAdd(H x, H y) { return _mm512_add_epi32(x, y); }
  static H hSub(H x, H y) { return _mm512_sub_epi32(x, y); }
  static H hReduce(H s, H m) { return reduce(s, m); }
  static H hMulTwiddle(H x, H w, H q, H p) { return mulTwiddle(x, w, q, p); }
  // out[0..16) := t1 + p1·t2 + p1·p2·t3 modulo 2^64, for t1, t2, t3 below 2^32.
  static void wide(H t1, H t2, H t3, std::uint64_t* out) {
    constexpr std::uint64_t p12 = std::uint64_t{cyclic::kPrime[0]} * cyclic::kPrime[1];
    const H p1 = _mm512_set1_epi64(cyclic::kPrime[0]), low = _mm512_set1_epi64(p12 & 0xFFFFFFFFu);
    const H high = _mm512_set1_epi64(static_cast<long long>(p12 >> 32));
    for (int half = 0; half < 2; ++half) {
      const auto widen = [half](H v) {
        return _mm512_cvtepu32_epi64(half == 0 ? _mm512_castsi512_si256(v) : _mm512_extracti64x4_epi64(v, 1));
      };
      const H w3 = widen(t3);
      H v = _mm512_add_epi64(widen(t1), _mm512_mul_epu32(widen(t2), p1));
      v = _mm512_add_epi64(v, _mm512_mul_epu32(w3, low));
      v = _mm512_add_epi64(v, _mm512_slli_epi64(_mm512_mul_epu32(w3, high), 32));
      _mm512_storeu_si512(out + 8 * half, v);
    }
  }
};

// As remaindersAvx2 (ab and bb hold `to` + 8 sums), sixteen columns at a time while a whole
// sixteen fits there, the last eight by the AVX2 file's.
void remainders(int n, int from, int to, std::uint64_t* ab, std::uint64_t* bb) {
  const int logN = cyclic::log2Of(n);
  int i = from;
  for (; i + 8 < to; i += 16) {
    V t[6];
    transpose(cyclic::coef + i, t);
    cyclic::garnerColumns<Columns>(t, 0, logN, ab + i);
    cyclic::garnerColumns<Columns>(t + 3, 3, logN, bb + i);
  }
  if (i < to) cyclicAvx2::remaindersAvx2(n, i, to, ab, bb);
}

}  // namespace

}  // namespace cyclicAvx512

void cyclicWholeAvx512(const std::uint64_t* a, int an, const std::uint64_t* b, int bn, int n, std::uint64_t* low,
                       std::uint64_t* high) {
  assert(n <= kMaxCyclic && an + bn - 1 <= n);
  cyclic::prepare();
  cyclicAvx512::wholeSums(a, an, b, bn, n);
  cyclicAvx2::remaindersWideAvx2(n, low, high);
}

void cyclicPairAvx512(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                      std::uint64_t* bb) {
  assert(n <= kMaxCyclic && an <= n && bn <= n && 0 <= from && from <= to && to <= n);
  cyclic::prepare();
  cyclicAvx512::sums(a, an, b, bn, n);
  cyclicAvx512::remainders(n, from, to, ab, bb);
}

}  // namespace limbs
