#include "app/QtText.h"

#include "platform/Codepage.h"

namespace korvel {

QString ToQString(std::string_view cp932) { return QString::fromStdU16String(Cp932ToUtf16(cp932)); }

QString Ui(const char* utf8) { return QString::fromUtf8(utf8); }

std::string ToCp932(const QString& text) { return Utf16ToCp932(text.toStdU16String()); }

}  // namespace korvel
