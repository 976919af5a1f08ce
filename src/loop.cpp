#include "loop.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <istream>
#include <ostream>
#include <string>
#include <system_error>

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
constexpr const char* kCursorKey = "  cursor keys do not work here: type it again\n\n";
constexpr const char* kStopped = "\n   interrupted: R and M are as they were\n\n";
constexpr const char* kUnproven = "zantorix: the last digits of that power are not proven\n";
constexpr int kEscape = 27, kCtrlC = 3;
constexpr const char* kActing = "sSpPqQ?\x1b";  // the letters that act wherever they stand
// Text past this much is handed to the output stream at the end of the token, so that a
// failed write is noticed soon even while the input never waits.
constexpr std::size_t kEmitAt = 4096;

bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The streams of one run, and whether one of them has failed: then the run ends at once.
struct Io {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool failed = false;
};

// Says on err why the run ends; a failed read takes errno from its exception when it has one.
void reportRead(Io& io, const std::exception& e) {
  int error = errno;
  if (const auto* f = dynamic_cast<const std::ios_base::failure*>(&e)) {
    const std::error_category& c = f->code().category();
    if (c == std::generic_category() || c == std::system_category()) error = f->code().value();
  }
  io.err << "zantorix: cannot read standard input: " << (error != 0 ? std::strerror(error) : e.what()) << '\n';
  io.failed = true;
}

void reportWrite(Io& io) {
  io.err << "zantorix: cannot write standard output: " << std::strerror(numtext::outputError()) << '\n';
  io.failed = true;
}

// Writes out the pending text, and flushes the stream when asked; false (after saying so)
// when the output has failed, now or at an earlier write.
bool deliver(Io& io, bool flush) {
  if (!io.failed && !numtext::emit(flush)) reportWrite(io);
  return !io.failed;
}

// The next input character without taking it, or EOF when the input ends or a stream has
// failed. Writes out the pending text first when the read would wait for input, so every
// prompt is visible before a person types.
int peekChar(Io& io, std::streambuf& sb) {
  if (sb.in_avail() <= 0 && !deliver(io, true)) return std::char_traits<char>::eof();
  return sb.sgetc();
}

enum class Read { token, end, failed };

// Reads the next whitespace-separated token into t (its first 79 characters, the rest
// NUL) and its full length into len. Holds no more than that. A read that fails (not the
// end of input) is reported; what was printed before it is written out.
Read readToken(Io& io, long long& len) {
  std::streambuf& sb = *io.in.rdbuf();
  numtext::clearBuffer();
  len = 0;
  try {
    int c = peekChar(io, sb);
    for (; c != std::char_traits<char>::eof() && isSpace(c); c = peekChar(io, sb)) sb.sbumpc();
    for (; c != std::char_traits<char>::eof() && !isSpace(c); c = peekChar(io, sb), ++len) {
      if (len < numtext::kBufLen - 1) t[len] = static_cast<char>(c);
      sb.sbumpc();
    }
  } catch (const std::exception& e) {
    deliver(io, true);
    reportRead(io, e);
  }
  if (io.failed) return Read::failed;
  return len > 0 ? Read::token : Read::end;
}

// ESC followed by '[' or 'O' is what cursor, function and editing keys send.
bool holdsCursorKey(long long len) {
  for (int i = 0; i + 1 < len; ++i) {
    if (t[i] == kEscape && (t[i + 1] == '[' || t[i + 1] == 'O')) return true;
  }
  return false;
}

