// Test helpers: registers set and read as decimal text, and whole dialogues run in-process.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// Writes a decimal "123.45" into register r, digit by digit (no parsing rules applied).
void setReg(int r, const std::string& value);
// Reads register r as "III.FF" with every cell shown (no fraction part at f = 0).
std::string regText(int r);
// Runs the whole dialogue on input and returns everything it printed.
std::string runDialogue(const std::string& input);
// The rows of tests/data/NAME: fields split at " | ", blank and '#' lines skipped.
std::vector<std::vector<std::string>> readCases(const std::string& name);
// The whole of a file, and of tests/data/NAME.
std::string readFile(const std::string& path);
std::string readData(const std::string& name);
// A fresh folder of its own in the test's temporary directory, removed with all it holds
// when the scratch goes, so that a test leaves nothing behind and can run again.
struct Scratch {
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  std::string operator/(const std::string& name) const { return dir + "/" + name; }
  std::string dir;
};
// A random string of `len` decimal digits; `dense` avoids zeros.
std::string randomDigits(unsigned& seed, int len, bool dense);

}  // namespace testing_support
