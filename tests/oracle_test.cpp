// Products, quotients and powers against two exact oracles: GNU bc, an independent program,
// and the plain digit-by-digit methods that the limb paths replace.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ops.h"
#include "engine/reference.h"
#include "engine/store.h"
#include "engine/pack.h"
#include "limbs/num.h"
#include "limbs/columns.h"
#include "limbs/pow.h"
#include "support.h"

using namespace engine;
using testing_support::randomDigits;
using testing_support::regText;
using testing_support::setReg;

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#endif

namespace {

#if defined(_WIN32)
constexpr const char* kNoInput = " <NUL";
#else
constexpr const char* kNoInput = " </dev/null";
#endif

// Whether bc runs here.
bool haveBc() {
  return std::system((std::string("bc --version >") + (kNoInput + 2) + " 2>&1").c_str()) == 0;
}

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
    c.a = regText(rExpBase), c.fast = regText(rExpResult);
    return;
  }
  const bool mul = c.op == '*';
  const int out = mul ? rMulProd : rDivQuot;
  setReg(mul ? rMulA : rDivA, c.a), setReg(mul ? rMulB : rDivB, c.b);
  if (mul ? (engine::mul(), true) : engine::div()) c.fast = regText(out);
  for (int k = 0; mul && k < static_cast<int>(limbs::bestKernel()); ++k) {
    limbs::useKernel(static_cast<limbs::Kernel>(k));
    engine::mul();
    EXPECT_EQ(regText(out), c.fast) << c.a << '*' << c.b << " with kernel " << k;
    limbs::useKernel(limbs::bestKernel());
  }
  if (c.fast.empty() || c.p > (mul ? 3600 : 2001)) return;
  mul ? ref::mul() : (void)ref::div();
  EXPECT_EQ(c.fast, regText(out)) << c.a << c.op << c.b << " at " << c.p;
}

// bc's exact answers, one process for the batch, with f decimals.
std::vector<std::string> askBc(const std::vector<Case>& cases) {
  const testing_support::Scratch scratch;  // its own folder: test programs may run side by side
  const std::string script = scratch / "oracle.bc";
  FILE* f = std::fopen(script.c_str(), "w");
  for (const Case& c : cases) std::fprintf(f, "scale=%d\n%s%c%s\n", c.p - c.p / 2, c.a.c_str(), c.op, c.b.c_str());
  std::fclose(f);
  std::vector<std::string> answers(1);
  FILE* bc = popen(("bc -q " + script + kNoInput).c_str(), "r");
  for (int ch; bc != nullptr && (ch = std::fgetc(bc)) != EOF;) {
    if (ch == '\\') std::fgetc(bc);  // bc breaks a long answer with a backslash and a newline
    else if (ch == '\n') answers.emplace_back();
    else answers.back().push_back(static_cast<char>(ch));
  }
  if (bc != nullptr) pclose(bc);
  answers.pop_back();
  return answers;
}

// What a register holds of bc's answer: f decimals, the integer digits wrapped; and whether
// the integer part fits them.
std::string inRegister(const std::string& answer, int p, bool& fits) {
  const size_t ip = static_cast<size_t>(p / 2 + 1), fp = static_cast<size_t>(p - p / 2), dot = answer.find('.');
  const std::string whole = std::string(ip, '0') + answer.substr(0, dot);
  const std::string frac = (dot == std::string::npos ? "" : answer.substr(dot + 1)) + std::string(fp, '0');
  fits = whole.find_first_not_of('0') >= whole.size() - ip;
  return whole.substr(whole.size() - ip) + (fp > 0 ? "." + frac.substr(0, fp) : "");
}

// A power too large for the register, of a base with a fraction, is the chain of truncating
// multiplications, here by the plain method or by products formed one at a time.
std::string chain(const Case& c, void (*multiply)() = ref::mul) {
  engine::setPrecision(c.p);
  setReg(0, "1"), setReg(10000, c.a);  // result, square
  for (int bits = std::stoi(c.b); bits > 0; bits /= 2) {
    if (bits % 2 == 1) move(0, rMulA), move(10000, rMulB), multiply(), move(rMulProd, 0);
    if (bits > 1) move(10000, rMulA), move(10000, rMulB), multiply(), move(rMulProd, 10000);
  }
  return regText(0);
}

