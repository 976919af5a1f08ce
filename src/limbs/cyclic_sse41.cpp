// The transform pair on four lanes, for SSE4.1 (this file alone is compiled with -msse4.1),
// which brings the 32-bit lane product and unsigned minimum the transforms take: twelve
// lanes to an entry, two coefficients (cyclic_stages.h); the remainders four columns at a
// time. Only the vector operations are here.
#include <smmintrin.h>

#include <cassert>

#include "limbs/cyclic_stages.h"

namespace limbs {

namespace cyclicSse41 {

namespace {

using cyclic::Lanes;
using cyclic::Twelve;
using H = __m128i;

// Lanes 0–3, 4–7 and 8–11 of an entry.
struct Triple {
  H x, y, z;
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
H at(const std::uint32_t* v) { return _mm_loadu_si128(reinterpret_cast<const H*>(v)); }
H zero() { return _mm_setzero_si128(); }

// The vector operations the twelve-lane templates take (cyclic_stages.h says what each does).
struct Sse41 {
  using V = Triple;
  using Entry = Twelve;
  using H = cyclicSse41::H;
  static V load(const Twelve& c) { return {at(c.v), at(c.v + 4), at(c.v + 8)}; }
  static void store(Twelve& c, V v) { hStore(c.v, v.x), hStore(c.v + 4, v.y), hStore(c.v + 8, v.z); }
  static V cross(const Lanes& lower, const Lanes& upper) {
    return {at(lower.v), _mm_unpacklo_epi64(at(lower.v + 4), at(upper.v)), at(upper.v + 2)};
  }
  static V table(const Lanes& l) { return cross(l, l); }
  static V add(V a, V b) { return {_mm_add_epi32(a.x, b.x), _mm_add_epi32(a.y, b.y), _mm_add_epi32(a.z, b.z)}; }
  static V sub(V a, V b) { return {_mm_sub_epi32(a.x, b.x), _mm_sub_epi32(a.y, b.y), _mm_sub_epi32(a.z, b.z)}; }
  static V reduce(V s, V m) { return {hReduce(s.x, m.x), hReduce(s.y, m.y), hReduce(s.z, m.z)}; }
  static V mulTwiddle(V a, V w, V q, V p) {
    return {hMulTwiddle(a.x, w.x, q.x, p.x), hMulTwiddle(a.y, w.y, q.y, p.y), hMulTwiddle(a.z, w.z, q.z, p.z)};
  }
  static V limbs(Limb x, Limb y) {
    const H a = hSet(x), b = hSet(y);
    return {_mm_blend_epi16(a, b, 0xC0), _mm_blend_epi16(b, a, 0xF0), _mm_blend_epi16(b, a, 0x03)};
  }
  static V upper(V v) { return {zero(), _mm_blend_epi16(zero(), v.y, 0xF0), v.z}; }
  static V flip(V v) { return sub({v.x, _mm_blend_epi16(v.y, zero(), 0xF0), zero()}, upper(v)); }
  // a·b into the lanes of a and b·b into those of b, in both coefficients: each lane times
  // the lane of b with its prime (3, 4, 5, 3 | 4, 5, 9, 10 | 11, 9, 10, 11).
  static V pointwise(V v) {
    const V p = table(cyclic::prime), ni = table(cyclic::negInverse);
    const H b0 = _mm_shuffle_epi32(_mm_alignr_epi8(v.y, v.x, 12), 0x24);
    const H b1 = _mm_unpacklo_epi64(v.y, _mm_shuffle_epi32(v.z, 0x39));
    const H b2 = _mm_shuffle_epi32(v.z, 0xE7);
    return {mulMontgomery(v.x, b0, p.x, ni.x), mulMontgomery(v.y, b1, p.y, ni.y), mulMontgomery(v.z, b2, p.z, ni.z)};
  }
  static H lowPair(H y) { return _mm_move_epi64(y); }
  static H middle(H y, H z) { return _mm_alignr_epi8(z, y, 8); }
  static H highPair(H z) { return _mm_srli_si128(z, 8); }
  static H hLoad(const std::uint32_t* v) { return at(v); }
  static void hStore(std::uint32_t* v, H h) { _mm_store_si128(reinterpret_cast<H*>(v), h); }
  static H hSet(std::uint32_t x) { return _mm_set1_epi32(static_cast<int>(x)); }
  static H hAdd(H x, H y) { return _mm_add_epi32(x, y); }
  static H hSub(H x, H y) { return _mm_sub_epi32(x, y); }
  static H hReduce(H s, H m) { return cyclicSse41::reduce(s, m); }
  static H hMulTwiddle(H x, H w, H q, H p) { return cyclicSse41::mulTwiddle(x, w, q, p); }
  static void transpose(const Lanes* c, H* t) {
    for (int half = 0; half < 8; half += 4) {
      const auto row = [&](int i) { return at(c[i].v + half); };
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
  cyclic::pairSumsTwelve<cyclicSse41::Sse41>(cyclic::twelve, a, an, b, bn, n);
  cyclic::remaindersFour<cyclicSse41::Sse41>(n, from, to, ab, bb);
}

}  // namespace limbs
