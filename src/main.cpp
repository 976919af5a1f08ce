// Entry point: hands standard input, output and error to the command loop; at a terminal
// fit for it, input comes through the line editor, elsewhere straight from the descriptor.
// Nothing thrown escapes: a failure the loop does not expect ends the run with a message
// and status 1.
#include <exception>
#include <iostream>

#include "loop.h"
#include "terminal/input.h"
#if ZANTORIX_LINE_EDITOR
#include "terminal/editor.h"
#endif

int main() {
  try {
    // Unsynchronised output is buffered; the loop flushes before any read that would wait.
    std::ios::sync_with_stdio(false);
#if ZANTORIX_LINE_EDITOR
    terminal::Session session;  // gives the terminal back however the run ends
    if (session.ok()) return console::run(session.in(), session.out(), std::cerr);
#endif
    static terminal::DescriptorInput descriptor;
    std::istream in(&descriptor);
    return console::run(in, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "zantorix: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "zantorix: unexpected failure\n";
  }
  return 1;
}
