#include "export/Utf8Text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "platform/Codepage.h"

namespace korvel {
namespace {

using namespace std::string_literals;

const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out.push_back(' ');
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 0xF]);
  }
  return out;
}

// The C library's own reading of one CP932 character, apart from the tables under test;
// U+FFFD where it has none.
class IconvReader {
 public:
  IconvReader() : cd_(iconv_open("UTF-8", "CP932")) {}
  ~IconvReader() {
    if (Usable()) iconv_close(cd_);
  }
  bool Usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  std::string Read(std::string_view cp932) {
    std::string in(cp932);
    char out[16];
    char* inp = in.data();
    char* outp = out;
    std::size_t inLeft = in.size();
    std::size_t outLeft = sizeof out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
      return kReplacementUtf8;
    }
    return std::string(out, sizeof out - outLeft);
  }

 private:
  iconv_t cd_;
};

std::string Convert(const Utf8Text& text, std::string_view cp932) {
  std::string out;
  text.Append(cp932, out);
  return out;
}

const Utf8TextOptions kPlain{};
const Utf8TextOptions kControls{.ControlsAsQuestionMarks = true, .Spellings = {}};
// A format that respells bytes which are also trail bytes ('\\', '|', 0x80) and one that
// is not ('"').
const Utf8TextOptions kEscaping{.ControlsAsQuestionMarks = true,
                                .Spellings = {{'"', "&quot;"}, {'\\', "\\\\"}, {'|', "<bar>"}}};

TEST(Utf8TextTest, EveryDoubleByteCodeReadsAsTheCLibraryReadsIt) {
  IconvReader iconv;
  if (!iconv.Usable()) GTEST_SKIP() << "iconv has no CP932";
  // Respellings and control replacements are for single bytes: a trail byte never takes
  // them.
  const Utf8Text plain(kPlain);
  const Utf8Text escaping(kEscaping);
  std::vector<std::string> wrong;
  int defined = 0;
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      const std::string expected = iconv.Read(code);
      if (expected != kReplacementUtf8) ++defined;
      for (const Utf8Text* text : {&plain, &escaping}) {
        const std::string got = Convert(*text, code);
        if (got != expected)
          wrong.push_back(Hex(code) + " -> " + Hex(got) + ", not " + Hex(expected));
      }
    }
  }
  EXPECT_EQ(wrong, std::vector<std::string>{});
  // CP932's table: JIS X 0208, the NEC and IBM extensions and the user-defined area.
  EXPECT_GT(defined, 9000);
}

TEST(Utf8TextTest, EverySingleByteOfTheCLibraryReadsAsItReadsIt) {
  IconvReader iconv;
  if (!iconv.Usable()) GTEST_SKIP() << "iconv has no CP932";
  const Utf8Text plain(kPlain);
  std::vector<std::string> wrong;
  for (unsigned c = 0x01; c <= 0xDF; ++c) {
    const std::string code(1, static_cast<char>(c));
    if (IsLeadByte(code[0]) || c == 0x80 || c == 0xA0) continue;
    const std::string expected = iconv.Read(code);
    const std::string got = Convert(plain, code);
    if (got != expected) wrong.push_back(Hex(code) + " -> " + Hex(got) + ", not " + Hex(expected));
  }
  EXPECT_EQ(wrong, std::vector<std::string>{});
  EXPECT_EQ(Convert(plain, "\0"s), "\0"s);
}

struct Case {
  const char* what;
  const Utf8TextOptions* options;
  std::string cp932;
  std::string utf8;
};

TEST(Utf8TextTest, SpecialBytes) {
  const Case cases[] = {
      // The Windows code page's single bytes that the C library refuses.
      {"0x80 is U+0080", &kPlain, "\x80", "\xC2\x80"},
      {"0xA0 is U+F8F0", &kPlain, "\xA0", "\xEF\xA3\xB0"},
      {"0xFD is U+F8F1", &kPlain, "\xFD", "\xEF\xA3\xB1"},
      {"0xFE is U+F8F2", &kPlain, "\xFE", "\xEF\xA3\xB2"},
      {"0xFF is U+F8F3", &kPlain, "\xFF", "\xEF\xA3\xB3"},
      // Broken double-byte characters.
      {"a lead byte at the end", &kPlain, "a\x81", "a" + kReplacementUtf8},
      {"a lead byte before a space", &kPlain, "\x81 ", kReplacementUtf8 + " "},
      {"a lead byte before DEL", &kPlain, "\x81\x7F", kReplacementUtf8 + "\x7F"},
      {"a lead byte before a lead byte", &kPlain, "\x81\x20\x88\x9F",
       kReplacementUtf8 + " \xE4\xBA\x9C"},
      {"an undefined code", &kPlain, "\x85\x40", kReplacementUtf8},
      {"a lead byte before a control", &kControls, "\x81\x01", kReplacementUtf8 + "?"},
      // Control characters.
      {"controls kept", &kPlain, "\x01\x1F\x7F", "\x01\x1F\x7F"},
      {"controls replaced", &kControls, "\x01\x1F", "??"},
      {"NUL replaced", &kControls, "a\0b"s, "a?b"},
      {"TAB, CR and LF kept", &kControls, "\t\r\n", "\t\r\n"},
      {"DEL kept", &kControls, "\x7F", "\x7F"},
      {"0x80 alone replaced", &kControls, "\x80", "?"},
      {"0x80 as a trail byte kept", &kControls, "\x81\x80", "\xC3\xB7"},
      {"0xA0 kept", &kControls, "\xA0", "\xEF\xA3\xB0"},
      // Respellings.
      {"a quote respelled", &kEscaping, "a\"b", "a&quot;b"},
      {"a backslash respelled", &kEscaping, "\\", "\\\\"},
      {"a backslash as a trail byte kept", &kEscaping, "\x95\x5C", "\xE8\xA1\xA8"},
      {"a bar as a trail byte kept", &kEscaping, "\x83\x7C|", "\xE3\x83\x9D<bar>"},
      {"a quote after a lone lead byte respelled", &kEscaping, "\x81\"",
       kReplacementUtf8 + "&quot;"},
      {"the respelled bytes kept in plain text", &kPlain, "\"\\|", "\"\\|"},
      {"empty", &kEscaping, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Hex(Convert(Utf8Text(*c.options), c.cp932)), Hex(c.utf8)) << c.what;
  }
}

TEST(Utf8TextTest, PiecesEndAtWholeCharactersAndStayWithinTheirBound) {
  // Every double-byte character, broken pair and respelling once across each cut.
  const std::string text = "a\x95\x5C\"\x81\x7F\x83\x7C\x81\x01\x88\x9F&\x81"s;
  const Utf8Text escaping(kEscaping);
  const std::string whole = Convert(escaping, text);
  for (std::size_t step = 1; step <= 3; ++step) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
      const std::size_t stop = std::min(text.size(), i + step);
      const std::size_t bound = escaping.Bound(stop - i);
      std::string piece(bound, '\0');
      char* o = piece.data();
      const std::size_t next = escaping.Convert(text, i, stop, o);
      ASSERT_GE(next, stop);
      ASSERT_LE(next, stop + 1) << "only a double-byte character may pass the stop";
      ASSERT_LE(static_cast<std::size_t>(o - piece.data()), bound);
      out.append(piece.data(), static_cast<std::size_t>(o - piece.data()));
      i = next;
    }
    EXPECT_EQ(Hex(out), Hex(whole)) << "pieces of " << step;
  }
}

}  // namespace
}  // namespace korvel
