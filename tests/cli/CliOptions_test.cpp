#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "TestUtil.h"

namespace korvel::cli {
namespace {

bool Parse(std::vector<std::string> args, CliOptions* o, std::string* error) {
  return ParseCliOptions(args, o, error);
}

TEST(CliOptionsTest, ReadsEveryOption) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--kind",
                     "other",
                     "--delimiter",
                     ";",
                     "--header",
                     "--encoding=utf8",
                     "--no-bom",
                     "--tab-old",
                     "--newline",
                     "2",
                     "--key",
                     "3",
                     "--key",
                     "1:num",
                     "--ignore-spaces",
                     "2,4",
                     "--not-compared",
                     "5",
                     "--not-loaded",
                     "6,7",
                     "--extract",
                     "field-diff:4",
                     "--pairs",
                     "--export",
                     "out.csv",
                     "--format",
                     "csv",
                     "--layout",
                     "row",
                     "--force",
                     "L.csv",
                     "R.csv"},
                    &o, &error))
      << error;
  EXPECT_EQ(o.kind, FileKindOption::kOther);
  EXPECT_EQ(o.delimiter, ';');
  EXPECT_TRUE(o.header && o.noBom && o.tabOld && o.pairs && o.force);
  EXPECT_EQ(o.encoding, 15);
  EXPECT_EQ(o.newlineMode, 2);
  ASSERT_EQ(o.keys.size(), 2u);
  EXPECT_EQ(o.keys[0].field, 3);
  EXPECT_FALSE(o.keys[0].numeric);
  EXPECT_EQ(o.keys[1].field, 1);
  EXPECT_TRUE(o.keys[1].numeric);
  EXPECT_EQ(o.ignoreSpaces, (std::vector<int>{2, 4}));
  EXPECT_EQ(o.notLoaded, (std::vector<int>{6, 7}));
  EXPECT_EQ(o.extract, ExtractOption::kFieldDiff);
  EXPECT_EQ(o.extractField, 4);
  EXPECT_EQ(o.format, ExportFormat::kCsv);
  EXPECT_EQ(o.layout, ExportLayout::kRow);
  EXPECT_EQ(o.left, "L.csv");
  EXPECT_EQ(o.right, "R.csv");
}

TEST(CliOptionsTest, DefaultsAndHelp) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"a", "b"}, &o, &error));
  EXPECT_EQ(o.kind, FileKindOption::kCsv);
  EXPECT_FALSE(o.encoding.has_value());
  EXPECT_EQ(o.format, ExportFormat::kXml);
  EXPECT_EQ(o.layout, ExportLayout::kField);
  EXPECT_TRUE(Parse({"--help"}, &o, &error));
  EXPECT_TRUE(o.help);
  EXPECT_TRUE(Parse({"--", "-left.csv", "--right.csv"}, &o, &error));
  EXPECT_EQ(o.left, "-left.csv");
  // A lone "-" is a path (standard input), on either side.
  EXPECT_TRUE(Parse({"--key", "1", "-", "b"}, &o, &error));
  EXPECT_EQ(o.left, "-");
  EXPECT_TRUE(Parse({"a", "-"}, &o, &error));
  EXPECT_EQ(o.right, "-");
  EXPECT_NE(UsageText().find("--fixed-def"), std::string::npos);
}

