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

}  // namespace limbs::kernel
