// The digit store, its primitives and the five operations on registers set directly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ops.h"
#include "engine/store.h"
#include "support.h"

using namespace engine;
using testing_support::regText;
using testing_support::setReg;
using testing_support::usePrecision;

namespace {

struct BinaryCase {
  int precision;
  const char* a;
  const char* b;
  const char* want;  // every cell, "III.FF"
};

// Runs one operation per row: operands in its input registers, result from its output.
void checkBinary(const std::vector<BinaryCase>& rows, int left, int right, int output, void (*op)()) {
  for (const auto& row : rows) {
    usePrecision(row.precision);
    setReg(left, row.a);
    setReg(right, row.b);
    op();
    EXPECT_EQ(regText(output), row.want) << row.a << " op " << row.b << " at precision " << row.precision;
  }
}

}  // namespace

TEST(Primitives, ShiftsSetAndCompareAtPrecision20) {
  usePrecision(20);
  one(0);
  EXPECT_EQ(regText(0), "00000000001.0000000000");
  m10(0);
  EXPECT_EQ(regText(0), "00000000010.0000000000");
  one(0);
  d10(0);
  EXPECT_EQ(regText(0), "00000000000.1000000000");
  two(0);
  EXPECT_EQ(regText(0), "00000000002.0000000000");

  setReg(0, "90000000001.0000000001");
  m10(0);
  EXPECT_EQ(regText(0), "00000000010.0000000010") << "m10 loses cell 0";
  setReg(0, "90000000001.0000000001");
  d10(0);
  EXPECT_EQ(regText(0), "09000000000.1000000000") << "d10 loses the last cell";
  shiftUp(0, 1LL << 40);
  EXPECT_TRUE(isZero(0)) << "a shift past the register leaves 0";

  struct {
    const char *a, *b;
    int want;
  } rows[] = {{"2", "2", kEqual}, {"2", "10", kLess}, {"10", "2", kGreater}, {"0.0000000001", "0", kGreater}};
  for (const auto& row : rows) {
    setReg(0, row.a);
    setReg(10000, row.b);
    EXPECT_EQ(compare(0, 10000), row.want) << row.a << " vs " << row.b;
  }
  // Cells past the precision do not count.
  setReg(0, "5");
  setReg(10000, "5");
  n[10000 + 21] = 7;
  EXPECT_EQ(compare(0, 10000), kEqual);
  n[10000 + 21] = 0;
}

TEST(Additive, WrapAndTensComplement) {
  checkBinary({{4, "123.45", "876.55", "000.00"},
               {4, "999.99", "0.01", "000.00"},
               {4, "1.5", "2.25", "003.75"},
               {0, "7", "5", "2"},
               {20, "99999999999.9999999999", "0.0000000001", "00000000000.0000000000"}},
              rAddA, rAddB, rAddSum, add);
  checkBinary({{4, "5", "3", "002.00"},
               {4, "3", "5", "998.00"},
               {4, "100", "0.01", "099.99"},
               {0, "3", "5", "8"},
               {20, "0", "0.0000000001", "99999999999.9999999999"}},
              rSubA, rSubB, rSubDiff, sub);
}

// The exact product truncated at the last cell, wrapped past the integer digits.
TEST(Multiply, ExactTruncatedProducts) {
  const std::vector<BinaryCase> rows = {
      {4, "2", "3", "006.00"},         {4, "1.5", "1.5", "002.25"},
      {4, "0.05", "0.5", "000.02"},    {4, "500", "0.2", "100.00"},
      {4, "999", "0.5", "499.50"},     {4, "999", "2", "998.00"},
      {4, "0.99", "0.99", "000.98"},   {4, "0", "123.45", "000.00"},
      {4, "999.99", "999.99", "980.00"},  // 999980.0001 wraps
      {0, "3", "3", "9"},              {0, "9", "9", "1"},
      {1, "0.5", "0.5", "0.2"},        {20, "11111111111", "11111111111", "20987654321.0000000000"},
      {20, "0.0000000001", "0.0000000001", "00000000000.0000000000"},
      {3, "30.82", "2.81", "86.60"},
  };
  checkBinary(rows, rMulA, rMulB, rMulProd, mul);
  checkBinary(rows, rMulA, rMulB, rMulProd, ref::mul);
}

