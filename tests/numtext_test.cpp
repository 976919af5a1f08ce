// Number entry from the buffer and the two display forms, from the tables in data/.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/store.h"
#include "numtext/entry.h"
#include "numtext/outbuf.h"
#include "numtext/show.h"
#include "support.h"

using testing_support::readCases;
using testing_support::regText;

TEST(NumberText, Entry) {
  for (const auto& row : readCases("entry.txt")) {
    engine::setPrecision(std::stoi(row[0]));
    numtext::clearBuffer();
    std::memcpy(numtext::t, row[1].data(), row[1].size());
    numtext::discard();
    numtext::valueT(engine::rLeft, std::stoi(row[2]), std::stoi(row[3]));
    EXPECT_EQ(numtext::pending(), row[4] + "\n") << row[1];
    EXPECT_EQ(regText(engine::rLeft), row[5]) << row[1];
  }
}

TEST(NumberText, Display) {
  for (const auto& row : readCases("display.txt")) {
    engine::setPrecision(std::stoi(row[0]));
    testing_support::setReg(engine::rResult, row[1]);
    numtext::discard();
    numtext::expdisplay(engine::rResult);
    EXPECT_EQ(numtext::pending(), row[2]) << row[1] << " at " << row[0];
    numtext::discard();
    numtext::display(engine::rResult);
    EXPECT_EQ(numtext::pending(), std::string(std::stoul(row[3]), ' ') + row[4]) << row[1] << " at " << row[0];
  }
}