TEST(CliOptionsTest, MalformedCommandLinesAreRefusedWithAReason) {
  const std::vector<std::vector<std::string>> bad = {
      {"a"},
      {"a", "b", "c"},
      {"--kind", "xls", "a", "b"},
      {"--key", "0", "a", "b"},
      {"--key", "x:num", "a", "b"},
      {"--key", "2", "--key", "2:num", "a", "b"},
      {"--key", "2", "--ignore-spaces", "1,2", "a", "b"},
      {"--key", "3", "--not-compared", "3", "a", "b"},
      {"--ignore-spaces", "1,,2", "a", "b"},
      {"--delimiter", ";", "a", "b"},
      {"--kind", "other", "--delimiter", "", "a", "b"},
      {"--kind", "other", "--delimiter", "ab", "a", "b"},
      {"--kind", "fixed", "a", "b"},
      {"--fixed-def", "d.dat", "a", "b"},
      {"--newline", "3", "a", "b"},
      {"--extract", "field-diff:", "a", "b"},
      {"--extract", "some", "a", "b"},
      {"--export"},
      {"--frobnicate", "a", "b"},
  };
  for (const auto& args : bad) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(Parse(args, &o, &error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

// Each refusal names its reason exactly; the reason is what korvel-cli prints after
// "korvel-cli: ".
TEST(CliOptionsTest, RefusalsGiveTheirExactReason) {
  struct Case {
    std::vector<std::string> args;
    std::string reason;
  };
  const std::string otherQuote = "--delimiter に改行や引用符は指定できません。";
  const std::string delimiterAlone = "--delimiter は --kind other と共に指定してください。";
  const std::string fixedDefAlone = "--fixed-def は --kind fixed と共に指定してください。";
  const std::vector<Case> cases = {
      // A delimiter that would break the reading of a line.
      {{"--kind", "other", "--delimiter", "\"", "a", "b"}, otherQuote},
      {{"--kind", "other", "--delimiter", "\r", "a", "b"}, otherQuote},
      {{"--kind", "other", "--delimiter", "\n", "a", "b"}, otherQuote},
      {{"--kind", "other", "--delimiter", std::string(1, '\0'), "a", "b"}, otherQuote},
      {{"--delimiter=\"", "--kind=other", "a", "b"}, otherQuote},
      {{"--kind", "other", "--delimiter", "", "a", "b"},
       "--delimiter には1バイトの文字を指定してください。"},
      {{"--kind", "other", "--delimiter", "||", "a", "b"},
       "--delimiter には1バイトの文字を指定してください。"},
      // --delimiter belongs to --kind other only, whatever the delimiter.
      {{"--delimiter", ";", "a", "b"}, delimiterAlone},
      {{"--kind", "csv", "--delimiter", ",", "a", "b"}, delimiterAlone},
      {{"--kind", "tab", "--delimiter", "\t", "a", "b"}, delimiterAlone},
      {{"--delimiter", "\"", "a", "b"}, delimiterAlone},
      // --fixed-def belongs to --kind fixed only, and --kind fixed needs it.
      {{"--fixed-def", "d.dat", "a", "b"}, fixedDefAlone},
      {{"--kind", "tab", "--fixed-def", "d.dat", "a", "b"}, fixedDefAlone},
      {{"--kind", "other", "--fixed-def", "d.dat", "a", "b"}, fixedDefAlone},
      {{"--kind", "fixed", "a", "b"},
       "--kind fixed には --fixed-def で定義ファイルを指定してください。"},
      // Key fields take neither --ignore-spaces nor --not-compared, given before or after.
      {{"--key", "2", "--ignore-spaces", "1,2", "a", "b"},
       "--ignore-spaces はキーのフィールド 2 には指定できません。"},
      {{"--ignore-spaces", "4", "--key", "4:num", "a", "b"},
       "--ignore-spaces はキーのフィールド 4 には指定できません。"},
      {{"--key", "3", "--not-compared", "3", "a", "b"},
       "--not-compared はキーのフィールド 3 には指定できません。"},
      {{"--key", "1", "--key", "5", "--not-compared", "2,5", "a", "b"},
       "--not-compared はキーのフィールド 5 には指定できません。"},
      {{"--key", "2", "--key", "2:num", "a", "b"}, "--key でフィールド 2 が重複しています。"},
      // Malformed values, paths and names.
      {{"--kind", "xls", "a", "b"}, "--kind の値が正しくありません: xls"},
      {{"--newline=3", "a", "b"}, "--newline の値が正しくありません: 3"},
      {{"--key", "1:number", "a", "b"}, "--key の値が正しくありません: 1:number"},
      {{"--ignore-spaces", "1,,2", "a", "b"}, "--ignore-spaces の値が正しくありません: 1,,2"},
      {{"--extract", "field-diff:", "a", "b"}, "--extract の値が正しくありません: field-diff:"},
      {{"a", "b", "--export"}, "--export には値が必要です。"},
      {{"--frobnicate", "a", "b"}, "不明なオプションです: --frobnicate"},
      {{"a"}, "比較する2つのファイルを指定してください。"},
      {{"a", "b", "c"}, "ファイルは2つだけ指定してください。"},
      // Standard input can be only one side.
      {{"-", "-"}, "標準入力 (-) は左右どちらか一方のファイルにだけ指定できます。"},
      {{"--", "-", "-"}, "標準入力 (-) は左右どちらか一方のファイルにだけ指定できます。"},
  };
  for (const Case& c : cases) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(Parse(c.args, &o, &error)) << c.reason;
    EXPECT_EQ(error, c.reason);
  }
}

TEST(CliOptionsTest, ExportFormatNames) {
  struct Case {
    const char* value;
    ExportFormat format;
  };
  for (const Case& c : {Case{"xml", ExportFormat::kXml}, Case{"csv", ExportFormat::kCsv},
                        Case{"xlsx", ExportFormat::kXlsx}}) {
    CliOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--format", c.value, "a", "b"}, &o, &error)) << c.value << ": " << error;
    EXPECT_EQ(o.format, c.format) << c.value;
  }
  for (const char* value : {"xls", "XLSX", "excel", ""}) {
    CliOptions o;
    std::string error;
    EXPECT_FALSE(Parse({"--format", value, "a", "b"}, &o, &error)) << value;
    EXPECT_EQ(error, test::Cat("--format の値が正しくありません: ", value));
  }
  EXPECT_NE(UsageText().find("--format xml|csv|xlsx"), std::string::npos);
}

// Field numbers have no cap of their own: any number from 1 is taken here, and only the
// grid, once filled, can refuse it. Zero, negatives and anything not a plain number are
// malformed.
TEST(CliOptionsTest, FieldNumbersFromOneWithoutCap) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--kind", "fixed", "--fixed-def", "d.dat", "--key", "1100", "--key",
                     "1001:num", "--ignore-spaces", "1000,1200", "--not-compared", "99999",
                     "--not-loaded", "2000", "--extract", "field-equal:5000", "a", "b"},
                    &o, &error))
      << error;
  ASSERT_EQ(o.keys.size(), 2u);
  EXPECT_EQ(o.keys[0].field, 1100);
  EXPECT_FALSE(o.keys[0].numeric);
  EXPECT_EQ(o.keys[1].field, 1001);
  EXPECT_TRUE(o.keys[1].numeric);
  EXPECT_EQ(o.ignoreSpaces, (std::vector<int>{1000, 1200}));
  EXPECT_EQ(o.notCompared, (std::vector<int>{99999}));
  EXPECT_EQ(o.notLoaded, (std::vector<int>{2000}));
  EXPECT_EQ(o.extractField, 5000);

  struct Case {
    const char* option;
    const char* value;
  };
  const Case malformed[] = {
      {"--key", "0"},
      {"--key", "-1"},
      {"--key", "-1100"},
      {"--key", "x"},
      {"--key", ""},
      {"--key", "12a"},
      {"--key", "1.5"},
      {"--key", "0:num"},
      {"--key", "-3:num"},
      {"--key", " 7"},
      {"--ignore-spaces", "0"},
      {"--not-compared", "2,-2"},
      {"--not-loaded", "a"},
      {"--extract", "field-diff:0"},
      {"--extract", "field-equal:-5"},
  };
  for (const Case& c : malformed) {
    EXPECT_FALSE(Parse({c.option, c.value, "a", "b"}, &o, &error)) << c.option << " " << c.value;
    EXPECT_EQ(error, test::Cat(c.option, " の値が正しくありません: ", c.value));
  }
}

}  // namespace
}  // namespace korvel::cli

