// Products, squares and quotients of dense wide integers at 100, 1,000 and 10,000 digits
// (and 20,000 for the longest operands). Run: build/bench/micro
#include <benchmark/benchmark.h>

#include <random>

#include "engine/wide.h"
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

}  // namespace

BENCHMARK(Product)->Arg(100)->Arg(1000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Square)->Arg(100)->Arg(1000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(Quotient)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();

namespace {
void Schoolbook(benchmark::State& state) {
  const int limbs = static_cast<int>(state.range(0));
  dense(a, limbs * 8, 1);
  dense(b, limbs * 8, 2);
  for (auto _ : state) {
    engine::wide::schoolbookN(c.d, a.d, limbs, b.d, limbs);
    benchmark::DoNotOptimize(c.d[0]);
  }
  state.counters["ns/product"] = benchmark::Counter(static_cast<double>(limbs) * limbs * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
}  // namespace
BENCHMARK(Schoolbook)->Arg(8)->Arg(16)->Arg(32)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);

namespace {
void SchoolSquare(benchmark::State& state) {
  const int limbs = static_cast<int>(state.range(0));
  dense(a, limbs * 8, 1);
  for (auto _ : state) {
    engine::wide::sqrN(c.d, a.d, limbs);
    benchmark::DoNotOptimize(c.d[0]);
  }
}
}  // namespace
BENCHMARK(SchoolSquare)->Arg(8)->Arg(16)->Arg(32)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMicrosecond);
