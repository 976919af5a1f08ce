// Column sums of schoolbook products. The vector kernels multiply a widened, zero-padded
// copy of one operand by four limbs of the other at a time; a square's cross products are
// split into rectangles (lo·hi) and two smaller triangles, so they use the same kernel.
#include "engine/wide_columns.h"

#if defined(ZANTORIX_X86_KERNELS)
#include <emmintrin.h>
#endif

#include "engine/wide_columns_kernel.h"

namespace engine::wide {

namespace kernel {
void addRowsAvx2(std::uint64_t* acc, const std::uint64_t* ap, int an, const Limb* b, int bn);
void addRowsAvx512(std::uint64_t* acc, const std::uint64_t* ap, int an, const Limb* b, int bn);
void splitColumnsAvx512(const std::uint64_t* acc, int len, std::int32_t* v);
}  // namespace kernel

namespace {

// Below this many limbs in the shorter operand the plain loop is as fast as a vector pass.
constexpr int kVectorMin = 4;
// The longer operand widened to 64-bit lanes: kPad zero lanes, at most kMaxOperand limbs,
// then kColumnSlack zero lanes that the last vector of each pass reads.
constexpr int kPad = kernel::kRowGroup - 1;
std::uint64_t padded[kPad + kMaxOperand + kColumnSlack];

// padded := a widened, with zeros around it; returns where a starts.
const std::uint64_t* widen(const Limb* a, int n) {
  for (int i = 0; i < kPad; ++i) padded[i] = 0;
  for (int i = 0; i < n; ++i) padded[kPad + i] = a[i];
  for (int i = 0; i < kColumnSlack; ++i) padded[kPad + n + i] = 0;
  return padded + kPad;
}

void addRowsPlain(std::uint64_t* acc, const std::uint64_t* ap, int an, const Limb* b, int bn) {
  for (int j = 0; j < bn; ++j) {
    const std::uint64_t bj = b[j];
    for (int i = 0; i < an; ++i) acc[i + j] += bj * ap[i];
  }
}

#if defined(ZANTORIX_X86_KERNELS)
struct Sse2 {
  using V = __m128i;
  static constexpr int kLanes = 2;
  static V load(const std::uint64_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static void store(std::uint64_t* p, V x) { _mm_storeu_si128(reinterpret_cast<V*>(p), x); }
  static V set1(Limb x) { return _mm_set1_epi64x(x); }
  static V mul(V x, V y) { return _mm_mul_epu32(x, y); }
  static V add(V x, V y) { return _mm_add_epi64(x, y); }
};

void addRowsSse2(std::uint64_t* acc, const std::uint64_t* ap, int an, const Limb* b, int bn) {
  kernel::addRows<Sse2>(acc, ap, an, b, bn);
}

Kernel detect() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")) return Kernel::avx512;
  if (__builtin_cpu_supports("avx2")) return Kernel::avx2;
  return Kernel::sse2;
}
#else
Kernel detect() { return Kernel::plain; }
#endif

using RowsKernel = void (*)(std::uint64_t*, const std::uint64_t*, int, const Limb*, int);

RowsKernel kernelFor(Kernel k) {
  switch (k) {
#if defined(ZANTORIX_X86_KERNELS)
    case Kernel::avx512: return kernel::addRowsAvx512;
    case Kernel::avx2: return kernel::addRowsAvx2;
    case Kernel::sse2: return addRowsSse2;
#endif
    default: return addRowsPlain;
  }
}

// Two divisions per sum, one after the other; the pieces land one and two limbs up.
void splitColumnsPlain(const std::uint64_t* acc, int len, std::int32_t* v) {
  std::int32_t mid = 0, hi = 0, hiBelow = 0;  // pieces of the sums one and two columns down
  for (int k = 0; k < len; ++k) {
    const std::uint64_t q = acc[k] / kBase, q2 = q / kBase;
    v[k] = static_cast<std::int32_t>(acc[k] - q * kBase) + mid + hiBelow;
    mid = static_cast<std::int32_t>(q - q2 * kBase);
    hiBelow = hi;
    hi = static_cast<std::int32_t>(q2);
  }
}

using SplitKernel = void (*)(const std::uint64_t*, int, std::int32_t*);

SplitKernel splitFor([[maybe_unused]] Kernel k) {
#if defined(ZANTORIX_X86_KERNELS)
  if (k == Kernel::avx512) return kernel::splitColumnsAvx512;
#endif
  return splitColumnsPlain;
}

RowsKernel rows = kernelFor(bestKernel());
SplitKernel split = splitFor(bestKernel());

}  // namespace

// Detected on first use, which may come from another file's static initialisation.
Kernel bestKernel() {
  static const Kernel best = detect();
  return best;
}

void useKernel(Kernel k) {
  rows = kernelFor(k);
  split = splitFor(k);
}

void splitColumns(const std::uint64_t* acc, int len, std::int32_t* v) { split(acc, len, v); }

// The shorter operand gives the rows; the longer one is widened and padded once.
void addColumns(std::uint64_t* acc, const Limb* a, int an, const Limb* b, int bn) {
  if (an < bn) return addColumns(acc, b, bn, a, an);
  (bn < kVectorMin ? addRowsPlain : rows)(acc, widen(a, an), an, b, bn);
}

// A group of G = kRowGroup rows j0.. takes its products with a[j0+G..n) in one kernel pass;
// the lanes before that suffix must read zero, so each group's own limbs are cleared in the
// widened copy once it is past them. The pairs inside a group are added one by one.
void addCrossColumns(std::uint64_t* acc, const Limb* a, int n) {
  constexpr int G = kernel::kRowGroup;
  std::uint64_t* wide = padded + kPad;
  widen(a, n);
  for (int j0 = 0; j0 < n; j0 += G) {
    const int rowsHere = n - j0 < G ? n - j0 : G;
    for (int t = 0; t < rowsHere; ++t) {
      for (int u = t + 1; u < rowsHere; ++u) acc[2 * j0 + t + u] += std::uint64_t{a[j0 + t]} * a[j0 + u];
      wide[j0 + t] = 0;
    }
    if (j0 + G < n) rows(acc + 2 * j0 + G, wide + j0 + G, n - j0 - G, a + j0, rowsHere);
  }
}

}  // namespace engine::wide
