// The transform pair on four lanes, for SSE4.1 (this file alone is compiled with -msse4.1):
// the AVX2 transforms' entries of eight lanes, each held in two vectors, so every stage is
// the same lane-wise arithmetic; SSE4.1 brings the 32-bit lane product and unsigned minimum
// it takes. The remainders go four columns at a time.
#include <smmintrin.h>

#include <cassert>

#include "limbs/cyclic_stages.h"

namespace limbs {

namespace cyclicSse41 {

namespace {

using cyclic::Lanes;
using H = __m128i;

// An entry's lanes 0–3 and 4–7.
struct Pair {
  H lo, hi;
};

H mulHigh(H x, H y) {
  const H even = _mm_mul_epu32(x, y), odd = _mm_mul_epu32(_mm_srli_epi64(x, 32), _mm_srli_epi64(y, 32));
  return _mm_blend_epi16(_mm_srli_epi64(even, 32), odd, 0xCC);
}
H mulTwiddle(H x, H w, H q, H p) { return _mm_sub_epi32(_mm_mullo_epi32(x, w), _mm_mullo_epi32(mulHigh(x, q), p)); }
H reduce(H s, H m) { return _mm_min_epu32(s, _mm_sub_epi32(s, m)); }
// Montgomery's x·y·2^−32 mod p in [0, 2p) for x, y below 2p, ni = −1/p mod 2^32: the low half
// of x·y + m·p is 0, and carries out exactly where that of x·y is not.
H mulMontgomery(H x, H y, H p, H ni) {
  const H low = _mm_mullo_epi32(x, y), m = _mm_mullo_epi32(low, ni);
  const H carry = _mm_andnot_si128(_mm_cmpeq_epi32(low, _mm_setzero_si128()), _mm_set1_epi32(1));
  return _mm_add_epi32(_mm_add_epi32(mulHigh(x, y), mulHigh(m, p)), carry);
}

struct Sse41 {
  using V = Pair;
  using Entry = Lanes;
  static V load(const Lanes& l) {
    return {_mm_load_si128(reinterpret_cast<const H*>(l.v)), _mm_load_si128(reinterpret_cast<const H*>(l.v + 4))};
  }
  static void store(Lanes& l, V v) {
    _mm_store_si128(reinterpret_cast<H*>(l.v), v.lo), _mm_store_si128(reinterpret_cast<H*>(l.v + 4), v.hi);
  }
  static V table(const Lanes& l) { return load(l); }
  static V add(V x, V y) { return {_mm_add_epi32(x.lo, y.lo), _mm_add_epi32(x.hi, y.hi)}; }
  static V sub(V x, V y) { return {_mm_sub_epi32(x.lo, y.lo), _mm_sub_epi32(x.hi, y.hi)}; }
  static V reduce(V s, V m) { return {cyclicSse41::reduce(s.lo, m.lo), cyclicSse41::reduce(s.hi, m.hi)}; }
  static V mulTwiddle(V x, V w, V q, V p) {
    return {cyclicSse41::mulTwiddle(x.lo, w.lo, q.lo, p.lo), cyclicSse41::mulTwiddle(x.hi, w.hi, q.hi, p.hi)};
  }
  static V limbs(Limb x, Limb y) {
    const int a = static_cast<int>(x), b = static_cast<int>(y);
    return {_mm_setr_epi32(a, a, a, b), _mm_setr_epi32(b, b, 0, 0)};
  }
  // a·b into lanes 0–2 and b·b into 3–5: lanes 3, 4, 5, 3 against the low half; the high
  // half (b, b, 0, 0) against itself.
  static V pointwise(V v) {
    const V p = load(cyclic::prime), ni = load(cyclic::negInverse);
    const H b = _mm_shuffle_epi32(_mm_alignr_epi8(v.hi, v.lo, 12), 0x24);
    return {mulMontgomery(v.lo, b, p.lo, ni.lo), mulMontgomery(v.hi, v.hi, p.hi, ni.hi)};
  }
  // The remainders' four lanes.
  using H = cyclicSse41::H;
  static H hSet(std::uint32_t x) { return _mm_set1_epi32(static_cast<int>(x)); }
  static H hAdd(H x, H y) { return _mm_add_epi32(x, y); }
  static H hSub(H x, H y) { return _mm_sub_epi32(x, y); }
  static H hReduce(H s, H m) { return cyclicSse41::reduce(s, m); }
  static H hMulTwiddle(H x, H w, H q, H p) { return cyclicSse41::mulTwiddle(x, w, q, p); }
  static void transpose(const Lanes* c, H* t) {
    for (int half = 0; half < 8; half += 4) {
      const auto row = [&](int i) { return _mm_load_si128(reinterpret_cast<const H*>(c[i].v + half)); };
      const H a0 = _mm_unpacklo_epi32(row(0), row(1)), a1 = _mm_unpackhi_epi32(row(0), row(1));
      const H a2 = _mm_unpacklo_epi32(row(2), row(3)), a3 = _mm_unpackhi_epi32(row(2), row(3));
      t[half] = _mm_unpacklo_epi64(a0, a2), t[half + 1] = _mm_unpackhi_epi64(a0, a2);
      t[half + 2] = _mm_unpacklo_epi64(a1, a3), t[half + 3] = _mm_unpackhi_epi64(a1, a3);
    }
  }
  static void wide(H t1, H t2, H t3, std::uint64_t* out) {
    constexpr std::uint64_t p12 = std::uint64_t{cyclic::kPrime[0]} * cyclic::kPrime[1];
    const H p1 = _mm_set1_epi64x(cyclic::kPrime[0]), low = _mm_set1_epi64x(p12 & 0xFFFFFFFFu);
    const H high = _mm_set1_epi64x(p12 >> 32);
    for (int half = 0; half < 2; ++half) {
      const auto widen = [half](H v) { return _mm_cvtepu32_epi64(half == 0 ? v : _mm_srli_si128(v, 8)); };
      const H w1 = widen(t1), w2 = widen(t2), w3 = widen(t3);
      H v = _mm_add_epi64(w1, _mm_mul_epu32(w2, p1));
      v = _mm_add_epi64(v, _mm_mul_epu32(w3, low));
      v = _mm_add_epi64(v, _mm_slli_epi64(_mm_mul_epu32(w3, high), 32));
      _mm_storeu_si128(reinterpret_cast<H*>(out + 2 * half), v);
    }
  }
};

}  // namespace

}  // namespace cyclicSse41

void cyclicPairSse41(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                     std::uint64_t* bb) {
  assert(n <= kMaxCyclic && an <= n && bn <= n && 0 <= from && from <= to && to <= n);
  cyclic::prepare();
  cyclic::pairSums<cyclicSse41::Sse41>(cyclic::coef, a, an, b, bn, n);
  cyclic::remaindersFour<cyclicSse41::Sse41>(n, from, to, ab, bb);
}

}  // namespace limbs
