// The digit store, its primitives and the five operations on registers set directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>
#include <string>

#include "engine/ops.h"
#include "engine/reference.h"
#include "engine/store.h"
#include "limbs/columns.h"
#include "limbs/div.h"
#include "limbs/mul.h"
#include "limbs/num.h"
#include "limbs/pow.h"
#include "support.h"

using namespace engine;
using testing_support::regText;
using testing_support::setReg;

// Every row runs through the fast routine and, where there is one, the plain reference.
// A refused division must leave its registers as they were. The primitives work on the
// left register; "<=>" writes compare's code (101 equal, 102 greater, 103 less) as a value.
TEST(Registers, OperationTable) {
  struct Op {
    int left, right, output;
    bool (*fast)(), (*plain)();
  };
  const std::map<std::string, Op> ops = {
      {"+", {rAddA, rAddB, rAddSum, [] { add(); return true; }, nullptr}},
      {"-", {rSubA, rSubB, rSubDiff, [] { sub(); return true; }, nullptr}},
      {"*", {rMulA, rMulB, rMulProd, [] { mul(); return true; }, [] { ref::mul(); return true; }}},
      {"/", {rDivA, rDivB, rDivQuot, div, ref::div}},
      {"^", {rExpBase, rExpPow, rExpResult, [] { exp(); return true; }, nullptr}},
      {"m10", {0, 10000, 0, [] { m10(0); return true; }, nullptr}},
      {"d10", {0, 10000, 0, [] { d10(0); return true; }, nullptr}},
      {"one", {0, 10000, 0, [] { one(0); return true; }, nullptr}},
      {"two", {0, 10000, 0, [] { two(0); return true; }, nullptr}},
      {"<=>", {0, 10000, 20000, [] { setReg(20000, std::to_string(compare(0, 10000))); return true; }, nullptr}},
  };
  const auto rows = testing_support::readCases("registers.txt");
  ASSERT_GT(rows.size(), 60u);
  for (const auto& row : rows) {
    const Op& op = ops.at(row[1]);
    for (auto routine : {op.fast, op.plain}) {
      if (routine == nullptr) continue;
      setPrecision(std::stoi(row[0]));
      setReg(op.output, "3"), setReg(op.left, row[2]), setReg(op.right, row[3]);
      const std::string before = regText(op.left) + regText(op.output);
      const bool done = routine();
      EXPECT_EQ(done ? regText(op.output) : "none", row[4]) << row[2] << row[1] << row[3] << " at " << row[0];
      if (!done) {
        EXPECT_EQ(regText(op.left) + regText(op.output), before);
      }
    }
  }
}

// At precisions 0, 1 and 2 a register holds at most 1,000 values: every pair through +, −,
// × and ÷ against the contracts written as integer arithmetic on X = value · 10^f, wrapped
// mod W = 10^(p+1). (Every base's powers at these precisions are in the oracle test.)
TEST(Registers, EveryPairAtPrecisionsZeroToTwo) {
  for (int p = 0; p <= 2; ++p) {
    setPrecision(p);
    const long long W = p == 0 ? 10 : p == 1 ? 100 : 1000, F = p == 0 ? 1 : 10;
    auto set = [&](int r, long long x) {
      for (int k = p; k >= 0; --k, x /= 10) n[r + k] = static_cast<signed char>(x % 10);
    };
    auto get = [&](int r) {
      long long x = 0;
      for (int k = 0; k <= p; ++k) x = 10 * x + n[r + k];
      return x;
    };
    for (long long x = 0; x < W; ++x) {
      for (long long y = 0; y < W; ++y) {
        set(rAddA, x), set(rAddB, y), add(), set(rSubA, x), set(rSubB, y), sub();
        set(rMulA, x), set(rMulB, y), mul(), set(rDivA, x), set(rDivB, y), set(rDivQuot, 7);
        ASSERT_EQ(div(), y != 0);
        const long long want[] = {(x + y) % W, (x - y + W) % W, x * y / F % W, y == 0 ? 7 : x * F / y % W};
        const long long got[] = {get(rAddSum), get(rSubDiff), get(rMulProd), get(rDivQuot)};
        for (int op = 0; op < 4; ++op) {
          ASSERT_EQ(got[op], want[op]) << x << "+-*/"[op] << y << " (cells) at precision " << p;
        }
      }
    }
  }
}

