// Faults of the disk during an export and during the saving of a definition file: a file
// that cannot be closed cleanly may have lost bytes the system still held, and a disk that
// fills up in the middle of an export of a real comparison. Neither may be announced as
// done.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExportTestSource.h"
#include "FaultyFileSystem.h"
#include "TestUtil.h"
#include "compare/CompareSession.h"
#include "compare/FixDefinitionFile.h"
#include "export/ExportDriver.h"
#include "export/SessionExportSource.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::FaultyFileSystem;
using test::ScopedFaultyFileSystem;
using Texts = std::vector<std::string>;

TEST(ExportFaultsTest, AFailedCloseIsAFailedWrite) {
  RecordingNotifier notes;
  test::TempDir dir;
  const test::MemoryExportSource source = test::SampleSource();
  for (ExportFormat format : {ExportFormat::kXml, ExportFormat::kCsv}) {
    for (ExportLayout layout :
         {ExportLayout::kPerSheet, ExportLayout::kAlternateFields, ExportLayout::kAlternateRows}) {
      FaultyFileSystem fs;
      fs.FailWriteCloses();
      ScopedFaultyFileSystem scopedFs(&fs);
      notes.Clear();
      EXPECT_EQ(test::Shown(notes, RunExport(source, format, layout, dir.File("out"))),
                kExportWriteFailed);
      EXPECT_EQ(notes.Texts(), Texts{"書き込みに失敗しました。"});
      EXPECT_EQ(fs.Failures(), 1);
    }
  }

  // The definition file as well.
  FaultyFileSystem fs;
  fs.FailWriteCloses();
  ScopedFaultyFileSystem scopedFs(&fs);
  notes.Clear();
  EXPECT_EQ(
      test::Shown(notes, WriteFixDefinitionFile(dir.File("def.dat"), {{"A", "1"}, {"B", "2"}})),
      -1);
  EXPECT_EQ(notes.Texts(), Texts{"保存に失敗しました。"});
}

TEST(ExportFaultsTest, ADiskFillingUpDuringTheExportOfAComparison) {
  RecordingNotifier notes;
  test::TempDir dir;
  const test::PairedTexts texts = test::KeyedPairs(3000, "left value ");
  CompareSession session;
  session.EditSettings().PathL = dir.Write("l.csv", texts.left);
  session.EditSettings().PathR = dir.Write("r.csv", texts.right);
  FieldGrid grid;
  NotifierPrompter prompter(notes);
  ASSERT_EQ(test::Shown(notes, session.FillFieldGrids(grid, prompter)), 0);
  grid.Toggle(1, FieldGrid::kKey);
  ASSERT_EQ(test::Shown(notes, session.CompareSides(grid)), 0);
  ASSERT_EQ(test::Shown(notes, session.ExtractByStatus(kExtractDiffering, true)), 0);
  session.ActivateExtraction();
  const SessionExportSource source(session);
  ASSERT_GT(source.PairCount(), 1000);
  for (ExportFormat format : {ExportFormat::kXml, ExportFormat::kCsv}) {
    const std::string whole = test::ExportBytes(source, format, ExportLayout::kAlternateRows);
    ASSERT_GT(whole.size(), 100000u);
    FaultyFileSystem fs;
    fs.LimitWrites(whole.size() / 2);
    ScopedFaultyFileSystem scopedFs(&fs);
    notes.Clear();
    // The file being replaced keeps its old content whole, and nothing else is left in
    // the folder.
    const std::string out = dir.Write("out", "the previous export");
    EXPECT_EQ(
        test::Shown(notes, RunExport(source, format, ExportLayout::kAlternateRows, out, true)),
        kExportWriteFailed);
    EXPECT_EQ(notes.Texts(), Texts{"書き込みに失敗しました。"});
    EXPECT_EQ(test::ReadFileBytes(out), "the previous export");
    EXPECT_EQ(test::FolderEntries(dir.Path()), (Texts{"l.csv", "out", "r.csv"}));
  }
}

}  // namespace
}  // namespace korvel
