#include "qt/QtText.h"

#include "platform/Codepage.h"

namespace korvel {

QString ToQString(std::string_view cp932) {
  std::u16string u16 = Cp932ToUtf16(cp932);
  return QString::fromUtf16(u16.data(), static_cast<qsizetype>(u16.size()));
}

std::string ToCp932(const QString& text) {
  return Utf16ToCp932(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                          static_cast<std::size_t>(text.size())));
}

}  // namespace korvel