// The exact power again from two-limb mantissas, which must grow until the bound settles.
std::string fromTwoLimbs(const Case& c) {
  engine::setPrecision(c.p);
  static limbs::Num x, power, out;
  char bits[16];
  int count = 0;
  for (int e = std::stoi(c.b); e > 0; e /= 2) bits[++count] = static_cast<char>('0' + e % 2);
  setReg(rExpBase, c.a), setReg(rExpPow, c.b), pack(rExpBase, c.p, x), pack(rExpPow, c.p, power);
  limbs::shiftDown(power, c.p - c.p / 2);
  if (limbs::exactPower(x, c.p - c.p / 2, c.p / 2 + 1, power, bits, count, out, 2) != limbs::PowerSize::fits) out.len = 0;
  unpack(out, 0, c.p);
  return regText(0);
}

}  // namespace

TEST(Oracle, ProductsQuotientsAndPowers) {
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
  // An uneven Karatsuba product whose pieces sum to exactly 10^8 in one limb.
  {
    std::string whole = "1" + std::string(2992, '0'), frac(5000, '0'), small = frac;
    whole.replace(whole.size() - 8, 1, "7");
    frac[3984] = '3', frac[4999] = '1', small[1007] = '1', small[4999] = '1';
    add({9999, whole + "." + frac, "0." + small, '*', ""});
  }
  // Powers: at precisions 0 to 2 every base to every exponent the register holds (to 20);
  // to 60 bases of every shape (few digits, dense, just above and below 1, just below an
  // integer) to exponents up to 64 (257 to 24); at 2001 and 9999 dense bases near 1.
  for (int p = 0; p <= 60; ++p) {
    const size_t ip = static_cast<size_t>(p / 2 + 1), f = static_cast<size_t>(p) + 1 - ip;
    const std::string dense = randomDigits(seed, p + 1, true), nines(f, '9');
    std::vector<std::string> bases = {"1.05", "0.5", "3.7", dense.substr(0, ip) + "." + dense.substr(ip),
                                      "1." + std::string(f > 0 ? f - 1 : 0, '0') + "1", "0." + nines, "2." + nines,
                                      "0." + dense.substr(0, f), "1." + dense.substr(0, f)};
    if (p <= 2) bases.clear();
    for (int x = 0; p <= 2 && x < (p == 0 ? 10 : p == 1 ? 100 : 1000); ++x) {
      const std::string d = std::string(3, '0') + std::to_string(x), cells = d.substr(d.size() - static_cast<size_t>(p) - 1);
      bases.push_back(cells.substr(0, ip) + (f > 0 ? "." + cells.substr(ip) : ""));
    }
    for (const std::string& base : bases) {
      for (int e : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 13, 16, 20, 30, 64, 101, 257}) {
        const bool affordable = p <= 2 ? e <= 20 : e < 100 || p <= 24;  // bc forms x^e in full
        if (std::to_string(e).size() <= ip && affordable) add({p, base, std::to_string(e), '^', ""});
      }
    }
  }
  for (int p : {2001, 9999}) {
    const std::string digits = randomDigits(seed, p - p / 2, true);
    add({p, "1." + digits, "7", '^', ""});
    add({p, "0." + digits, "13", '^', ""});
  }
  // Past the register at 9999, where each step forms a short result's product and a long
  // square's together: the same digits as products formed one at a time.
  for (const char* e : {"49153", "40961"}) {
    Case c{9999, "1.7", e, '^', ""};
    run(c);
    EXPECT_EQ(c.fast, chain(c, [] { engine::mul(); })) << "1.7^" << e;
  }
  if (!haveBc()) GTEST_SKIP() << "bc is not installed: only the plain digit methods checked the limb paths";
  const auto answers = askBc(cases);
  ASSERT_EQ(answers.size(), cases.size()) << "is bc installed?";
  for (size_t i = 0, wrong = 0; i < cases.size() && wrong < 5; ++i) {
    const Case& c = cases[i];
    bool fits = true;
    std::string want = inRegister(answers[i], c.p, fits);
    const bool fraction = c.a.find_first_not_of('0', c.a.find('.') + 1) != std::string::npos && c.a.find('.') != std::string::npos;
    if (c.op == '^' && fraction && !fits) want = chain(c);
    if (c.op == '^' && fraction && fits && c.p > 2 && c.p <= 60) {
      EXPECT_EQ(fromTwoLimbs(c), want) << c.a << '^' << c.b << " from two limbs";
    }
    wrong += c.fast != want;
    EXPECT_EQ(c.fast, want) << c.a << c.op << c.b << " at " << c.p;
  }
  std::printf("%zu cases checked against bc\n", cases.size());
}
