#include "cli/CliRun.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <set>
#include <sstream>

#include "CliFixture.h"
#include "TestUtil.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"

namespace korvel::cli {
namespace {

using test::Cat;
using test::S;

class CliRunTest : public CliFixture {
 protected:
  int Run(const std::vector<std::string>& args) { return RunArgs(args); }
};

const char kSummaryPrefix[] = "左総数:";

TEST_F(CliRunTest, SamplesGiveTheSummaryAndTheExitStatus) {
  const std::string left = std::string(KORVEL_SOURCE_DIR) + "/samples/staff_old_sjis.csv";
  const std::string right = std::string(KORVEL_SOURCE_DIR) + "/samples/staff_new_utf8bom.csv";
  EXPECT_EQ(Run({"--header", "--key", "1", left, right}), kExitDifferent);
  EXPECT_EQ(Out(), "左総数:7件 右総数:8件 相違レコード数:4件 左のみ:0件 右のみ:1件\n");
  EXPECT_TRUE(Messages().empty());
  // Full-width and half-width spaces ignored in the name field: one difference less.
  EXPECT_EQ(Run({"--header", "--key", "1", "--ignore-spaces", "2", left, right}), kExitDifferent);
  EXPECT_EQ(Out(), "左総数:7件 右総数:8件 相違レコード数:3件 左のみ:0件 右のみ:1件\n");
  EXPECT_EQ(Run({"--header", "--key", "1", left, left}), kExitSame);
  EXPECT_EQ(Out(), "左総数:7件 右総数:7件 相違レコード数:0件 左のみ:0件 右のみ:0件\n");
}

// The exit status says whether the whole result holds a differing or one-sided record,
// whichever kind it is and whatever the extraction shows.
TEST_F(CliRunTest, TheExitStatusFollowsTheWholeResult) {
  const std::string base = "1,a\r\n2,b\r\n";
  struct Case {
    const char* what;
    std::string right;
    const char* extract;
    int exit;
  };
  const Case cases[] = {
      {"equal", base, nullptr, kExitSame},
      {"equal, nothing shown", base, "right-only", kExitSame},
      {"one record differs", "1,a\r\n2,B\r\n", nullptr, kExitDifferent},
      {"a left-only record", "1,a\r\n", nullptr, kExitDifferent},
      {"right-only records and nothing else", base + "3,c\r\n4,d\r\n", nullptr, kExitDifferent},
      {"right-only records, the equal ones shown", base + "3,c\r\n", "equal", kExitDifferent},
  };
  const std::string left = dir_.Write("l.csv", base);
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--key", "1", left, dir_.Write("r.csv", c.right)};
    if (c.extract) args.insert(args.begin(), {"--extract", c.extract});
    EXPECT_EQ(Run(args), c.exit) << c.what;
    EXPECT_EQ(Out().rfind(kSummaryPrefix, 0), 0u) << c.what;
  }
}

TEST_F(CliRunTest, PairsAndExtractionsPrintTheShownRows) {
  const std::string left = dir_.Write("l.csv", "1,a,x\r\n2,b,y\r\n3,c,z\r\n");
  const std::string right = dir_.Write("r.csv", "3,c,Z\r\n1,a,x\r\n4,d,w\r\n");
  EXPECT_EQ(Run({"--key", "1", "--pairs", left, right}), kExitDifferent);
  EXPECT_EQ(Out(),
            "左総数:3件 右総数:3件 相違レコード数:1件 左のみ:1件 右のみ:1件\n"
            "0\t0\t1\n-2\t1\t-1\n1\t2\t0\n-1\t-1\t2\n");
  struct Case {
    const char* extract;
    const char* rows;
  };
  const Case cases[] = {
      {"diff", "1\t2\t0\n"},          {"diff-all", "-2\t1\t-1\n1\t2\t0\n-1\t-1\t2\n"},
      {"equal", "0\t0\t1\n"},         {"left-only", "-2\t1\t-1\n"},
      {"right-only", "-1\t-1\t2\n"},  {"field-diff:3", "1\t2\t0\n"},
      {"field-equal:3", "0\t0\t1\n"}, {"field-diff:2", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run({"--key", "1", "--pairs", "--extract", c.extract, left, right}), kExitDifferent)
        << c.extract;
    const std::string out = Out();
    EXPECT_EQ(out.substr(out.find('\n') + 1), c.rows) << c.extract;
  }
  // The exit status speaks of the whole result, not of the extraction.
  EXPECT_EQ(Run({"--key", "1", "--extract", "equal", left, right}), kExitDifferent);
}

TEST_F(CliRunTest, ChecksRunInTheirOrder) {
  const std::string good = dir_.Write("g.csv", "1,a\r\n");
  const std::string empty = dir_.Write("e.csv", "");
  // 1. Options first: nothing else is looked at.
  EXPECT_EQ(Run({"--key", "1", "--not-compared", "1", dir_.File("missing"), good}), kExitFailed);
  EXPECT_EQ(Err(), "korvel-cli: --not-compared はキーのフィールド 1 には指定できません。\n");
  EXPECT_TRUE(Messages().empty());
  // 2. The paths, left before right.
  EXPECT_EQ(Run({dir_.File("missing"), empty}), kExitFailed);
  EXPECT_EQ(Messages(), std::vector<std::string>{"パス(画面左)に該当のファイルが見付かりません。"});
  EXPECT_EQ(Run({good, empty}), kExitFailed);
  EXPECT_EQ(Messages(), std::vector<std::string>{"パス(画面右)のファイルにデータがありません。"});
  EXPECT_EQ(Out(), "");
  // 3. The grid is filled before a field number is judged.
  const std::string bomOnly = dir_.Write("b.csv", "\xEF\xBB\xBF");
  EXPECT_EQ(Run({"--key", "9", "--encoding", "utf8", "--header", bomOnly, good}), kExitFailed);
  EXPECT_EQ(Messages(), std::vector<std::string>{"フィールドが存在しません。"});
  EXPECT_EQ(Err(), "");
  EXPECT_EQ(Run({"--key", "9", good, good}), kExitFailed);
  EXPECT_NE(Err().find("--key"), std::string::npos);
  // Then the dialog's limits, keys first.
  const std::string wide = dir_.Write("w.csv", "1,2,3,4,5,6,7,8,9\r\n");
  EXPECT_EQ(Run({"--key", "1", "--key", "2", "--key", "3", "--key", "4", "--key", "5", "--key", "6",
                 "--key", "7", "--not-loaded", "8", wide, wide}),
            kExitFailed);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Out(), "");
  EXPECT_EQ(Run({"--not-loaded", "1,2,3,4,5", wide, wide}), kExitFailed);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Run({"--not-loaded", "1,2,3,4", wide, wide}), kExitSame);
}

