#include "numtext/show.h"

#include <algorithm>

#include "engine/store.h"
#include "numtext/outbuf.h"

namespace numtext {

int pad = 20;
int comma = 1;

namespace {

// A display is assembled in one static line, then appended to the output at once.
char line[2 * engine::kRegCells + 64];
int used = 0;

void add(char c) { line[used++] = c; }
void addDigit(int r, int k) { add(static_cast<char>('0' + engine::n[r + k])); }
void flushLine() {
  put(std::string_view(line, static_cast<std::size_t>(used)));
  used = 0;
}

int firstNonZero(int r) {
  int k = 0;
  while (k <= engine::precision && engine::n[r + k] == 0) ++k;
  return k;
}

int lastNonZero(int r) {
  int k = engine::precision;
  while (k >= 0 && engine::n[r + k] == 0) --k;
  return k;
}

}  // namespace

// An all-zero register shows its last two cells (one cell at precision 0).
void expdisplay(int r) {
  const int p = engine::precision;
  int i = firstNonZero(r);
  if (i > p) i = std::max(p - 1, 0);
  const int e = engine::decpoint - i;
  for (int j = i; j <= i + 6 && j <= p; ++j) {
    addDigit(r, j);
    if (j == i) add('.');
  }
  add('e');
  if (e >= 0) add('+');
  flushLine();
  putInt(e);
}

// The leading spaces put the decimal point in column pad + 2 when separators are on.
void display(int r) {
  const int p = engine::precision, dp = engine::decpoint;
  const int first = std::min(firstNonZero(r), dp);
  const int last = std::min(std::max(lastNonZero(r) + 1, dp + 1), p);
  if (pad != 0) {
    const int d = dp - first;
    for (int k = pad - d - d / 3; k > 0; --k) add(' ');
  }
  for (int j = first; j <= last; ++j) {
    addDigit(r, j);
    if (j == dp) add('.');
    if (comma == 1 && j < dp && (dp - j) % 3 == 0) add(',');
  }
  flushLine();
}

}  // namespace numtext