// Limb vectors: a sum that lands exactly on the base carries (inside and out of the top, and
// through limbs that the kernels take a vector at a time), and subtracting the addend again
// borrows back. Then quotients by halves against long
// division, and 0 <= u − q·v < v, for lengths around the thresholds and limbs that push
// the estimates to their corrections: dense, all 99999999, runs of 99999999 and 0, low
// zeros. Last, no kernel wider than the processor runs is ever taken.
TEST(Limbs, CarriesQuotientsAndKernels) {
  using limbs::Limb;
  const std::vector<std::vector<Limb>> carries[] = {{{99999999, 5}, {1}, {0, 6}, {0}},
                                                    {{50000000, 5}, {50000000}, {0, 6}, {0}},
                                                    {{99999999, 99999999}, {1}, {0, 0}, {1}},
                                                    {{12, 99999999, 7}, {99999988, 0}, {0, 0, 8}, {0}}};
  std::vector rows(std::begin(carries), std::end(carries));
  std::vector<Limb> nines(40, 99999999), unit(40, 0), sum(40, 0);  // a carry run through whole vectors
  std::fill_n(nines.begin(), 10, 0), nines[39] = 5, unit[10] = 1, sum[39] = 6;
  rows.push_back({nines, unit, sum, {0}});
  for (const auto& row : rows) {  // r, a, r + a, carry
    std::vector<Limb> r = row[0];
    const int rn = static_cast<int>(r.size()), an = static_cast<int>(row[1].size());
    EXPECT_EQ(limbs::addTo(r.data(), rn, row[1].data(), an), row[3][0]) << row[0][0] << " + " << row[1][0];
    EXPECT_EQ(r, row[2]) << row[0][0] << " + " << row[1][0];
    EXPECT_EQ(limbs::subFrom(r.data(), rn, row[1].data(), an), row[3][0]) << row[0][0] << " - " << row[1][0];
    EXPECT_EQ(r, row[0]) << row[0][0] << " - " << row[1][0];
  }
  // Column sums split into limbs with every kernel: sums next to multiples of 10^8 and 10^16
  // up to 2^64 − 1, where a quotient estimated in floating point comes out one off.
  const std::uint64_t b = limbs::kBase;
  std::vector<std::uint64_t> sums{~std::uint64_t{0}, std::uint64_t{1} << 63};
  for (std::uint64_t m = 1; m < ~std::uint64_t{0} / b; m = m * 3 + 7) {
    for (const std::uint64_t x : {m * b, m / b * b * b}) sums.insert(sums.end(), {x - 1, x, x + 1});
  }
  const std::size_t count = sums.size();
  sums.resize(count + limbs::kColumnSlack);
  std::vector<std::int32_t> split(sums.size()), want(count);
  for (std::size_t k = 0; k < count; ++k) {
    want[k] = static_cast<std::int32_t>(sums[k] % b + (k > 0 ? sums[k - 1] / b % b : 0) + (k > 1 ? sums[k - 2] / b / b : 0));
  }
  for (int k = 0; k <= static_cast<int>(limbs::bestKernel()); ++k) {
    limbs::useKernel(static_cast<limbs::Kernel>(k));
    limbs::splitColumns(sums.data(), static_cast<int>(count), split.data());
    EXPECT_TRUE(std::equal(want.begin(), want.end(), split.begin())) << "kernel " << k;
  }
  limbs::useKernel(limbs::bestKernel());
  static limbs::Num u, v, q, ref, rest, t;
  unsigned seed = 16;
  auto fill = [&](limbs::Num& x, int len, int pattern) {
    for (int i = 0; i < len; ++i) {
      seed = seed * 1103515245u + 12345u;
      const Limb dense = (seed >> 4) % limbs::kBase, runs = (i / 7) % 2 == 0 ? limbs::kBase - 1 : 0;
      x.d[i] = pattern == 0 ? dense : pattern == 1 ? limbs::kBase - 1 : pattern == 2 ? runs : i < len / 2 ? 0 : dense;
    }
    x.len = len, x.d[len - 1] = pattern == 4 ? 1 : std::max<Limb>(x.d[len - 1], 1);
  };
  // Patterns: dense, all 99999999, runs of them, low zeros, a top limb of 1, and a dividend
  // one below a multiple of the divisor (whose quotient the divisor's top limbs overrate by
  // one). Divisors past the products' operands (3,000 limbs) and dividends shorter than the
  // divisor too.
  const limbs::Limb one = 1;
  for (int vn : {2, 3, 47, 48, 49, 95, 97, 256, 257, 627, 1250, 3000}) {
    for (int extra : {-1, 0, 1, 3, 4, 47, 48, 49, 96, 97, 100, 626, 1300}) {
      for (int pattern = 0; pattern < 6 && vn + extra < limbs::kMaxLimbs - 1; ++pattern) {
        fill(v, vn, pattern % 5), fill(u, vn + extra, (pattern + 1) % 5);
        if (pattern == 5 && (extra < 1 || vn > limbs::kMaxOperand || extra > limbs::kMaxOperand)) continue;
        if (pattern == 5) fill(t, extra, 0), limbs::product(v, t, u), limbs::subFrom(u.d, u.len, &one, 1), limbs::trim(u);
        limbs::divide(u, v, q), limbs::longDivide(u, v, ref);
        ASSERT_EQ(limbs::compare(q, ref), 0) << u.len << " / " << v.len << " pattern " << pattern;
        if (v.len > limbs::kMaxOperand || q.len > limbs::kMaxOperand) continue;  // past product's reach
        limbs::product(q, v, ref);
        ASSERT_LE(limbs::compare(ref, u), 0) << u.len << " / " << v.len;
        rest = u, limbs::subFrom(rest.d, rest.len, ref.d, ref.len), limbs::trim(rest);
        ASSERT_LT(limbs::compare(rest, v), 0) << u.len << " / " << v.len;
      }
    }
  }
  EXPECT_EQ(limbs::useKernel(limbs::Kernel::avx512), limbs::bestKernel());
  EXPECT_EQ(limbs::useKernel(limbs::Kernel::plain), limbs::Kernel::plain);
  limbs::useKernel(limbs::bestKernel());
}

