// libFuzzer target: the arithmetic at any precision from 0 to 9999. The bytes choose the
// precision and two register values built from patterns that stress the limb code; every
// product, quotient and power is checked against a computation that shares none of its code
// (big integers below, or the plain digit methods), and a mismatch aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ops.h"
#include "engine/reference.h"
#include "engine/store.h"
#include "engine/pack.h"
#include "limbs/num.h"
#include "limbs/div.h"

namespace {

using engine::n;

// Unsigned big integers in base 10^9, least significant first, no leading zero limbs.
using Big = std::vector<std::uint64_t>;
constexpr std::uint64_t kBig = 1000000000;

void trim(Big& x) {
  while (!x.empty() && x.back() == 0) x.pop_back();
}

Big fromDigits(const std::string& d) {
  Big x;
  for (size_t end = d.size(); end > 0; end = end > 9 ? end - 9 : 0) {
    x.push_back(std::stoull(d.substr(end > 9 ? end - 9 : 0, end > 9 ? 9 : end)));
  }
  trim(x);
  return x;
}

std::string toDigits(const Big& x) {
  if (x.empty()) return "0";
  std::string s = std::to_string(x.back());
  for (size_t i = x.size() - 1; i-- > 0;) {
    const std::string limb = std::to_string(x[i]);
    s += std::string(9 - limb.size(), '0') + limb;
  }
  return s;
}

Big times(const Big& a, const Big& b) {
  Big r(a.size() + b.size() + 1, 0);
  for (size_t i = 0; i < a.size(); ++i) {
    std::uint64_t carry = 0;
    for (size_t j = 0; j < b.size(); ++j, carry /= kBig) {
      carry += r[i + j] + a[i] * b[j];
      r[i + j] = carry % kBig;
    }
    for (size_t k = i + b.size(); carry != 0; ++k, carry /= kBig) {
      carry += r[k];
      r[k] = carry % kBig;
    }
  }
  trim(r);
  return r;
}

Big plus(const Big& a, const Big& b) {
  Big r(std::max(a.size(), b.size()) + 1, 0);
  std::uint64_t carry = 0;
  for (size_t i = 0; i < r.size(); ++i, carry /= kBig) {
    carry += (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0);
    r[i] = carry % kBig;
  }
  trim(r);
  return r;
}

bool less(const Big& a, const Big& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
}

// Decimal digit strings: x·10^k, floor(x / 10^k), x mod 10^k.
std::string shiftUp(const std::string& x, int k) { return x == "0" ? x : x + std::string(static_cast<size_t>(k), '0'); }
std::string shiftDown(const std::string& x, int k) {
  return x.size() > static_cast<size_t>(k) ? x.substr(0, x.size() - static_cast<size_t>(k)) : "0";
}
std::string keepLow(const std::string& x, int k) {
  const std::string low = x.size() > static_cast<size_t>(k) ? x.substr(x.size() - static_cast<size_t>(k)) : x;
  const size_t first = low.find_first_not_of('0');
  return first == std::string::npos ? "0" : low.substr(first);
}

std::string reg(int r) {
  std::string s;
  for (int k = 0; k <= engine::precision; ++k) s += static_cast<char>('0' + n[r + k]);
  return keepLow(s, engine::precision + 1);
}

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "mismatch: %s at precision %d\n", what, engine::precision);
  std::abort();
}

// Fills register r from a pattern: dense digits, runs of 9s and 0s, a few non-zero digits
// at the ends, or one below a power of ten; every choice comes from the bytes.
void fill(int r, const std::uint8_t*& data, const std::uint8_t* end) {
  auto next = [&](int range) { return data < end ? *data++ % range : 0; };
  const int p = engine::precision, pattern = next(4), run = 1 + next(256) * 37 % (p + 1);
  const int lead = next(3) == 0 ? 0 : next(256) * 41 % (p + 1);  // leading zero cells
  unsigned seed = static_cast<unsigned>(next(256)) * 2654435761u + 1;
  auto digit = [&] { return static_cast<signed char>(((seed = seed * 1103515245u + 12345u) >> 16) % 10); };
  for (int k = 0; k <= p; ++k) {
    signed char d = 9;                                                  // 10^m − 1
    if (pattern == 0) d = digit();                                      // dense
    if (pattern == 1) d = static_cast<signed char>((k / run) % 2 * 9);  // runs of 0s and 9s
    if (pattern == 2) d = k - lead < 3 || k > p - 3 ? digit() : 0;      // digits at the ends
    n[r + k] = k < lead ? 0 : d;
  }
}

