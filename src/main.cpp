// Entry point: hands standard input, output and error to the command loop; at a terminal
// fit for it, input comes through the line editor. Nothing thrown escapes: a failure the
// loop does not expect ends the run with a message and status 1.
#include <exception>
#include <iostream>

#include "loop.h"
#if ZANTORIX_LINE_EDITOR
#include "terminal/editor.h"
#endif

int main() {
  try {
    // Unsynchronised streams buffer both ways; the loop flushes before any read that would wait.
    std::ios::sync_with_stdio(false);
    std::cin.tie(nullptr);
#if ZANTORIX_LINE_EDITOR
    terminal::Session session;  // gives the terminal back however the run ends
    if (session.ok()) return console::run(session.in(), session.out(), std::cerr);
#endif
    return console::run(std::cin, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "zantorix: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "zantorix: unexpected failure\n";
  }
  return 1;
}
