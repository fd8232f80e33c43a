#include "io/DelimitedReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"

namespace korvel {
namespace {

using test::Cat;
using test::S;
using test::TempDir;
using Records = std::vector<std::vector<std::string>>;

struct ReadOptions {
  char delimiter = ',';
  int tabOldType = 0;
  int newlineMode = 0;
  int nameMode = 0;
  int encoding = kEncodingSjis;
  int adopt = 1;
};

// Reads every record of `path`; a negative ReadRecord ends the list with a record holding
// "#" and the code.
Records ReadAll(const std::string& path, const ReadOptions& o = {}, int* openResult = nullptr) {
  DelimitedReader csv;
  csv.SetTabOldType(o.tabOldType);
  csv.SetNewlineMode(o.newlineMode);
  csv.SetDelimiter(o.delimiter);
  int r = csv.Open(path, o.nameMode, o.encoding, o.adopt);
  if (openResult) *openResult = r;
  Records records;
  if (r != 0) return records;
  for (;;) {
    int n = csv.ReadRecord();
    if (n < 0) {
      records.push_back({"#" + std::to_string(n)});
      break;
    }
    if (n == 0) break;
    std::vector<std::string> fields;
    for (int i = 0; i < n; ++i) fields.emplace_back(csv.GetField(i));
    records.push_back(fields);
  }
  return records;
}

// What a reader keeps of a value longer than 500 bytes: its start, up to the end of the
// character (a lead byte takes the next byte) that passes 500 bytes.
std::string Kept(const std::string& value) {
  auto lead = [](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); };
  std::size_t i = 0;
  while (i <= 500 && i < value.size()) i += lead(static_cast<unsigned char>(value[i])) ? 2 : 1;
  return value.substr(0, i);
}

Records Kept(Records records) {
  for (auto& record : records) {
    for (auto& value : record) value = Kept(value);
  }
  return records;
}

class CsvTest : public ::testing::Test {
 protected:
  Records Read(std::string_view bytes, const ReadOptions& o = {}) {
    return ReadAll(dir_.Write("in.txt", bytes), o);
  }
  ReadOptions Tab(int newlineMode = 0) {
    ReadOptions o;
    o.delimiter = '\t';
    o.newlineMode = newlineMode;
    return o;
  }
  TempDir dir_;
};

TEST_F(CsvTest, LineEndsAndEmptyFields) {
  EXPECT_EQ(Read("a,b,\r\n"), (Records{{"a", "b", ""}}));
  EXPECT_EQ(Read("a,b,"), (Records{{"a", "b"}}));  // the last empty cell is not stored at EOF
  EXPECT_EQ(Read("\r\nx\r\n"), (Records{{""}, {"x"}}));
  EXPECT_EQ(Read("a\rb\nc\r\nd"), (Records{{"a"}, {"b"}, {"c"}, {"d"}}));
  EXPECT_EQ(Read("a\n\nb"), (Records{{"a"}, {""}, {"b"}}));
  EXPECT_EQ(Read("a\r\n"), (Records{{"a"}}));  // no extra record for the final line break
}

TEST_F(CsvTest, CsvQuotingRules) {
  EXPECT_EQ(Read("a\"b,c\"d,e\r\n"), (Records{{"ab,cd", "e"}}));
  EXPECT_EQ(Read("\"x\"\"y\",\"\"\r\n"), (Records{{"x\"y", ""}}));
  EXPECT_EQ(Read("\"a,b\r\nc\",z\r\n", {.newlineMode = 1}),
            (Records{{"a,b" + S("　") + "c", "z"}}));
  // The store rule keeps a value up to its first control byte other than TAB.
  EXPECT_EQ(Read("\"a\tb\x01z\",c\r\n"), (Records{{"a\tb", "c"}}));
  // Unclosed quote at the end of the input: the cell gathered so far.
  EXPECT_EQ(Read("a,\"bc"), (Records{{"a", "bc"}}));
  EXPECT_EQ(Read("a,\""), (Records{{"a"}}));
}

// Under the CSV rules a quote that never closes would take every later line into one cell,
// which the store rule then cuts at its first line break: a stray quote must stop the read
// with the line it opened on, counted over the file's own line breaks, names included.
TEST_F(CsvTest, UnclosedQuoteThatWouldSwallowLinesIsAnError) {
  struct Case {
    const char* what;
    std::string input;
    ReadOptions options;
    Records expected;  // a record {"#-3"} ends the list on the error
    long long line;    // the line the message names; 0 when there is no error
  };
  const Case cases[] = {
      {"a stray quote in a middle line",
       "a,b\r\nc,\"d\r\ne,f\r\ng,h\r\n",
       {},
       {{"a", "b"}, {"#-3"}},
       2},
      {"the name line counts",
       "n1,n2\r\nx,y\r\nz,\"q\r\nw\r\n",
       {.nameMode = 1},
       {{"x", "y"}, {"#-3"}},
       3},
      {"LF, lone CR and CR LF each end one line",
       "a\nb\rc\r\nd,\"e\r\nf",
       {},
       {{"a"}, {"b"}, {"c"}, {"#-3"}},
       4},
      {"a quoted line break before the stray quote counts",
       "\"a\r\nb\",c\r\nd\"e\r\nf\r\n",
       {},
       {{"a", "c"}, {"#-3"}},
       3},
      {"a cell quoted again is named by its first quote",
       "x\r\n\"a\r\nb\"c\"d\r\ne",
       {},
       {{"x"}, {"#-3"}},
       2},
      {"a doubled quote after the line break is text", "\"a\r\n\"\"", {}, {{"#-3"}}, 1},
      {"text far past what a value keeps",
       Cat("k,\"a\r\n", std::string(3000, 'y'), "\r\nz"),
       {},
       {{"#-3"}},
       1},
      {"the newline replacement changes nothing",
       "x\r\n\"a\r\nb\r\n",
       {.newlineMode = 1},
       {{"x"}, {"#-3"}},
       2},
      {"TAB files under the CSV rules",
       "x\ty\r\n\"a\r\nb\r\n",
       {.delimiter = '\t', .tabOldType = 1},
       {{"x", "y"}, {"#-3"}},
       2},
      // A CR taken as a lead byte's trail byte still ends its line, with its LF.
      {"a CR LF after a lead byte ends one line", "\x81\r\n\"a\r\nb", {}, {{"\x81"}, {"#-3"}}, 2},
      {"a CR after a lead byte ends a line", "\x81\rx,\"a\r\nb", {}, {{"#-3"}}, 2},
      // Nothing but line breaks after the cell's first one: nothing is lost, as before.
      {"only the final line break", "1,a\r\n2,\"x\r\n", {}, {{"1", "a"}, {"2", "x"}}, 0},
      {"only line breaks", "2,\"x\r\n\r\n\n\r", {}, {{"2", "x"}}, 0},
      {"no line break at all", "2,\"x", {}, {{"2", "x"}}, 0},
      {"a closed multi-line cell", "\"a\r\nb\"\r\nc\r\n", {}, {{"a"}, {"c"}}, 0},
      // The TAB rules fall back to the lines instead.
      {"TAB rules", "k\t\"a\r\nb\r\nc", {.delimiter = '\t'}, {{"k", "\"a"}, {"b"}, {"c"}}, 0},
  };
  for (const Case& c : cases) {
    DelimitedReader csv;
    csv.SetDelimiter(c.options.delimiter);
    csv.SetTabOldType(c.options.tabOldType);
    csv.SetNewlineMode(c.options.newlineMode);
    ASSERT_EQ(csv.Open(dir_.Write("in.txt", c.input), c.options.nameMode, kEncodingSjis, 1), 0)
        << c.what;
    Records records;
    for (int n; (n = csv.ReadRecord()) != 0;) {
      if (n < 0) {
        records.push_back({"#" + std::to_string(n)});
        break;
      }
      std::vector<std::string> fields;
      for (int i = 0; i < n; ++i) fields.emplace_back(csv.GetField(i));
      records.push_back(fields);
    }
    EXPECT_EQ(records, c.expected) << c.what;
    const std::string message =
        c.line == 0 ? std::string()
                    : Cat(S("引用符が閉じられていません。("), std::to_string(c.line), S("行目)"));
    EXPECT_EQ(std::string(csv.GetError()), message) << c.what;
  }
}

// The same fault in the name line fails the opening with the same text.
TEST_F(CsvTest, UnclosedQuoteInTheNameLineFailsTheOpening) {
  DelimitedReader csv;
  EXPECT_EQ(csv.Open(dir_.Write("in.txt", "a,\"b\r\nc,d\r\n"), 1, kEncodingSjis, 1),
            DelimitedReader::kOpenUnclosedQuote);
  EXPECT_EQ(std::string(csv.GetError()), S("引用符が閉じられていません。(1行目)"));
  EXPECT_EQ(csv.ReadRecord(), 0);
}

TEST_F(CsvTest, NewlineModesInQuotedCells) {
  const std::string in = "\"l1\r\nl2\",x\r\n";
  EXPECT_EQ(Read(in, {.newlineMode = 0}), (Records{{"l1", "x"}}));
  EXPECT_EQ(Read(in, {.newlineMode = 1}), (Records{{"l1" + S("　") + "l2", "x"}}));
  EXPECT_EQ(Read(in, {.newlineMode = 2}), (Records{{"l1" + S("¶") + "l2", "x"}}));
  EXPECT_EQ(Read(in, {.newlineMode = 7}), (Records{{"l1", "x"}}));  // unknown: like 0
  // A lone CR and a lone LF each count as one line break.
  EXPECT_EQ(Read("\"a\rb\nc\"\r\n", {.newlineMode = 2}),
            (Records{{"a" + S("¶") + "b" + S("¶") + "c"}}));
}

TEST_F(CsvTest, TabRulesKeepOneLineQuotesRaw) {
  EXPECT_EQ(Read("\"abc\"\tx\r\n", Tab()), (Records{{"\"abc\"", "x"}}));
  EXPECT_EQ(Read("\"a\"\"b\"\r\n", Tab()), (Records{{"\"a\"\"b\""}}));
  EXPECT_EQ(Read("a\"b\"c\r\n", Tab()), (Records{{"a\"b\"c"}}));
  EXPECT_EQ(Read("\"\"\tx\r\n", Tab()), (Records{{"\"\"", "x"}}));
  EXPECT_EQ(Read("\"\"\tx\r\n", {.delimiter = '\t', .tabOldType = 1}), (Records{{"", "x"}}));
  // A quote followed by text ends the quoting; the rest is literal.
  EXPECT_EQ(Read("\"ab\"c\td\r\n", Tab()), (Records{{"\"ab\"c", "d"}}));
  // A TAB inside a one-line quoted cell ends the cell with its raw text.
  EXPECT_EQ(Read("\"ab\tc\r\n", Tab()), (Records{{"\"ab", "c"}}));
}

TEST_F(CsvTest, TabRulesMultiLineCellIsTakenApart) {
  const std::string in = "\"l1\r\nl2 \"\"q\"\"\"\tx\r\n";
  EXPECT_EQ(Read(in, Tab(2)), (Records{{"l1" + S("¶") + "l2 \"q\"", "x"}}));
  EXPECT_EQ(Read(in, Tab(0)), (Records{{"l1", "x"}}));
  // A lone LF inside the cell becomes CR LF, then the replacement pair.
  EXPECT_EQ(Read("\"a\nb\"\r\n", Tab(1)), (Records{{"a" + S("　") + "b"}}));
  // Closing quote as the very last byte of a file without a final line break.
  EXPECT_EQ(Read("\"a\r\nb\"", Tab(2)), (Records{{"a" + S("¶") + "b"}}));
  EXPECT_EQ(Read("x\t\"ab\"", Tab()), (Records{{"x", "\"ab\""}}));
}

TEST_F(CsvTest, TabRulesFallbackLosesAndRepeatsNothing) {
  EXPECT_EQ(Read("\"a\r\nb\"c\td\r\n", Tab()), (Records{{"\"a"}, {"b\"c", "d"}}));
  // A TAB inside a multi-line cell falls back too; the TAB itself is read afterwards.
  EXPECT_EQ(Read("x\t\"a\r\nb\tc\r\n", Tab()), (Records{{"x", "\"a"}, {"b", "c"}}));
  // The re-read text runs into a fallback of its own.
  EXPECT_EQ(Read("\"a\r\n\"\"\"z\r\nw\"q\r\n", Tab()), (Records{{"\"a"}, {"\"\"\"z"}, {"w\"q"}}));
  // An unclosed multi-line cell at the end of the input keeps its later lines as records.
  EXPECT_EQ(Read("k\t\"a\r\nb\r\nc", Tab()), (Records{{"k", "\"a"}, {"b"}, {"c"}}));
  EXPECT_EQ(Read("\"abc", Tab()), (Records{{"\"abc"}}));
}

TEST_F(CsvTest, TabRulesCellSizeLimit) {
  std::string big = "\"" + std::string(10001, 'x');
  Records r = Read(big + "\"\r\n", Tab());
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0][0], "#-9");
  DelimitedReader csv;
  csv.SetDelimiter('\t');
  ASSERT_EQ(csv.Open(dir_.Write("big.txt", "ab\t" + big + "\"\r\n"), 0, 0, 1), 0);
  EXPECT_EQ(csv.ReadRecord(), DelimitedReader::kReadCellTooLarge);
  EXPECT_EQ(std::string(csv.GetError()),
            S("セル内のデータが大きすぎます。(") + "\"" + std::string(19, 'x') + S("・・・)"));
  EXPECT_EQ(csv.FieldCount(), 0);
  EXPECT_STREQ(csv.GetField(0), "");
  // Exactly 10,000 bytes of cell (quote included) still pass.
  std::string fits = "\"" + std::string(9998, 'y') + "\"";
  EXPECT_EQ(Read(fits + "\r\n", Tab()), (Records{{Kept(fits)}}));
  // A double-byte character that would not fit whole is left out of the message.
  ASSERT_EQ(csv.Open(dir_.Write("big2.txt", "\"" + std::string(18, 'z') + S("表") +
                                                std::string(10000, 'x') + "\r\n"),
                     0, 0, 1),
            0);
  EXPECT_EQ(csv.ReadRecord(), DelimitedReader::kReadCellTooLarge);
  EXPECT_EQ(std::string(csv.GetError()),
            S("セル内のデータが大きすぎます。(") + "\"" + std::string(18, 'z') + S("・・・)"));
  // The CSV rules have no cell limit (only the start of a long value is kept); a multi-line
  // TAB cell over the limit falls back.
  EXPECT_EQ(Read(big + "\"\r\n"), (Records{{std::string(501, 'x')}}));
  Records fallback = Read("\"a\r\n" + std::string(10001, 'y') + "\r\n", Tab());
  EXPECT_EQ(fallback, (Records{{"\"a"}, {std::string(501, 'y')}}));
}

