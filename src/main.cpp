// Entry point: the options, then standard input, output and error handed to the command
// loop; at a terminal fit for it, input comes through the line editor (which also watches
// long work for Ctrl-C), elsewhere straight from the descriptor. Nothing thrown escapes: a
// failure the loop does not expect ends the run with a message and status 1.
#include <cstring>
#include <exception>
#include <iostream>

#include "engine/ops.h"
#include "loop.h"
#include "terminal/input.h"
#if ZANTORIX_LINE_EDITOR
#include "terminal/editor.h"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: zantorix [--help | --version]\n"
    "\n"
    "An interactive calculator for fixed-point decimal numbers of 0 to 9999 digits: it asks\n"
    "for a precision, then reads one token per prompt (such as 1/7, R*M or 2^64), and shows\n"
    "each result in scientific and in full fixed-point form.\n"
    "\n"
    "  --help     print this and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "The manual page, man zantorix, explains the whole dialogue.\n";

// The options: 0 to run the dialogue, else the exit status once they are dealt with.
int options(int argc, char** argv, int& status) {
  if (argc < 2) return 0;
  const char* arg = argv[1];
  if (argc == 2 && std::strcmp(arg, "--help") == 0) return std::cout << kUsage << std::flush, status = 0, 1;
  if (argc == 2 && std::strcmp(arg, "--version") == 0) {
    return std::cout << "zantorix " ZANTORIX_VERSION "\n" << std::flush, status = 0, 1;
  }
  const bool known = std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "--version") == 0;
  std::cerr << "zantorix: unknown option or argument '" << argv[known ? 2 : 1] << "'; try zantorix --help\n";
  return status = 2, 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    int status = 0;
    if (options(argc, argv, status) != 0) return std::cout ? status : 1;
    // Unsynchronised output is buffered; the loop flushes before any read that would wait.
    std::ios::sync_with_stdio(false);
#if ZANTORIX_LINE_EDITOR
    terminal::Session session(console::kPrompt);  // gives the terminal back however the run ends
    if (session.ok()) {
      engine::goOn = terminal::Session::goOn;
      return console::run(session.in(), session.out(), std::cerr);
    }
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
