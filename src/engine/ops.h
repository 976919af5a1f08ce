// The five arithmetic operations on fixed registers. Each reads its two input
// registers and writes its output register; none touches R (170000) or M (180000).
// With f = precision - decpoint, a register holds the integer X, 0 <= X < 10^(precision+1),
// read as X / 10^f; wrap(x) = x mod 10^(precision+1).
#pragma once

#include "limbs/num.h"

namespace engine {

// Asked between the steps of a power with the share of it done; a power that it stops
// reports so and writes nothing. Null (as it starts): every power runs to its end. A
// power's first question is goOn(0), so that a watcher knows where each one starts.
extern limbs::GoOn goOn;
// Whether the last power's last digits are a lower bound that its error bound could not
// settle (it takes thousands of nines past the last kept digit: all but never).
extern bool unproven;

// add: r20000 := wrap(r0 + r10000).
void add();
// sub: r50000 := wrap(r30000 - r40000): a negative difference becomes its ten's complement.
void sub();
// mul: r80000 := wrap(floor(r60000 * r70000 / 10^f)). Truncates, never rounds.
// Reads 60000 and 70000; overwrites only 80000.
void mul();
// div: r110000 := wrap(floor(r90000 * 10^f / r100000)). Truncates, never rounds.
// Returns false and leaves every register unchanged when the divisor is 0.
bool div();
// exp: r140000 := r120000 ^ n for n = floor(r130000): 1 for n < 1; for an integer base
// x^n wrapped; for a base with a fraction the exact x^n truncated to f digits when it is
// below 10^(decpoint+1), else binary exponentiation by truncating mul() steps (result :=
// result * square where a bit is set, square := square * square), wrapping as they go.
// Reads 120000 and 130000; overwrites only 140000. False when goOn stopped it: then
// nothing is written.
bool exp();

}  // namespace engine
