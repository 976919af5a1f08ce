// Whole dialogues run in-process: exact transcripts, compared byte for byte.
// Set ZANTORIX_REGEN=1 to rewrite the expected files under data/ after a deliberate change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support.h"

using testing_support::runDialogue;

namespace {

const std::string kLegend =
    "\n\n               Pelko's Zantorix  aug 2007\n\n"
    "  + - * / ^      M- use memory   R- use result   S- store to memory\n"
    "                 P- set precision      Q- exit      ?- print legend\n"
    "                         (No spaces. Cram everything together.)     \n\n";

std::string readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// Everything printed after the precision confirmation for the given tokens.
std::string afterStart(const std::string& precision, const std::string& tokens) {
  const std::string out = runDialogue(precision + "\n" + tokens);
  const std::string marker = "side of the decimal place.\n\n";
  return out.substr(out.find(marker) + marker.size());
}

}  // namespace

TEST(Dialogue, FivePlusThreeAtPrecision20) {
  const std::string want = kLegend + "  Precision: " +
                           "\n\n  Precision set to 20 decimal places.  10 on either side of the decimal place.\n\n" +
                           "  >\n\n0 -1 0 0\n2 -1 2 0\n            5.000000e+0\n        add 3.000000e+0" +
                           "\n\n     result 8.000000e+0\n\n" + std::string(20, ' ') + "8.0\n\n  >";
  EXPECT_EQ(runDialogue("20\n5+3\nq\n"), want + "\n\n");
  EXPECT_EQ(runDialogue("20\n5+3\n"), want + "\n") << "end of input ends the run";
}

// Short exchanges whose whole output after the precision line is known.
TEST(Dialogue, LinesAndCommands) {
  const std::string s20(20, ' ');
  struct {
    const char* precision;
    std::string tokens;
    std::string want;
  } rows[] = {
      {"20", "5\nq", "  >\n\n  >\n\n"},
      {"20", "7/0\nR\nq",
       "  >\n\n0 -1 0 0\n-1 -1 79 0\n            7.000000e+0\n     divide 0.0e-9\n   division by zero fault   \n\n"
       "  >\n\n  >\n\n"},
      {"20", "S\nq", "  >\n\n0.0e-9 in memory\n\n  >\n\n"},
      {"20", "5+3q", "  >\n\n"},
      {"20", "-5",
       "  >\n\n-1 -1 -1 0\n1 -1 1 0\n            0.0e-9\n   subtract 5.000000e+0\n\n     result 9.999999e+10\n\n"
       "       99,999,999,995.0\n\n  >\n"},
      {"20", "*5",
       "  >\n\n-1 -1 -1 0\n1 -1 1 0\n            0.0e-9\n   multiply 5.000000e+0\n\n     result 0.0e-9\n\n" + s20 +
           "0.0\n\n  >\n"},
      {"20", std::string(80, '1') + "+1\n" + std::string(78, '5') + "q\nq",
       "  >\n\n  token too long: at most 79 characters\n\n  >\n\n"},
      {"4", "\x1b", "  >\n\n"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(afterStart(row.precision, row.tokens), row.want) << row.tokens;
  }
}

TEST(Dialogue, PrecisionPromptRefusals) {
  const std::string confirm4 = "\n\n  Precision set to 4 decimal places.  2 on either side of the decimal place.\n\n";
  const std::string range = "\n\n  Precision must be from 0 to 9999.\n\n";
  const std::string tooLong = "\n\n  token too long: at most 79 characters\n\n";
  struct {
    std::string input;
    std::string want;
  } rows[] = {
      {"-5\n10000\n99999999999999\n4\nq", "  Precision: " + range + "  Precision: " + range + "  Precision: " + range +
                                              "  Precision: " + confirm4 + "  >\n\n"},
      {std::string(200, '4') + " 4 q", "  Precision: " + tooLong + "  Precision: " + confirm4 + "  >\n\n"},
      {"", "  Precision: \n"},
      {"   \n\t ", "  Precision: \n"},
      {"q\nq", "  Precision: \n\n  Precision set to 0 decimal places.  0 on either side of the decimal place.\n\n  >\n\n"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(runDialogue(row.input), kLegend + row.want) << row.input.substr(0, 40);
  }
}

// Longer sessions kept as files: data/NAME.in is typed, data/NAME.out is the exact output.
TEST(Dialogue, Transcripts) {
  const bool regen = std::getenv("ZANTORIX_REGEN") != nullptr;
  for (const char* name : {"tour", "memory", "precision_change", "arithmetic", "odd_tokens"}) {
    const std::string base = std::string(TESTDATA_DIR) + "/" + name;
    const std::string got = runDialogue(readFile(base + ".in"));
    if (regen) std::ofstream(base + ".out", std::ios::binary) << got;
    EXPECT_EQ(got, readFile(base + ".out")) << name;
  }
}
