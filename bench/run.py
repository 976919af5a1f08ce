#!/usr/bin/env python3
"""Times the calculator against GNU bc and GMP on the same arithmetic, as whole processes.

Each workload is written twice: as calculator input (a precision, then one token per
line) and as the equivalent bc script (scale = the fractional digits, one printed
result per token). Both run several times; one line per workload gives the two
medians of processor time (user + system) and the ratio bc/ours. The worst power tokens at precision 9999 run against the
same truncating chain on GMP integers (bench/gmp.py, where python3-gmpy2 is installed),
whose digits must match ours, and the exact path's slowest token beside the slowest chain,
its digits checked against MPFR; then the per-product, per-square and per-quotient times
of build/bench/micro (when built) beside GMP's.  Usage: bench/run.py [--runs N] [--binary PATH]
"""
import argparse
import os
import random
import resource
import statistics
import subprocess
import sys
import tempfile

# Results of 10,000 digits pass Python's default cap on integer text (4,300 digits, from 3.11).
if hasattr(sys, "set_int_max_str_digits"):
    sys.set_int_max_str_digits(0)

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


P, F = 9999, 9999 - 9999 // 2
# name, calculator input, base m·10^s as "m:s", exponent "B^K-D" (B^K − D): what the GMP
# chain computes. The last is the slowest chain: 2^16609 − 1 is 16,609 bits, all set.
WORST = [
    ("1.0000001^1e4999", ["9999", "1.0000001^1e4999", "q"], f"10000001:{F - 7}", "10^4999-0"),
    ("7.1^1e4999", ["9999", "7.1^1e4999", "q"], f"71:{F - 1}", "10^4999-0"),
    ("2^16609, R-1, 1.0000001^R", ["9999", "2^16609", "R-1", "1.0000001^R", "q"], f"10000001:{F - 7}",
     "2^16609-1"),
]
# The exact path's slowest token: (1 + 1.74·10^-4996)^(2^16609 − 1), about 4.5e4847, whose
# mantissas carry the result's 9,849 digits and 5,000 more for the exponent.
EXACT = ("1.74e-4996+1, S, 2^16609, R-1, M^R", ["9999", "1.74e-4996+1", "S", "2^16609", "R-1", "M^R", "q"],
         f"1:{F},174:2", "2^16609-1")


def gmp_python():
    """A python3 that has gmpy2 (Debian's, when the one running this lacks it), or None."""
    for exe in (sys.executable, "/usr/bin/python3"):
        if os.path.exists(exe) and subprocess.run([exe, "-c", "import gmpy2"],
                                                  capture_output=True).returncode == 0:
            return exe
    return None


def last_result(text):
    """The last result's fixed display as an integer scaled by 10^F."""
    fixed = text.rsplit("     result ", 1)[1].split("\n")[2].strip().replace(",", "")
    whole, frac = fixed.split(".")
    return int(whole or "0") * 10 ** F + int((frac + "0" * F)[:F])



def worst_vs_gmp(binary, runs):
    py = gmp_python()
    print(f"\n{'worst token, p9999':30} {'ours s':>9} {'gmp s':>9} {'gmp/ours':>8}")
    for name, ours, base, exponent in WORST:
        data = ("\n".join(ours) + "\n").encode()
        t_ours = median_time([binary], data, runs)
        if py is None:
            print(f"{name:30} {t_ours:9.3f} {'-':>9} {'-':>8}   (no gmpy2)")
            continue
        cmd = [py, os.path.join(HERE, "gmp.py"), "chain", str(P), base, exponent]
        t_gmp = median_time(cmd, b"", runs)
        theirs = subprocess.run(cmd, capture_output=True, text=True).stdout.split()
        same = theirs == [str(x) for x in divmod(last_result(
            subprocess.run([binary], input=data, capture_output=True).stdout.decode()), 10 ** F)]
        print(f"{name:30} {t_ours:9.3f} {t_gmp:9.3f} {t_gmp / t_ours:8.1f}   digits "
              + ("match" if same else "DIFFER"))
        sys.stdout.flush()
    # The exact path's worst token beside the slowest chain, run in turn; its digits against
    # MPFR's.
    name, ours, base, exponent = EXACT
    chain_run = ([binary], ("\n".join(WORST[-1][1]) + "\n").encode())
    exact_run = ([binary], ("\n".join(ours) + "\n").encode())
    t_exact, t_chain = paired(exact_run, chain_run, runs)
    verdict = "no gmpy2"
    if py is not None:
        theirs = subprocess.run([py, os.path.join(HERE, "gmp.py"), "exact", str(P), base, exponent],
                                capture_output=True, text=True).stdout.split()
        mine = divmod(last_result(subprocess.run(*exact_run[:1], input=exact_run[1], capture_output=True).stdout.decode()),
                      10 ** F)
        verdict = "digits match MPFR" if theirs == [str(x) for x in mine] else "digits DIFFER from MPFR"
    print(f"{name:30} {t_exact:9.3f}   {t_exact / t_chain:.2f} times the slowest chain ({t_chain:.3f} s); {verdict}")


