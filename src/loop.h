// The interactive command loop: legend, precision prompt, one token per prompt.
#pragma once

#include <iosfwd>

namespace console {

// The prompt before each token: lines typed after it are the ones worth recalling.
constexpr const char* kPrompt = "  >";

// run: the whole dialogue, reading tokens from in and writing to out, from start-up
// to Q, q, ESC or the end of input, and returns 0. A failed read of in or write of out
// ends it at once, with a line on err and 1. A precision above maxPrecision is refused like
// one above 9999 (a fuzzer keeps inputs cheap with it).
int run(std::istream& in, std::ostream& out, std::ostream& err, int maxPrecision = 9999);

}  // namespace console
