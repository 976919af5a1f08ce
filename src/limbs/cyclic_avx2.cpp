// Cyclic column sums by number-theoretic transforms, for AVX2 (this file alone is compiled
// with -mavx2). Each vector holds one coefficient of six transforms at once, one per 32-bit
// lane: a and b, each modulo the three primes below. So every butterfly of every stage is a
// lane-wise vector operation, with no shuffles within a vector, and the transform of b serves
// both products. A column sum below min(an, bn)·B^2 < 2^64 is far below the primes' product,
// so the Chinese remainders give it exactly.
#include <immintrin.h>

#include <cassert>

#include "limbs/cyclic_stages.h"

namespace limbs {

// Named for the instruction set, as every function that holds its instructions is.
namespace cyclicAvx2 {

Lanes forwardW[kMaxCyclic], forwardQ[kMaxCyclic], backwardW[kMaxCyclic], backwardQ[kMaxCyclic];
Lanes prime, twicePrime, oddPrime, negInverse, oddNegInverse;
Lanes coef[kMaxCyclic + 8];

namespace {

using V = __m256i;
using u32 = std::uint32_t;
using u64 = std::uint64_t;

// Primes below 2^30, so that values up to 4p fit a 32-bit lane; each has 2^k-th roots of
// unity for k up to 21 (p − 1 = 119·2^23, 479·2^21, 7·2^26), and 3 generates each one's group.
constexpr u32 kPrime[3] = {998244353u, 1004535809u, 469762049u};
// Lanes 0–2 take the first operand modulo the three primes, lanes 3–5 the second; lanes 6
// and 7 stay 0 (they carry the first prime, so that their arithmetic stays in range).
constexpr int kLanePrime[8] = {0, 1, 2, 0, 1, 2, 0, 0};

constexpr u32 powMod(u64 a, u64 e, u32 p) {
  u64 r = 1;
  for (a %= p; e != 0; e >>= 1, a = a * a % p) {
    if ((e & 1) != 0) r = r * a % p;
  }
  return static_cast<u32>(r);
}

// floor(w·2^32 / p): the quotient that Shoup's product by w takes.
constexpr u32 shoupQuotient(u64 w, u32 p) { return static_cast<u32>((w << 32) / p); }

// Garner's constants: 1/p1 and 1/p2 modulo each lane's prime, with their Shoup quotients, and
// a multiple of the lane's prime above every residue of the others.
Lanes inv1, inv1Q, inv2, inv2Q, lift;
// 2^32/n modulo each lane's prime and its Shoup quotient, for n = 2^k (index k).
Lanes scale[13], scaleQ[13];

V load(const Lanes& l) { return _mm256_load_si256(reinterpret_cast<const V*>(l.v)); }
void store(Lanes& l, V v) { _mm256_store_si256(reinterpret_cast<V*>(l.v), v); }

void lanesOf(Lanes& l, u32 (*f)(u32 p)) {
  for (int k = 0; k < 8; ++k) l.v[k] = f(kPrime[kLanePrime[k]]);
}

void buildTables() {
  lanesOf(prime, [](u32 p) { return p; });
  lanesOf(twicePrime, [](u32 p) { return 2 * p; });
  lanesOf(negInverse, [](u32 p) {
    u32 inv = 1;
    for (int i = 0; i < 5; ++i) inv *= 2 - p * inv;  // Newton: p·inv = 1 mod 2^32
    return 0u - inv;
  });
  for (int k = 0; k < 8; ++k) {
    oddPrime.v[k] = prime.v[k | 1], oddNegInverse.v[k] = negInverse.v[k | 1];
  }
  for (int k = 0; k < 8; ++k) {
    const u32 p = kPrime[kLanePrime[k]];
    lift.v[k] = p < kPrime[0] ? 3 * p : 2 * p;
    inv1.v[k] = powMod(kPrime[0], p - 2, p), inv2.v[k] = powMod(kPrime[1], p - 2, p);
    inv1Q.v[k] = shoupQuotient(inv1.v[k], p), inv2Q.v[k] = shoupQuotient(inv2.v[k], p);
    for (int e = 0; e < 13; ++e) {
      scale[e].v[k] = static_cast<u32>(powMod(u64{1} << e, p - 2, p) * (u64{1} << 32) % p);
      scaleQ[e].v[k] = shoupQuotient(scale[e].v[k], p);
    }
  }
  for (int len = 1; len < kMaxCyclic; len *= 2) {
    for (int k = 0; k < 8; ++k) {
      const u32 p = kPrime[kLanePrime[k]];
      const u32 w = powMod(3, (p - 1) / (2 * static_cast<u64>(len)), p), wi = powMod(w, p - 2, p);
      u64 f = 1, b = 1;
      for (int j = 0; j < len; ++j, f = f * w % p, b = b * wi % p) {
        forwardW[len + j].v[k] = static_cast<u32>(f), forwardQ[len + j].v[k] = shoupQuotient(f, p);
        backwardW[len + j].v[k] = static_cast<u32>(b), backwardQ[len + j].v[k] = shoupQuotient(b, p);
      }
    }
  }
}

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
};

// Coefficient i of the six transforms: a[i] in lanes 0–2 and b[i] in lanes 3–5, below B and
// so below every prime; 0 past a limb vector's end and in lanes 6 and 7.
V limbsAt(const Limb* a, int an, const Limb* b, int bn, int i) {
  const V va = _mm256_set1_epi32(i < an ? static_cast<int>(a[i]) : 0);
  const V vb = _mm256_set1_epi32(i < bn ? static_cast<int>(b[i]) : 0);
  return _mm256_blend_epi32(_mm256_blend_epi32(va, vb, 0x38), _mm256_setzero_si256(), 0xC0);
}

// The forward transform's first stage into coef[0..n), read from the limbs: where the upper
// half is all zeros (the limbs end below n/2 + j), its butterfly is u and u·w.
void firstStage(const Limb* a, int an, const Limb* b, int bn, int n) {
  const V p = load(prime), p2 = load(twicePrime);
  const int half = n / 2, top = an > bn ? an : bn;
  for (int j = 0; j < half; ++j) {
    const V u = limbsAt(a, an, b, bn, j), w = load(forwardW[half + j]), q = load(forwardQ[half + j]);
    if (half + j < top) {
      const V v = limbsAt(a, an, b, bn, half + j);
      store(coef[j], reduce(_mm256_add_epi32(u, v), p2));
      store(coef[half + j], mulTwiddle(_mm256_add_epi32(_mm256_sub_epi32(u, v), p2), w, q, p));
    } else {
      store(coef[j], u);
      store(coef[half + j], mulTwiddle(u, w, q, p));
    }
  }
}

// The forward transform of coef[0..n): the result in bit-reversed order. The first stage
// reads a and b themselves (firstStage); so the stages here start at n/4.
void forward(int n) { cyclic::forwardStages<Avx2>(coef, n, n / 4, load(prime), load(twicePrime)); }

// The backward transform of coef[0..n) from bit-reversed order: n times the inverse
// transform, in [0, 4p).
void backward(int n) { cyclic::backwardStages<Avx2>(coef, n, load(prime), load(twicePrime)); }

// coef[i] := a·b in lanes 0–2 and b·b in lanes 3–5, from a in lanes 0–2 and b in 3–5.
void pointwise(int n) {
  const V fromB = _mm256_setr_epi32(3, 4, 5, 3, 4, 5, 6, 7);
  for (int i = 0; i < n; ++i) {
    const V v = load(coef[i]);
    store(coef[i], mulMontgomery(v, _mm256_permutevar8x32_epi32(v, fromB)));
  }
}

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

// out[0..8) := the sums whose residues modulo the three primes (times n/2^32) are x[0..3),
// taken from lanes first to first + 2: each residue scaled back, then Garner's mixed radix
// t1 + p1·(t2 + p2·t3) modulo 2^64 (the sum itself is below it).
void garner(const V* x, int first, int logN, std::uint64_t* out) {
  V r[3];
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
  constexpr u64 p12 = u64{kPrime[0]} * kPrime[1];
  const V p1 = _mm256_set1_epi64x(kPrime[0]), low = _mm256_set1_epi64x(p12 & 0xFFFFFFFFu);
  const V high = _mm256_set1_epi64x(p12 >> 32);
  for (int half = 0; half < 2; ++half) {
    const auto wide = [half](V v) {
      return _mm256_cvtepu32_epi64(half == 0 ? _mm256_castsi256_si128(v) : _mm256_extracti128_si256(v, 1));
    };
    const V t1 = wide(r[0]), t2 = wide(r[1]), t3 = wide(r[2]);
    V v = _mm256_add_epi64(t1, _mm256_mul_epu32(t2, p1));
    v = _mm256_add_epi64(v, _mm256_mul_epu32(t3, low));
    v = _mm256_add_epi64(v, _mm256_slli_epi64(_mm256_mul_epu32(t3, high), 32));
    _mm256_storeu_si256(reinterpret_cast<V*>(out + 4 * half), v);
  }
}

}  // namespace

void prepare() {
  static const bool ready = (buildTables(), true);
  (void)ready;
}

// Eight columns at a time, transposed so that each vector holds one prime.
void remainders(int n, int from, int to, std::uint64_t* ab, std::uint64_t* bb) {
  int logN = 0;
  while ((1 << logN) < n) ++logN;
  for (int i = from; i < to; i += 8) {
    V t[6];
    transpose(coef + i, t);
    garner(t, 0, logN, ab + i);
    garner(t + 3, 3, logN, bb + i);
  }
}

}  // namespace cyclicAvx2

void cyclicPairAvx2(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                    std::uint64_t* bb) {
  using namespace cyclicAvx2;
  assert(n <= kMaxCyclic && an <= n && bn <= n && 0 <= from && from <= to && to <= n);
  prepare();
  firstStage(a, an, b, bn, n);
  forward(n);
  pointwise(n);
  backward(n);
  remainders(n, from, to, ab, bb);
}

}  // namespace limbs
