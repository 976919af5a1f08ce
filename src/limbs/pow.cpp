// Exact powers. x^n runs square-and-multiply on mantissas of K limbs (value m·B^e), each
// product truncated to its top K limbs: a relative loss below ε = B^−(K−1) per product.
// With ρ(k) the loss bound of the computed x^k: ρ(1) <= ε (x itself cut), a square gives
// 2ρ + ε and a product ρ + ρ' + ε, so ρ(n) <= (3n − 1)·ε. The computed c is a lower bound
// and x^n < c·(1 + 2ρ(n)) < c + 6n·ε·c. When the digits of c past the last kept one are not
// all nines as far as that margin reaches, every kept digit of c is a digit of x^n; else
// the mantissas grow and the power runs again.
#include "limbs/pow.h"

#include <algorithm>
#include <cmath>
#include <utility>

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

// x := its top k limbs, e counting the dropped ones; exact stays true while only zeros go.
void cut(Num& x, long long& e, int k, bool& exact) {
  const int drop = x.len - k;
  if (drop <= 0) return;
  exact = exact && lowZeroLimbs(x) >= drop;
  std::copy(x.d + drop, x.d + x.len, x.d);
  x.len = k;
  e += drop;
}

// The integer digits of m·B^e (at most 0 below 1).
long long integerDigits(const Num& m, long long e) { return digits(m) + 8 * e; }

enum class Run { settled, unsettled, overflows };

// out := floor(c·10^f) for the lower bound c of x^n on mantissas of k limbs; settled when
// every digit of out is a digit of x^n (see the top of the file), h being the error margin
// in digits.
Run powerOnMantissas(const Num& X, int f, int intDigits, const char* bits, int count, int k, int h, Num& out) {
  static Num store[3], tail, nines;
  Num *r = &store[0], *s = &store[1], *next = &store[2];
  bool exact = true;
  long long er = 0, es = -digitLimbs(f);
  *s = X;
  shiftUp(*s, 8 * digitLimbs(f) - f);
  cut(*s, es, k, exact);
  r->len = 1, r->d[0] = 1;
  for (int bit = 1; bit <= count; ++bit) {
    if (bits[bit] == '1') {
      product(*r, *s, *next);
      er += es;
      cut(*next, er, k, exact);
      std::swap(r, next);
      if (integerDigits(*r, er) > intDigits) return Run::overflows;
    }
    if (bit == count) break;
    product(*s, *s, *next);
    es *= 2;
    cut(*next, es, k, exact);
    std::swap(s, next);
    if (integerDigits(*s, es) > intDigits) return Run::overflows;
  }
  const long long g = -(8 * er + f);  // digits of the mantissa below 10^−f
  out = *r;
  if (g <= 0) {
    shiftUp(out, static_cast<int>(-g));
    return exact ? Run::settled : Run::unsettled;
  }
  shiftDown(out, static_cast<int>(std::min<long long>(g, 8LL * kMaxLimbs)));
  if (exact) return Run::settled;
  if (g <= h + 1) return Run::unsettled;
  tail = *r;
  keepLow(tail, static_cast<int>(g));
  shiftDown(tail, h);
  setPow10(nines, static_cast<int>(g) - h);
  const Limb one = 1;
  subFrom(nines.d, nines.len, &one, 1);
  trim(nines);
  return compare(tail, nines) == 0 ? Run::unsettled : Run::settled;
}

}  // namespace

// The logarithm sorts out the powers certainly too small or too large; the mantissas
// start long enough for the result's digits, the error margin and the checked digits, and
// grow by half until the bound settles the result.
PowerSize exactPower(const Num& X, int f, int intDigits, const Num& n, const char* bits, int count, Num& out,
                     int startLimbs) {
  const auto [sign, p] = logOfPower(X, f, n);
  if (p.e > 17) return sign > 0 ? PowerSize::overflows : PowerSize::zero;
  const double log10Power = sign * p.m * std::pow(10.0, static_cast<double>(p.e));
  const double margin = 1e-9 * (std::fabs(log10Power) + 1);
  if (log10Power > intDigits + margin) return PowerSize::overflows;
  if (log10Power < -(f + 2) - margin) return PowerSize::zero;
  const int h = digits(n) + 10;  // 6n·10^8 < 10^h: the error margin in digits
  const double mag = std::clamp(log10Power, -1.0 - f, 1.0 + intDigits);
  const int resultDigits = std::max(0, f + static_cast<int>(std::ceil(mag)) + 1);
  int k = std::clamp(startLimbs > 0 ? startLimbs : digitLimbs(resultDigits + h + kCheckDigits) + 1, 2, kMaxOperand);
  for (;;) {
    const Run run = powerOnMantissas(X, f, intDigits, bits, count, k, h, out);
    if (run == Run::overflows) return PowerSize::overflows;
    if (run == Run::settled || k == kMaxOperand) return PowerSize::fits;
    k = std::min(kMaxOperand, k + std::max(k / 2, 2));
  }
}

}  // namespace limbs
