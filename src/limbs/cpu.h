// What the target has for the column kernels: which vector kernels are built here (by what
// the compiler targets, never by the machine's name) and which of them this CPU runs.
#pragma once

#include "limbs/columns.h"

// SSE2 is part of every x86-64 processor: the baseline kernel there, built into every binary.
#if defined(__x86_64__) || defined(_M_X64) || defined(_M_AMD64)
#define ZANTORIX_SSE2 1
#else
#define ZANTORIX_SSE2 0
#endif

// The SSE4.1, AVX2 and AVX-512 kernels: files of their own, each compiled for its instruction set,
// which the build adds for x86-64 targets only.
#if ZANTORIX_SSE2 && defined(ZANTORIX_X86_KERNELS)
#define ZANTORIX_AVX_KERNELS 1
#else
#define ZANTORIX_AVX_KERNELS 0
#endif

// NEON is part of every 64-bit ARM processor: its kernel is chosen when the program is built.
#if defined(__aarch64__) || defined(_M_ARM64)
#define ZANTORIX_NEON 1
#else
#define ZANTORIX_NEON 0
#endif

namespace limbs::cpu {

// builtHere: whether this program holds the kernel (plain everywhere; SSE2, SSE4.1, AVX2
// and AVX-512 on x86-64; NEON on 64-bit ARM).
bool builtHere(Kernel k);

// widestVector: the widest kernel the processor runs and the system saves the registers
// of: avx512 (with its DQ extension), avx2, sse41, sse2 on x86-64; neon on 64-bit ARM; plain
// elsewhere. The environment's ZANTORIX_KERNEL (plain, sse2, sse41, avx2, avx512, neon)
// caps it.
Kernel widestVector();

}  // namespace limbs::cpu
