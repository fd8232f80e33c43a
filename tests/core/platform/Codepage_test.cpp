#include "platform/Codepage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace korvel {
namespace {

using namespace std::string_literals;

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

// UTF-16 code units as little- or big-endian bytes.
std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
  std::string bytes;
  for (char16_t u : text) {
    char lo = static_cast<char>(u & 0xFF);
    char hi = static_cast<char>(u >> 8);
    bytes.push_back(bigEndian ? hi : lo);
    bytes.push_back(bigEndian ? lo : hi);
  }
  return bytes;
}

std::string FromUtf16Bytes(std::string_view bytes, bool bigEndian) {
  std::string out;
  Utf16BytesToCp932(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), bigEndian,
                    out);
  return out;
}

TEST(CodepageTest, LeadByteRanges) {
  for (int c = 0; c < 0x100; ++c) {
    bool expected = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(c)), expected) << "byte " << c;
    EXPECT_EQ(IsLeadByte(static_cast<char>(c)), expected) << "byte " << c;
  }
  // Half-width katakana and the bytes just outside the ranges are single bytes.
  static_assert(!IsLeadByte(static_cast<unsigned char>(0x80)));
  static_assert(IsLeadByte(static_cast<unsigned char>(0x81)));
  static_assert(IsLeadByte(static_cast<unsigned char>(0x9F)));
  static_assert(!IsLeadByte(static_cast<unsigned char>(0xA0)));
  static_assert(!IsLeadByte(static_cast<unsigned char>(0xDF)));
  static_assert(IsLeadByte(static_cast<unsigned char>(0xE0)));
  static_assert(IsLeadByte(static_cast<unsigned char>(0xFC)));
  static_assert(!IsLeadByte(static_cast<unsigned char>(0xFD)));
}

TEST(CodepageTest, JapaneseTextRoundTripsThroughEveryForm) {
  const std::string utf8 = "ABC あいう 漢字 表示 ソ ｱｲｳﾟ ① ～ 髙";
  const std::string cp932 =
      "ABC \x82\xA0\x82\xA2\x82\xA4 \x8A\xBF\x8E\x9A \x95\x5C\x8E\xA6 \x83\x5C "
      "\xB1\xB2\xB3\xDF \x87\x40 \x81\x60 \xFB\xFC"s;
  EXPECT_EQ(Hex(Utf8ToCp932(utf8)), Hex(cp932));
  EXPECT_EQ(Cp932ToUtf8(cp932), utf8);

  const std::u16string utf16 = u"ABC あいう 漢字 表示 ソ ｱｲｳﾟ ① ～ 髙";
  EXPECT_EQ(Cp932ToUtf16(cp932), utf16);
  EXPECT_EQ(Hex(Utf16ToCp932(utf16)), Hex(cp932));
  EXPECT_EQ(Hex(FromUtf16Bytes(Utf16Bytes(utf16, false), false)), Hex(cp932));
  EXPECT_EQ(Hex(FromUtf16Bytes(Utf16Bytes(utf16, true), true)), Hex(cp932));

  EXPECT_EQ(Sjis(utf8), cp932);
}

TEST(CodepageTest, HalfWidthKatakanaAreSingleBytes) {
  for (int c = 0xA1; c <= 0xDF; ++c) {
    std::string byte(1, static_cast<char>(c));
    std::u16string unit = Cp932ToUtf16(byte);
    ASSERT_EQ(unit.size(), 1u);
    EXPECT_EQ(unit[0], static_cast<char16_t>(0xFF61 + (c - 0xA1))) << "byte " << c;
    EXPECT_EQ(Utf16ToCp932(unit), byte) << "byte " << c;
    EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8(byte)), byte) << "byte " << c;
  }
}

TEST(CodepageTest, AsciiIsKeptAsItIs) {
  for (int c = 1; c < 0x80; ++c) {
    std::string byte(1, static_cast<char>(c));
    EXPECT_EQ(Cp932ToUtf16(byte), std::u16string(1, static_cast<char16_t>(c))) << "byte " << c;
    EXPECT_EQ(Utf8ToCp932(byte), byte);
    EXPECT_EQ(Cp932ToUtf8(byte), byte);
  }
}

