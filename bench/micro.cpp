// Products, squares and quotients of dense wide integers at 100, 1,000 and 10,000 digits
// (and 20,000 for the longest operands). Run: build/bench/micro
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>
#include <string>

#if ZANTORIX_BENCH_GMP
#include <gmp.h>
#endif

#include "limbs/num.h"
#include "limbs/columns.h"
#include "limbs/div.h"
#include "limbs/mul.h"

namespace {

using limbs::Num;

// A dense value of `digits` digits: every limb random, the top one full.
void dense(Num& x, int digits, unsigned seed) {
  std::mt19937 rng(seed);
  x.len = limbs::digitLimbs(digits);
  for (int i = 0; i < x.len; ++i) x.d[i] = static_cast<limbs::Limb>(rng() % limbs::kBase);
  limbs::keepLow(x, digits);
  x.d[x.len - 1] = x.d[x.len - 1] == 0 ? 1 : x.d[x.len - 1];
}

Num a, b, c, d, q;

void Product(benchmark::State& state) {
  dense(a, static_cast<int>(state.range(0)), 1);
  dense(b, static_cast<int>(state.range(0)), 2);
  for (auto _ : state) {
    limbs::product(a, b, c);
    benchmark::DoNotOptimize(c.d[0]);
  }
}

void Square(benchmark::State& state) {
  dense(a, static_cast<int>(state.range(0)), 1);
  for (auto _ : state) {
    limbs::product(a, a, c);
    benchmark::DoNotOptimize(c.d[0]);
  }
}

// A quotient of 1.5·digits digits by `digits` digits, as a register division at full scale:
// by divide (Quotient) and by long division alone (LongQuotient), which divide replaces.
void quotientBy(benchmark::State& state, void (*divide)(const Num&, const Num&, Num&)) {
  const int digits = static_cast<int>(state.range(0));
  dense(a, digits + digits / 2, 1);
  dense(b, digits, 2);
  for (auto _ : state) {
    divide(a, b, q);
    benchmark::DoNotOptimize(q.d[0]);
  }
}
void Quotient(benchmark::State& state) { quotientBy(state, limbs::divide); }
void LongQuotient(benchmark::State& state) { quotientBy(state, limbs::longDivide); }

// A 10,000-digit operation counted in 10,000-digit products, the two timed in turn so that
// a drift of the machine's speed falls on both: the counter "products".
template <typename Operation>
void inProducts(benchmark::State& state, Operation operation) {
  using Clock = std::chrono::steady_clock;
  dense(b, 10000, 2);
  Num& other = c;
  dense(other, 10000, 3);
  std::chrono::duration<double> timed{}, product{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    operation();
    const auto t1 = Clock::now();
    limbs::product(b, other, d);
    timed += t1 - t0, product += Clock::now() - t1;
    benchmark::DoNotOptimize(q.d[0] + d.d[0]);
  }
  state.counters["products"] = timed / product;
}

// A 15,000 / 10,000-digit quotient, and a 10,000-digit square, in products.
void QuotientInProducts(benchmark::State& state) {
  dense(a, 15000, 1);
  inProducts(state, [] { limbs::divide(a, b, q); });
}
void SquareInProducts(benchmark::State& state) {
  dense(a, 10000, 1);
  inProducts(state, [] { limbs::product(a, a, q); });
}

// A product (first arg 0) or square (1) of DIGITS digits by the whole-product transforms and
// by Karatsuba, timed in turn: the counter "apart" is the first time over the second, where
// the kernel has those transforms (else 1).
void Whole(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  dense(a, static_cast<int>(state.range(1)), 1);
  dense(b, static_cast<int>(state.range(1)), 2);
  const Num& other = state.range(0) == 1 ? a : b;
  const limbs::Kernel kernel = limbs::useKernel(limbs::bestKernel());
  const limbs::Thresholds kept = limbs::thresholdsFor(kernel);
  std::chrono::duration<double> whole{}, karatsuba{};
  for (auto _ : state) {
    limbs::setThresholds(kernel, {kept.product, kept.square, kept.cyclic, 1});
    const auto t0 = Clock::now();
    limbs::product(a, other, c);
    const auto t1 = Clock::now();
    limbs::setThresholds(kernel, {kept.product, kept.square, kept.cyclic, 0});
    limbs::product(a, other, d);
    whole += t1 - t0, karatsuba += Clock::now() - t1;
    benchmark::DoNotOptimize(c.d[0] + d.d[0]);
  }
  limbs::setThresholds(kernel, kept);
  state.counters["apart"] = whole / karatsuba;
}

// A power's step at precision p (a·b and b·b of p + 1 digits, p − p/2 of them fractional):
// both products formed together, with the two formed apart timed in turn; the counter
// "apart" is the first time over the second. With a second argument 1 the pair takes the
// kernel's transforms wherever they fit, whatever its threshold: whether they win there.
void PowerStep(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const int p = static_cast<int>(state.range(0)), f = p - p / 2;
  const limbs::Kernel kernel = limbs::kernelInUse();
  const limbs::Thresholds kept = limbs::thresholdsFor(kernel);
  if (state.range(1) == 1) limbs::setThresholds(kernel, {kept.product, kept.square, 1, kept.whole});
  dense(a, p + 1, 1);
  dense(b, p + 1, 2);
  std::chrono::duration<double> together{}, apart{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    limbs::mulFixedPair(a, b, c, d, f, p + 1);
    const auto t1 = Clock::now();
    limbs::mulFixed(a, b, c, f, p + 1), limbs::mulFixed(b, b, d, f, p + 1);
    together += t1 - t0, apart += Clock::now() - t1;
    benchmark::DoNotOptimize(c.d[0] + d.d[0]);
  }
  state.counters["apart"] = together / apart;
  limbs::setThresholds(kernel, kept);
}

// The product at 10,000 digits with each column kernel this CPU has (0 plain, 1 SSE2,
// 2 SSE4.1, 3 AVX2, 4 AVX-512).
void Kernel(benchmark::State& state) {
  limbs::useKernel(static_cast<limbs::Kernel>(state.range(0)));
  dense(a, 10000, 1);
  dense(b, 10000, 2);
  for (auto _ : state) {
    limbs::product(a, b, c);
    benchmark::DoNotOptimize(c.d[0]);
  }
  limbs::useKernel(limbs::bestKernel());
}

// The Karatsuba thresholds: a product (args: kernel, 0) or a square (kernel, 1) of `digits`
// digits with threshold t limbs for that kernel; the kernel's own thresholds come back after.
void Threshold(benchmark::State& state) {
  const auto kernel = static_cast<limbs::Kernel>(state.range(0));
  const bool square = state.range(1) == 1;
  const int t = static_cast<int>(state.range(2)), digits = static_cast<int>(state.range(3));
  if (limbs::useKernel(kernel) != kernel) return state.SkipWithError("kernel not here");
  const limbs::Thresholds kept = limbs::thresholdsFor(kernel);
  limbs::setThresholds(kernel, square ? limbs::Thresholds{kept.product, t, kept.cyclic, kept.whole}
                                      : limbs::Thresholds{t, kept.square, kept.cyclic, kept.whole});
  dense(a, digits, 1);
  dense(b, digits, 2);
  for (auto _ : state) {
    limbs::product(a, square ? a : b, c);
    benchmark::DoNotOptimize(c.d[0]);
  }
  limbs::setThresholds(kernel, kept);
  limbs::useKernel(limbs::bestKernel());
}

void thresholdArgs(benchmark::internal::Benchmark* bench) {
  for (int k = 0; k <= static_cast<int>(limbs::bestKernel()); ++k) {
    for (int square = 0; square < 2; ++square) {
      for (int t : {24, 32, 48, 64, 96, 128, 160, 200, 240, 320, 440, 720}) {
        for (int digits : {5000, 10000, 20000}) bench->Args({k, square, t, digits});
      }
    }
  }
}

#if ZANTORIX_BENCH_GMP
// x as a GMP integer, through its decimal digits.
void toGmp(const Num& x, mpz_t out) {
  std::string text = x.len == 0 ? "0" : std::to_string(x.d[x.len - 1]);
  for (int i = x.len - 2; i >= 0; --i) {
    const std::string limb = std::to_string(x.d[i]);
    text += std::string(limbs::kLimbDigits - limb.size(), '0') + limb;
  }
  mpz_set_str(out, text.c_str(), 10);
}

// Ours against GMP's, timed in turn on the same dense operands: a product of two DIGITS-digit
// numbers (first arg 0), a square (1), a quotient of 1.5·DIGITS digits by DIGITS (2). The
// counter "gmp" is our time over GMP's.
void AgainstGmp(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const int op = static_cast<int>(state.range(0)), digits = static_cast<int>(state.range(1));
  dense(a, op == 2 ? digits + digits / 2 : digits, 1);
  dense(b, digits, 2);
  const Num& other = op == 1 ? a : b;
  mpz_t x, y, z;
  mpz_inits(x, y, z, nullptr);
  toGmp(a, x), toGmp(other, y);
  std::chrono::duration<double> ours{}, theirs{};
  for (auto _ : state) {
    const auto t0 = Clock::now();
    op == 2 ? limbs::divide(a, b, c) : limbs::product(a, other, c);
    const auto t1 = Clock::now();
    op == 2 ? mpz_tdiv_q(z, x, y) : mpz_mul(z, x, y);
    ours += t1 - t0, theirs += Clock::now() - t1;
    benchmark::DoNotOptimize(c.d[0] + mpz_size(z));
  }
  state.counters["gmp"] = ours / theirs;
  mpz_clears(x, y, z, nullptr);
}
BENCHMARK(AgainstGmp)->ArgsProduct({{0, 1, 2}, {1000, 5000, 10000, 20000}})->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

BENCHMARK(Threshold)->Apply(thresholdArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(Product)->Arg(100)->Arg(1000)->Arg(2000)->Arg(3000)->Arg(4000)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Square)->Arg(100)->Arg(1000)->Arg(2000)->Arg(3000)->Arg(4000)->Arg(5000)->Arg(6000)->Arg(8000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Quotient)->Arg(20)->Arg(100)->Arg(200)->Arg(400)->Arg(1000)->Arg(2000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(QuotientInProducts)->Unit(benchmark::kMicrosecond);
BENCHMARK(SquareInProducts)->Unit(benchmark::kMicrosecond);
BENCHMARK(LongQuotient)->Arg(20)->Arg(100)->Arg(200)->Arg(400)->Arg(1000)->Arg(2000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Whole)
    ->ArgsProduct({{0, 1}, {10000, 14500, 15000, 16000, 18000, 20000, 20480}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(PowerStep)
    ->ArgsProduct({{2500, 4200, 5000, 7000, 8200, 9000, 9600, 9999}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(Kernel)->DenseRange(0, static_cast<int>(limbs::bestKernel()))->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
