#include "terminal/keys.h"

namespace terminal {

namespace {

constexpr unsigned char kEsc = 27;

Fed make(Key& out, KeyKind kind, Fed how = Fed::key) {
  out = Key{};
  out.kind = kind;
  return how;
}

Fed makeText(Key& out, const char* bytes, std::uint8_t len) {
  out = Key{};
  out.len = len < sizeof out.bytes ? len : sizeof out.bytes;
  for (std::uint8_t i = 0; i < out.len; ++i) out.bytes[i] = bytes[i];
  return Fed::key;
}

// Control bytes: the editing keys, Enter; every other control byte is dropped.
Fed control(unsigned char b, Key& out) {
  switch (b) {
    case 1: return make(out, KeyKind::home);
    case 2: return make(out, KeyKind::left);
    case 3: return make(out, KeyKind::interrupt);
    case 4: return make(out, KeyKind::eofOrDelete);
    case 5: return make(out, KeyKind::end);
    case 6: return make(out, KeyKind::right);
    case 8: case 127: return make(out, KeyKind::backspace);
    case 10: case 13: return make(out, KeyKind::enter);
    case 11: return make(out, KeyKind::killEnd);
    case 12: return make(out, KeyKind::clear);
    case 14: return make(out, KeyKind::down);
    case 16: return make(out, KeyKind::up);
    case 21: return make(out, KeyKind::killStart);
    case 23: return make(out, KeyKind::killWord);
    case 26: return make(out, KeyKind::suspend);
    default: return Fed::none;
  }
}

// The final letter of a cursor sequence (CSI or SS3): A B C D H F.
Fed letter(unsigned char b, Key& out) {
  switch (b) {
    case 'A': return make(out, KeyKind::up);
    case 'B': return make(out, KeyKind::down);
    case 'C': return make(out, KeyKind::right);
    case 'D': return make(out, KeyKind::left);
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

// A byte inside ESC [ ...: parameters and intermediates are taken (only the first number
// is kept), a final byte ends the sequence; anything else abandons it.
Fed csiByte(Decoder& d, unsigned char b, Key& out) {
  if (b >= '0' && b <= '9' && !d.extraParams) {
    d.param = (d.param < 0 ? 0 : d.param) * 10 + (b - '0');
    if (d.param > 9999) d.extraParams = true;
    return Fed::none;
  }
  if (b >= 0x20 && b <= 0x3F) {
    d.extraParams = true;
    return Fed::none;
  }
  d.mode = Decoder::Mode::ground;
  if (b >= 0x40 && b <= 0x7E) return b == '~' ? tilde(d.param, out) : letter(b, out);
  return Fed::none;
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
  return Fed::none;
}

}  // namespace

Fed feed(Decoder& d, unsigned char b, Key& out) {
  switch (d.mode) {
    case Decoder::Mode::ground:
      return ground(d, b, out);
    case Decoder::Mode::escape:
      if (b == '[' || b == 'O') {
        d.mode = b == '[' ? Decoder::Mode::csi : Decoder::Mode::ss3;
        d.param = -1;
        d.extraParams = false;
        return Fed::none;
      }
      d.mode = Decoder::Mode::ground;
      makeText(out, "\x1b", 1);
      return Fed::keyAndAgain;
    case Decoder::Mode::csi:
      return csiByte(d, b, out);
    case Decoder::Mode::ss3:
      d.mode = Decoder::Mode::ground;
      return letter(b, out);
    case Decoder::Mode::utf8:
      if ((b & 0xC0) != 0x80) {  // not a continuation: the partial character is dropped
        d.mode = Decoder::Mode::ground;
        return ground(d, b, out);
      }
      d.held[d.have++] = static_cast<char>(b);
      if (d.have <= d.need) return Fed::none;
      d.mode = Decoder::Mode::ground;
      return makeText(out, d.held, d.have);
  }
  return Fed::none;
}

bool nextKey(Decoder& d, std::string_view bytes, std::size_t& at, Key& out) {
  while (at < bytes.size()) {
    const Fed fed = feed(d, static_cast<unsigned char>(bytes[at]), out);
    if (fed != Fed::keyAndAgain) ++at;
    if (fed != Fed::none) return true;
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