// Every defined double-byte code survives CP932 -> UTF-16 -> CP932 as the same character; in
// the JIS rows (symbols, kana, both kanji levels) it comes back as the very same code, while
// the NEC and IBM duplicates settle on the one code the converter writes.
TEST(CodepageTest, EveryDoubleByteCodeRoundTrips) {
  int defined = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;  // not a trail byte
      std::string code{static_cast<char>(lead), static_cast<char>(trail)};
      std::u16string unicode = Cp932ToUtf16(code);
      ASSERT_EQ(unicode.size(), 1u) << Hex(code);
      if (unicode[0] == 0xFFFD) continue;
      ++defined;
      std::string back = Utf16ToCp932(unicode);
      ASSERT_EQ(back.size(), 2u) << Hex(code);
      EXPECT_EQ(Cp932ToUtf16(back), unicode) << Hex(code);
      bool jisRow =
          lead <= 0x84 || (lead >= 0x88 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEA);
      if (jisRow) {
        EXPECT_EQ(Hex(back), Hex(code));
      }
      EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8(code)), back) << Hex(code);
    }
  }
  // CP932 defines 7915 double-byte characters; a broken table would lose most of them.
  EXPECT_GT(defined, 7000);
}

TEST(CodepageTest, DuplicateCodesSettleOnOneCode) {
  // NEC row 13 "≒" and the JIS one: the JIS code is written.
  EXPECT_EQ(Cp932ToUtf16("\x87\x90"), u"≒");
  EXPECT_EQ(Hex(Utf8ToCp932("≒")), "81 E0");
  // NEC-selected IBM "ⅰ" and IBM "ⅰ": the IBM code is written.
  EXPECT_EQ(Cp932ToUtf16("\xEE\xEF"), u"ⅰ");
  EXPECT_EQ(Cp932ToUtf16("\xFA\x40"), u"ⅰ");
  EXPECT_EQ(Hex(Utf8ToCp932("ⅰ")), "FA 40");
}

TEST(CodepageTest, CharactersWithoutCp932FormBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp932("a€b"), "a?b");
  EXPECT_EQ(Utf8ToCp932("é한"), "??");
  // Outside the basic plane: one character, one '?', in UTF-8 and as a surrogate pair.
  EXPECT_EQ(Utf8ToCp932("x𠮷y"), "x?y");
  EXPECT_EQ(Utf16ToCp932(u"x𠮷y"), "x?y");
  EXPECT_EQ(FromUtf16Bytes(Utf16Bytes(u"𠮷𠮷", true), true), "??");
}

TEST(CodepageTest, InvalidUtf8NeverStopsTheConversion) {
  EXPECT_EQ(Utf8ToCp932("a\x80z"), "a?z");                      // stray continuation byte
  EXPECT_EQ(Utf8ToCp932("a\xFFz"), "a?z");                      // never in UTF-8
  EXPECT_EQ(Utf8ToCp932("a\xE3\x81"), "a?");                    // cut short by the end
  EXPECT_EQ(Utf8ToCp932("\xE3\x81z"), "?z");                    // cut short by a plain byte
  EXPECT_EQ(Utf8ToCp932("\xE3\x81\xE3\x81\x82"), "?\x82\xA0");  // cut short by a new sequence
  EXPECT_EQ(Utf8ToCp932("\xC0\xAF"), "??");                     // overlong '/'
  EXPECT_EQ(Utf8ToCp932("\xE0\x80\xAF"), "?");                  // overlong, three bytes
  EXPECT_EQ(Utf8ToCp932("\xED\xA0\x80z"), "?z");                // an encoded surrogate
  EXPECT_EQ(Utf8ToCp932("\xF4\x90\x80\x80z"), "?z");            // beyond U+10FFFF
  EXPECT_EQ(Utf8ToCp932("\xF5\x80"), "??");
}

