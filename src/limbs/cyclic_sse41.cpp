// The transform pair on four lanes, for SSE4.1 (this file alone is compiled with -msse4.1),
// which brings the 32-bit lane product and unsigned minimum the transforms take. An entry
// holds two coefficients of the six transforms in twelve lanes, three vectors, as the
// AVX-512 file's vectors hold them: coefficient j in lanes 0–5 (a modulo the three primes,
// then b), j + n/2 in lanes 6–11. The first forward stage pairs exactly those two, and the
// last backward one; every other stage runs the same butterflies on both, the twiddles
// alike, with no lane idle. The remainders go four columns at a time.
#include <smmintrin.h>

#include <cassert>

#include "limbs/cyclic_stages.h"

namespace limbs {

namespace cyclicSse41 {

namespace {

using cyclic::Lanes;
using H = __m128i;

// Lanes 0–3, 4–7 and 8–11 of an entry.
struct Triple {
  H x, y, z;
};
struct alignas(16) Twelve {
  std::uint32_t v[12];
};
Twelve coef[kMaxCyclic / 2];

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

// Lanes 0–5 of `lower` into lanes 0–5, those of `upper` into 6–11.
Triple cross(const Lanes& lower, const Lanes& upper) {
  return {at(lower.v), _mm_unpacklo_epi64(at(lower.v + 4), at(upper.v)), at(upper.v + 2)};
}

struct Sse41 {
  using V = Triple;
  using Entry = Twelve;
  static V load(const Twelve& c) { return {at(c.v), at(c.v + 4), at(c.v + 8)}; }
  static void store(Twelve& c, V v) {
    _mm_store_si128(reinterpret_cast<H*>(c.v), v.x), _mm_store_si128(reinterpret_cast<H*>(c.v + 4), v.y);
    _mm_store_si128(reinterpret_cast<H*>(c.v + 8), v.z);
  }
  static V table(const Lanes& l) { return cross(l, l); }
  static V add(V a, V b) { return {_mm_add_epi32(a.x, b.x), _mm_add_epi32(a.y, b.y), _mm_add_epi32(a.z, b.z)}; }
  static V sub(V a, V b) { return {_mm_sub_epi32(a.x, b.x), _mm_sub_epi32(a.y, b.y), _mm_sub_epi32(a.z, b.z)}; }
  static V reduce(V s, V m) { return {cyclicSse41::reduce(s.x, m.x), cyclicSse41::reduce(s.y, m.y), cyclicSse41::reduce(s.z, m.z)}; }
  static V mulTwiddle(V a, V w, V q, V p) {
    return {cyclicSse41::mulTwiddle(a.x, w.x, q.x, p.x), cyclicSse41::mulTwiddle(a.y, w.y, q.y, p.y),
            cyclicSse41::mulTwiddle(a.z, w.z, q.z, p.z)};
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

// x (a limb of a) in the lanes of a, y (of b) in those of b, in both coefficients.
Triple limbs(Limb x, Limb y) {
  const H a = _mm_set1_epi32(static_cast<int>(x)), b = _mm_set1_epi32(static_cast<int>(y));
  return {_mm_blend_epi16(a, b, 0xC0), _mm_blend_epi16(b, a, 0xF0), _mm_blend_epi16(b, a, 0x03)};
}

// The first forward stage, read from the limbs: entry j := (u + v, (u − v)·w) for u and v
// the coefficients j and j + n/2, both through one product (by 1 in lanes 0–5); where the
// limbs end below j + n/2, v is 0.
void firstStage(const Limb* a, int an, const Limb* b, int bn, int n) {
  const Triple p = Sse41::table(cyclic::prime), p2 = Sse41::table(cyclic::twicePrime);
  const Triple upper2p = {_mm_setzero_si128(), _mm_blend_epi16(_mm_setzero_si128(), p2.y, 0xF0), p2.z};
  const int half = n / 2, top = an > bn ? an : bn;
  const auto limbsAt = [&](int i) { return limbs(i < an ? a[i] : 0, i < bn ? b[i] : 0); };
  for (int j = 0; j < half; ++j) {
    Triple s = Sse41::add(limbsAt(j), upper2p);
    if (half + j < top) {
      const Triple v = limbsAt(half + j);
      s = Sse41::add(s, {v.x, _mm_sub_epi32(_mm_blend_epi16(v.y, _mm_setzero_si128(), 0xF0),
                                            _mm_blend_epi16(_mm_setzero_si128(), v.y, 0xF0)),
                         _mm_sub_epi32(_mm_setzero_si128(), v.z)});
    }
    const Triple t = Sse41::mulTwiddle(s, cross(cyclic::one, cyclic::forwardW[half + j]),
                                       cross(cyclic::oneQ, cyclic::forwardQ[half + j]), p);
    Sse41::store(coef[j], {s.x, t.y, t.z});  // lanes 0–3 hold u + v below 2·B: no product needed
  }
}

// a·b into the lanes of a and b·b into those of b, from a and b, in both coefficients.
void pointwise(int n) {
  const Triple p = Sse41::table(cyclic::prime), ni = Sse41::table(cyclic::negInverse);
  for (int j = 0; j < n / 2; ++j) {
    const Triple v = Sse41::load(coef[j]);
    const H b0 = _mm_shuffle_epi32(_mm_alignr_epi8(v.y, v.x, 12), 0x24);    // lanes 3, 4, 5, 3
    const H b1 = _mm_unpacklo_epi64(v.y, _mm_shuffle_epi32(v.z, 0x39));     // 4, 5, 9, 10
    const H b2 = _mm_shuffle_epi32(v.z, 0xE7);                              // 11, 9, 10, 11
    Sse41::store(coef[j], {mulMontgomery(v.x, b0, p.x, ni.x), mulMontgomery(v.y, b1, p.y, ni.y),
                           mulMontgomery(v.z, b2, p.z, ni.z)});
  }
}

// The last backward stage, into the shared coefficients, one per entry of eight lanes as the
// remainders read them ([0, 4p); lanes 6 and 7 unused).
void lastStage(int n) {
  const Triple p = Sse41::table(cyclic::prime);
  const H p2low = at(cyclic::twicePrime.v), p2high = at(cyclic::twicePrime.v + 4);
  const int half = n / 2;
  for (int j = 0; j < half; ++j) {
    const Triple c = Sse41::load(coef[j]);
    const Triple t = Sse41::mulTwiddle(c, cross(cyclic::one, cyclic::backwardW[half + j]),
                                       cross(cyclic::oneQ, cyclic::backwardQ[half + j]), p);
    const H ulow = reduce(c.x, p2low), uhigh = _mm_move_epi64(t.y);  // lanes 0–3 only reduced
    const H vlow = _mm_alignr_epi8(t.z, t.y, 8), vhigh = _mm_srli_si128(t.z, 8);
    H* sum = reinterpret_cast<H*>(cyclic::coef[j].v);
    H* difference = reinterpret_cast<H*>(cyclic::coef[half + j].v);
    _mm_store_si128(sum, _mm_add_epi32(ulow, vlow)), _mm_store_si128(sum + 1, _mm_add_epi32(uhigh, vhigh));
    _mm_store_si128(difference, _mm_add_epi32(_mm_sub_epi32(ulow, vlow), p2low));
    _mm_store_si128(difference + 1, _mm_add_epi32(_mm_sub_epi32(uhigh, vhigh), p2high));
  }
}

}  // namespace

}  // namespace cyclicSse41

void cyclicPairSse41(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                     std::uint64_t* bb) {
  using namespace cyclicSse41;
  assert(n <= kMaxCyclic && an <= n && bn <= n && 0 <= from && from <= to && to <= n);
  cyclic::prepare();
  const Triple p = Sse41::table(cyclic::prime), p2 = Sse41::table(cyclic::twicePrime);
  firstStage(a, an, b, bn, n);
  cyclic::forwardStages<Sse41>(coef, n / 2, n / 4, p, p2);
  pointwise(n);
  cyclic::backwardStages<Sse41>(coef, n / 2, p, p2);
  lastStage(n);
  cyclic::remaindersFour<Sse41>(n, from, to, ab, bb);
}

}  // namespace limbs