// The one-line quoted cell's limit sits between 10,000 and 10,001 bytes: the cell, opening
// quote included, is measured before each single-byte character (the closing quote, a
// TAB, or a data byte), and it fails once it already holds 10,001 bytes. A double-byte
// character is copied without a look at the size, so only the next single-byte character
// can trip the limit.
TEST_F(CsvTest, TabRulesQuotedCellLimitEdge) {
  const std::string q = "\"";
  const std::string hyo = S("表");
  auto xs = [](std::size_t n) { return std::string(n, 'x'); };
  auto kanji = [&hyo](std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += hyo;
    return out;
  };
  struct Case {
    const char* what;
    std::string input;
    Records expected;  // {{"#-9"}} when the cell is too large
  };
  const Records tooLarge = {{"#-9"}};
  const Case cases[] = {
      // Before the closing quote: 10,000 bytes pass, 10,001 fail.
      {"10000 before the closing quote", Cat(q, xs(9999), q, "\r\n"), {{Cat(q, xs(9999), q)}}},
      {"10001 before the closing quote", Cat(q, xs(10000), q, "\r\n"), tooLarge},
      // The same edge before a TAB that ends the cell with its raw text.
      {"10000 before a TAB", Cat(q, xs(9999), "\tz\r\n"), {{Cat(q, xs(9999)), "z"}}},
      {"10001 before a TAB", Cat(q, xs(10000), "\tz\r\n"), tooLarge},
      // The cell is counted from its own opening quote, not from the start of the line.
      {"second field, 10000", Cat("k\t", q, xs(9999), q, "\r\n"), {{"k", Cat(q, xs(9999), q)}}},
      {"second field, 10001", Cat("k\t", q, xs(10000), q, "\r\n"), tooLarge},
      // Before each data byte: the end of the input stores what was gathered.
      {"10000 before the last byte", Cat(q, xs(10000)), {{Cat(q, xs(10000))}}},
      {"10001 before the last byte", Cat(q, xs(10001)), tooLarge},
      // A last character that is double-byte counts two bytes.
      {"double-byte last, 10000", Cat(q, xs(9997), hyo, q, "\r\n"), {{Cat(q, xs(9997), hyo, q)}}},
      {"double-byte last, 10001", Cat(q, xs(9998), hyo, q, "\r\n"), tooLarge},
      {"double-byte only, 10000",
       Cat(q, "x", kanji(4999), q, "\r\n"),
       {{Cat(q, "x", kanji(4999), q)}}},
      {"double-byte only, 10001", Cat(q, kanji(5000), q, "\r\n"), tooLarge},
      // No check before a double-byte character: it may carry the cell past the limit,
      // and the input may end there.
      {"double-byte past the limit at the end", Cat(q, xs(10000), hyo), {{Cat(q, xs(10000), hyo)}}},
      {"double-byte past the limit, then a quote", Cat(q, xs(9999), hyo, q, "\r\n"), tooLarge},
      // The same for a lead byte that takes a control byte with it (the store rule then
      // ends the value after the lead byte).
      {"lead and control byte past the limit at the end",
       Cat(q, xs(10000), "\x81\x01"),
       {{Cat(q, xs(10000), "\x81")}}},
  };
  for (const Case& c : cases) {
    // The cells that pass are delivered as far as a value is kept.
    EXPECT_EQ(Read(c.input, Tab()), Kept(c.expected)) << c.what;
  }
}

