#include "settings/ComparisonSettingsFile.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(ComparisonSettingsFileTest, PatternsMatchNamesAndRelativePaths) {
  const struct {
    const char* pattern;
    const char* path;
    bool matches;
  } cases[] = {
      {"*", "a.csv", true},
      {"社員*.csv", "社員2024.csv", true},
      {"社員*.csv", "sub/社員1.csv", true},  // no '/': the file name alone
      {"社員*.csv", "部署.csv", false},
      {"社員?.csv", "社員一.csv", true},  // '?' is one character, not one byte
      {"社員?.csv", "社員12.csv", false},
      {"*.csv", "a.csv.bak", false},
      {"**/sub/*.csv", "sub/a.csv", true},
      {"**/sub/*.csv", "x/y/sub/a.csv", true},
      {"**/sub/*.csv", "x/subx/a.csv", false},
      {"sub/*.csv", "sub/deeper/a.csv", false},  // '*' never stands for a '/'
      {"sub/*.csv", "sub/a.csv", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SettingsPatternMatches(c.pattern, c.path), c.matches) << c.pattern << " " << c.path;
  }
}

TEST(ComparisonSettingsFileTest, FirstMatchingSectionWinsAndStarComesLast) {
  std::vector<SettingsSection> sections;
  SettingsFileError error;
  ASSERT_TRUE(ParseComparisonSettings(
      "\xEF\xBB\xBF; comment\r\n[*]\r\nheader\r\n\r\n[a*.csv]\r\nkey = 1\r\n[ab*.csv]\r\nkey=2\r\n",
      &sections, &error));
  ASSERT_EQ(sections.size(), 3u);
  EXPECT_EQ(MatchSettingsSection(sections, "abc.csv"), &sections[1]);
  EXPECT_EQ(MatchSettingsSection(sections, "zz.csv"), &sections[0]);
  const SettingsEntry& entry = sections[2].Entries[0];
  EXPECT_EQ(entry.Line, 8);
  EXPECT_EQ(entry.Key, "key");
  EXPECT_EQ(entry.Value, "2");
  EXPECT_FALSE(sections[0].Entries[0].HasValue);

  const struct {
    const char* text;
    int line;
  } bad[] = {{"key = 1\n", 1}, {"[*]\n[broken\n", 2}, {"[*]\n = 3\n", 2}, {"[*]\n\xC3\x28\n", 0}};
  for (const auto& b : bad) {
    EXPECT_FALSE(ParseComparisonSettings(b.text, &sections, &error)) << b.text;
    EXPECT_EQ(error.Line, b.line) << b.text;
  }
}

}  // namespace
}  // namespace korvel