def products_vs_gmp(binary):
    micro = os.path.join(os.path.dirname(binary), "bench", "micro")
    py = gmp_python()
    if not os.path.exists(micro):
        return
    out = subprocess.run([micro, "--benchmark_filter=^(Product|Square|Quotient)/", "--benchmark_repetitions=5",
                          "--benchmark_report_aggregates_only=true", "--benchmark_format=csv"],
                         capture_output=True, text=True).stdout
    ours = {}
    for line in out.splitlines():
        if "_median" in line:
            fields = line.split(",")
            kind, digits = fields[0].strip('"').split("_")[0].split("/")
            ours[(kind, int(digits))] = float(fields[3])  # cpu time, microseconds
    gmp = {}
    if py is not None:
        for line in subprocess.run([py, os.path.join(HERE, "gmp.py"), "products"],
                                   capture_output=True, text=True).stdout.splitlines():
            d, mul, sqr, quo = line.split()
            gmp[("Product", int(d))], gmp[("Square", int(d))] = float(mul), float(sqr)
            gmp[("Quotient", int(d))] = float(quo)
    print(f"\n{'per product, microseconds':30} {'ours':>9} {'gmp':>9} {'ours/gmp':>8}")
    for key in sorted(ours):
        g = gmp.get(key)
        print(f"{key[0] + ' ' + str(key[1]) + ' digits':30} {ours[key]:9.2f} "
              + (f"{g:9.2f} {ours[key] / g:8.2f}" if g else f"{'-':>9} {'-':>8}"))
    # A quotient of 15,000 by 10,000 digits in 10,000-digit products, timed in turn (ours);
    # GMP's from its own table.
    paired_out = subprocess.run([micro, "--benchmark_filter=^QuotientInProducts$", "--benchmark_repetitions=9",
                                 "--benchmark_report_aggregates_only=true", "--benchmark_format=csv"],
                                capture_output=True, text=True).stdout.splitlines()
    header = next(([h.strip('"') for h in line.split(",")] for line in paired_out if line.startswith("name,")), [])
    for line in paired_out:
        if "_median" in line and "products" in header:
            ratio = float(line.split(",")[header.index("products")])
            text = f"quotient 15000/10000 = {ratio:.2f} of our 10000-digit products (timed in turn)"
            if ("Quotient", 10000) in gmp:
                text += f"; GMP's {gmp[('Quotient', 10000)] / gmp[('Product', 10000)]:.2f} of its own"
            print(text)


def run_once(cmd, data):
    """The processor time (user + system) of one whole run of cmd: on a shared machine it
    moves less than the wall time, which also counts the waits for the other processes."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(cmd, input=data, stdout=subprocess.DEVNULL, check=True,
                   env=dict(os.environ, BC_LINE_LENGTH="0"))
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def median_time(cmd, data, runs):
    return statistics.median(run_once(cmd, data) for _ in range(runs))


def paired(a, b, runs):
    """Medians of a and b (each a command and its input) run in turn, a b a b ...: a drift
    of the machine's speed then falls on both. Runs under 0.1 s are repeated five times as
    often, since they move most."""
    times = ([], [])
    for _ in range(runs * 5 if run_once(*a) < 0.1 else runs):
        for k, (cmd, data) in enumerate((a, b)):
            times[k].append(run_once(cmd, data))
    return statistics.median(times[0]), statistics.median(times[1])


def main():
    if hasattr(sys, "set_int_max_str_digits"):
        sys.set_int_max_str_digits(0)
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
        ours_run = ([args.binary], ("\n".join(ours) + "\n").encode())
        if bc is None:
            print(f"{name:30} {median_time(*ours_run, args.runs):9.3f} {'-':>9} {'-':>8}")
            continue
        t_ours, t_bc = paired(ours_run, (["bc", "-q"], ("\n".join(bc) + "\nquit\n").encode()), args.runs)
        print(f"{name:30} {t_ours:9.3f} {t_bc:9.3f} {t_bc / t_ours:8.1f}")
        sys.stdout.flush()
    worst_vs_gmp(args.binary, args.runs)
    products_vs_gmp(args.binary)


if __name__ == "__main__":
    main()
