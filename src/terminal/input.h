// Standard input as a stream read straight from its descriptor, so that a failed read is
// told apart from the end of input on every standard library: it throws
// std::ios_base::failure carrying errno, where some libraries' std::cin only report an end.
#pragma once

#include <streambuf>

namespace terminal {

// readFailed: throws std::ios_base::failure for a read that failed with errno.
[[noreturn]] void readFailed();

class DescriptorInput : public std::streambuf {
 protected:
  int_type underflow() override;

 private:
  char buf_[1 << 16];
};

}  // namespace terminal
