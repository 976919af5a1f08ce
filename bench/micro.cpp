// Products, squares and quotients of dense wide integers at 100, 1,000 and 10,000 digits
// (and 20,000 for the longest operands). Run: build/bench/micro
#include <benchmark/benchmark.h>

#include <random>

#include "engine/wide.h"
#include "engine/wide_columns.h"
#include "engine/wide_div.h"
#include "engine/wide_mul.h"

namespace {

using engine::wide::Num;

// A dense value of `digits` digits: every limb random, the top one full.
void dense(Num& x, int digits, unsigned seed) {
  std::mt19937 rng(seed);
  x.len = engine::wide::digitLimbs(digits);
  for (int i = 0; i < x.len; ++i) x.d[i] = static_cast<engine::wide::Limb>(rng() % engine::wide::kBase);
  engine::wide::keepLow(x, digits);
  x.d[x.len - 1] = x.d[x.len - 1] == 0 ? 1 : x.d[x.len - 1];
}

Num a, b, c, q;

void Product(benchmark::State& state) {
  dense(a, static_cast<int>(state.range(0)), 1);
  dense(b, static_cast<int>(state.range(0)), 2);
  for (auto _ : state) {
    engine::wide::product(a, b, c);
    benchmark::DoNotOptimize(c.d[0]);
  }
}

void Square(benchmark::State& state) {
  dense(a, static_cast<int>(state.range(0)), 1);
  for (auto _ : state) {
    engine::wide::product(a, a, c);
    benchmark::DoNotOptimize(c.d[0]);
  }
}

// A quotient of 1.5·digits digits by `digits` digits, as a register division at full scale.
void Quotient(benchmark::State& state) {
  const int digits = static_cast<int>(state.range(0));
  dense(a, digits + digits / 2, 1);
  dense(b, digits, 2);
  for (auto _ : state) {
    engine::wide::divide(a, b, q);
    benchmark::DoNotOptimize(q.d[0]);
  }
}

// The product at 10,000 digits with each column kernel this CPU has (0 plain, 1 SSE2,
// 2 AVX2, 3 AVX-512).
void Kernel(benchmark::State& state) {
  engine::wide::useKernel(static_cast<engine::wide::Kernel>(state.range(0)));
  dense(a, 10000, 1);
  dense(b, 10000, 2);
  for (auto _ : state) {
    engine::wide::product(a, b, c);
    benchmark::DoNotOptimize(c.d[0]);
  }
  engine::wide::useKernel(engine::wide::bestKernel());
}

}  // namespace

BENCHMARK(Product)->Arg(100)->Arg(1000)->Arg(2000)->Arg(3000)->Arg(4000)->Arg(5000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Square)->Arg(100)->Arg(1000)->Arg(2000)->Arg(3000)->Arg(4000)->Arg(5000)->Arg(6000)->Arg(8000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Quotient)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Kernel)->DenseRange(0, static_cast<int>(engine::wide::bestKernel()))->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
