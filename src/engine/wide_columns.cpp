// Column sums of schoolbook products. The vector kernels multiply eight limbs of one operand
// at a time by the other, held as eight widened copies shifted one lane apart (planes), so
// that every vector load is aligned; a square's cross products use the same kernel, each
// group of eight rows from its own lane with the pairs on and below the diagonal cleared.
#include "engine/wide_columns.h"

#if defined(ZANTORIX_X86_KERNELS)
#include <emmintrin.h>
#endif

#include "engine/wide_columns_kernel.h"

namespace engine::wide {

namespace kernel {
void addRowsAvx2(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn);
void addRowsAvx512(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn);
void splitColumnsAvx512(const std::uint64_t* acc, int len, std::int32_t* v);
}  // namespace kernel

namespace {

constexpr int G = kernel::kRowGroup;
// Below this many limbs in the shorter operand the plain loop is as fast as a vector pass.
constexpr int kVectorMin = G;
// The planes of the longer operand (kernel::addRows); 64-byte aligned for whole-line loads.
alignas(64) std::uint64_t planes[G * kernel::kPlaneLanes];

// planes := a[0..n) widened, plane t shifted t lanes up, zero elsewhere; returns the lanes
// the kernel must cover, n + G − 1.
int widen(const Limb* a, int n) {
  for (int t = 0; t < G; ++t) {
    std::uint64_t* plane = planes + t * kernel::kPlaneLanes;
    for (int m = 0; m < G; ++m) plane[m] = 0;  // fixed counts: no string stores
    for (int i = 0; i < n; ++i) plane[i + t] = a[i];
    for (int m = 0; m < 2 * G; ++m) plane[n + t + m] = 0;
  }
  return n + G - 1;
}

// The kernel's sums one row at a time: row j0 + t against plane t.
void addRowsPlain(std::uint64_t* acc, const std::uint64_t* p, int len, const Limb* b, int bn) {
  for (int j = 0; j < bn; ++j) {
    const std::uint64_t bj = b[j];
    const std::uint64_t* plane = p + (j % G) * kernel::kPlaneLanes;
    for (int m = 0; m < len; ++m) acc[j - j % G + m] += bj * plane[m];
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

void addRowsSse2(std::uint64_t* acc, const std::uint64_t* p, int len, const Limb* b, int bn) {
  kernel::addRows<Sse2>(acc, p, len, b, bn);
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

void splitColumns(const std::uint64_t* acc, int len, std::int32_t* v) {
  (len < 2 * G ? splitColumnsPlain : split)(acc, len, v);
}

// The shorter operand gives the rows; the longer one is widened into the planes once.
// A few rows go straight through the limbs: widening would cost more than they do.
void addColumns(std::uint64_t* acc, const Limb* a, int an, const Limb* b, int bn) {
  if (an < bn) return addColumns(acc, b, bn, a, an);
  if (bn < kVectorMin) {
    for (int j = 0; j < bn; ++j) {
      for (int i = 0; i < an; ++i) acc[i + j] += std::uint64_t{a[i]} * b[j];
    }
    return;
  }
  rows(acc, planes, widen(a, an), b, bn);
}

// A group of G rows j0.. takes all its cross products in one kernel pass over the planes
// from lane j0: row t must meet only a[i] for i > j0 + t, so plane t has a[j0..j0+t] cleared
// before the pass and the rest of the group's limbs after it; the limbs of earlier groups
// are already clear in every plane.
void addCrossColumns(std::uint64_t* acc, const Limb* a, int n) {
  if (n < 2 * G) {  // too short to pay for the planes
    for (int j = 1; j < n; ++j) {
      for (int i = 0; i < j; ++i) acc[i + j] += std::uint64_t{a[i]} * a[j];
    }
    return;
  }
  widen(a, n);
  for (int j0 = 0; j0 < n; j0 += G) {
    const int rowsHere = n - j0 < G ? n - j0 : G;
    for (int t = 0; t < G; ++t) {
      std::uint64_t* lane = planes + t * kernel::kPlaneLanes + j0 + t;  // where a[j0] sits
      for (int i = 0; i < G; ++i) lane[i] = i <= t ? 0 : lane[i];   // a fixed count: no string store
    }
    rows(acc + 2 * j0, planes + j0, n - j0 + G - 1, a + j0, rowsHere);
    for (int t = 0; t < G; ++t) {
      std::uint64_t* lane = planes + t * kernel::kPlaneLanes + j0 + t;
      for (int i = 0; i < G; ++i) lane[i] = 0;
    }
  }
}

}  // namespace engine::wide