// Asks until a precision from 0 to 9999 is typed, then re-lays R and M under it so
// they keep their values. With `cancellable`, Ctrl-C alone keeps the precision set before
// (`again`: there is one). Returns false at the end of input or a failed stream.
bool askPrecision(Io& io, int maxPrecision, bool cancellable, bool again) {
  for (;;) {
    put(kPrecisionPrompt);
    long long len = 0;
    if (readToken(io, len) != Read::token) return false;
    if (cancellable && len == 1 && t[0] == kCtrlC) {
      if (!again) continue;
      put("\n\n  Precision kept at "), putInt(engine::precision), put(" decimal places; R and M are as they were.\n\n");
      return true;
    }
    if (len >= numtext::kBufLen || holdsCursorKey(len)) {
      put("\n\n"), put(len >= numtext::kBufLen ? kTooLong : kCursorKey);
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
  bool precisionEver = false;  // a precision was set in this run
};

struct LineState {
  char op = ' ';
  int opPos = -1;
  bool leftR = false, rightR = false, leftM = false, rightM = false;
};

// One pass over the buffer: the exponent rewrite, the operator (the last one wins),
// the operand letters and the commands. S stores R in M at once, during the scan, and
// says so when `echo`.
LineState scan(LoopState& loop, bool echo) {
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
      case 'Q': case 'q': case kEscape: loop.quit = true; break;
      case '?': loop.legendShown = false; break;
      case 'S': case 's':
        engine::move(engine::rResult, engine::rMemory);
        if (!echo) break;
        numtext::expdisplay(engine::rMemory);
        put(" in memory\n\n");
        break;
      default: break;
    }
  }
  return line;
}

// How an operation ended: with a result, or without one and the message that says why.
enum class Done { result, divisionByZero, stopped };

struct Operation {
  char op;
  int left, right;
  const char* label;
  Done (*routine)();
  int output;
};

