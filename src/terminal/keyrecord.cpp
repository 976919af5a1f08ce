#include "terminal/keyrecord.h"

#include <algorithm>

#include "terminal/utf16.h"

namespace terminal {

namespace {

// The final byte of the escape sequence a terminal sends for a cursor key; 0 for others.
char cursorFinal(std::uint16_t key) {
  switch (key) {
    case vk::left: return 'D';
    case vk::right: return 'C';
    case vk::up: return 'A';
    case vk::down: return 'B';
    case vk::home: return 'H';
    case vk::end: return 'F';
    default: return 0;
  }
}

// The character of a record as UTF-8, a surrogate pair joined; "" for none yet.
std::string character(KeyTranslator& t, char16_t c) {
  std::string s;
  if (c >= 0xD800 && c < 0xDC00) {
    t.highHalf = c;
    return s;
  }
  if (c >= 0xDC00 && c < 0xE000) {
    if (t.highHalf != 0) appendUtf8(s, 0x10000 + ((char32_t{t.highHalf} - 0xD800) << 10) + (c - 0xDC00));
  } else {
    appendUtf8(s, c);
  }
  t.highHalf = 0;
  return s;
}

}  // namespace

void translateKey(KeyTranslator& t, const KeyRecord& k, std::string& out) {
  if (!k.down) return;
  const bool ctrl = (k.mods & (vk::leftCtrl | vk::rightCtrl)) != 0;
  const bool alt = (k.mods & (vk::leftAlt | vk::rightAlt)) != 0;
  std::string seq;
  if (const char final = cursorFinal(k.key); final != 0) {
    seq = ctrl ? "\x1b[1;5" : alt ? "\x1b[1;3" : "\x1b[";
    seq.push_back(final);
  } else if (k.key == vk::del) {
    seq = "\x1b[3~";
  } else if (k.key == vk::escape) {
    seq = "\x1b";
  } else if (k.ch != 0 && k.ch != 0x1A) {
    seq = character(t, k.ch);
    if (alt && !ctrl && !seq.empty()) seq.insert(seq.begin(), '\x1b');
  }
  for (int i = 0; i < std::max<int>(k.repeat, 1); ++i) out += seq;
}

}  // namespace terminal