// Products and squares with Karatsuba down to two limbs (sums of halves stacked five deep)
// and by transform equal the schoolbook ones, for dense limbs and limbs all 99999999, with
// every kernel; past 1,844 limbs, where columns would overflow, a product equals the sum of
// its pieces'.
TEST(Limbs, ProductsAtAnyThreshold) {
  static limbs::Num a, b, r, s, piece;
  unsigned seed = 5;
  const auto fill = [&](limbs::Num& x, int len, bool nines) {
    for (int i = 0; i < len; ++i) x.d[i] = nines ? limbs::kBase - 1 : (seed = seed * 1103515245u + 12345u) >> 5;
    for (int i = 0; i < len; ++i) x.d[i] %= limbs::kBase;
    x.len = len, x.d[len - 1] = std::max<limbs::Limb>(x.d[len - 1], 1);
  };
  // 641 and 1,281 limbs: the 10-digit coefficients' columns pass a transform length by one;
  // 2,560 by 100: the longest operand widened into the planes.
  const int lengths[][2] = {{9, 9},     {40, 17},   {313, 313}, {700, 250},  {1844, 1844},
                            {1844, 900}, {641, 641}, {1281, 1281}, {2560, 100}};
  for (int k = 0; k <= static_cast<int>(limbs::bestKernel()); ++k) {
    const auto kernel = limbs::useKernel(static_cast<limbs::Kernel>(k));
    const limbs::Thresholds kept = limbs::thresholdsFor(kernel);
    for (const auto& len : lengths) {
      for (const bool nines : {false, true}) {
        fill(a, len[0], nines), fill(b, len[1], nines);
        for (const limbs::Num* other : {&a, &b}) {
          limbs::setThresholds(kernel, {5000, 5000, 0, 0});
          limbs::product(a, *other, r);
          for (const limbs::Thresholds t : {limbs::Thresholds{2, 2, 0, 0}, limbs::Thresholds{5000, 5000, 0, 1}}) {
            limbs::setThresholds(kernel, t);
            limbs::product(a, *other, s);
            EXPECT_EQ(limbs::compare(r, s), 0) << len[0] << " by " << other->len << " limbs, kernel " << k
                                               << (t.whole == 1 ? ", by transform" : "");
          }
        }
      }
    }
    limbs::setThresholds(kernel, kept);
  }
  limbs::useKernel(limbs::bestKernel());
  // Limbs from `drop` on, with the carry into them from the sums below: 5s then 99999999s
  // times 1 (no carries, but sums within 3 of a multiple of B) and times 3 (carries of 2).
  for (const int drop : {12, 20}) {
    for (const limbs::Limb times : {1u, 3u}) {
      a.len = 40, b.len = 1, b.d[0] = times;
      for (int i = 0; i < a.len; ++i) a.d[i] = i < 8 ? 5 : limbs::kBase - 1;
      limbs::product(a, b, r), limbs::product(a, b, s, limbs::kMaxLimbs, drop);
      EXPECT_TRUE(r.len == s.len && std::equal(r.d + drop, r.d + r.len, s.d + drop)) << drop << ", times " << times;
    }
  }
  // Past 1,844 limbs (product's longest operands, longProduct's any): a·c is the sum of a's
  // 1,000-limb pieces times c (by Karatsuba), whose columns 64 bits hold; c is a itself at
  // equal lengths. With the kernel's thresholds (operands on both sides of the whole
  // products' thresholds) and by transform wherever one fits: 2,560 limbs of nines squared
  // bring the transform's column sums to their bound.
  std::vector<limbs::Limb> ws(limbs::longScratch(4000)), got(6000), want(6000);
  const int longer[][2] = {{1845, 1845}, {2560, 2560}, {2560, 2000}, {2200, 900}, {4000, 1900},
                           {3999, 2001}, {2000, 1999}, {2000, 2000}};
  const auto best = limbs::bestKernel();
  const limbs::Thresholds own = limbs::thresholdsFor(best);
  for (const auto& len : longer) {
    for (const bool nines : {false, true}) {
      fill(a, len[0], nines), fill(b, len[1], !nines);
      const limbs::Num& c = len[0] == len[1] ? a : b;
      std::fill(want.begin(), want.end(), 0);
      limbs::setThresholds(best, {own.product, own.square, own.cyclic, 0});
      for (int at = 0; at < a.len; at += 1000) {
        s.len = std::min(1000, a.len - at), std::copy(a.d + at, a.d + at + s.len, s.d), limbs::trim(s);
        limbs::product(s, c, piece), limbs::addTo(want.data() + at, 6000 - at, piece.d, piece.len);
      }
      for (const int whole : {own.whole, 1}) {
        limbs::setThresholds(best, {own.product, own.square, own.cyclic, whole});
        std::fill(got.begin(), got.end(), 0);
        if (a.len <= limbs::kMaxOperand) limbs::product(a, c, r), std::copy(r.d, r.d + r.len, got.begin());
        if (a.len > limbs::kMaxOperand) limbs::longProduct(got.data(), a.d, a.len, c.d, c.len, ws.data());
        EXPECT_EQ(want, got) << len[0] << " by " << len[1] << (nines ? ", nines" : "") << ", from " << whole;
      }
    }
  }
  limbs::setThresholds(best, own);
  // A power's step, a·b and b·b at once (by cyclic transforms where they pay off), equals two
  // fixed-point products, with every kernel, with its own thresholds and with transforms
  // wherever they fit: lengths and fractions of precisions 9999, 9000, 7000, 5000 and 20,
  // b longer than a, a transform that would fold onto the carry columns (520 limbs each,
  // 8,056 digits kept), operands on both sides of the thresholds (511/512, 1023/1024 and
  // 1199/1200 limbs) and past 1,844 limbs (whose column sums 64 bits do not hold), dense
  // limbs, limbs all 99999999, and b = 1, whose carry into the kept limbs the sums below
  // leave open.
  const int pairs[][4] = {{1250, 1250, 5000, 10000}, {1250, 1, 5000, 10000}, {1250, 700, 5000, 10000},
                          {300, 1250, 2000, 10000},  {300, 1250, 4000, 16000}, {1126, 1126, 4500, 9001},
                          {2100, 2100, 8400, 16800}, {600, 313, 2500, 5001}, {875, 875, 3500, 7001},
                          {3, 2, 10, 21}, {520, 520, 128, 8056}, {511, 511, 2044, 4088}, {512, 512, 2048, 4096},
                          {1023, 1023, 4092, 8184}, {1024, 1024, 4096, 8192}, {1199, 1199, 4796, 9592},
                          {1200, 1200, 4800, 9600}};
  for (int run = 0; run < 2 * (static_cast<int>(limbs::bestKernel()) + 1); ++run) {
    const limbs::Kernel kernel = limbs::useKernel(static_cast<limbs::Kernel>(run / 2));
    const limbs::Thresholds kept = limbs::thresholdsFor(kernel);
    if (run % 2 == 1) limbs::setThresholds(kernel, {kept.product, kept.square, 1, kept.whole});
    const int k = static_cast<int>(kernel);
    for (const auto& row : pairs) {
      for (const bool nines : {false, true}) {
        static limbs::Num ab, bb;
        fill(a, row[0], nines), fill(b, row[1], !nines);
        if (row[1] == 1) b.d[0] = 1;
        for (limbs::Num* x : {&a, &b}) {  // past 1,844 limbs, limbs near B: sums past 2^64
          for (int i = 0; row[0] > 1844 && i < x->len; ++i) x->d[i] = limbs::kBase - 1 - x->d[i] % 10000000;
        }
        limbs::mulFixed(a, b, r, row[2], row[3]), limbs::mulFixed(b, b, s, row[2], row[3]);
        limbs::mulFixedPair(a, b, ab, bb, row[2], row[3]);
        EXPECT_TRUE(limbs::compare(ab, r) == 0 && limbs::compare(bb, s) == 0)
            << row[0] << " by " << row[1] << ", f " << row[2] << (nines ? ", nines" : "") << ", kernel " << k
            << (run % 2 == 1 ? ", transforms wherever they fit" : "");
      }
    }
    limbs::setThresholds(kernel, kept);
  }
  limbs::useKernel(limbs::bestKernel());
}