// The refusals of the options come before the paths are looked at: the reason on standard
// error after "korvel-cli: ", exit 2, nothing on standard output, no message box.
TEST_F(CliRunTest, OptionRefusalsPrintTheirReason) {
  const std::string missing = dir_.File("missing.csv");
  const std::string good = dir_.Write("g.csv", "1,a\r\n");
  struct Case {
    std::vector<std::string> options;
    std::string reason;
  };
  const std::string otherQuote = "--delimiter に改行や引用符は指定できません。";
  const std::vector<Case> cases = {
      {{"--kind", "other", "--delimiter", "\""}, otherQuote},
      {{"--kind", "other", "--delimiter", "\r"}, otherQuote},
      {{"--kind", "other", "--delimiter", "\n"}, otherQuote},
      {{"--kind", "other", "--delimiter", std::string(1, '\0')}, otherQuote},
      {{"--delimiter", ";"}, "--delimiter は --kind other と共に指定してください。"},
      {{"--kind", "tab", "--delimiter", "\t"},
       "--delimiter は --kind other と共に指定してください。"},
      {{"--fixed-def", good}, "--fixed-def は --kind fixed と共に指定してください。"},
      {{"--kind", "fixed"}, "--kind fixed には --fixed-def で定義ファイルを指定してください。"},
      {{"--key", "2:num", "--ignore-spaces", "2"},
       "--ignore-spaces はキーのフィールド 2 には指定できません。"},
      {{"--not-compared", "1", "--key", "1"},
       "--not-compared はキーのフィールド 1 には指定できません。"},
      {{"--key", "0"}, "--key の値が正しくありません: 0"},
      {{"--key", "-4"}, "--key の値が正しくありません: -4"},
      {{"--not-loaded", "two"}, "--not-loaded の値が正しくありません: two"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.options;
    args.push_back(missing);
    args.push_back(good);
    EXPECT_EQ(Run(args), kExitFailed) << c.reason;
    EXPECT_EQ(Err(), test::Cat("korvel-cli: ", c.reason, "\n"));
    EXPECT_EQ(Out(), "") << c.reason;
    EXPECT_TRUE(Messages().empty()) << c.reason;
  }
}

// A fixed-length definition of 1,200 fields: every field number up to 1,200 is a row of the
// grid and may be used; the first number beyond it is the usage error that names it, and
// only after the files have been checked.
TEST_F(CliRunTest, FieldNumbersAreJudgedByTheGridOnly) {
  constexpr int kFields = 1200;
  std::string def;
  for (int i = 1; i <= kFields; ++i) def += test::Cat("F", std::to_string(i), "\t1\r\n");
  const std::string defPath = dir_.Write("wide.dat", def);
  // Records differ only in field 1100 (the key) and field 1200; the right file is in the
  // other order.
  auto record = [](char key, char last) {
    std::string line(kFields, '.');
    line[1099] = key;
    line[kFields - 1] = last;
    return line + "\r\n";
  };
  const std::string left = dir_.Write("l.txt", record('a', 'x') + record('b', 'y'));
  const std::string right = dir_.Write("r.txt", record('b', 'y') + record('a', 'z'));
  const std::vector<std::string> fixed = {"--kind", "fixed", "--fixed-def", defPath};
  auto with = [&fixed](std::vector<std::string> more) {
    std::vector<std::string> args = fixed;
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  // Fixed-length sides compare every field, so field 1200 makes the pair of key a differ.
  EXPECT_EQ(Run(with({"--key", "1100", "--pairs", left, right})), kExitDifferent) << Err();
  EXPECT_EQ(Out(),
            "左総数:2件 右総数:2件 相違レコード数:1件 左のみ:0件 右のみ:0件\n"
            "1\t0\t1\n0\t1\t0\n");
  EXPECT_EQ(Err(), "");
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Run(with({"--key", "1100", "--pairs", "--extract", "field-equal:1200", left, right})),
            kExitDifferent)
      << Err();
  EXPECT_EQ(Out(),
            "左総数:2件 右総数:2件 相違レコード数:1件 左のみ:0件 右のみ:0件\n"
            "0\t1\t0\n");
  EXPECT_EQ(Run(with({"--key", "1100", "--not-compared", "1200", left, right})), kExitSame);

  struct Beyond {
    std::vector<std::string> options;
    std::string reason;
  };
  const std::vector<Beyond> beyond = {
      {{"--key", "1201"}, "--key のフィールド 1201 はありません(フィールド数 1200)。"},
      {{"--key", "1100", "--not-compared", "1201"},
       "--not-compared のフィールド 1201 はありません(フィールド数 1200)。"},
      {{"--not-loaded", "1200,1500"},
       "--not-loaded のフィールド 1500 はありません(フィールド数 1200)。"},
      {{"--extract", "field-diff:1201"},
       "--extract のフィールド 1201 はありません(フィールド数 1200)。"},
  };
  for (const Beyond& b : beyond) {
    std::vector<std::string> args = with(b.options);
    args.push_back(left);
    args.push_back(right);
    EXPECT_EQ(Run(args), kExitFailed) << b.reason;
    EXPECT_EQ(Err(), test::Cat("korvel-cli: ", b.reason, "\n"));
    EXPECT_EQ(Out(), "") << b.reason;
  }
  // A large field number is no option error: a missing file is reported first, and a
  // delimited file's grid judges it.
  const std::string small = dir_.Write("s.csv", "1,a,b\r\n");
  EXPECT_EQ(Run({"--key", "1001", dir_.File("missing.csv"), small}), kExitFailed);
  EXPECT_EQ(Messages(), std::vector<std::string>{"パス(画面左)に該当のファイルが見付かりません。"});
  EXPECT_EQ(Err(), "");
  EXPECT_EQ(Run({"--key", "1001", small, small}), kExitFailed);
  EXPECT_EQ(Err(), "korvel-cli: --key のフィールド 1001 はありません(フィールド数 3)。\n");
}

TEST_F(CliRunTest, ReaderFailuresEndWithoutSummary) {
  const std::string left = dir_.Write("l.csv", "1,a\r\n");
  const std::string longCell = dir_.Write("r.csv", "1," + std::string(501, 'x') + "\r\n");
  EXPECT_EQ(Run({"--key", "1", left, longCell}), kExitFailed);
  EXPECT_EQ(Out(), "");
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("r.csv"), std::string::npos);
  EXPECT_NE(Messages()[0].find("サイズオーバー"), std::string::npos);
}

