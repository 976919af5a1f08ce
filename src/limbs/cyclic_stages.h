// The transforms' butterfly stages, written once over a vector type S: S::V holds a vector
// of coefficients of the six transforms, stored in an S::Entry; S::add and S::sub work on
// 32-bit lanes; S::reduce(s, m) is s − m where s >= m, for s below 2m; S::mulTwiddle(x, w,
// q, p) is Shoup's x·w mod p in [0, 2p) for any x below 2^32, q = floor(w·2^32 / p); and
// S::table(entry) loads a table entry (a twiddle or its Shoup quotient) into a V. Included
// by the files of each instruction set, each compiled for its own; every routine is a
// template on S, so no code that another file links is compiled for a wider instruction set.
#pragma once

#include "limbs/cyclic_lanes.h"

namespace limbs::cyclic {

// Entries per block of the stages whose butterflies stay within a block: 8 KiB of AVX2's,
// 16 KiB of AVX-512's, which the level-1 cache holds with the twiddles while the block runs
// through them.
constexpr int kBlock = 256;

// One forward stage of half-length len over c[from..to) (whole blocks of 2·len): decimation
// in frequency, coefficients in [0, 2p) kept there. Roots at j = 0 are 1.
template <class S>
void forwardStage(typename S::Entry* c, int len, int from, int to, typename S::V p, typename S::V p2) {
  for (int s = from; s < to; s += 2 * len) {
    const auto u = S::load(c[s]), v = S::load(c[s + len]);
    S::store(c[s], S::reduce(S::add(u, v), p2));
    S::store(c[s + len], S::reduce(S::add(S::sub(u, v), p2), p2));
    for (int j = 1; j < len; ++j) {
      const auto x = S::load(c[s + j]), y = S::load(c[s + j + len]);
      S::store(c[s + j], S::reduce(S::add(x, y), p2));
      S::store(c[s + j + len], S::mulTwiddle(S::add(S::sub(x, y), p2), S::table(forwardW[len + j]),
                                             S::table(forwardQ[len + j]), p));
    }
  }
}

// One backward stage, decimation in time, over coefficients in [0, 4p), which stay there:
// only the sum's first term is reduced below 2p, as Shoup's product takes any factor below
// 2^32 and gives one below 2p.
template <class S>
void backwardStage(typename S::Entry* c, int len, int from, int to, typename S::V p, typename S::V p2) {
  for (int s = from; s < to; s += 2 * len) {
    const auto u = S::reduce(S::load(c[s]), p2), v = S::reduce(S::load(c[s + len]), p2);
    S::store(c[s], S::add(u, v));
    S::store(c[s + len], S::add(S::sub(u, v), p2));
    for (int j = 1; j < len; ++j) {
      const auto x = S::reduce(S::load(c[s + j]), p2);
      const auto y = S::mulTwiddle(S::load(c[s + j + len]), S::table(backwardW[len + j]), S::table(backwardQ[len + j]), p);
      S::store(c[s + j], S::add(x, y));
      S::store(c[s + j + len], S::add(S::sub(x, y), p2));
    }
  }
}

// The forward stages of half-lengths len down to 1 over c[0..count): those longer than a
// block over everything, the rest block by block.
template <class S>
void forwardStages(typename S::Entry* c, int count, int len, typename S::V p, typename S::V p2) {
  const int block = count < kBlock ? count : kBlock;
  for (; 2 * len > block; len /= 2) forwardStage<S>(c, len, 0, count, p, p2);
  for (int b = 0; b < count; b += block) {
    for (int l = len; l >= 1; l /= 2) forwardStage<S>(c, l, b, b + block, p, p2);
  }
}

// The backward stages of half-lengths 1 up to count/2 over c[0..count): block by block
// first, then those longer than a block over everything.
template <class S>
void backwardStages(typename S::Entry* c, int count, typename S::V p, typename S::V p2) {
  const int block = count < kBlock ? count : kBlock;
  for (int b = 0; b < count; b += block) {
    for (int l = 1; 2 * l <= block; l *= 2) backwardStage<S>(c, l, b, b + block, p, p2);
  }
  for (int len = block; len < count; len *= 2) backwardStage<S>(c, len, 0, count, p, p2);
}

// The forward transform's first stage into c[0..n), one entry per coefficient, read from the
// limbs (S::limbs(x, y): x in lanes 0–2, y in 3–5, 0 elsewhere): where the upper half is all
// zeros (the limbs end below n/2 + j), its butterfly is u and u·w.
template <class S>
void firstStage(typename S::Entry* c, const Limb* a, int an, const Limb* b, int bn, int n) {
  const auto p = S::table(prime), p2 = S::table(twicePrime);
  const int half = n / 2, top = an > bn ? an : bn;
  const auto at = [&](int i) { return S::limbs(i < an ? a[i] : 0, i < bn ? b[i] : 0); };
  for (int j = 0; j < half; ++j) {
    const auto u = at(j), w = S::table(forwardW[half + j]), q = S::table(forwardQ[half + j]);
    if (half + j < top) {
      const auto v = at(half + j);
      S::store(c[j], S::reduce(S::add(u, v), p2));
      S::store(c[half + j], S::mulTwiddle(S::add(S::sub(u, v), p2), w, q, p));
    } else {
      S::store(c[j], u);
      S::store(c[half + j], S::mulTwiddle(u, w, q, p));
    }
  }
}

// c[0..n) := n·2^−32 times the cyclic sums a·b (lanes 0–2) and b·b (3–5) modulo each prime,
// in [0, 4p), one entry per coefficient: both forward transforms in one (bit-reversed
// order), the pointwise products (S::pointwise: a·b and b·b from a and b, Montgomery's),
// both backward transforms in one.
template <class S>
void pairSums(typename S::Entry* c, const Limb* a, int an, const Limb* b, int bn, int n) {
  const auto p = S::table(prime), p2 = S::table(twicePrime);
  firstStage<S>(c, a, an, b, bn, n);
  forwardStages<S>(c, n, n / 4, p, p2);
  for (int i = 0; i < n; ++i) S::store(c[i], S::pointwise(S::load(c[i])));
  backwardStages<S>(c, n, p, p2);
}

// Garner's sums for as many columns as S::H has lanes (with S::hSet, hAdd, hSub, hReduce,
// hMulTwiddle on it and S::wide(t1, t2, t3, out): out[i] := t1 + p1·t2 + p1·p2·t3 mod 2^64):
// x[k] holds the columns' residues modulo prime k, times n/2^32, taken from lanes first + k;
// each is scaled back, then mixed into t1 + p1·(t2 + p2·t3).
template <class S>
void garnerColumns(const typename S::H* x, int first, int logN, std::uint64_t* out) {
  const auto lane = [first](const Lanes& l, int k) { return S::hSet(l.v[first + k]); };
  typename S::H r[3];
  for (int k = 0; k < 3; ++k) {
    const auto p = S::hSet(kPrime[k]);
    r[k] = S::hReduce(S::hMulTwiddle(x[k], lane(scale[logN], k), lane(scaleQ[logN], k), p), p);
    if (k == 0) continue;
    const auto d = S::hSub(S::hAdd(r[k], lane(lift, k)), r[0]);  // r − t1, then / p1
    r[k] = S::hReduce(S::hMulTwiddle(d, lane(inv1, k), lane(inv1Q, k), p), p);
  }
  const auto p3 = S::hSet(kPrime[2]);
  const auto d = S::hSub(S::hAdd(r[2], lane(lift, 2)), r[1]);  // (· − t2) / p2
  r[2] = S::hReduce(S::hMulTwiddle(d, lane(inv2, 2), lane(inv2Q, 2), p3), p3);
  S::wide(r[0], r[1], r[2], out);
}

// remaindersAvx2's sums four columns at a time (to rounded up to four more), for the
// four-lane tiers: S::transpose(c, t) sets t[l] to lane l of the entries c[0..4).
template <class S>
void remaindersFour(int n, int from, int to, std::uint64_t* ab, std::uint64_t* bb) {
  const int logN = log2Of(n);
  for (int i = from; i < to; i += 4) {
    typename S::H t[8];
    S::transpose(coef + i, t);
    garnerColumns<S>(t, 0, logN, ab + i);
    garnerColumns<S>(t + 3, 3, logN, bb + i);
  }
}

// The four-lane tiers hold two coefficients of the six transforms per entry of twelve lanes
// (S::V, three vectors x, y, z of four lanes, S::H): coefficient j in lanes 0–5, j + n/2 in
// 6–11, as the AVX-512 vectors hold them, so that no lane is idle. Only the first forward
// stage and the last backward one work across the two; every other stage is the templates
// above, their twiddles alike in both (S::table(l) = S::cross(l, l), where S::cross(lo, up)
// puts lanes 0–5 of lo into lanes 0–5 and those of up into 6–11).

// The first forward stage, read from the limbs: entry j := (u + v, (u − v)·w) for u and v
// the coefficients j and j + n/2 (S::limbs(x, y): x in the lanes of a, y in those of b, in
// both), both through one product (by 1 in lanes 0–5; those in lanes 0–3 hold u + v alone,
// below 2·B, and need none); where the limbs end below j + n/2, v is 0. S::upper(v) keeps
// lanes 6–11 (0 elsewhere), S::flip(v) negates them.
template <class S>
void firstStageTwelve(typename S::Entry* c, const Limb* a, int an, const Limb* b, int bn, int n) {
  const auto p = S::table(prime), upper2p = S::upper(S::table(twicePrime));
  const int half = n / 2, top = an > bn ? an : bn;
  const auto limbsAt = [&](int i) { return S::limbs(i < an ? a[i] : 0, i < bn ? b[i] : 0); };
  for (int j = 0; j < half; ++j) {
    auto s = S::add(limbsAt(j), upper2p);
    if (half + j < top) s = S::add(s, S::flip(limbsAt(half + j)));
    const auto t = S::mulTwiddle(s, S::cross(one, forwardW[half + j]), S::cross(oneQ, forwardQ[half + j]), p);
    S::store(c[j], {s.x, t.y, t.z});
  }
}

// The last backward stage, from c[0..n/2) into the shared coefficients (coef), one per
// entry of eight lanes as the remainders read them ([0, 4p); lanes 6 and 7 unused): lanes
// 0–3 only reduced, the rest through one product. S::lowPair(y) is y's lanes 0–1 then
// zeros, S::highPair(z) z's lanes 2–3 then zeros, S::middle(y, z) y's 2–3 then z's 0–1.
template <class S>
void lastStageTwelve(const typename S::Entry* c, int n) {
  const auto p = S::table(prime);
  const auto p2low = S::hLoad(twicePrime.v), p2high = S::hLoad(twicePrime.v + 4);
  const int half = n / 2;
  for (int j = 0; j < half; ++j) {
    const auto e = S::load(c[j]);
    const auto t = S::mulTwiddle(e, S::cross(one, backwardW[half + j]), S::cross(oneQ, backwardQ[half + j]), p);
    const auto ulow = S::hReduce(e.x, p2low), uhigh = S::lowPair(t.y);
    const auto vlow = S::middle(t.y, t.z), vhigh = S::highPair(t.z);
    std::uint32_t *sum = coef[j].v, *difference = coef[half + j].v;
    S::hStore(sum, S::hAdd(ulow, vlow)), S::hStore(sum + 4, S::hAdd(uhigh, vhigh));
    S::hStore(difference, S::hAdd(S::hSub(ulow, vlow), p2low));
    S::hStore(difference + 4, S::hAdd(S::hSub(uhigh, vhigh), p2high));
  }
}

// The pair's sums for a four-lane tier, into coef as pairSums gives them: the first stage,
// the other forward stages over the n/2 entries c, the pointwise products (S::pointwise, in
// both coefficients), the backward stages but the last, and the last.
template <class S>
void pairSumsTwelve(typename S::Entry* c, const Limb* a, int an, const Limb* b, int bn, int n) {
  const auto p = S::table(prime), p2 = S::table(twicePrime);
  firstStageTwelve<S>(c, a, an, b, bn, n);
  forwardStages<S>(c, n / 2, n / 4, p, p2);
  for (int j = 0; j < n / 2; ++j) S::store(c[j], S::pointwise(S::load(c[j])));
  backwardStages<S>(c, n / 2, p, p2);
  lastStageTwelve<S>(c, n);
}

// Whole products and squares hold two coefficients of one operand's three transforms per
// entry: coefficient j in lanes 0–2, j + n/2 in 3–5 (S::cross(lo, up): lanes 0–2 of lo and
// 3–5 of up; S::upper(v): lanes 3–5 of v, 0 elsewhere; S::flip(v): lanes 3–5 negated;
// S::lowerTwice(v) and S::upperTwice(v): lanes 0–2, or 3–5, in both). Only the first
// forward stage and the last backward one work across the two, so every other stage runs
// on n/2 entries, and the pointwise products and the backward transform fill every lane.

// c[0..n/2) := the first forward stage of x[0..xn) (S::coefficient(v): v's residues below
// 2p in lanes 0–5, for v below 2^34): entry j holds u + v in lanes 0–2 and (u − v)·w in 3–5,
// for u and v the coefficients j and j + n/2.
template <class S>
void firstStageHalves(typename S::Entry* c, const std::uint64_t* x, int xn, int n) {
  const auto p = S::table(prime), upper2p = S::upper(S::table(twicePrime));
  const int half = n / 2;
  for (int j = 0; j < half; ++j) {
    auto s = S::add(S::coefficient(j < xn ? x[j] : 0), upper2p);
    if (half + j < xn) s = S::add(s, S::flip(S::coefficient(x[half + j])));
    S::store(c[j], S::mulTwiddle(s, S::cross(one, forwardW[half + j]), S::cross(oneQ, forwardQ[half + j]), p));
  }
}

// The last backward stage over c[0..n/2), in place: entry j := u + v·w in lanes 0–2 and
// u − v·w in 3–5 ([0, 4p)), for u and v its lanes 0–2 and 3–5; columns j and j + n/2.
template <class S>
void lastStageHalves(typename S::Entry* c, int n) {
  const auto p = S::table(prime), upper2p = S::upper(S::table(twicePrime));
  const int half = n / 2;
  for (int j = 0; j < half; ++j) {
    const auto t = S::mulTwiddle(S::load(c[j]), S::cross(one, backwardW[half + j]),
                                 S::cross(oneQ, backwardQ[half + j]), p);
    S::store(c[j], S::add(S::lowerTwice(t), S::add(S::flip(S::upperTwice(t)), upper2p)));
  }
}

// c[0..n/2) := n·2^−32 times the cyclic sums of a·b modulo each prime, columns j and j + n/2
// in entry j, [0, 4p): a's transform in c[0..n/2), b's (unless b is a: a square) in
// c[n/2..n), their products (S::multiply, Montgomery's), the backward transform.
template <class S>
void wholeSums(typename S::Entry* c, const std::uint64_t* a, int an, const std::uint64_t* b, int bn, int n) {
  const auto p = S::table(prime), p2 = S::table(twicePrime);
  const int half = n / 2;
  typename S::Entry* other = c;
  firstStageHalves<S>(c, a, an, n);
  forwardStages<S>(c, half, half / 2, p, p2);
  if (b != a) {
    other = c + half;
    firstStageHalves<S>(other, b, bn, n);
    forwardStages<S>(other, half, half / 2, p, p2);
  }
  for (int j = 0; j < half; ++j) S::store(c[j], S::multiply(S::load(c[j]), S::load(other[j])));
  backwardStages<S>(c, half, p, p2);
  lastStageHalves<S>(c, n);
}

}  // namespace limbs::cyclic
