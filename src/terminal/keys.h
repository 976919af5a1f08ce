// Key decoding: the bytes a terminal sends, turned into editing keys. Pure: a decoder
// state and one byte in, at most one key out; nothing is read or written here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace terminal {

enum class KeyKind : std::uint8_t {
  text,  // one character: a printable byte, a UTF-8 sequence, or a lone Esc (byte 27)
  enter, left, right, home, end, up, down,
  backspace, del, eofOrDelete, killStart, killEnd, killWord,
  clear, interrupt, suspend,
  wordLeft, wordRight, killWordNext, killWordBack,  // Alt+b, Alt+f, Alt+d, Alt+Backspace
  yank, search, cancel,                             // Ctrl-Y, Ctrl-R, Ctrl-G
};

struct Key {
  KeyKind kind = KeyKind::text;
  char bytes[4] = {};  // the character, for text
  std::uint8_t len = 0;
  std::string_view text() const { return {bytes, len}; }
};

// Where the decoder stands between bytes: a partial escape sequence or UTF-8 character.
struct Decoder {
  enum class Mode : std::uint8_t { ground, escape, csi, ss3, utf8 } mode = Mode::ground;
  char held[4] = {};     // the UTF-8 bytes so far
  std::uint8_t have = 0, need = 0;
  int param = -1;        // the first CSI parameter (−1: none yet), capped
  int modifier = 0;      // the second: 1 + Shift 1, Alt 2, Ctrl 4 (0: none)
  bool second = false, extraParams = false;
  bool dropChar = false; // the UTF-8 character under way came after Esc: an Alt key, dropped
  bool waiting() const { return mode != Mode::ground; }
};

enum class Fed : std::uint8_t { none, key };

// feed: one byte. Returns key when `out` holds a finished key; none while a sequence is
// incomplete or when the byte was dropped (an unknown control byte, an unknown escape
// sequence or Alt key, a byte of malformed UTF-8: overlong, a surrogate, past U+10FFFF).
// Esc and the byte after it are one key (Alt+b, Alt+f, Alt+d, Alt+Backspace; others are
// dropped): only an Esc that nothing follows within the delay is a key of its own (expire).
Fed feed(Decoder& d, unsigned char byte, Key& out);
// nextKey: decodes bytes from `at` up to the first whole key, into out, moving `at` past
// the bytes used; false when they run out first (a partial sequence waits in d).
bool nextKey(Decoder& d, std::string_view bytes, std::size_t& at, Key& out);
// expire: no byte came within the Esc delay. A pending Esc becomes a lone Esc key (true);
// any other partial sequence is dropped (false).
bool expire(Decoder& d, Key& out);

}  // namespace terminal
