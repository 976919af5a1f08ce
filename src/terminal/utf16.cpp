#include "terminal/utf16.h"

namespace terminal {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool blank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

void appendUtf8(std::string& s, char32_t c) {
  if (c < 0x80) {
    s.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    s.push_back(static_cast<char>(0xC0 | (c >> 6)));
    s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    s.push_back(static_cast<char>(0xE0 | (c >> 12)));
    s.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    s.push_back(static_cast<char>(0xF0 | (c >> 18)));
    s.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string toUtf8(std::u16string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    const bool high = c >= 0xD800 && c < 0xDC00, low = c >= 0xDC00 && c < 0xE000;
    if (high && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      appendUtf8(out, 0x10000 + ((char32_t{c} - 0xD800) << 10) + (s[++i] - 0xDC00));
    } else {
      appendUtf8(out, high || low ? kReplacement : c);
    }
  }
  return out;
}

std::u16string toUtf16(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int len = b < 0x80 ? 1 : b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xF0 && b < 0xF5 ? 4 : 0;
    char32_t c = len == 1 ? b : len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
    bool good = len > 0 && i + static_cast<std::size_t>(len) <= s.size();
    for (int k = 1; good && k < len; ++k) {
      const auto next = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      good = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t least = len == 3 ? 0x800 : len == 4 ? 0x10000 : 0;
    good = good && c >= least && c <= 0x10FFFF && !(c >= 0xD800 && c < 0xE000);
    if (!good) c = kReplacement;
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += good ? static_cast<std::size_t>(len) : 1;
  }
  return out;
}

std::wstring toWide(std::string_view s) {
  const std::u16string w = toUtf16(s);
  return {w.begin(), w.end()};
}

std::string fromWide(std::wstring_view s) { return toUtf8(std::u16string(s.begin(), s.end())); }

std::vector<std::string> splitCommandLine(std::u16string_view line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  std::u16string arg;
  if (i < line.size() && line[i] == u'"') {  // the program: quoted, no escapes
    const std::size_t close = line.find(u'"', 1);
    arg = line.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1);
    i = close == std::u16string_view::npos ? line.size() : close + 1;
  }
  for (; i < line.size() && !blank(line[i]); ++i) arg.push_back(line[i]);
  args.push_back(toUtf8(arg));
  for (;;) {
    while (i < line.size() && blank(line[i])) ++i;
    if (i >= line.size()) return args;
    arg.clear();
    for (bool quoted = false; i < line.size() && (quoted || !blank(line[i]));) {
      std::size_t slashes = 0;
      while (i < line.size() && line[i] == u'\\') ++slashes, ++i;
      if (i < line.size() && line[i] == u'"') {
        arg.append(slashes / 2, u'\\');
        if (slashes % 2 == 1) {
          arg.push_back(u'"'), ++i;
        } else if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          arg.push_back(u'"'), i += 2;
        } else {
          quoted = !quoted, ++i;
        }
      } else {
        arg.append(slashes, u'\\');
        if (i < line.size() && (quoted || !blank(line[i]))) arg.push_back(line[i++]);
      }
    }
    args.push_back(toUtf8(arg));
  }
}

}  // namespace terminal
