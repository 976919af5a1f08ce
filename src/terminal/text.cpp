#include "terminal/text.h"

namespace terminal {

namespace {

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The byte length of the code point that starts at `at`.
std::size_t pointLen(std::string_view s, std::size_t at) {
  std::size_t end = at + 1;
  while (end < s.size() && continuation(s[end])) ++end;
  return end - at;
}

// Code point of a UTF-8 sequence (already whole and valid).
char32_t codePoint(std::string_view ch) {
  const auto b = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(ch[i])); };
  switch (ch.size()) {
    case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    case 4: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    default: return ch.empty() ? 0 : b(0);
  }
}

bool within(char32_t c, const char32_t (*ranges)[2], std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (c >= ranges[i][0] && c <= ranges[i][1]) return true;
  }
  return false;
}

// The common combining blocks (Latin, Greek, Cyrillic, Hebrew, Arabic, Thai accents), the
// zero-width space and joiners, and the variation selectors.
constexpr char32_t kZeroWidth[][2] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2},
    {0x05C4, 0x05C5}, {0x05C7, 0x05C7}, {0x0610, 0x061A}, {0x064B, 0x065F}, {0x0670, 0x0670},
    {0x06D6, 0x06DC}, {0x06DF, 0x06E4}, {0x06E7, 0x06E8}, {0x06EA, 0x06ED}, {0x0E31, 0x0E31},
    {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F},
    {0x20D0, 0x20FF}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xE0100, 0xE01EF},
};

// The wide ranges of East Asian scripts and emoji that terminals draw two columns wide.
constexpr char32_t kWide[][2] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3040, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF},
    {0xFE30, 0xFE4F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF},
    {0x20000, 0x3FFFD},
};

bool zeroWidth(std::string_view s, std::size_t at) {
  const char32_t c = codePoint(s.substr(at, pointLen(s, at)));
  return within(c, kZeroWidth, std::size(kZeroWidth));
}

}  // namespace

int cellWidth(std::string_view ch) {
  if (ch == "\x1b") return 2;
  const char32_t c = codePoint(ch.substr(0, pointLen(ch, 0)));
  if (within(c, kZeroWidth, std::size(kZeroWidth))) return 0;
  return within(c, kWide, std::size(kWide)) ? 2 : 1;
}

std::size_t charLen(std::string_view s, std::size_t at) {
  std::size_t end = at + pointLen(s, at);
  while (end < s.size() && zeroWidth(s, end)) end += pointLen(s, end);
  return end - at;
}

std::size_t before(std::string_view s, std::size_t at) {
  if (at == 0) return 0;
  do --at;
  while (at > 0 && continuation(s[at]));
  while (at > 0 && zeroWidth(s, at)) {  // back over the marks to the character they sit on
    do --at;
    while (at > 0 && continuation(s[at]));
  }
  return at;
}

}  // namespace terminal
