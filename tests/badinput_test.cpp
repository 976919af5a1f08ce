// Bad input: stray bytes anywhere in a token, and input that stops anywhere. Over-long
// tokens, odd precisions and huge exponents have transcripts in data/.
#include <gtest/gtest.h>

#include <string>

#include "support.h"

using testing_support::runDialogue;

namespace {

// R ends as 7 and M as 5; the probe lines after the bad token show both.
const std::string kBefore = "20\n2+3\nS\n1+6\n";
const std::string kAfter = "M+0\nR+0\nq\n";

bool hasMeaning(int b) {
  const std::string meaningful = "0123456789.+-*/^RrMmPpQqSs?eE<>\x1b \t\n\v\f\r";
  return meaningful.find(static_cast<char>(b)) != std::string::npos;
}

}  // namespace

// Every byte without a meaning is skipped, alone or inside a number: the line does what
// the same line with an 'x' in its place does.
TEST(BadInput, StrayBytesInsideTokens) {
  const std::string probe = runDialogue(kBefore + kAfter);
  ASSERT_NE(probe.find("result 5.000000e+0"), std::string::npos);
  ASSERT_NE(probe.find("result 7.000000e+0"), std::string::npos);
  int checked = 0;
  for (int b = 0; b < 256; ++b) {
    if (hasMeaning(b)) continue;
    const std::string c(1, static_cast<char>(b));
    for (const char* tpl : {"x#x", "1#5+3", "4*#2", "#"}) {
      std::string bad(tpl), good(tpl);
      bad.replace(bad.find('#'), 1, c);
      good.replace(good.find('#'), 1, "x");
      EXPECT_EQ(runDialogue(kBefore + bad + "\n" + kAfter), runDialogue(kBefore + good + "\n" + kAfter))
          << "byte " << b << " in " << tpl;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 4 * (256 - 38));
}

// Cut the input anywhere: the run ends cleanly and says so with a final line break,
// and up to the cut it printed what the whole run printed.
TEST(BadInput, EndOfInputAnywhere) {
  const std::string session = "20\n5+3\nS\n?\n1.5e-3*2\nP\n4\nR/M\n";
  const std::string whole = runDialogue(session);
  for (size_t cut = 0; cut <= session.size(); ++cut) {
    const std::string out = runDialogue(session.substr(0, cut));
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n') << "cut at " << cut;
    if (cut == 0 || session[cut - 1] == '\n') {
      EXPECT_EQ(out, whole.substr(0, out.size())) << "cut at " << cut;
    }
  }
}
