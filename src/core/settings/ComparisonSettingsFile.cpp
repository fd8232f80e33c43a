#include "settings/ComparisonSettingsFile.h"

#include <algorithm>
#include <cstdint>

#include "io/TextFile.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

std::string_view Trim(std::string_view s) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

bool IsUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    Utf8Lead lead;
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    if (!ReadUtf8Lead(p[i], &lead) || i + lead.length > n) return false;
    std::uint32_t code = lead.bits;
    for (std::size_t k = 1; k < lead.length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      code = code << 6 | (p[i + k] & 0x3F);
    }
    if (code < lead.least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
    i += lead.length;
  }
  return true;
}

// The length of the UTF-8 character at the start of `s` (1 for a stray byte).
std::size_t CharLength(std::string_view s) {
  Utf8Lead lead;
  const auto c = static_cast<unsigned char>(s.front());
  if (c < 0x80 || !ReadUtf8Lead(c, &lead)) return 1;
  return std::min<std::size_t>(lead.length, s.size());
}

// `*` and `?` within one name; neither ever stands for a '/'.
bool GlobName(std::string_view p, std::string_view t) {
  if (p.empty()) return t.empty();
  if (p.front() == '*') {
    for (std::size_t i = 0;;) {
      if (GlobName(p.substr(1), t.substr(i))) return true;
      if (i >= t.size() || t[i] == '/') return false;
      i += CharLength(t.substr(i));
    }
  }
  if (t.empty()) return false;
  const std::size_t w = CharLength(t);
  if (p.front() == '?') return t.front() != '/' && GlobName(p.substr(1), t.substr(w));
  const std::size_t pw = CharLength(p);
  return p.substr(0, pw) == t.substr(0, w) && GlobName(p.substr(pw), t.substr(w));
}

}  // namespace

bool ParseComparisonSettings(std::string_view text, std::vector<SettingsSection>* sections,
                             SettingsFileError* error) {
  sections->clear();
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (!IsUtf8(text)) {
    *error = {0, "UTF-8 ではありません。"};
    return false;
  }
  int lineNo = 0;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNo;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (line.back() != ']' || Trim(line.substr(1, line.size() - 2)).empty()) {
        *error = {lineNo, std::string(line)};
        return false;
      }
      sections->push_back({std::string(Trim(line.substr(1, line.size() - 2))), lineNo, {}});
      continue;
    }
    const std::size_t eq = line.find('=');
    const std::string_view key = Trim(line.substr(0, eq));
    if (sections->empty() || key.empty()) {
      *error = {lineNo, std::string(key.empty() ? line : key)};
      return false;
    }
    SettingsEntry entry{lineNo, std::string(key), {}, eq != std::string_view::npos};
    if (entry.HasValue) entry.Value = std::string(Trim(line.substr(eq + 1)));
    sections->back().Entries.push_back(std::move(entry));
  }
  return true;
}

bool LoadComparisonSettings(const std::string& path, std::vector<SettingsSection>* sections,
                            SettingsFileError* error) {
  TextFile file;
  if (file.Open(path, TextFile::kModeRead, kEncodingUtf8) != 0) {
    *error = {0, "読み込めません。"};
    return false;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const int n = file.Read(buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxSettingsFileBytes) {
      *error = {0, "大きすぎます (1 MB まで)。"};
      return false;
    }
  }
  return ParseComparisonSettings(text, sections, error);
}

bool SettingsPatternMatches(std::string_view pattern, std::string_view relativePath) {
  if (pattern.find('/') == std::string_view::npos) {
    const std::size_t slash = relativePath.rfind('/');
    return GlobName(
        pattern, slash == std::string_view::npos ? relativePath : relativePath.substr(slash + 1));
  }
  if (pattern.starts_with("**/")) {
    const std::string_view rest = pattern.substr(3);
    for (std::size_t at = 0;;) {
      if (GlobName(rest, relativePath.substr(at))) return true;
      const std::size_t slash = relativePath.find('/', at);
      if (slash == std::string_view::npos) return false;
      at = slash + 1;
    }
  }
  return GlobName(pattern, relativePath);
}

const SettingsSection* MatchSettingsSection(const std::vector<SettingsSection>& sections,
                                            std::string_view relativePath) {
  const SettingsSection* all = nullptr;
  for (const SettingsSection& s : sections) {
    if (s.Pattern == "*") {
      if (all == nullptr) all = &s;
      continue;
    }
    if (SettingsPatternMatches(s.Pattern, relativePath)) return &s;
  }
  return all;
}

}  // namespace korvel