// A quote that never closes fails the run with its line, from the field grid's filling when
// it is in the first record, else from the reading; the last line break alone loses nothing.
TEST_F(CliRunTest, UnclosedQuoteFailsTheRunWithItsLine) {
  struct Case {
    const char* what;
    std::string right;
    int exit;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"a middle line",
       "1,a\r\n2,\"b\r\n3,c\r\n",
       kExitFailed,
       {"引用符が閉じられていません。(2行目)"}},
      {"the first line", "1,\"a\r\n2,b\r\n", kExitFailed, {"引用符が閉じられていません。(1行目)"}},
      {"only the final line break after it", "1,a\r\n2,\"b\r\n", kExitSame, {}},
  };
  const std::string left = dir_.Write("l.csv", "1,a\r\n2,b\r\n");
  for (const Case& c : cases) {
    const std::string right = dir_.Write("r.csv", c.right);
    EXPECT_EQ(Run({"--key", "1", left, right}), c.exit) << c.what;
    EXPECT_EQ(Messages(), c.messages) << c.what;
    // The message names the file it is about, whether the grid's filling or the reading met
    // it.
    if (!c.messages.empty()) {
      EXPECT_EQ(notifier_.Entries().back().box.subject, "右: " + right) << c.what;
    }
    EXPECT_EQ(Out().rfind(kSummaryPrefix, 0) == 0, c.messages.empty()) << c.what;
  }
}

TEST_F(CliRunTest, SettingsFileGivesTheDefaultsAndOptionsOverride) {
  const std::string utf8 = dir_.Write("u.csv",
                                      "\xEF\xBB\xBF"
                                      "1,\xE8\xA1\xA8\r\n");
  const std::string sjis = dir_.Write("s.csv", "1," + S("表") + "\r\n");
  // With marks adopted (the default) the UTF-8 file reads as the same text.
  EXPECT_EQ(Run({"--key", "1", utf8, sjis}), kExitSame);
  // BOM=0 in the settings file: the mark of another encoding is refused.
  home_.Write("korvel.ini", "[MOZI]\r\nCODE=0\r\nBOM=0\r\n");
  EXPECT_EQ(Run({"--key", "1", utf8, sjis}), kExitFailed);
  EXPECT_EQ(Messages(), std::vector<std::string>{"文字コードが異なります。"});
  EXPECT_EQ(Run({"--key", "1", "--encoding", "utf8", utf8, utf8}), kExitSame);
  // RET_M_IDX=2 keeps every line of a quoted cell.
  home_.Write("korvel.ini", "[ETC]\r\nRET_M_IDX=2\r\n");
  const std::string a = dir_.Write("a.csv", "1,\"x\r\ny\"\r\n");
  const std::string b = dir_.Write("b.csv", "1,\"x\r\nz\"\r\n");
  EXPECT_EQ(Run({"--key", "1", a, b}), kExitDifferent);
  EXPECT_EQ(Run({"--key", "1", "--newline", "0", a, b}), kExitSame);
}

// CODE holds 0, 10 or 15; any other number reads files without a mark as Shift-JIS.
// Big-endian UTF-16 comes only from an FE FF mark, never from the settings.
TEST_F(CliRunTest, UnexpectedEncodingCodesReadAsShiftJis) {
  const std::string a = dir_.Write("a.csv", Cat("1,", S("表"), "\r\n2,x\r\n"));
  const std::string b = dir_.Write("b.csv", Cat("1,", S("あ"), "\r\n2,y\r\n"));
  const std::string a2 = dir_.Write("a2.csv", Cat("1,", S("表"), "\r\n2,x\r\n"));
  const std::string be =
      dir_.Write("be.csv", std::string("\xFE\xFF\x00\x31\x00\x2C\x88\x68\x00\x0D\x00\x0A", 12));
  const std::string sjisKanji = dir_.Write("k.csv", Cat("1,", S("表"), "\r\n"));
  for (const char* code : {"11", "1", "-5", "99", "abc"}) {
    SCOPED_TRACE(code);
    home_.Write("korvel.ini", Cat("[MOZI]\r\nCODE=", code, "\r\n"));
    EXPECT_EQ(Run({"--key", "1", a, b}), kExitDifferent);
    EXPECT_EQ(Out().substr(0, Out().find('\n')),
              "左総数:2件 右総数:2件 相違レコード数:2件 左のみ:0件 右のみ:0件");
    EXPECT_EQ(Run({"--key", "1", a, a2}), kExitSame);
    // The mark still decides: FE FF 0031 002C 8868 is "1,表".
    EXPECT_EQ(Run({"--key", "1", be, sjisKanji}), kExitSame);
  }
}

