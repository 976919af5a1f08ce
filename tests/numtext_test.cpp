// Number entry from the buffer and the two display forms.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

#include "engine/store.h"
#include "numtext/entry.h"
#include "numtext/show.h"
#include "support.h"

using testing_support::regText;
using testing_support::setReg;
using testing_support::usePrecision;

namespace {

void fill(const std::string& token) {
  numtext::clearBuffer();
  std::memcpy(numtext::t, token.data(), std::min<size_t>(token.size(), 79));
}

}  // namespace

TEST(Entry, ParsesOperandsWithTraceLines) {
  struct {
    int precision;
    const char* token;
    int start, end;
    const char* trace;
    const char* value;
  } rows[] = {
      {20, "5+3", 0, 1, "0 -1 0 0\n", "00000000005.0000000000"},
      {20, "5+3", 1, 80, "2 -1 2 0\n", "00000000003.0000000000"},
      {20, "12.5*4", 0, 4, "0 2 3 0\n", "00000000012.5000000000"},
      {20, ".05+1", 0, 3, "2 0 2 0\n", "00000000000.0500000000"},
      {20, "1e2+2", 0, 3, "0 -1 0 2\n", "00000000100.0000000000"},
      {20, "1E-3*2", 0, 4, "0 -1 0 -3\n", "00000000000.0010000000"},
      {20, "5+0", 1, 80, "-1 -1 79 0\n", "00000000000.0000000000"},
      {20, "5+0.0", 1, 80, "-1 3 79 0\n", "00000000000.0000000000"},
      {20, "0.000123456789012", 0, 80, "5 1 16 0\n", "00000000000.0001234567"},
      {20, "5.", 0, 80, "0 1 1 0\n", "00000000005.0000000000"},
      {20, "1.2.3", 0, 80, "0 1 4 0\n", "00000000001.2300000000"},
      {20, "1,000+1", 0, 5, "0 -1 0 0\n", "00000000001.0000000000"},
      {20, "5+3e", 1, 80, "2 -1 2 0\n", "00000000003.0000000000"},
      {20, "2.5e+2-1", 0, 6, "0 1 2 2\n", "00000000250.0000000000"},
      {20, "5e*2", 0, 2, "0 -1 0 2\n", "00000000500.0000000000"},
      {20, "9e10", 0, 80, "0 -1 0 10\n", "90000000000.0000000000"},
      {20, "1e99999999999", 0, 80, "0 -1 0 2147483647\n", "00000000000.0000000000"},
      {20, "7e-99999999999", 0, 80, "0 -1 0 -2147483647\n", "00000000000.0000000000"},
      {4, "123.45+1", 0, 6, "0 3 5 0\n", "123.00"},
      {2, "123", 0, 80, "0 -1 2 0\n", "20.0"},
      // A left operand with no non-zero digit stops at the operator and is 0.
      {20, "0+5", 0, 1, "-1 -1 0 0\n", "00000000000.0000000000"},
      {20, "0.0+5", 0, 3, "-1 1 2 0\n", "00000000000.0000000000"},
      {20, "-5", 0, 0, "-1 -1 -1 0\n", "00000000000.0000000000"},
  };
  for (const auto& row : rows) {
    usePrecision(row.precision);
    fill(row.token);
    std::ostringstream trace;
    numtext::valueT(engine::rLeft, row.start, trace, row.end);
    EXPECT_EQ(trace.str(), row.trace) << row.token;
    EXPECT_EQ(regText(engine::rLeft), row.value) << row.token;
  }
}

TEST(Entry, IntvalueSaturates) {
  struct {
    const char* token;
    int want;
  } rows[] = {{"12abc34", 12},           {"abc", 0},  {"-5", -5}, {"x-y7", -7}, {"99999999999", 2147483647},
              {"-99999999999", -2147483647}, {"2147483647", 2147483647}, {"", 0}};
  for (const auto& row : rows) {
    fill(row.token);
    EXPECT_EQ(numtext::intvalueT(0), row.want) << row.token;
  }
}

TEST(Display, ScientificAndFixedForms) {
  const std::string s20(20, ' ');
  struct {
    int precision;
    const char* value;
    const char* sci;
    std::string fixed;
  } rows[] = {
      {20, "5", "5.000000e+0", s20 + "5.0"},
      {20, "1.5", "1.500000e+0", s20 + "1.50"},
      {20, "0.5", "5.000000e-1", s20 + "0.50"},
      {20, "0", "0.0e-9", s20 + "0.0"},
      {20, "1234567.125", "1.234567e+6", std::string(12, ' ') + "1,234,567.1250"},
      {20, "12345678901", "1.234567e+10", std::string(7, ' ') + "12,345,678,901.0"},
      {20, "0.000123", "1.230000e-4", s20 + "0.0001230"},
      {20, "0.0000000001", "1.e-10", s20 + "0.0000000001"},
      {4, "0", "0.0e-1", s20 + "0.0"},
      {4, "999.99", "9.9999e+2", std::string(18, ' ') + "999.99"},
      {4, "1.5", "1.50e+0", s20 + "1.50"},
      {0, "8", "8.e+0", s20 + "8."},
      {0, "0", "0.e+0", s20 + "0."},
  };
  for (const auto& row : rows) {
    usePrecision(row.precision);
    setReg(engine::rResult, row.value);
    std::ostringstream sci, fixed;
    numtext::expdisplay(engine::rResult, sci);
    numtext::display(engine::rResult, fixed);
    EXPECT_EQ(sci.str(), row.sci) << row.value << " at precision " << row.precision;
    EXPECT_EQ(fixed.str(), row.fixed) << row.value << " at precision " << row.precision;
  }
}