TEST(CodepageTest, InvalidUtf16NeverStopsTheConversion) {
  for (bool be : {false, true}) {
    SCOPED_TRACE(be ? "big-endian" : "little-endian");
    EXPECT_EQ(FromUtf16Bytes(Utf16Bytes(u"\xD800"
                                        u"A",
                                        be),
                             be),
              "?A");  // lone high half
    EXPECT_EQ(FromUtf16Bytes(Utf16Bytes(u"A\xDC00"
                                        u"B",
                                        be),
                             be),
              "A?B");                                                      // lone low half
    EXPECT_EQ(FromUtf16Bytes(Utf16Bytes(u"A\xD800", be), be), "A?");       // high half at the end
    EXPECT_EQ(FromUtf16Bytes(Utf16Bytes(u"\xDC00\xD800", be), be), "??");  // halves reversed
    // A trailing odd byte is one invalid unit.
    EXPECT_EQ(FromUtf16Bytes(Utf16Bytes(u"あ", be) + "\x41", be), "\x82\xA0?");
    EXPECT_EQ(FromUtf16Bytes("\x41", be), "?");
  }
  // The byte order matters: the same two bytes are different characters.
  EXPECT_EQ(Hex(FromUtf16Bytes("\x42\x30", false)), "82 A0");  // U+3042
  EXPECT_EQ(FromUtf16Bytes("\x42\x30", true), "?");            // U+4230 has no CP932 form
}

