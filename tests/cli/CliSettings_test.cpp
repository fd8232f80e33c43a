// Comparison settings files: the section for the left file applied under the command line,
// every key as its option, bad lines refused with their line, and a saved file that gives
// the same result when read back.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliFixture.h"

namespace korvel::cli {
namespace {

class CliSettingsTest : public CliFixture {
 protected:
  // A left and a right file in which every option below changes the outcome.
  void SetUp() override {
    left_ = dir_.Write("社員.csv", "id;name;pay;memo\r\n1;A;100;x\r\n2;B;200;y\r\n3;C;300;z\r\n");
    right_ = dir_.Write("r.csv", "id;name;pay;memo\r\n1;A;100;X\r\n2;B ;201;y\r\n4;D;400;w\r\n");
  }
  int RunWith(const std::string& settings, std::vector<std::string> args) {
    args.insert(args.begin(), {"--settings", dir_.Write("s.korvel", settings)});
    args.insert(args.end(), {"--pairs", left_, right_});
    return RunArgs(args);
  }
  std::string left_;
  std::string right_;
};

TEST_F(CliSettingsTest, KeysActAsTheirOptionsAndTheCommandLineWins) {
  const std::string reading = "[*]\nkind = other\ndelimiter = ;\nheader\nkey = id\n";
  const struct {
    const char* name;
    std::string settings;
    std::vector<std::string> args;
    std::string out;  // the same run with the options on the command line gives this too
  } cases[] = {
      {"keys by name", reading, {}, ""},
      {"field lists add up", reading + "not-compared = 4\nignore-spaces = name\n", {}, ""},
      {"numbers", reading + "numeric = 3\ntolerance = 1\nnot-compared = memo\n", {}, ""},
      {"extract and strict", reading + "extract = diff\nstrict = false\n", {}, ""},
      {"command line over file", reading + "not-compared = 4\n", {"--not-compared", "2,3"}, ""},
      {"specific section first",
       "[*]\nkey = 9\n[社*.csv]\nkind=other\ndelimiter=;\nheader\nkey=1\n",
       {},
       ""},
  };
  const std::vector<std::string> base = {"--kind",   "other", "--delimiter", ";",
                                         "--header", "--key", "id"};
  const std::vector<std::vector<std::string>> same = {
      base,
      {"--kind", "other", "--delimiter", ";", "--header", "--key", "id", "--not-compared", "4",
       "--ignore-spaces", "name"},
      {"--kind", "other", "--delimiter", ";", "--header", "--key", "id", "--numeric", "3",
       "--tolerance", "1", "--not-compared", "memo"},
      {"--kind", "other", "--delimiter", ";", "--header", "--key", "id", "--extract", "diff"},
      {"--kind", "other", "--delimiter", ";", "--header", "--key", "id", "--not-compared", "2,3"},
      {"--kind", "other", "--delimiter", ";", "--header", "--key", "1"},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    std::vector<std::string> direct = same[i];
    direct.insert(direct.end(), {"--pairs", left_, right_});
    const int expected = RunArgs(direct);
    const std::string expectedOut = Out();
    EXPECT_EQ(RunWith(cases[i].settings, cases[i].args), expected) << Err();
    EXPECT_EQ(Out(), expectedOut);
  }
}

TEST_F(CliSettingsTest, BadFilesAndLinesAreUsageErrorsNamingTheLine) {
  const struct {
    std::string settings;
    std::string told;
  } cases[] = {
      {"[*]\nheader\nheader\n", "3行目が正しくありません: header"},  // one value only
      {"[*]\nheader\nsheet = 1\n", "3行目が正しくありません: sheet"},
      {"[*]\nexport = out.xml\n", "2行目が正しくありません: export"},  // not a settings key
      {"[*]\nkind = tsv\n", "2行目が正しくありません: --kind の値が正しくありません: tsv"},
      {"[other.csv]\nkey = x y\n[*]\nheader = maybe\n", "4行目"},  // every section is checked
      {"key = 1\n", "1行目"},
      {"[*]\n\xFF\n", "UTF-8"},
      {std::string(1024 * 1024 + 1, ';'), "大きすぎます"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.told);
    EXPECT_EQ(RunWith(c.settings, {}), kExitFailed);
    EXPECT_NE(Err().find(c.told), std::string::npos) << Err();
    EXPECT_EQ(Out(), "");
  }
}

TEST_F(CliSettingsTest, SavedSettingsGiveTheSameResultAndAreNotReplacedUnasked) {
  const std::string saved = dir_.Path() + "/saved.korvel";
  ASSERT_EQ(RunWith("[*]\nkind=other\ndelimiter=;\nheader\nkey=id\n",
                    {"--not-compared", "memo", "--save-settings", saved}),
            kExitDifferent);
  const std::string first = Out();
  EXPECT_EQ(RunArgs({"--settings", saved, "--pairs", left_, right_}), kExitDifferent);
  EXPECT_EQ(Out(), first);
  // A second save into the same file is refused without --force; the file stays.
  const std::string before = test::ReadFileBytes(saved);
  EXPECT_EQ(RunArgs({"--settings", saved, "--save-settings", saved, left_, right_}), kExitFailed);
  EXPECT_EQ(test::ReadFileBytes(saved), before);
  EXPECT_EQ(RunArgs({"--settings", saved, "--key", "2", "--save-settings", saved, "--force", left_,
                     right_}),
            kExitDifferent);
  EXPECT_NE(test::ReadFileBytes(saved).find("key = 2\n"), std::string::npos);
}

}  // namespace
}  // namespace korvel::cli
