// UTF-16, as Windows hands out command lines, paths and the environment, and UTF-8, as the
// rest of the program holds text. Pure: plain strings in and out, on every system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace terminal {

// appendUtf8: the code point c as UTF-8 at the end of s.
void appendUtf8(std::string& s, char32_t c);
// toUtf8: surrogate pairs joined; a lone half becomes U+FFFD.
std::string toUtf8(std::u16string_view s);
// toUtf16: malformed UTF-8 bytes become U+FFFD each.
std::u16string toUtf16(std::string_view s);
// toWide / fromWide: the same for Windows' wide strings, whose units are UTF-16's.
std::wstring toWide(std::string_view s);
std::string fromWide(std::wstring_view s);
// splitCommandLine: a Windows command line's arguments, as UTF-8, split by the C runtime's
// rules: blanks separate, double quotes group, 2n backslashes before a quote are n and the
// quote counts, 2n+1 are n and a plain quote, other backslashes are themselves, and two
// quotes inside quotes are one plain quote. The first, the program, ends at a blank or its
// closing quote, backslashes as they are.
std::vector<std::string> splitCommandLine(std::u16string_view line);

}  // namespace terminal
