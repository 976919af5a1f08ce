#include "limbs/cpu.h"

#include <cstdlib>
#include <cstring>

#if ZANTORIX_SSE2 && defined(_MSC_VER)
#include <intrin.h>
#elif ZANTORIX_SSE2
#include <cpuid.h>
#endif

namespace limbs::cpu {

namespace {

#if ZANTORIX_SSE2
// CPUID leaf and subleaf into r (eax, ebx, ecx, edx); XGETBV's XCR0. Read from the processor
// itself, so no compiler run-time support is needed.
#if defined(_MSC_VER)
void cpuid(int leaf, int sub, unsigned r[4]) {
  int v[4];
  __cpuidex(v, leaf, sub);
  for (int i = 0; i < 4; ++i) r[i] = static_cast<unsigned>(v[i]);
}
unsigned long long xcr0() { return _xgetbv(0); }
#else
void cpuid(int leaf, int sub, unsigned r[4]) { __cpuid_count(leaf, sub, r[0], r[1], r[2], r[3]); }
unsigned long long xcr0() {
  unsigned lo = 0, hi = 0;
  __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(lo), "=d"(hi) : "c"(0));  // xgetbv
  return (static_cast<unsigned long long>(hi) << 32) | lo;
}
#endif

// CPUID says what the processor has; XGETBV whether the system saves the YMM (bits 1-2) and
// the opmask and ZMM registers (bits 5-7) across task switches.
Kernel processorKernel() {
  unsigned r[4];
  cpuid(0, 0, r);
  const unsigned maxLeaf = r[0];
  cpuid(1, 0, r);
  const bool osxsave = (r[2] >> 27) & 1, avx = (r[2] >> 28) & 1;
  const Kernel narrow = (r[2] >> 19) & 1 ? Kernel::sse41 : Kernel::sse2;
  if (!osxsave || !avx || maxLeaf < 7) return narrow;
  const unsigned long long saved = xcr0();
  if ((saved & 0x6) != 0x6) return narrow;
  cpuid(7, 0, r);
  const bool avx2 = (r[1] >> 5) & 1, avx512f = (r[1] >> 16) & 1, avx512dq = (r[1] >> 17) & 1;
  if (avx512f && avx512dq && (saved & 0xE6) == 0xE6) return Kernel::avx512;
  return avx2 ? Kernel::avx2 : narrow;
}
#else
Kernel processorKernel() { return ZANTORIX_NEON ? Kernel::neon : Kernel::plain; }
#endif

// ZANTORIX_KERNEL: plain, sse2, sse41, avx2, avx512 or neon caps the kernel, so that a narrower one
// can be run and measured on a wider processor; anything else, or a kernel this program
// does not hold, leaves it as it is.
Kernel capped(Kernel widest) {
  const char* asked = std::getenv("ZANTORIX_KERNEL");
  if (asked == nullptr) return widest;
  constexpr struct {
    const char* name;
    Kernel kernel;
  } kNames[] = {{"plain", Kernel::plain}, {"sse2", Kernel::sse2}, {"sse41", Kernel::sse41},
                {"avx2", Kernel::avx2}, {"avx512", Kernel::avx512},
                {"neon", Kernel::neon}};
  for (const auto& n : kNames) {
    if (std::strcmp(asked, n.name) == 0 && builtHere(n.kernel)) return n.kernel < widest ? n.kernel : widest;
  }
  return widest;
}

}  // namespace

bool builtHere(Kernel k) {
  if (k == Kernel::neon) return ZANTORIX_NEON;
  if (k == Kernel::sse41 || k == Kernel::avx2 || k == Kernel::avx512) return ZANTORIX_AVX_KERNELS;
  return k == Kernel::plain || ZANTORIX_SSE2;
}

Kernel widestVector() { return capped(processorKernel()); }

}  // namespace limbs::cpu
