// Products, quotients and powers that fit against two exact oracles: GNU bc, an independent
// program, and the plain digit-by-digit methods that the limb paths replace.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/ops.h"
#include "engine/reference.h"
#include "engine/store.h"
#include "engine/wide_columns.h"
#include "support.h"

using namespace engine;
using testing_support::randomDigits;
using testing_support::regText;
using testing_support::setReg;

namespace {

unsigned next(unsigned& seed, unsigned range) {
  seed = seed * 1103515245u + 12345u;
  return (seed >> 16) % range;
}

// Every cell random; all nines; blocks of 9s, 0s and 5s (quotient-limb estimates that
// overshoot); or a run of random length anywhere (small, large, integral, fractional).
std::string randomValue(unsigned& seed, int p) {
  const unsigned ip = static_cast<unsigned>(p / 2 + 1), len = static_cast<unsigned>(p + 1);
  std::string d;
  switch (next(seed, 5)) {
    case 0: d = randomDigits(seed, p + 1, false); break;
    case 1: d.assign(len, '9'); break;
    case 2:
      while (d.size() < len) d += std::vector<const char*>{"99999999", "00000000", "50000000", "49999999"}[next(seed, 4)];
      break;
    default: {
      const unsigned run = 1 + next(seed, len), at = next(seed, len - run + 1);
      d = std::string(at, '0') + randomDigits(seed, static_cast<int>(run), true) + std::string(len - at - run, '0');
    }
  }
  d.resize(len);
  return d.substr(0, ip) + (len > ip ? "." + d.substr(ip) : "");
}

struct Case {
  int p;
  std::string a, b;
  char op;
  std::string fast;
};

// Runs the case through the limb path (a product with every column kernel this CPU has) and,
// where affordable, checks the plain method agrees.
void run(Case& c) {
  engine::setPrecision(c.p);
  if (c.op == '^') {
    setReg(rExpBase, c.a), setReg(rExpPow, c.b), engine::exp();
    c.fast = regText(rExpResult);
    return;
  }
  const bool mul = c.op == '*';
  const int out = mul ? rMulProd : rDivQuot;
  setReg(mul ? rMulA : rDivA, c.a), setReg(mul ? rMulB : rDivB, c.b);
  if (mul ? (engine::mul(), true) : engine::div()) c.fast = regText(out);
  for (int k = 0; mul && k < static_cast<int>(wide::bestKernel()); ++k) {
    wide::useKernel(static_cast<wide::Kernel>(k));
    engine::mul();
    EXPECT_EQ(regText(out), c.fast) << c.a << '*' << c.b << " with kernel " << k;
    wide::useKernel(wide::bestKernel());
  }
  if (c.fast.empty() || (!mul && c.p > 2001)) return;
  mul ? ref::mul() : (void)ref::div();
  EXPECT_EQ(c.fast, regText(out)) << c.a << c.op << c.b << " at " << c.p;
}

// bc's answers, one process for the batch, truncated to f decimals and reduced to the
// register's integer digits.
std::vector<std::string> askBc(const std::vector<Case>& cases) {
  const std::string script = testing::TempDir() + "zantorix_oracle.bc";
  FILE* f = std::fopen(script.c_str(), "w");
  for (const Case& c : cases) std::fprintf(f, "scale=%d\n%s%c%s\n", c.p - c.p / 2, c.a.c_str(), c.op, c.b.c_str());
  std::fclose(f);
  std::vector<std::string> answers(1);
  FILE* bc = popen(("BC_LINE_LENGTH=0 bc -q " + script + " </dev/null").c_str(), "r");
  for (int ch; bc != nullptr && (ch = std::fgetc(bc)) != EOF;) {
    if (ch == '\n') answers.emplace_back();
    else answers.back().push_back(static_cast<char>(ch));
  }
  if (bc != nullptr) pclose(bc);
  answers.pop_back();
  for (size_t i = 0; i < answers.size() && i < cases.size(); ++i) {
    const size_t ip = static_cast<size_t>(cases[i].p / 2 + 1), fp = static_cast<size_t>(cases[i].p - cases[i].p / 2);
    const size_t dot = answers[i].find('.');
    const std::string whole = std::string(ip, '0') + answers[i].substr(0, dot);
    const std::string frac = (dot == std::string::npos ? "" : answers[i].substr(dot + 1)) + std::string(fp, '0');
    answers[i] = whole.substr(whole.size() - ip) + (fp > 0 ? "." + frac.substr(0, fp) : "");
  }
  return answers;
}

}  // namespace

TEST(Oracle, ProductsAndQuotients) {
  std::vector<Case> cases;
  unsigned seed = 2026;
  auto add = [&](Case c) {
    run(c);
    if (!c.fast.empty()) cases.push_back(c);
  };
  for (int p = 0; p <= 80; ++p) {
    for (int i = 0; i < 50; ++i) add({p, randomValue(seed, p), randomValue(seed, p), "*/"[i % 2], ""});
  }
  // Long operands around the Karatsuba thresholds (440 limbs: precision 3519; for squares
  // 720 limbs: 5759) and a split of an odd length (882 limbs: 7055): equal operands (squares)
  // and short ones (precision 20's) among them.
  for (int p : {500, 1000, 2001, 3511, 3519, 3527, 5751, 5759, 5767, 7055, 9999}) {
    for (int i = 0; i < 8; ++i) {
      const std::string a = randomValue(seed, p);
      add({p, a, i % 4 == 2 ? a : randomValue(seed, i % 4 == 3 ? 20 : p), "*/"[i % 2], ""});
    }
  }
  // Powers that fit, exact then truncated: dense bases just above 1 and below 1.
  for (int p : {61, 2001, 9999}) {
    const std::string digits = randomDigits(seed, p - p / 2, true);
    add({p, "1." + digits, "7", '^', ""});
    add({p, "0." + digits, "13", '^', ""});
  }
  // Chains that feed each result back in, as R*M and R/M do.
  for (int p : {7, 20, 33, 100, 1000}) {
    std::string r = randomValue(seed, p), m = randomValue(seed, p);
    for (int i = 0; i < 30; ++i) {
      add({p, r, m, "*/"[i % 2], ""});
      if (cases.back().fast.find_first_not_of("0.") != std::string::npos) r = cases.back().fast;
      if (i % 7 == 0) m = randomValue(seed, p);
    }
  }
  const auto answers = askBc(cases);
  ASSERT_EQ(answers.size(), cases.size()) << "is bc installed?";
  for (size_t i = 0, wrong = 0; i < cases.size() && wrong < 5; ++i) {
    wrong += cases[i].fast != answers[i];
    EXPECT_EQ(cases[i].fast, answers[i]) << cases[i].a << cases[i].op << cases[i].b << " at " << cases[i].p;
  }
  std::printf("%zu cases checked against bc\n", cases.size());
}
