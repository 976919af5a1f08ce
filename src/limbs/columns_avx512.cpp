// The column-sum kernels for AVX-512 (eight lanes); this file alone is compiled with
// -mavx512f -mavx512dq.
#include <immintrin.h>

#include <utility>

#include "limbs/columns_kernel.h"

namespace limbs::kernel {

namespace {

struct Avx512 {
  using V = __m512i;
  static constexpr int kLanes = 8;
  static V load(const std::uint64_t* p) { return _mm512_loadu_si512(reinterpret_cast<const V*>(p)); }
  static void store(std::uint64_t* p, V x) { _mm512_storeu_si512(reinterpret_cast<V*>(p), x); }
  static V set1(Limb x) { return _mm512_set1_epi64(x); }
  static V mul(V x, V y) {
#if defined(__clang__)
    V r;  // as in the AVX2 kernel: clang would take all 64 bits (vpmullq)
    __asm__("vpmuludq %2, %1, %0" : "=v"(r) : "v"(x), "v"(y));
    return r;
#else
    return _mm512_mul_epu32(x, y);
#endif
  }
  static V add(V x, V y) { return _mm512_add_epi64(x, y); }
  static V sub(V x, V y) { return _mm512_sub_epi64(x, y); }
  static V keepFrom(V x, int k) {
    return _mm512_maskz_mov_epi64(static_cast<__mmask8>(k <= 0 ? 0xFF : k >= 8 ? 0 : 0xFF << k), x);
  }
};

}  // namespace

namespace {

// Lanes [8v, 8v + 8) of plane S, from the widened limbs w = a[8v..) and wBefore = a[8v − 8..).
template <int S>
inline void storeShifted(std::uint64_t* planes, int at, __m512i w, __m512i wBefore) {
  const __m512i x = S == 0 ? w : _mm512_alignr_epi64(w, wBefore, 8 - S);
  _mm512_store_si512(reinterpret_cast<__m512i*>(planes + S * kPlaneLanes + at), x);
}

template <int... S>
inline void storeAll(std::uint64_t* planes, int at, __m512i w, __m512i wBefore, std::integer_sequence<int, S...>) {
  (storeShifted<S>(planes, at, w, wBefore), ...);
}

}  // namespace

// As widen<Avx512>, every plane's vector shifted in registers from the limbs a vector at a
// time and stored aligned (planes is 64-byte aligned): unaligned stores straddle lines. The
// zeros past a reach lane n + 14, the last that a pass of addRows or addCrossRows reads
// (n + kRowGroup − 1 lanes rounded up to a vector), not the lanes past that.
int widenAvx512(std::uint64_t* planes, const Limb* a, int n) {
  const __m512i zero = _mm512_setzero_si512();
  for (int s = 0; s < 8; ++s) _mm512_store_si512(reinterpret_cast<__m512i*>(planes + s * kPlaneLanes - 8), zero);
  __m512i before = zero;
  for (int at = 0; at < n + 2 * kRowGroup - 1; at += 8) {
    const int left = n - at;
    const auto mask = static_cast<__mmask16>(left >= 8 ? 0xFF : left <= 0 ? 0 : (1u << left) - 1);
    const __m512i w =
        mask == 0 ? zero : _mm512_cvtepu32_epi64(_mm512_castsi512_si256(_mm512_maskz_loadu_epi32(mask, a + at)));
    storeAll(planes, at, w, before, std::make_integer_sequence<int, 8>{});
    before = w;
  }
  return n + kRowGroup - 1;
}

void addRowsAvx512(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  addRows<Avx512>(acc, planes, len, b, bn);
}

void addCrossRowsAvx512(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  addCrossRows<Avx512>(acc, planes, len, b, bn);
}

bool carrySpanAvx512(Limb* r, const std::int32_t* v, int len) { return carrySpan<Avx512>(r, v, len); }

void addMiddleAvx512(std::uint64_t* s, int m, const std::uint64_t* mid) { addMiddle<Avx512>(s, m, mid); }

void addHalvesAvx512(Limb* h, const Limb* a, int m, int k) { addHalves<Avx512>(h, a, m, k); }

// addSpan and subSpan sixteen limbs at a time, from the top down: a vector reads the limb
// below it before the next vector down rewrites that limb, so a may be r. The limbs a whole
// vector does not reach go one at a time.
namespace {

inline __m512i limbsAt(const Limb* p) { return _mm512_loadu_si512(p); }

}  // namespace

bool addSpanAvx512(Limb* r, const Limb* a, int an) {
  const __m512i base = _mm512_set1_epi32(kBase), one = _mm512_set1_epi32(1);
  __mmask16 on = 0;
  int i = an - 16;
  for (; i >= 1; i -= 16) {
    __m512i s = _mm512_add_epi32(limbsAt(r + i), limbsAt(a + i));
    const __m512i below = _mm512_add_epi32(limbsAt(r + i - 1), limbsAt(a + i - 1));
    s = _mm512_mask_sub_epi32(s, _mm512_cmpge_epu32_mask(s, base), s, base);
    s = _mm512_mask_add_epi32(s, _mm512_cmpge_epu32_mask(below, base), s, one);
    on |= _mm512_cmpeq_epi32_mask(s, base);
    _mm512_storeu_si512(r + i, s);
  }
  const bool low = addSpanScalar<Avx512>(r, a, i + 16);
  return on != 0 || low;
}

bool subSpanAvx512(Limb* r, const Limb* a, int an) {
  const __m512i base = _mm512_set1_epi32(kBase), one = _mm512_set1_epi32(1), ones = _mm512_set1_epi32(-1);
  __mmask16 under = 0;
  int i = an - 16;
  for (; i >= 1; i -= 16) {
    const __m512i x = limbsAt(r + i), y = limbsAt(a + i);
    __m512i d = _mm512_sub_epi32(x, y);
    d = _mm512_mask_add_epi32(d, _mm512_cmplt_epu32_mask(x, y), d, base);
    d = _mm512_mask_sub_epi32(d, _mm512_cmplt_epu32_mask(limbsAt(r + i - 1), limbsAt(a + i - 1)), d, one);
    under |= _mm512_cmpeq_epi32_mask(d, ones);
    _mm512_storeu_si512(r + i, d);
  }
  const bool low = subSpanScalar<Avx512>(r, a, i + 16);
  return under != 0 || low;
}

// takeOff eight limbs at a time, the top vector first; the products are the signed 32-bit
// lanes' (limbs below 2^27, k within ±2^31).
void takeOffAvx512(std::int64_t* x, const Limb* v, int n, std::int32_t k) {
  const __m512i times = _mm512_set1_epi64(k);
  int i = n - 8;
  for (; i >= 0; i -= 8) {
    const __m512i limbs = _mm512_cvtepu32_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + i)));
    _mm512_storeu_si512(x + i, _mm512_sub_epi64(_mm512_loadu_si512(x + i), _mm512_mul_epi32(limbs, times)));
  }
  takeOffScalar<Avx512>(x, v, i + 8, k);
}

