// Exact powers of fixed-point numbers with a fraction: x = X / 10^f raised to n, truncated
// to f fractional digits, for every power below 10^intDigits.
#pragma once

#include "limbs/num.h"

namespace limbs {

// unproven: as fits, but the last digits are the lower bound's, which the bound could not
// settle at the cap on the mantissas (it needs thousands of nines past the last kept digit)
// and whose exact integers would take more than 16 MiB.
enum class PowerSize { zero, fits, overflows, stopped, unproven };

// exactPower: for x = X / 10^f > 0 and n >= 1 (bits[1..count] its binary digits, lowest
// first, as '0'/'1'): zero when x^n is certainly below 10^−(f+2), so that its truncation
// is 0 (out untouched); overflows when x^n is at or above 10^intDigits (out untouched);
// else fits, with out := floor(x^n · 10^f). Logarithms settle nearly every case at once; the
// rest, and the digits, come from truncated mantissas with a proven error bound, which grow
// until the bound settles every kept digit, at most capLimbs limbs long (the tests cap them
// short to reach what comes after: the power from exact integers). goOn is asked between
// steps; stopped when it says no (out then holds nothing of use).
PowerSize exactPower(const Num& X, int f, int intDigits, const Num& n, const char* bits, int count, Num& out,
                     int capLimbs = kMaxOperand, GoOn goOn = nullptr);
// lowerBound: the windowed power with every mantissa at capLimbs limbs, as exactPower forms
// it: x^n >= m·B^e > x^n·(1 − 10^r) for the r returned (−infinity: exact). For tests of
// that bound.
double lowerBound(const Num& X, int f, const char* bits, int count, int capLimbs, Num& m, long long& e);

}  // namespace limbs
