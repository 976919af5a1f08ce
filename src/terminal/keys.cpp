#include "terminal/keys.h"

namespace terminal {

namespace {

constexpr unsigned char kEsc = 27;

Fed make(Key& out, KeyKind kind) {
  out = Key{};
  out.kind = kind;
  return Fed::key;
}

Fed makeText(Key& out, const char* bytes, std::uint8_t len) {
  out = Key{};
  out.len = len < sizeof out.bytes ? len : sizeof out.bytes;
  for (std::uint8_t i = 0; i < out.len; ++i) out.bytes[i] = bytes[i];
  return Fed::key;
}

// Control bytes: the editing keys, Enter, Tab as a space; every other control byte is dropped.
Fed control(unsigned char b, Key& out) {
  switch (b) {
    case 1: return make(out, KeyKind::home);
    case 2: return make(out, KeyKind::left);
    case 3: return make(out, KeyKind::interrupt);
    case 4: return make(out, KeyKind::eofOrDelete);
    case 5: return make(out, KeyKind::end);
    case 6: return make(out, KeyKind::right);
    case 7: return make(out, KeyKind::cancel);
    case 8: case 127: return make(out, KeyKind::backspace);
    case 9: return makeText(out, " ", 1);  // Tab separates tokens, as in piped input
    case 10: case 13: return make(out, KeyKind::enter);
    case 11: return make(out, KeyKind::killEnd);
    case 12: return make(out, KeyKind::clear);
    case 14: return make(out, KeyKind::down);
    case 16: return make(out, KeyKind::up);
    case 18: return make(out, KeyKind::search);
    case 21: return make(out, KeyKind::killStart);
    case 23: return make(out, KeyKind::killWord);
    case 25: return make(out, KeyKind::yank);
    case 26: return make(out, KeyKind::suspend);
    default: return Fed::none;
  }
}

// The final letter of a cursor sequence (CSI or SS3): A B C D H F, with Left and Right a
// word at a time when Alt or Ctrl is held (modifier 1 + 2 or 4), and rxvt's c and d.
Fed letter(unsigned char b, int modifier, Key& out) {
  const bool byWord = modifier > 1 && ((modifier - 1) & 6) != 0;
  switch (b) {
    case 'A': return make(out, KeyKind::up);
    case 'B': return make(out, KeyKind::down);
    case 'C': return make(out, byWord ? KeyKind::wordRight : KeyKind::right);
    case 'D': return make(out, byWord ? KeyKind::wordLeft : KeyKind::left);
    case 'c': return make(out, KeyKind::wordRight);
    case 'd': return make(out, KeyKind::wordLeft);
    case 'H': return make(out, KeyKind::home);
    case 'F': return make(out, KeyKind::end);
    default: return Fed::none;
  }
}

// CSI parameter '~' sequences: Home (1, 7), End (4, 8), Delete (3).
Fed tilde(int param, Key& out) {
  switch (param) {
    case 1: case 7: return make(out, KeyKind::home);
    case 4: case 8: return make(out, KeyKind::end);
    case 3: return make(out, KeyKind::del);
    default: return Fed::none;
  }
}

std::uint8_t continuations(unsigned char b);
Fed ground(Decoder& d, unsigned char b, Key& out);

// A byte inside ESC [ ...: parameters and intermediates are taken (the first two numbers
// are kept: the key and its modifiers), a final byte ends the sequence; anything else
// abandons it. A sequence with more than that is taken whole and dropped.
Fed csiByte(Decoder& d, unsigned char b, Key& out) {
  if (b >= '0' && b <= '9' && !d.extraParams) {
    int& n = d.second ? d.modifier : d.param;
    n = (n < 0 ? 0 : n) * 10 + (b - '0');
    if (n > 9999) d.extraParams = true;
    return Fed::none;
  }
  if (b == ';' && !d.second) {
    d.second = true;
    return Fed::none;
  }
  if (b >= 0x20 && b <= 0x3F) {
    d.extraParams = true;
    return Fed::none;
  }
  d.mode = Decoder::Mode::ground;
  if (b < 0x40 || b > 0x7E || d.extraParams) return Fed::none;
  return b == '~' ? tilde(d.param, out) : letter(b, d.modifier, out);
}

// The byte after Esc: a sequence starts, or an Alt key is whole. Esc Esc starts afresh (some
// terminals send Alt+arrow so); Alt with a UTF-8 character drops the whole character.
Fed afterEsc(Decoder& d, unsigned char b, Key& out) {
  d.mode = Decoder::Mode::ground;
  switch (b) {
    case '[': case 'O':
      d.mode = b == '[' ? Decoder::Mode::csi : Decoder::Mode::ss3;
      d.param = -1, d.modifier = 0, d.second = false, d.extraParams = false;
      return Fed::none;
    case kEsc: d.mode = Decoder::Mode::escape; return Fed::none;
    case 'b': return make(out, KeyKind::wordLeft);
    case 'f': return make(out, KeyKind::wordRight);
    case 'd': return make(out, KeyKind::killWordNext);
    case 8: case 127: return make(out, KeyKind::killWordBack);
    default: break;
  }
  if (continuations(b) > 0) {
    ground(d, b, out);
    d.dropChar = true;
  }
  return Fed::none;
}

// Whether the second byte of a UTF-8 character may follow its lead: no overlong form, no
// surrogate, nothing past U+10FFFF.
bool validSecond(unsigned char lead, unsigned char b) {
  switch (lead) {
    case 0xE0: return b >= 0xA0;
    case 0xED: return b <= 0x9F;
    case 0xF0: return b >= 0x90;
    case 0xF4: return b <= 0x8F;
    default: return true;
  }
}

// How many continuation bytes a UTF-8 lead byte announces; 0 for a byte that cannot lead.
std::uint8_t continuations(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return 1;
  if (b >= 0xE0 && b <= 0xEF) return 2;
  if (b >= 0xF0 && b <= 0xF4) return 3;
  return 0;
}

Fed ground(Decoder& d, unsigned char b, Key& out) {
  if (b == kEsc) {
    d.mode = Decoder::Mode::escape;
    return Fed::none;
  }
  if (b < 0x20 || b == 127) return control(b, out);
  if (b < 0x80) return makeText(out, reinterpret_cast<const char*>(&b), 1);
  d.need = continuations(b);
  if (d.need == 0) return Fed::none;
  d.mode = Decoder::Mode::utf8;
  d.held[0] = static_cast<char>(b);
  d.have = 1;
  d.dropChar = false;
  return Fed::none;
}

}  // namespace

Fed feed(Decoder& d, unsigned char b, Key& out) {
  switch (d.mode) {
    case Decoder::Mode::ground:
      return ground(d, b, out);
    case Decoder::Mode::escape:
      return afterEsc(d, b, out);
    case Decoder::Mode::csi:
      return csiByte(d, b, out);
    case Decoder::Mode::ss3:
      d.mode = Decoder::Mode::ground;
      return letter(b, 0, out);
    case Decoder::Mode::utf8:
      // Not a continuation, or one the lead forbids: the partial character is dropped and
      // the byte taken on its own.
      if ((b & 0xC0) != 0x80 || (d.have == 1 && !validSecond(static_cast<unsigned char>(d.held[0]), b))) {
        d.mode = Decoder::Mode::ground;
        return ground(d, b, out);
      }
      d.held[d.have++] = static_cast<char>(b);
      if (d.have <= d.need) return Fed::none;
      d.mode = Decoder::Mode::ground;
      return d.dropChar ? Fed::none : makeText(out, d.held, d.have);
  }
  return Fed::none;
}

bool nextKey(Decoder& d, std::string_view bytes, std::size_t& at, Key& out) {
  while (at < bytes.size()) {
    if (feed(d, static_cast<unsigned char>(bytes[at++]), out) == Fed::key) return true;
  }
  return false;
}

bool expire(Decoder& d, Key& out) {
  const bool lone = d.mode == Decoder::Mode::escape;
  d.mode = Decoder::Mode::ground;
  if (lone) makeText(out, "\x1b", 1);
  return lone;
}

}  // namespace terminal