namespace {

// floor(x / d) for whole x and d in double precision, given d's rounded inverse and a bias
// between the error of x·inverse + bias (below x/d·2^−51) and 1/d less that error: a
// quotient that is whole comes out just above itself, and one that is not stays below the
// next whole number, so rounding down is exact.
inline __m512d floorDiv(__m512d x, __m512d inverse, __m512d bias) {
  return _mm512_roundscale_pd(_mm512_fmadd_pd(x, inverse, bias), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
}

}  // namespace

// v[k] := lo[k] + mid[k−1] + hi[k−2] for acc[k] = lo + mid·10^8 + hi·10^16, k < len;
// acc holds len rounded up to 8 sums. Exactly, in double precision: with acc = t·2^16 + u,
// hi = floor(t / 5^16), and with the rest r = t − hi·5^16, mid = floor(s / 5^8) for
// s = r·2^8 + floor(u / 2^8) (the bits dropped at each step are below the divisor's factor
// of two), lo the rest of s, times 2^8, plus u's low byte. Every figure stays below 2^53.
// The biases: hi < 1,845, so its error is below 2^−40 and 1/5^16 > 2^−38; mid < 10^8, its
// error below 2^−24 and 1/5^8 > 2^−19.
void splitColumnsAvx512(const std::uint64_t* acc, int len, std::int32_t* v) {
  const __m512d p16 = _mm512_set1_pd(152587890625.0), p8 = _mm512_set1_pd(390625.0);  // 5^16, 5^8
  const __m512d inv16 = _mm512_set1_pd(1 / 152587890625.0), inv8 = _mm512_set1_pd(1 / 390625.0);
  const __m512d bias16 = _mm512_set1_pd(0x1p-39), bias8 = _mm512_set1_pd(0x1p-21), byte = _mm512_set1_pd(256.0);
  const __m512i lowByte = _mm512_set1_epi64(255);
  __m512d midBefore = _mm512_setzero_pd(), hiBefore = _mm512_setzero_pd();
  for (int k = 0; k < len; k += 8) {
    const __m512i x = _mm512_loadu_si512(acc + k), u = _mm512_and_si512(x, _mm512_set1_epi64(0xFFFF));
    const __m512d t = _mm512_cvtepu64_pd(_mm512_srli_epi64(x, 16));
    const __m512d hi = floorDiv(t, inv16, bias16);
    const __m512d s = _mm512_fmadd_pd(_mm512_fnmadd_pd(hi, p16, t), byte, _mm512_cvtepi64_pd(_mm512_srli_epi64(u, 8)));
    const __m512d mid = floorDiv(s, inv8, bias8);
    const __m512d low = _mm512_cvtepi64_pd(_mm512_and_si512(u, lowByte));
    const __m512d lo = _mm512_fmadd_pd(_mm512_fnmadd_pd(mid, p8, s), byte, low);
    const __m512i midUp = _mm512_alignr_epi64(_mm512_castpd_si512(mid), _mm512_castpd_si512(midBefore), 7);
    const __m512i hiUp = _mm512_alignr_epi64(_mm512_castpd_si512(hi), _mm512_castpd_si512(hiBefore), 6);
    const __m512d sum = _mm512_add_pd(_mm512_add_pd(lo, _mm512_castsi512_pd(midUp)), _mm512_castsi512_pd(hiUp));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(v + k), _mm512_cvttpd_epi32(sum));
    midBefore = mid;
    hiBefore = hi;
  }
}

}  // namespace limbs::kernel
