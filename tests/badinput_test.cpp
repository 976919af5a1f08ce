// Bad input: stray bytes, over-long tokens, odd precisions, huge exponents, input that
// stops anywhere. After each one the next line must work and R and M must be intact.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>

#include "loop.h"
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

// head, then `len` copies of one character, then tail: streamed, never held whole.
class Repeat : public std::streambuf {
 public:
  Repeat(std::string head, char c, long long len, std::string tail)
      : next_(std::move(head)), c_(c), left_(len), tail_(std::move(tail)) {}

 protected:
  int_type underflow() override {
    if (next_.empty() && left_ > 0) {
      next_.assign(static_cast<size_t>(std::min<long long>(left_, 65536)), c_);
      left_ -= static_cast<long long>(next_.size());
    } else if (next_.empty()) {
      next_.swap(tail_);
    }
    if (next_.empty()) return traits_type::eof();
    buf_.swap(next_);
    next_.clear();
    setg(buf_.data(), buf_.data(), buf_.data() + buf_.size());
    return traits_type::to_int_type(buf_[0]);
  }

 private:
  std::string next_;
  char c_;
  long long left_;
  std::string tail_, buf_;
};

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

TEST(BadInput, TokenLengths) {
  const std::string tooLong = "  >\n\n  token too long: at most 79 characters\n\n";
  const std::string ok79 = std::string(76, '0') + "5+3";
  EXPECT_NE(runDialogue("20\n" + ok79 + "\nq\n").find("76 -1 76 0\n78 -1 78 0\n"), std::string::npos);
  EXPECT_NE(runDialogue("20\n0" + ok79 + "\nq\n").find(tooLong + "  >\n\n"), std::string::npos);

  // Ten million characters, streamed: refused like any over-long token; R and M intact.
  Repeat source(kBefore, '9', 10'000'000, "\n" + kAfter);
  std::istream in(&source);
  std::ostringstream out;
  EXPECT_EQ(console::run(in, out), 0);
  EXPECT_EQ(out.str(), runDialogue(kBefore + std::string(100, '9') + "\n" + kAfter));
  EXPECT_NE(out.str().find(tooLong + "  >\n\n-1 -1 79 0\n            5.000000e+0"), std::string::npos);
}

// Whatever is typed at the precision prompt is read as an integer; out of range asks again.
TEST(BadInput, PrecisionPromptGarbage) {
  struct {
    const char* typed;
    const char* confirmed;  // the precision finally set, after "4" if this one is refused
  } rows[] = {{"abc", "0"},     {"-0", "0"},     {"+5", "5"},         {"1e3", "1"},
              {"--7", "4"},     {"9999", "9999"}, {"10000", "4"},      {"4294967296", "4"},
              {"\x01\x7f", "0"}, {"P", "0"},      {"99999999999999999999999999", "4"}};
  for (const auto& row : rows) {
    const std::string out = runDialogue(std::string(row.typed) + "\n4\nq\n");
    EXPECT_NE(out.find(std::string("Precision set to ") + row.confirmed + " decimal"), std::string::npos) << row.typed;
    EXPECT_EQ(out.find("Precision must be") != std::string::npos, std::string(row.confirmed) == "4") << row.typed;
  }
}

// ^ with exponents far beyond anything a chain of squarings could finish naively.
TEST(BadInput, HugeExponents) {
  const std::string s20(20, ' ');
  struct {
    const char* precision;
    const char* token;
    std::string fixed;
  } rows[] = {
      {"0", "2^9", s20 + "2."},          {"0", "2^1e9", s20 + "1."},
      {"1", "2^9", s20 + "2.0"},         {"1", "9^9e99", s20 + "1.0"},
      {"2", "3^99", std::string(19, ' ') + "67.0"},
      {"20", "2^99999999999", std::string(7, ' ') + "40,893,554,688.0"},
      {"20", "0.5^99999999999", s20 + "0.0"},
      {"9999", "3^1e4999", s20 + "1.0"},  // the order of 3 modulo 10^5000 divides 10^4999
      {"9999", "0.5^1e4999", s20 + "0.0"},
      {"9999", "1^1e4999", s20 + "1.0"},
  };
  for (const auto& row : rows) {
    const std::string out = runDialogue(std::string(row.precision) + "\n7+0\nS\n" + row.token + "\nM+0\nq\n");
    const auto shown = out.find("\n\n" + row.fixed + "\n\n  >");
    EXPECT_NE(shown, std::string::npos) << row.token << " at " << row.precision;
    EXPECT_GT(out.rfind("            7."), shown) << "M intact after " << row.token;
  }
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
