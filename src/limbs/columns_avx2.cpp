// The column-sum kernel for AVX2 (four lanes); this file alone is compiled with -mavx2.
#include <immintrin.h>

#include "limbs/columns_kernel.h"

namespace limbs::kernel {

namespace {

struct Avx2 {
  using V = __m256i;
  static constexpr int kLanes = 4;
  static V load(const std::uint64_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
  static void store(std::uint64_t* p, V x) { _mm256_storeu_si256(reinterpret_cast<V*>(p), x); }
  static V set1(Limb x) { return _mm256_set1_epi64x(x); }
  static V mul(V x, V y) {
#if defined(__clang__)
    // The instruction itself: clang forgets that a vector held across the loop has zero
    // upper halves and would multiply all 64 bits (two products and a shift each).
    V r;
    __asm__("vpmuludq %2, %1, %0" : "=x"(r) : "x"(x), "x"(y));
    return r;
#else
    return _mm256_mul_epu32(x, y);
#endif
  }
  static V add(V x, V y) { return _mm256_add_epi64(x, y); }
  static V sub(V x, V y) { return _mm256_sub_epi64(x, y); }
  static V keepFrom(V x, int k) {
    return _mm256_and_si256(x, _mm256_cmpgt_epi64(_mm256_set_epi64x(3, 2, 1, 0), _mm256_set1_epi64x(k - 1)));
  }
};

}  // namespace

int widenAvx2(std::uint64_t* planes, const Limb* a, int n) { return widen<Avx2>(planes, a, n); }

void addRowsAvx2(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  addRows<Avx2>(acc, planes, len, b, bn);
}

void addCrossRowsAvx2(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  addCrossRows<Avx2>(acc, planes, len, b, bn);
}

bool carrySpanAvx2(Limb* r, const std::int32_t* v, int len) { return carrySpan<Avx2>(r, v, len); }

void addMiddleAvx2(std::uint64_t* s, int m, const std::uint64_t* mid) { addMiddle<Avx2>(s, m, mid); }

void addHalvesAvx2(Limb* h, const Limb* a, int m, int k) { addHalves<Avx2>(h, a, m, k); }

// addSpan and subSpan eight limbs at a time, from the top down, as AVX-512's: a may be r.
namespace {

inline __m256i limbsAt(const Limb* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
// All ones in the lanes where x >= y, unsigned.
inline __m256i atLeast(__m256i x, __m256i y) { return _mm256_cmpeq_epi32(_mm256_max_epu32(x, y), x); }

}  // namespace

bool addSpanAvx2(Limb* r, const Limb* a, int an) {
  const __m256i base = _mm256_set1_epi32(kBase);
  __m256i on = _mm256_setzero_si256();
  int i = an - 8;
  for (; i >= 1; i -= 8) {
    __m256i s = _mm256_add_epi32(limbsAt(r + i), limbsAt(a + i));
    const __m256i below = _mm256_add_epi32(limbsAt(r + i - 1), limbsAt(a + i - 1));
    s = _mm256_sub_epi32(_mm256_sub_epi32(s, _mm256_and_si256(atLeast(s, base), base)), atLeast(below, base));
    on = _mm256_or_si256(on, _mm256_cmpeq_epi32(s, base));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(r + i), s);
  }
  const bool low = addSpanScalar<Avx2>(r, a, i + 8);
  return _mm256_movemask_epi8(on) != 0 || low;
}

bool subSpanAvx2(Limb* r, const Limb* a, int an) {
  const __m256i base = _mm256_set1_epi32(kBase), ones = _mm256_set1_epi32(-1);
  __m256i under = _mm256_setzero_si256();
  int i = an - 8;
  for (; i >= 1; i -= 8) {
    const __m256i x = limbsAt(r + i), y = limbsAt(a + i);
    // all ones where r[i − 1] < a[i − 1]
    const __m256i below = _mm256_xor_si256(atLeast(limbsAt(r + i - 1), limbsAt(a + i - 1)), ones);
    __m256i d = _mm256_sub_epi32(x, y);
    d = _mm256_add_epi32(d, _mm256_andnot_si256(atLeast(x, y), base));
    d = _mm256_add_epi32(d, below);
    under = _mm256_or_si256(under, _mm256_cmpeq_epi32(d, ones));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(r + i), d);
  }
  const bool low = subSpanScalar<Avx2>(r, a, i + 8);
  return _mm256_movemask_epi8(under) != 0 || low;
}

// takeOff four limbs at a time, the top vector first, as AVX-512's.
void takeOffAvx2(std::int64_t* x, const Limb* v, int n, std::int32_t k) {
  const __m256i times = _mm256_set1_epi64x(k);
  int i = n - 4;
  for (; i >= 0; i -= 4) {
    const __m256i limbs = _mm256_cvtepu32_epi64(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i)));
    const __m256i now = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + i), _mm256_sub_epi64(now, _mm256_mul_epi32(limbs, times)));
  }
  takeOffScalar<Avx2>(x, v, i + 4, k);
}

