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
