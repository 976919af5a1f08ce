#!/usr/bin/env python3
"""The calculator's arithmetic done on GMP integers (Debian's python3-gmpy2), for comparison.

  gmp.py chain P M:S K:D          the truncating power chain at precision P, as the
                                 calculator runs it, of the base M·10^S (scaled by 10^f)
                                 to the exponent 10^K − D; prints the result's integer
                                 part and its fraction scaled by 10^f
  gmp.py products                microseconds per product and per square of dense values
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


def products():
    rng = random.Random(1)
    for digits in (100, 1000, 10000, 20000):
        a = mpz(rng.randrange(10 ** (digits - 1), 10 ** digits))
        b = mpz(rng.randrange(10 ** (digits - 1), 10 ** digits))
        reps = max(20, 4_000_000 // (digits * digits // 100 + 1))
        row = [digits]
        for f in (lambda: a * b, lambda: a * a):
            best = min(timed(f, reps) for _ in range(5))
            row.append(best * 1e6)
        print(*row)


def timed(f, reps):
    start = time.perf_counter()
    for _ in range(reps):
        f()
    return (time.perf_counter() - start) / reps


if __name__ == "__main__":
    if sys.argv[1] == "chain":
        p = int(sys.argv[2])
        m, s = (int(x) for x in sys.argv[3].split(":"))
        k, d = (int(x) for x in sys.argv[4].split(":"))
        whole, frac = divmod(chain(p, mpz(m) * mpz(10) ** s, mpz(10) ** k - d), mpz(10) ** (p - p // 2))
        print(whole.digits(), frac.digits())
    else:
        products()
