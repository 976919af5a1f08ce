// The transform pair on NEON's four lanes, as the SSE4.1 one: twelve lanes to an entry, two
// coefficients (cyclic_stages.h); the remainders four columns at a time. Only the vector
// operations are here. Built on 64-bit ARM only, where NEON always is.
#include "limbs/cpu.h"

#if ZANTORIX_NEON
#include <arm_neon.h>

#include <cassert>

#include "limbs/cyclic_stages.h"

namespace limbs {

namespace cyclicNeon {

namespace {

using cyclic::Lanes;
using cyclic::Twelve;
using H = uint32x4_t;

// Lanes 0–3, 4–7 and 8–11 of an entry.
struct Triple {
  H x, y, z;
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
H zero() { return vdupq_n_u32(0); }

// The vector operations the twelve-lane templates take (cyclic_stages.h says what each does).
struct Neon {
  using V = Triple;
  using Entry = Twelve;
  using H = cyclicNeon::H;
  static V load(const Twelve& c) { return {vld1q_u32(c.v), vld1q_u32(c.v + 4), vld1q_u32(c.v + 8)}; }
  static void store(Twelve& c, V v) { vst1q_u32(c.v, v.x), vst1q_u32(c.v + 4, v.y), vst1q_u32(c.v + 8, v.z); }
  static V cross(const Lanes& lower, const Lanes& upper) {
    return {vld1q_u32(lower.v), vcombine_u32(vld1_u32(lower.v + 4), vld1_u32(upper.v)), vld1q_u32(upper.v + 2)};
  }
  static V table(const Lanes& l) { return cross(l, l); }
  static V add(V a, V b) { return {vaddq_u32(a.x, b.x), vaddq_u32(a.y, b.y), vaddq_u32(a.z, b.z)}; }
  static V sub(V a, V b) { return {vsubq_u32(a.x, b.x), vsubq_u32(a.y, b.y), vsubq_u32(a.z, b.z)}; }
  static V reduce(V s, V m) { return {hReduce(s.x, m.x), hReduce(s.y, m.y), hReduce(s.z, m.z)}; }
  static V mulTwiddle(V a, V w, V q, V p) {
    return {hMulTwiddle(a.x, w.x, q.x, p.x), hMulTwiddle(a.y, w.y, q.y, p.y), hMulTwiddle(a.z, w.z, q.z, p.z)};
  }
  static V limbs(Limb x, Limb y) {
    const H a = vdupq_n_u32(x), b = vdupq_n_u32(y);
    return {vsetq_lane_u32(y, a, 3), vcombine_u32(vget_low_u32(b), vget_low_u32(a)), vsetq_lane_u32(x, b, 0)};
  }
  static V upper(V v) { return {zero(), vcombine_u32(vdup_n_u32(0), vget_high_u32(v.y)), v.z}; }
  static V flip(V v) { return sub({v.x, lowPair(v.y), zero()}, upper(v)); }
  // a·b into the lanes of a and b·b into those of b, in both coefficients: each lane times
  // the lane of b with its prime (3, 4, 5, 3 | 4, 5, 9, 10 | 11, 9, 10, 11).
  static V pointwise(V v) {
    const V p = table(cyclic::prime), ni = table(cyclic::negInverse);
    const H t = vextq_u32(v.x, v.y, 3), rotated = vextq_u32(v.z, v.z, 1);
    const H b0 = vsetq_lane_u32(vgetq_lane_u32(t, 0), t, 3);
    const H b1 = vcombine_u32(vget_low_u32(v.y), vget_low_u32(rotated));
    const H b2 = vextq_u32(v.z, rotated, 3);
    return {mulMontgomery(v.x, b0, p.x, ni.x), mulMontgomery(v.y, b1, p.y, ni.y), mulMontgomery(v.z, b2, p.z, ni.z)};
  }
  static H lowPair(H y) { return vcombine_u32(vget_low_u32(y), vdup_n_u32(0)); }
  static H middle(H y, H z) { return vextq_u32(y, z, 2); }
  static H highPair(H z) { return vcombine_u32(vget_high_u32(z), vdup_n_u32(0)); }
  static H hLoad(const std::uint32_t* v) { return vld1q_u32(v); }
  static void hStore(std::uint32_t* v, H h) { vst1q_u32(v, h); }
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
    const uint32x2_t low = vdup_n_u32(static_cast<std::uint32_t>(p12));
    const uint32x2_t high = vdup_n_u32(static_cast<std::uint32_t>(p12 >> 32));
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
  cyclic::pairSumsTwelve<cyclicNeon::Neon>(cyclic::twelve, a, an, b, bn, n);
  cyclic::remaindersFour<cyclicNeon::Neon>(n, from, to, ab, bb);
}

}  // namespace limbs
#endif