TEST_F(CliRunTest, FixedLengthFilesWithADefinitionFile) {
  const std::string def = dir_.Write("def.dat", S("コード") + "\t3\r\n" + S("名前") + "\t4\r\n");
  const std::string left = dir_.Write("l.txt", "001" + S("山田") + "\r\n002abcd\r\n");
  const std::string right = dir_.Write("r.txt", "002abce\r\n001" + S("山田") + "\r\n");
  EXPECT_EQ(Run({"--kind", "fixed", "--fixed-def", def, "--key", "1", "--pairs", left, right}),
            kExitDifferent);
  EXPECT_EQ(Out(),
            "左総数:2件 右総数:2件 相違レコード数:1件 左のみ:0件 右のみ:0件\n"
            "0\t0\t1\n1\t1\t0\n");
  const std::string bad = dir_.Write("bad.dat", "name\tabc\r\n");
  EXPECT_EQ(Run({"--kind", "fixed", "--fixed-def", bad, left, right}), kExitFailed);
  EXPECT_EQ(Out(), "");
  EXPECT_FALSE(Messages().empty());
}

// 髙 and ∵ as the NEC codes on one side and as their own codes on the other: one character
// each, as key and as compared field.
TEST_F(CliRunTest, ACharacterThatCp932HoldsTwiceIsOneCharacter) {
  EXPECT_EQ(Run({"--key", "1", dir_.Write("l.csv", "\xEE\xE0,\x87\x9A\r\n"),
                 dir_.Write("r.csv", "\xFB\xFC,\x81\xE6\r\n")}),
            kExitSame);
  EXPECT_EQ(Out(), "左総数:1件 右総数:1件 相違レコード数:0件 左のみ:0件 右のみ:0件\n");
}

TEST_F(CliRunTest, ExportReplacesAFileOnlyWithForce) {
  const std::string left = dir_.Write("l.csv", "1,a\r\n2,b\r\n");
  const std::string right = dir_.Write("r.csv", "1,a\r\n2,c\r\n");
  const std::string out = dir_.Write("out.csv", "keep me");
  EXPECT_EQ(Run({"--key", "1", "--export", out, "--format", "csv", left, right}), kExitFailed);
  EXPECT_EQ(test::ReadFileBytes(out), "keep me");
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"既にファイルが存在します。上書きしてよろしいですか？"});
  EXPECT_EQ(Run({"--key", "1", "--export", out, "--format", "csv", "--force", left, right}),
            kExitDifferent);
  EXPECT_EQ(Messages(), std::vector<std::string>{"出力を完了しました。"});
  EXPECT_NE(test::ReadFileBytes(out), "keep me");
  EXPECT_EQ(Run({"--key", "1", "--export", dir_.Path(), "--force", left, right}), kExitFailed);
  EXPECT_EQ(Messages(), std::vector<std::string>{"通常のファイルではないため出力できません。(" +
                                                 dir_.Path() + ")"});
}

// Puts someone else's file under `path` just before a write takes its name (at the first
// flush), as another program might while an export is written.
class PlantBeforeCommit : public FileSystem {
 public:
  explicit PlantBeforeCommit(std::string path) : path_(std::move(path)) {}
  int Sync(int fd) override {
    if (!planted_) {
      planted_ = true;
      std::FILE* file = std::fopen(path_.c_str(), "wb");
      if (file != nullptr) std::fputs("someone else's", file);
      if (file != nullptr) std::fclose(file);
    }
    return FileSystem::Sync(fd);
  }

 private:
  std::string path_;
  bool planted_ = false;
};

TEST_F(CliRunTest, AFileThatAppearsWhileTheExportIsWrittenIsReplacedOnlyWithForce) {
  const std::string left = dir_.Write("l.csv", "1,a\r\n2,b\r\n");
  const std::string right = dir_.Write("r.csv", "1,a\r\n2,c\r\n");
  for (const char* format : {"xml", "csv", "xlsx"}) {
    for (bool force : {false, true}) {
      SCOPED_TRACE(Cat(format, force ? " --force" : ""));
      const std::string out = dir_.File(Cat("race.", format));
      std::vector<std::string> args = {"--key", "1", "--export", out, "--format", format};
      if (force) args.push_back("--force");
      args.insert(args.end(), {left, right});
      PlantBeforeCommit fs(out);
      FileSystem* previous = SetFileSystem(&fs);
      const int status = Run(args);
      SetFileSystem(previous);
      if (force) {
        EXPECT_EQ(status, kExitDifferent);
        EXPECT_EQ(Messages(), std::vector<std::string>{"出力を完了しました。"});
        EXPECT_NE(test::ReadFileBytes(out), "someone else's");
      } else {
        EXPECT_EQ(status, kExitFailed);
        EXPECT_EQ(Messages(), std::vector<std::string>{"既にファイルが存在します。"});
        EXPECT_EQ(test::ReadFileBytes(out), "someone else's");
      }
      EXPECT_EQ(test::FolderEntries(dir_.Path()),
                (std::vector<std::string>{"l.csv", "r.csv", Cat("race.", format)}));
      std::remove(out.c_str());
    }
  }
}

