// Long division: Knuth's Algorithm D in base 10^8. Both operands are first multiplied by
// s so that the divisor's top limb is at least kBase / 2; the quotient-limb estimate from
// the top two limbs is then at most two above the true limb, and one add-back fixes the rest.
#include "limbs/div.h"

#include <cassert>

namespace limbs {

namespace {

// q := floor(u / v) for a one-limb divisor.
void divideSmall(const Num& u, Limb v, Num& q) {
  std::uint64_t rem = 0;
  q.len = u.len;
  for (int i = u.len - 1; i >= 0; --i) {
    const std::uint64_t cur = rem * kBase + u.d[i];
    q.d[i] = static_cast<Limb>(cur / v);
    rem = cur % v;
  }
  trim(q);
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

void divide(const Num& u, const Num& v, Num& q) {
  assert(v.len > 0 && u.len < kMaxLimbs);
  if (v.len == 1) return divideSmall(u, v.d[0], q);
  if (u.len < v.len) {
    q.len = 0;
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
}

}  // namespace limbs
