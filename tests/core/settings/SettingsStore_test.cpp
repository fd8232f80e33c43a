#include "settings/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "io/TextFile.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::Cat;
using test::ReadFileBytes;
using test::ScopedHome;
using test::TempDir;

class ScopedWorkingFolder {
 public:
  explicit ScopedWorkingFolder(const std::string& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~ScopedWorkingFolder() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

// A folder under `base` whose path, with its closing '/', is exactly `length` bytes.
std::string FolderOfLength(const std::string& base, std::size_t length) {
  std::string folder = base;
  while (folder.size() + 1 < length) {
    std::size_t part = std::min<std::size_t>(100, length - folder.size() - 2);
    folder += '/';
    folder.append(std::max<std::size_t>(part, 1), 'd');
  }
  std::filesystem::create_directories(folder);
  return folder + "/";
}

TEST(SettingsStoreTest, FirstStartUsesDefaultsAndSavingWritesAllFourKeys) {
  TempDir home;
  ScopedHome scope(home.Path());
  RecordingNotifier notes;
  NotifierPrompter prompter(notes);
  SettingsStore global(&prompter);
  EXPECT_EQ(global.Folder(), home.Path() + "/");
  global.LoadSettings();
  EXPECT_EQ(global.GetEncoding(), kEncodingSjis);
  EXPECT_TRUE(global.GetDetectBom());
  EXPECT_EQ(global.GetTabOldType(), 0);
  EXPECT_EQ(global.GetNewlineMode(), 0);
  ASSERT_TRUE(global.SaveSettings());
  EXPECT_EQ(ReadFileBytes(home.File("korvel.ini")),
            "[MOZI]\r\nCODE=0\r\nBOM=1\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n");
  EXPECT_TRUE(notes.Entries().empty());
}

TEST(SettingsStoreTest, SettingsSurviveARoundTripAndTheRestOfTheFileStays) {
  TempDir home;
  ScopedHome scope(home.Path());
  home.Write("korvel.ini", "; mine\n[MOZI]\nCODE=0\nOTHER=keep\n\n[USER]\nx=1\n");
  {
    SettingsStore global;
    global.LoadSettings();
    global.SetEncoding(kEncodingUtf8);
    global.SetDetectBom(false);
    global.SetTabOldType(1);
    global.SetNewlineMode(2);
    ASSERT_TRUE(global.SaveSettings());
  }
  EXPECT_EQ(ReadFileBytes(home.File("korvel.ini")),
            "; mine\n[MOZI]\nCODE=15\nOTHER=keep\nBOM=0\r\n\n[USER]\nx=1\n"
            "[ETC]\r\nTAB_OLDTYPE=1\r\nRET_M_IDX=2\r\n");
  SettingsStore again;
  again.LoadSettings();
  EXPECT_EQ(again.GetEncoding(), kEncodingUtf8);
  EXPECT_FALSE(again.GetDetectBom());
  EXPECT_EQ(again.GetTabOldType(), 1);
  EXPECT_EQ(again.GetNewlineMode(), 2);
}

TEST(SettingsStoreTest, MalformedValuesFallBackToTheirDefaults) {
  TempDir home;
  ScopedHome scope(home.Path());
  RecordingNotifier notes;
  NotifierPrompter prompter(notes);
  home.Write("korvel.ini",
             "garbage\n[mozi]\ncode=abc\nbom=7\n[ETC\nTAB_OLDTYPE=1\n[Etc]\nTAB_OLDTYPE=\n"
             "RET_M_IDX=2x\n");
  SettingsStore global(&prompter);
  global.SetEncoding(10);
  global.SetNewlineMode(1);
  global.LoadSettings();
  EXPECT_EQ(global.GetEncoding(), 0);
  EXPECT_TRUE(global.GetDetectBom());  // any integer but 0
  EXPECT_EQ(global.GetTabOldType(), 0);
  EXPECT_EQ(global.GetNewlineMode(), 0);

  // Unexpected numbers are kept as stored.
  home.Write("korvel.ini", "[MOZI]\r\nCODE=99\r\nBOM=0\r\n[ETC]\r\nRET_M_IDX=5\r\n");
  global.LoadSettings();
  EXPECT_EQ(global.GetEncoding(), 99);
  EXPECT_FALSE(global.GetDetectBom());
  EXPECT_EQ(global.GetNewlineMode(), 5);
  EXPECT_TRUE(notes.Entries().empty());
}

TEST(SettingsStoreTest, BomZeroRefusesAForeignMarkInTheSharedReader) {
  TempDir home;
  ScopedHome scope(home.Path());
  home.Write("korvel.ini", "[MOZI]\r\nCODE=0\r\nBOM=0\r\n");
  std::string data = home.Write("u8.txt",
                                "\xEF\xBB\xBF"
                                "abc\r\n");
  SettingsStore global;
  global.LoadSettings();
  FixedWidthReader& fix = global.FixReader();
  EXPECT_EQ(&fix, &global.FixReader());
  ASSERT_EQ(fix.AddDefinition("A", 3).Code(), FixedWidthReader::kAddOk);
  EXPECT_EQ(fix.Open(data, 0, global.GetEncoding(), global.GetDetectBom() ? 1 : 0),
            FixedWidthReader::kOpenFailed);
  EXPECT_EQ(Cp932ToUtf8(fix.GetError()), "文字コードが異なります。");
  // The definitions stay with the shared reader.
  EXPECT_EQ(global.FixReader().DefinitionCount(), 1);
}

// A program folder has no length limit of its own: settings and the clipboard captures go
// into it however long its path, and never into the current folder.
TEST(SettingsStoreTest, LongProgramFoldersAreUsedWhole) {
  TempDir base;
  RecordingNotifier notes;
  NotifierPrompter prompter(notes);
  // A settings file in the current folder that must never be read or written.
  TempDir work;
  const std::string decoy = "[MOZI]\r\nCODE=10\r\n";
  work.Write("korvel.ini", decoy);
  ScopedWorkingFolder cwd(work.Path());
  for (std::size_t length : {250u, 259u, 260u, 300u, 1000u}) {
    SCOPED_TRACE(length);
    const std::string folder = FolderOfLength(base.Path(), length);
    ASSERT_EQ(folder.size(), length);
    ScopedHome scope(folder);
    SettingsStore global(&prompter);
    ASSERT_EQ(global.Folder(), folder);
    for (const char* name : {"korvel.ini", "tmpA.dat", "tmpB.dat", "korvel.html"}) {
      EXPECT_EQ(global.MakePath(name), Cat(folder, name));
    }
    std::filesystem::remove(folder + "korvel.ini");
    global.LoadSettings();
    EXPECT_EQ(global.GetEncoding(), 0);  // not the current folder's 10
    global.SetEncoding(kEncodingUtf8);
    ASSERT_TRUE(global.SaveSettings());
    SettingsStore again;
    again.LoadSettings();
    EXPECT_EQ(again.GetEncoding(), kEncodingUtf8);
    EXPECT_EQ(ReadFileBytes(folder + "korvel.ini").find("CODE=15"), 8u);
    EXPECT_EQ(global.SaveRefusal(), "");
  }
  EXPECT_TRUE(notes.Entries().empty());
  EXPECT_EQ(ReadFileBytes(work.File("korvel.ini")), decoy);
  EXPECT_EQ(test::FolderEntries(work.Path()), std::vector<std::string>{"korvel.ini"});
}

// No folder to be had (here: KORVEL_HOME names a link, which is refused): nothing is read or
// written anywhere, the defaults hold, and the reason is there for the window to show.
TEST(SettingsStoreTest, WithoutAProgramFolderNothingIsReadOrWritten) {
  TempDir base;
  RecordingNotifier notes;
  NotifierPrompter prompter(notes);
  std::filesystem::create_directory(base.File("real"));
  const std::string real = base.Write("real/korvel.ini", "[MOZI]\r\nCODE=15\r\n");
  std::filesystem::create_directory_symlink(base.File("real"), base.File("link"));
  TempDir work;
  work.Write("korvel.ini", "[MOZI]\r\nCODE=10\r\n");
  ScopedWorkingFolder cwd(work.Path());
  ScopedHome scope(base.File("link"));
  SettingsStore global(&prompter);
  EXPECT_EQ(global.Folder(), "");
  EXPECT_EQ(global.MakePath("korvel.ini"), "");
  EXPECT_EQ(global.MakePath("tmpA.dat"), "");
  global.LoadSettings();
  EXPECT_EQ(global.GetEncoding(), 0);
  global.SetEncoding(kEncodingUtf16);
  EXPECT_FALSE(global.SaveSettings());
  EXPECT_EQ(Cp932ToUtf8(global.SaveRefusal()), "設定を保存できません。");
  EXPECT_FALSE(global.HelpExists());
  EXPECT_EQ(notes.Texts(), std::vector<std::string>{"設定フォルダの権限が安全ではありません。(" +
                                                    base.File("link") + ")"});
  EXPECT_EQ(ReadFileBytes(real), "[MOZI]\r\nCODE=15\r\n");
  EXPECT_EQ(ReadFileBytes(work.File("korvel.ini")), "[MOZI]\r\nCODE=10\r\n");
  EXPECT_EQ(test::FolderEntries(work.Path()), std::vector<std::string>{"korvel.ini"});
  EXPECT_EQ(test::FolderEntries(base.File("real")), std::vector<std::string>{"korvel.ini"});
}

// A program folder that its group or others may write to could hold a korvel.ini that
// someone else planted: its settings are not read, nothing is saved there, and the user is
// told why.
TEST(SettingsStoreTest, AProgramFolderOthersMayWriteToIsRefused) {
  for (mode_t mode : {0777, 0770, 0703}) {
    SCOPED_TRACE(mode);
    TempDir home;
    const std::string planted = home.Write("korvel.ini", "[MOZI]\r\nCODE=15\r\n");
    ASSERT_EQ(::chmod(home.Path().c_str(), mode), 0);
    ScopedHome scope(home.Path());
    RecordingNotifier notes;
    NotifierPrompter prompter(notes);
    SettingsStore global(&prompter);
    EXPECT_EQ(global.Folder(), "");
    global.LoadSettings();
    EXPECT_EQ(global.GetEncoding(), 0);
    global.SetEncoding(kEncodingUtf16);
    EXPECT_FALSE(global.SaveSettings());
    EXPECT_EQ(notes.Texts(), std::vector<std::string>{"設定フォルダの権限が安全ではありません。(" +
                                                      home.Path() + ")"});
    EXPECT_EQ(ReadFileBytes(planted), "[MOZI]\r\nCODE=15\r\n");
    EXPECT_EQ(test::FolderEntries(home.Path()), std::vector<std::string>{"korvel.ini"});
    ASSERT_EQ(::chmod(home.Path().c_str(), 0700), 0);
  }
}

// The program's own files are never reached through a link planted under their names.
TEST(SettingsStoreTest, LinksInPlaceOfTheSettingsFileAreNotFollowed) {
  TempDir home;
  TempDir elsewhere;
  const std::string target = elsewhere.Write("target", "[MOZI]\r\nCODE=15\r\n");
  ASSERT_EQ(::symlink(target.c_str(), home.File("korvel.ini").c_str()), 0);
  ScopedHome scope(home.Path());
  RecordingNotifier notes;
  NotifierPrompter prompter(notes);
  SettingsStore global(&prompter);
  global.LoadSettings();
  EXPECT_EQ(global.GetEncoding(), 0);
  global.SetEncoding(kEncodingUtf16);
  EXPECT_FALSE(global.SaveSettings());
  EXPECT_EQ(ReadFileBytes(target), "[MOZI]\r\nCODE=15\r\n");
  struct stat st {};
  ASSERT_EQ(::lstat(home.File("korvel.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  // Nor is a capture file written through one.
  ASSERT_EQ(::symlink(target.c_str(), home.File("tmpA.dat").c_str()), 0);
  TextFile capture;
  capture.SetFollowLinks(false);
  EXPECT_NE(capture.Open(global.MakePath("tmpA.dat"), TextFile::kModeWrite, 0), 0);
  EXPECT_EQ(capture.OpenRefusal(), FileSystem::kLinkRefused);
  EXPECT_EQ(ReadFileBytes(target), "[MOZI]\r\nCODE=15\r\n");
}

TEST(SettingsStoreTest, AFailedSaveIsReturnedButNotShown) {
  TempDir home;
  ScopedHome scope(home.Path());
  RecordingNotifier notes;
  NotifierPrompter prompter(notes);
  std::filesystem::create_directory(home.File("korvel.ini"));
  SettingsStore global(&prompter);
  global.LoadSettings();
  EXPECT_TRUE(global.GetDetectBom());
  EXPECT_FALSE(global.SaveSettings());
  EXPECT_TRUE(notes.Entries().empty());
}

TEST(SettingsStoreTest, HelpPageIsLookedForInTheProgramFolder) {
  TempDir home;
  ScopedHome scope(home.Path());
  RecordingNotifier notes;
  NotifierPrompter prompter(notes);
  SettingsStore global(&prompter);
  EXPECT_EQ(global.HelpPath(), home.Path() + "/korvel.html");
  EXPECT_FALSE(global.HelpExists());
  EXPECT_TRUE(notes.Entries().empty());
  EXPECT_EQ(test::Shown(notes, global.CheckHelp()), -1);
  ASSERT_EQ(notes.Texts(), std::vector<std::string>{"ファイルが見付かりません。"});
  EXPECT_EQ(Cp932ToUtf8(notes.Entries()[0].box.caption), "注意");

  notes.Clear();
  home.Write("korvel.html", "<html></html>");
  EXPECT_EQ(test::Shown(notes, global.CheckHelp()), 0);
  EXPECT_TRUE(notes.Entries().empty());
}

// CODE keeps 0, 10 and 15 for older programs; 自動判定 and EUC-JP write CODE=0 and name
// themselves in CODE_EX, which overrides CODE when present. Each row: the file as found,
// the reading encoding it gives, the choice made, and the [MOZI] section saved.
TEST(SettingsStoreTest, ExtendedEncodingChoicesLiveInCodeEx) {
  struct Case {
    const char* name;
    const char* found;
    int reading;
    int chosen;
    const char* saved;
  } cases[] = {
      {"older file, no choice", "CODE=15\r\n", kEncodingUtf8, kEncodingUtf8,
       "CODE=15\r\nBOM=1\r\n"},
      {"older file, EUC-JP chosen", "CODE=15\r\n", kEncodingUtf8, kEncodingEucJp,
       "CODE=0\r\nCODE_EX=eucjp\r\nBOM=1\r\n"},
      {"older file, 自動判定 chosen", "CODE=10\r\n", kEncodingUtf16, kEncodingAuto,
       "CODE=0\r\nCODE_EX=auto\r\nBOM=1\r\n"},
      {"CODE_EX overrides CODE", "CODE=15\r\nCODE_EX=eucjp\r\n", kEncodingEucJp, kEncodingEucJp,
       "CODE=15\r\nCODE_EX=eucjp\r\nBOM=1\r\n"},
      {"自動判定 keeps CODE as its fallback", "CODE=15\r\nCODE_EX=auto\r\n",
       AutoEncoding(kEncodingUtf8), AutoEncoding(kEncodingUtf8),
       "CODE=15\r\nCODE_EX=auto\r\nBOM=1\r\n"},
      {"leaving 自動判定 empties CODE_EX", "CODE=0\r\nCODE_EX=auto\r\n", kEncodingAuto,
       kEncodingUtf8, "CODE=15\r\nCODE_EX=\r\nBOM=1\r\n"},
      {"an unknown CODE_EX is no choice", "CODE=10\r\nCODE_EX=jis\r\n", kEncodingUtf16,
       kEncodingUtf16, "CODE=10\r\nCODE_EX=jis\r\nBOM=1\r\n"},
      {"a CODE equal to an inner code reads as Shift-JIS", "CODE=20\r\n", kEncodingSjis,
       kEncodingSjis, "CODE=20\r\nBOM=1\r\n"},
  };
  for (const Case& c : cases) {
    TempDir home;
    ScopedHome scope(home.Path());
    home.Write("korvel.ini", std::string("[MOZI]\r\n") + c.found);
    SettingsStore global;
    global.LoadSettings();
    EXPECT_EQ(global.GetReadingEncoding(), c.reading) << c.name;
    global.SetReadingEncoding(c.chosen);
    ASSERT_TRUE(global.SaveSettings()) << c.name;
    EXPECT_EQ(ReadFileBytes(home.File("korvel.ini")),
              std::string("[MOZI]\r\n") + c.saved + "[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\n")
        << c.name;
    SettingsStore again;
    again.LoadSettings();
    EXPECT_EQ(again.GetReadingEncoding(), c.chosen) << c.name;
  }
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// NUM_TOL: read when it is a tolerance (else "0"), refused when set to anything else, and
// written only once this program changed it.
TEST(SettingsStoreTest, NumberToleranceIsCheckedAndWrittenOnlyWhenChanged) {
  struct Case {
    const char* stored;  // NUM_TOL in the file; nullptr for none
    std::string read;    // CP932
  };
  const std::vector<Case> cases = {
      {nullptr, "0"}, {"0.05", "0.05"}, {"1e+15", "1e+15"}, {"1e+16", "0"},           {"-1", "0"},
      {"abc", "0"},   {"", "0"},        {"1,000", "1,000"}, {"\x82\x50", "\x82\x50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "(none)");
    TempDir home;
    ScopedHome scope(home.Path());
    const std::string file = c.stored ? Cat("[ETC]\r\nNUM_TOL=", c.stored, "\r\n") : "";
    if (c.stored) home.Write("korvel.ini", file);
    SettingsStore global;
    global.LoadSettings();
    EXPECT_EQ(global.GetNumberTolerance(), c.read);
    // Saved unchanged: the key stays as it was, or stays away.
    ASSERT_TRUE(global.SaveSettings());
    const std::string saved = ReadFileBytes(home.File("korvel.ini"));
    EXPECT_EQ(saved.find("NUM_TOL") != std::string::npos, c.stored != nullptr);
    if (c.stored) {
      EXPECT_NE(saved.find(file.substr(7)), std::string::npos);
    }
  }

  TempDir home;
  ScopedHome scope(home.Path());
  SettingsStore global;
  global.LoadSettings();
  for (const char* refused : {"-0.1", "x", "1e+16", "", "1e3"}) {
    EXPECT_FALSE(global.SetNumberTolerance(refused)) << refused;
  }
  EXPECT_EQ(global.GetNumberTolerance(), "0");
  EXPECT_TRUE(global.NumberTolerance().IsZero());
  ASSERT_TRUE(global.SetNumberTolerance("0.5"));
  ASSERT_TRUE(global.SaveSettings());
  EXPECT_EQ(
      ReadFileBytes(home.File("korvel.ini")),
      "[MOZI]\r\nCODE=0\r\nBOM=1\r\n[ETC]\r\nTAB_OLDTYPE=0\r\nRET_M_IDX=0\r\nNUM_TOL=0.5\r\n");
  SettingsStore again;
  again.LoadSettings();
  EXPECT_EQ(again.GetNumberTolerance(), "0.5");
  EXPECT_EQ(DecimalText(again.NumberTolerance()), "0.5");
}

}  // namespace
}  // namespace korvel
