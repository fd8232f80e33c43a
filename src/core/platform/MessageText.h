#pragma once
// Text that came from outside (a path, an option's value, a name typed by the user) made safe
// to echo inside a message, on standard error or in a box.
//
// Such text may hold anything a file name may hold: control characters that would drive a
// terminal (ESC [ 2 J clears the screen, CR overwrites the line before it), or bytes that
// are no UTF-8 at all. Both functions turn every C0 control character (TAB and LF too),
// DEL, every C1 control character (U+0080 to U+009F) and every byte that does not belong to
// a well-formed UTF-8 sequence (stray continuation bytes, cut or overlong sequences,
// surrogates, code points above U+10FFFF) into one '?' each; so "a\x1b[2Jb" reads "a?[2Jb",
// and an escape sequence is left as harmless printable text. Everything else is kept as it
// is.
//
//   err << "korvel-cli: 左: " << TextForMessage(path) << '\n';            // UTF-8 output
//   Status::Warning(-1, Sjis("…(") + Cp932ForMessage(path) + ")");          // CP932 message

#include <string>
#include <string_view>

namespace korvel {

// `text` (meant to be UTF-8) as safe UTF-8, as described above.
std::string TextForMessage(std::string_view text);

// The same text in CP932, for a message composed in CP932 (Status, Notifier): a character
// without a CP932 form becomes '?' as well.
std::string Cp932ForMessage(std::string_view text);

}  // namespace korvel