TEST_F(CsvTest, DoubleByteCharactersAreNeverSplit) {
  // 0x83 0x7C is a katakana whose second byte is '|'.
  std::string po = "\x83\x7C";
  EXPECT_EQ(Read("a" + po + "b|c\r\n", {.delimiter = '|'}), (Records{{"a" + po + "b", "c"}}));
  // A trail byte equal to a quote-like or backslash byte is data.
  std::string hyo = S("表");  // 0x95 0x5C
  EXPECT_EQ(Read("\"" + hyo + "\",x\r\n"), (Records{{hyo, "x"}}));
  // Half-width katakana are single bytes.
  EXPECT_EQ(Read("\xB1\xB2,\xB3\r\n"), (Records{{"\xB1\xB2", "\xB3"}}));
}

// A lead byte takes the next byte with it even when that is a control byte, but the store
// rule still ends the value there: no value may hold a line break or a NUL.
TEST_F(CsvTest, AControlByteAfterALeadByteStillEndsTheValue) {
  auto views = [this](std::string_view bytes, const ReadOptions& o) {
    DelimitedReader csv;
    csv.SetDelimiter(o.delimiter);
    Records records;
    if (csv.Open(dir_.Write("in.txt", bytes), 0, kEncodingSjis, 1) != 0) return records;
    for (int n; (n = csv.ReadRecord()) > 0;) {
      std::vector<std::string> fields;
      for (int i = 0; i < n; ++i) fields.emplace_back(csv.FieldView(i));
      records.push_back(fields);
    }
    return records;
  };
  const std::string cr("a\x81\rb", 4);
  const std::string nul("x\x82\0y", 4);
  EXPECT_EQ(views(cr + ",c\r\n" + nul + ",z\r\n", {}), (Records{{"a\x81", "c"}, {"x\x82", "z"}}));
  EXPECT_EQ(views(cr + "\tc\r\n", Tab()), (Records{{"a\x81", "c"}}));
  EXPECT_EQ(views("\"" + nul + "\",z\r\n", {}), (Records{{"x\x82", "z"}}));
  // A TAB after a lead byte is no control byte.
  EXPECT_EQ(views("a\x83\tb,c\r\n", {}), (Records{{"a\x83\tb", "c"}}));
}