namespace {

// x as a double, for x below 2^52: its bits under the exponent of 2^52, less 2^52.
inline __m256d toDouble(__m256i x) {
  const __m256d magic = _mm256_set1_pd(0x1p52);
  return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(x, _mm256_castpd_si256(magic))), magic);
}

// floor(x / d) as AVX-512's floorDiv, the bias added after the product (no fused multiply-add
// here): each rounding is at most half the last place of a figure below 2^11 or 10^8.
inline __m256d floorDiv(__m256d x, __m256d inverse, __m256d bias) {
  return _mm256_floor_pd(_mm256_add_pd(_mm256_mul_pd(x, inverse), bias));
}

}  // namespace

// As splitColumnsAvx512, four sums at a time; the remainders need no fused multiply-add, as
// every product of whole numbers below 2^53 is exact.
void splitColumnsAvx2(const std::uint64_t* acc, int len, std::int32_t* v) {
  const __m256d p16 = _mm256_set1_pd(152587890625.0), p8 = _mm256_set1_pd(390625.0);  // 5^16, 5^8
  const __m256d inv16 = _mm256_set1_pd(1 / 152587890625.0), inv8 = _mm256_set1_pd(1 / 390625.0);
  const __m256d bias16 = _mm256_set1_pd(0x1p-39), bias8 = _mm256_set1_pd(0x1p-21), byte = _mm256_set1_pd(256.0);
  __m256d midBefore = _mm256_setzero_pd(), hiBefore = _mm256_setzero_pd();
  for (int k = 0; k < len; k += 4) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + k));
    const __m256i u = _mm256_and_si256(x, _mm256_set1_epi64x(0xFFFF));
    const __m256d t = toDouble(_mm256_srli_epi64(x, 16));
    const __m256d hi = floorDiv(t, inv16, bias16);
    const __m256d s = _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(t, _mm256_mul_pd(hi, p16)), byte),
                                    toDouble(_mm256_srli_epi64(u, 8)));
    const __m256d mid = floorDiv(s, inv8, bias8);
    const __m256d lo = _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(s, _mm256_mul_pd(mid, p8)), byte),
                                     toDouble(_mm256_and_si256(u, _mm256_set1_epi64x(255))));
    const __m256i midAcross = _mm256_castpd_si256(_mm256_permute2f128_pd(midBefore, mid, 0x21));  // 2 of each
    const __m256d midUp = _mm256_castsi256_pd(_mm256_alignr_epi8(_mm256_castpd_si256(mid), midAcross, 8));
    const __m256d sum = _mm256_add_pd(_mm256_add_pd(lo, midUp), _mm256_permute2f128_pd(hiBefore, hi, 0x21));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(v + k), _mm256_cvttpd_epi32(sum));
    midBefore = mid;
    hiBefore = hi;
  }
}

}  // namespace limbs::kernel
