// The reading rules that can hide a difference say so: each pair below differs in text that
// a rule drops, merges or mangles, and the run tells it once after the summary; --strict
// turns any such warning (and duplicate keys) into a failure.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliFixture.h"

namespace korvel::cli {
namespace {

const std::string kGrin = "\xF0\x9F\x98\x80";  // 😀, no Shift-JIS form
const std::string kCry = "\xF0\x9F\x98\xA2";   // 😢

class CliWarningsTest : public CliFixture {};

TEST_F(CliWarningsTest, EveryHidingRuleIsToldAndStrictRefusesIt) {
  struct Case {
    const char* name;
    std::string left;
    std::string right;
    std::vector<std::string> options;
    int exit;           // without --strict
    std::string pairs;  // --pairs rows, by position unless a key is given
    std::vector<std::string> told;
  } cases[] = {
      // `27" wide` opens quoting that runs on to the next quote: records 2 to 4 are one cell,
      // and the differing line 3 inside it is never compared.
      {"stray quote",
       "1,27\" wide\r\n2,a\r\n3,b\"\r\n4,c\r\n",
       "1,27\" wide\r\n2,X\r\n3,b\"\r\n4,c\r\n",
       {},
       kExitSame,
       "0\t0\t0\n0\t1\t1\n",
       {"引用符で複数の行が1つのセルに読み込まれました。(左:1件 右:1件 最初:左 1行目)",
        // ... and the swallowed lines are then cut away by newline mode 0.
        "改行を含むセルを1行目までで比較しました。(左:1件 右:1件) "
        "改行の置換を指定すると全体を比較します。"}},
      // Newline mode 0 keeps the line breaks, and the store rule then keeps the first line.
      {"cut newline, CSV rules",
       "1,\"a\r\nb\"\r\n2,\"x\r\ny\"\r\n",
       "1,\"a\r\nc\"\r\n2,z\r\n",
       {"--newline", "0"},
       kExitDifferent,
       "0\t0\t0\n1\t1\t1\n",
       {"改行を含むセルを1行目までで比較しました。(左:2件 右:1件) "
        "改行の置換を指定すると全体を比較します。"}},
      {"cut newline, TAB rules",
       "1\t\"a\r\nb\"\r\n",
       "1\t\"a\r\nc\"\r\n",
       {"--kind", "tab", "--newline", "0"},
       kExitSame,
       "0\t0\t0\n",
       {"改行を含むセルを1行目までで比較しました。(左:1件 右:1件) "
        "改行の置換を指定すると全体を比較します。"}},
      {"whole cell with a replacement",
       "1,\"a\r\nb\"\r\n",
       "1,\"a\r\nc\"\r\n",
       {"--newline", "1"},
       kExitDifferent,
       "1\t0\t0\n",
       {}},
      // The first record fixes two fields; the third of the later records is dropped.
      {"extra fields",
       "1,a\r\n2,b,x\r\n3,c,x,x\r\n",
       "1,a\r\n2,b,y\r\n3,c\r\n",
       {},
       kExitSame,
       "0\t0\t0\n0\t1\t1\n0\t2\t2\n",
       {"項目数を超えるデータを読み込みませんでした。(左:2件 右:1件)"}},
      // Under an encoding chosen by name, too: two different characters are no longer the
      // same '?', and where a lost character stands among a cell's '?' counts.
      {"lost characters under utf8",
       "1,?" + kGrin + "\r\n2," + kGrin + "\r\n3," + kGrin + "\r\n",
       "1," + kGrin + "?\r\n2," + kGrin + "\r\n3," + kCry + "\r\n",
       {"--encoding", "utf8"},
       kExitDifferent,
       "1\t0\t0\n0\t1\t1\n1\t2\t2\n",
       {"変換できない文字があります。(左:3件 右:3件)"}},
      // TAB rules: the broken multi-line cell of record 1 falls back, and its second line is
      // read again as record 2; what that line lost belongs to record 2, placed exactly
      // although LF became CR LF on the way.
      {"lost characters re-read after a fallback",
       "1\t\"x\n2?" + kGrin + "\tz\n3\t" + kGrin + "?\n",
       "1\t\"x\r\n2?" + kGrin + "\tz\r\n3\t?" + kGrin + "\r\n",
       {"--kind", "tab", "--encoding", "utf8"},
       kExitDifferent,
       "0\t0\t0\n0\t1\t1\n1\t2\t2\n",
       {"変換できない文字があります。(左:2件 右:2件)"}},
      {"clean and equal", "1,a\r\n", "1,a\r\n", {}, kExitSame, "0\t0\t0\n", {}},
      {"clean and different", "1,a\r\n", "1,b\r\n", {}, kExitDifferent, "1\t0\t0\n", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string left = dir_.Write("l.txt", c.left);
    const std::string right = dir_.Write("r.txt", c.right);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--pairs", left, right});
    EXPECT_EQ(RunArgs(args), c.exit);
    const std::string out = Out();
    EXPECT_EQ(out.substr(out.find('\n') + 1), c.pairs);
    EXPECT_EQ(Messages(), c.told);

    args.insert(args.begin(), "--strict");
    EXPECT_EQ(RunArgs(args), c.told.empty() ? c.exit : kExitFailed);
    EXPECT_EQ(Messages(), c.told);
    // A refused run still says what it found, but hands out no rows.
    EXPECT_EQ(Out().find('\n') + 1 == Out().size(), !c.told.empty()) << Out();
  }
}

TEST_F(CliWarningsTest, StrictRefusesDuplicateKeys) {
  const std::string left = dir_.Write("l.csv", "1,a\r\n1,b\r\n");
  const std::string right = dir_.Write("r.csv", "1,a\r\n");
  EXPECT_EQ(RunArgs({"--key", "1", left, right}), kExitDifferent);
  EXPECT_EQ(RunArgs({"--strict", "--key", "1", left, right}), kExitFailed);
  EXPECT_NE(Err().find("重複キーがあります。(左:2件 右:0件)"), std::string::npos) << Err();
}

// The report says how each file was read and what the run warned of, and a record whose
// only difference is its numeric key's text is seen in both formats.
TEST_F(CliWarningsTest, ReportCarriesEncodingsWarningsAndKeyDifferences) {
  const std::string left = dir_.Write("l.csv", "001,a\r\n2,b,x\r\n");
  const std::string right = dir_.Write("r.csv",
                                       "\xEF\xBB\xBF"
                                       "1,a\r\n2,b\r\n");
  const std::string report = dir_.Path() + "/rep";
  ASSERT_EQ(
      RunArgs({"--encoding", "auto", "--key", "1:num", "--report", report + ".jsonl", left, right}),
      kExitDifferent);
  const std::string jsonl = test::ReadFileBytes(report + ".jsonl");
  EXPECT_NE(jsonl.find("\"duplicate_keys\":{\"left\":0,\"right\":0},"
                       "\"encodings\":{\"left\":\"SJIS\",\"right\":\"UTF-8 BOM\"},"
                       "\"warnings\":[{\"code\":\"extra_fields\",\"left\":1,\"right\":0}],"
                       "\"fields\":["),
            std::string::npos)
      << jsonl;
  EXPECT_NE(jsonl.find("\"key\":[{\"field\":1,\"name\":\"FD001\",\"text\":\"001\"}],"
                       "\"key_differs\":true,\"fields\":[]}"),
            std::string::npos)
      << jsonl;
  // The equal record carries no flag.
  EXPECT_EQ(jsonl.find("key_differs"), jsonl.rfind("key_differs"));

  ASSERT_EQ(RunArgs({"--encoding", "auto", "--key", "1:num", "--report", report + ".csv",
                     "--report-format", "csv", left, right}),
            kExitDifferent);
  EXPECT_EQ(test::ReadFileBytes(report + ".csv"),
            "\xEF\xBB\xBF"
            "status,left_row,right_row,FD001,field,name,left,right\r\n"
            "differs,0,0,001,1,FD001,001,1\r\n");
}

}  // namespace
}  // namespace korvel::cli
