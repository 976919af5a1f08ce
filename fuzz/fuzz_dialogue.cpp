// libFuzzer target: arbitrary bytes as the whole standard input of one dialogue, and again
// as the tokens of a script (bare results) at a precision of up to 300 taken from the first
// byte. The precision is capped at 300 so each input stays cheap and the fuzzer explores widely.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "loop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream out, err;
  console::run(in, out, err, 300);
  std::istringstream tokens(std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream bareOut, bareErr;
  console::bare(tokens, bareOut, bareErr, size > 0 ? data[0] % 301 : 20);
  return 0;
}
