// Quotients. Long division is Knuth's Algorithm D in base 10^8: both operands are first
// multiplied by s so that the divisor's top limb is at least kBase / 2; the quotient-limb
// estimate from the top two limbs is then at most two above the true limb, and one add-back
// fixes the rest. Its cost is the product of the quotient's and the divisor's lengths, at
// scalar speed; divide and conquer moves nearly all of that work into products. Its leaves
// divide lazily (signed limbs carried only where an estimate reads them), with no carry
// chain through each step; Algorithm D stays the reference.
#include "limbs/div.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

#include "limbs/columns.h"
#include "limbs/mul.h"

namespace limbs {

namespace {

// q := floor(u / v) for a one-limb divisor; returns the rest.
Limb divideSmall(const Num& u, Limb v, Num& q) {
  std::uint64_t rem = 0;
  q.len = u.len;
  for (int i = u.len - 1; i >= 0; --i) {
    const std::uint64_t cur = rem * kBase + u.d[i];
    q.d[i] = static_cast<Limb>(cur / v);
    rem = cur % v;
  }
  trim(q);
  return static_cast<Limb>(rem);
}

// un[j..j+nv] -= qhat · vn; returns false when that went below zero (qhat one too high),
// after adding vn back once.
bool subtractMultiple(Limb* un, const Limb* vn, int nv, std::uint64_t qhat) {
  std::int64_t borrow = 0;
  std::uint64_t carry = 0;
  for (int i = 0; i < nv; ++i) {
    const std::uint64_t p = qhat * vn[i] + carry;
    carry = p / kBase;
    const std::int64_t t = static_cast<std::int64_t>(un[i]) - borrow - static_cast<std::int64_t>(p % kBase);
    borrow = t < 0 ? 1 : 0;
    un[i] = static_cast<Limb>(t + borrow * kBase);
  }
  std::int64_t t = static_cast<std::int64_t>(un[nv]) - borrow - static_cast<std::int64_t>(carry);
  const bool fits = t >= 0;
  if (!fits) t += addTo(un, nv, vn, nv);
  un[nv] = static_cast<Limb>(t);
  return fits;
}

}  // namespace

void longDivide(const Num& u, const Num& v, Num& q) { longDivide(u, v, q, nullptr); }

void longDivide(const Num& u, const Num& v, Num& q, Num* r) {
  assert(v.len > 0 && u.len < kMaxLimbs);
  if (v.len == 1) {
    const Limb rest = divideSmall(u, v.d[0], q);
    if (r != nullptr) r->len = rest != 0 ? 1 : 0, r->d[0] = rest;
    return;
  }
  if (u.len < v.len) {
    q.len = 0;
    if (r != nullptr) *r = u;
    return;
  }
  static Num un, vn;
  const Limb s = kBase / (v.d[v.len - 1] + 1);
  scaleBy(u, s, un);
  scaleBy(v, s, vn);
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
    if (!subtractMultiple(un.d + j, vn.d, nv, qhat)) --qhat;
    q.d[j] = static_cast<Limb>(qhat);
  }
  q.len = m + 1;
  trim(q);
  if (r == nullptr) return;
  // The rest, scaled by s, is left in the low limbs of un.
  un.len = nv;
  trim(un);
  divideSmall(un, s, *r);
}

