// The transform pair on NEON's four lanes: the AVX2 transforms' entries of eight lanes, each
// held in two vectors, as the SSE4.1 ones. Built on 64-bit ARM only, where NEON always is.
#include "limbs/cpu.h"

#if ZANTORIX_NEON
#include <arm_neon.h>

#include <cassert>

#include "limbs/cyclic_stages.h"

namespace limbs {

namespace cyclicNeon {

namespace {

using cyclic::Lanes;
using H = uint32x4_t;

// An entry's lanes 0–3 and 4–7.
struct Pair {
  H lo, hi;
};

H mulHigh(H x, H y) {
  const uint64x2_t low = vmull_u32(vget_low_u32(x), vget_low_u32(y)), high = vmull_high_u32(x, y);
  return vuzp2q_u32(vreinterpretq_u32_u64(low), vreinterpretq_u32_u64(high));
}
H mulTwiddle(H x, H w, H q, H p) { return vsubq_u32(vmulq_u32(x, w), vmulq_u32(mulHigh(x, q), p)); }
H reduce(H s, H m) { return vminq_u32(s, vsubq_u32(s, m)); }
// Montgomery's x·y·2^−32 mod p in [0, 2p) for x, y below 2p, ni = −1/p mod 2^32: the low half
// of x·y + m·p is 0, and carries out exactly where that of x·y is not (vtstq: all ones there).
H mulMontgomery(H x, H y, H p, H ni) {
  const H low = vmulq_u32(x, y), m = vmulq_u32(low, ni);
  return vsubq_u32(vaddq_u32(mulHigh(x, y), mulHigh(m, p)), vtstq_u32(low, low));
}

struct Neon {
  using V = Pair;
  using Entry = Lanes;
  static V load(const Lanes& l) { return {vld1q_u32(l.v), vld1q_u32(l.v + 4)}; }
  static void store(Lanes& l, V v) { vst1q_u32(l.v, v.lo), vst1q_u32(l.v + 4, v.hi); }
  static V table(const Lanes& l) { return load(l); }
  static V add(V x, V y) { return {vaddq_u32(x.lo, y.lo), vaddq_u32(x.hi, y.hi)}; }
  static V sub(V x, V y) { return {vsubq_u32(x.lo, y.lo), vsubq_u32(x.hi, y.hi)}; }
  static V reduce(V s, V m) { return {cyclicNeon::reduce(s.lo, m.lo), cyclicNeon::reduce(s.hi, m.hi)}; }
  static V mulTwiddle(V x, V w, V q, V p) {
    return {cyclicNeon::mulTwiddle(x.lo, w.lo, q.lo, p.lo), cyclicNeon::mulTwiddle(x.hi, w.hi, q.hi, p.hi)};
  }
  static V limbs(Limb x, Limb y) {
    const H a = vdupq_n_u32(x), b = vdupq_n_u32(y);
    return {vsetq_lane_u32(y, a, 3), vcombine_u32(vget_low_u32(b), vdup_n_u32(0))};
  }
  // a·b into lanes 0–2 and b·b into 3–5: lanes 3, 4, 5, 3 against the low half; the high
  // half (b, b, 0, 0) against itself.
  static V pointwise(V v) {
    const V p = load(cyclic::prime), ni = load(cyclic::negInverse);
    const H t = vextq_u32(v.lo, v.hi, 3);  // lanes 3, 4, 5, 6
    const H b = vsetq_lane_u32(vgetq_lane_u32(t, 0), t, 3);
    return {mulMontgomery(v.lo, b, p.lo, ni.lo), mulMontgomery(v.hi, v.hi, p.hi, ni.hi)};
  }
  // The remainders' four lanes.
  using H = cyclicNeon::H;
  static H hSet(std::uint32_t x) { return vdupq_n_u32(x); }
  static H hAdd(H x, H y) { return vaddq_u32(x, y); }
  static H hSub(H x, H y) { return vsubq_u32(x, y); }
  static H hReduce(H s, H m) { return cyclicNeon::reduce(s, m); }
  static H hMulTwiddle(H x, H w, H q, H p) { return cyclicNeon::mulTwiddle(x, w, q, p); }
  static void transpose(const Lanes* c, H* t) {
    for (int half = 0; half < 8; half += 4) {
      const uint32x4x2_t a = vtrnq_u32(vld1q_u32(c[0].v + half), vld1q_u32(c[1].v + half));
      const uint32x4x2_t b = vtrnq_u32(vld1q_u32(c[2].v + half), vld1q_u32(c[3].v + half));
      t[half] = vcombine_u32(vget_low_u32(a.val[0]), vget_low_u32(b.val[0]));
      t[half + 1] = vcombine_u32(vget_low_u32(a.val[1]), vget_low_u32(b.val[1]));
      t[half + 2] = vcombine_u32(vget_high_u32(a.val[0]), vget_high_u32(b.val[0]));
      t[half + 3] = vcombine_u32(vget_high_u32(a.val[1]), vget_high_u32(b.val[1]));
    }
  }
  static void wide(H t1, H t2, H t3, std::uint64_t* out) {
    constexpr std::uint64_t p12 = std::uint64_t{cyclic::kPrime[0]} * cyclic::kPrime[1];
    const uint32x2_t p1 = vdup_n_u32(cyclic::kPrime[0]);
    const uint32x2_t low = vdup_n_u32(static_cast<std::uint32_t>(p12)), high = vdup_n_u32(static_cast<std::uint32_t>(p12 >> 32));
    for (int half = 0; half < 2; ++half) {
      const auto part = [half](H v) { return half == 0 ? vget_low_u32(v) : vget_high_u32(v); };
      uint64x2_t v = vmlal_u32(vmovl_u32(part(t1)), part(t2), p1);
      v = vmlal_u32(v, part(t3), low);
      v = vaddq_u64(v, vshlq_n_u64(vmull_u32(part(t3), high), 32));
      vst1q_u64(out + 2 * half, v);
    }
  }
};

}  // namespace

}  // namespace cyclicNeon

void cyclicPairNeon(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                    std::uint64_t* bb) {
  assert(n <= kMaxCyclic && an <= n && bn <= n && 0 <= from && from <= to && to <= n);
  cyclic::prepare();
  cyclic::pairSums<cyclicNeon::Neon>(cyclic::coef, a, an, b, bn, n);
  cyclic::remaindersFour<cyclicNeon::Neon>(n, from, to, ab, bb);
}

}  // namespace limbs
#endif
