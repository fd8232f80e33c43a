#include "cli/CliOptions.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace korvel::cli
