// Whole dialogues run in-process, compared byte for byte: every data/NAME.in with its
// data/NAME.out. Set ZANTORIX_REGEN=1 to rewrite the .out files after a deliberate change.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support.h"

using testing_support::readData;
using testing_support::runDialogue;

TEST(Dialogue, FivePlusThreeAtPrecision20) {
  const std::string want =
      "\n\n               Pelko's Zantorix  aug 2007\n\n"
      "  + - * / ^      M- use memory   R- use result   S- store to memory\n"
      "                 P- set precision      Q- exit      ?- print legend\n"
      "                         (No spaces. Cram everything together.)     \n\n"
      "  Precision: \n\n  Precision set to 20 decimal places.  10 on either side of the decimal place.\n\n"
      "  >\n\n0 -1 0 0\n2 -1 2 0\n            5.000000e+0\n        add 3.000000e+0"
      "\n\n     result 8.000000e+0\n\n                    8.0\n\n  >";
  EXPECT_EQ(runDialogue("20\n5+3\nq\n"), want + "\n\n");
  EXPECT_EQ(runDialogue("20 5+3"), want + "\n") << "end of input ends the run";
}

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
