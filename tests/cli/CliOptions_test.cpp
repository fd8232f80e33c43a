#include "cli/CliOptions.h"

#include <gtest/gtest.h>

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
