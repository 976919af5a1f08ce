// libFuzzer target: arbitrary bytes as the whole standard input of one dialogue.
// The precision is capped at 300 so each input stays cheap and the fuzzer explores widely.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "loop.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::ostringstream out, err;
  console::run(in, out, err, 300);
  return 0;
}
