// Cyclic column sums by number-theoretic transforms, for AVX2 (this file alone is compiled
// with -mavx2). Each vector holds one coefficient of six transforms at once, one per 32-bit
// lane: a and b, each modulo the three primes below. So every butterfly of every stage is a
// lane-wise vector operation, with no shuffles within a vector, and the transform of b serves
// both products. A column sum below min(an, bn)·B^2 < 2^64 is far below the primes' product,
// so the Chinese remainders give it exactly.
#include <immintrin.h>

#include "limbs/cyclic.h"

namespace limbs {

// Named for the instruction set, as every function that holds its instructions is.
namespace cyclicAvx2 {

namespace {

using V = __m256i;
using u32 = std::uint32_t;
using u64 = std::uint64_t;

// Primes below 2^30 (so that 4p < 2^32 and sums need no more than one lane), each with a
// 2^k-th root of unity for k up to 23, and 3 a generator of each one's group.
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

// One vector per coefficient, 8 lanes of 32 bits.
struct alignas(32) Lanes {
  u32 v[8];
};

// Twiddles: entry len + j holds the (2·len)-th root of unity to the j (forward) or its
// inverse (backward), with its Shoup quotient floor(w·2^32 / p); len a power of two below
// kMaxCyclic. The same entries serve every transform length.
Lanes forwardW[kMaxCyclic], forwardQ[kMaxCyclic], backwardW[kMaxCyclic], backwardQ[kMaxCyclic];
Lanes prime, twicePrime, oddPrime, negInverse, oddNegInverse;
// Garner's constants: 1/p1 and 1/p2 modulo each lane's prime, with their Shoup quotients, and
// a multiple of the lane's prime above every residue of the others.
Lanes inv1, inv1Q, inv2, inv2Q, lift;
// 2^32/n modulo each lane's prime and its Shoup quotient, for n = 2^k (index k).
Lanes scale[13], scaleQ[13];
bool ready = false;
// The transforms' coefficients.
Lanes coef[kMaxCyclic];

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
  ready = true;
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

// s − 2p where s >= 2p, for s below 4p: back into [0, 2p).
V fold(V s, V p2) { return _mm256_min_epu32(s, _mm256_sub_epi32(s, p2)); }

// Montgomery's product x·y·2^−32 mod p in [0, 2p), for x, y below 2p.
V mulMontgomery(V x, V y) {
  const V p = load(prime), op = load(oddPrime), ni = load(negInverse), oni = load(oddNegInverse);
  const V te = _mm256_mul_epu32(x, y), to = _mm256_mul_epu32(_mm256_srli_epi64(x, 32), _mm256_srli_epi64(y, 32));
  const V re = _mm256_add_epi64(te, _mm256_mul_epu32(_mm256_mul_epu32(te, ni), p));
  const V ro = _mm256_add_epi64(to, _mm256_mul_epu32(_mm256_mul_epu32(to, oni), op));
  return _mm256_blend_epi32(_mm256_srli_epi64(re, 32), ro, 0xAA);
}

// Coefficients per block of the stages whose butterflies stay within a block: 8 KiB, which
// the level-1 cache holds with its twiddles while the block runs through them.
constexpr int kBlock = 256;

// One forward stage of half-length len over coef[from..to) (whole blocks of 2·len):
// decimation in frequency, coefficients in [0, 2p) kept there. Roots at j = 0 are 1.
void forwardStage(int len, int from, int to, V p, V p2) {
  for (int s = from; s < to; s += 2 * len) {
    const V u = load(coef[s]), v = load(coef[s + len]);
    store(coef[s], fold(_mm256_add_epi32(u, v), p2));
    store(coef[s + len], fold(_mm256_add_epi32(_mm256_sub_epi32(u, v), p2), p2));
    for (int j = 1; j < len; ++j) {
      const V x = load(coef[s + j]), y = load(coef[s + j + len]);
      store(coef[s + j], fold(_mm256_add_epi32(x, y), p2));
      store(coef[s + j + len], mulTwiddle(_mm256_add_epi32(_mm256_sub_epi32(x, y), p2), load(forwardW[len + j]),
                                          load(forwardQ[len + j]), p));
    }
  }
}

// One backward stage, decimation in time, over coefficients in [0, 4p), which stay there:
// only the sum's first term is folded below 2p, as Shoup's product takes any factor below
// 2^32 and gives one below 2p.
void backwardStage(int len, int from, int to, V p, V p2) {
  for (int s = from; s < to; s += 2 * len) {
    for (int j = 0; j < len; ++j) {
      const V u = fold(load(coef[s + j]), p2);
      const V v = j == 0 ? fold(load(coef[s + len]), p2)
                         : mulTwiddle(load(coef[s + j + len]), load(backwardW[len + j]), load(backwardQ[len + j]), p);
      store(coef[s + j], _mm256_add_epi32(u, v));
      store(coef[s + j + len], _mm256_add_epi32(_mm256_sub_epi32(u, v), p2));
    }
  }
}

// The forward transform of coef[0..n): the result in bit-reversed order. The stages longer
// than a block run over everything, the rest block by block.
void forward(int n) {
  const V p = load(prime), p2 = load(twicePrime);
  const int block = n < kBlock ? n : kBlock;
  int len = n / 2;
  for (; 2 * len > block; len /= 2) forwardStage(len, 0, n, p, p2);
  for (int b = 0; b < n; b += block) {
    for (int l = len; l >= 1; l /= 2) forwardStage(l, b, b + block, p, p2);
  }
}

// The backward transform of coef[0..n) from bit-reversed order: n times the inverse
// transform, in [0, 4p).
void backward(int n) {
  const V p = load(prime), p2 = load(twicePrime);
  const int block = n < kBlock ? n : kBlock;
  for (int b = 0; b < n; b += block) {
    for (int l = 1; 2 * l <= block; l *= 2) backwardStage(l, b, b + block, p, p2);
  }
  for (int len = block; len < n; len *= 2) backwardStage(len, 0, n, p, p2);
}

// coef[i] := a·b in lanes 0–2 and b·b in lanes 3–5, from a in lanes 0–2 and b in 3–5.
void pointwise(int n) {
  const V fromB = _mm256_setr_epi32(3, 4, 5, 3, 4, 5, 6, 7);
  for (int i = 0; i < n; ++i) {
    const V v = load(coef[i]);
    store(coef[i], mulMontgomery(v, _mm256_permutevar8x32_epi32(v, fromB)));
  }
}

// The column sums from lanes 0–2 (ab) and 3–5 (bb) of coef[from..to): each residue times
// 2^32/n, n = 2^logN (undoing the Montgomery factor and the backward transform's n), then Garner's
// mixed radix t1 + p1·(t2 + p2·t3), taken modulo 2^64 (the sum itself is below it).
void remainders(int logN, int from, int to, std::uint64_t* ab, std::uint64_t* bb) {
  const V p = load(prime), s = load(scale[logN]), sq = load(scaleQ[logN]), i1 = load(inv1), i1q = load(inv1Q);
  const V i2 = load(inv2), i2q = load(inv2Q), up = load(lift);
  const V firstOf = _mm256_setr_epi32(0, 0, 0, 3, 3, 3, 6, 6), secondOf = _mm256_setr_epi32(0, 1, 1, 3, 4, 4, 6, 6);
  constexpr u64 p1 = kPrime[0], p12 = u64{kPrime[0]} * kPrime[1];
  for (int i = from; i < to; ++i) {
    V r = mulTwiddle(load(coef[i]), s, sq, p);
    r = _mm256_min_epu32(r, _mm256_sub_epi32(r, p));  // [0, p)
    // Lanes 1, 2: (r − t1)/p1 modulo their primes, then lane 2: (that − t2)/p2 modulo p3.
    V d = mulTwiddle(_mm256_sub_epi32(_mm256_add_epi32(r, up), _mm256_permutevar8x32_epi32(r, firstOf)), i1, i1q, p);
    d = _mm256_min_epu32(d, _mm256_sub_epi32(d, p));
    V e = mulTwiddle(_mm256_sub_epi32(_mm256_add_epi32(d, up), _mm256_permutevar8x32_epi32(d, secondOf)), i2, i2q, p);
    e = _mm256_min_epu32(e, _mm256_sub_epi32(e, p));
    store(coef[i], _mm256_blend_epi32(_mm256_blend_epi32(r, d, 0x12), e, 0x24));
  }
  for (int i = from; i < to; ++i) {  // apart from the vector pass: no stores forwarded to loads
    const u32* t = coef[i].v;
    ab[i] = t[0] + p1 * t[1] + p12 * t[2];
    bb[i] = t[3] + p1 * t[4] + p12 * t[5];
  }
}

}  // namespace

}  // namespace cyclicAvx2

void cyclicPairAvx2(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                    std::uint64_t* bb) {
  using namespace cyclicAvx2;
  if (!ready) buildTables();
  const V lanesB = _mm256_setr_epi32(0, 0, 0, -1, -1, -1, 0, 0), lanesA = _mm256_setr_epi32(-1, -1, -1, 0, 0, 0, 0, 0);
  for (int i = 0; i < n; ++i) {
    const V va = _mm256_set1_epi32(i < an ? static_cast<int>(a[i]) : 0);
    const V vb = _mm256_set1_epi32(i < bn ? static_cast<int>(b[i]) : 0);
    store(coef[i], _mm256_or_si256(_mm256_and_si256(va, lanesA), _mm256_and_si256(vb, lanesB)));
  }
  forward(n);
  pointwise(n);
  backward(n);
  int logN = 0;
  while ((1 << logN) < n) ++logN;
  remainders(logN, from, to, ab, bb);
}

}  // namespace limbs
