#include "terminal/line.h"

namespace terminal {

namespace {

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
bool blank(char c) { return c == ' ' || c == '\t'; }

// The start of the character before `at`.
std::size_t before(std::string_view s, std::size_t at) {
  if (at == 0) return 0;
  do --at;
  while (at > 0 && continuation(s[at]));
  return at;
}

Outcome insert(Editing& e, std::string_view text) {
  if (e.line.size() + text.size() > kMaxLine) return Outcome::refused;
  e.line.insert(e.cursor, text);
  e.cursor += text.size();
  return Outcome::changed;
}

// Erases [from, to) and leaves the cursor at from; unchanged when the range is empty.
Outcome erase(Editing& e, std::size_t from, std::size_t to) {
  if (from >= to) return Outcome::unchanged;
  e.line.erase(from, to - from);
  e.cursor = from;
  return Outcome::changed;
}

Outcome moveTo(Editing& e, std::size_t at) {
  if (at == e.cursor) return Outcome::unchanged;
  e.cursor = at;
  return Outcome::changed;
}

// Ctrl-W: the blanks before the cursor, then the word before them.
Outcome killWord(Editing& e) {
  std::size_t from = e.cursor;
  while (from > 0 && blank(e.line[from - 1])) --from;
  while (from > 0 && !blank(e.line[from - 1])) --from;
  return erase(e, from, e.cursor);
}

// Up (step −1) and Down (+1) through history; the draft is kept while walking.
Outcome walk(Editing& e, int step) {
  const std::size_t to = e.walk + static_cast<std::size_t>(step);
  if ((step < 0 && e.walk == 0) || (step > 0 && e.walk >= e.history.size())) return Outcome::refused;
  if (e.walk == e.history.size()) e.draft = e.line;
  e.walk = to;
  e.line = to == e.history.size() ? e.draft : e.history[to];
  e.cursor = e.line.size();
  return Outcome::changed;
}

// Enter: the line joins history unless it is blank or repeats the last entry.
Outcome submit(Editing& e) {
  const bool blankLine = e.line.find_first_not_of(" \t") == std::string::npos;
  if (!blankLine && (e.history.empty() || e.history.back() != e.line)) {
    if (e.history.size() == kMaxHistory) e.history.pop_front();
    e.history.push_back(e.line);
  }
  e.walk = e.history.size();
  e.draft.clear();
  return Outcome::submit;
}

}  // namespace

std::size_t charLen(std::string_view s, std::size_t at) {
  std::size_t end = at + 1;
  while (end < s.size() && continuation(s[end])) ++end;
  return end - at;
}

void startLine(Editing& e) {
  e.line.clear();
  e.cursor = 0;
  e.walk = e.history.size();
  e.draft.clear();
}

Outcome apply(Editing& e, const Key& k) {
  const std::size_t next = e.cursor < e.line.size() ? e.cursor + charLen(e.line, e.cursor) : e.cursor;
  switch (k.kind) {
    case KeyKind::text: return insert(e, k.text());
    case KeyKind::enter: return submit(e);
    case KeyKind::left: return moveTo(e, before(e.line, e.cursor));
    case KeyKind::right: return moveTo(e, next);
    case KeyKind::home: return moveTo(e, 0);
    case KeyKind::end: return moveTo(e, e.line.size());
    case KeyKind::up: return walk(e, -1);
    case KeyKind::down: return walk(e, +1);
    case KeyKind::backspace: return erase(e, before(e.line, e.cursor), e.cursor);
    case KeyKind::del: return erase(e, e.cursor, next);
    case KeyKind::eofOrDelete: return e.line.empty() ? Outcome::end : erase(e, e.cursor, next);
    case KeyKind::killStart: return erase(e, 0, e.cursor);
    case KeyKind::killEnd: return e.cursor == e.line.size() ? Outcome::unchanged : (e.line.resize(e.cursor), Outcome::changed);
    case KeyKind::killWord: return killWord(e);
    case KeyKind::clear: return Outcome::clear;
    case KeyKind::interrupt: startLine(e); return Outcome::interrupt;
    case KeyKind::suspend: return Outcome::suspend;
  }
  return Outcome::unchanged;
}

}  // namespace terminal
