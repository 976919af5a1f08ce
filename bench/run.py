#!/usr/bin/env python3
"""Times the calculator against GNU bc on the same arithmetic, as whole processes.

Each workload is written twice: as calculator input (a precision, then one token per
line) and as the equivalent bc script (scale = the fractional digits, one printed
result per token). Both run several times; one line per workload gives the two
medians and the ratio bc/ours.  Usage: bench/run.py [--runs N] [--binary PATH]
"""
import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def session_p20(rng, tokens=20000):
    """Typed operands with all five operators at precision 20 (11 + 10 digits)."""
    ours, bc = ["20"], ["scale=10"]
    for i in range(tokens):
        op = "+-*/^"[i % 5]
        if op == "^":
            a, b = f"1.{rng.randint(0, 9999):04d}", str(rng.randint(2, 40))
        else:
            a = f"{rng.randint(1, 99999)}.{rng.randint(0, 99999):05d}"
            b = f"{rng.randint(1, 999)}.{rng.randint(0, 99999):05d}"
        ours.append(a + op + b)
        bc.append(a + op + b)
    return ours + ["q"], bc


def chain(precision, rounds):
    """Dense full-length values through R and M: products, quotients by dense divisors."""
    i = precision // 2 + 1
    ours = [str(precision), f"1e{i - 3}/7", "S", "1/7", "R+1", "S", f"1e{i - 3}/3"]
    bc = [f"scale={precision - precision // 2}", f"r=10^{i - 3}/7", "m=r", "r", "m",
          "r=1/7", "r", "r=r+1", "r", "m=r", "m", f"r=10^{i - 3}/3", "r"]
    steps = [("R*M", "r=r*m"), ("R/M", "r=r/m"), ("R+M", "r=r+m"), ("R*M", "r=r*m"),
             ("R/M", "r=r/m"), ("R-M", "r=r-m"), ("M/R", None), ("R/M", "r=r/m")]
    for k in range(rounds):
        for tok, expr in steps:
            if tok == "M/R":  # a small quotient, then a fresh dense value
                ours += ["M/R", f"1e{i - 3}/3"]
                bc += ["r=m/r", "r", f"r=10^{i - 3}/3", "r"]
                continue
            ours.append(tok)
            bc += [expr, "r"]
    return ours + ["q"], bc


def powers():
    toks = ["2^33000", "3^20000", "1.0001^100000", "7^11000", "1.5^20000"]
    return ["9999"] + toks + ["q"], ["scale=5000"] + toks


def worst():
    return ["9999", "3^1e4999", "q"], None


def run_once(cmd, data):
    start = time.perf_counter()
    subprocess.run(cmd, input=data, stdout=subprocess.DEVNULL, check=True,
                   env=dict(os.environ, BC_LINE_LENGTH="0"))
    return time.perf_counter() - start


def median_time(cmd, data, runs):
    return statistics.median(run_once(cmd, data) for _ in range(runs))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--binary", default=os.path.join(HERE, "..", "build", "zantorix"))
    args = ap.parse_args()
    rng = random.Random(2026)
    workloads = [
        ("session p20, 20000 tokens", session_p20(rng)),
        ("chain p1000 via R and M", chain(1000, 40)),
        ("chain p9999 via R and M", chain(9999, 4)),
        ("powers p9999", powers()),
        ("worst case 3^1e4999 p9999", worst()),
    ]
    print(f"{'workload':30} {'ours s':>9} {'bc s':>9} {'bc/ours':>8}   (median of {args.runs})")
    for name, (ours, bc) in workloads:
        t_ours = median_time([args.binary], ("\n".join(ours) + "\n").encode(), args.runs)
        if bc is None:
            print(f"{name:30} {t_ours:9.3f} {'-':>9} {'-':>8}")
            continue
        t_bc = median_time(["bc", "-q"], ("\n".join(bc) + "\nquit\n").encode(), args.runs)
        print(f"{name:30} {t_ours:9.3f} {t_bc:9.3f} {t_bc / t_ours:8.1f}")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
