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

namespace {

using V = __m256i;

// The lanes as doubles, exactly for values below 2^52: each added to 2^52 in its bits.
constexpr long long kTwo52 = 0x4330000000000000;
__m256d asDouble(V x) {
  const V magic = _mm256_set1_epi64x(kTwo52);
  return _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(x, magic)), _mm256_castsi256_pd(magic));
}

// q := floor(x / 10^8) and x := x − q·10^8 for x below 2^64: the quotient estimated in double
// precision from x's 32-bit halves is within one of the truth (relative error under 2^−51 on
// a quotient below 1.9·10^11), and one step either way corrects it.
void divBase(V& x, V& q) {
  const V base = _mm256_set1_epi64x(kBase), magic = _mm256_set1_epi64x(kTwo52);
  const __m256d high = asDouble(_mm256_srli_epi64(x, 32)), low = asDouble(_mm256_and_si256(x, _mm256_set1_epi64x(0xFFFFFFFF)));
  const __m256d whole = _mm256_add_pd(_mm256_mul_pd(high, _mm256_set1_pd(4294967296.0)), low);
  const __m256d estimate = _mm256_floor_pd(_mm256_mul_pd(whole, _mm256_set1_pd(1e-8)));
  q = _mm256_sub_epi64(_mm256_castpd_si256(_mm256_add_pd(estimate, _mm256_castsi256_pd(magic))), magic);
  const V qBase = _mm256_add_epi64(_mm256_mul_epu32(q, base), _mm256_slli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(q, 32), base), 32));
  x = _mm256_sub_epi64(x, qBase);
  const V below = _mm256_cmpgt_epi64(_mm256_setzero_si256(), x);  // all ones where x < 0
  x = _mm256_add_epi64(x, _mm256_and_si256(below, base)), q = _mm256_add_epi64(q, below);
  const V above = _mm256_cmpgt_epi64(x, _mm256_set1_epi64x(kBase - 1));
  x = _mm256_sub_epi64(x, _mm256_and_si256(above, base)), q = _mm256_sub_epi64(q, above);
}

}  // namespace

// v[k] := lo[k] + mid[k−1] + hi[k−2] for acc[k] = lo + mid·10^8 + hi·10^16, k < len, four
// sums at a time; acc holds len rounded up to four sums.
void splitColumnsAvx2(const std::uint64_t* acc, int len, std::int32_t* v) {
  V midBefore = _mm256_setzero_si256(), hiBefore = _mm256_setzero_si256();
  const V evens = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
  for (int k = 0; k < len; k += 4) {
    V lo = _mm256_loadu_si256(reinterpret_cast<const V*>(acc + k)), mid, hi;
    divBase(lo, mid);
    divBase(mid, hi);
    const V midUp = _mm256_alignr_epi8(mid, _mm256_permute2x128_si256(midBefore, mid, 0x21), 8);  // one lane up
    const V hiUp = _mm256_permute2x128_si256(hiBefore, hi, 0x21);                                  // two lanes up
    const V sum = _mm256_add_epi64(_mm256_add_epi64(lo, midUp), hiUp);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(v + k), _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(sum, evens)));
    midBefore = mid;
    hiBefore = hi;
  }
}

}  // namespace limbs::kernel
