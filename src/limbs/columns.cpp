// Column sums of schoolbook products. The kernels multiply eight limbs of one operand at a
// time by the other, held as widened copies shifted one lane apart (planes, one per lane of a
// vector), so that every vector load is aligned; a square's cross products use the same
// kernel, each group of eight rows from its own lane, with the lanes on and below the
// diagonal masked.
#include "limbs/columns.h"

#include <algorithm>

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
int widenAvx2(std::uint64_t* planes, const Limb* a, int n);
int widenAvx512(std::uint64_t* planes, const Limb* a, int n);
void addRowsAvx2(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn);
void addRowsAvx512(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn);
void addCrossRowsAvx2(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn);
void addCrossRowsAvx512(std::uint64_t* acc, const std::uint64_t* planes, int len, const Limb* b, int bn);
void splitColumnsAvx2(const std::uint64_t* acc, int len, std::int32_t* v);
void splitColumnsAvx512(const std::uint64_t* acc, int len, std::int32_t* v);
bool carrySpanAvx2(Limb* r, const std::int32_t* v, int len);
bool carrySpanAvx512(Limb* r, const std::int32_t* v, int len);
void addMiddleAvx2(std::uint64_t* s, int m, const std::uint64_t* mid);
void addMiddleAvx512(std::uint64_t* s, int m, const std::uint64_t* mid);
void addHalvesAvx2(Limb* h, const Limb* a, int m, int k);
void addHalvesAvx512(Limb* h, const Limb* a, int m, int k);
bool addSpanAvx2(Limb* r, const Limb* a, int an);
bool addSpanAvx512(Limb* r, const Limb* a, int an);
bool subSpanAvx2(Limb* r, const Limb* a, int an);
bool subSpanAvx512(Limb* r, const Limb* a, int an);
void takeOffAvx2(std::int64_t* x, const Limb* v, int n, std::int32_t k);
void takeOffAvx512(std::int64_t* x, const Limb* v, int n, std::int32_t k);
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

int widenNeon(std::uint64_t* planes, const Limb* a, int n) { return widen<Neon>(planes, a, n); }

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
// The planes of the longer operand (kernel::widen), from kRowGroup zero lanes before lane 0
// on; 64-byte aligned for whole-line loads.
alignas(64) std::uint64_t planeStore[G * kernel::kPlaneLanes];
std::uint64_t* const planes = planeStore + G;

// The portable kernel reads the other operand as 32-bit limbs, from G zero limbs before
// limb 0 (it leaves the planes alone), and each sum takes its group's eight products in one
// visit: unsigned 32 by 32-bit products into 64 bits, which compilers vectorise.
alignas(64) Limb padded[kernel::kPlaneLanes];
const Limb* const limbsFrom0 = padded + G;

int widenPlain(std::uint64_t*, const Limb* a, int n) {
  std::fill(padded, padded + G, Limb{0});
  std::copy(a, a + n, padded + G);
  std::fill(padded + G + n, padded + 3 * G + n, Limb{0});
  return n + G - 1;
}

// out[m] += Σ_t bv[t] · a[m − t] for m from `from` below len.
// Under clang, a hint asks for vectors where there is a vector unit, which its cost model
// would not take; where they cannot be had (instrumented builds) the loop stays scalar,
// unremarked.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wpass-failed"
#endif
void plainPass(std::uint64_t* out, const Limb* a, int from, int len, const Limb* bv) {
#if defined(__clang__) && (defined(__SSE2__) || defined(__ARM_NEON))
#pragma clang loop vectorize(enable)
#endif
  for (int m = from; m < len; ++m) {
    std::uint64_t x = out[m];
    for (int t = 0; t < G; ++t) x += std::uint64_t{bv[t]} * a[m - t];
    out[m] = x;
  }
}

void rowsOf(Limb* bv, const Limb* b, int j, int bn) {
  for (int t = 0; t < G; ++t) bv[t] = j + t < bn ? b[j + t] : 0;
}