// The delimiter may be any byte. A quote as delimiter only ever opens and closes quotes, and
// a lead byte as delimiter only ever begins a character: neither ends a field, and the text
// before it stays in front of it, in every encoding and wherever the file's pieces are cut.
TEST_F(CsvTest, ADelimiterThatCannotEndAFieldKeepsTheTextInOrder) {
  struct Case {
    std::string text;  // Shift-JIS
    char delimiter;
    Records expected;
  };
  const std::vector<Case> cases = {
      {"a\"b\"c\r\nd\r\n", '"', {{"abc"}, {"d"}}},
      {"x,\"y\"\"z\",w\r\n", '"', {{"x,y\"z,w"}}},
      {"p\"\"q\r\n", '"', {{"pq"}}},
      // The lead byte takes the control byte after it as its trail; the store rule ends the
      // value before that control byte.
      {std::string("abcd\x81\x01,x\r\nef\r\n"), '\x81', {{"abcd\x81"}, {"ef"}}},
  };
  auto encode = [](const std::string& text, int encoding) {
    if (encoding == kEncodingUtf8) return Cp932ToUtf8(text);
    if (encoding != kEncodingUtf16) return text;
    std::string bytes;
    for (char16_t u : Cp932ToUtf16(text)) {
      bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    }
    return bytes;
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.text, {.delimiter = c.delimiter}), c.expected) << c.text;
    // Text that a Shift-JIS byte alone stands for reads the same through the other
    // encodings; put behind padding lines, the piece cut falls at every place in it.
    if (IsLeadByte(c.delimiter)) continue;
    for (std::size_t pad = 1000; pad <= 1024; ++pad) {
      std::string text;
      Records expected;
      for (std::size_t i = 0; i < pad / 2; ++i) {
        const std::string line = i == 0 && pad % 2 == 1 ? "pp" : "p";
        text += line + "\n";
        expected.push_back({line});
      }
      text += c.text;
      expected.insert(expected.end(), c.expected.begin(), c.expected.end());
      for (int encoding : {kEncodingSjis, kEncodingUtf8, kEncodingUtf16}) {
        EXPECT_EQ(Read(encode(text, encoding), {.delimiter = c.delimiter, .encoding = encoding}),
                  expected)
            << c.text << " encoding " << encoding << " pad " << pad;
      }
    }
  }
}