// x·y truncated and wrapped: floor(x·y / 10^f) mod 10^(p+1).
std::string fixedProduct(const std::string& x, const std::string& y) {
  const int p = engine::precision, f = p - engine::decpoint;
  return keepLow(shiftDown(toDigits(times(fromDigits(x), fromDigits(y))), f), p + 1);
}

void checkProduct() {
  const std::string a = reg(engine::rMulA), b = reg(engine::rMulB);
  engine::mul();
  const std::string fast = reg(engine::rMulProd);
  if (engine::precision <= 400) {
    engine::ref::mul();
    check(reg(engine::rMulProd) == fast, "product against the plain method");
  }
  check(fast == fixedProduct(a, b), "product against big integers");
}

// The decimal digits of a wide number.
std::string digitsOf(const limbs::Num& x) {
  std::string s;
  for (int i = x.len - 1; i >= 0; --i) {
    const std::string limb = std::to_string(x.d[i]);
    s += i == x.len - 1 ? limb : std::string(8 - limb.size(), '0') + limb;
  }
  return s.empty() ? "0" : s;
}

// q = floor(a·10^f / b) from the limb division, then q·b <= a·10^f < (q + 1)·b by big
// integers, and the register must hold q mod 10^(p+1).
void checkQuotient() {
  const int p = engine::precision, f = p - engine::decpoint;
  const std::string a = reg(engine::rDivA), b = reg(engine::rDivB);
  static limbs::Num wa, wb, wq;
  engine::pack(engine::rDivA, p, wa);
  engine::pack(engine::rDivB, p, wb);
  limbs::shiftUp(wa, f);
  const bool divided = engine::div();
  check(divided == (b != "0"), "division by zero refused");
  if (!divided) return;
  const std::string low = reg(engine::rDivQuot);
  if (p <= 300) {
    engine::ref::div();
    check(reg(engine::rDivQuot) == low, "quotient against the plain method");
  }
  limbs::divide(wa, wb, wq);
  const std::string q = digitsOf(wq);
  check(keepLow(q, p + 1) == low, "quotient wrapped into the register");
  const Big scaled = fromDigits(shiftUp(a, f)), divisor = fromDigits(b), product = times(fromDigits(q), divisor);
  check(!less(scaled, product) && less(scaled, plus(product, divisor)), "q·b <= a·10^f < (q + 1)·b");
}

// x^e by the power's rule: exact then truncated for a base with a fraction while below
// 10^(decpoint+1); otherwise the chain of truncating, wrapping products.
void checkPower(int e) {
  const int p = engine::precision, f = p - engine::decpoint;
  const std::string x = reg(engine::rExpBase);
  for (int k = p; k >= 0; --k) n[engine::rExpPow + k] = 0;
  std::string exponent = shiftUp(std::to_string(e), f);
  for (int k = 0; k < static_cast<int>(exponent.size()) && p - k >= 0; ++k) {
    n[engine::rExpPow + p - k] = static_cast<signed char>(exponent[exponent.size() - 1 - static_cast<size_t>(k)] - '0');
  }
  if (static_cast<int>(std::to_string(e).size()) > engine::decpoint + 1) return;  // does not fit
  engine::exp();
  std::string want;
  const bool fraction = keepLow(x, f) != "0";
  if (e > 0 && fraction) {
    Big power = fromDigits(x), base = fromDigits(x);
    for (int i = 1; i < e; ++i) power = times(power, base);
    const std::string exact = shiftDown(toDigits(power), f * (e - 1));
    if (static_cast<int>(exact.size()) <= p + 1) want = exact;
  }
  if (want.empty()) {
    std::string r = keepLow(shiftUp("1", f), p + 1), s = x;
    for (int bits = e; bits > 0; bits /= 2) {
      if (bits % 2 == 1) r = fixedProduct(r, s);
      if (bits > 1) s = fixedProduct(s, s);
    }
    want = r;
  }
  check(reg(engine::rExpResult) == want, "power");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint8_t* end = data + size;
  if (size < 3) return 0;
  // Precisions near the limb and Karatsuba boundaries come up as often as the rest.
  const int choice = (data[0] << 8 | data[1]) % 10000;
  data += 2;
  engine::setPrecision(choice);
  fill(engine::rMulA, data, end);
  fill(engine::rMulB, data, end);
  engine::move(engine::rMulA, engine::rDivA);
  engine::move(engine::rMulB, engine::rDivB);
  engine::move(engine::rMulA, engine::rExpBase);
  checkProduct();
  checkQuotient();
  checkPower(data < end ? *data % 9 : 2);
  return 0;
}
