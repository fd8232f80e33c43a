#include "io/PathText.h"

#include "platform/Codepage.h"
#include "platform/FileSystem.h"
#include "platform/MessageText.h"

namespace korvel {
namespace {

constexpr std::size_t kTokenLimit = 100;
constexpr std::size_t kClipBound = 100;

std::size_t CharWidth(std::string_view text, std::size_t i) {
  return IsLeadByte(text[i]) && i + 1 < text.size() ? 2 : 1;
}

}  // namespace

std::size_t PathText::FileNamePart(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

void PathText::ChangeExtension(std::string& path, std::string_view extension, bool replace) {
  std::size_t dot = path.find('.', FileNamePart(path));
  if (dot == std::string::npos) {
    path.append(extension);
  } else if (replace) {
    path.replace(dot, std::string::npos, extension);
  }
}

bool PathText::FileExists(const std::string& path) { return GetPathKind(path) == PathKind::kFile; }

std::string PathText::GetToken(std::string_view text, int index, char delimiter) {
  if (index < 0) return {};
  std::size_t i = 0;
  for (int token = 0; token < index; ++token) {
    while (i < text.size() && text[i] != delimiter) i += CharWidth(text, i);
    if (i >= text.size()) return {};
    ++i;  // the delimiter
  }
  std::string out;
  while (i < text.size() && text[i] != delimiter) {
    std::size_t w = CharWidth(text, i);
    if (out.size() < kTokenLimit) out.append(text.substr(i, w));
    i += w;
  }
  return out;
}

std::string PathText::Clip(std::string_view text, int skip, int maximum) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<int>(i) < skip) {
    if (static_cast<unsigned char>(text[i]) < 0x20) return {};
    i += CharWidth(text, i);
  }
  std::string out;
  while (i < text.size() && out.size() <= kClipBound) {
    if (static_cast<unsigned char>(text[i]) < 0x20) break;
    std::size_t w = CharWidth(text, i);
    if (static_cast<int>(out.size() + w) > maximum) break;
    out.append(text.substr(i, w));
    i += w;
  }
  return out;
}

std::string PathText::SafePathText(std::string_view path) { return TextForMessage(path); }

}  // namespace korvel
