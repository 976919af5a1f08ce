#include "loop.h"

#include <istream>
#include <ostream>
#include <string>

#include "engine/ops.h"
#include "engine/store.h"
#include "numtext/entry.h"
#include "numtext/outbuf.h"
#include "numtext/show.h"

namespace console {

namespace {

using numtext::put;
using numtext::putInt;
using numtext::t;

constexpr const char* kLegend =
    "\n\n               Pelko's Zantorix  aug 2007\n\n"
    "  + - * / ^      M- use memory   R- use result   S- store to memory\n"
    "                 P- set precision      Q- exit      ?- print legend\n"
    "                         (No spaces. Cram everything together.)     \n\n";
constexpr const char* kTooLong = "  token too long: at most 79 characters\n\n";

bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The next input character without taking it; writes out the pending text first when the
// read would wait for input, so every prompt is visible before a person types.
int peekChar(std::streambuf& sb, std::ostream& out) {
  if (sb.in_avail() <= 0) {
    numtext::emit();
    out.flush();
  }
  return sb.sgetc();
}

// Reads the next whitespace-separated token into t (its first 79 characters, the rest
// NUL) and returns its full length, or -1 at the end of input. Holds no more than that.
long long readToken(std::istream& in, std::ostream& out) {
  std::streambuf& sb = *in.rdbuf();
  numtext::clearBuffer();
  int c = peekChar(sb, out);
  for (; c != std::char_traits<char>::eof() && isSpace(c); c = peekChar(sb, out)) sb.sbumpc();
  if (c == std::char_traits<char>::eof()) return -1;
  long long len = 0;
  for (; c != std::char_traits<char>::eof() && !isSpace(c); c = peekChar(sb, out), ++len) {
    if (len < numtext::kBufLen - 1) t[len] = static_cast<char>(c);
    sb.sbumpc();
  }
  return len;
}

// Asks until a precision from 0 to 9999 is typed, then re-lays R and M under it so
// they keep their values. Returns false at the end of input.
bool askPrecision(std::istream& in, std::ostream& out, int maxPrecision) {
  for (;;) {
    put("  Precision: ");
    const long long len = readToken(in, out);
    if (len < 0) return false;
    if (len >= numtext::kBufLen) {
      put("\n\n"), put(kTooLong);
      continue;
    }
    const int p = numtext::intvalueT(0);
    if (p < 0 || p > engine::kMaxPrecision || p > maxPrecision) {
      put("\n\n  Precision must be from 0 to 9999.\n\n");
      continue;
    }
    const int oldPrecision = engine::precision, oldDecpoint = engine::decpoint;
    engine::setPrecision(p);
    engine::relay(engine::rResult, oldPrecision, oldDecpoint);
    engine::relay(engine::rMemory, oldPrecision, oldDecpoint);
    put("\n\n  Precision set to "), putInt(engine::precision), put(" decimal places.  ");
    putInt(engine::decpoint), put(" on either side of the decimal place.\n\n");
    return true;
  }
}

struct LoopState {
  bool quit = false;
  bool legendShown = false;
  bool precisionSet = false;
};

struct LineState {
  char op = ' ';
  int opPos = -1;
  bool leftR = false, rightR = false, leftM = false, rightM = false;
};

// One pass over the buffer: the exponent rewrite, the operator (the last one wins),
// the operand letters and the commands. S stores R in M at once, during the scan.
LineState scan(LoopState& loop) {
  LineState line;
  const int content = numtext::filled();  // every position after it is NUL and does nothing
  for (int i = 0; i < content; ++i) {
    numtext::rewriteAt(i);
    switch (t[i]) {
      case '+': case '-': case '*': case '/': case '^':
        line.op = t[i];
        line.opPos = i;
        break;
      case 'R': case 'r': (line.opPos == -1 ? line.leftR : line.rightR) = true; break;
      case 'M': case 'm': (line.opPos == -1 ? line.leftM : line.rightM) = true; break;
      case 'P': case 'p': loop.precisionSet = false; break;
      case 'Q': case 'q': case 27: loop.quit = true; break;
      case '?': loop.legendShown = false; break;
      case 'S': case 's':
        engine::move(engine::rResult, engine::rMemory);
        numtext::expdisplay(engine::rMemory);
        put(" in memory\n\n");
        break;
      default: break;
    }
  }
  return line;
}

struct Operation {
  char op;
  int left, right;
  const char* label;
  bool (*routine)();  // false: no result (division by zero)
  int output;
};

constexpr Operation kOperations[] = {
    {'+', engine::rAddA, engine::rAddB, "\n        add ", [] { engine::add(); return true; }, engine::rAddSum},
    {'-', engine::rSubA, engine::rSubB, "\n   subtract ", [] { engine::sub(); return true; }, engine::rSubDiff},
    {'*', engine::rMulA, engine::rMulB, "\n   multiply ", [] { engine::mul(); return true; }, engine::rMulProd},
    {'/', engine::rDivA, engine::rDivB, "\n     divide ", engine::div, engine::rDivQuot},
    {'^', engine::rExpBase, engine::rExpPow, "\n    exponet ", [] { engine::exp(); return true; }, engine::rExpResult},
};

// Left and right operands into 150000 and 160000: from R or M (M wins), else parsed.
// The left operand's scan stops at the operator.
void fetchOperands(const LineState& line) {
  if (line.leftR) engine::move(engine::rResult, engine::rLeft);
  if (line.leftM) engine::move(engine::rMemory, engine::rLeft);
  if (line.rightR) engine::move(engine::rResult, engine::rRight);
  if (line.rightM) engine::move(engine::rMemory, engine::rRight);
  if (!line.leftR && !line.leftM) numtext::valueT(engine::rLeft, 0, line.opPos);
  if (!line.rightR && !line.rightM) numtext::valueT(engine::rRight, line.opPos);
}

// Echoes both operands, runs the operation and shows the result, which becomes R.
// A division by zero shows its message instead and leaves R as it was.
void compute(const LineState& line) {
  fetchOperands(line);
  for (const Operation& o : kOperations) {
    if (o.op != line.op) continue;
    engine::move(engine::rLeft, o.left);
    engine::move(engine::rRight, o.right);
    put("            ");
    numtext::expdisplay(o.left);
    put(o.label);
    numtext::expdisplay(o.right);
    if (!o.routine()) {
      put("\n   division by zero fault   \n\n");
      return;
    }
    engine::move(o.output, engine::rResult);
  }
  put("\n\n     result ");
  numtext::expdisplay(engine::rResult);
  put("\n\n");
  numtext::display(engine::rResult);
  put("\n\n");
}

}  // namespace

int run(std::istream& in, std::ostream& out, int maxPrecision) {
  numtext::pad = 20;
  numtext::comma = 1;
  engine::clearStore();
  engine::setPrecision(0);
  numtext::clearBuffer();
  numtext::bind(out);
  LoopState loop;
  while (!loop.quit) {
    if (!loop.legendShown) {
      loop.legendShown = true;
      put(kLegend);
    }
    if (!loop.precisionSet) {
      if (!askPrecision(in, out, maxPrecision)) break;
      loop.precisionSet = true;
    }
    put("  >");
    const long long len = readToken(in, out);
    if (len < 0) break;
    put("\n\n");
    if (len >= numtext::kBufLen) {
      put(kTooLong);
      continue;
    }
    const LineState line = scan(loop);
    if (line.op != ' ' && !loop.quit) compute(line);
  }
  if (!loop.quit) put("\n");
  numtext::emit();
  out.flush();
  return 0;
}

}  // namespace console
