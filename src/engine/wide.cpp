#include "engine/wide.h"

#include <algorithm>
#include <cassert>

#include "engine/store.h"

namespace engine::wide {

namespace {

constexpr std::uint32_t kPow10[9] = {1,      10,      100,      1000,     10000,
                                     100000, 1000000, 10000000, 100000000};

void trim(Num& x) {
  while (x.len > 0 && x.d[x.len - 1] == 0) --x.len;
}

// out := x * s with one more limb than x (the top one possibly 0), for s < kBase.
// out may be x itself.
void scaleInto(const Num& x, std::uint32_t s, Num& out) {
  std::uint64_t c = 0;
  for (int i = 0; i < x.len; ++i) {
    const std::uint64_t t = std::uint64_t{x.d[i]} * s + c;
    out.d[i] = static_cast<std::uint32_t>(t % kBase);
    c = t / kBase;
  }
  const int len = x.len;
  out.d[len] = static_cast<std::uint32_t>(c);
  out.len = len + 1;
}

void mulSmall(Num& x, std::uint32_t m) {
  scaleInto(x, m, x);
  trim(x);
}

// q := floor(u / v) for a one-limb divisor.
void divideSmall(const Num& u, std::uint32_t v, Num& q) {
  std::uint64_t rem = 0;
  q.len = u.len;
  for (int i = u.len - 1; i >= 0; --i) {
    const std::uint64_t cur = rem * kBase + u.d[i];
    q.d[i] = static_cast<std::uint32_t>(cur / v);
    rem = cur % v;
  }
  trim(q);
}

}  // namespace

int lowZeroLimbs(const Num& x) {
  int i = 0;
  while (i < x.len && x.d[i] == 0) ++i;
  return i;
}

// Limb i holds the digits of weight 10^(8i)..10^(8i+7), that is cells precision-8i-7..precision-8i.
void pack(int r, Num& x) {
  const signed char* c = n + r;
  x.len = (precision + kLimbDigits) / kLimbDigits;
  for (int i = 0; i < x.len; ++i) {
    std::uint32_t v = 0;
    const int top = std::max(0, precision - kLimbDigits * i - (kLimbDigits - 1));
    for (int k = top; k <= precision - kLimbDigits * i; ++k) v = v * 10 + static_cast<std::uint32_t>(c[k]);
    x.d[i] = v;
  }
  trim(x);
}

void unpack(const Num& x, int r) {
  signed char* c = n + r;
  for (int i = 0; kLimbDigits * i <= precision; ++i) {
    std::uint32_t v = i < x.len ? x.d[i] : 0;
    for (int k = precision - kLimbDigits * i; k >= 0 && k > precision - kLimbDigits * (i + 1); --k) {
      c[k] = static_cast<signed char>(v % 10);
      v /= 10;
    }
  }
}

void setPow10(Num& x, int k) {
  x.len = k / kLimbDigits + 1;
  std::fill(x.d, x.d + x.len, 0u);
  x.d[x.len - 1] = kPow10[k % kLimbDigits];
}

void shiftUp(Num& x, int k) {
  if (x.len == 0 || k <= 0) return;
  const int limbs = k / kLimbDigits;
  std::copy_backward(x.d, x.d + x.len, x.d + x.len + limbs);
  std::fill(x.d, x.d + limbs, 0u);
  x.len += limbs;
  mulSmall(x, kPow10[k % kLimbDigits]);
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
  const std::uint32_t p = kPow10[k % kLimbDigits];
  if (p > 1) {
    for (int i = 0; i < x.len; ++i) {
      const std::uint32_t high = i + 1 < x.len ? x.d[i + 1] % p : 0;
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

// Row by row into 64-bit column sums, then one carry pass. A column sums at most
// 1250 products below 10^16, so it stays below 1.25e19 < 2^64 with its carry.
void mulLow(const Num& a, const Num& b, Num& out, int k) {
  static std::uint64_t acc[kMaxLimbs + 1];
  const int top = std::min(a.len + b.len, k / kLimbDigits + 1);
  const int la = lowZeroLimbs(a), lb = lowZeroLimbs(b);
  assert(std::min(a.len - la, b.len - lb) <= 1250);
  if (la >= a.len || lb >= b.len || la + lb >= top) {
    out.len = 0;
    return;
  }
  std::fill(acc + la + lb, acc + top, 0u);
  for (int i = la; i < a.len && i + lb < top; ++i) {
    const std::uint64_t ai = a.d[i];
    const int end = std::min(b.len, top - i);
    std::uint64_t* row = acc + i;
    for (int j = lb; j < end; ++j) row[j] += ai * b.d[j];
  }
  std::fill(out.d, out.d + la + lb, 0u);
  std::uint64_t carry = 0;
  for (int i = la + lb; i < top; ++i) {
    const std::uint64_t t = acc[i] + carry;
    out.d[i] = static_cast<std::uint32_t>(t % kBase);
    carry = t / kBase;
  }
  out.len = top;
  trim(out);
}

// Long division with quotient-limb estimation (Knuth's Algorithm D). Both operands are
// first multiplied by s so that the divisor's top limb is at least kBase / 2; the
// estimate from the top two limbs is then at most two above the true limb.
void divide(const Num& u, const Num& v, Num& q) {
  assert(v.len > 0);
  if (v.len == 1) return divideSmall(u, v.d[0], q);
  if (u.len < v.len) {
    q.len = 0;
    return;
  }
  static Num un, vn;
  const std::uint32_t s = kBase / (v.d[v.len - 1] + 1);
  scaleInto(u, s, un);
  scaleInto(v, s, vn);
  const int nv = v.len, m = u.len - nv;
  const std::uint64_t vTop = vn.d[nv - 1], vNext = vn.d[nv - 2];
  for (int j = m; j >= 0; --j) {
    const std::uint64_t num = std::uint64_t{un.d[j + nv]} * kBase + un.d[j + nv - 1];
    std::uint64_t qhat = num / vTop, rhat = num % vTop;
    while (qhat >= kBase || qhat * vNext > rhat * kBase + un.d[j + nv - 2]) {
      --qhat;
      rhat += vTop;
      if (rhat >= kBase) break;
    }
    // un[j..j+nv] -= qhat * vn
    std::int64_t borrow = 0;
    std::uint64_t carry = 0;
    for (int i = 0; i < nv; ++i) {
      const std::uint64_t p = qhat * vn.d[i] + carry;
      carry = p / kBase;
      std::int64_t t = static_cast<std::int64_t>(un.d[i + j]) - borrow - static_cast<std::int64_t>(p % kBase);
      borrow = t < 0 ? 1 : 0;
      un.d[i + j] = static_cast<std::uint32_t>(t + borrow * kBase);
    }
    std::int64_t t = static_cast<std::int64_t>(un.d[j + nv]) - borrow - static_cast<std::int64_t>(carry);
    if (t < 0) {  // estimate one too high: add the divisor back
      --qhat;
      std::uint64_t c = 0;
      for (int i = 0; i < nv; ++i) {
        const std::uint64_t sum = std::uint64_t{un.d[i + j]} + vn.d[i] + c;
        un.d[i + j] = static_cast<std::uint32_t>(sum % kBase);
        c = sum / kBase;
      }
      t += static_cast<std::int64_t>(c);
    }
    un.d[j + nv] = static_cast<std::uint32_t>(t);
    q.d[j] = static_cast<std::uint32_t>(qhat);
  }
  q.len = m + 1;
  trim(q);
}

void mulFixed(const Num& a, const Num& b, Num& out) {
  const int f = precision - decpoint;
  mulLow(a, b, out, f + precision + 1);
  shiftDown(out, f);
  keepLow(out, precision + 1);
}

int halve(Num& x) {
  std::uint32_t rem = 0;
  for (int i = x.len - 1; i >= 0; --i) {
    const std::uint32_t cur = x.d[i] + rem * kBase;  // below 2 * 10^8
    x.d[i] = cur / 2;
    rem = cur % 2;
  }
  trim(x);
  return static_cast<int>(rem);
}

}  // namespace engine::wide