constexpr Operation kOperations[] = {
    {'+', engine::rAddA, engine::rAddB, "\n        add ", [] { return engine::add(), Done::result; }, engine::rAddSum},
    {'-', engine::rSubA, engine::rSubB, "\n   subtract ", [] { return engine::sub(), Done::result; }, engine::rSubDiff},
    {'*', engine::rMulA, engine::rMulB, "\n   multiply ", [] { return engine::mul(), Done::result; }, engine::rMulProd},
    {'/', engine::rDivA, engine::rDivB, "\n     divide ", [] { return engine::div() ? Done::result : Done::divisionByZero; },
     engine::rDivQuot},
    {'^', engine::rExpBase, engine::rExpPow, "\n    exponet ", [] { return engine::exp() ? Done::result : Done::stopped; },
     engine::rExpResult},
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

// Runs the token's operation on its operands into `output`, the register that then holds
// the result (R is left to the caller). With `echo`, both operands are shown first.
Done operate(const LineState& line, bool echo, int& output) {
  fetchOperands(line);
  for (const Operation& o : kOperations) {
    if (o.op != line.op) continue;
    engine::move(engine::rLeft, o.left);
    engine::move(engine::rRight, o.right);
    if (echo) {
      put("            ");
      numtext::expdisplay(o.left);
      put(o.label);
      numtext::expdisplay(o.right);
    }
    output = o.output;
    return o.routine();
  }
  return Done::divisionByZero;  // not reached: scan gives only the five operators
}

// The token's operation; its result becomes R. A division by zero leaves R as it was; so
// does work stopped from outside (Ctrl-C at a terminal), which also gives M back as it
// stood before the token.
Done operate(const LineState& line, bool echo) {
  int output = 0;
  const Done done = operate(line, echo, output);
  if (done == Done::stopped) engine::move(engine::rSaved, engine::rMemory);
  if (done == Done::result) engine::move(output, engine::rResult);
  return done;
}

// The dialogue's form of a token that computes: both operands, then the result in both
// forms, or the message that says why there is none.
void compute(const LineState& line) {
  const Done done = operate(line, true);
  if (done == Done::divisionByZero) return put("\n   division by zero fault   \n\n");
  if (done == Done::stopped) return put(kStopped);
  put("\n\n     result ");
  numtext::expdisplay(engine::rResult);
  put("\n\n");
  numtext::display(engine::rResult);
  put("\n\n");
}

// The operators in `token`, put in the buffer with its exponents rewritten; `at` gets the
// last one's place.
int operators(std::string_view token, int& at) {
  numtext::clearBuffer();
  token.copy(numtext::t, token.size());
  int ops = 0;
  for (int i = 0; i < static_cast<int>(token.size()); ++i) {
    numtext::rewriteAt(i);
    if (t[i] != '\0' && std::strchr("+-*/^", t[i]) != nullptr) ++ops, at = i;
  }
  return ops;
}

// Whether the token is an operand, one operator and an operand, and holds no letter that
// acts (S, P, Q, ?, Esc): then it can be worked out ahead without effect.
bool previewable(std::string_view token) {
  if (token.find_first_of(kActing) != std::string_view::npos) return false;
  int at = 0;
  const int ops = operators(token, at);
  // Both sides hold something: the rewrite leaves blanks where an exponent's sign stood.
  const auto some = [](const char* from, const char* to) {
    return std::any_of(from, to, [](char c) { return c != ' ' && c != '\0'; });
  };
  return ops == 1 && some(t, t + at) && some(t + at + 1, t + numtext::kBufLen);
}

// What Enter will do with a token that holds letters that act, in the order it does it:
// S at once, then the operation unless Q or Esc quits, then the legend and the prompt for
// a precision.
std::string acting(std::string_view token) {
  const auto holds = [&](const char* letters) { return token.find_first_of(letters) != std::string_view::npos; };
  int at = 0;
  const bool computes = operators(token, at) > 0;
  std::string said;
  const auto then = [&](const char* what) { said += (said.empty() ? "= " : ", then ") + std::string(what); };
  if (holds("sS")) then("stores R in memory");
  if (holds("qQ\x1b")) return then("quits"), said;
  if (computes) then("computes");
  if (holds("?")) then("shows the legend");
  if (holds("pP")) then("asks for a new precision");
  return said;
}

// Why a token cannot run without the dialogue, or null when it can: too long, an operator
// alone (which the dialogue reads as 0 with 0), a cursor key, a letter that needs the
// dialogue (P, ?), a letter that quits inside a longer token (where it would end the run
// unseen), or nothing to compute and no S. Scans the token (S acts, Q ends the run).
const char* scanBare(long long len, LoopState& loop, LineState& line) {
  if (len >= numtext::kBufLen) return "too long: at most 79 characters";
  if (len == 1 && std::strchr("+-*/^", t[0]) != nullptr) return "an operator alone: write the operation as one token";
  if (holdsCursorKey(len)) return "holds a cursor key";
  loop.precisionSet = loop.legendShown = true;
  line = scan(loop, false);
  if (!loop.precisionSet) return "P (set precision) needs the dialogue";
  if (!loop.legendShown) return "? (legend) needs the dialogue";
  // The token's first letter of these, or NUL (a NUL byte inside it ends nothing).
  const auto first = [&](std::string_view letters) {
    const char* begin = t;
    const char* end = begin + std::min<long long>(len, numtext::kBufLen - 1);
    const char* at = std::find_if(begin, end, [&](char c) { return c != '\0' && letters.find(c) != std::string_view::npos; });
    return at == end ? '\0' : *at;
  };
  if (loop.quit && len > 1) {
    const char letter = first("Qq\x1b");
    return letter == 'Q' ? "holds Q, which would end the run here: give Q alone"
           : letter == 'q' ? "holds q, which would end the run here: give Q alone"
                           : "holds Esc, which would end the run here: give Q alone";
  }
  if (!loop.quit && line.op == ' ' && first("sS") == '\0') return "computes nothing: write an operation, as 5+0";
  return nullptr;
}

}  // namespace

