// Whole dialogues run in-process, compared byte for byte: every data/NAME.in with its
// data/NAME.out. Set ZANTORIX_REGEN=1 to rewrite the .out files after a deliberate change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/store.h"
#include "loop.h"
#include "numtext/outbuf.h"
#include "support.h"

using testing_support::readData;
using testing_support::runDialogue;

TEST(Dialogue, Transcripts) {
  const bool regen = std::getenv("ZANTORIX_REGEN") != nullptr;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TESTDATA_DIR)) {
    if (entry.path().extension() != ".in") continue;
    const std::string name = entry.path().stem().string();
    const std::string got = runDialogue(readData(name + ".in"));
    if (regen) std::ofstream(entry.path().parent_path() / (name + ".out"), std::ios::binary) << got;
    EXPECT_EQ(got, readData(name + ".out")) << name;
    ++count;
  }
  EXPECT_GE(count, 10);
}

// Bare results: tokens as the prompt reads them, R and M carried, one line for each token
// that computes; a token that cannot run here (nor quit but alone, nor compute nothing but
// S) ends the run with 1 and a line that names it, after what was printed before.
TEST(Dialogue, BareResults) {
  const struct {
    int precision;
    std::string input, out, err;
    int status;
  } rows[] = {
      {20, "1/7", "0.1428571428\n", "", 0},
      {30, "1/7 S R*7", "0.142857142857142\n0.999999999999994\n", "", 0},
      {20, "1+2\n3*4\n", "3.0\n12.0\n", "", 0},
      {20, "  1+\n2/2\t3e3*1  ", "1.0\n1.0\n3000.0\n", "", 0},     // tokens split across lines
      {20, "S 2^64 M*1", "73709551616.0\n0.0\n", "", 0},          // S stores, with no line
      {20, "1+1 R", "2.0\n", "zantorix: token 2 'R': computes nothing: write an operation, as 5+0\n", 1},
      {20, "5+3 5/0 1+1", "8.0\n", "zantorix: token 2 '5/0': division by zero\n", 1},
      {20, "1+1 P", "2.0\n", "zantorix: token 2 'P': P (set precision) needs the dialogue\n", 1},
      {20, "?", "", "zantorix: token 1 '?': ? (legend) needs the dialogue\n", 1},
      {20, std::string(85, '1'), "",
       "zantorix: token 1 '" + std::string(79, '1') + "...': too long: at most 79 characters\n", 1},
      {20, "1\x1b[A", "", "zantorix: token 1 '1\\e[A': holds a cursor key\n", 1},
      {20, "5/0\x01\xc3\xa9\xc3\x7f", "", "zantorix: token 1 '5/0\\x01\xc3\xa9\\xc3\\x7f': division by zero\n", 1},
      {20, "1+2 + 3", "3.0\n", "zantorix: token 2 '+': an operator alone: write the operation as one token\n", 1},
      {20, "-", "", "zantorix: token 1 '-': an operator alone: write the operation as one token\n", 1},
      {20, "1+1 q 2+2", "2.0\n", "", 0},
      {20, std::string("x\0S 1+1 x\0q", 11), "2.0\n", "zantorix: token 3 'x\\x00q': holds q, which would end the run here: give Q alone\n", 1},
      {20, "1+1 2+2\x1b", "2.0\n", "zantorix: token 2 '2+2\\e': holds Esc, which would end the run here: give Q alone\n", 1},
      {0, "7/2 3-5", "3.\n8.\n", "", 0},
      {20, "", "", "", 0},
  };
  for (const auto& row : rows) {
    std::istringstream in(row.input);
    std::ostringstream out, err;
    EXPECT_EQ(console::bare(in, out, err, row.precision), row.status) << row.input;
    EXPECT_EQ(out.str(), row.out) << row.input;
    EXPECT_EQ(err.str(), row.err) << row.input;
  }
  // The same digits as the dialogue's fixed form, without its separators and padding.
  std::istringstream in("1.5^9000");
  std::ostringstream out, err;
  ASSERT_EQ(console::bare(in, out, err, 9999), 0);
  std::string dialogue = runDialogue("9999\n1.5^9000\nq\n");
  const size_t start = dialogue.find("\n\n", dialogue.rfind("result ")) + 2;
  dialogue = dialogue.substr(start, dialogue.find('\n', start) + 1 - start);
  dialogue.erase(std::remove_if(dialogue.begin(), dialogue.end(), [](char c) { return c == ',' || c == ' '; }),
                 dialogue.end());
  EXPECT_EQ(out.str(), dialogue);
  EXPECT_GT(dialogue.size(), 4000u);
}

// What a line typed at the prompt previews: an operand, one operator and an operand give
// what Enter would show; a letter that acts, what Enter will do; anything else gives
// nothing. Nothing changes: R, M, the precision and the output to come.
TEST(Dialogue, Previews) {
  runDialogue("20\n1/7\nS\n2+3\nq\n");  // R = 5, M = 1/7, precision 20
  const std::string r = testing_support::regText(engine::rResult), m = testing_support::regText(engine::rMemory);
  const auto always = [](double) { return true; };
  const struct {
    std::string line, shown;
  } rows[] = {
      {"1/7", "= 0.1428571428"},
      {" R*2 ", "= 10.0"},
      {"M+R", "= 5.1428571428"},
      {"5/0", "= division by zero"},
      {"1e-3+1", "= 1.0010"},
      {"1.05^30", "= 4.3219423751"},
      {"99999999999+1", "= 0.0"},
      {"12345*10000", "= 123,450,000.0"},
      // letters that act: what Enter will do, in its order
      {"2*3S", "= stores R in memory, then computes"}, {"sqrt2", "= stores R in memory, then quits"},
      {"1+1\x1b", "= quits"}, {"P", "= asks for a new precision"}, {"p?1/7", "= computes, then shows the legend, then asks for a new precision"},
      // no preview: a cursor key, a bare operand, two operators or tokens, a missing side
      {"1\x1b[A", ""}, {"1+1 q", ""},
      {"R", ""}, {"1+2*3", ""}, {"1+", ""}, {"*3", ""}, {"1+2 3", ""}, {"", ""}, {"  ", ""},
      {std::string(80, '1') + "+1", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(console::preview(row.line, always), row.shown) << row.line;
  EXPECT_EQ(console::preview("1.5^3", [](double) { return false; }), "= \u2026");
  EXPECT_EQ(testing_support::regText(engine::rResult), r);
  EXPECT_EQ(testing_support::regText(engine::rMemory), m);
  EXPECT_EQ(engine::precision, 20);
  EXPECT_EQ(numtext::pending(), "");
}
