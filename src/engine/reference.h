// The plain digit-by-digit methods, kept as the reference the fast paths are tested
// against: same registers and the same results as engine::mul() and engine::div().
// Linked only into the tests and the fuzzers, never into the calculator.
#pragma once

namespace engine::ref {

// mul: r80000 := wrap(floor(r60000 * r70000 / 10^f)), by long multiplication.
void mul();
// div: r110000 := wrap(floor(r90000 * 10^f / r100000)), by repeated subtraction;
// false for a zero divisor.
bool div();

}  // namespace engine::ref
