#include "terminal/line.h"

#include "terminal/text.h"

namespace terminal {

namespace {

// Words for Alt+b, Alt+f, Alt+d and Alt+Backspace: letters, digits, points and any
// non-ASCII character, so that a number is one word.
bool wordByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x80 || (u >= '0' && u <= '9') || ((u | 0x20) >= 'a' && (u | 0x20) <= 'z') || c == '.';
}
bool blank(char c) { return c == ' ' || c == '\t'; }

std::size_t wordStart(std::string_view s, std::size_t at) {
  while (at > 0 && !wordByte(s[at - 1])) --at;
  while (at > 0 && wordByte(s[at - 1])) --at;
  return at;
}

std::size_t wordEnd(std::string_view s, std::size_t at) {
  while (at < s.size() && !wordByte(s[at])) ++at;
  while (at < s.size() && wordByte(s[at])) ++at;
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

// Erases [from, to) as erase does and keeps the text for Ctrl-Y.
Outcome kill(Editing& e, std::size_t from, std::size_t to) {
  if (from < to) e.killed = e.line.substr(from, to - from);
  return erase(e, from, to);
}

Outcome moveTo(Editing& e, std::size_t at) {
  if (at == e.cursor) return Outcome::unchanged;
  e.cursor = at;
  return Outcome::changed;
}

// Ctrl-W: the blanks before the cursor, then the blank-separated word before them.
Outcome killWord(Editing& e) {
  std::size_t from = e.cursor;
  while (from > 0 && blank(e.line[from - 1])) --from;
  while (from > 0 && !blank(e.line[from - 1])) --from;
  return kill(e, from, e.cursor);
}

// Up (step −1) and Down (+1) through history. The line left behind keeps its edits, and
// each entry shows as last left, until a line is submitted.
Outcome walk(Editing& e, int step) {
  if ((step < 0 && e.walk == 0) || (step > 0 && e.walk >= e.history.size())) return Outcome::refused;
  if (e.walk == e.history.size() || e.line != e.history[e.walk]) e.edits[e.walk] = e.line;
  else e.edits.erase(e.walk);
  e.walk += static_cast<std::size_t>(step);
  const auto edited = e.edits.find(e.walk);
  e.line = edited != e.edits.end() ? edited->second : e.walk == e.history.size() ? "" : e.history[e.walk];
  e.cursor = e.line.size();
  return Outcome::changed;
}

// Enter: the line joins history when history is kept here, it may, and it does not
// repeat the last entry.
Outcome submit(Editing& e) {
  e.kept = e.keep && keepable(e.line) && (e.history.empty() || e.history.back() != e.line);
  if (e.kept) {
    if (e.history.size() == kMaxHistory) e.history.pop_front();
    e.history.push_back(e.line);
  }
  e.walk = e.history.size();
  e.edits.clear();
  return Outcome::submit;
}

// The newest entry before `from` that holds the query: the line shows it, the cursor at
// the match. When there is none the line stays as it was and the search is marked failed.
void findBack(Editing& e, std::size_t from) {
  Search& s = e.search;
  for (std::size_t i = from; i-- > 0;) {
    const std::size_t at = e.history[i].find(s.query);
    if (at == std::string::npos) continue;
    s.match = i, s.failed = false;
    e.line = e.history[i], e.cursor = at;
    return;
  }
  s.failed = true;
}

// A key while searching. Typing narrows, Backspace widens, Ctrl-R goes further back, Enter
// runs the match, Ctrl-G or Esc gives back the line from before; any other key takes the
// match as the line and then acts on it. Returns false for a key the line must act on.
bool searchKey(Editing& e, const Key& k, Outcome& out) {
  Search& s = e.search;
  const bool cancel = k.kind == KeyKind::cancel || (k.kind == KeyKind::text && k.text() == "\x1b");
  if (cancel) {
    e.line = s.line, e.cursor = s.cursor, s.on = false;
    return out = Outcome::changed, true;
  }
  switch (k.kind) {
    case KeyKind::text:
      if (s.query.size() + k.len > kMaxLine) return out = Outcome::refused, true;
      s.query += k.text();
      findBack(e, s.match < e.history.size() ? s.match + 1 : e.history.size());
      return out = Outcome::changed, true;
    case KeyKind::backspace:
      if (s.query.empty()) return out = Outcome::refused, true;
      s.query.erase(before(s.query, s.query.size()));
      s.match = e.history.size();
      if (s.query.empty()) e.line = s.line, e.cursor = s.cursor, s.failed = false;
      else findBack(e, e.history.size());
      return out = Outcome::changed, true;
    case KeyKind::search:
      if (s.query.empty()) return out = Outcome::refused, true;
      findBack(e, s.match);
      return out = Outcome::changed, true;
    default:
      s.on = false;
      if (k.kind != KeyKind::interrupt) e.walk = s.match;
      return false;
  }
}

Outcome startSearch(Editing& e) {
  e.search = Search{true, false, "", e.history.size(), e.line, e.cursor};
  return Outcome::changed;
}

}  // namespace

void startLine(Editing& e) {
  e.line.clear();
  e.cursor = 0;
  e.walk = e.history.size();
  e.edits.clear();
  e.search.on = false;
}

bool keepable(std::string_view line) {
  if (line.size() > kMaxLine || line.find_first_not_of(" \t") == std::string_view::npos) return false;
  Decoder d;
  std::size_t at = 0, whole = 0;
  for (Key k; nextKey(d, line, at, k); whole = at) {  // a byte the decoder dropped is broken UTF-8
    if (k.kind != KeyKind::text || k.text() == "\x1b" || k.text() != line.substr(whole, at - whole)) return false;
  }
  return whole == line.size() && !d.waiting();
}

std::string searchPrompt(const Search& s) {
  return std::string(s.failed ? "(failed reverse-i-search)`" : "(reverse-i-search)`") + s.query + "': ";
}

Outcome apply(Editing& e, const Key& k) {
  if (e.search.on) {
    Outcome out = Outcome::unchanged;
    if (searchKey(e, k, out)) return out;
  }
  const std::size_t next = e.cursor < e.line.size() ? e.cursor + charLen(e.line, e.cursor) : e.cursor;
  switch (k.kind) {
    case KeyKind::text: return insert(e, k.text());
    case KeyKind::enter: return submit(e);
    case KeyKind::left: return moveTo(e, before(e.line, e.cursor));
    case KeyKind::right: return moveTo(e, next);
    case KeyKind::home: return moveTo(e, 0);
    case KeyKind::end: return moveTo(e, e.line.size());
    case KeyKind::wordLeft: return moveTo(e, wordStart(e.line, e.cursor));
    case KeyKind::wordRight: return moveTo(e, wordEnd(e.line, e.cursor));
    case KeyKind::up: return walk(e, -1);
    case KeyKind::down: return walk(e, +1);
    case KeyKind::backspace: return erase(e, before(e.line, e.cursor), e.cursor);
    case KeyKind::del: return erase(e, e.cursor, next);
    case KeyKind::eofOrDelete: return e.line.empty() ? Outcome::end : erase(e, e.cursor, next);
    case KeyKind::killStart: return kill(e, 0, e.cursor);
    case KeyKind::killEnd: return kill(e, e.cursor, e.line.size());
    case KeyKind::killWord: return killWord(e);
    case KeyKind::killWordNext: return kill(e, e.cursor, wordEnd(e.line, e.cursor));
    case KeyKind::killWordBack: return kill(e, wordStart(e.line, e.cursor), e.cursor);
    case KeyKind::yank: return e.killed.empty() ? Outcome::unchanged : insert(e, e.killed);
    case KeyKind::search: return startSearch(e);
    case KeyKind::cancel: return Outcome::refused;
    case KeyKind::clear: return Outcome::clear;
    case KeyKind::interrupt: startLine(e); return Outcome::interrupt;
    case KeyKind::suspend: return Outcome::suspend;
  }
  return Outcome::unchanged;
}

}  // namespace terminal
