// The inner loop of every schoolbook product: column sums of limb products in 64 bits.
// One kernel per vector width (none, SSE2, AVX2, AVX-512 with its DQ extension; NEON on
// 64-bit ARM), chosen once from what the CPU has; each gives the same sums.
#pragma once

#include <cstdint>

#include "limbs/num.h"

namespace limbs {

// Extra column sums past an + bn that addColumns may touch (each gains 0).
constexpr int kColumnSlack = 16;

// addColumns: acc[i + j] += a[i] · b[j] for i < an, j < bn (an, bn <= kMaxOperand).
// acc holds an + bn + kColumnSlack sums.
void addColumns(std::uint64_t* acc, const Limb* a, int an, const Limb* b, int bn);
// addCrossColumns: acc[i + j] += 2·a[i]·a[j] for i < j < n, limbs below 2^31: each cross
// product once, for itself and its mirror image.
// acc holds 2n + kColumnSlack sums.
void addCrossColumns(std::uint64_t* acc, const Limb* a, int n);

// splitColumns: v[k] := lo[k] + mid[k−1] + hi[k−2] for k < len, where each column sum
// acc[k] = lo + mid·10^8 + hi·10^16 with lo, mid < 10^8: limbs below 3·10^8 that need one
// carry pass. acc holds len + kColumnSlack sums and v len + kColumnSlack entries.
void splitColumns(const std::uint64_t* acc, int len, std::int32_t* v);

// carrySpan: r[i] := v[i] mod B + floor(v[i−1] / B) (no carry into r[0]) for i < len and
// sums −B <= v < 4·B; true when some r[i] is B or more and needs one more carry pass.
bool carrySpan(Limb* r, const std::int32_t* v, int len);

// addMiddle: Karatsuba's middle on columns, s[m..3m) += mid − low − high mod 2^64, where
// low = s[0..2m) and high = s[2m..4m) hold the halves' products and mid (2m sums) that of
// the sums of halves, each with zeros past its last coefficient.
void addMiddle(std::uint64_t* s, int m, const std::uint64_t* mid);
// addHalves: h[i] := a[i] + a[m + i] for i < k, a[i] for k <= i < m (k <= m), no carries.
void addHalves(Limb* h, const Limb* a, int m, int k);

// addSpan: the carry-free pass of a limb sum, r[i] := (r[i] + a[i]) mod B plus the carry of
// r[i − 1] + a[i − 1], for 0 < i < an (r[0] untouched; a may be r, or apart from it, not
// partly over it); true when some r[i] landed on B. subSpan: the same for r − a with
// borrows, a apart from r; true when some r[i] went below zero.
bool addSpan(Limb* r, const Limb* a, int an);
bool subSpan(Limb* r, const Limb* a, int an);

// takeOff: x[0..n) −= k·v[0..n), limb by limb without carries, the top first, so that a
// quotient estimate that reads the top limbs need not wait for the rest.
void takeOff(std::int64_t* x, const Limb* v, int n, std::int32_t k);

// The x86 kernels in order of width; NEON, on 64-bit ARM, after them. SSE4.1 takes SSE2's
// column sums, and the four-lane transforms besides.
enum class Kernel { plain, sse2, sse41, avx2, avx512, neon };
// bestKernel: the widest kernel this CPU and its system run, found on first use.
// useKernel: switches kernels (the tests and the benchmarks compare them); a kernel wider
// than bestKernel(), or one this program does not hold, gives bestKernel(). Returns the
// kernel in use.
Kernel bestKernel();
Kernel useKernel(Kernel k);
// kernelInUse: the kernel the column sums take now.
Kernel kernelInUse();

}  // namespace limbs
