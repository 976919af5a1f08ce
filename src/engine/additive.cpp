#include "engine/ops.h"
#include "engine/store.h"

namespace engine {

// Digit by digit from the last cell up; a carry out of cell 0 is dropped.
void add() {
  zero(rAddSum);
  int carry = 0;
  for (int k = precision; k >= 0; --k) {
    const int s = n[rAddA + k] + n[rAddB + k] + carry;
    carry = s > 9 ? 1 : 0;
    n[rAddSum + k] = static_cast<signed char>(s - 10 * carry);
  }
}

// Digit by digit from the last cell up; a borrow out of cell 0 is dropped.
void sub() {
  zero(rSubDiff);
  int borrow = 0;
  for (int k = precision; k >= 0; --k) {
    const int d = n[rSubA + k] - n[rSubB + k] - borrow;
    borrow = d < 0 ? 1 : 0;
    n[rSubDiff + k] = static_cast<signed char>(d + 10 * borrow);
  }
}

}  // namespace engine
