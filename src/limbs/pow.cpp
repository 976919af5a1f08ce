// Exact powers. x^n runs left to right over the exponent's bits with sliding windows (odd
// powers of x from a table), on mantissas of K limbs (value m·B^e), each operand and product
// truncated to its top K limbs: every value computed is a lower bound c = T·(1 − η) of its
// true value T. A cut that drops anything but zeros adds at most ε = B^−(K−1) to η; a square
// gives η <= 2η + ε (2η + 2ε where it leaves out its low half's square, which lies below
// the cut) and a product η <= η + η' + ε; long mantissas' products also leave out pairs of
// limbs far below the cut, which adds less than ε/B. The bound is carried along as the
// power runs. A loss made early is doubled by every square after it, so each step's K is
// chosen for the squares that remain: long at the top bits, short at the last ones.
// Then x^n < c·(1 + 2η): when the digits of c past the last kept one are not all nines as
// far as that margin reaches, every kept digit of c is a digit of x^n; else the target
// grows and the power runs again. Where K reaches its cap, the power is formed exactly from
// integers, as long as any fixed number or longer (up to 16 MiB, freed afterwards).
#include "limbs/pow.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "limbs/mul.h"

namespace limbs {

namespace {

// Digits checked past the error margin: a tail that is all nines there sends the power
// round again, which for digits with no pattern happens once in 10^10.
constexpr int kCheckDigits = 10;

// A positive value m·10^e with 1 <= m < 10, from the top 17 digits of x.
struct Approx {
  double m = 0;
  long long e = 0;
};

// m·10^e rescaled so that 1 <= m < 10 (or m = 0).
Approx normalised(double m, long long e) {
  Approx a{m, e};
  while (a.m >= 10) a.m /= 10, ++a.e;
  while (a.m > 0 && a.m < 1) a.m *= 10, --a.e;
  return a;
}

Approx approx(const Num& x) {
  double v = 0;
  const int top = std::max(0, x.len - 3);
  for (int i = x.len - 1; i >= top; --i) v = v * kBase + x.d[i];
  return normalised(v, 8LL * top);
}

// log10(x^n) = n·log10(x) as a sign and a magnitude, for x = X / 10^f. Between 0.1 and 10
// the logarithm comes from x − 1 taken exactly, so it keeps its relative precision near 1.
std::pair<int, Approx> logOfPower(const Num& X, int f, const Num& n) {
  const Approx x = approx(X);
  double log10x = 0;
  if (x.e - f >= 1 || x.e - f <= -2) {
    log10x = std::log10(x.m) + static_cast<double>(x.e - f);
  } else {
    static Num one, delta;
    setPow10(one, f);
    const int side = compare(X, one);
    const Num& below = side > 0 ? one : X;
    delta = side > 0 ? X : one;
    subFrom(delta.d, delta.len, below.d, below.len);
    trim(delta);
    const Approx d = approx(delta);
    if (d.e - f < -300) {  // ln(1 ± δ) = ±δ to 300 digits
      const Approx nn = approx(n);
      return {side, normalised(d.m / std::log(10.0) * nn.m, d.e - f + nn.e)};
    }
    log10x = std::log1p(side * d.m * std::pow(10.0, static_cast<double>(d.e - f))) / std::log(10.0);
  }
  const Approx nn = approx(n), l = normalised(std::fabs(log10x), 0);
  return {log10x > 0 ? 1 : -1, normalised(l.m * nn.m, l.e + nn.e)};
}

// A truncated power: m·B^e, a lower bound of its true value, with its relative loss η
// below 10^logLoss (−infinity: exact). Every field is set before it is read (the values
// are static, zero-initialised without touching their pages).
struct Value {
  Num m;
  long long e;
  double logLoss;
};

// log10(10^a + 10^b), rounded up a little: the bounds only ever grow.
double logSum(double a, double b) {
  if (a < b) std::swap(a, b);
  if (b == -std::numeric_limits<double>::infinity()) return a;
  return a + std::log10(1 + std::pow(10.0, b - a)) + 1e-9;
}

// v := its top k limbs; a cut that drops more than zeros adds B^−(k−1) to its loss.
void cut(Value& v, int k) {
  const int drop = v.m.len - k;
  if (drop <= 0) return;
  if (lowZeroLimbs(v.m) < drop) v.logLoss = logSum(v.logLoss, -8.0 * (k - 1));
  std::copy(v.m.d + drop, v.m.d + v.m.len, v.m.d);
  v.m.len = k;
  v.e += drop;
}

// Mantissas from this many limbs square by halves (topSquare) where the cut allows; the
// products inside split further (addTopProduct) while both sides have kTopProductMin limbs.
constexpr int kTopSquareMin = 256;
constexpr int kTopProductMin = 256;

// acc[at..) += x·y for limbs below B; acc holds the sum without a carry out.
void addProduct(const Limb* x, int xn, const Limb* y, int yn, Limb* acc, int accn, int at) {
  static Num xs, ys, p;
  xs.len = xn, ys.len = yn;
  std::copy(x, x + xn, xs.d), std::copy(y, y + yn, ys.d);
  trim(xs), trim(ys);
  if (xs.len == 0 || ys.len == 0) return;
  product(xs, ys, p);
  [[maybe_unused]] const Limb carry = addTo(acc + at, accn - at, p.d, p.len);
  assert(carry == 0);
}

// acc[at..) += x·y less some of the pairs x[i]·y[j] with i + j < low and none other, so
// that what is left out is below low·B^(low+1): the limbs of either side that meet only
// such pairs are dropped, then Mulders' split at p, two fifths of the shorter side: the
// tops (all but p limbs) multiplied whole, each top with the other side's low p limbs by
// this again, and the low parts' product, whose pairs all have i + j < low, left out.
void addTopProduct(const Limb* x, int xn, const Limb* y, int yn, int low, Limb* acc, int accn, int at) {
  const int dx = std::clamp(low - (yn - 1), 0, xn), dy = std::clamp(low - (xn - 1), 0, yn);
  x += dx, y += dy, xn -= dx, yn -= dy, low -= dx + dy, at += dx + dy;
  if (xn == 0 || yn == 0) return;
  const int p = std::min(2 * std::min(xn, yn) / 5, (low + 1) / 2);
  if (std::min(xn, yn) < kTopProductMin || p < 1) return addProduct(x, xn, y, yn, acc, accn, at);
  addProduct(x + p, xn - p, y + p, yn - p, acc, accn, at + 2 * p);
  addTopProduct(x + p, xn - p, y, p, low - p, acc, accn, at + p);
  addTopProduct(x, p, y + p, yn - p, low - p, acc, accn, at + p);
}

// log10 of the most addTopProduct leaves out at line `low` (below low·B^(low+1)) when its
// product is placed at B^at, against a value of at least B^least.
double leftOut(int low, int at, int least) {
  return std::log10(static_cast<double>(low)) + 8.0 * (low + 1 + at - least);
}

// out := a² less a0² for a = a1·B^h + a0 (a0 < B^h), and less some of 2·a0·a1's pairs
// below B^low (addTopProduct): a1²·B^2h + 2·a0·a1·B^h, one square of about half a's length
// and less than one product of it, where a whole square takes three squares of it.
void topSquare(const Num& a, int h, int low, Num& out) {
  static Num twice, high;
  twice.len = h, high.len = a.len - h;
  std::copy(a.d, a.d + h, twice.d), std::copy(a.d + h, a.d + a.len, high.d);
  trim(twice);
  if (addTo(twice.d, twice.len, twice.d, twice.len) != 0) twice.d[twice.len++] = 1;  // 2·a0
  product(high, high, out);
  std::copy_backward(out.d, out.d + out.len, out.d + out.len + 2 * h);
  std::fill(out.d, out.d + 2 * h, Limb{0});
  std::fill(out.d + out.len + 2 * h, out.d + 2 * a.len, Limb{0});
  out.len = 2 * a.len;  // room for the whole square
  addTopProduct(twice.d, twice.len, high.d, high.len, low, out.d, out.len, h);
  trim(out);
}

// out := a · b cut to k limbs (a, b cut first), with the loss bound of the product. Long
// mantissas leave out the pairs of limbs below B^low (addTopProduct), low·B^(low+1) at
// most, which against a·b >= B^(an+bn−2) is below B^−k: less than the cut's own loss.
void multiply(Value& a, Value& b, Value& out, int k) {
  cut(a, k), cut(b, k);
  const int an = a.m.len, bn = b.m.len, low = an + bn - k - 4;
  double dropped = -std::numeric_limits<double>::infinity();
  if (std::min(an, bn) >= kTopProductMin && low >= 1 && lowZeroLimbs(a.m) + lowZeroLimbs(b.m) < low) {
    std::fill(out.m.d, out.m.d + an + bn, Limb{0});
    out.m.len = an + bn;
    addTopProduct(a.m.d, an, b.m.d, bn, low, out.m.d, out.m.len, 0);
    trim(out.m);
    dropped = leftOut(low, 0, an + bn - 2);
  } else {
    product(a.m, b.m, out.m);
  }
  out.e = a.e + b.e;
  out.logLoss = logSum(logSum(a.logLoss, b.logLoss), dropped);
  cut(out, k);
}

// out := a² cut to k limbs: the loss doubles. Where the cut drops more than a's low h limbs'
// square would reach, that square is left out (topSquare): it is below B^2h, at most
// B^(2h−2(n−1)) of a² for a of n limbs, so an h that keeps this within B^−(k−1) adds no
// more loss than the cut itself; the pairs of the cross product left out add less than
// B^−k more.
void square(Value& a, Value& out, int k) {
  cut(a, k);
  const int n = a.m.len, h = (2 * n - k - 1) / 2, low = std::max(1, 2 * n - k - h - 5);
  double dropped = -std::numeric_limits<double>::infinity();
  if (n >= kTopSquareMin && h >= n / 4 && lowZeroLimbs(a.m) < h) {
    topSquare(a.m, h, low, out.m);
    // a0² < B^2h, and what the cross product leaves out, doubled, against a² >= B^(2n−2)
    dropped = logSum(8.0 * (2 * h - 2 * (n - 1)), std::log10(2.0) + leftOut(low, h, 2 * (n - 1)));
  } else {
    product(a.m, a.m, out.m);
  }
  out.e = 2 * a.e;
  out.logLoss = logSum(a.logLoss + std::log10(2.0) + 1e-9, dropped);
  cut(out, k);
}

// The integer digits of m·B^e (at most 0 below 1).
long long integerDigits(const Value& v) { return digits(v.m) + 8 * v.e; }

enum class Run { settled, unsettled, overflows, stopped };

// The window width for an exponent of `count` bits: a table of 2^(w−1) odd powers saves
// about count·(1/2 − 1/(w+1)) products.
int windowFor(int count) {
  return count < 8 ? 1 : count < 40 ? 3 : count < 600 ? 4 : count < 4000 ? 5 : count < 10000 ? 6 : 8;
}

// The steps' plan: K for a step after which `squares` squares remain, so that the losses of
// all the steps, each doubled by the squares after it, add up to less than 10^−target.
struct Plan {
  double target, logSteps;
  int cap;
  int limbsFor(int squares) const {
    const double digitsNeeded = target + logSteps + squares * std::log10(2.0) + 1;
    return std::clamp(2 + static_cast<int>(digitsNeeded / 8), 2, cap);
  }
};

// The lower bound c of x^n (bits[1..count], lowest first, the top one set) by the plan's
// steps, with its loss bound; overflows when a step reaches 10^intDigits. `capped` when a
// step's mantissa was at the plan's cap. The result stays valid until the next call.
Run windowsPower(const Num& X, int f, int intDigits, const char* bits, int count, const Plan& plan,
                 const Value*& result, bool& capped, GoOn goOn) {
  const int w = std::min(windowFor(count), std::max(1, count - 1));
  static Value table[1 << 7], x2, store[2];
  Value *r = &store[0], *next = &store[1];  // swapped, never copied
  capped = false;
  const auto limbs = [&](int squares) {
    const int k = plan.limbsFor(squares);
    capped = capped || k == plan.cap;
    return k;
  };
  // The odd powers x, x^3, ..., x^(2^w − 1), at the precision of their first use.
  const int kTable = limbs(count - 1);
  table[0].m = X, table[0].e = -digitLimbs(f), table[0].logLoss = -std::numeric_limits<double>::infinity();
  shiftUp(table[0].m, 8 * digitLimbs(f) - f);
  cut(table[0], kTable);
  if (w > 1) square(table[0], x2, kTable);
  for (int t = 1; t < (1 << (w - 1)); ++t) {
    if (goOn != nullptr && !goOn(0.5 / (count + 1))) return Run::stopped;
    multiply(table[t - 1], x2, table[t], kTable);
    if (integerDigits(table[t]) > intDigits) return Run::overflows;
  }
  bool started = false;
  for (int i = count; i >= 1;) {
    if (goOn != nullptr && !goOn((count - i + 1.0) / (count + 1))) return Run::stopped;
    if (bits[i] == '0') {
      square(*r, *next, limbs(i - 1)), std::swap(r, next);
      --i;
      continue;
    }
    int j = std::max(1, i - w + 1);
    while (bits[j] == '0') ++j;
    int odd = 0;
    for (int b = i; b >= j; --b) odd = 2 * odd + (bits[b] - '0');
    for (int b = i; started && b >= j; --b) square(*r, *next, limbs(b - 1)), std::swap(r, next);
    if (started) {
      multiply(*r, table[odd / 2], *next, limbs(j - 1)), std::swap(r, next);
    } else {
      *r = table[odd / 2];
      started = true;
    }
    if (integerDigits(*r) > intDigits) return Run::overflows;
    i = j - 1;
  }
  result = r;
  return Run::settled;
}

// out := floor(c·10^f) for the lower bound c of x^n; settled when every digit of out is a
// digit of x^n (see the top of the file).
Run powerByWindows(const Num& X, int f, int intDigits, const char* bits, int count, const Plan& plan, Num& out,
                   bool& capped, GoOn goOn) {
  const Value* r = nullptr;
  const Run run = windowsPower(X, f, intDigits, bits, count, plan, r, capped, goOn);
  if (run != Run::settled) return run;
  const long long g = -(8 * r->e + f);  // digits of the mantissa below 10^−f
  out = r->m;
  const bool exact = r->logLoss == -std::numeric_limits<double>::infinity();
  if (g <= 0) {
    shiftUp(out, static_cast<int>(-g));
    return exact ? Run::settled : Run::unsettled;
  }
  shiftDown(out, static_cast<int>(std::min<long long>(g, 8LL * kMaxLimbs)));
  if (exact) return Run::settled;
  // x^n − c < 2η·c < 10^h units of the mantissa's last digit.
  const double logError = std::log10(2.0) + r->logLoss + digits(r->m);
  const long long h = std::max(0LL, static_cast<long long>(std::floor(logError)) + 1);
  if (g <= h + 1) return Run::unsettled;
  static Num tail, nines;
  tail = r->m;
  keepLow(tail, static_cast<int>(g));
  shiftDown(tail, static_cast<int>(h));
  setPow10(nines, static_cast<int>(g - h));
  const Limb one = 1;
  subFrom(nines.d, nines.len, &one, 1);
  trim(nines);
  return compare(tail, nines) == 0 ? Run::unsettled : Run::settled;
}

// The most an exact power's integers take, freed when it returns: 16 MiB.
constexpr long long kPowerBuffer = 16LL << 20;

// out := floor(X^n / 10^(f·(n−1))) = floor(x^n · 10^f) from integers, without a cut, held in
// one buffer of at most kPowerBuffer bytes: settled; unsettled, out untouched, when X^n would
// not fit there; stopped when goOn says no.
Run powerFromIntegers(const Num& X, int f, const char* bits, int count, Num& out, GoOn goOn) {
  if (count > 40) return Run::unsettled;
  long long n = 0;
  for (int b = count; b >= 1; --b) n = 2 * n + (bits[b] - '0');
  const long long len = static_cast<long long>(digits(X)) * n / kLimbDigits + 2;  // limbs of X^n
  const long long drop = static_cast<long long>(f) * (n - 1);                       // digits cut off
  if (len * 3 + longScratch(static_cast<int>(std::min<long long>(len, kPowerBuffer))) > kPowerBuffer / 4 ||
      len - drop / kLimbDigits > kMaxLimbs) {
    return Run::unsettled;
  }
  const int L = static_cast<int>(len);
  std::vector<Limb> buffer(static_cast<std::size_t>(3 * L + longScratch(L)));
  Limb *power = buffer.data(), *s = power + L, *next = s + L, *ws = next + L;  // swapped, never copied
  int pn = 1, sn = X.len;
  power[0] = 1;
  std::copy(X.d, X.d + X.len, s);
  const auto top = [](const Limb* x, int k) {
    while (k > 0 && x[k - 1] == 0) --k;
    return k;
  };
  for (int b = 1; b <= count; ++b) {
    if (goOn != nullptr && !goOn(static_cast<double>(b) / count)) return Run::stopped;
    if (bits[b] == '1') longProduct(next, power, pn, s, sn, ws), pn = top(next, pn + sn), std::swap(power, next);
    if (b < count) longProduct(next, s, sn, s, sn, ws), sn = top(next, 2 * sn), std::swap(s, next);
  }
  const int dropLimbs = static_cast<int>(drop / kLimbDigits);
  out.len = std::max(0, pn - dropLimbs);
  std::copy(power + dropLimbs, power + dropLimbs + out.len, out.d);
  shiftDown(out, static_cast<int>(drop % kLimbDigits));
  return Run::settled;
}

}  // namespace

double lowerBound(const Num& X, int f, const char* bits, int count, int capLimbs, Num& m, long long& e) {
  const Plan plan{1e9, 0, std::clamp(capLimbs, 2, kMaxOperand)};  // every step at the cap
  const Value* r = nullptr;
  bool capped = false;
  windowsPower(X, f, std::numeric_limits<int>::max(), bits, count, plan, r, capped, nullptr);
  m = r->m, e = r->e;
  return r->logLoss;
}

// The logarithm sorts out the powers certainly too small or too large; the mantissas are
// planned for the result's digits and a few more, and the plan grows until the bound settles
// the result. At the cap on K, the exact integers settle it where they fit. (Past that, an
// unsettled result needs thousands of nines in x^n right after its last kept digit; its
// lower bound's digits are given, and said to be unproven.)
PowerSize exactPower(const Num& X, int f, int intDigits, const Num& n, const char* bits, int count, Num& out,
                     int capLimbs, GoOn goOn) {
  if (count == 0) return setPow10(out, f), PowerSize::fits;  // x^0 = 1
  const auto [sign, p] = logOfPower(X, f, n);
  if (p.e > 17) return sign > 0 ? PowerSize::overflows : PowerSize::zero;
  const double log10Power = sign * p.m * std::pow(10.0, static_cast<double>(p.e));
  const double margin = 1e-9 * (std::fabs(log10Power) + 1);
  if (log10Power > intDigits + margin) return PowerSize::overflows;
  if (log10Power < -(f + 2) - margin) return PowerSize::zero;
  const double mag = std::clamp(log10Power, -1.0 - f, 1.0 + intDigits);
  const int resultDigits = std::max(0, f + static_cast<int>(std::ceil(mag)) + 1);
  const int w = windowFor(count);
  Plan plan{static_cast<double>(resultDigits + kCheckDigits + 2), std::log10(3.0 * (2 * count + (1 << w) + 2)),
            std::clamp(capLimbs, 2, kMaxOperand)};
  for (;;) {
    bool capped = false;
    const Run run = powerByWindows(X, f, intDigits, bits, count, plan, out, capped, goOn);
    if (run == Run::stopped) return PowerSize::stopped;
    if (run == Run::overflows) return PowerSize::overflows;
    if (run == Run::settled) return PowerSize::fits;
    if (capped) {
      const Run exact = powerFromIntegers(X, f, bits, count, out, goOn);
      return exact == Run::stopped ? PowerSize::stopped : exact == Run::settled ? PowerSize::fits : PowerSize::unproven;
    }
    plan.target += std::max(8.0 * plan.limbsFor(0) / 2, 16.0);
  }
}

}  // namespace limbs