void addRowsPlain(std::uint64_t* acc, const std::uint64_t*, int len, const Limb* b, int bn) {
  for (int j = 0; j < bn; j += G) {
    Limb bv[G];
    rowsOf(bv, b, j, bn);
    plainPass(acc + j, limbsFrom0, 0, len, bv);
  }
}

// The planes' lanes from j0 on are the limbs from a[j0] on: `p` says where the pass starts.
void addCrossRowsPlain(std::uint64_t* acc, const std::uint64_t* p, int len, const Limb* b, int bn) {
  Limb bv[G];
  for (int t = 0; t < G; ++t) bv[t] = t < bn ? 2 * b[t] : 0;
  const Limb* a = limbsFrom0 + static_cast<int>(p - planes);
  int m = 0;
  for (; m < 2 * G && m < len; ++m) {
    for (int t = 0; t < G; ++t) acc[m] += m > 2 * t ? std::uint64_t{bv[t]} * a[m - t] : 0;
  }
  plainPass(acc, a, m, len, bv);
}
#if defined(__clang__)
#pragma clang diagnostic pop  // the loop's remark stands where plainPass is inlined too
#endif

#if ZANTORIX_SSE2
struct Sse2 {
  using V = __m128i;
  static constexpr int kLanes = 2;
  static V load(const std::uint64_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
  static void store(std::uint64_t* p, V x) { _mm_storeu_si128(reinterpret_cast<V*>(p), x); }
  static V set1(Limb x) { return _mm_set1_epi64x(x); }
  static V mul(V x, V y) {
#if defined(__clang__)
    // As in the AVX2 kernel: clang would widen it. The instruction overwrites its first
    // operand: the plane's vector y, loaded for this product alone, not the row x, which
    // the loop keeps (else every product copies the row first).
    __asm__("pmuludq %1, %0" : "+x"(y) : "x"(x));
    return y;
#else
    return _mm_mul_epu32(x, y);
#endif
  }
  static V add(V x, V y) { return _mm_add_epi64(x, y); }
  static V keepFrom(V x, int k) { return _mm_and_si128(x, _mm_set_epi64x(k <= 1 ? -1 : 0, k <= 0 ? -1 : 0)); }
};

int widenSse2(std::uint64_t* p, const Limb* a, int n) { return kernel::widen<Sse2>(p, a, n); }

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

// The carries in plain integers (the template needs no lanes of its own).
struct Plain {};
bool carrySpanPlain(Limb* r, const std::int32_t* v, int len) { return kernel::carrySpan<Plain>(r, v, len); }
void addHalvesPlain(Limb* h, const Limb* a, int m, int k) { kernel::addHalves<Plain>(h, a, m, k); }

bool addSpanPlain(Limb* r, const Limb* a, int an) { return kernel::addSpanScalar<Plain>(r, a, an); }
bool subSpanPlain(Limb* r, const Limb* a, int an) { return kernel::subSpanScalar<Plain>(r, a, an); }
void takeOffPlain(std::int64_t* x, const Limb* v, int n, std::int32_t k) { kernel::takeOffScalar<Plain>(x, v, n, k); }

void addMiddlePlain(std::uint64_t* s, int m, const std::uint64_t* mid) {
  std::uint64_t *low = s, *low2 = s + m, *high = s + 2 * m;
  const std::uint64_t* high2 = s + 3 * m;
  for (int i = 0; i < m; ++i) {
    const std::uint64_t a = low[i], b = low2[i], c = high[i], d = high2[i];
    low2[i] = b + mid[i] - a - c;
    high[i] = c + mid[m + i] - b - d;
  }
}

// The routines of one kernel. Every entry is set: a kernel without a routine of its own
// has the narrower kernel's.
struct Routines {
  Kernel kernel = Kernel::plain;
  int (*widen)(std::uint64_t*, const Limb*, int) = widenPlain;
  void (*rows)(std::uint64_t*, const std::uint64_t*, int, const Limb*, int) = addRowsPlain;
  void (*cross)(std::uint64_t*, const std::uint64_t*, int, const Limb*, int) = addCrossRowsPlain;
  void (*split)(const std::uint64_t*, int, std::int32_t*) = splitColumnsPlain;
  bool (*span)(Limb*, const std::int32_t*, int) = carrySpanPlain;
  void (*middle)(std::uint64_t*, int, const std::uint64_t*) = addMiddlePlain;
  void (*halves)(Limb*, const Limb*, int, int) = addHalvesPlain;
  bool (*sum)(Limb*, const Limb*, int) = addSpanPlain;
  bool (*difference)(Limb*, const Limb*, int) = subSpanPlain;
  void (*multiple)(std::int64_t*, const Limb*, int, std::int32_t) = takeOffPlain;
};

Routines routinesFor([[maybe_unused]] Kernel k) {
  Routines r;
  r.kernel = k;
#if ZANTORIX_SSE2
  if (k >= Kernel::sse2) r.widen = widenSse2, r.rows = addRowsSse2, r.cross = addCrossRowsSse2;
#endif
#if ZANTORIX_NEON
  if (k == Kernel::neon) {
    r.widen = kernel::widenNeon, r.rows = kernel::addRowsNeon, r.cross = kernel::addCrossRowsNeon;
    r.span = kernel::carrySpanNeon;
  }
#endif
#if ZANTORIX_AVX_KERNELS
  if (k >= Kernel::avx2) {
    r.widen = kernel::widenAvx2, r.rows = kernel::addRowsAvx2, r.cross = kernel::addCrossRowsAvx2;
    r.split = kernel::splitColumnsAvx2, r.span = kernel::carrySpanAvx2;
    r.middle = kernel::addMiddleAvx2, r.halves = kernel::addHalvesAvx2;
    r.sum = kernel::addSpanAvx2, r.difference = kernel::subSpanAvx2, r.multiple = kernel::takeOffAvx2;
  }
  if (k >= Kernel::avx512) {
    r.widen = kernel::widenAvx512, r.rows = kernel::addRowsAvx512, r.cross = kernel::addCrossRowsAvx512;
    r.split = kernel::splitColumnsAvx512, r.span = kernel::carrySpanAvx512;
    r.middle = kernel::addMiddleAvx512, r.halves = kernel::addHalvesAvx512;
    r.sum = kernel::addSpanAvx512, r.difference = kernel::subSpanAvx512, r.multiple = kernel::takeOffAvx512;
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

void addMiddle(std::uint64_t* s, int m, const std::uint64_t* mid) { inUse().middle(s, m, mid); }

void addHalves(Limb* h, const Limb* a, int m, int k) { inUse().halves(h, a, m, k); }

bool addSpan(Limb* r, const Limb* a, int an) { return inUse().sum(r, a, an); }

bool subSpan(Limb* r, const Limb* a, int an) { return inUse().difference(r, a, an); }

void takeOff(std::int64_t* x, const Limb* v, int n, std::int32_t k) { inUse().multiple(x, v, n, k); }

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
  const Routines& use = inUse();
  use.rows(acc, planes, use.widen(planes, a, an), b, bn);
}

// A group of G rows j0.. takes all its cross products in one kernel pass over the planes
// from lane j0, where row t meets a[x − t] at lane x; the pass leaves out lanes j0 to
// j0 + 2t of plane t, which hold earlier groups' limbs and the group's own up to the diagonal.
void addCrossColumns(std::uint64_t* acc, const Limb* a, int n) {
  if (n < 2 * G) {  // too short to pay for the planes
    for (int j = 1; j < n; ++j) {
      for (int i = 0; i < j; ++i) acc[i + j] += std::uint64_t{a[i]} * (2 * a[j]);
    }
    return;
  }
  const Routines& use = inUse();
  use.widen(planes, a, n);
  for (int j0 = 0; j0 < n; j0 += G) {
    use.cross(acc + 2 * j0, planes + j0, n - j0 + G - 1, a + j0, n - j0 < G ? n - j0 : G);
  }
}

}  // namespace limbs
