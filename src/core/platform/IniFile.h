#pragma once
// The settings file format: a Windows ini text of sections ("[name]" lines) holding
// "key=value" lines, read and written by the rules of the Windows profile functions.
//
// Reading: section and key names match without regard to the case of A-Z (the bytes of a
// Shift-JIS double-byte character compare exactly); the first matching section and, in it,
// the first matching key win. Spaces and TABs around names and values are ignored, and a
// value enclosed in a pair of the same quotes (' or ") loses them. Lines may end with CR LF,
// LF or CR; a UTF-8 byte-order mark at the start is passed over; lines that are neither a
// section header nor a key (comments, blank lines, garbage) are kept but never match.
//
// Writing a key changes that one line, or adds it at the end of its section (a new section
// is added at the end of the file); every other byte of the text stays as it was. New lines
// end with CR LF, as Windows writes them.
//
// Texts are bytes (the program writes ASCII keys and numbers); paths are the file system's
// own. File access goes through platform/FileSystem.h.

#include <string>
#include <string_view>
#include <vector>

namespace korvel {

class IniFile {
 public:
  IniFile() = default;

  // Replaces the contents with `text`.
  void Parse(std::string_view text);
  // Replaces the contents with the file's text. A missing file reads as an empty one
  // (true); false when the path exists but cannot be read (the contents are then empty).
  bool Load(const std::string& path);
  // The whole text, as it would be written.
  std::string Text() const;
  // Writes the text to `path`, replacing the file. False when it cannot be written whole.
  // The text goes to "<path>.tmp" first, which then takes the file's place, so a failed
  // write leaves the old file as it was; where no such side file can be created, the file
  // is rewritten in place.
  [[nodiscard]] bool Save(const std::string& path) const;

  // True when `section` holds `key` (by the lookup rules above).
  bool HasKey(std::string_view section, std::string_view key) const;
  // The value of `key` in `section`, or `defaultValue` when either is missing.
  std::string GetString(std::string_view section, std::string_view key,
                        std::string_view defaultValue) const;
  // The value as a decimal integer (an optional sign and digits, in the range of int), or
  // `defaultValue` when the key is missing or its value is anything else.
  int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
  // Sets `key` in `section` to `value`. False, changing nothing, when a name is empty or a
  // text would break the line structure (a line break anywhere, '=' in the key, ']' in the
  // section name, a name ending in the first byte of a double-byte character).
  bool SetString(std::string_view section, std::string_view key, std::string_view value);
  // Removes the first line of `key` in `section` (by the lookup rules above); every other line
  // stays. False when there was none.
  bool RemoveKey(std::string_view section, std::string_view key);
  // Drops every line that is neither a section header, a "key=value" line with a key, a
  // ';' comment nor blank, so that a stray line does not outlive the next save.
  void DropStrayLines();

 private:
  enum class Kind { kOther, kSection, kKey };
  struct Line {
    std::string text;  // without its line break
    std::string end;   // "\r\n", "\n", "\r" or "" (the last line of a text may have none)
    Kind kind = Kind::kOther;
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed
  };

  static Line MakeLine(std::string text, std::string end);
  // Index of the header of the first section named `section`, or -1.
  int FindSection(std::string_view section) const;
  // Index of the first key line named `key` in the section whose header is at `header`,
  // or -1.
  int FindKey(int header, std::string_view key) const;

  bool hasBom_ = false;
  std::vector<Line> lines_;
};

// One-call forms over a file, in the manner of GetPrivateProfileString and
// WritePrivateProfileString. A missing file reads as empty; writing creates the file and the
// section when missing. WriteIniString is false when the key could not be written (the
// file unreadable, unwritable, or the texts refused as by SetString); the caller may ignore
// it, but it never reports a failed write as done.
std::string ReadIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view defaultValue);
bool WriteIniString(const std::string& path, std::string_view section, std::string_view key,
                    std::string_view value);

}  // namespace korvel