namespace korvel::cli {
namespace {

// --numeric takes field numbers as the other field options do; --tolerance a number from
// 0 to 1e15 by the cell grammar, kept as CP932.
TEST(CliOptionsTest, NumericFieldsAndTolerance) {
  CliOptions o;
  std::string error;
  ASSERT_TRUE(
      Parse({"--numeric", "2,4", "--numeric=7", "--tolerance", "０．５", "a", "b"}, &o, &error))
      << error;
  EXPECT_EQ(o.numeric, (std::vector<int>{2, 4, 7}));
  EXPECT_EQ(o.tolerance, "\x82\x4F\x81\x44\x82\x54");
  ASSERT_TRUE(Parse({"a", "b"}, &o, &error));
  EXPECT_TRUE(o.numeric.empty());
  EXPECT_EQ(o.tolerance, "");

  struct Case {
    std::vector<std::string> args;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {{"--tolerance", "-1", "a", "b"}, "--tolerance の値が正しくありません: -1"},
      {{"--tolerance", "abc", "a", "b"}, "--tolerance の値が正しくありません: abc"},
      {{"--tolerance", "1e+16", "a", "b"}, "--tolerance の値が正しくありません: 1e+16"},
      {{"--tolerance", "1000000000000000.5", "a", "b"},
       "--tolerance の値が正しくありません: 1000000000000000.5"},
      {{"--tolerance=", "a", "b"}, "--tolerance の値が正しくありません: "},
      {{"a", "b", "--tolerance"}, "--tolerance には値が必要です。"},
      {{"--numeric", "0", "a", "b"}, "--numeric の値が正しくありません: 0"},
      {{"--numeric", "1,,2", "a", "b"}, "--numeric の値が正しくありません: 1,,2"},
      {{"--key", "2", "--numeric", "1,2", "a", "b"},
       "--numeric はキーのフィールド 2 には指定できません。"},
      {{"--numeric", "3", "--key", "3:num", "a", "b"},
       "--numeric はキーのフィールド 3 には指定できません。"},
      {{"--numeric", "3", "--not-compared", "3", "a", "b"},
       "--numeric と --not-compared は同じフィールド 3 には指定できません。"},
      {{"--not-loaded", "1,4", "--numeric", "4", "a", "b"},
       "--numeric と --not-loaded は同じフィールド 4 には指定できません。"},
  };
  for (const Case& c : cases) {
    std::string reason;
    EXPECT_FALSE(Parse(c.args, &o, &reason)) << c.reason;
    EXPECT_EQ(reason, c.reason);
  }
  for (const char* accepted : {"0", "1e+15", "1,000", "0.000001", "＋３"}) {
    EXPECT_TRUE(Parse({"--tolerance", accepted, "a", "b"}, &o, &error)) << accepted << error;
  }
}

}  // namespace
}  // namespace korvel::cli

