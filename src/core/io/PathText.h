#pragma once
// PathText: the small path and text routines that the windows and dialogs share.
//
// Paths are the file system's own UTF-8 strings; their file-name part begins after the last
// '/' (a byte that never occurs inside a UTF-8 sequence or a Shift-JIS character). Texts
// given to GetToken and Clip are Shift-JIS, and no double-byte character is ever split.

#include <string>
#include <string_view>

namespace korvel {

class PathText {
 public:
  // The position in `path` just after its last '/'; 0 when it has none.
  static std::size_t FileNamePart(std::string_view path);
  // Looks for the first dot of the file-name part: none, the extension (with its dot) is
  // appended; one and `replace`, the text from it on is replaced; one and not `replace`,
  // the path stays.
  static void ChangeExtension(std::string& path, std::string_view extension, bool replace);
  // True when a file (not a folder) of that name exists.
  static bool FileExists(const std::string& path);
  // The index-th token (from 0) of `text` split at `delimiter`, cut to 100 bytes (a
  // double-byte character beginning at byte 99 is kept whole); "" when there are fewer.
  static std::string GetToken(std::string_view text, int index, char delimiter);
  // Skips `skip` bytes, then copies whole characters while the copy stays within `maximum`
  // bytes; stops at the first byte below 0x20 (skipped part included) and once more than
  // 100 bytes have been copied.
  static std::string Clip(std::string_view text, int skip, int maximum);
  // `path` (the file system's bytes) as a message may show it: control characters and
  // broken UTF-8 become '?' (platform/MessageText.h, TextForMessage), so that a name cannot
  // break or rewrite the line it is shown on.
  static std::string SafePathText(std::string_view path);
};

}  // namespace korvel
