// Column sums of schoolbook products. The vector kernels multiply eight limbs of one operand
// at a time by the other, held as eight widened copies shifted one lane apart (planes), so
// that every vector load is aligned; a square's cross products use the same kernel, each
// group of eight rows from its own lane, with the lanes on and below the diagonal masked.
#include "limbs/columns.h"

#include "limbs/cpu.h"
#if ZANTORIX_SSE2
#include <emmintrin.h>
#endif
#if ZANTORIX_NEON
#include <arm_neon.h>
#endif

#include "limbs/columns_kernel.h"

namespace limbs {

namespace kernel {
void addRowsAvx2(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn);
void addRowsAvx512(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn);
void addCrossRowsAvx2(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn);
void addCrossRowsAvx512(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn);
void splitColumnsAvx512(const std::uint64_t* acc, int len, std::int32_t* v);
bool carrySpanAvx2(Limb* r, const std::int32_t* v, int len);
bool carrySpanAvx512(Limb* r, const std::int32_t* v, int len);
#if ZANTORIX_NEON
// NEON, two lanes: the low halves of both lanes multiplied into 64 bits at once.
struct Neon {
  using V = uint64x2_t;
  static constexpr int kLanes = 2;
  static V load(const std::uint64_t* p) { return vld1q_u64(p); }
  static void store(std::uint64_t* p, V x) { vst1q_u64(p, x); }
  static V set1(Limb x) { return vdupq_n_u64(x); }
  static V mul(V x, V y) { return vmull_u32(vmovn_u64(x), vmovn_u64(y)); }
  static V add(V x, V y) { return vaddq_u64(x, y); }
  static V keepFrom(V x, int k) {
    return vandq_u64(x, vcgtq_s64(vcombine_s64(vcreate_s64(0), vcreate_s64(1)), vdupq_n_s64(k - 1)));
  }
};

void addRowsNeon(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  addRows<Neon>(acc, planes, len, b, bn);
}

void addCrossRowsNeon(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn) {
  addCrossRows<Neon>(acc, planes, len, b, bn);
}

bool carrySpanNeon(Limb* r, const std::int32_t* v, int len) { return carrySpan<Neon>(r, v, len); }
#endif

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

// The kernel over one 64-bit lane of plain integers: each sum takes its eight rows' 32 by
// 32-bit products in one visit, so it is loaded and stored once for eight products.
struct Plain {
  using V = std::uint64_t;
  static constexpr int kLanes = 1;
  static V load(const std::uint64_t* p) { return *p; }
  static void store(std::uint64_t* p, V x) { *p = x; }
  static V set1(Limb x) { return x; }
  static V mul(V x, V y) { return static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) * static_cast<std::uint32_t>(y); }
  static V add(V x, V y) { return x + y; }
  static V keepFrom(V x, int k) { return k <= 0 ? x : 0; }
};

void addRowsPlain(std::uint64_t* acc, const std::uint64_t* p, int len, const Limb* b, int bn) {
  kernel::addRows<Plain>(acc, p, len, b, bn);
}

void addCrossRowsPlain(std::uint64_t* acc, const std::uint64_t* p, int len, const Limb* b, int bn) {
  kernel::addCrossRows<Plain>(acc, p, len, b, bn);
}

#if ZANTORIX_SSE2
struct Sse2 {
  using V = __m128i;
  static constexpr int kLanes = 2;
  static V load(const std::uint64_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static void store(std::uint64_t* p, V x) { _mm_storeu_si128(reinterpret_cast<V*>(p), x); }
  static V set1(Limb x) { return _mm_set1_epi64x(x); }
  static V mul(V x, V y) { return _mm_mul_epu32(x, y); }
  static V add(V x, V y) { return _mm_add_epi64(x, y); }
  static V keepFrom(V x, int k) { return _mm_and_si128(x, _mm_set_epi64x(k <= 1 ? -1 : 0, k <= 0 ? -1 : 0)); }
};

void addRowsSse2(std::uint64_t* acc, const std::uint64_t* p, int len, const Limb* b, int bn) {
  kernel::addRows<Sse2>(acc, p, len, b, bn);
}

void addCrossRowsSse2(std::uint64_t* acc, const std::uint64_t* p, int len, const Limb* b, int bn) {
  kernel::addCrossRows<Sse2>(acc, p, len, b, bn);
}
#endif

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

bool carrySpanPlain(Limb* r, const std::int32_t* v, int len) { return kernel::carrySpan<Plain>(r, v, len); }

// The routines of one kernel. Every entry is set: a kernel without a routine of its own
// has the narrower kernel's.
struct Routines {
  Kernel kernel = Kernel::plain;
  void (*rows)(std::uint64_t*, const std::uint64_t*, int, const Limb*, int) = addRowsPlain;
  void (*cross)(std::uint64_t*, const std::uint64_t*, int, const Limb*, int) = addCrossRowsPlain;
  void (*split)(const std::uint64_t*, int, std::int32_t*) = splitColumnsPlain;
  bool (*span)(Limb*, const std::int32_t*, int) = carrySpanPlain;
};

Routines routinesFor([[maybe_unused]] Kernel k) {
  Routines r;
  r.kernel = k;
#if ZANTORIX_SSE2
  if (k >= Kernel::sse2) r.rows = addRowsSse2, r.cross = addCrossRowsSse2;
#endif
#if ZANTORIX_NEON
  if (k == Kernel::neon) r.rows = kernel::addRowsNeon, r.cross = kernel::addCrossRowsNeon, r.span = kernel::carrySpanNeon;
#endif
#if ZANTORIX_AVX_KERNELS
  if (k >= Kernel::avx2) r.rows = kernel::addRowsAvx2, r.cross = kernel::addCrossRowsAvx2, r.span = kernel::carrySpanAvx2;
  if (k >= Kernel::avx512) {
    r.rows = kernel::addRowsAvx512, r.cross = kernel::addCrossRowsAvx512, r.split = kernel::splitColumnsAvx512;
    r.span = kernel::carrySpanAvx512;
  }
#endif
  return r;
}

// The routines in use: the best kernel's from the first call on, whenever that comes (even
// from another file's static initialisation), until useKernel changes them.
Routines& inUse() {
  static Routines r = routinesFor(bestKernel());
  return r;
}

}  // namespace

Kernel bestKernel() {
  static const Kernel best = [] {
    const Kernel built = ZANTORIX_NEON         ? Kernel::neon
                         : ZANTORIX_AVX_KERNELS ? Kernel::avx512
                         : ZANTORIX_SSE2        ? Kernel::sse2
                                                : Kernel::plain;
    const Kernel cpu = cpu::widestVector();
    return cpu < built ? cpu : built;
  }();
  return best;
}

Kernel useKernel(Kernel k) {
  const Kernel used = k < bestKernel() && cpu::builtHere(k) ? k : bestKernel();
  inUse() = routinesFor(used);
  return used;
}

Kernel kernelInUse() { return inUse().kernel; }

bool carrySpan(Limb* r, const std::int32_t* v, int len) { return inUse().span(r, v, len); }

void splitColumns(const std::uint64_t* acc, int len, std::int32_t* v) {
  (len < 2 * G ? splitColumnsPlain : inUse().split)(acc, len, v);
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
  inUse().rows(acc, planes, widen(a, an), b, bn);
}

// A group of G rows j0.. takes all its cross products in one kernel pass over the planes
// from lane j0, where row t meets a[x − t] at lane x; the pass leaves out lanes j0 to
// j0 + 2t of plane t, which hold earlier groups' limbs and the group's own up to the diagonal.
void addCrossColumns(std::uint64_t* acc, const Limb* a, int n) {
  if (n < 2 * G) {  // too short to pay for the planes
    for (int j = 1; j < n; ++j) {
      for (int i = 0; i < j; ++i) acc[i + j] += std::uint64_t{a[i]} * a[j];
    }
    return;
  }
  widen(a, n);
  for (int j0 = 0; j0 < n; j0 += G) {
    inUse().cross(acc + 2 * j0, planes + j0, n - j0 + G - 1, a + j0, n - j0 < G ? n - j0 : G);
  }
}

}  // namespace limbs
