#include "compare/FixDefinitionFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::ReadFileBytes;
using test::S;
using test::TempDir;

}  // namespace

// Readable failure output.
void PrintTo(const FixDefinitionRow& row, std::ostream* os) {
  *os << "{\"" << Cp932ToUtf8(row.name) << "\", \"" << Cp932ToUtf8(row.size) << "\"}";
}

namespace {

const char kTooSmall[] = "サイズが不正です。１以上の値を入力してください。";
const char kTooLarge[] = "サイズが不正です。500以内の値を入力してください。";

TEST(FixDefinitionFileTest, SizesAreDecimalIntegersAndAnythingElseIsZero) {
  EXPECT_EQ(ParseFixSize("10"), 10);
  EXPECT_EQ(ParseFixSize(" 500 "), 500);
  EXPECT_EQ(ParseFixSize("+7"), 7);
  EXPECT_EQ(ParseFixSize("-3"), -3);
  for (const char* text : {"", "abc", "12abc", "1.5", "0x10", "99999999999", "+", "-", "+-1"}) {
    EXPECT_EQ(ParseFixSize(text), 0) << text;
  }
  EXPECT_EQ(ParseFixSize(S("５")), 0);  // full-width digits are not a number
}

TEST(FixDefinitionFileTest, ChecksNamesAndSizesRowByRowAndStopsAtTheFirstFailure) {
  RecordingNotifier notes;
  struct Case {
    FixDefinitionRows rows;
    int code;
    int row;
    const char* message;
  };
  const std::string name30 = S("あいうえおかきくけこさしすせそ");
  const std::string name31 = S("あいうえおかきくけこさしすせそ") + "x";
  const std::vector<Case> cases = {
      {{{"A", "10"}, {"", "500"}, {name30, "1"}}, kFixCheckOk, -1, nullptr},
      {{{"A", "10"}, {"B", "abc"}}, kFixSizeTooSmall, 1, kTooSmall},
      {{{"A", "0"}}, kFixSizeTooSmall, 0, kTooSmall},
      {{{"A", "-3"}}, kFixSizeTooSmall, 0, kTooSmall},
      {{{"A", ""}}, kFixSizeTooSmall, 0, kTooSmall},
      {{{"A", "501"}, {"B", "0"}}, kFixSizeTooLarge, 0, kTooLarge},
      {{{"A", "1"}, {name31, "501"}}, kFixNameTooLong, 1, "名前が長すぎます。"},
      {{{"", ""}}, kFixSizeTooSmall, 0, kTooSmall},  // an empty row in the middle
      {{}, kFixNoDefinition, -1, "サイズを指定してください。"},
  };
  for (const Case& c : cases) {
    notes.Clear();
    int row = 99;
    EXPECT_EQ(test::Shown(notes, CheckFixDefinitions(c.rows, &row)), c.code);
    EXPECT_EQ(row, c.row);
    if (c.message) {
      ASSERT_EQ(notes.Texts(), std::vector<std::string>{c.message});
      EXPECT_EQ(Cp932ToUtf8(notes.Entries()[0].box.caption), "注意");
      EXPECT_EQ(notes.Entries()[0].box.icon, MessageIcon::kWarning);
    } else {
      EXPECT_TRUE(notes.Entries().empty());
    }
  }
}

TEST(FixDefinitionFileTest, ConfirmedRowsBecomeTheReadersDefinitions) {
  RecordingNotifier notes;
  FixedWidthReader fix;
  ASSERT_EQ(fix.AddDefinition("OLD", 9).Code(), FixedWidthReader::kAddOk);
  EXPECT_EQ(test::Shown(notes, ApplyFixDefinitions({{"A", "10"}, {"B", "x"}}, fix)),
            kFixSizeTooSmall);
  EXPECT_EQ(fix.DefinitionCount(), 1);  // unchanged
  EXPECT_TRUE(notes.Entries().empty());

  const FixDefinitionRows rows = {{S("氏名"), " 10"}, {"", "5"}, {"CODE", "20"}};
  ASSERT_EQ(test::Shown(notes, ApplyFixDefinitions(rows, fix)), kFixCheckOk);
  ASSERT_EQ(fix.DefinitionCount(), 3);
  EXPECT_EQ(std::string(fix.DefinitionName(0)), S("氏名"));
  EXPECT_EQ(fix.DefinitionLength(0), 10);
  EXPECT_EQ(fix.DefinitionLength(2), 20);
  EXPECT_EQ(RowsFromFix(fix), (FixDefinitionRows{{S("氏名"), "10"}, {"", "5"}, {"CODE", "20"}}));
  EXPECT_EQ(FixStartPositions(rows), (std::vector<long long>{1, 11, 16}));
  EXPECT_TRUE(notes.Entries().empty());
}

TEST(FixDefinitionFileTest, SavedFilesHoldOneCrLfLineAPerRowAndLoadBack) {
  TempDir dir;
  RecordingNotifier notes;
  NotifierPrompter prompter(notes);
  const FixDefinitionRows rows = {{S("名前"), "10"}, {"", "+5"}};
  const std::string path = dir.File("def.dat");
  ASSERT_EQ(test::Shown(notes, SaveFixDefinitionFile(path, rows, prompter)), 0);
  EXPECT_EQ(ReadFileBytes(path), S("名前") + "\t10\r\n\t5\r\n");
  EXPECT_EQ(notes.Texts(), std::vector<std::string>{"保存しました。"});
  EXPECT_EQ(Cp932ToUtf8(notes.Entries()[0].box.caption), "確認");
  EXPECT_EQ(notes.Entries()[0].box.icon, MessageIcon::kInformation);

  FixDefinitionRows loaded = {{"stale", "1"}};
  ASSERT_EQ(test::Shown(notes, LoadFixDefinitionFile(path, loaded)), 0);
  EXPECT_EQ(loaded, (FixDefinitionRows{{S("名前"), "10"}, {"", "5"}}));

  // Saving over it asks first; No keeps the file.
  notes.Clear();
  notes.QueueAnswer(false);
  EXPECT_EQ(test::Shown(notes, SaveFixDefinitionFile(path, {{"X", "1"}}, prompter)), 1);
  EXPECT_EQ(notes.Texts(),
            std::vector<std::string>{"既にファイルが存在します。上書きしてよろしいですか？"});
  EXPECT_EQ(ReadFileBytes(path), S("名前") + "\t10\r\n\t5\r\n");
  notes.Clear();
  notes.QueueAnswer(true);
  EXPECT_EQ(test::Shown(notes, SaveFixDefinitionFile(path, {{"X", "1"}}, prompter)), 0);
  EXPECT_EQ(ReadFileBytes(path), "X\t1\r\n");

  // The check comes first; a folder is refused.
  notes.Clear();
  EXPECT_EQ(
      test::Shown(notes, SaveFixDefinitionFile(dir.File("bad.dat"), {{"X", "501"}}, prompter)), 1);
  EXPECT_EQ(notes.Texts(), std::vector<std::string>{kTooLarge});
  EXPECT_FALSE(std::filesystem::exists(dir.File("bad.dat")));
  notes.Clear();
  EXPECT_EQ(test::Shown(notes, SaveFixDefinitionFile(dir.Path(), {{"X", "1"}}, prompter)), 1);
  EXPECT_EQ(notes.Texts(), std::vector<std::string>{"フォルダが指定されています。"});
}

TEST(FixDefinitionFileTest, LoadingTakesAnyLinesAndChecksNothing) {
  TempDir dir;
  RecordingNotifier notes;
  const std::string longName(150, 'n');
  const std::string path = dir.Write("odd.dat",
                                     "plain line\r\n"
                                     "\r\n"
                                     "a\tabc\textra\r"
                                     "b\t0\n"
                                     "\tlf-ended\n\r\n" +
                                         longName + "\t-3\r\n" + S("表示") + "\t501");
  FixDefinitionRows rows;
  ASSERT_EQ(test::Shown(notes, LoadFixDefinitionFile(path, rows)), 0);
  // Only CR ends a line: the LFs are dropped and the lines they ended run on.
  EXPECT_EQ(rows, (FixDefinitionRows{{"plain line", ""},
                                     {"", ""},
                                     {"a", "abc"},
                                     {"b", "0"},
                                     {std::string(100, 'n'), "-3"},
                                     {S("表示"), "501"}}));
  EXPECT_TRUE(notes.Entries().empty());
  EXPECT_EQ(test::Shown(notes, CheckFixDefinitions(rows)), kFixSizeTooSmall);

  FixDefinitionRows kept = {{"K", "1"}};
  EXPECT_EQ(test::Shown(notes, LoadFixDefinitionFile(dir.File("missing.dat"), kept)), -1);
  EXPECT_EQ(kept, (FixDefinitionRows{{"K", "1"}}));
  EXPECT_EQ(notes.Texts().back(), "ファイルの読み込みに失敗しました。");

  ASSERT_EQ(test::Shown(notes, LoadFixDefinitionFile(dir.Write("empty.dat", ""), kept)), 0);
  EXPECT_TRUE(kept.empty());
}

class FailingWrites : public FileSystem {
 public:
  ssize_t Write(int, const void*, std::size_t) override { return -1; }
};

TEST(FixDefinitionFileTest, AFailedWriteIsReportedNotAnnouncedAsSaved) {
  TempDir dir;
  RecordingNotifier notes;
  FailingWrites fs;
  FileSystem* previous = SetFileSystem(&fs);
  EXPECT_EQ(test::Shown(notes, WriteFixDefinitionFile(dir.File("x.dat"), {{"A", "1"}})), -1);
  SetFileSystem(previous);
  EXPECT_EQ(notes.Texts(), std::vector<std::string>{"保存に失敗しました。"});
  EXPECT_EQ(test::Shown(notes, WriteFixDefinitionFile(dir.File("no/such/x.dat"), {{"A", "1"}})),
            -1);
}

TEST(FixDefinitionFileTest, DatIsAppendedOnlyWithoutADotInTheFileName) {
  EXPECT_EQ(WithDatExtension("/a.b/def"), "/a.b/def.dat");
  EXPECT_EQ(WithDatExtension("/a/def.txt"), "/a/def.txt");
  EXPECT_EQ(WithDatExtension("def."), "def.");
}

}  // namespace
}  // namespace korvel
