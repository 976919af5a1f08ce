// The digit store: one flat array of decimal cells split into fixed registers,
// the global precision, and the primitives that clear, set, copy, shift and compare.
#pragma once

namespace engine {

constexpr int kCells = 220000;    // the whole store
constexpr int kRegCells = 10000;  // cells in one register
constexpr int kMaxPrecision = kRegCells - 1;

// One digit 0..9 per cell; a register is named by its base offset.
extern signed char n[kCells];
// Index of the last cell of every register's value, and of its units cell.
extern int precision;
extern int decpoint;

// Register map (base offsets).
constexpr int rAddA = 0, rAddB = 10000, rAddSum = 20000;
constexpr int rSubA = 30000, rSubB = 40000, rSubDiff = 50000;
constexpr int rMulA = 60000, rMulB = 70000, rMulProd = 80000;
constexpr int rDivA = 90000, rDivB = 100000, rDivQuot = 110000;
constexpr int rExpBase = 120000, rExpPow = 130000, rExpResult = 140000;
constexpr int rLeft = 150000, rRight = 160000;
constexpr int rResult = 170000, rMemory = 180000;
constexpr int rSaved = 190000;  // M as it stood before the token, while a token's work may be stopped
constexpr int rZero = 200000;

// Comparison codes returned by compare().
constexpr int kEqual = 101, kGreater = 102, kLess = 103;

// Sets precision and decpoint = precision / 2; the caller keeps 0 <= p <= kMaxPrecision.
void setPrecision(int p);
// Clears every cell of the store. (Only the cells a precision set since the last clear
// reaches are written: the others are still zero.)
void clearStore();

// zero: cells r..r+precision := 0.  one / two: the value 1 / 2.
void zero(int r);
void one(int r);
void two(int r);
// move: copies cells 0..precision of register `from` to register `to`.
void move(int from, int to);
// m10: value * 10, the digit in cell 0 is lost.  d10: value / 10, truncated.
void m10(int r);
void d10(int r);
// shiftUp / shiftDown: k applications of m10 / d10 in one pass (k >= 0, any size).
void shiftUp(int r, long long k);
void shiftDown(int r, long long k);
// compare: kEqual, kGreater or kLess for value(a) against value(b).
int compare(int a, int b);
// relay: re-lays r, laid out for (oldPrecision, oldDecpoint), under the current
// precision so its units digit sits at decpoint; clears all cells outside the value.
void relay(int r, int oldPrecision, int oldDecpoint);

}  // namespace engine
