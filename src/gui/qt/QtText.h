#pragma once
// Conversions at the edge between the engine's CP932 texts and Qt's QString. Every text a
// widget shows is made here at the moment of display; every text a user types or the
// clipboard holds enters the engine through here.

#include <QString>
#include <string>
#include <string_view>

namespace korvel {

QString ToQString(std::string_view cp932);
std::string ToCp932(const QString& text);

// A UTF-8 literal of the source as a QString (for the windows' own captions).
inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace korvel