TEST_F(CsvTest, NameModeAndFieldLimits) {
  std::string names;
  for (int i = 0; i < 1000; ++i) {
    if (i) names += ',';
    names += std::to_string(i);
  }
  {
    DelimitedReader csv;
    ASSERT_EQ(csv.Open(dir_.Write("n1000.csv", names + "\r\na,b\r\n"), 1, 0, 1), 0);
    EXPECT_EQ(csv.FieldNameCount(), 1000);
    EXPECT_STREQ(csv.GetFieldName(999), "999");
    EXPECT_STREQ(csv.GetFieldName(1000), "");
    EXPECT_EQ(csv.ReadRecord(), 2);  // the name line is not delivered as data
    EXPECT_STREQ(csv.GetField(0), "a");
  }
  {
    DelimitedReader csv;
    EXPECT_EQ(csv.Open(dir_.Write("n1001.csv", names + ",x\r\n"), 1, 0, 1),
              DelimitedReader::kOpenTooMany);
    EXPECT_EQ(std::string(csv.GetError()), S("フィールド数をオーバーしました。"));
  }
  {
    DelimitedReader csv;
    ASSERT_EQ(csv.Open(dir_.Write("d1001.csv", "h\r\n" + names + ",x\r\nok\r\n"), 1, 0, 1), 0);
    EXPECT_EQ(csv.ReadRecord(), DelimitedReader::kReadTooMany);
    EXPECT_EQ(std::string(csv.GetError()), S("フィールド数をオーバーしました。"));
    EXPECT_EQ(csv.FieldCount(), 0);
  }
  {
    // Without a name line a record may hold any number of fields.
    DelimitedReader csv;
    ASSERT_EQ(csv.Open(dir_.Write("w.csv", names + ",x\r\n"), 0, 0, 1), 0);
    EXPECT_EQ(csv.ReadRecord(), 1001);
  }
  {
    DelimitedReader csv;
    EXPECT_EQ(csv.Open(dir_.Write("bomonly.csv", "\xEF\xBB\xBF"), 1, kEncodingUtf8, 1),
              DelimitedReader::kOpenNoFields);
    EXPECT_EQ(std::string(csv.GetError()), S("フィールドが存在しません。"));
    ASSERT_EQ(csv.Open(dir_.File("bomonly.csv"), 0, kEncodingUtf8, 1), 0);
    EXPECT_EQ(csv.ReadRecord(), 0);
    EXPECT_EQ(csv.ReadRecord(), 0);
  }
  {
    // Names pass through the store rule too.
    DelimitedReader csv;
    ASSERT_EQ(csv.Open(dir_.Write("nm.csv", "\"a\r\nb\",c\r\n"), 1, 0, 1), 0);
    EXPECT_STREQ(csv.GetFieldName(0), "a");
    EXPECT_STREQ(csv.GetFieldName(1), "c");
  }
}

