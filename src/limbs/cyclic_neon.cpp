// The transform pair on NEON's four lanes, laid out as the SSE4.1 file's: two coefficients of
// the six transforms per entry of twelve lanes, three vectors, coefficient j in lanes 0–5
// and j + n/2 in lanes 6–11, so that only the first forward and the last backward stage work
// across the two. Built on 64-bit ARM only, where NEON always is.
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

// Lanes 0–3, 4–7 and 8–11 of an entry.
struct Triple {
  H x, y, z;
};
struct alignas(16) Twelve {
  std::uint32_t v[12];
};
Twelve coef[kMaxCyclic / 2];

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

// Lanes 0–5 of `lower` into lanes 0–5, those of `upper` into 6–11.
Triple cross(const Lanes& lower, const Lanes& upper) {
  return {vld1q_u32(lower.v), vcombine_u32(vld1_u32(lower.v + 4), vld1_u32(upper.v)), vld1q_u32(upper.v + 2)};
}

struct Neon {
  using V = Triple;
  using Entry = Twelve;
  static V load(const Twelve& c) { return {vld1q_u32(c.v), vld1q_u32(c.v + 4), vld1q_u32(c.v + 8)}; }
  static void store(Twelve& c, V v) { vst1q_u32(c.v, v.x), vst1q_u32(c.v + 4, v.y), vst1q_u32(c.v + 8, v.z); }
  static V table(const Lanes& l) { return cross(l, l); }
  static V add(V a, V b) { return {vaddq_u32(a.x, b.x), vaddq_u32(a.y, b.y), vaddq_u32(a.z, b.z)}; }
  static V sub(V a, V b) { return {vsubq_u32(a.x, b.x), vsubq_u32(a.y, b.y), vsubq_u32(a.z, b.z)}; }
  static V reduce(V s, V m) { return {cyclicNeon::reduce(s.x, m.x), cyclicNeon::reduce(s.y, m.y), cyclicNeon::reduce(s.z, m.z)}; }
  static V mulTwiddle(V a, V w, V q, V p) {
    return {cyclicNeon::mulTwiddle(a.x, w.x, q.x, p.x), cyclicNeon::mulTwiddle(a.y, w.y, q.y, p.y),
            cyclicNeon::mulTwiddle(a.z, w.z, q.z, p.z)};
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

// x (a limb of a) in the lanes of a, y (of b) in those of b, in both coefficients.
Triple limbs(Limb x, Limb y) {
  const H a = vdupq_n_u32(x), b = vdupq_n_u32(y);
  return {vsetq_lane_u32(y, a, 3), vcombine_u32(vget_low_u32(b), vget_low_u32(a)), vsetq_lane_u32(x, b, 0)};
}

// The first forward stage, read from the limbs: entry j := (u + v, (u − v)·w) for u and v
// the coefficients j and j + n/2, both through one product (by 1 in lanes 0–5); where the
// limbs end below j + n/2, v is 0.
void firstStage(const Limb* a, int an, const Limb* b, int bn, int n) {
  const Triple p = Neon::table(cyclic::prime), p2 = Neon::table(cyclic::twicePrime);
  const uint32x2_t none = vdup_n_u32(0);
  const Triple upper2p = {vdupq_n_u32(0), vcombine_u32(none, vget_high_u32(p2.y)), p2.z};
  const int half = n / 2, top = an > bn ? an : bn;
  const auto limbsAt = [&](int i) { return limbs(i < an ? a[i] : 0, i < bn ? b[i] : 0); };
  for (int j = 0; j < half; ++j) {
    Triple s = Neon::add(limbsAt(j), upper2p);
    if (half + j < top) {
      const Triple v = limbsAt(half + j);
      const H signedY = vcombine_u32(vget_low_u32(v.y), vsub_u32(none, vget_high_u32(v.y)));
      s = Neon::add(s, {v.x, signedY, vsubq_u32(vdupq_n_u32(0), v.z)});
    }
    const Triple t = Neon::mulTwiddle(s, cross(cyclic::one, cyclic::forwardW[half + j]),
                                      cross(cyclic::oneQ, cyclic::forwardQ[half + j]), p);
    Neon::store(coef[j], {s.x, t.y, t.z});  // lanes 0–3 hold u + v below 2·B: no product needed
  }
}

// a·b into the lanes of a and b·b into those of b, from a and b, in both coefficients.
void pointwise(int n) {
  const Triple p = Neon::table(cyclic::prime), ni = Neon::table(cyclic::negInverse);
  for (int j = 0; j < n / 2; ++j) {
    const Triple v = Neon::load(coef[j]);
    const H t = vextq_u32(v.x, v.y, 3);
    const H b0 = vsetq_lane_u32(vgetq_lane_u32(t, 0), t, 3);                                // lanes 3, 4, 5, 3
    const H b1 = vcombine_u32(vget_low_u32(v.y), vget_low_u32(vextq_u32(v.z, v.z, 1)));   // 4, 5, 9, 10
    const H b2 = vextq_u32(v.z, vextq_u32(v.z, v.z, 1), 3);                                 // 11, 9, 10, 11
    Neon::store(coef[j], {mulMontgomery(v.x, b0, p.x, ni.x), mulMontgomery(v.y, b1, p.y, ni.y),
                          mulMontgomery(v.z, b2, p.z, ni.z)});
  }
}

// The last backward stage, into the shared coefficients, one per entry of eight lanes as the
// remainders read them ([0, 4p); lanes 6 and 7 unused).
void lastStage(int n) {
  const Triple p = Neon::table(cyclic::prime);
  const H p2low = vld1q_u32(cyclic::twicePrime.v), p2high = vld1q_u32(cyclic::twicePrime.v + 4);
  const int half = n / 2;
  for (int j = 0; j < half; ++j) {
    const Triple c = Neon::load(coef[j]);
    const Triple t = Neon::mulTwiddle(c, cross(cyclic::one, cyclic::backwardW[half + j]),
                                      cross(cyclic::oneQ, cyclic::backwardQ[half + j]), p);
    const H ulow = reduce(c.x, p2low), uhigh = vcombine_u32(vget_low_u32(t.y), vdup_n_u32(0));  // lanes 0–3 only reduced
    const H vlow = vextq_u32(t.y, t.z, 2), vhigh = vcombine_u32(vget_high_u32(t.z), vdup_n_u32(0));
    std::uint32_t *sum = cyclic::coef[j].v, *difference = cyclic::coef[half + j].v;
    vst1q_u32(sum, vaddq_u32(ulow, vlow)), vst1q_u32(sum + 4, vaddq_u32(uhigh, vhigh));
    vst1q_u32(difference, vaddq_u32(vsubq_u32(ulow, vlow), p2low));
    vst1q_u32(difference + 4, vaddq_u32(vsubq_u32(uhigh, vhigh), p2high));
  }
}

}  // namespace

}  // namespace cyclicNeon

void cyclicPairNeon(const Limb* a, int an, const Limb* b, int bn, int n, int from, int to, std::uint64_t* ab,
                    std::uint64_t* bb) {
  using namespace cyclicNeon;
  assert(n <= kMaxCyclic && an <= n && bn <= n && 0 <= from && from <= to && to <= n);
  cyclic::prepare();
  const Triple p = Neon::table(cyclic::prime), p2 = Neon::table(cyclic::twicePrime);
  firstStage(a, an, b, bn, n);
  cyclic::forwardStages<Neon>(coef, n / 2, n / 4, p, p2);
  pointwise(n);
  cyclic::backwardStages<Neon>(coef, n / 2, p, p2);
  lastStage(n);
  cyclic::remaindersFour<Neon>(n, from, to, ab, bb);
}

}  // namespace limbs
#endif
