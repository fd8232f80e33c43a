#include "platform/IniFile.h"

#include <charconv>
#include <cstdio>

#include "platform/Codepage.h"
#include "platform/FileSystem.h"

namespace korvel {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlankByte(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlankByte(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankByte(text.back())) text.remove_suffix(1);
  return text;
}

// Finds `c` from `from` on without looking inside double-byte characters, whose second
// byte may be ']' or any other byte from 0x40 up.
std::size_t FindByte(std::string_view text, char c, std::size_t from = 0) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == c) return i;
    if (IsLeadByte(text[i])) ++i;
  }
  return std::string_view::npos;
}

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Names match without regard to the case of A-Z; double-byte characters match exactly.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(a[i])) {
      if (a[i] != b[i] || (i + 1 < a.size() && a[i + 1] != b[i + 1])) return false;
      ++i;
    } else if (FoldCase(a[i]) != FoldCase(b[i])) {
      return false;
    }
  }
  return true;
}

enum class WriteResult { kDone, kNotCreated, kFailed };

// Creates or replaces `path` with `text`. kDone only when every byte was written and the
// file closed cleanly (a failed close may have lost buffered bytes).
WriteResult WriteWhole(const std::string& path, const std::string& text) {
  FileSystem& fs = CurrentFileSystem();
  int fd = fs.Open(path, FileSystem::OpenMode::kWrite);
  if (fd < 0) return WriteResult::kNotCreated;
  bool written =
      text.empty() || fs.Write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  bool closed = fs.Close(fd) == 0;
  return written && closed ? WriteResult::kDone : WriteResult::kFailed;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// A name whose last byte is a lone lead byte would take the ']' or '=' written after it
// as its second byte, and its line would never be read as a section or a key again.
bool EndsInsideCharacter(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) i += IsLeadByte(text[i]) ? 2 : 1;
  return i > text.size();
}

}  // namespace

IniFile::Line IniFile::MakeLine(std::string text, std::string end) {
  Line line;
  line.text = std::move(text);
  line.end = std::move(end);
  std::string_view body = Trim(line.text);
  if (body.empty() || body.front() == ';') return line;
  if (body.front() == '[') {
    std::size_t close = FindByte(body, ']', 1);
    if (close != std::string_view::npos) {
      line.kind = Kind::kSection;
      line.name = Trim(body.substr(1, close - 1));
    }
    return line;
  }
  std::size_t eq = FindByte(body, '=');
  if (eq != std::string_view::npos) {
    line.kind = Kind::kKey;
    line.name = Trim(body.substr(0, eq));
    line.value = Trim(body.substr(eq + 1));
  }
  return line;
}

void IniFile::Parse(std::string_view text) {
  lines_.clear();
  hasBom_ = text.substr(0, kUtf8Bom.size()) == kUtf8Bom;
  if (hasBom_) text.remove_prefix(kUtf8Bom.size());
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t brk = text.find_first_of("\r\n", i);
    if (brk == std::string_view::npos) {
      lines_.push_back(MakeLine(std::string(text.substr(i)), ""));
      break;
    }
    std::size_t endLength =
        (text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') ? 2 : 1;
    lines_.push_back(
        MakeLine(std::string(text.substr(i, brk - i)), std::string(text.substr(brk, endLength))));
    i = brk + endLength;
  }
}