namespace korvel::cli {
namespace {

// True when `line` names `option` as a whole word.
bool NamesOption(std::string_view line, std::string_view option) {
  auto inName = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; };
  for (std::size_t at = line.find(option); at != std::string_view::npos;
       at = line.find(option, at + 1)) {
    const std::size_t end = at + option.size();
    if ((at == 0 || !inName(line[at - 1])) && (end == line.size() || !inName(line[end]))) {
      return true;
    }
  }
  return false;
}

// The lines that head a man page's items (the line after each ".TP"), with roff's "\-" read
// as "-".
std::vector<std::string> ManPageItems(const std::string& path) {
  std::string text = test::ReadFileBytes(path);
  for (std::size_t at; (at = text.find("\\-")) != std::string::npos;) text.erase(at, 1);
  std::vector<std::string> items;
  bool item = false;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string line = text.substr(start, end - start);
    if (item) items.push_back(line);
    item = line == ".TP";
    start = end + 1;
  }
  return items;
}

// Every option of the table has its line in the usage text and its item in both man pages,
// and its target is of the kind its value is read as.
TEST(CliOptionsTest, EveryOptionIsInTheUsageAndBothManPages) {
  const std::string usage = UsageText();
  const std::string man = std::string(KORVEL_SOURCE_DIR) + "/resources/man/";
  const std::vector<std::string> pages[] = {ManPageItems(man + "korvel-cli.1.in"),
                                            ManPageItems(man + "ja/korvel-cli.1.in")};
  ASSERT_FALSE(pages[0].empty());
  ASSERT_FALSE(pages[1].empty());
  for (const OptionRow& row : OptionTable()) {
    const std::string name(row.name);
    std::vector<std::string> spellings = {name};
    if (!row.alias.empty()) spellings.emplace_back(row.alias);
    for (const std::string& spelling : spellings) {
      EXPECT_TRUE(usage.find("\n  " + spelling + " ") != std::string::npos ||
                  usage.find("\n  " + spelling + ",") != std::string::npos ||
                  usage.find(", " + spelling + " ") != std::string::npos)
          << spelling << " is not in the usage";
      for (const auto& items : pages) {
        EXPECT_TRUE(
            std::any_of(items.begin(), items.end(),
                        [&](const std::string& line) { return NamesOption(line, spelling); }))
            << spelling << " has no item in a man page";
      }
    }
    EXPECT_EQ(FindOption(row.name), &row);
    const std::size_t targets[] = {0, 2, 1, 2, 3, 4, 5};  // OptionTarget's index by ValueKind
    EXPECT_EQ(row.target.index(), targets[static_cast<int>(row.kind)]) << name;
    EXPECT_EQ(row.notOnKey || row.gridColumn != 0, row.kind == ValueKind::kFieldList) << name;
  }
}

