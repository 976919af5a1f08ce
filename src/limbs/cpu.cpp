#include "limbs/cpu.h"

#if ZANTORIX_SSE2 && defined(_MSC_VER)
#include <intrin.h>
#endif

namespace limbs::cpu {

#if ZANTORIX_SSE2 && defined(_MSC_VER)
// CPUID says what the processor has; XGETBV whether the system saves the YMM (bits 1-2) and
// the opmask and ZMM registers (bits 5-7) across task switches.
Kernel widestVector() {
  int r[4];
  __cpuid(r, 0);
  const int maxLeaf = r[0];
  __cpuid(r, 1);
  const bool osxsave = (r[2] >> 27) & 1, avx = (r[2] >> 28) & 1;
  if (!osxsave || !avx || maxLeaf < 7) return Kernel::sse2;
  const unsigned long long xcr0 = _xgetbv(0);
  if ((xcr0 & 0x6) != 0x6) return Kernel::sse2;
  __cpuidex(r, 7, 0);
  const bool avx2 = (r[1] >> 5) & 1, avx512f = (r[1] >> 16) & 1, avx512dq = (r[1] >> 17) & 1;
  if (avx512f && avx512dq && (xcr0 & 0xE6) == 0xE6) return Kernel::avx512;
  return avx2 ? Kernel::avx2 : Kernel::sse2;
}
#elif ZANTORIX_SSE2 && defined(__GNUC__)
// The compiler's run-time support reads CPUID and XGETBV.
Kernel widestVector() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")) return Kernel::avx512;
  if (__builtin_cpu_supports("avx2")) return Kernel::avx2;
  return Kernel::sse2;
}
#elif ZANTORIX_SSE2
Kernel widestVector() { return Kernel::sse2; }
#else
Kernel widestVector() { return Kernel::plain; }
#endif

}  // namespace limbs::cpu