TEST(CodepageTest, InvalidCp932BecomesReplacementCharacter) {
  struct Case {
    std::string cp932;
    std::u16string unicode;
  };
  const Case cases[] = {
      {"a\x85\x40z", u"a\xFFFDz"},  // undefined double-byte code: one character
      {"a\x95", u"a\xFFFD"},        // lead byte at the end
      // A lead byte before a byte that cannot be a trail byte stands alone; the byte after
      // it is read again, so the ASCII character is kept.
      {"\x81"
       "0",
       u"\xFFFD"
       u"0"},
      {"\x81\x7F", u"\xFFFD\x7F"},
      {"\x9F\x3F", u"\xFFFD?"},
      {"\xE0\x20x", u"\xFFFD x"},
      {"\xFC\xFD", u"\xFFFD\xF8F1"},
      {"\x81 \x81\x40", u"\xFFFD \x3000"},  // the lead byte after the blank pairs again
      {"\x81\x0A", u"\xFFFD\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cp932ToUtf16(c.cp932), c.unicode) << Hex(c.cp932);
  }
  EXPECT_EQ(Cp932ToUtf8("a\x95"), "a\xEF\xBF\xBD");
  EXPECT_EQ(Cp932ToUtf8("\x81"
                        "0"),
            "\xEF\xBF\xBD"
            "0");
}

// The single bytes that iconv's CP932 refuses have the Windows code page's forms, and each
// comes back from UTF-8 and UTF-16 (both byte orders) as the same byte.
TEST(CodepageTest, WindowsSingleBytesRoundTrip) {
  const std::pair<char, char16_t> singles[] = {
      {'\x80', 0x0080}, {'\xA0', 0xF8F0}, {'\xFD', 0xF8F1}, {'\xFE', 0xF8F2}, {'\xFF', 0xF8F3}};
  for (auto [byte, unit] : singles) {
    const std::string cp932 = {'a', byte, 'b'};
    const std::u16string utf16 = {u'a', unit, u'b'};
    SCOPED_TRACE(Hex(cp932));
    EXPECT_EQ(Cp932ToUtf16(cp932), utf16);
    EXPECT_EQ(Hex(Utf16ToCp932(utf16)), Hex(cp932));
    EXPECT_EQ(Hex(Utf8ToCp932(Cp932ToUtf8(cp932))), Hex(cp932));
    EXPECT_EQ(Hex(FromUtf16Bytes(Utf16Bytes(utf16, true), true)), Hex(cp932));
    EXPECT_EQ(Hex(FromUtf16Bytes(Utf16Bytes(utf16, false), false)), Hex(cp932));
  }
  // Their neighbours in the private use area keep having no CP932 form.
  EXPECT_EQ(Utf16ToCp932(u"\xF8EF\xF8F4"), "??");
  EXPECT_EQ(Utf8ToCp932("\xC2\x80"), "\x80");
}

TEST(CodepageTest, NulIsCarriedInEveryDirection) {
  const std::string cp932 = "a\0\x95\x5C\0"s;
  EXPECT_EQ(Cp932ToUtf16(cp932), u"a\0表\0"s);
  EXPECT_EQ(Cp932ToUtf8(cp932), "a\0表\0"s);
  EXPECT_EQ(Utf8ToCp932("a\0表\0"s), cp932);
  EXPECT_EQ(Utf16ToCp932(u"a\0表\0"s), cp932);
  EXPECT_EQ(FromUtf16Bytes(Utf16Bytes(u"a\0表\0"s, true), true), cp932);
}

TEST(CodepageTest, ConversionsAppendToTheOutput) {
  std::string out = "x";
  Utf8ToCp932("あ", 3, out);
  EXPECT_EQ(out, "x\x82\xA0");
  Utf16BytesToCp932(reinterpret_cast<const unsigned char*>("A\0"), 2, false, out);
  EXPECT_EQ(out,
            "x\x82\xA0"
            "A");
  // Only the given count is read.
  Utf8ToCp932("bc", 1, out);
  EXPECT_EQ(out,
            "x\x82\xA0"
            "Ab");
  EXPECT_EQ(Utf8ToCp932(""), "");
  EXPECT_EQ(Cp932ToUtf16(""), u"");
}

// What Utf8ToCp932 must give, read one character at a time: a valid sequence takes its
// CP932 form from the UTF-16 converter, a broken one becomes one '?' up to its break.
struct Utf8Reading {
  std::string out;
  std::size_t lost = 0;
  LossLog log;
};

Utf8Reading ReferenceUtf8ToCp932(std::string_view in, std::string prefix) {
  Utf8Reading r;
  r.out = std::move(prefix);
  auto lose = [&](std::uint32_t code) {
    r.out.push_back('?');
    ++r.lost;
    r.log.push_back({r.out.size() - 1, code});
  };
  std::size_t i = 0;
  while (i < in.size()) {
    const auto c = static_cast<unsigned char>(in[i]);
    std::size_t len = c < 0x80                 ? 1
                      : c >= 0xC2 && c <= 0xDF ? 2
                      : c >= 0xE0 && c <= 0xEF ? 3
                      : c >= 0xF0 && c <= 0xF4 ? 4
                                               : 0;
    if (len == 0) {
      lose(kBrokenSequence + c);
      i += 1;
      continue;
    }
    if (len == 1) {
      r.out.push_back(static_cast<char>(c));
      i += 1;
      continue;
    }
    std::uint32_t cp = c & (0x7F >> len);
    std::size_t k = 1;
    while (k < len && i + k < in.size() && (static_cast<unsigned char>(in[i + k]) & 0xC0) == 0x80) {
      cp = cp << 6 | (static_cast<unsigned char>(in[i + k]) & 0x3F);
      ++k;
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (k < len || cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      lose(kBrokenSequence + c);
      i += k;
      continue;
    }
    const std::string form =
        cp < 0x10000 ? Utf16ToCp932(std::u16string(1, static_cast<char16_t>(cp))) : "?";
    if (form == "?") {
      lose(cp);
    } else {
      r.out += form;
    }
    i += len;
  }
  return r;
}

void ExpectSameAsReference(std::string_view in, const std::string& prefix) {
  const Utf8Reading want = ReferenceUtf8ToCp932(in, prefix);
  std::string out = prefix;
  LossLog log;
  const std::size_t lost = Utf8ToCp932(in.data(), in.size(), out, &log);
  ASSERT_EQ(Hex(out), Hex(want.out)) << "input " << Hex(in);
  ASSERT_EQ(lost, want.lost) << "input " << Hex(in);
  ASSERT_EQ(log.size(), want.log.size()) << "input " << Hex(in);
  for (std::size_t k = 0; k < log.size(); ++k) {
    ASSERT_EQ(log[k].Offset, want.log[k].Offset) << "loss " << k << " of " << Hex(in);
    ASSERT_EQ(log[k].Code, want.log[k].Code) << "loss " << k << " of " << Hex(in);
  }
  // Without a log the count is the same.
  std::string again = prefix;
  ASSERT_EQ(Utf8ToCp932(in.data(), in.size(), again), want.lost);
  ASSERT_EQ(again, want.out);
}

// Every kind of character at every offset of an ASCII run, so that the first non-ASCII
// byte falls at each place of an eight-byte word and the run resumes at each place after.
TEST(CodepageTest, Utf8CharactersAtEveryOffsetOfAnAsciiRun) {
  const std::vector<std::string> pieces = {
      "\xC3\xA9",          // é: no CP932 form, lost
      "\xE6\x9D\xB1",      // 東: two bytes in CP932
      "\xEF\xBD\xB6",      // half-width ｶ: one byte
      "\xF0\xA0\xAE\xB7",  // beyond the basic plane: lost
      "\x80",              // a stray continuation byte
      "\xE3\x81",          // cut short
      "\xFF",              // never in UTF-8
      "\xC2\x80",          // U+0080, the Windows single byte 0x80
  };
  const std::string ascii = "0123456789abcdefghijklmnopqrstuv";
  for (const std::string& piece : pieces) {
    for (std::size_t at = 0; at <= 20; ++at) {
      for (std::size_t after : {0, 1, 7, 8, 9}) {
        std::string in = ascii.substr(0, at);
        in += piece;
        in += ascii.substr(0, after);
        ExpectSameAsReference(in, "");
        ExpectSameAsReference(in, "pre\x82\xA0");  // offsets count from the start of `out`
      }
    }
  }
}

// Random mixtures of ASCII runs, characters with and without CP932 forms and broken
// sequences give the same bytes, lost count and loss log as the character-by-character
// reading.
TEST(CodepageTest, Utf8ConversionAgreesWithACharacterReadingOnRandomInput) {
  const std::vector<std::string> pieces = {"a",
                                           "Z",
                                           ",",
                                           "\r\n",
                                           "\t",
                                           std::string(1, '\0'),
                                           "\x7F",
                                           "\xE3\x81\x82",
                                           "\xE6\x9D\xB1",
                                           "\xEF\xBD\xB6",
                                           "\xE2\x82\xAC",
                                           "\xED\x95\x9C",
                                           "\xF0\x9F\x98\x80",
                                           "\xC2\xA5",
                                           "\xC0\xAF",
                                           "\xED\xA0\x80",
                                           "\xE0\x9F\xBF",
                                           "\xF4\x90\x80\x80",
                                           "\xE3",
                                           "\xE3\x81",
                                           "\x80",
                                           "\xBF",
                                           "\xFE",
                                           "\xF5"};
  std::mt19937 rng(1616);
  for (int round = 0; round < 4000; ++round) {
    std::string in;
    const int parts = static_cast<int>(rng() % 24);
    for (int k = 0; k < parts; ++k) {
      if (rng() % 3 == 0) {
        in += std::string(rng() % 20, static_cast<char>('a' + rng() % 26));
      } else {
        in += pieces[rng() % pieces.size()];
      }
    }
    ExpectSameAsReference(in, round % 2 ? "" : "x");
  }
}

// Three-byte sequences in runs take a way of their own, two at a time and then one, through
// a table laid out by a packing of the sequence's bits: every one of the 65536 sequences E0-EF
// 80-BF 80-BF (overlong forms, surrogate halves, characters with and without a CP932 form)
// in runs of every length up to nine, broken by ASCII, converts as the character reading
// says.
TEST(CodepageTest, EveryThreeByteSequenceInRunsOfEveryLength) {
  for (unsigned run = 1; run <= 9; ++run) {
    std::string in;
    for (unsigned u = 0; u < 0x10000; ++u) {
      in += static_cast<char>(0xE0 | u >> 12);
      in += static_cast<char>(0x80 | (u >> 6 & 0x3F));
      in += static_cast<char>(0x80 | (u & 0x3F));
      if ((u + 1) % run == 0) in += u % 2 == 0 ? "," : "ab";
    }
    SCOPED_TRACE("run " + std::to_string(run));
    ExpectSameAsReference(in, "");
  }
}

// ASCII runs pass thirty-two bytes at a step, then sixteen, then eight: runs of every length
// up to three steps, before and after each kind of character, so that the first non-ASCII
// byte falls at every place of each step.
TEST(CodepageTest, Utf8AsciiRunsOfEveryLengthAroundTheSteps) {
  const std::vector<std::string> others = {"\xE6\x9D\xB1",     "\xEF\xBD\xB6", "\xC3\xA9",
                                           "\xF0\xA0\xAE\xB7", "\x80",         "\xE3\x81"};
  std::string ascii;
  for (int k = 0; k < 100; ++k) ascii += static_cast<char>('!' + k % 90);
  for (const std::string& other : others) {
    for (std::size_t before = 0; before <= 100; ++before) {
      for (std::size_t after : {0, 1, 15, 16, 17, 31, 32, 33, 63, 64, 65}) {
        std::string in = ascii.substr(0, before);
        in += other;
        in += ascii.substr(0, after);
        in += other;
        ExpectSameAsReference(in, "");
      }
    }
  }
}

// UTF-16 and EUC-JP pass runs of ASCII in blocks. Runs of every length next to other
// characters convert as the characters do one by one (each call too short for a block):
// the same bytes, lost count and loss log, whether or not the output held text before.
TEST(CodepageTest, AsciiRunsNextToOtherCharactersInUtf16AndEucJp) {
  struct Form {
    const char* name;
    std::vector<std::string> others;  // whole characters, each with its own conversion
    std::string (*encode)(const std::string&);
    std::size_t (*convert)(const std::string&, std::string&, LossLog*);
  };
  const std::vector<Form> forms = {
      {"UTF-16LE",
       {Utf16Bytes(u"\u6771", false), Utf16Bytes(u"\u00E9", false), Utf16Bytes(u"\uFF76", false),
        Utf16Bytes(u"\U00020BB7", false), Utf16Bytes(u"\u0080", false), "\x00\xD8"s, "\x41\x00"s},
       [](const std::string& ascii) {
         return Utf16Bytes(std::u16string(ascii.begin(), ascii.end()), false);
       },
       [](const std::string& in, std::string& out, LossLog* log) {
         return Utf16BytesToCp932(reinterpret_cast<const unsigned char*>(in.data()), in.size(),
                                  false, out, log);
       }},
      {"UTF-16BE",
       {Utf16Bytes(u"\u6771", true), Utf16Bytes(u"\u00E9", true), Utf16Bytes(u"\u0100", true),
        Utf16Bytes(u"\U0001F600", true)},
       [](const std::string& ascii) {
         return Utf16Bytes(std::u16string(ascii.begin(), ascii.end()), true);
       },
       [](const std::string& in, std::string& out, LossLog* log) {
         return Utf16BytesToCp932(reinterpret_cast<const unsigned char*>(in.data()), in.size(),
                                  true, out, log);
       }},
      {"EUC-JP",
       {"\xC5\xEC", "\x8E\xB6", "\x8F\xB0\xA1", "\x8F\xA2\xAF", "\xA4\xA2", "\xFF"},
       [](const std::string& ascii) { return ascii; },
       [](const std::string& in, std::string& out, LossLog* log) {
         return EucJpToCp932(reinterpret_cast<const unsigned char*>(in.data()), in.size(), out,
                             log);
       }},
  };
  const std::string ascii = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGH";
  for (const Form& f : forms) {
    for (const std::string& other : f.others) {
      for (std::size_t before = 0; before <= 40; ++before) {
        for (std::size_t after : {0, 1, 7, 8, 15, 16, 17, 33}) {
          // The text, and its conversion character by character.
          std::vector<std::string> parts;
          for (std::size_t k = 0; k < before; ++k) parts.push_back(f.encode(ascii.substr(k, 1)));
          parts.push_back(other);
          for (std::size_t k = 0; k < after; ++k) parts.push_back(f.encode(ascii.substr(k, 1)));
          parts.push_back(other);
          for (const std::string prefix : {"", "pre"}) {
            std::string in;
            std::string want = prefix;
            LossLog wantLog;
            std::size_t wantLost = 0;
            for (const std::string& part : parts) {
              in += part;
              wantLost += f.convert(part, want, &wantLog);
            }
            std::string got = prefix;
            LossLog gotLog;
            const std::size_t gotLost = f.convert(in, got, &gotLog);
            SCOPED_TRACE(std::string(f.name) + " " + Hex(other) + " before " +
                         std::to_string(before) + " after " + std::to_string(after));
            ASSERT_EQ(Hex(got), Hex(want));
            ASSERT_EQ(gotLost, wantLost);
            ASSERT_EQ(gotLog.size(), wantLog.size());
            for (std::size_t k = 0; k < gotLog.size(); ++k) {
              EXPECT_EQ(gotLog[k].Offset, wantLog[k].Offset);
              EXPECT_EQ(gotLog[k].Code, wantLog[k].Code);
            }
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace korvel
