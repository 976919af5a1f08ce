// Exact powers of fixed-point numbers with a fraction: x = X / 10^f raised to n, truncated
// to f fractional digits, for every power below 10^intDigits.
#pragma once

#include "engine/wide.h"

namespace engine::wide {

enum class PowerSize { zero, fits, overflows };

// powerSize: where x^n lies, from logarithms: zero when certainly below 10^−(f+2) (so its
// truncation is 0), overflows when certainly at or above 10^intDigits, else fits (which the
// exact computation confirms or refutes). x = X / 10^f > 0, n >= 1.
PowerSize powerSize(const Num& X, int f, int intDigits, const Num& n);

// exactPower: out := floor(x^n · 10^f) and true when x^n < 10^intDigits; false when x^n is
// at or above it. bits[1..count] are n's binary digits, lowest first, as '0'/'1'.
// Works on truncated mantissas with a proven error bound and adds digits until the bound
// settles every kept digit; the mantissas start at startLimbs limbs when it is not 0 (the
// tests start them short to make them grow), else at what the result needs.
bool exactPower(const Num& X, int f, int intDigits, const Num& n, const char* bits, int count, Num& out,
                int startLimbs = 0);

}  // namespace engine::wide
