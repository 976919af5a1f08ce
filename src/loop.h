// The interactive command loop: legend, precision prompt, one token per prompt.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "limbs/num.h"

namespace console {

// The prompt before each token: lines typed after it are the ones worth recalling.
constexpr const char* kPrompt = "  >";
// The prompt for a precision; at a terminal, a line of Ctrl-C alone there keeps the one set.
constexpr const char* kPrecisionPrompt = "  Precision: ";

// run: the whole dialogue, reading tokens from in and writing to out, from start-up
// to Q, q, ESC or the end of input, and returns 0. A failed read of in or write of out
// ends it at once, with a line on err and 1. A precision above maxPrecision is refused like
// one above 9999 (a fuzzer keeps inputs cheap with it). With `cancellable` (the line editor's
// input), a token of Ctrl-C alone at a precision prompt asked again keeps the precision, R
// and M, and at the first one asks again.
int run(std::istream& in, std::ostream& out, std::ostream& err, int maxPrecision = 9999, bool cancellable = false);
// bare: the tokens in `in`, whitespace-separated, each as if typed at the prompt at this
// precision (0 to 9999), R and M carried from one to the next; for each token that
// computes, its result's fixed form alone on a line (no leading spaces, no separators).
// Q or Esc ends it early. Returns 0 at the end; 1, with a line on err that names the token
// and its place, at a token that cannot run here (division by zero, too long, an operator alone,
// P, ?) or a failed stream; what was printed before stays printed.
int bare(std::istream& in, std::ostream& out, std::ostream& err, int precision);
// preview: what Enter would show as the result's fixed form for this line, as "= 0.1428",
// "= division by zero", or "= …" when goOn stopped the work; for one token that holds a
// letter that acts, what Enter will do, as "= stores R in memory, then quits"; "" when
// the line is neither. Works on copies: R, M, the precision and the output to come are as
// they were.
std::string preview(std::string_view line, limbs::GoOn goOn);

}  // namespace console
