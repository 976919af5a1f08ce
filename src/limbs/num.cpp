// Limb layout: decimal shifts and cuts, and the carrying additions the products and
// quotients share.
#include "limbs/num.h"

#include <algorithm>

#include "limbs/columns.h"


namespace limbs {

namespace {

constexpr Limb kPow10[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

}  // namespace

void trim(Num& x) {
  while (x.len > 0 && x.d[x.len - 1] == 0) --x.len;
}

void setPow10(Num& x, int k) {
  x.len = k / kLimbDigits + 1;
  std::fill(x.d, x.d + x.len, Limb{0});
  x.d[x.len - 1] = kPow10[k % kLimbDigits];
}

void shiftUp(Num& x, int k) {
  if (x.len == 0 || k <= 0) return;
  const int limbs = k / kLimbDigits;
  std::copy_backward(x.d, x.d + x.len, x.d + x.len + limbs);
  std::fill(x.d, x.d + limbs, Limb{0});
  x.len += limbs;
  scaleBy(x, kPow10[k % kLimbDigits], x);
  trim(x);
}

void scaleBy(const Num& x, Limb s, Num& out) {
  std::uint64_t c = 0;
  for (int i = 0; i < x.len; ++i) {
    const std::uint64_t t = std::uint64_t{x.d[i]} * s + c;
    out.d[i] = static_cast<Limb>(t % kBase);
    c = t / kBase;
  }
  out.d[x.len] = static_cast<Limb>(c);
  out.len = x.len + 1;
}

void shiftDown(Num& x, int k) {
  if (k <= 0) return;
  const int limbs = k / kLimbDigits;
  if (limbs >= x.len) {
    x.len = 0;
    return;
  }
  std::copy(x.d + limbs, x.d + x.len, x.d);
  x.len -= limbs;
  const Limb p = kPow10[k % kLimbDigits];
  if (p > 1) {
    for (int i = 0; i < x.len; ++i) {
      const Limb high = i + 1 < x.len ? x.d[i + 1] % p : 0;
      x.d[i] = x.d[i] / p + high * (kBase / p);
    }
  }
  trim(x);
}

void keepLow(Num& x, int k) {
  const int limbs = k / kLimbDigits;
  if (limbs >= x.len) return;
  x.d[limbs] %= kPow10[k % kLimbDigits];
  x.len = limbs + 1;
  trim(x);
}

int lowZeroLimbs(const Num& x) {
  int i = 0;
  while (i < x.len && x.d[i] == 0) ++i;
  return i;
}

int digits(const Num& x) {
  if (x.len == 0) return 0;
  int k = 1;
  while (k < kLimbDigits && x.d[x.len - 1] >= kPow10[k]) ++k;
  return kLimbDigits * (x.len - 1) + k;
}

int compare(const Num& a, const Num& b) {
  if (a.len != b.len) return a.len < b.len ? -1 : 1;
  for (int i = a.len - 1; i >= 0; --i) {
    if (a.d[i] != b.d[i]) return a.d[i] < b.d[i] ? -1 : 1;
  }
  return 0;
}

int halve(Num& x) {
  Limb rem = 0;
  for (int i = x.len - 1; i >= 0; --i) {
    const Limb cur = x.d[i] + rem * kBase;  // below 2 * 10^8
    x.d[i] = cur / 2;
    rem = cur % 2;
  }
  trim(x);
  return static_cast<int>(rem);
}

// Each limb takes its own sum, less B where that reached B, plus the carry out of the sum
// below it, both from the limbs as they were (addSpan runs downwards, and a may be r): no
// carry runs through that pass, which the kernels take a vector at a time. Only a sum of
// B − 1 with a carry in then lands on B and carries on; a pass settles those, and the carry
// out of the top runs on.
Limb addTo(Limb* r, int rn, const Limb* a, int an) {
  if (an == 0) return 0;
  Limb c = r[an - 1] + a[an - 1] >= kBase ? 1 : 0;
  const bool on = addSpan(r, a, an);
  r[0] = r[0] + a[0] - (r[0] + a[0] >= kBase ? kBase : 0);
  for (int i = 0; on && i < an; ++i) {
    if (r[i] != kBase) continue;
    r[i] = 0;
    if (i + 1 < an) ++r[i + 1];
    else c = 1;
  }
  for (int i = an; c != 0 && i < rn; ++i) {
    c = r[i] == kBase - 1;
    r[i] = c ? 0 : r[i] + 1;
  }
  return c;
}

// As addTo: each limb takes its own difference, plus B where that went below zero, less the
// borrow of the difference below it; only a difference of 0 with a borrow in then goes
// below zero (to 2^32 − 1) and borrows on, which a pass settles.
Limb subFrom(Limb* r, int rn, const Limb* a, int an) {
  if (an == 0) return 0;
  Limb b = r[an - 1] < a[an - 1] ? 1 : 0;
  const bool under = subSpan(r, a, an);
  r[0] = r[0] - a[0] + (r[0] < a[0] ? kBase : 0);
  constexpr Limb kUnder = ~Limb{0};
  for (int i = 0; under && i < an; ++i) {
    if (r[i] != kUnder) continue;
    r[i] = kBase - 1;
    if (i + 1 < an) --r[i + 1];
    else b = 1;
  }
  for (int i = an; b != 0 && i < rn; ++i) {
    b = r[i] == 0;
    r[i] = b ? kBase - 1 : r[i] - 1;
  }
  return b;
}

}  // namespace limbs
