// The digit store, its primitives and the five operations on registers set directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/ops.h"
#include "engine/reference.h"
#include "engine/store.h"
#include "engine/wide.h"
#include "engine/wide_pow.h"
#include "support.h"

using namespace engine;
using testing_support::regText;
using testing_support::setReg;

// Every row runs through the fast routine and, where there is one, the plain reference.
// A refused division must leave its registers as they were.
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
  };
  const auto rows = testing_support::readCases("registers.txt");
  ASSERT_GT(rows.size(), 60u);
  for (const auto& row : rows) {
    const Op& op = ops.at(row[1]);
    for (auto routine : {op.fast, op.plain}) {
      if (routine == nullptr) continue;
      setPrecision(std::stoi(row[0]));
      setReg(op.left, row[2]), setReg(op.right, row[3]), setReg(op.output, "3");
      const std::string before = regText(op.left) + regText(op.output);
      const bool done = routine();
      EXPECT_EQ(done ? regText(op.output) : "none", row[4]) << row[2] << row[1] << row[3] << " at " << row[0];
      if (!done) {
        EXPECT_EQ(regText(op.left) + regText(op.output), before);
      }
    }
  }
}

// The primitives at precision 20; cells past the precision never count in compare.
TEST(Registers, Primitives) {
  setPrecision(20);
  const struct {
    void (*op)(int);
    const char* before;
    const char* after;
  } rows[] = {{one, "5", "00000000001.0000000000"},
              {two, "5", "00000000002.0000000000"},
              {m10, "90000000001.0000000001", "00000000010.0000000010"},
              {d10, "90000000001.0000000001", "09000000000.1000000000"}};
  for (const auto& row : rows) {
    setReg(0, row.before), row.op(0);
    EXPECT_EQ(regText(0), row.after) << row.before;
  }
  const char* pairs[][3] = {{"2", "2", "101"}, {"10", "2", "102"}, {"2", "10", "103"}, {"0", "0.0000000001", "103"}};
  for (const auto& pair : pairs) {
    setReg(0, pair[0]), setReg(10000, pair[1]), n[10000 + 21] = 7;
    EXPECT_EQ(std::to_string(compare(0, 10000)), pair[2]) << pair[0] << " vs " << pair[1];
  }
}

// A base with a fraction gives its exact power truncated to f digits when that is below
// 10^(decpoint+1), checked against big integers; past it (and for integer bases) the chain of
// truncating multiplications it stands for, checked against the plain mul(). Bases: few
// digits, dense, just above and below 1, just below an integer; exponents up to a few hundred.
TEST(Registers, Powers) {
  unsigned seed = 7;
  const std::vector<int> exponents = {0, 1, 2, 3, 4, 5, 7, 8, 13, 30, 64, 101, 257};
  for (int p = 0; p <= 60; ++p) {
    setPrecision(p);
    const int f = p - decpoint;
    const std::string ones(static_cast<size_t>(f), '9'), dense = testing_support::randomDigits(seed, p + 1, true);
    const std::vector<std::string> bases = {
        "1.05", "0.5", "3.7", dense.substr(0, static_cast<size_t>(decpoint) + 1) + "." + dense.substr(static_cast<size_t>(decpoint) + 1),
        "1." + std::string(static_cast<size_t>(std::max(f - 1, 0)), '0') + "1", "0." + ones, "2." + ones,
        "0." + dense.substr(0, static_cast<size_t>(f)), "1." + dense.substr(0, static_cast<size_t>(f))};
    for (const std::string& base : bases) {
      for (int e : exponents) {
        setReg(rExpBase, base), setReg(rExpPow, std::to_string(e));
        if (std::to_string(e).size() > static_cast<size_t>(decpoint) + 1) continue;  // does not fit
        exp();
        const std::string x = regText(rExpBase);
        std::string digits = x;
        digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
        const bool fraction = digits.find_first_not_of('0', static_cast<size_t>(decpoint) + 1) != std::string::npos;
        // x^e · 10^f = X^e / 10^(f(e−1)) fits when it has at most p + 1 digits.
        std::string exact = e == 0 ? "" : testing_support::powerDigits(digits, e);
        if (e > 0) exact = exact.size() > static_cast<size_t>(f) * (e - 1) ? exact.substr(0, exact.size() - static_cast<size_t>(f) * (e - 1)) : "0";
        if (e > 0 && fraction && exact.size() <= static_cast<size_t>(p) + 1) {
          exact.insert(0, static_cast<size_t>(p) + 1 - exact.size(), '0');
          if (f > 0) exact.insert(static_cast<size_t>(decpoint) + 1, ".");
          EXPECT_EQ(regText(rExpResult), exact) << x << " ^ " << e << " at precision " << p;
          // From two-limb mantissas the power must grow them until the bound settles it.
          static wide::Num X, power, out;
          char bits[16];
          int count = 0;
          for (int b = e; b > 0; b /= 2) bits[++count] = static_cast<char>('0' + b % 2);
          wide::pack(rExpBase, p, X), wide::pack(rExpPow, p, power), wide::shiftDown(power, f);
          const wide::PowerSize size = wide::exactPower(X, f, decpoint + 1, power, bits, count, out, 2);
          ASSERT_NE(size, wide::PowerSize::overflows);
          if (size == wide::PowerSize::zero) out.len = 0;
          wide::unpack(out, 0, p);
          EXPECT_EQ(regText(0), exact) << x << " ^ " << e << " from two limbs at precision " << p;
          continue;
        }
        setReg(0, "1"), setReg(10000, base);  // result, square
        for (int bits = e; bits > 0; bits /= 2) {
          if (bits % 2 == 1) move(0, rMulA), move(10000, rMulB), ref::mul(), move(rMulProd, 0);
          if (bits > 1) move(10000, rMulA), move(10000, rMulB), ref::mul(), move(rMulProd, 10000);
        }
        EXPECT_EQ(regText(rExpResult), regText(0)) << x << " ^ " << e << " at precision " << p;
      }
    }
  }
}

