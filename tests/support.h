// Test helpers: registers set and read as decimal text, and whole dialogues run in-process.
#pragma once

#include <string>

namespace testing_support {

// Sets the precision (and decpoint) without going through the prompt.
void usePrecision(int p);
// Writes a decimal "123.45" into register r, digit by digit (no parsing rules applied).
void setReg(int r, const std::string& value);
// Reads register r as "III.FF" with every cell shown (no fraction part at f = 0).
std::string regText(int r);
// Runs the whole dialogue on input and returns everything it printed.
std::string runDialogue(const std::string& input);
// A random string of `len` decimal digits; `dense` avoids zeros.
std::string randomDigits(unsigned& seed, int len, bool dense);

}  // namespace testing_support
