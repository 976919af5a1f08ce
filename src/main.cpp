// Entry point: hands standard input and output to the command loop.
#include <iostream>

#include "loop.h"

int main() {
  // Unsynchronised streams buffer both ways; the loop flushes before any read that would wait.
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);
  return console::run(std::cin, std::cout);
}
