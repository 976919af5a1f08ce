// The few escape sequences the editor draws with, read back as steps (pure), for a console
// that does not interpret them: there the Windows layer carries the steps out through the
// console's own calls.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace terminal {

struct DrawStep {
  enum class Kind { text, up, down, right, eraseLine, eraseBelow, dim, normal, home, clear } kind = Kind::text;
  int n = 0;         // rows or columns, for up, down and right
  std::string text;  // for text: whole UTF-8 characters and the controls \r, \n and \a
};

// Splits output into steps: CSI n A, B and C; CSI K and J (to the end of the row, of the
// screen); CSI 2m and 0m (or m: dim, normal); CSI H and 2J; text between them. A sequence or
// a UTF-8 character cut off at the end waits in `carry` for the next call; other sequences
// are dropped.
std::vector<DrawStep> drawSteps(std::string_view bytes, std::string& carry);

}  // namespace terminal
