// Arithmetic against exact oracles: GNU bc (an independent program) on thousands of
// random cases, and the plain digit-by-digit methods on operands around the limb sizes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/ops.h"
#include "engine/store.h"
#include "support.h"

using namespace engine;
using testing_support::randomDigits;
using testing_support::regText;
using testing_support::setReg;
using testing_support::usePrecision;

namespace {

struct Case {
  int precision;
  std::string a, b;
  char op;  // '*' or '/'
  std::string ours;
};

// Random register contents: all cells random, or a random-length dense run placed
// anywhere (small, large, integral and fractional values), or all nines.
std::string randomValue(unsigned& seed, int p) {
  const int ip = p / 2 + 1, fp = p - p / 2;
  seed = seed * 1103515245u + 12345u;
  const unsigned kind = (seed >> 16) % 5;
  std::string digits;
  if (kind == 0) digits = randomDigits(seed, ip + fp, false);
  if (kind == 1) digits = std::string(static_cast<size_t>(ip + fp), '9');
  if (kind >= 2) {
    seed = seed * 1103515245u + 12345u;
    const int len = 1 + static_cast<int>((seed >> 16) % static_cast<unsigned>(ip + fp));
    seed = seed * 1103515245u + 12345u;
    const int at = static_cast<int>((seed >> 16) % static_cast<unsigned>(ip + fp - len + 1));
    digits = std::string(static_cast<size_t>(at), '0') + randomDigits(seed, len, kind == 2) +
             std::string(static_cast<size_t>(ip + fp - at - len), '0');
  }
  return digits.substr(0, static_cast<size_t>(ip)) + (fp > 0 ? "." + digits.substr(static_cast<size_t>(ip)) : "");
}

// Runs one case through the engine and records the full register text.
void runOurs(Case& c) {
  usePrecision(c.precision);
  if (c.op == '*') {
    setReg(rMulA, c.a), setReg(rMulB, c.b), mul();
    c.ours = regText(rMulProd);
  } else {
    setReg(rDivA, c.a), setReg(rDivB, c.b);
    c.ours = div() ? regText(rDivQuot) : "zero";
  }
}

// bc's answer truncated to f decimals, reduced to the register's integer digits.
std::string toRegister(const std::string& bcOut, int p) {
  const int ip = p / 2 + 1, fp = p - p / 2;
  const auto dot = bcOut.find('.');
  std::string whole = bcOut.substr(0, dot);
  std::string frac = dot == std::string::npos ? "" : bcOut.substr(dot + 1);
  whole = std::string(static_cast<size_t>(ip), '0') + whole;
  whole = whole.substr(whole.size() - static_cast<size_t>(ip));
  frac = (frac + std::string(static_cast<size_t>(fp), '0')).substr(0, static_cast<size_t>(fp));
  return whole + (fp > 0 ? "." + frac : "");
}

// One bc process for the whole batch; one output line per case.
std::vector<std::string> askBc(const std::vector<Case>& cases) {
  const std::string script = testing::TempDir() + "zantorix_oracle.bc";
  FILE* f = std::fopen(script.c_str(), "w");
  for (const Case& c : cases) {
    std::fprintf(f, "scale=%d\n%s%c%s\n", c.precision - c.precision / 2, c.a.c_str(), c.op, c.b.c_str());
  }
  std::fprintf(f, "quit\n");
  std::fclose(f);
  std::vector<std::string> lines;
  FILE* bc = popen(("BC_LINE_LENGTH=0 bc -q " + script).c_str(), "r");
  if (bc == nullptr) return lines;
  std::string line;
  for (int ch = std::fgetc(bc); ch != EOF; ch = std::fgetc(bc)) {
    if (ch != '\n') line += static_cast<char>(ch);
    else lines.push_back(line), line.clear();
  }
  pclose(bc);
  return lines;
}

void checkAgainstBc(std::vector<Case>& cases) {
  std::vector<Case> nonZero;
  for (Case& c : cases) {
    runOurs(c);
    if (c.ours != "zero") nonZero.push_back(c);
  }
  const auto answers = askBc(nonZero);
  ASSERT_EQ(answers.size(), nonZero.size()) << "is bc installed?";
  int wrong = 0;
  for (size_t i = 0; i < nonZero.size() && wrong < 5; ++i) {
    const Case& c = nonZero[i];
    const std::string want = toRegister(answers[i], c.precision);
    if (c.ours != want) ++wrong;
    EXPECT_EQ(c.ours, want) << c.a << ' ' << c.op << ' ' << c.b << " at precision " << c.precision;
  }
}

}  // namespace

