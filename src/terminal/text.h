// Characters of a line as the screen shows them: where one starts and ends, and how many
// columns it takes. Pure. A character here is what the cursor steps over: a code point and
// the zero-width marks that follow it (an accent typed after its letter).
#pragma once

#include <cstddef>
#include <string_view>

namespace terminal {

// The columns a code point takes: 0 for combining marks and zero-width joiners, 2 for a
// lone Esc (shown "^[") and for East Asian wide characters and emoji, 1 for any other.
int cellWidth(std::string_view ch);
// The byte length of the character that starts at `at`, its zero-width marks included.
std::size_t charLen(std::string_view s, std::size_t at);
// The start of the character before `at` (0 at the start).
std::size_t before(std::string_view s, std::size_t at);

}  // namespace terminal