TEST(Divide, ExactTruncatedQuotients) {
  const std::vector<BinaryCase> rows = {
      {4, "10", "4", "002.50"},      {4, "7", "7", "001.00"},     {4, "0", "5", "000.00"},
      {4, "1", "3", "000.33"},       {4, "1.01", "1", "001.01"},  {4, "33", "333.33", "000.09"},
      {4, "999", "0.01", "900.00"},  {3, "30.82", "2.81", "10.96"},  {0, "7", "2", "3"},
      {0, "9", "3", "3"},            {2, "1", "2", "00.5"},       {2, "7", "2", "03.5"},
      {20, "1", "7", "00000000000.1428571428"},
      {20, "22", "7", "00000000003.1428571428"},
      {20, "1", "3", "00000000000.3333333333"},
      {20, "10", "1.0000000001", "00000000009.9999999990"},
      {20, "0.0000000001", "99999999999.9999999999", "00000000000.0000000000"},
      {20, "99999999999.9999999999", "0.0000000001", "99999999999.0000000000"},
  };
  auto fast = [] { div(); };
  auto plain = [] { ref::div(); };
  checkBinary(rows, rDivA, rDivB, rDivQuot, fast);
  checkBinary(rows, rDivA, rDivB, rDivQuot, plain);
}

TEST(Divide, ByZeroReportsAndTouchesNothing) {
  for (int p : {0, 4, 20}) {
    usePrecision(p);
    setReg(rDivA, "7");
    zero(rDivB);
    setReg(rDivQuot, "3");
    const std::string dividend = regText(rDivA), quotient = regText(rDivQuot);
    EXPECT_FALSE(div());
    EXPECT_FALSE(ref::div());
    EXPECT_EQ(regText(rDivA), dividend);
    EXPECT_EQ(regText(rDivQuot), quotient);
  }
}

TEST(Power, BinaryExponentiationWithTruncatingSteps) {
  checkBinary({{20, "2", "10", "00000001024.0000000000"},
               {20, "3", "5", "00000000243.0000000000"},
               {20, "10", "3", "00000001000.0000000000"},
               {20, "2", "0", "00000000001.0000000000"},
               {20, "2", "1", "00000000002.0000000000"},
               {20, "2", "2.5", "00000000004.0000000000"},
               {20, "7.5", "0.5", "00000000001.0000000000"},
               {20, "0.5", "3", "00000000000.1250000000"},
               {20, "0", "0", "00000000001.0000000000"},
               {20, "0", "5", "00000000000.0000000000"},
               {20, "2", "10000000000", "81787109376.0000000000"},
               {20, "3", "12345678901", "42032574003.0000000000"},
               {20, "1", "99999999999", "00000000001.0000000000"},
               {20, "0.5", "99999999999", "00000000000.0000000000"},
               {9, "7", "99999", "57143.00000"},
               {4, "1.5", "2", "002.25"},
               {4, "0.5", "3", "000.12"},
               {4, "2", "10", "024.00"},
               {4, "1.1", "8", "002.13"},
               {4, "2", "999", "688.00"},  // 2^999 mod 1000
               {1, "3", "3", "7.0"},
               {0, "2", "2", "4"},
               {0, "9", "9", "9"}},
              rExpBase, rExpPow, rExpResult, exp);
}

// exp must equal the plain chain of truncating multiplications it stands for.
TEST(Power, MatchesRepeatedSquaringByMul) {
  unsigned seed = 7;
  for (int p : {3, 8, 17, 40}) {
    usePrecision(p);
    for (int e = 0; e < 40; ++e) {
      const std::string base = testing_support::randomDigits(seed, 3, false) + "." +
                               testing_support::randomDigits(seed, 3, false);
      setReg(rExpBase, base);
      setReg(rExpPow, std::to_string(e));
      exp();
      setReg(0, "1");       // result
      setReg(10000, base);  // square
      for (int bits = e; bits > 0; bits /= 2) {
        if (bits % 2 == 1) {
          move(0, rMulA), move(10000, rMulB), ref::mul(), move(rMulProd, 0);
        }
        move(10000, rMulA), move(10000, rMulB), ref::mul(), move(rMulProd, 10000);
      }
      EXPECT_EQ(regText(rExpResult), regText(0)) << base << " ^ " << e << " at precision " << p;
    }
  }
}

// R and M keep their values when the precision changes; no old digit comes back.
TEST(Relay, KeepsValuesAcrossPrecisions) {
  usePrecision(4);
  setReg(rResult, "8.5");
  const int steps[][2] = {{20, 0}, {4, 0}, {0, 0}};
  const char* want[] = {"00000000008.5000000000", "008.50", "8"};
  for (int i = 0; i < 3; ++i) {
    const int oldP = precision, oldD = decpoint;
    usePrecision(steps[i][0]);
    relay(rResult, oldP, oldD);
    EXPECT_EQ(regText(rResult), want[i]);
  }
  usePrecision(20);
  setReg(rResult, "12345.678");
  usePrecision(4);
  relay(rResult, 20, 10);
  EXPECT_EQ(regText(rResult), "345.67");
  usePrecision(20);
  relay(rResult, 4, 2);
  EXPECT_EQ(regText(rResult), "00000000345.6700000000") << "dropped digits must not reappear";
}