// A FIFO, a folder or a loop of links is never written to nor replaced, by an export or a
// report, with or without --force; the name in the message cannot drive the terminal.
TEST_F(CliRunTest, OnlyARegularFileIsReplacedAndTheRefusalNamesItSafely) {
  const std::string left = dir_.Write("l.csv", "1,a\r\n");
  const std::string right = dir_.Write("r.csv", "1,b\r\n");
  const std::string fifo = dir_.File("fifo\x1b[2J");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = dir_.File("folder");
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  const std::string loop = dir_.File("loop");
  ASSERT_EQ(::symlink("loop", loop.c_str()), 0);
  for (const std::string& target : {fifo, folder, loop}) {
    for (const char* option : {"--export", "--report"}) {
      for (bool force : {false, true}) {
        SCOPED_TRACE(Cat(target, " ", option, force ? " --force" : ""));
        std::vector<std::string> args = {"--key", "1", option, target};
        if (force) args.push_back("--force");
        args.insert(args.end(), {left, right});
        EXPECT_EQ(Run(args), kExitFailed);
        std::string shown = target;
        if (target == fifo) shown = dir_.File("fifo?[2J");
        EXPECT_EQ(Messages(), std::vector<std::string>{
                                  Cat("通常のファイルではないため出力できません。(", shown, ")")});
      }
    }
  }
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(test::FolderEntries(dir_.Path()),
            (std::vector<std::string>{"fifo\x1b[2J", "folder", "l.csv", "loop", "r.csv"}));
}

