#include "settings/RecentFiles.h"

#include <algorithm>
#include <charconv>

#include "platform/Codepage.h"

namespace korvel {
namespace {

constexpr std::string_view kRecentSection = "RECENT";
constexpr std::string_view kWindowSection = "WINDOW";
constexpr int kMaxWindowSize = 100000;

bool IsKeptPath(std::string_view path) {
  return !path.empty() && path.find_first_of("\t\r\n") == std::string_view::npos;
}

bool IsKnownKind(int kind) { return kind >= 0 && kind <= 2; }

// The encoding column: the codes older programs know, else the words korvel.ini's CODE_EX
// uses for the choices they do not know, so that an older program skips such an entry
// instead of reading it with another encoding.
struct EncodingWord {
  int code;
  std::string_view word;
};
constexpr EncodingWord kEncodingWords[] = {
    {kEncodingSjis, "0"},      {kEncodingUtf16, "10"},  {kEncodingUtf8, "15"},
    {kEncodingEucJp, "eucjp"}, {kEncodingAuto, "auto"},
};

// Every 自動判定 request is written as "auto", whatever encoding ASCII-only text falls back to.
int StoredEncoding(int encoding) { return IsAutoEncoding(encoding) ? kEncodingAuto : encoding; }

std::optional<std::string_view> EncodingWordOf(int encoding) {
  for (const EncodingWord& w : kEncodingWords) {
    if (w.code == StoredEncoding(encoding)) return w.word;
  }
  return std::nullopt;
}

std::optional<int> EncodingOfWord(std::string_view word) {
  for (const EncodingWord& w : kEncodingWords) {
    if (w.word == word) return w.code;
  }
  return std::nullopt;
}

// A whole decimal integer without sign or spaces, as this program writes them.
std::optional<int> ReadNumber(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

std::vector<std::string_view> SplitTabs(std::string_view value) {
  std::vector<std::string_view> parts;
  std::size_t from = 0;
  while (true) {
    const std::size_t tab = value.find('\t', from);
    parts.push_back(value.substr(from, tab == std::string_view::npos ? tab : tab - from));
    if (tab == std::string_view::npos) return parts;
    from = tab + 1;
  }
}

std::string KeyName(std::size_t index) { return std::to_string(index + 1); }

}  // namespace

std::optional<std::string> FormatRecentEntry(const RecentEntry& entry) {
  const auto delimiter = static_cast<unsigned char>(entry.Delimiter);
  if (!IsKeptPath(entry.PathL) || !IsKeptPath(entry.PathR) || !IsKnownKind(entry.FileKind) ||
      delimiter == 0) {
    return std::nullopt;
  }
  const std::optional<std::string_view> encoding = EncodingWordOf(entry.Encoding);
  if (!encoding) return std::nullopt;
  std::string value = entry.PathL;
  value += '\t';
  value += entry.PathR;
  value += '\t';
  value += std::to_string(entry.FileKind);
  value += '\t';
  value += std::to_string(delimiter);
  value += '\t';
  value += entry.TopRowNames ? '1' : '0';
  value += '\t';
  value += *encoding;
  return value;
}

std::optional<RecentEntry> RecentEntryOf(const CompareSettings& settings) {
  if (settings.FromClipboard) return std::nullopt;
  return RecentEntry{settings.PathL,     settings.PathR,       settings.FileKind,
                     settings.Delimiter, settings.TopRowNames, StoredEncoding(settings.Encoding)};
}

void ApplyRecentEntry(const RecentEntry& entry, CompareSettings& settings) {
  settings.PathL = entry.PathL;
  settings.PathR = entry.PathR;
  settings.FileKind = entry.FileKind;
  settings.Delimiter = entry.Delimiter;
  if (entry.FileKind == kFileKindDelimited && entry.Delimiter != '\t') {
    settings.OtherDelimiter = entry.Delimiter;
  }
  settings.TopRowNames = entry.TopRowNames;
  // 自動判定 already chosen keeps the fallback the options gave it.
  if (!IsAutoEncoding(entry.Encoding) || !IsAutoEncoding(settings.Encoding)) {
    settings.Encoding = entry.Encoding;
  }
  settings.FromClipboard = false;
}

std::optional<RecentEntry> ParseRecentEntry(std::string_view value) {
  const std::vector<std::string_view> parts = SplitTabs(value);
  if (parts.size() != 6) return std::nullopt;
  const std::optional<int> kind = ReadNumber(parts[2]);
  const std::optional<int> delimiter = ReadNumber(parts[3]);
  const std::optional<int> encoding = EncodingOfWord(parts[5]);
  if (!IsKeptPath(parts[0]) || !IsKeptPath(parts[1]) || !kind || !IsKnownKind(*kind) ||
      !delimiter || *delimiter < 1 || *delimiter > 255 || (parts[4] != "0" && parts[4] != "1") ||
      !encoding) {
    return std::nullopt;
  }
  RecentEntry entry;
  entry.PathL = parts[0];
  entry.PathR = parts[1];
  entry.FileKind = *kind;
  entry.Delimiter = static_cast<char>(*delimiter);
  entry.TopRowNames = parts[4] == "1";
  entry.Encoding = *encoding;
  return entry;
}

std::vector<RecentEntry> ReadRecentList(const IniFile& ini) {
  std::vector<RecentEntry> list;
  for (std::size_t i = 0; i < kMaxRecentEntries; ++i) {
    const std::string key = KeyName(i);
    if (!ini.HasKey(kRecentSection, key)) continue;
    std::optional<RecentEntry> entry = ParseRecentEntry(ini.GetString(kRecentSection, key, ""));
    if (!entry) continue;
    bool repeated = false;
    for (const RecentEntry& earlier : list) repeated = repeated || earlier.SamePair(*entry);
    if (!repeated) list.push_back(std::move(*entry));
  }
  return list;
}

void WriteRecentList(IniFile& ini, const std::vector<RecentEntry>& list) {
  std::size_t written = 0;
  for (const RecentEntry& entry : list) {
    if (written == kMaxRecentEntries) break;
    const std::optional<std::string> value = FormatRecentEntry(entry);
    if (!value) continue;
    const std::string key = KeyName(written++);
    if (!ini.HasKey(kRecentSection, key) || ini.GetString(kRecentSection, key, "") != *value) {
      (void)ini.SetString(kRecentSection, key, *value);
    }
  }
  for (std::size_t i = written; i < kMaxRecentEntries; ++i) {
    while (ini.RemoveKey(kRecentSection, KeyName(i))) {
    }
  }
}

std::vector<RecentEntry> MergeRecentLists(const std::vector<RecentEntry>& mine,
                                          const std::vector<RecentEntry>& theirs) {
  std::vector<RecentEntry> merged;
  auto add = [&merged](const RecentEntry& entry) {
    if (merged.size() == kMaxRecentEntries) return;
    for (const RecentEntry& kept : merged) {
      if (kept.SamePair(entry)) return;
    }
    merged.push_back(entry);
  };
  for (const RecentEntry& entry : mine) add(entry);
  for (const RecentEntry& entry : theirs) add(entry);
  return merged;
}

std::optional<WindowPlace> ReadWindowPlace(const IniFile& ini) {
  auto read = [&ini](std::string_view key) -> std::optional<int> {
    if (!ini.HasKey(kWindowSection, key)) return std::nullopt;
    const int missing = -1000001;
    const int value = ini.GetInt(kWindowSection, key, missing);
    if (value == missing) return std::nullopt;
    return value;
  };
  const std::optional<int> x = read("X"), y = read("Y"), width = read("WIDTH"),
                           height = read("HEIGHT"), split = read("SPLIT");
  if (!x || !y || !width || !height || !split) return std::nullopt;
  if (*width < 1 || *width > kMaxWindowSize || *height < 1 || *height > kMaxWindowSize ||
      *split < 0 || *x < -kMaxWindowSize || *x > kMaxWindowSize || *y < -kMaxWindowSize ||
      *y > kMaxWindowSize) {
    return std::nullopt;
  }
  return WindowPlace{*x, *y, *width, *height, *split};
}

void WriteWindowPlace(IniFile& ini, const WindowPlace& place,
                      const std::optional<WindowPlace>& loaded) {
  auto put = [&ini](std::string_view key, int value, bool changed) {
    if (changed || !ini.HasKey(kWindowSection, key)) {
      (void)ini.SetString(kWindowSection, key, std::to_string(value));
    }
  };
  put("X", place.X, !loaded || loaded->X != place.X);
  put("Y", place.Y, !loaded || loaded->Y != place.Y);
  put("WIDTH", place.Width, !loaded || loaded->Width != place.Width);
  put("HEIGHT", place.Height, !loaded || loaded->Height != place.Height);
  put("SPLIT", place.Split, !loaded || loaded->Split != place.Split);
}

bool PlaceIsOnScreen(const WindowPlace& place, const std::vector<ScreenArea>& screens) {
  // 64-bit sums: a damaged file may hold values near the limits of int.
  for (const ScreenArea& s : screens) {
    const long long left = std::max<long long>(place.X, s.X);
    const long long right = std::min<long long>(static_cast<long long>(place.X) + place.Width,
                                                static_cast<long long>(s.X) + s.Width);
    const long long top = std::max<long long>(place.Y, s.Y);
    const long long bottom = std::min<long long>(static_cast<long long>(place.Y) + place.Height,
                                                 static_cast<long long>(s.Y) + s.Height);
    if (left < right && top < bottom) return true;
  }
  return false;
}

}  // namespace korvel
