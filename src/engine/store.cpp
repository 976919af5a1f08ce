#include "engine/store.h"

#include <cstring>

namespace engine {

signed char n[kCells];
int precision = 0;
int decpoint = 0;

namespace {
// The widest precision set since the store was last cleared: no cell of a register past it
// can hold a digit, so a clear stops there and a short run never touches the rest.
int widest = 0;
}  // namespace

void setPrecision(int p) {
  precision = p;
  decpoint = p / 2;
  if (p > widest) widest = p;
}

void clearStore() {
  for (int r = 0; r < kCells; r += kRegCells) std::memset(n + r, 0, static_cast<size_t>(widest) + 1);
  widest = precision;
}

void zero(int r) { std::memset(n + r, 0, static_cast<size_t>(precision) + 1); }

void one(int r) {
  zero(r);
  n[r + decpoint] = 1;
}

void two(int r) {
  zero(r);
  n[r + decpoint] = 2;
}

void move(int from, int to) {
  if (from != to) std::memmove(n + to, n + from, static_cast<size_t>(precision) + 1);
}

void m10(int r) { shiftUp(r, 1); }

void d10(int r) { shiftDown(r, 1); }

// A shift of precision+1 places or more moves every digit out and leaves 0.
void shiftUp(int r, long long k) {
  if (k <= 0) return;
  if (k > precision) return zero(r);
  const int s = static_cast<int>(k);
  std::memmove(n + r, n + r + s, static_cast<size_t>(precision + 1 - s));
  std::memset(n + r + precision + 1 - s, 0, static_cast<size_t>(s));
}

void shiftDown(int r, long long k) {
  if (k <= 0) return;
  if (k > precision) return zero(r);
  const int s = static_cast<int>(k);
  std::memmove(n + r + s, n + r, static_cast<size_t>(precision + 1 - s));
  std::memset(n + r, 0, static_cast<size_t>(s));
}

int compare(int a, int b) {
  for (int k = 0; k <= precision; ++k) {
    if (n[a + k] != n[b + k]) return n[a + k] > n[b + k] ? kGreater : kLess;
  }
  return kEqual;
}

// Old cell k has weight 10^(oldDecpoint - k); it lands in new cell k + decpoint - oldDecpoint.
void relay(int r, int oldPrecision, int oldDecpoint) {
  static signed char old[kRegCells];
  std::memcpy(old, n + r, kRegCells);
  std::memset(n + r, 0, kRegCells);
  const int offset = decpoint - oldDecpoint;
  for (int k = 0; k <= oldPrecision; ++k) {
    const int to = k + offset;
    if (to >= 0 && to <= precision) n[r + to] = old[k];
  }
}

}  // namespace engine