namespace {

// Divisors this long or shorter take lazyDivide: its unnormalised limbs stay below 2^62.
constexpr int kLazyMax = 256;

// floor(x / B) for any x.
std::int64_t carryOf(std::int64_t x) {
  const std::int64_t c = x / kBase;
  return x - c * kBase < 0 ? c - 1 : c;
}

// x[0..n) carried into limbs of out; returns the carry out of the top (any sign).
std::int64_t carryInto(const std::int64_t* x, int n, Limb* out) {
  std::int64_t c = 0;
  for (int i = 0; i < n; ++i) {
    const std::int64_t sum = x[i] + c;
    c = carryOf(sum);
    out[i] = static_cast<Limb>(sum - c * kBase);
  }
  return c;
}

// q := floor(u / v), r := u − q·v, for 2 <= v.len <= min(u.len, kLazyMax), as long division
// whose rest keeps signed 64-bit limbs, never carried while a multiple of v is taken off:
// each quotient limb is estimated in double precision from the rest's top four limbs (the
// one under v's top limb carried into the one above, so that the top is that of the rest's
// value) over v's top three, within 10^−6 of the truth, so the limbs stay in (−B/1000,
// 1.001·B); the top limb is then folded into the one below. u = q·v + rest holds at every
// step whatever the estimates; the last carries settle the rest into [0, v).
void lazyDivide(const Num& u, const Num& v, Num& q, Num& r) {
  static std::int64_t rest[kMaxLimbs + 1], digit[kMaxLimbs];
  const int nv = v.len, m = u.len - nv;
  std::copy(u.d, u.d + u.len, rest);
  rest[u.len] = 0;
  constexpr double B = kBase;
  const double inverse = 1 / ((static_cast<double>(v.d[nv - 1]) * B + static_cast<double>(v.d[nv - 2])) * B +
                              (nv >= 3 ? static_cast<double>(v.d[nv - 3]) : 0.0));
  for (int j = m; j >= 0; --j) {
    const int t = j + nv - 1;  // the rest's limb under v's top limb
    const std::int64_t c = carryOf(rest[t]);
    rest[t] -= c * kBase, rest[t + 1] += c;
    const double num = ((static_cast<double>(rest[t + 1]) * B + static_cast<double>(rest[t])) * B +
                        static_cast<double>(rest[t - 1])) * B + (t >= 2 ? static_cast<double>(rest[t - 2]) : 0.0);
    const double estimate = num * inverse;  // within 10^−6 of a limb below 1.001·B
    assert(estimate > -1e9 && estimate < 1e9);
    const auto qhat = static_cast<std::int32_t>(estimate);
    takeOff(rest + j, v.d, nv, qhat);
    rest[t] += rest[t + 1] * kBase;
    rest[t + 1] = 0;
    digit[j] = qhat;
  }
  // The rest's carry out of its top limb (−1, 0 or 1) says how many v's it is off [0, v).
  const auto belowV = [&] {
    for (int i = nv - 1; i >= 0; --i) {
      if (r.d[i] != v.d[i]) return r.d[i] < v.d[i];
    }
    return false;
  };
  std::int64_t over = carryInto(rest, nv, r.d);
  assert(over >= -1 && over <= 1);
  while (over < 0) over += addTo(r.d, nv, v.d, nv), --digit[0];
  while (over > 0 || !belowV()) over -= subFrom(r.d, nv, v.d, nv), ++digit[0];
  [[maybe_unused]] const std::int64_t beyond = carryInto(digit, m + 1, q.d);
  assert(beyond == 0);
  q.len = m + 1, r.len = nv;
  trim(q), trim(r);
}

// The recursion's leaves (y no longer than x): q := floor(x / y), r := the rest when given,
// by lazyDivide where the divisor is short enough for it.
void leafDivide(const Num& x, const Num& y, Num& q, Num* r) {
  static Num rest;
  if (y.len > kLazyMax) return longDivide(x, y, q, r);
  lazyDivide(x, y, q, r != nullptr ? *r : rest);
}

// Scratch of one level of the recursion. The quotient halves every second level, so 2·13
// levels reach a one-limb quotient from kMaxLimbs; the rest is margin.
struct Frame {
  Num top, divisorTop, high, rest, product;
};
constexpr int kLevels = 32;
Frame frames[kLevels];

// out := floor(x / kBase^s).
void dropLow(const Num& x, int s, Num& out) {
  out.len = std::max(0, x.len - s);
  std::copy(x.d + s, x.d + s + out.len, out.d);
}

// out := x mod kBase^s.
void keepLowLimbs(const Num& x, int s, Num& out) {
  out.len = std::min(x.len, s);
  std::copy(x.d, x.d + out.len, out.d);
  trim(out);
}

// rest := rest · kBase^s + (x mod kBase^s).
void join(Num& rest, int s, const Num& x) {
  const int low = std::min(s, x.len);
  if (rest.len > 0) {
    std::copy_backward(rest.d, rest.d + rest.len, rest.d + rest.len + s);
    rest.len += s;
  } else {
    rest.len = low;
  }
  std::fill(rest.d + low, rest.d + s, Limb{0});
  std::copy(x.d, x.d + low, rest.d);
  trim(rest);
}

// x := x + y.
void add(Num& x, const Num& y) {
  if (x.len < y.len) std::fill(x.d + x.len, x.d + y.len, Limb{0}), x.len = y.len;
  if (addTo(x.d, x.len, y.d, y.len) != 0) x.d[x.len++] = 1;
}

// x := x − y for y <= x.
void subtract(Num& x, const Num& y) {
  subFrom(x.d, x.len, y.d, y.len);
  trim(x);
}

void quotientAndRest(const Num& x, const Num& y, Num& q, Num* r, int level);

// x := x + 1.
void addOne(Num& x) {
  const Limb one = 1;
  if (x.len == 0) x.len = 1, x.d[0] = 0;
  if (addTo(x.d, x.len, &one, 1) != 0) x.d[x.len++] = 1;
}

// Whether rest·kBase^s >= q·w, judged from the top two limbs of q and of w, each plus one:
// true means surely so; false, that only the whole product can tell (rarely: the rest is
// then small against what the top limbs bound).
bool surelyCovers(const Num& rest, int s, const Num& q, const Num& w) {
  static Num qTop, wTop, bound;
  if (q.len == 0 || w.len == 0) return true;
  const int qLow = std::max(0, q.len - 2), wLow = std::max(0, w.len - 2);
  dropLow(q, qLow, qTop), dropLow(w, wLow, wTop);
  addOne(qTop), addOne(wTop);
  product(qTop, wTop, bound);  // bound·kBase^(qLow + wLow) > q·w
  const int shift = qLow + wLow - s;
  if (shift >= 0) {  // rest >= bound·kBase^shift, whose low limbs are zeros
    dropLow(rest, shift, qTop);
    return compare(qTop, bound) >= 0;
  }
  dropLow(bound, -shift, bound);  // rest >= floor(bound / kBase^−shift) + 1 suffices
  addOne(bound);
  return compare(rest, bound) >= 0;
}

// q := floor(x / y) and r := x − q·y, from the top m + 2 limbs of y (m + 1 bounding the
// quotient's length): their quotient q' is q or q + 1, and with their remainder r',
// x − q'·y = r'·kBase^s + (x mod kBase^s) − q'·(y mod kBase^s) for the s limbs dropped;
// below zero, q' was one too high and y is added back. Without r wanted, the product is
// formed only where its top limbs leave that in doubt.
void fromDivisorTop(const Num& x, const Num& y, Num& q, Num* r, int level) {
  Frame& f = frames[level];
  const int s = y.len - (x.len - y.len + 2);
  dropLow(x, s, f.top);
  dropLow(y, s, f.divisorTop);
  quotientAndRest(f.top, f.divisorTop, q, &f.rest, level + 1);
  keepLowLimbs(y, s, f.divisorTop);
  if (r == nullptr && surelyCovers(f.rest, s, q, f.divisorTop)) return;
  product(q, f.divisorTop, f.product);
  join(f.rest, s, x);
  if (compare(f.rest, f.product) < 0) {
    const Limb one = 1;
    subFrom(q.d, q.len, &one, 1), trim(q);
    add(f.rest, y);
  }
  if (r != nullptr) *r = f.rest, subtract(*r, f.product);
}

// q := floor(x / y) as two halves: the high one from x without its low h limbs, the low one
// from what that leaves (below y·kBase^h, so the low half is below kBase^h). r := the rest.
void byHalves(const Num& x, const Num& y, Num& q, Num* r, int level) {
  Frame& f = frames[level];
  const int h = (x.len - y.len + 1) / 2;
  dropLow(x, h, f.top);
  quotientAndRest(f.top, y, f.high, &f.rest, level + 1);
  join(f.rest, h, x);
  quotientAndRest(f.rest, y, q, r, level + 1);
  std::fill(q.d + q.len, q.d + h, Limb{0});
  std::copy(f.high.d, f.high.d + f.high.len, q.d + h);
  q.len = f.high.len > 0 ? h + f.high.len : q.len;
}

// q := floor(x / y) and, when r is given, r := x − q·y, for y of two limbs or more.
// q and r alias neither x nor y.
void quotientAndRest(const Num& x, const Num& y, Num& q, Num* r, int level) {
  assert(y.len >= 2);
  if (level + 1 >= kLevels) return longDivide(x, y, q, r);  // deeper than any length needs
  const int m = x.len - y.len;  // the quotient has at most m + 1 limbs
  if (m < 0) {
    q.len = 0;
    if (r != nullptr) *r = x;
    return;
  }
  // The divisor's top: its dropped low limbs go through product, which takes kMaxOperand.
  if (y.len > m + 3 && y.len >= kDivideMin && y.len - (m + 2) <= kMaxOperand) {
    return fromDivisorTop(x, y, q, r, level);
  }
  // Halving pays where the halves' divisors can be cut short: not for a short divisor under
  // a long quotient, whose long division costs no more than its halves would.
  if (m < kDivideMin || y.len < kDivideMin || (y.len < 2 * kDivideMin && m >= 2 * y.len)) {
    return leafDivide(x, y, q, r);
  }
  byHalves(x, y, q, r, level);
}

}  // namespace

void divide(const Num& u, const Num& v, Num& q) {
  assert(v.len > 0 && u.len < kMaxLimbs);
  if (v.len == 1) return longDivide(u, v, q);
  quotientAndRest(u, v, q, nullptr, 0);
}

}  // namespace limbs
