#include "terminal/drawing.h"

namespace terminal {

namespace {

// The step for a CSI sequence with parameter `n` (−1: none) and final byte `f`; false for
// one the editor never writes.
bool stepFor(int n, char f, DrawStep& step) {
  using K = DrawStep::Kind;
  step.n = n < 1 ? 1 : n;
  switch (f) {
    case 'A': step.kind = K::up; return true;
    case 'B': step.kind = K::down; return true;
    case 'C': step.kind = K::right; return true;
    case 'K': step.kind = K::eraseLine; return n <= 0;
    case 'J': step.kind = n == 2 ? K::clear : K::eraseBelow; return n <= 0 || n == 2;
    case 'm': step.kind = n == 2 ? K::dim : K::normal; return n <= 0 || n == 2;
    case 'H': step.kind = K::home; return n <= 1;
    default: return false;
  }
}

// Bytes of an incomplete UTF-8 character at the end of `s` (0 when it ends whole).
std::size_t cutCharacter(std::string_view s) {
  for (std::size_t back = 1; back <= 3 && back <= s.size(); ++back) {
    const auto b = static_cast<unsigned char>(s[s.size() - back]);
    if ((b & 0xC0) == 0x80) continue;
    const std::size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    return len > back ? back : 0;
  }
  return 0;
}

}  // namespace

std::vector<DrawStep> drawSteps(std::string_view bytes, std::string& carry) {
  std::string s = carry + std::string(bytes);
  carry.clear();
  std::vector<DrawStep> steps;
  const auto addText = [&](std::string_view t) {
    if (t.empty()) return;
    if (steps.empty() || steps.back().kind != DrawStep::Kind::text) steps.emplace_back();
    steps.back().text += t;
  };
  std::size_t at = 0;
  while (at < s.size()) {
    const std::size_t esc = s.find('\x1b', at);
    const std::size_t textEnd = esc == std::string::npos ? s.size() : esc;
    std::string_view text(s.data() + at, textEnd - at);
    if (esc == std::string::npos) {  // a character cut off waits for its other bytes
      const std::size_t cut = cutCharacter(text);
      carry = std::string(text.substr(text.size() - cut));
      text.remove_suffix(cut);
    }
    addText(text);
    if (esc == std::string::npos) break;
    std::size_t k = esc + 1;
    if (k == s.size()) return carry = s.substr(esc), steps;  // a lone Esc so far
    if (s[k] != '[') {
      at = k + 1;  // an Esc and one byte: nothing the editor writes
      continue;
    }
    int n = -1;
    for (++k; k < s.size() && s[k] >= '0' && s[k] <= '9'; ++k) n = (n < 0 ? 0 : n) * 10 + (s[k] - '0');
    while (k < s.size() && (s[k] == ';' || (s[k] >= '0' && s[k] <= '9'))) ++k;  // more parameters: dropped
    if (k == s.size()) return carry = s.substr(esc), steps;
    DrawStep step;
    if (stepFor(n, s[k], step)) steps.push_back(step);
    at = k + 1;
  }
  return steps;
}

}  // namespace terminal