// The exact powers' loss bound, at mantissas of two to four limbs: the true power, formed
// from exact integers, is at or above the computed lower bound and within its carried loss
// of it; and a power the bound says is settled has every digit of the exact one.
TEST(Limbs, PowerLossBound) {
  static limbs::Num x, n, m, t, s, next, a, c, out;
  const auto log10Of = [](const limbs::Num& v) {
    double top = 0;
    for (int k = v.len - 1; k >= std::max(0, v.len - 3); --k) top = top * limbs::kBase + v.d[k];
    return std::log10(top) + 8.0 * std::max(0, v.len - 3);
  };
  unsigned seed = 77;
  int inexact = 0;
  for (int round = 0; round < 400; ++round) {
    const auto next32 = [&] { return seed = seed * 1103515245u + 12345u, seed >> 4; };
    x.len = 1 + static_cast<int>(next32() % 3);
    for (int i = 0; i < x.len; ++i) x.d[i] = next32() % limbs::kBase;
    x.d[x.len - 1] = std::max<limbs::Limb>(x.d[x.len - 1], 1);
    const int power = 2 + static_cast<int>(next32() % 1500), f = static_cast<int>(next32() % static_cast<unsigned>(8 * x.len));
    const int cap = 2 + round % 3;
    if (static_cast<long long>(limbs::digits(x)) * power > 8LL * limbs::kMaxOperand - 16) continue;
    char bits[16];
    int count = 0;
    for (int e = power; e > 0; e /= 2) bits[++count] = static_cast<char>('0' + e % 2);
    long long e = 0;
    const double logLoss = limbs::lowerBound(x, f, bits, count, cap, m, e);
    t.len = 1, t.d[0] = 1, s = x;  // t := X^n exactly
    for (int b = 1; b <= count; ++b) {
      if (bits[b] == '1') limbs::product(t, s, next), t = next;
      if (b < count) limbs::product(s, s, next), s = next;
    }
    // x^n = t / 10^(f·n) against m·10^(8e): both at the scale of the finer one.
    const long long shift = 8 * e + static_cast<long long>(f) * power;
    a = t, c = m;
    limbs::shiftUp(shift < 0 ? a : c, static_cast<int>(shift < 0 ? -shift : shift));
    ASSERT_LE(limbs::compare(c, a), 0) << "round " << round;
    if (limbs::compare(c, a) != 0) {
      ++inexact;
      limbs::subFrom(a.d, a.len, c.d, c.len), limbs::trim(a);
      EXPECT_LE(log10Of(a) - log10Of(c), logLoss + 1e-6) << "round " << round << ": " << power << " at cap " << cap;
    }
    // A power the bound settles is the exact one: floor(t / 10^(f·(n − 1))).
    n.len = 1, n.d[0] = static_cast<limbs::Limb>(power);
    if (limbs::exactPower(x, f, 8 * limbs::kMaxOperand, n, bits, count, out, cap) == limbs::PowerSize::fits) {
      limbs::shiftDown(t, f * (power - 1));
      EXPECT_EQ(limbs::compare(out, t), 0) << "round " << round << ": " << power << " at cap " << cap;
    }
  }
  EXPECT_GT(inexact, 100);
  // Past the cap the exact integers settle it, longer than any fixed number (up to 16 MiB):
  // at a 2-limb cap the digits equal the full cap's; past 16 MiB, even where the result
  // itself fits, they are unproven.
  const struct {
    limbs::Limb low, high;  // X = high·10^8 + low
    int f, power;
  } past[] = {{987, 1, 8, 5001}, {12345678, 100000, 13, 3000}, {1, 10000000, 15, 2047}, {3, 1, 8, 0x7FFFFFFF}};
  for (const auto& row : past) {
    x.len = 2, x.d[0] = row.low, x.d[1] = row.high;
    char bits[40];
    int count = 0;
    for (int e = row.power; e > 0; e /= 2) bits[++count] = static_cast<char>('0' + e % 2);
    const auto power = static_cast<limbs::Limb>(row.power);
    n.len = power < limbs::kBase ? 1 : 2, n.d[0] = power % limbs::kBase, n.d[1] = power / limbs::kBase;
    const auto capped = limbs::exactPower(x, row.f, 40, n, bits, count, out, 2);
    if (row.power == 0x7FFFFFFF) {
      EXPECT_EQ(capped, limbs::PowerSize::unproven);
      continue;
    }
    ASSERT_EQ(capped, limbs::PowerSize::fits) << row.power;
    ASSERT_EQ(limbs::exactPower(x, row.f, 40, n, bits, count, a, limbs::kMaxOperand), limbs::PowerSize::fits);
    EXPECT_EQ(limbs::compare(out, a), 0) << row.high << "e8+" << row.low << " ^ " << row.power;
  }
  // (1 + 10^−99)^40000: its result fits, but its exact integers would take 22 MB.
  limbs::setPow10(x, 99), x.d[0] += 1;
  char bits[20];
  int count = 0;
  for (int e = 40000; e > 0; e /= 2) bits[++count] = static_cast<char>('0' + e % 2);
  n.len = 1, n.d[0] = 40000;
  EXPECT_EQ(limbs::exactPower(x, 99, 40, n, bits, count, out, 2), limbs::PowerSize::unproven);
}