// At precisions 0, 1 and 2 a register holds at most 1,000 values: every pair through +, −, ×
// and ÷, and every base to the exponents that fit (0 to 20), against the contracts written
// as integer arithmetic on X = value · 10^f, wrapped mod W = 10^(p+1).
TEST(Registers, EveryValueAtPrecisionsZeroToTwo) {
  long long cases = 0;
  for (int p = 0; p <= 2; ++p) {
    setPrecision(p);
    const int f = p - decpoint;
    const long long W = p == 0 ? 10 : p == 1 ? 100 : 1000, F = f == 0 ? 1 : 10;
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
        const bool divided = div();
        const long long want[] = {(x + y) % W, (x - y + W) % W, x * y / F % W, y == 0 ? 7 : x * F / y % W};
        const long long got[] = {get(rAddSum), get(rSubDiff), get(rMulProd), get(rDivQuot)};
        for (int op = 0; op < 4; ++op) {
          ASSERT_EQ(got[op], want[op]) << x << "+-*/"[op] << y << " (cells, ×10^" << f << ") at precision " << p;
        }
        ASSERT_EQ(divided, y != 0);
        cases += 4;
      }
      // x^e: 1 for e = 0; a base with a fraction gives floor(X^e / F^(e−1)) when that is below
      // W; otherwise (and for integers) the chain r := r·s / F, s := s·s / F, each wrapped.
      for (long long e = 0; e < (p == 2 ? 21 : 10); ++e, ++cases) {
        set(rExpBase, x), set(rExpPow, e * F), exp();
        const std::string exact = testing_support::powerDigits(std::to_string(x), static_cast<int>(e));
        const size_t cut = static_cast<size_t>(f) * static_cast<size_t>(std::max(e - 1, 0LL));
        const std::string truncated = e == 0 ? std::to_string(F) : exact.size() > cut ? exact.substr(0, exact.size() - cut) : "0";
        long long want = -1;
        if (x % F != 0 && truncated.size() <= static_cast<size_t>(p) + 1) want = std::stoll(truncated);
        if (want < 0) {
          long long r = F % W, s = x;
          for (long long bits = e; bits > 0; bits /= 2) {
            if (bits % 2 == 1) r = r * s / F % W;
            if (bits > 1) s = s * s / F % W;
          }
          want = r;
        }
        ASSERT_EQ(get(rExpResult), want) << x << " ^ " << e << " (cells) at precision " << p;
      }
    }
  }
  EXPECT_EQ(cases, 4 * (100 + 10000 + 1000000) + 10 * 10 + 100 * 10 + 1000 * 21);
}