int run(std::istream& in, std::ostream& out, std::ostream& err, int maxPrecision, bool cancellable) {
  numtext::pad = 20;
  numtext::comma = 1;
  numtext::trace = true;
  engine::clearStore();
  engine::setPrecision(0);
  numtext::clearBuffer();
  numtext::bind(out);
  Io io{in, out, err};
  LoopState loop;
  while (!loop.quit) {
    if (!loop.legendShown) {
      loop.legendShown = true;
      put(kLegend);
    }
    if (!loop.precisionSet) {
      if (!askPrecision(io, maxPrecision, cancellable, loop.precisionEver)) break;
      loop.precisionSet = loop.precisionEver = true;
    }
    put(kPrompt);
    long long len = 0;
    if (readToken(io, len) != Read::token) break;
    put("\n\n");
    if (len >= numtext::kBufLen || holdsCursorKey(len)) {
      put(len >= numtext::kBufLen ? kTooLong : kCursorKey);
      continue;
    }
    if (engine::goOn != nullptr) engine::move(engine::rMemory, engine::rSaved);  // S may change M below
    const LineState line = scan(loop, true);
    if (line.op != ' ' && !loop.quit) compute(line);
    if (engine::unproven) io.err << kUnproven, engine::unproven = false;
    const bool handOver = numtext::pending().size() >= kEmitAt || numtext::outputError() != 0;
    if (handOver && !deliver(io, false)) break;
  }
  if (io.failed) return 1;
  if (!loop.quit) put("\n");
  return deliver(io, true) ? 0 : 1;
}

int bare(std::istream& in, std::ostream& out, std::ostream& err, int precision) {
  numtext::pad = 0;
  numtext::comma = 0;
  numtext::trace = false;
  engine::clearStore();
  engine::setPrecision(precision);
  numtext::clearBuffer();
  numtext::bind(out);
  Io io{in, out, err};
  LoopState loop;
  for (long long index = 1; !loop.quit; ++index) {
    long long len = 0;
    if (readToken(io, len) != Read::token) break;
    const std::string token(numtext::t, static_cast<std::size_t>(std::min<long long>(len, numtext::kBufLen - 1)));
    LineState line;
    const char* fault = scanBare(len, loop, line);
    if (fault == nullptr && line.op != ' ' && !loop.quit) {
      if (operate(line, false) == Done::divisionByZero) fault = "division by zero";
      else numtext::display(engine::rResult), put('\n');
      if (engine::unproven) io.err << kUnproven, engine::unproven = false;
    }
    if (fault != nullptr) {
      if (!deliver(io, true)) return 1;
      io.err << "zantorix: token " << index << " '" << numtext::printable(token)
             << (len > static_cast<long long>(token.size()) ? "...': " : "': ") << fault << '\n';
      return 1;
    }
    const bool handOver = numtext::pending().size() >= kEmitAt || numtext::outputError() != 0;
    if (handOver && !deliver(io, false)) break;
  }
  if (io.failed) return 1;
  return deliver(io, true) ? 0 : 1;
}

}  // namespace console

namespace console {

std::string preview(std::string_view text, limbs::GoOn goOn) {
  const std::size_t from = text.find_first_not_of(" \t"), to = text.find_last_not_of(" \t");
  if (from == std::string_view::npos || numtext::pending().size() > kEmitAt) return "";
  const std::string_view token = text.substr(from, to + 1 - from);
  if (token.size() >= numtext::kBufLen || token.find_first_of(" \t") != std::string_view::npos) return "";
  numtext::clearBuffer();
  token.copy(numtext::t, token.size());
  if (token.find_first_of(kActing) != std::string_view::npos && !holdsCursorKey(static_cast<long long>(token.size()))) {
    std::string said = acting(token);
    numtext::clearBuffer();
    return said;
  }
  if (!previewable(token)) return numtext::clearBuffer(), "";
  const int pad = numtext::pad;
  const bool trace = numtext::trace;
  const limbs::GoOn watcher = engine::goOn;
  numtext::pad = 0, numtext::trace = false, engine::goOn = goOn;
  LoopState loop;
  const LineState line = scan(loop, false);
  int output = 0;
  const Done done = operate(line, false, output);
  engine::unproven = false;  // Enter will say so
  const std::size_t mark = numtext::pending().size();
  if (done == Done::result) numtext::display(output);
  std::string shown = done == Done::result ? "= " + std::string(numtext::pending().substr(mark))
                      : done == Done::divisionByZero ? "= division by zero"
                                                     : "= \u2026";
  numtext::discardFrom(mark);
  numtext::clearBuffer();
  numtext::pad = pad, numtext::trace = trace, engine::goOn = watcher;
  return shown;
}

}  // namespace console