TEST_F(CsvTest, OpenFailuresGiveTheirMessages) {
  struct Case {
    std::string path;
    int encoding;
    int adopt;
    const char* message;
  };
  std::vector<Case> cases = {
      {dir_.File("missing.csv"), 0, 1, "ファイルが見つかりません。"},
      {dir_.Path(), 0, 1, "ファイルが見つかりません。"},
      {dir_.Write("empty.csv", ""), 0, 1, "データがありません。"},
      {dir_.Write("u16.csv",
                  "\xFF\xFE"
                  "a\0"),
       0, 0, "文字コードが異なります。"},
  };
  for (const Case& c : cases) {
    DelimitedReader csv;
    EXPECT_EQ(csv.Open(c.path, 0, c.encoding, c.adopt), DelimitedReader::kOpenFailed) << c.path;
    EXPECT_EQ(Cp932ToUtf8(csv.GetError()), c.message) << c.path;
    EXPECT_EQ(csv.ReadRecord(), 0);
  }
}

TEST_F(CsvTest, EncodingsAndMarks) {
  const std::string text = S("名前,値\r\n表ソ,ｱｲ\r\n");
  const Records expected = {{S("名前"), S("値")}, {S("表ソ"), S("ｱｲ")}};
  std::string utf8 = Cp932ToUtf8(text);
  std::u16string u16 = Cp932ToUtf16(text);
  std::string le, be;
  for (char16_t u : u16) {
    le += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    be += {static_cast<char>(u >> 8), static_cast<char>(u & 0xFF)};
  }
  struct Case {
    std::string bytes;
    int requested;
    int adopt;
    int inForce;
  };
  std::vector<Case> cases = {
      {text, kEncodingSjis, 1, kEncodingSjis},
      {utf8, kEncodingUtf8, 1, kEncodingUtf8},
      {"\xEF\xBB\xBF" + utf8, kEncodingSjis, 1, kEncodingUtf8},
      {"\xEF\xBB\xBF" + utf8, kEncodingUtf8, 0, kEncodingUtf8},
      {le, kEncodingUtf16, 1, kEncodingUtf16},
      {"\xFF\xFE" + le, kEncodingSjis, 1, kEncodingUtf16},
      {"\xFE\xFF" + be, kEncodingSjis, 1, kEncodingUtf16Be},
      {"\xFE\xFF" + be, kEncodingUtf16, 1, kEncodingUtf16Be},
  };
  for (const Case& c : cases) {
    DelimitedReader csv;
    ASSERT_EQ(csv.Open(dir_.Write("e.csv", c.bytes), 0, c.requested, c.adopt), 0);
    EXPECT_EQ(csv.GetEncoding(), c.inForce);
    EXPECT_EQ(ReadAll(dir_.File("e.csv"), {.encoding = c.requested, .adopt = c.adopt}), expected)
        << "requested " << c.requested << " in force " << c.inForce;
  }
  // Invalid sequences become '?' and never stop the reader.
  EXPECT_EQ(Read("a\xC3,\xFF"
                 "b\r\n",
                 {.encoding = kEncodingUtf8}),
            (Records{{"a?", "?b"}}));
  EXPECT_EQ(Read(std::string("a\0\x00\xD8,\0", 6), {.encoding = kEncodingUtf16}),
            (Records{{"a?"}}));
}