// The workbook that korvel-cli writes opens in a real XML parser, and its cells read back
// as the compared values.
TEST_F(CliRunTest, XmlExportParsesAndHoldsTheValues) {
  if (std::system("python3 -c 'import xml.etree.ElementTree' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3 with xml.etree is not available";
  }
  const std::string left = dir_.Write("l.csv", S("キー,名前\r\n1,山田&<>\r\n2,鈴木\r\n"));
  const std::string right = dir_.Write("r.csv", S("キー,名前\r\n1,山田&<>\r\n2,佐藤\r\n"));
  for (const char* layout : {"sheet", "field", "row"}) {
    const std::string xml = dir_.File(std::string("out-") + layout + ".xml");
    ASSERT_EQ(Run({"--header", "--key", "1", "--export", xml, "--layout", layout, left, right}),
              kExitDifferent);
    const std::string script =
        dir_.Write("read.py",
                   "import sys, xml.etree.ElementTree as ET\n"
                   "ns = {'ss': 'urn:schemas-microsoft-com:office:spreadsheet'}\n"
                   "root = ET.parse(sys.argv[1]).getroot()\n"
                   "cells = [d.text or '' for d in root.iter('{urn:schemas-microsoft-com:office:"
                   "spreadsheet}Data')]\n"
                   "open(sys.argv[2], 'w', encoding='utf-8').write('\\n'.join(cells))\n");
    const std::string texts = dir_.File("cells.txt");
    ASSERT_EQ(std::system(("python3 " + script + " " + xml + " " + texts).c_str()), 0) << layout;
    const std::string cells = test::ReadFileBytes(texts);
    for (const char* value : {"山田&<>", "鈴木", "佐藤"}) {
      EXPECT_NE(cells.find(value), std::string::npos) << layout << " " << value;
    }
  }
}

// --format xlsx writes a workbook (a zip holding the sheets) whose cells are the compared
// values, replaces a file only with --force, and never leaves its temporary files behind.
TEST_F(CliRunTest, XlsxExportWritesAWorkbook) {
  if (std::system("python3 -c 'import zipfile' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3 with zipfile is not available";
  }
  const std::string left = dir_.Write("l.csv", S("キー,名前\r\n1,0012\r\n2,鈴木\r\n"));
  const std::string right = dir_.Write("r.csv", S("キー,名前\r\n1,0012\r\n2,佐藤\r\n"));
  const std::string script =
      dir_.Write("read.py",
                 "import sys, zipfile\n"
                 "z = zipfile.ZipFile(sys.argv[1])\n"
                 "names = sorted(n for n in z.namelist() if n.startswith('xl/worksheets/'))\n"
                 "text = ''.join(z.read(n).decode('utf-8') for n in names)\n"
                 "open(sys.argv[2], 'w', encoding='utf-8').write(str(len(names)) + text)\n");
  for (const char* layout : {"sheet", "field", "row"}) {
    const std::string out = dir_.File(Cat("out-", layout, ".xlsx"));
    ASSERT_EQ(Run({"--header", "--key", "1", "--export", out, "--format", "xlsx", "--layout",
                   layout, left, right}),
              kExitDifferent);
    EXPECT_EQ(Messages(), std::vector<std::string>{"出力を完了しました。"});
    const std::string texts = dir_.File("cells.txt");
    ASSERT_EQ(std::system(Cat("python3 ", script, " ", out, " ", texts).c_str()), 0) << layout;
    const std::string sheets = test::ReadFileBytes(texts);
    EXPECT_EQ(sheets.substr(0, 1), std::string(layout) == "sheet" ? "2" : "1") << layout;
    for (const char* value : {">0012<", ">鈴木<", ">佐藤<"}) {
      EXPECT_NE(sheets.find(value), std::string::npos) << layout << " " << value;
    }
  }
  const std::string out = dir_.File("out-row.xlsx");
  EXPECT_EQ(Run({"--key", "1", "--export", out, "--format", "xlsx", left, right}), kExitFailed);
  EXPECT_EQ(Messages(),
            std::vector<std::string>{"既にファイルが存在します。上書きしてよろしいですか？"});
  EXPECT_EQ(test::FolderEntries(dir_.Path()),
            (std::vector<std::string>{"cells.txt", "l.csv", "out-field.xlsx", "out-row.xlsx",
                                      "out-sheet.xlsx", "r.csv", "read.py"}));
}

TEST_F(CliRunTest, HelpAndVersion) {
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_NE(Out().find("使い方: korvel-cli"), std::string::npos);
  EXPECT_EQ(Run({"--version"}), 0);
  EXPECT_EQ(Out().rfind("KORVEL", 0), 0u);
  EXPECT_EQ(Run({}), kExitFailed);
  EXPECT_EQ(Err().rfind("korvel-cli: ", 0), 0u);
}

// With --header (or a fixed-length definition) a field name stands for its field number: the
// run gives what the numbers give.
TEST_F(CliRunTest, FieldNamesStandForTheirNumbers) {
  const std::string left = dir_.Write(
      "l.csv", S("社員番号,氏名,部署\r\n1,佐藤 一,営業\r\n2,鈴木,総務\r\n3,高橋,開発\r\n"));
  const std::string right = dir_.Write(
      "r.csv", S("社員番号,氏名,部署\r\n1,佐藤一,営業\r\n2,鈴木,経理\r\n3,高橋,開発\r\n"));
  struct Case {
    std::vector<std::string> named;
    std::vector<std::string> numbered;
    std::string out;  // read from the files by hand
  };
  const std::string summary1 = "左総数:3件 右総数:3件 相違レコード数:1件 左のみ:0件 右のみ:0件\n";
  const std::string summary2 = "左総数:3件 右総数:3件 相違レコード数:2件 左のみ:0件 右のみ:0件\n";
  const Case cases[] = {
      {{"--key", "社員番号", "--ignore-spaces", "氏名,部署"},
       {"--key", "1", "--ignore-spaces", "2,3"},
       summary1},
      {{"--key", "社員番号:num", "--extract", "field-diff:部署", "--pairs"},
       {"--key", "1:num", "--extract", "field-diff:3", "--pairs"},
       Cat(summary2, "1\t1\t1\n")},
      {{"--key", "1", "--not-compared", "部署", "--extract", "field-equal:氏名", "--pairs"},
       {"--key", "1", "--not-compared", "3", "--extract", "field-equal:2", "--pairs"},
       Cat(summary1, "0\t1\t1\n0\t2\t2\n")},
      {{"--key=社員番号", "--ignore-spaces", "2,部署", "--not-loaded", "氏名"},
       {"--key=1", "--ignore-spaces", "2,3", "--not-loaded", "2"},
       summary1},
      {{"--key", "社員番号", "--not-compared", "部署", "--ignore-spaces", "氏名"},
       {"--key", "1", "--not-compared", "3", "--ignore-spaces", "2"},
       "左総数:3件 右総数:3件 相違レコード数:0件 左のみ:0件 右のみ:0件\n"},
  };
  for (const Case& c : cases) {
    for (const auto* args : {&c.named, &c.numbered}) {
      std::vector<std::string> run = {"--header"};
      run.insert(run.end(), args->begin(), args->end());
      run.push_back(left);
      run.push_back(right);
      EXPECT_EQ(Run(run),
                c.out == "左総数:3件 右総数:3件 相違レコード数:0件 左のみ:0件 右のみ:0件\n"
                    ? kExitSame
                    : kExitDifferent)
          << args->front();
      EXPECT_EQ(Out(), c.out) << args->front() << " " << args->at(1);
      EXPECT_EQ(Err(), "");
    }
  }
}

TEST_F(CliRunTest, FieldNamesOfFixedLengthDefinitions) {
  const std::string def = dir_.Write("def.txt", "ID\t2\r\nNAME\t3\r\n");
  const std::string left = dir_.Write("l.txt", "01abc\r\n02def\r\n");
  const std::string right = dir_.Write("r.txt", "02deX\r\n01abc\r\n");
  for (const char* key : {"ID", "1"}) {
    for (const char* extract : {"field-diff:NAME", "field-diff:2"}) {
      EXPECT_EQ(Run({"--kind", "fixed", "--fixed-def", def, "--key", key, "--extract", extract,
                     "--pairs", left, right}),
                kExitDifferent);
      EXPECT_EQ(Out(), "左総数:2件 右総数:2件 相違レコード数:1件 左のみ:0件 右のみ:0件\n1\t1\t0\n");
    }
  }
}

TEST_F(CliRunTest, FieldNameRefusalsNameTheField) {
  const std::string left = dir_.Write("l.csv", S("社員番号,氏名,x,x\r\n1,a,b,c\r\n"));
  const std::string right = dir_.Write("r.csv", S("社員番号,氏名,x,x\r\n1,a,b,c\r\n"));
  const std::string def = dir_.Write("def.txt", "ID\t2\r\n");
  struct Case {
    std::vector<std::string> options;
    std::string reason;
  };
  const Case cases[] = {
      {{"--header", "--key", "所属"}, "--key の項目名 所属 はありません。"},
      {{"--header", "--extract", "field-equal:なし"}, "--extract の項目名 なし はありません。"},
      {{"--header", "--ignore-spaces", "氏名,x"}, "--ignore-spaces の項目名 x は複数あります。"},
      {{"--header", "--key", "社員番号", "--ignore-spaces", "社員番号"},
       "--ignore-spaces はキーのフィールド 1 には指定できません。"},
      {{"--header", "--key", "1", "--key", "社員番号:num"},
       "--key でフィールド 1 が重複しています。"},
      // A character without a Shift-JIS form cannot be in a name read from the files.
      {{"--header", "--key", "社員番号😀"}, "--key の項目名 社員番号😀 はありません。"},
      // Without names in the files a name is a value like any other that is not a number.
      {{"--key", "社員番号"}, "--key の値が正しくありません: 社員番号"},
      {{"--ignore-spaces", "2,氏名"}, "--ignore-spaces の値が正しくありません: 2,氏名"},
      {{"--match-names"}, "--match-names は --header と共に指定してください。"},
      {{"--header", "--match-names", "--kind", "fixed", "--fixed-def", def},
       "--match-names は --kind fixed には指定できません。"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.options;
    args.push_back(left);
    args.push_back(right);
    EXPECT_EQ(Run(args), kExitFailed) << c.reason;
    EXPECT_EQ(Err(), Cat("korvel-cli: ", c.reason, "\n"));
    EXPECT_EQ(Out(), "") << c.reason;
    EXPECT_TRUE(Messages().empty()) << c.reason;
  }
}

// --match-names: the right file's fields pair with the left file's by name; the numbers of
// the options are rows of the shown list (the left fields, then the right-only ones), and
// the exports hold the union of the fields with the one-sided ones never as differences.
TEST_F(CliRunTest, MatchNamesPairsFieldsAndExportsTheirUnion) {
  const std::string left = dir_.Write("l.csv", "k,a,b\r\n1,x,y\r\n2,p,q\r\n");
  const std::string right = dir_.Write("r.csv", "b,k,c\r\ny,1,c1\r\nQ,2,c2\r\n");
  const std::string csv = dir_.File("out.csv");
  EXPECT_EQ(Run({"--header", "--match-names", "--key", "k", "--extract", "field-diff:3", "--pairs",
                 "--export", csv, "--format", "csv", left, right}),
            kExitDifferent);
  EXPECT_EQ(Out(), "左総数:2件 右総数:2件 相違レコード数:1件 左のみ:0件 右のみ:0件\n1\t1\t1\n");
  EXPECT_EQ(test::ReadFileBytes(csv),
            S("No,相違,k,a,L側,R側,b,L側,R側,c,L側,R側\r\n1,   1,2,未,p,,×,q,Q,未,,c2\r\n"));
  // Row 2 of the shown list is the left-only field a, no key; row 4 the right-only field
  // c, where nothing ever differs.
  EXPECT_EQ(Run({"--header", "--match-names", "--key", "2", left, right}), kExitFailed);
  EXPECT_EQ(Messages(), std::vector<std::string>{"キー項目が両方のファイルにありません。(a)"});
  EXPECT_EQ(Run({"--header", "--match-names", "--key", "1", "--extract", "field-diff:4", "--pairs",
                 left, right}),
            kExitDifferent);
  EXPECT_EQ(Out(), "左総数:2件 右総数:2件 相違レコード数:1件 左のみ:0件 右のみ:0件\n");
  const std::string xml = dir_.File("out.xml");
  EXPECT_EQ(Run({"--header", "--match-names", "--key", "k", "--export", xml, left, right}),
            kExitDifferent);
  const std::string sheets = test::ReadFileBytes(xml);
  std::size_t differing = 0;
  for (std::size_t at = sheets.find("×"); at != std::string::npos; at = sheets.find("×", at + 1))
    ++differing;
  EXPECT_EQ(differing, 1u);  // field b of record 2
  EXPECT_NE(sheets.find("<Data ss:Type=\"String\">c2</Data>"), std::string::npos);
  // Without --match-names the same files compare by position: k against b, a against k ...
  EXPECT_EQ(Run({"--header", "--key", "1", left, right}), kExitDifferent);
  EXPECT_EQ(Out(), "左総数:2件 右総数:2件 相違レコード数:0件 左のみ:2件 右のみ:2件\n");
  // ... and a key on one side only is refused.
  EXPECT_EQ(Run({"--header", "--match-names", "--key", "c", left, right}), kExitFailed);
  EXPECT_EQ(Messages(), std::vector<std::string>{"キー項目が両方のファイルにありません。(c)"});
}

}  // namespace
}  // namespace korvel::cli

namespace korvel::cli {
namespace {

// Duplicate keys: a line on standard error after the summary when either side has any, and
// both counts in the report's summary; the pairing and the exit status as ever.
TEST_F(CliRunTest, DuplicateKeysAreToldAndReported) {
  struct Case {
    const char* name;
    const char* left;
    const char* right;
    const char* err;  // "" for nothing
    const char* counts;
  };
  const Case cases[] = {
      {"none", "1,a\r\n2,b\r\n", "2,b\r\n1,a\r\n", "", R"({"left":0,"right":0})"},
      {"left only", "1,a\r\n1,b\r\n1,c\r\n2,d\r\n", "1,a\r\n2,d\r\n",
       "重複キーがあります。(左:3件 右:0件)\n", R"({"left":3,"right":0})"},
      {"both", "1,a\r\n1,b\r\n", "2,a\r\n2,b\r\n3,c\r\n3,c\r\n",
       "重複キーがあります。(左:2件 右:4件)\n", R"({"left":2,"right":4})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string left = dir_.Write("l.csv", c.left);
    const std::string right = dir_.Write("r.csv", c.right);
    const std::string report = dir_.File("report.jsonl");
    const int status = Run({"--key", "1", "--force", "--report", report, left, right});
    EXPECT_EQ(status, std::string(c.name) == "none" ? kExitSame : kExitDifferent);
    EXPECT_EQ(Out().rfind(kSummaryPrefix, 0), 0u);
    EXPECT_EQ(Err(), c.err);
    const std::string written = test::ReadFileBytes(report);
    EXPECT_NE(written.find(Cat("\"duplicate_keys\":", c.counts)), std::string::npos) << written;
  }
  // The summary goes to standard error with the report on standard output; the line on
  // duplicates follows it there.
  const std::string left = dir_.Write("l.csv", "1,a\r\n1,b\r\n");
  EXPECT_EQ(Run({"--key", "1", "--report", "-", left, left}), kExitSame);
  EXPECT_EQ(Err(), Cat("左総数:2件 右総数:2件 相違レコード数:0件 左のみ:0件 右のみ:0件\n",
                       "重複キーがあります。(左:2件 右:2件)\n"));
  // Without keys records pair by position: nothing repeats.
  EXPECT_EQ(Run({left, left}), kExitSame);
  EXPECT_EQ(Err(), "");
}

// --numeric and --tolerance: numbers compare by value within the tolerance (from the
// option, else NUM_TOL of the settings file), other texts as text; the export follows.
TEST_F(CliRunTest, NumericFieldsWithATolerance) {
  const std::string left =
      dir_.Write("l.csv", "1,1.0,x\r\n2,1000,y\r\n3,0.30000001,z\r\n4,10,v\r\n5,abc,w\r\n");
  const std::string right =
      dir_.Write("r.csv", "1,1.00,x\r\n2,\"1,000\",y\r\n3,0.3,z\r\n4,10.5,v\r\n5,abc,w\r\n");
  struct Case {
    std::vector<std::string> options;
    const char* ini;  // korvel.ini, "" for none
    const char* differing;
    int status;
  };
  const Case cases[] = {
      {{}, "", "相違レコード数:4件", kExitDifferent},
      {{"--numeric", "2"}, "", "相違レコード数:2件", kExitDifferent},
      {{"--numeric", "2", "--tolerance", "0.00000001"}, "", "相違レコード数:1件", kExitDifferent},
      {{"--numeric", "2", "--tolerance", "0.5"}, "", "相違レコード数:0件", kExitSame},
      {{"--numeric", "2", "--tolerance", "0.4999"}, "", "相違レコード数:1件", kExitDifferent},
      {{"--numeric", "2"}, "[ETC]\r\nNUM_TOL=0.5\r\n", "相違レコード数:0件", kExitSame},
      {{"--numeric", "2", "--tolerance", "0"},
       "[ETC]\r\nNUM_TOL=0.5\r\n",
       "相違レコード数:2件",
       kExitDifferent},
      {{"--numeric", "2"}, "[ETC]\r\nNUM_TOL=-3\r\n", "相違レコード数:2件", kExitDifferent},
      {{"--tolerance", "0.5"}, "", "相違レコード数:4件", kExitDifferent},
  };
  for (const Case& c : cases) {
    home_.Write("korvel.ini", c.ini);
    std::vector<std::string> args = {"--key", "1"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(left);
    args.push_back(right);
    EXPECT_EQ(Run(args), c.status) << c.differing;
    EXPECT_NE(Out().find(c.differing), std::string::npos) << Out();
  }
  home_.Write("korvel.ini", "");
  // The CSV export marks by the number rule: 1.0 / 1.00 equal, 10 / 10.5 different.
  const std::string csv = dir_.File("out.csv");
  EXPECT_EQ(Run({"--key", "1", "--numeric", "2", "--export", csv, "--format", "csv", "--layout",
                 "field", left, right}),
            kExitDifferent);
  const std::string written = test::ReadFileBytes(csv);
  EXPECT_NE(written.find(Cat(S("○"), ",1.0,1.00")), std::string::npos) << written;
  EXPECT_NE(written.find(Cat(S("×"), ",10,10.5")), std::string::npos) << written;
  // A field number beyond the files is judged by the grid, as for the other field options.
  EXPECT_EQ(Run({"--numeric", "4", left, right}), kExitFailed);
  EXPECT_EQ(Err(), "korvel-cli: --numeric のフィールド 4 はありません(フィールド数 3)。\n");
}

}  // namespace
}  // namespace korvel::cli

namespace korvel::cli {
namespace {

// --field-summary: the compared fields with the report's own counts (read back from its
// summary.fields), in field order, between the summary line and the --pairs rows; a 不要 or
// one-sided field has no line.
class CliFieldSummaryTest : public CliFixture {};

std::string ReportFieldLines(const std::string& report, const std::set<int>& skipped) {
  std::string lines;
  const std::regex entry("\\{\"field\":(\\d+),\"name\":\"([^\"]*)\",\"differing\":(\\d+)\\}");
  const std::string first = report.substr(0, report.find('\n'));
  for (std::sregex_iterator it(first.begin(), first.end(), entry), end; it != end; ++it) {
    if (skipped.count(std::stoi((*it)[1].str())) != 0) continue;
    lines += (*it)[1].str() + "\t" + (*it)[2].str() + "\t" + (*it)[3].str() + "\n";
  }
  return lines;
}

TEST_F(CliFieldSummaryTest, LinesGiveTheReportsCountsOfTheComparedFields) {
  const std::string left = std::string(KORVEL_SOURCE_DIR) + "/samples/staff_old_sjis.csv";
  const std::string right = std::string(KORVEL_SOURCE_DIR) + "/samples/staff_new_utf8bom.csv";
  const std::string report = dir_.File("r.jsonl");
  ASSERT_EQ(RunArgs({"--header", "--key", "1", "--not-compared", "4", "--field-summary",
                     "--extract", "right-only", "--pairs", "--report", report, left, right}),
            kExitDifferent);
  const std::string fields = ReportFieldLines(test::ReadFileBytes(report), {4});
  EXPECT_EQ(std::count(fields.begin(), fields.end(), '\n'), 4);
  EXPECT_NE(fields.find("\t部署\t"), std::string::npos);
  const std::string out = Out();
  const std::string summary = out.substr(0, out.find('\n') + 1);
  EXPECT_EQ(summary, "左総数:7件 右総数:8件 相違レコード数:3件 左のみ:0件 右のみ:1件\n");
  ASSERT_EQ(out.substr(summary.size(), fields.size()), fields);
  // The --pairs rows (the one right-only record) come after.
  EXPECT_EQ(out.substr(summary.size() + fields.size()).rfind("-1\t-1\t", 0), 0u) << out;

  const std::string l = dir_.Write("l.csv", "1,x\r\n");
  const std::string r = dir_.Write("r.csv", "1,y\r\n");
  // Standard output carrying the report cannot take the lines too.
  EXPECT_EQ(RunArgs({"--key", "1", "--field-summary", "--report", "-", l, r}), kExitFailed);
  EXPECT_EQ(Err(), "korvel-cli: --field-summary と --report - は同時に指定できません。\n");
  // A folder run's pairs print rows of their own, not these lines.
  EXPECT_EQ(RunArgs({"--folders", "--field-summary", dir_.Path(), dir_.Path()}), kExitFailed);
  EXPECT_NE(Err().find("--pairs, --field-summary"), std::string::npos) << Err();
}

}  // namespace
}  // namespace korvel::cli
