// Wide integers for the fast multiplication and division: eight decimal digits per
// 32-bit limb, least significant limb first. Sized for the largest precision; all
// storage is static, nothing is allocated.
#pragma once

#include <cstdint>

namespace engine::wide {

constexpr std::uint32_t kBase = 100000000;
constexpr int kLimbDigits = 8;
// A register value has at most 10000 digits (1250 limbs); a scaled dividend 15000;
// a product is never formed past 15000 digits. One spare limb for normalisation.
constexpr int kMaxLimbs = 2512;

struct Num {
  int len = 0;  // limbs in use; d[len - 1] != 0, or len == 0 for zero
  std::uint32_t d[kMaxLimbs];
};

// pack: x := the integer held in cells 0..precision of register r.
void pack(int r, Num& x);
// unpack: cells 0..precision of r := x mod 10^(precision+1).
void unpack(const Num& x, int r);
// setPow10: x := 10^k.
void setPow10(Num& x, int k);
// shiftUp: x := x * 10^k.  shiftDown: x := floor(x / 10^k).  keepLow: x := x mod 10^k.
void shiftUp(Num& x, int k);
void shiftDown(Num& x, int k);
void keepLow(Num& x, int k);
// mulLow: out := (a * b) mod 10^k', where k' >= k is k rounded up to whole limbs;
// only the limbs below that bound are formed. out must not alias a or b.
void mulLow(const Num& a, const Num& b, Num& out, int k);
// divide: q := floor(u / v) for v != 0. q must not alias u or v.
void divide(const Num& u, const Num& v, Num& q);
// mulFixed: out := floor(a * b / 10^f) mod 10^(precision+1), f = precision - decpoint:
// the fixed-point product, truncated and wrapped. out must not alias a or b.
void mulFixed(const Num& a, const Num& b, Num& out);
// lowZeroLimbs: the number of zero limbs below the lowest non-zero one.
int lowZeroLimbs(const Num& x);
// halve: x := floor(x / 2); returns the bit shifted out.
int halve(Num& x);

}  // namespace engine::wide
