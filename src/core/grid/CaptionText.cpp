#include "grid/CaptionText.h"

#include "io/PathText.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

char FoldByte(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The text before the last '/' (the '/' dropped); "" when there is none.
std::string_view CutLastComponent(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

std::string_view LastComponent(std::string_view path) {
  return path.substr(PathText::FileNamePart(path));
}

// Two equal file names in different folders: name the innermost folders that differ.
void AppendFolderDifference(std::string& caption, std::string_view pathL, std::string_view pathR) {
  std::string_view nameL = LastComponent(pathL);
  std::string_view nameR = LastComponent(pathR);
  std::string_view dirL = CutLastComponent(pathL);
  std::string_view dirR = CutLastComponent(pathR);
  int equalFolders = 0;
  while (!dirL.empty() && !dirR.empty() &&
         EqualIgnoringCase(LastComponent(dirL), LastComponent(dirR))) {
    dirL = CutLastComponent(dirL);
    dirR = CutLastComponent(dirR);
    ++equalFolders;
  }
  if (dirL.empty() && dirR.empty()) {
    caption += Sjis("【左右同じファイル】");
    caption += PathText::Clip(nameL, 0, 150);
    return;
  }
  const std::string gap = equalFolders > 0 ? Sjis("/・・・/") : std::string("/");
  caption += Sjis("【左】");
  caption += PathText::Clip(LastComponent(dirL), 0, 50);
  caption += gap;
  caption += PathText::Clip(nameL, 0, 50);
  caption += Sjis("  - 【右】");
  caption += PathText::Clip(LastComponent(dirR), 0, 50);
  caption += gap;
  caption += PathText::Clip(nameR, 0, 50);
}

}  // namespace

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(a[i]) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (FoldByte(a[i]) != FoldByte(b[i])) {
      return false;
    }
  }
  return true;
}

std::string BuildCaption(std::string_view status, std::string_view pathL, std::string_view pathR) {
  std::string caption = "KORVEL";
  caption += status;
  if (pathL.empty()) return caption;
  // The paths are shown, so they are handled in the form they are shown in.
  const std::string left = Utf8ToCp932(pathL);
  const std::string right = Utf8ToCp932(pathR);
  std::string_view nameL = LastComponent(left);
  std::string_view nameR = LastComponent(right);
  if (!EqualIgnoringCase(nameL, nameR)) {
    caption += Sjis("【左】");
    caption += PathText::Clip(nameL, 0, 80);
    caption += Sjis("  - 【右】");
    caption += PathText::Clip(nameR, 0, 80);
  } else {
    AppendFolderDifference(caption, left, right);
  }
  return caption;
}

}  // namespace korvel
