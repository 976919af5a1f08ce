// Entry point: the options, then standard input, output and error handed to the command
// loop; at a terminal fit for it, input comes through the line editor (which also watches
// long work for Ctrl-C), elsewhere straight from the descriptor. Tokens on the command line,
// or "-" for standard input, give bare results instead of the dialogue. Nothing thrown
// escapes: a failure the loop does not expect ends the run with a message and status 1.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ops.h"
#include "loop.h"
#include "numtext/show.h"
#include "terminal/input.h"
#if ZANTORIX_LINE_EDITOR
#include "terminal/editor.h"
#endif
#ifdef _WIN32
#include "terminal/tty.h"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: zantorix\n"
    "       zantorix [-p N | --precision N] TOKEN...\n"
    "       zantorix [-p N | --precision N] -\n"
    "       zantorix -h | --help | -V | --version\n"
    "\n"
    "An interactive calculator for fixed-point decimal numbers of 0 to 9999 digits: it asks\n"
    "for a precision, then reads one token per prompt (such as 1/7, R*M or 2^64), and shows\n"
    "each result in scientific and in full fixed-point form.\n"
    "\n"
    "Given tokens, or - to read them from standard input, it prints each result's fixed form\n"
    "alone on a line, and nothing else.\n"
    "\n"
    "  -p, --precision N  the precision for tokens, 0 to 9999, as at the prompt (default 20)\n"
    "  -h, --help         print this and exit\n"
    "  -V, --version      print the version and exit\n"
    "\n"
    "The manual page, man zantorix, explains the whole dialogue.\n";

// What the command line asks for.
struct Request {
  enum { dialogue, bare, done } what = dialogue;
  int status = 0;           // for done
  int precision = 20;
  bool fromInput = false;   // tokens from standard input ("-")
  std::string tokens;       // else these, one a line
};

// A request that is already dealt with: the exit status, after a line on standard error
// for a usage error (status 2).
Request finished(int status, const std::string& fault = "") {
  if (!fault.empty()) std::cerr << "zantorix: " << fault << "; try zantorix --help\n";
  Request r;
  r.what = Request::done, r.status = status;
  return r;
}

// A precision from 0 to 9999, written in plain digits; -1 for anything else.
int parsePrecision(const char* s) {
  int p = 0;
  for (const char* c = s; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || p > 9999) return -1;
    p = p * 10 + (*c - '0');
  }
  return *s == '\0' || p > 9999 ? -1 : p;
}

// The value of a precision option: "-p N", "-pN", "--precision N" or "--precision=N"
// (null: `a` is no precision option). Moves i past a value given as its own argument;
// "" when that is missing.
const char* precisionValue(int argc, char** argv, int& i) {
  const std::string_view a = argv[i];
  if (a == "-p" || a == "--precision") return i + 1 < argc ? argv[++i] : "";
  if (a.rfind("--precision=", 0) == 0) return argv[i] + 12;
  if (a.size() > 2 && a.rfind("-p", 0) == 0) return argv[i] + 2;
  return nullptr;
}

// Whether an argument is an option: a dash and more, not a dash and a digit or point (a
// negative number's token).
bool isOption(const std::string& a) { return a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9') && a[1] != '.'; }

// Options come first; the first other argument, or the one after "--", starts the tokens.
// An argument of a dash and a digit or point is a token, not an option; "-" (standard
// input) stands alone.
Request parse(int argc, char** argv) {
  Request r;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h" || a == "--version" || a == "-V") {
      if (argc > 2) return finished(2, numtext::printable(a) + " stands alone");
      const bool help = a == "--help" || a == "-h";
      std::cout << (help ? kUsage : "zantorix " ZANTORIX_VERSION "\n") << std::flush;
      return finished(std::cout ? 0 : 1);
    }
    if (const char* value = precisionValue(argc, argv, i)) {
      if (*value == '\0') return finished(2, numtext::printable(a) + " needs a number");
      r.precision = parsePrecision(value);
      if (r.precision < 0) {
        return finished(2, "the precision must be a whole number from 0 to 9999, not '" +
                               numtext::printable(value) + "'");
      }
      r.what = Request::bare;
    } else if (a == "--") {
      ++i;
      break;
    } else if (isOption(a)) {
      return finished(2, "unknown option '" + numtext::printable(a) + "'");
    } else {
      break;
    }
  }
  const bool ended = i > 1 && std::strcmp(argv[i - 1], "--") == 0;  // all after "--" are tokens
  for (int k = i; k < argc; ++k) {
    if (std::strcmp(argv[k], "-") == 0 && argc - i > 1) return finished(2, "- (read standard input) stands alone");
    if (!ended && k > i && isOption(argv[k])) {
      return finished(2, "options come first: '" + numtext::printable(argv[k]) + "' after a token");
    }
  }
  r.fromInput = i + 1 == argc && std::strcmp(argv[i], "-") == 0;
  if (r.fromInput) return r.what = Request::bare, r;
  for (; i < argc; ++i) r.tokens.append(argv[i]).push_back('\n');
  if (!r.tokens.empty()) r.what = Request::bare;
  if (r.tokens.empty() && r.what == Request::bare) return finished(2, "no tokens: give tokens, or - to read them");
  return r;
}

#if ZANTORIX_LINE_EDITOR
// Whether an environment switch is off: 0, off, no or false, in any case.
bool switchedOff(const char* value) {
  if (value == nullptr) return false;
  std::string v(value);
  std::transform(v.begin(), v.end(), v.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return v == "0" || v == "off" || v == "no" || v == "false";
}
#endif

}  // namespace

int main(int argc, char** argv) {
  try {
#ifdef _WIN32
    // The arguments as the C runtime gives them are in the ANSI code page, which loses every
    // character outside it; the command line itself is UTF-16, taken here as UTF-8.
    std::vector<std::string> args = terminal::tty::arguments();
    std::vector<char*> wide;
    for (std::string& a : args) wide.push_back(a.data());
    wide.push_back(nullptr);
    argc = static_cast<int>(args.size()), argv = wide.data();
#endif
    Request request = parse(argc, argv);
    if (request.what == Request::done) return request.status;
    // Unsynchronised output is buffered; the loop flushes before any read that would wait.
    std::ios::sync_with_stdio(false);
    static terminal::DescriptorInput descriptor;
    if (request.what == Request::bare) {
      if (request.fromInput) {
        std::istream in(&descriptor);
        return console::bare(in, std::cout, std::cerr, request.precision);
      }
      std::istringstream in(std::move(request.tokens));
      return console::bare(in, std::cout, std::cerr, request.precision);
    }
#if ZANTORIX_LINE_EDITOR
    // What a line would compute shows under it as it is typed, unless ZANTORIX_PREVIEW is off.
    const bool preview = !switchedOff(std::getenv("ZANTORIX_PREVIEW"));
    // The session gives the terminal back however the run ends.
    terminal::Session session(console::kPrompt, console::kPrecisionPrompt, preview ? console::preview : nullptr);
    if (session.ok()) {
      engine::goOn = terminal::Session::goOn;
      return console::run(session.in(), session.out(), std::cerr, 9999, true);
    }
#endif
    std::istream in(&descriptor);
    return console::run(in, std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "zantorix: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "zantorix: unexpected failure\n";
  }
  return 1;
}