// Builds CSV text from records, quoting every field that needs it.
std::string ToCsv(const Records& records) {
  std::string out;
  for (const auto& rec : records) {
    for (std::size_t i = 0; i < rec.size(); ++i) {
      if (i) out += ',';
      const std::string& f = rec[i];
      if (f.find_first_of(",\"\r\n") == std::string::npos) {
        out += f;
        continue;
      }
      out += '"';
      for (char c : f) out += c == '"' ? std::string("\"\"") : std::string(1, c);
      out += '"';
    }
    out += "\r\n";
  }
  return out;
}

// Every sequence that must not be split, put across the piece cut (bytes 1014-1024) at
// every offset, in every encoding: the records must read as the same content read whole.
TEST_F(CsvTest, SequencesAcrossThePieceCutReadAsWhole) {
  const std::vector<std::string> specials = {S("表ソ能"), "x\"y",      "a\r\nb",
                                             "\"\"",      S("漢字ｶﾅ"), "p,q"};
  for (int encoding : {kEncodingSjis, kEncodingUtf8, kEncodingUtf16}) {
    for (const std::string& special : specials) {
      for (int pad = 990; pad <= 1030; ++pad) {
        Records records = {
            {std::string(static_cast<std::size_t>(pad), 'p')}, {special + special, "z"}, {"tail"}};
        if (encoding == kEncodingUtf16) records[0][0].resize(static_cast<std::size_t>(pad / 2));
        std::string text = ToCsv(records);
        std::string bytes = text;
        if (encoding == kEncodingUtf8) bytes = Cp932ToUtf8(text);
        if (encoding == kEncodingUtf16) {
          bytes.clear();
          for (char16_t u : Cp932ToUtf16(text)) {
            bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
          }
        }
        // The padding record is longer than a value is kept; the sequences come after it.
        Records expected = Kept(records);
        // Newline mode 1 keeps every line of a multi-line cell.
        for (auto& rec : expected) {
          for (auto& f : rec) {
            for (std::size_t at; (at = f.find("\r\n")) != std::string::npos;) {
              f.replace(at, 2, S("　"));
            }
          }
        }
        ASSERT_EQ(Read(bytes, {.newlineMode = 1, .encoding = encoding}), expected)
            << "encoding " << encoding << " pad " << pad;
      }
    }
  }
}