bool IniFile::Load(const std::string& path) {
  Parse({});
  if (GetPathKind(path) == PathKind::kMissing) return true;
  FileSystem& fs = CurrentFileSystem();
  // Settings are the program's own file: a link put in its place is not followed.
  int fd = fs.Open(path, FileSystem::OpenMode::kReadNoFollow);
  if (fd < 0) return false;
  std::string text;
  char buffer[8192];
  for (;;) {
    ssize_t n = fs.Read(fd, buffer, sizeof buffer);
    if (n < 0) {
      fs.Close(fd);
      return false;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  fs.Close(fd);
  Parse(text);
  return true;
}

std::string IniFile::Text() const {
  std::string text(hasBom_ ? kUtf8Bom : std::string_view());
  for (const Line& line : lines_) {
    text += line.text;
    text += line.end;
  }
  return text;
}

bool IniFile::Save(const std::string& path) const {
  if (path.empty() || GetPathKind(path) == PathKind::kFolder) return false;
  const std::string text = Text();
  // The new text is written beside the file and takes its name in one step, so that a
  // write that fails half-way, or a kill, leaves the old settings whole. Where nothing can
  // be made beside it (a folder that is not writable), the file is rewritten in place, as
  // Windows does.
  FileSystem& fs = CurrentFileSystem();
  const int fd = fs.BeginWrite(path, FileSystem::kReplace | FileSystem::kNoFollow);
  // A link or anything but a regular file under the name is refused, not written through.
  if (fd != -1 && fd < 0) return false;
  if (fd < 0) return WriteWhole(path, text) == WriteResult::kDone;
  if (!text.empty() &&
      fs.Write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    fs.AbandonWrite(fd);
    return false;
  }
  return fs.CommitWrite(fd, true) == 0;
}

int IniFile::FindSection(std::string_view section) const {
  section = Trim(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::kSection && SameName(lines_[i].name, section)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int IniFile::FindKey(int header, std::string_view key) const {
  key = Trim(key);
  for (std::size_t i = static_cast<std::size_t>(header) + 1; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::kSection) break;
    if (lines_[i].kind == Kind::kKey && SameName(lines_[i].name, key)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const {
  const int header = FindSection(section);
  return header >= 0 && FindKey(header, key) >= 0;
}

bool IniFile::RemoveKey(std::string_view section, std::string_view key) {
  const int header = FindSection(section);
  const int found = header < 0 ? -1 : FindKey(header, key);
  if (found < 0) return false;
  lines_.erase(lines_.begin() + found);
  return true;
}

void IniFile::DropStrayLines() {
  std::erase_if(lines_, [](const Line& line) {
    if (line.kind == Kind::kSection) return false;
    if (line.kind == Kind::kKey) return line.name.empty();
    const std::string_view body = Trim(line.text);
    return !body.empty() && body.front() != ';';
  });
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
  int header = FindSection(section);
  int line = header < 0 ? -1 : FindKey(header, key);
  if (line < 0) return std::string(defaultValue);
  std::string_view value = lines_[static_cast<std::size_t>(line)].value;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

int IniFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
  const std::string text = GetString(section, key, "");
  std::string_view digits = text;
  // from_chars takes a minus sign but not a plus sign.
  if (digits.size() >= 2 && digits[0] == '+' && digits[1] != '-') digits.remove_prefix(1);
  int value = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size()) return defaultValue;
  return value;
}

bool IniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
  section = Trim(section);
  key = Trim(key);
  if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) ||
      HasLineBreak(value) || FindByte(section, ']') != std::string_view::npos ||
      FindByte(key, '=') != std::string_view::npos || key.front() == '[' || key.front() == ';' ||
      EndsInsideCharacter(section) || EndsInsideCharacter(key)) {
    return false;
  }
  const std::string newValue(Trim(value));
  int header = FindSection(section);
  if (header >= 0) {
    int found = FindKey(header, key);
    if (found >= 0) {
      Line& line = lines_[static_cast<std::size_t>(found)];
      line = MakeLine(line.name + "=" + newValue, std::move(line.end));
      return true;
    }
    // After the section's last line that is not blank, so that a blank line separating it
    // from the next section stays where it is.
    std::size_t last = static_cast<std::size_t>(header);
    for (std::size_t i = last + 1; i < lines_.size() && lines_[i].kind != Kind::kSection; ++i) {
      if (!Trim(lines_[i].text).empty()) last = i;
    }
    if (lines_[last].end.empty()) lines_[last].end = "\r\n";
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                  MakeLine(std::string(key) + "=" + newValue, "\r\n"));
    return true;
  }
  if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = "\r\n";
  // Built by appending: g++ 12 at -O3 misreads "[" + std::string(...) as an overlapping copy.
  std::string sectionLine;
  sectionLine.reserve(section.size() + 2);
  sectionLine.append("[").append(section).append("]");
  lines_.push_back(MakeLine(std::move(sectionLine), "\r\n"));
  lines_.push_back(MakeLine(std::string(key) + "=" + newValue, "\r\n"));
  return true;
}

std::string ReadIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view defaultValue) {
  IniFile file;
  (void)file.Load(path);
  return file.GetString(section, key, defaultValue);
}

bool WriteIniString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value) {
  IniFile file;
  // A file that exists but cannot be read is not overwritten: its other keys would be lost.
  if (!file.Load(path)) return false;
  if (!file.SetString(section, key, value)) return false;
  return file.Save(path);
}

}  // namespace korvel
