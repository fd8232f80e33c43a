// korvel.ini shared by programs running at the same time: a save changes only what its own
// program changed, under a lock, from the file as it is then, and writes it whole; stray lines
// do not survive it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/IniFile.h"
#include "platform/Notifier.h"
#include "settings/RecentFiles.h"
#include "settings/SettingsStore.h"

namespace korvel {
namespace {

using test::ReadFileBytes;
using test::ScopedHome;
using test::TempDir;

// What another program does between this one's load and save: it writes the file.
struct MergeCase {
  const char* what;
  std::string file;                        // at this program's start
  std::function<void(SettingsStore&)> me;  // this program's changes
  std::string other;                       // the file after the other program's save
  std::string expected;                    // after this program's save
};

TEST(SharedSettingsTest, ASaveChangesOnlyWhatItsProgramChanged) {
  const std::string full = "[MOZI]\r\nCODE=0\r\nBOM=1\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n";
  const MergeCase cases[] = {
      {"different settings: both stay", full, [](SettingsStore& s) { s.SetEncoding(15); },
       "[MOZI]\r\nCODE=0\r\nBOM=0\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n",
       "[MOZI]\r\nCODE=15\r\nBOM=0\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n"},
      {"the same setting: the later save wins", full, [](SettingsStore& s) { s.SetEncoding(15); },
       "[MOZI]\r\nCODE=10\r\nBOM=1\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n",
       "[MOZI]\r\nCODE=15\r\nBOM=1\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n"},
      {"set to the value it had: not a change", full,
       [](SettingsStore& s) {
         s.SetEncoding(15);
         s.SetEncoding(0);
         s.SetDetectBom(true);
       },
       "[MOZI]\r\nCODE=10\r\nBOM=0\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n",
       "[MOZI]\r\nCODE=10\r\nBOM=0\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n"},
      {"nothing changed: the other's file stays byte for byte", full, [](SettingsStore&) {},
       "; theirs\nX=1\n[MOZI]\nCODE=10\nBOM=0\n[ETC]\nTAB_OLDTYPE=1\nRET_M_IDX=2\n",
       "; theirs\nX=1\n[MOZI]\nCODE=10\nBOM=0\n[ETC]\nTAB_OLDTYPE=1\nRET_M_IDX=2\n"},
      {"a missing setting is written, a present one is not", "",
       [](SettingsStore& s) { s.SetNewlineMode(1); }, "[ETC]\r\nTAB_OLDTYPE=1\r\n",
       "[ETC]\r\nTAB_OLDTYPE=1\r\nRET_M_IDX=1\r\n[MOZI]\r\nCODE=0\r\nBOM=1\r\n"},
      {"the file removed meanwhile: all four", full, [](SettingsStore& s) { s.SetTabOldType(1); },
       "", "[MOZI]\r\nCODE=0\r\nBOM=1\r\n[ETC]\r\nTAB_OLDTYPE=1\r\nRET_M_IDX=0\r\n"},
      {"the other's other keys and comments stay", full,
       [](SettingsStore& s) { s.SetDetectBom(false); },
       "; note\r\n[MOZI]\r\nCODE=0\r\nBOM=1\r\nFONT=x\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n"
       "[USER]\r\nk=v\r\n",
       "; note\r\n[MOZI]\r\nCODE=0\r\nBOM=0\r\nFONT=x\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n"
       "[USER]\r\nk=v\r\n"},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir home;
    ScopedHome scope(home.Path());
    const std::string path = home.File("korvel.ini");
    if (!c.file.empty()) home.Write("korvel.ini", c.file);
    SettingsStore global;
    global.LoadSettings();
    c.me(global);
    if (c.other.empty()) {
      std::filesystem::remove(path);
    } else {
      home.Write("korvel.ini", c.other);
    }
    ASSERT_TRUE(global.SaveSettings());
    EXPECT_EQ(ReadFileBytes(path), c.expected);
  }
}

TEST(SharedSettingsTest, StrayLinesAreDroppedByTheNextSave) {
  TempDir home;
  ScopedHome scope(home.Path());
  RecordingNotifier notes;
  ScopedNotifier notifier(&notes);
  home.Write("korvel.ini",
             "garbage\r\n"
             "; a comment\r\n"
             "  ;indented comment\r\n"
             "\r\n"
             "[MOZI]\r\n"
             "CODE=10\r\n"
             "=no key\r\n"
             "[unclosed\r\n"
             "  \t \r\n"
             "BOM = 0 \r\n"
             "\x01\x02\r\n"
             "[ETC]\r\n"
             "just words\r\n"
             "TAB_OLDTYPE=1\r\n"
             "RET_M_IDX=2");
  SettingsStore global;
  global.LoadSettings();
  EXPECT_EQ(global.GetEncoding(), 10);
  EXPECT_FALSE(global.GetDetectBom());
  global.SetEncoding(15);
  ASSERT_TRUE(global.SaveSettings());
  EXPECT_EQ(ReadFileBytes(home.File("korvel.ini")),
            "; a comment\r\n"
            "  ;indented comment\r\n"
            "\r\n"
            "[MOZI]\r\n"
            "CODE=15\r\n"
            "  \t \r\n"
            "BOM = 0 \r\n"
            "[ETC]\r\n"
            "TAB_OLDTYPE=1\r\n"
            "RET_M_IDX=2");
  EXPECT_TRUE(notes.Entries().empty());
}

TEST(SharedSettingsTest, TheLockFileIsPrivateAndNeverFollowed) {
  TempDir home;
  ScopedHome scope(home.Path());
  {
    SettingsStore global;
    global.LoadSettings();
    ASSERT_TRUE(global.SaveSettings());
    struct stat st;
    ASSERT_EQ(::lstat(home.File("korvel.ini.lock").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
  // A lock file that is a link or a FIFO planted there: no save (and no hang), the file and
  // the link's target untouched.
  const std::string settings = ReadFileBytes(home.File("korvel.ini"));
  TempDir elsewhere;
  const std::string target = elsewhere.Write("target", "keep");
  for (bool fifo : {false, true}) {
    SCOPED_TRACE(fifo ? "FIFO" : "link");
    const std::string lock = home.File("korvel.ini.lock");
    std::filesystem::remove(lock);
    if (fifo) {
      ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
    } else {
      std::filesystem::create_symlink(target, lock);
    }
    SettingsStore global;
    global.LoadSettings();
    global.SetEncoding(15);
    EXPECT_FALSE(global.SaveSettings());
    EXPECT_EQ(ReadFileBytes(home.File("korvel.ini")), settings);
    EXPECT_EQ(ReadFileBytes(target), "keep");
  }
}

// ---------------------------------------------------------------------------
// Two programs saving at once

constexpr int kSaves = 1000;

// The whole file as a save leaves it, with CODE=`code` and TAB_OLDTYPE=`tab`.
const std::regex kSaved(
    "; kept\r\n\\[MOZI\\]\r\nCODE=([0-9]+)\r\nBOM=1\r\n\\[ETC\\]\r\nTAB_OLDTYPE=([0-9]+)\r\n"
    "RET_M_IDX=0\r\n\\[USER\\]\r\nx=1\r\n");

// One program: sets its setting to 1, 2, ... kSaves, saving after each, and checks after each
// save that the file holds its value (only it writes that setting, so any text of the file
// from then on must). The number of failures, as the exit status.
int SaveInALoop(bool encoding) {
  SettingsStore global;
  global.LoadSettings();
  const std::string path = global.MakePath("korvel.ini");
  int failures = 0;
  for (int i = 1; i <= kSaves; ++i) {
    if (encoding) {
      global.SetEncoding(i);
    } else {
      global.SetTabOldType(i);
    }
    if (!global.SaveSettings()) ++failures;
    IniFile ini;
    if (!ini.Load(path) ||
        ini.GetInt(encoding ? "MOZI" : "ETC", encoding ? "CODE" : "TAB_OLDTYPE", -1) != i) {
      ++failures;
    }
  }
  return failures > 100 ? 100 : failures;
}

TEST(SharedSettingsTest, TwoProgramsSavingAThousandTimesEachLoseNothing) {
  TempDir home;
  ScopedHome scope(home.Path());
  const std::string path = home.Write("korvel.ini",
                                      "; kept\r\n[MOZI]\r\nCODE=0\r\nBOM=1\r\nstray line\r\n"
                                      "[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n[USER]\r\nx=1\r\n");
  const std::string initial = ReadFileBytes(path);
  pid_t children[2];
  for (int k = 0; k < 2; ++k) {
    children[k] = ::fork();
    ASSERT_GE(children[k], 0);
    if (children[k] == 0) ::_exit(SaveInALoop(k == 0));
  }
  // Meanwhile every text read from the file is whole: the first one, or one a save left,
  // and neither setting ever goes back.
  int looks = 0;
  int badTexts = 0;
  int backwards = 0;
  int lastCode = 0;
  int lastTab = 0;
  std::string lastBad;
  int running = 2;
  while (running > 0) {
    ::usleep(100);  // leave the savers most of the processor
    const std::string text = ReadFileBytes(path);
    ++looks;
    std::smatch m;
    if (std::regex_match(text, m, kSaved)) {
      const int code = std::stoi(m[1]);
      const int tab = std::stoi(m[2]);
      if (code < lastCode || tab < lastTab) ++backwards;
      lastCode = code;
      lastTab = tab;
    } else if (text != initial) {
      ++badTexts;
      lastBad = text;
    }
    for (pid_t& child : children) {
      int status = 0;
      if (child > 0 && ::waitpid(child, &status, WNOHANG) == child) {
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed saves or lost values in one program";
        child = 0;
        --running;
      }
    }
  }
  EXPECT_EQ(badTexts, 0) << "an empty or mixed file, such as:\n" << lastBad;
  EXPECT_EQ(backwards, 0);
  EXPECT_GT(looks, 1);
  // Both last values are there, and nothing else changed.
  EXPECT_EQ(ReadFileBytes(path),
            "; kept\r\n[MOZI]\r\nCODE=1000\r\nBOM=1\r\n[ETC]\r\nTAB_OLDTYPE=1000\r\n"
            "RET_M_IDX=0\r\n[USER]\r\nx=1\r\n");
  // No temporary file is left beside it.
  EXPECT_EQ(test::FolderEntries(home.Path()),
            (std::vector<std::string>{"korvel.ini", "korvel.ini.lock"}));
}

RecentEntry Pair(const std::string& left, const std::string& right) {
  RecentEntry entry;
  entry.PathL = left;
  entry.PathR = right;
  return entry;
}

std::vector<std::string> LeftPaths(const std::vector<RecentEntry>& list) {
  std::vector<std::string> paths;
  for (const RecentEntry& entry : list) paths.push_back(entry.PathL);
  return paths;
}

TEST(SharedSettingsTest, RecentPairsOfTwoProgramsAreBothKeptTheirOwnFirst) {
  TempDir home;
  ScopedHome scope(home.Path());
  home.Write("korvel.ini",
             "[RECENT]\r\n1=/old1\t/r\t0\t9\t0\t0\r\n2=damaged\r\n3=/old2\t/r\t0\t9\t0\t0\r\n"
             "[WINDOW]\r\nX=abc\r\n");
  SettingsStore first;
  SettingsStore second;
  first.LoadSettings();
  second.LoadSettings();
  EXPECT_EQ(LeftPaths(first.Recent()), (std::vector<std::string>{"/old1", "/old2"}));
  EXPECT_FALSE(first.GetWindowPlace().has_value());

  first.AddRecent(Pair("/a1", "/r"));
  second.AddRecent(Pair("/b1", "/r"));
  first.AddRecent(Pair("/a2", "/r"));
  second.AddRecent(Pair("/old2", "/r"));  // used again: moves up
  // A clipboard-free pair that cannot be kept changes nothing.
  second.AddRecent(Pair("/x\ty", "/r"));
  EXPECT_EQ(LeftPaths(first.Recent()), (std::vector<std::string>{"/a2", "/a1", "/old1", "/old2"}));
  ASSERT_TRUE(first.SaveSettings());
  ASSERT_TRUE(second.SaveSettings());
  const std::vector<std::string> both = {"/old2", "/b1", "/a2", "/a1", "/old1"};
  EXPECT_EQ(LeftPaths(second.Recent()), both);
  SettingsStore third;
  third.LoadSettings();
  EXPECT_EQ(LeftPaths(third.Recent()), both);
  // The damaged [WINDOW] is left as it was; nothing was set, so nothing was written there.
  const std::string text = ReadFileBytes(home.File("korvel.ini"));
  EXPECT_NE(text.find("[WINDOW]\r\nX=abc\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("damaged"), std::string::npos) << text;

  // A save without additions leaves another program's later list alone.
  ASSERT_TRUE(first.SaveSettings());
  SettingsStore fourth;
  fourth.LoadSettings();
  EXPECT_EQ(LeftPaths(fourth.Recent()), both);
}

TEST(SharedSettingsTest, TheWindowPlaceIsSavedAndReadBack) {
  TempDir home;
  ScopedHome scope(home.Path());
  SettingsStore global;
  global.LoadSettings();
  EXPECT_FALSE(global.GetWindowPlace().has_value());
  global.SetWindowPlace({-30, 40, 1000, 700, 520});
  ASSERT_TRUE(global.SaveSettings());
  SettingsStore again;
  again.LoadSettings();
  EXPECT_EQ(again.GetWindowPlace(), (WindowPlace{-30, 40, 1000, 700, 520}));
}

// One program of the race below: adds its five pairs, saving after each, as five windows
// of it closing one after another would.
int AddRecentInALoop(char side) {
  int failures = 0;
  for (int i = 0; i < 5; ++i) {
    SettingsStore global;
    global.LoadSettings();
    global.AddRecent(Pair(test::Cat("/", std::string(1, side), std::to_string(i)), "/r"));
    if (!global.SaveSettings()) ++failures;
  }
  return failures;
}

TEST(SharedSettingsTest, TwoProgramsAddingRecentPairsAtOnceLoseNone) {
  TempDir home;
  ScopedHome scope(home.Path());
  pid_t children[2];
  for (int k = 0; k < 2; ++k) {
    children[k] = ::fork();
    ASSERT_GE(children[k], 0);
    if (children[k] == 0) ::_exit(AddRecentInALoop(k == 0 ? 'a' : 'b'));
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  SettingsStore global;
  global.LoadSettings();
  std::vector<std::string> paths = LeftPaths(global.Recent());
  // Each program's own order survives, newest first, whatever the interleaving.
  std::vector<std::string> a, b;
  for (const std::string& path : paths) (path[1] == 'a' ? a : b).push_back(path);
  EXPECT_EQ(a, (std::vector<std::string>{"/a4", "/a3", "/a2", "/a1", "/a0"}));
  EXPECT_EQ(b, (std::vector<std::string>{"/b4", "/b3", "/b2", "/b1", "/b0"}));
}

}  // namespace
}  // namespace korvel
