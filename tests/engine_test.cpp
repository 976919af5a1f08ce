// The digit store, its primitives and the five operations on registers set directly.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/ops.h"
#include "engine/reference.h"
#include "engine/store.h"
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

// exp must equal the chain of truncating multiplications it stands for.
TEST(Registers, PowerIsRepeatedSquaring) {
  unsigned seed = 7;
  std::vector<long long> exponents = {65535, 99999, 1000003, 123456789};
  for (int e = 0; e < 40; ++e) exponents.push_back(e);
  for (int p : {3, 8, 17, 40, 120}) {
    setPrecision(p);
    for (long long e : exponents) {
      if (std::to_string(e).size() > static_cast<size_t>(decpoint) + 1) continue;  // does not fit
      const std::string base = testing_support::randomDigits(seed, 3, false) + "." +
                               testing_support::randomDigits(seed, 3, false);
      setReg(rExpBase, base), setReg(rExpPow, std::to_string(e)), exp();
      setReg(0, "1"), setReg(10000, base);  // result, square
      for (long long bits = e; bits > 0; bits /= 2) {
        if (bits % 2 == 1) move(0, rMulA), move(10000, rMulB), ref::mul(), move(rMulProd, 0);
        move(10000, rMulA), move(10000, rMulB), ref::mul(), move(rMulProd, 10000);
      }
      EXPECT_EQ(regText(rExpResult), regText(0)) << base << " ^ " << e << " at precision " << p;
    }
  }
}
