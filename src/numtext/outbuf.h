// Output text: every routine that prints appends to one static buffer, and the command
// loop hands the buffer to the output stream in whole pieces (before a read that would
// wait, when it fills, and at the end), so the stream sees a few large writes.
#pragma once

#include <iosfwd>
#include <string_view>

namespace numtext {

// bind: the stream the buffer is emptied into when it fills.
void bind(std::ostream& out);
// put / putInt: append text, or an integer in plain decimal ("-1" for −1).
void put(std::string_view s);
void put(char c);
void putInt(long long v);
// emit: writes the assembled text to the bound stream and empties the buffer; false when
// the stream has failed (now or earlier).
bool emit();
// pending: the text assembled since the last emit.  discard: drops it.
std::string_view pending();
void discard();

}  // namespace numtext
