// The two display forms of a register: scientific and full fixed-point.
#pragma once

#include <string>
#include <string_view>

namespace numtext {

// Width that aligns the fixed display (0: no leading spaces), and thousands
// separators on when comma == 1. Set once at start-up.
extern int pad;
extern int comma;

// expdisplay: up to seven significant digits, truncated, as d.dddddde+x; no line break.
// Both forms are appended to the output text (numtext/outbuf.h).
void expdisplay(int r);
// display: every digit from the first non-zero (at least the units digit) to one past
// the last non-zero (at least one fractional digit), with separators; no line break.
void display(int r);

// printable: the bytes as a message may show them: Esc as \e, other bytes below 0x20, 0x7f
// and bytes that are not part of well-formed UTF-8 as \xNN; the rest as they are.
std::string printable(std::string_view bytes);

}  // namespace numtext