// ApplyOption takes one option as the command line takes it: the same members set and the
// same reasons, for a settings file that names the options.
TEST(CliOptionsTest, ApplyOptionDoesWhatTheCommandLineDoes) {
  struct Case {
    const char* name;
    const char* value;
    const char* reason;  // empty: accepted
  };
  const Case cases[] = {
      {"--kind", "tab", ""},
      {"--kind", "xls", "--kind の値が正しくありません: xls"},
      {"--delimiter", ";", ""},
      {"--delimiter", "ab", "--delimiter には1バイトの文字を指定してください。"},
      {"--header", "", ""},
      {"--header", "1", "--header の値が正しくありません: 1"},
      {"--encoding", "eucjp", ""},
      {"--newline", "2", ""},
      {"--fixed-def", "", "--fixed-def の値が正しくありません: "},
      {"--key", "3:num", ""},
      {"--key", "0", "--key の値が正しくありません: 0"},
      {"--not-loaded", "2,5", ""},
      {"--numeric", "1,,2", "--numeric の値が正しくありません: 1,,2"},
      {"--tolerance", "０．５", ""},
      {"--tolerance", "-1", "--tolerance の値が正しくありません: -1"},
      {"--extract", "field-equal:4", ""},
      {"--extract", "some", "--extract の値が正しくありません: some"},
      {"--report-format", "csv", ""},
      {"--frobnicate", "1", "不明なオプションです: --frobnicate"},
  };
  for (const Case& c : cases) {
    CliOptions applied;
    std::string reason;
    EXPECT_EQ(ApplyOption(c.name, c.value, &applied, &reason), *c.reason == '\0') << c.name;
    EXPECT_EQ(reason, c.reason) << c.name << " " << c.value;
    const OptionRow* row = FindOption(c.name);
    if (*c.reason == '\0' || (row && row->kind == ValueKind::kNone)) continue;
    // A malformed value is refused by the command line with the same reason.
    CliOptions parsed;
    EXPECT_FALSE(Parse({c.name, c.value, "a", "b"}, &parsed, &reason));
    EXPECT_EQ(reason, c.reason);
  }
  CliOptions o;
  std::string reason;
  ASSERT_TRUE(
      ApplyOption("--key", "2", &o, &reason) && ApplyOption("--key", "1:num", &o, &reason) &&
      ApplyOption("--not-loaded", "4", &o, &reason) &&
      ApplyOption("--not-loaded", "6", &o, &reason) &&
      ApplyOption("--format", "xlsx", &o, &reason) && ApplyOption("--format", "csv", &o, &reason) &&
      ApplyOption("--tolerance", "０．５", &o, &reason));
  // Keys and field lists add up; any other value is the last one given.
  ASSERT_EQ(o.keys.size(), 2u);
  EXPECT_TRUE(o.keys[1].field == 1 && o.keys[1].numeric);
  EXPECT_EQ(o.notLoaded, (std::vector<int>{4, 6}));
  EXPECT_EQ(o.format, ExportFormat::kCsv);
  EXPECT_EQ(o.tolerance, "\x82\x4F\x81\x44\x82\x54");
}

}  // namespace
}  // namespace korvel::cli
