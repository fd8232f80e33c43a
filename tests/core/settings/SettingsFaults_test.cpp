// Faults of the disk while the settings are saved at the end of the program: the old
// settings file must stay whole, no side file may be left behind, and the failure is
// returned, not shown.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "FaultyFileSystem.h"
#include "TestUtil.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"
#include "settings/SettingsStore.h"

namespace korvel {
namespace {

using test::FaultyFileSystem;
using test::ScopedFaultyFileSystem;

TEST(SettingsFaultsTest, AFailedSaveKeepsTheOldSettingsWhole) {
  test::HomeDir home;
  RecordingNotifier notes;
  NotifierPrompter prompter(notes);
  const std::string old = "; mine\r\n[MOZI]\r\nCODE=10\r\nBOM=0\r\n[ETC]\r\nTAB_OLDTYPE=1\r\n";
  const std::string path = home.Write("korvel.ini", old);

  enum class Fault { kDiskFull, kNothingWritten, kCloseFails };
  for (Fault fault : {Fault::kDiskFull, Fault::kNothingWritten, Fault::kCloseFails}) {
    SettingsStore global(&prompter);
    global.LoadSettings();
    ASSERT_EQ(global.GetEncoding(), 10);
    global.SetEncoding(15);
    FaultyFileSystem fs;
    if (fault == Fault::kDiskFull) fs.LimitWrites(20);
    if (fault == Fault::kNothingWritten) fs.LimitWrites(0);
    if (fault == Fault::kCloseFails) fs.FailWriteCloses();
    {
      ScopedFaultyFileSystem scopedFs(&fs);
      EXPECT_FALSE(global.SaveSettings());
    }
    EXPECT_GT(fs.Failures(), 0);
    EXPECT_EQ(test::ReadFileBytes(path), old);
    EXPECT_EQ(GetPathKind(path + ".tmp"), PathKind::kMissing);
    EXPECT_TRUE(notes.Entries().empty());
  }

  // Once the disk is well again the save goes through and keeps the rest of the file.
  SettingsStore global(&prompter);
  global.LoadSettings();
  global.SetEncoding(15);
  EXPECT_TRUE(global.SaveSettings());
  EXPECT_EQ(test::ReadFileBytes(path),
            "; mine\r\n[MOZI]\r\nCODE=15\r\nBOM=0\r\n[ETC]\r\nTAB_OLDTYPE=1\r\nRET_M_IDX=0\r\n");
}

}  // namespace
}  // namespace korvel
