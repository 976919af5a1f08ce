#include "terminal/history.h"

namespace terminal {

std::string historyPath(const char* own, const char* stateHome, const char* home) {
  if (own != nullptr) return own;
  if (stateHome != nullptr && stateHome[0] == '/') return std::string(stateHome) + "/zantorix/history";
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.local/state/zantorix/history";
  return "";
}

std::string windowsHistoryPath(const char* own, const char* localAppData) {
  if (own != nullptr) return own;
  if (localAppData != nullptr && localAppData[0] != '\0') return std::string(localAppData) + "\\zantorix\\history";
  return "";
}

std::deque<std::string> readHistory(std::string_view text, bool whole) {
  std::deque<std::string> lines;
  std::size_t at = 0;
  if (!whole) at = text.find('\n') == std::string_view::npos ? text.size() : text.find('\n') + 1;
  for (std::size_t end = text.find('\n', at); end != std::string_view::npos; end = text.find('\n', at)) {
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // a CR LF line end
    if (!keepable(line) || (!lines.empty() && lines.back() == line)) continue;
    if (lines.size() == kMaxHistory) lines.pop_front();
    lines.emplace_back(line);
  }
  return lines;
}

std::string writeHistory(const std::deque<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(line).push_back('\n');
  return text;
}

}  // namespace terminal
