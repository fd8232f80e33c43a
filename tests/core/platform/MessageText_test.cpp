#include "platform/MessageText.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Codepage.h"

namespace korvel {
namespace {

TEST(MessageTextTest, ControlsAndBrokenUtf8BecomeQuestionMarks) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"/tmp/出力 結果.csv", "/tmp/出力 結果.csv"},  // kept as it is
      {"a\x1b[2Jb", "a?[2Jb"},                       // an escape sequence loses its ESC
      {"a\tb\nc\rd\x7f", "a?b?c?d?"},                // C0 and DEL
      {"\xc2\x9b"
       "31m\xc2\x85",
       "?31m?"},                                 // C1 (CSI, NEL) as UTF-8
      {"\xc2\xa0\xc2\xa9", "\xc2\xa0\xc2\xa9"},  // the next characters are text
      {"\x9b\xff\x80", "???"},                   // bytes that begin nothing
      {"\xe3\x81", "??"},                        // a cut sequence
      {"\xc0\xaf\xe0\x80\xaf", "?????"},         // overlong forms
      {"\xed\xa0\x80", "???"},                   // a surrogate
      {"\xf4\x90\x80\x80", "????"},              // beyond U+10FFFF
      {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},  // a character outside the BMP
      {std::string("a\0b", 3), "a?b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextForMessage(c.text), c.shown) << c.text;
  }
  EXPECT_EQ(Cp932ForMessage("出力\x1b[2J.csv"), Sjis("出力?[2J.csv"));
}

}  // namespace
}  // namespace korvel