TEST(Oracle, RandomProductsAndQuotientsAgainstBc) {
  std::vector<Case> cases;
  unsigned seed = 2026;
  for (int p = 0; p <= 60; ++p) {
    for (int i = 0; i < 60; ++i) {
      cases.push_back({p, randomValue(seed, p), randomValue(seed, p), i % 2 ? '*' : '/', ""});
    }
  }
  for (int p : {500, 1000, 9999}) {
    for (int i = 0; i < 6; ++i) cases.push_back({p, randomValue(seed, p), randomValue(seed, p), i % 2 ? '*' : '/', ""});
  }
  checkAgainstBc(cases);
}

// Results fed back: a chain through the result register, as a user's R*R, R/M would.
TEST(Oracle, ChainsThroughResultAgainstBc) {
  std::vector<Case> cases;
  unsigned seed = 99;
  for (int p : {7, 20, 33, 100, 1000}) {
    std::string r = randomValue(seed, p), m = randomValue(seed, p);
    for (int i = 0; i < 24; ++i) {
      Case c{p, r, i % 3 ? m : r, i % 2 ? '*' : '/', ""};
      runOurs(c);
      cases.push_back(c);
      if (c.ours != "zero" && c.ours.find_first_not_of("0.") != std::string::npos) r = c.ours;
      if (i % 5 == 0) m = randomValue(seed, p);
    }
  }
  checkAgainstBc(cases);
}

// The limb paths against the plain digit methods: lengths around every multiple of the
// eight-digit limb, all-nines operands, and the largest precision.
TEST(Oracle, FastPathsMatchPlainMethods) {
  unsigned seed = 5;
  for (int p : {0, 1, 7, 8, 9, 15, 16, 17, 23, 24, 25, 31, 32, 33, 63, 64, 65, 200, 2001}) {
    usePrecision(p);
    for (int i = 0; i < (p > 100 ? 4 : 40); ++i) {
      const std::string a = randomValue(seed, p), b = randomValue(seed, p);
      setReg(rMulA, a), setReg(rMulB, b), mul();
      const std::string fast = regText(rMulProd);
      ref::mul();
      EXPECT_EQ(fast, regText(rMulProd)) << a << " * " << b;
      setReg(rDivA, a), setReg(rDivB, b);
      if (!div()) continue;
      const std::string fastQ = regText(rDivQuot);
      ref::div();
      EXPECT_EQ(fastQ, regText(rDivQuot)) << a << " / " << b;
    }
  }
  // Runs of 9s, 0s and 5s make quotient-limb estimates that overshoot and need correcting.
  const char* blocks[] = {"99999999", "00000000", "50000000", "49999999", "10000000", "00000001"};
  for (int p : {33, 48, 79}) {
    usePrecision(p);
    for (int i = 0; i < 400; ++i) {
      std::string a, b;
      for (int k = 0; k < 10; ++k) {
        seed = seed * 1103515245u + 12345u;
        a += blocks[(seed >> 16) % 6];
        b += blocks[(seed >> 20) % 6];
      }
      const size_t ip = static_cast<size_t>(decpoint) + 1, fp = static_cast<size_t>(precision - decpoint);
      const std::string av = a.substr(0, ip) + "." + a.substr(ip, fp);
      const std::string bv = b.substr(0, ip) + "." + b.substr(ip, fp);
      setReg(rDivA, av), setReg(rDivB, bv);
      if (!div()) continue;
      const std::string fastQ = regText(rDivQuot);
      ref::div();
      EXPECT_EQ(fastQ, regText(rDivQuot)) << av << " / " << bv;
    }
  }
  usePrecision(9999);
  const std::string nines = std::string(5000, '9') + "." + std::string(5000, '9');
  setReg(rMulA, nines), setReg(rMulB, nines), mul();
  const std::string fast = regText(rMulProd);
  ref::mul();
  EXPECT_EQ(fast, regText(rMulProd));
}