TEST_F(CsvTest, SurrogatePairsAcrossTheCutBecomeOneCharacter) {
  for (int pad = 499; pad <= 514; ++pad) {
    std::string bytes;
    // The padding is a field of its own, so that the pairs fall into a value kept whole.
    for (int i = 0; i < pad; ++i) bytes += {'a', '\0'};
    bytes += {',', '\0'};
    for (int i = 0; i < 4; ++i) bytes += "\x42\xD8\xB7\xDF";  // U+20BB7, no CP932 form
    bytes += {',', '\0', 'b', '\0', '\r', '\0', '\n', '\0'};
    EXPECT_EQ(Read(bytes, {.encoding = kEncodingUtf16}),
              (Records{{Kept(std::string(static_cast<std::size_t>(pad), 'a')), "????", "b"}}))
        << pad;
  }
}

TEST_F(CsvTest, TabRulesAcrossTheCut) {
  for (int pad = 1000; pad <= 1026; ++pad) {
    std::string in =
        Cat(std::string(static_cast<std::size_t>(pad), 'p'), "\t\"q\r\nr \"\"s\"\"\"\tt\r\n");
    const std::string kept = Kept(std::string(static_cast<std::size_t>(pad), 'p'));
    EXPECT_EQ(Read(in, Tab(2)), (Records{{kept, Cat("q", S("¶"), "r \"s\""), "t"}})) << pad;
    std::string fb = std::string(static_cast<std::size_t>(pad), 'p') + "\t\"a\r\nb\"c\td\r\n";
    EXPECT_EQ(Read(fb, Tab()), (Records{{kept, "\"a"}, {"b\"c", "d"}})) << pad;
  }
}

// Fails every read after the first `okReads` reads of one file.
class FailingReads : public FileSystem {
 public:
  explicit FailingReads(int okReads) : okReads_(okReads) {}
  ssize_t Read(int fd, void* buffer, std::size_t count) override {
    if (okReads_-- <= 0) return -1;
    return FileSystem::Read(fd, buffer, count);
  }

 private:
  int okReads_;
};

TEST_F(CsvTest, AFailingReadStopsWithTheReadMessage) {
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "row" + std::to_string(i) + ",v\r\n";
  std::string path = dir_.Write("big.csv", big);
  FailingReads failing(1);  // the first 64 KiB arrive, then the disk fails
  FileSystem* previous = SetFileSystem(&failing);
  DelimitedReader csv;
  ASSERT_EQ(csv.Open(path, 0, 0, 1), 0);
  int n;
  int records = 0;
  while ((n = csv.ReadRecord()) > 0) ++records;
  SetFileSystem(previous);
  EXPECT_EQ(n, DelimitedReader::kReadFailed);
  EXPECT_EQ(std::string(csv.GetError()), S("ファイルの読込に失敗しました。"));
  EXPECT_GT(records, 0);
  EXPECT_LT(records, 20000);
  EXPECT_EQ(csv.ReadRecord(), DelimitedReader::kReadFailed);  // it does not pretend the file ended
}

TEST_F(CsvTest, HugeLinesAndBinaryInputReadCleanly) {
  std::string line(10 * 1024 * 1024, 'x');
  Records r = Read(line + ",y\r\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0][0], std::string(501, 'x'));
  EXPECT_EQ(r[0][1], "y");
  std::string binary;
  for (int i = 0; i < 100000; ++i) binary += static_cast<char>((i * 7919) % 256);
  for (ReadOptions o : {ReadOptions{}, Tab(), ReadOptions{.encoding = kEncodingUtf8},
                        ReadOptions{.encoding = kEncodingUtf16}}) {
    Records records = Read(binary, o);
    for (const auto& rec : records) ASSERT_NE(rec.front().rfind("#", 0), 0u) << rec.front();
  }
}

TEST_F(CsvTest, ReopeningStartsAfresh) {
  DelimitedReader csv;
  ASSERT_EQ(csv.Open(dir_.Write("a.csv", "n1,n2\r\n1,2\r\n"), 1, 0, 1), 0);
  EXPECT_EQ(csv.ReadRecord(), 2);
  ASSERT_EQ(csv.Open(dir_.Write("b.csv", "x\r\n"), 0, 0, 1), 0);
  EXPECT_EQ(csv.FieldNameCount(), 0);
  EXPECT_EQ(csv.ReadRecord(), 1);
  EXPECT_STREQ(csv.GetField(0), "x");
  EXPECT_STREQ(csv.GetField(1), "");
  EXPECT_EQ(csv.ReadRecord(), 0);
  csv.Close();
  EXPECT_EQ(csv.ReadRecord(), 0);
}

}  // namespace
}  // namespace korvel
