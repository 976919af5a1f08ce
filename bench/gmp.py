#!/usr/bin/env python3
"""The calculator's arithmetic done on GMP integers (Debian's python3-gmpy2), for comparison.

  gmp.py chain P M:S B^K-D       the truncating power chain at precision P, as the
                                 calculator runs it, of the base M·10^S (scaled by 10^f;
                                 several terms M:S,M:S are summed)
                                 to the exponent B^K − D; prints the result's integer
                                 part and its fraction scaled by 10^f
  gmp.py exact P M:S B^K-D       the same power exact, truncated to f fractional digits,
                                 from MPFR with enough bits that no digit is in doubt
  gmp.py products                microseconds per product, per square and per quotient
                                 (1.5·n digits by n) of dense values
"""
import random
import sys
import time

import gmpy2
from gmpy2 import mpz


def chain(p, base, exponent):
    """result := result*square and square := square^2 from the lowest bit, each product
    floor(x*y / 10^f) mod 10^(p+1); no square after the top bit."""
    f = p - p // 2
    scale, wrap = mpz(10) ** f, mpz(10) ** (p + 1)
    result, square, e = scale % wrap, mpz(base), mpz(exponent)
    while e:
        if e & 1:
            result = result * square // scale % wrap
        e >>= 1
        if e:
            square = square * square // scale % wrap
    return result


def exact(p, base, exponent):
    """floor(x^n · 10^f) for x = base / 10^f: x rounded to `bits` bits, then raised with
    one correct rounding; the relative error stays below n·2^(2−bits), far past the last
    digit, and the answer is refused if that error could reach the next integer."""
    f = p - p // 2
    n = mpz(exponent)
    bits = 4 * (p + 2) + int(n.bit_length()) + 400
    with gmpy2.local_context(gmpy2.context(), precision=bits):
        power = (gmpy2.mpfr(base) / gmpy2.mpfr(10) ** f) ** n * gmpy2.mpfr(10) ** f
        whole = gmpy2.floor(power)
        slack = power * gmpy2.mpfr(2) ** (int(n.bit_length()) + 4 - bits)
        if power - whole < slack or whole + 1 - power < slack:
            raise SystemExit("too close to call")
    return mpz(whole)


def products():
    rng = random.Random(1)
    for digits in (100, 1000, 10000, 20000):
        a = mpz(rng.randrange(10 ** (digits - 1), 10 ** digits))
        b = mpz(rng.randrange(10 ** (digits - 1), 10 ** digits))
        u = mpz(rng.randrange(10 ** (digits + digits // 2 - 1), 10 ** (digits + digits // 2)))
        reps = max(20, 4_000_000 // (digits * digits // 100 + 1))
        row = [digits]
        for f in (lambda: a * b, lambda: a * a, lambda: u // b):
            best = min(timed(f, reps) for _ in range(5))
            row.append(best * 1e6)
        print(*row)


def timed(f, reps):
    start = time.perf_counter()
    for _ in range(reps):
        f()
    return (time.perf_counter() - start) / reps


if __name__ == "__main__":
    if sys.argv[1] in ("chain", "exact"):
        p = int(sys.argv[2])
        base = sum(mpz(int(m)) * mpz(10) ** int(s) for m, s in (t.split(":") for t in sys.argv[3].split(",")))
        b, kd = sys.argv[4].split("^")
        k, d = (int(x) for x in kd.split("-"))
        power = (chain if sys.argv[1] == "chain" else exact)(p, base, mpz(int(b)) ** k - d)
        whole, frac = divmod(power, mpz(10) ** (p - p // 2))
        print(whole.digits(), frac.digits())
    else:
        products()
