// Bad input: stray bytes anywhere in a token, and input that stops anywhere. Over-long
// tokens, odd precisions and huge exponents have transcripts in data/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <system_error>

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

namespace {

// Input handed over one character at a time and never ahead, as from a person at a
// terminal: the loop writes out what it has before each read. It throws at failAt, as a
// stream does when the read itself fails.
struct TypedIn : std::streambuf {
  std::string text;
  size_t taken = 0, failAt = std::string::npos;
  char current = 0;
  int underflow() override {
    if (taken == failAt) throw std::ios_base::failure("read failed", std::error_code(EIO, std::generic_category()));
    if (taken == text.size()) return traits_type::eof();
    current = text[taken++];
    setg(&current, &current, &current + 1);
    return traits_type::to_int_type(current);
  }
};

// Output that takes `room` bytes and then fails, noting how much input had been read then.
struct FailingOut : std::streambuf {
  const TypedIn* in = nullptr;
  size_t room = 0, readAtFailure = std::string::npos;
  std::string taken;
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    const size_t fits = std::min(static_cast<size_t>(n), room);
    taken.append(s, fits), room -= fits;
    if (fits < static_cast<size_t>(n) && readAtFailure == std::string::npos) readAtFailure = in->taken;
    return static_cast<std::streamsize>(fits);
  }
};

}  // namespace

// An output that fails after N bytes, for N through a whole session, or a read that fails
// at some point of it: the run says which and returns 1, with nothing read after a failed
// write, and what it wrote is the start of the whole session's output.
TEST(BadInput, StreamsThatFail) {
  const std::string session = "20\n5+3\nS\n1/7\nR*M\n2^64\nP\n4\nR+M\nq\n";
  const std::string whole = runDialogue(session);
  for (size_t n = 0; n <= whole.size() + 1; n = n + 7 <= whole.size() ? n + 7 : std::max(n + 1, whole.size())) {
    const bool readFails = n > whole.size(), writeFails = n < whole.size();
    TypedIn typed;
    typed.text = session, typed.failAt = readFails ? 20 : std::string::npos;
    FailingOut failing;
    failing.in = &typed, failing.room = readFails ? whole.size() : n;
    std::istream in(&typed);
    std::ostream out(&failing);
    std::ostringstream err;
    EXPECT_EQ(console::run(in, out, err), readFails || writeFails ? 1 : 0) << "room " << n;
    EXPECT_EQ(failing.taken, whole.substr(0, failing.taken.size()));
    const std::string said = readFails ? "zantorix: cannot read standard input: " + std::string(std::strerror(EIO)) + "\n"
                                       : writeFails ? "zantorix: cannot write standard output: " : "";
    EXPECT_EQ(err.str().substr(0, said.size()), said) << "room " << n;
    EXPECT_EQ(err.str().empty(), said.empty()) << err.str();
    if (writeFails) {
      EXPECT_EQ(typed.taken, failing.readAtFailure) << "read on after the failure, room " << n;
    }
  }
}
