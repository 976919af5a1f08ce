// The transforms' tables, compiled for the baseline instruction set so that every tier may
// build and read them.
#include "limbs/cyclic_lanes.h"

namespace limbs::cyclic {

Lanes forwardW[kMaxCyclic], forwardQ[kMaxCyclic], backwardW[kMaxCyclic], backwardQ[kMaxCyclic];
Lanes prime, twicePrime, oddPrime, negInverse, oddNegInverse;
Lanes inv1, inv1Q, inv2, inv2Q, lift;
Lanes scale[13], scaleQ[13];
Lanes one, oneQ;
Lanes wrap;
Lanes coef[kMaxCyclic + 8];
Twelve twelve[kMaxCyclic / 2];

namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;

constexpr u32 powMod(u64 a, u64 e, u32 p) {
  u64 r = 1;
  for (a %= p; e != 0; e >>= 1, a = a * a % p) {
    if ((e & 1) != 0) r = r * a % p;
  }
  return static_cast<u32>(r);
}

// floor(w·2^32 / p): the quotient that Shoup's product by w takes.
constexpr u32 shoupQuotient(u64 w, u32 p) { return static_cast<u32>((w << 32) / p); }

void lanesOf(Lanes& l, u32 (*f)(u32 p)) {
  for (int k = 0; k < 8; ++k) l.v[k] = f(kPrime[kLanePrime[k]]);
}

void buildConstants() {
  lanesOf(prime, [](u32 p) { return p; });
  lanesOf(twicePrime, [](u32 p) { return 2 * p; });
  lanesOf(negInverse, [](u32 p) {
    u32 inv = 1;
    for (int i = 0; i < 5; ++i) inv *= 2 - p * inv;  // Newton: p·inv = 1 mod 2^32
    return 0u - inv;
  });
  for (int k = 0; k < 8; ++k) {
    oddPrime.v[k] = prime.v[k | 1], oddNegInverse.v[k] = negInverse.v[k | 1];
  }
  for (int k = 0; k < 8; ++k) {
    const u32 p = kPrime[kLanePrime[k]];
    lift.v[k] = p < kPrime[0] ? 3 * p : 2 * p;
    inv1.v[k] = powMod(kPrime[0], p - 2, p), inv2.v[k] = powMod(kPrime[1], p - 2, p);
    inv1Q.v[k] = shoupQuotient(inv1.v[k], p), inv2Q.v[k] = shoupQuotient(inv2.v[k], p);
    one.v[k] = 1, oneQ.v[k] = shoupQuotient(1, p);
    wrap.v[k] = k < 6 ? static_cast<u32>((u64{1} << 32) % p) : 0;
    for (int e = 0; e < 13; ++e) {
      scale[e].v[k] = static_cast<u32>(powMod(u64{1} << e, p - 2, p) * (u64{1} << 32) % p);
      scaleQ[e].v[k] = shoupQuotient(scale[e].v[k], p);
    }
  }
}

void buildRoots() {
  for (int len = 1; len < kMaxCyclic; len *= 2) {
    for (int k = 0; k < 8; ++k) {
      const u32 p = kPrime[kLanePrime[k]];
      const u32 w = powMod(3, (p - 1) / (2 * static_cast<u64>(len)), p), wi = powMod(w, p - 2, p);
      u64 f = 1, b = 1;
      for (int j = 0; j < len; ++j, f = f * w % p, b = b * wi % p) {
        forwardW[len + j].v[k] = static_cast<u32>(f), forwardQ[len + j].v[k] = shoupQuotient(f, p);
        backwardW[len + j].v[k] = static_cast<u32>(b), backwardQ[len + j].v[k] = shoupQuotient(b, p);
      }
    }
  }
}

}  // namespace

void prepare() {
  static const bool ready = (buildConstants(), buildRoots(), true);
  (void)ready;
}

int log2Of(int n) {
  int k = 0;
  while ((1 << k) < n) ++k;
  return k;
}

}  // namespace limbs::cyclic
