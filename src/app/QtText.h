#pragma once
// The crossing between the engine's CP932 texts and Qt's QString, made only at the moment
// a text is shown or typed.

#include <QString>
#include <string>
#include <string_view>

namespace korvel {

QString ToQString(std::string_view cp932);
// A UTF-8 literal of the source (the program's own texts).
QString Ui(const char* utf8);
std::string ToCp932(const QString& text);

}  // namespace korvel
