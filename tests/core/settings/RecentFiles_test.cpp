// The recently compared pairs and the window's place as korvel.ini keeps them: each value
// read back as written, damaged values passed over, this program's new pairs first.

#include "settings/RecentFiles.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/Codepage.h"
#include "platform/IniFile.h"

namespace korvel {
namespace {

using test::Cat;

RecentEntry Entry(std::string left, std::string right, int kind = 0, char delimiter = '\t',
                  bool names = false, int encoding = 0) {
  return {std::move(left), std::move(right), kind, delimiter, names, encoding};
}

TEST(RecentFilesTest, EntriesAreWrittenAsSixTabSeparatedFieldsAndReadBack) {
  struct Case {
    const char* what;
    RecentEntry entry;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"CSV, Shift-JIS, no name line", Entry("/a/old.csv", "/b/new.csv"),
       "/a/old.csv\t/b/new.csv\t0\t9\t0\t0"},
      {"TAB-delimited with a name line in UTF-8", Entry("/d/x.tsv", "/d/y.tsv", 1, '\t', true, 15),
       "/d/x.tsv\t/d/y.tsv\t1\t9\t1\t15"},
      {"another delimiter, UTF-16", Entry("/p", "/q", 1, '|', false, 10), "/p\t/q\t1\t124\t0\t10"},
      {"fixed-length", Entry("/f1", "/f2", 2, ';', true, 0), "/f1\t/f2\t2\t59\t1\t0"},
      {"raw UTF-8 paths with spaces and '='",
       Entry("/home/u/データ 旧=1.csv", "/home/u/データ 新.csv", 0, ',', true, 15),
       "/home/u/データ 旧=1.csv\t/home/u/データ 新.csv\t0\t44\t1\t15"},
      {"a byte above 0x7F as the delimiter", Entry("/a", "/b", 1, '\xA5'), "/a\t/b\t1\t165\t0\t0"},
      {"EUC-JP by CODE_EX's word", Entry("/e", "/j", 0, '\t', true, kEncodingEucJp),
       "/e\t/j\t0\t9\t1\teucjp"},
      {"自動判定 by CODE_EX's word", Entry("/e", "/j", 1, ';', false, kEncodingAuto),
       "/e\t/j\t1\t59\t0\tauto"},
      {"empty left path", Entry("", "/b"), std::nullopt},
      {"empty right path", Entry("/a", ""), std::nullopt},
      {"TAB in a path", Entry("/a\tb", "/b"), std::nullopt},
      {"line break in a path", Entry("/a", "/b\nc"), std::nullopt},
      {"CR in a path", Entry("/a\r", "/b"), std::nullopt},
      {"unknown kind", Entry("/a", "/b", 3), std::nullopt},
      {"negative kind", Entry("/a", "/b", -1), std::nullopt},
      {"no delimiter", Entry("/a", "/b", 1, '\0'), std::nullopt},
      {"unknown encoding", Entry("/a", "/b", 0, '\t', false, 11), std::nullopt},
      {"the inner code of no encoding", Entry("/a", "/b", 0, '\t', false, 0x200), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<std::string> value = FormatRecentEntry(c.entry);
    EXPECT_EQ(value, c.value);
    if (!c.value) continue;
    const std::optional<RecentEntry> back = ParseRecentEntry(*c.value);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, c.entry);
    // Through the ini file too: its trimming and quote rules leave the value as it was.
    IniFile ini;
    ASSERT_TRUE(ini.SetString("RECENT", "1", *value));
    IniFile reread;
    reread.Parse(ini.Text());
    EXPECT_EQ(ReadRecentList(reread), std::vector<RecentEntry>{c.entry});
  }
}

TEST(RecentFilesTest, AnEntryIsTakenFromTheSettingsAndPresetsThemAgain) {
  CompareSettings chosen;
  chosen.FileKind = kFileKindDelimited;
  chosen.Delimiter = ';';
  chosen.OtherDelimiter = ';';
  chosen.TopRowNames = true;
  chosen.Encoding = 15;
  chosen.DetectBom = false;
  chosen.PathL = "/l.txt";
  chosen.PathR = "/r.txt";
  const std::optional<RecentEntry> entry = RecentEntryOf(chosen);
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(*entry, Entry("/l.txt", "/r.txt", kFileKindDelimited, ';', true, 15));

  // Applied over other settings: what the entry names comes back, the rest stays.
  struct Case {
    const char* what;
    RecentEntry entry;
    char otherDelimiter;  // afterwards
  };
  const Case cases[] = {
      {"another delimiter becomes the other delimiter", *entry, ';'},
      {"TAB leaves the other delimiter", Entry("/a", "/b", kFileKindDelimited, '\t', false, 0),
       '|'},
      {"CSV leaves it", Entry("/a", "/b", kFileKindCsv, ',', true, 10), '|'},
      {"fixed-length leaves it", Entry("/a", "/b", kFileKindFixed, ':', false, 15), '|'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CompareSettings settings;
    settings.FromClipboard = true;
    settings.DetectBom = false;
    settings.OtherDelimiter = '|';
    ApplyRecentEntry(c.entry, settings);
    EXPECT_EQ(settings.PathL, c.entry.PathL);
    EXPECT_EQ(settings.PathR, c.entry.PathR);
    EXPECT_EQ(settings.FileKind, c.entry.FileKind);
    EXPECT_EQ(settings.Delimiter, c.entry.Delimiter);
    EXPECT_EQ(settings.TopRowNames, c.entry.TopRowNames);
    EXPECT_EQ(settings.Encoding, c.entry.Encoding);
    EXPECT_EQ(settings.OtherDelimiter, c.otherDelimiter);
    EXPECT_FALSE(settings.FromClipboard);
    EXPECT_FALSE(settings.DetectBom);
    EXPECT_EQ(RecentEntryOf(settings), c.entry);
  }

  // 自動判定 is recorded as such whatever its fallback, and applied over 自動判定 the
  // fallback already chosen stays.
  chosen.Encoding = AutoEncoding(kEncodingUtf8);
  EXPECT_EQ(RecentEntryOf(chosen)->Encoding, kEncodingAuto);
  CompareSettings automatic;
  automatic.Encoding = AutoEncoding(kEncodingUtf16);
  ApplyRecentEntry(*RecentEntryOf(chosen), automatic);
  EXPECT_EQ(automatic.Encoding, AutoEncoding(kEncodingUtf16));
  CompareSettings plain;
  ApplyRecentEntry(*RecentEntryOf(chosen), plain);
  EXPECT_EQ(plain.Encoding, kEncodingAuto);

  // Clipboard captures are not recorded.
  chosen.FromClipboard = true;
  EXPECT_FALSE(RecentEntryOf(chosen).has_value());
}

TEST(RecentFilesTest, DamagedValuesAreNotRead) {
  const char* damaged[] = {
      "",
      "/a\t/b\t0\t9\t0",               // five fields
      "/a\t/b\t0\t9\t0\t0\t",          // seven
      "/a\t/b\t0\t9\t0\t0\t0",         // seven
      "\t/b\t0\t9\t0\t0",              // empty left path
      "/a\t\t0\t9\t0\t0",              // empty right path
      "/a\t/b\tcsv\t9\t0\t0",          // kind not a number
      "/a\t/b\t5\t9\t0\t0",            // unknown kind
      "/a\t/b\t-1\t9\t0\t0",           // negative kind
      "/a\t/b\t0\t0\t0\t0",            // no delimiter
      "/a\t/b\t0\t256\t0\t0",          // not a byte
      "/a\t/b\t0\t\t0\t0",             // empty delimiter
      "/a\t/b\t0\t9\t2\t0",            // name line neither 0 nor 1
      "/a\t/b\t0\t9\tyes\t0",          // name line not a number
      "/a\t/b\t0\t9\t0\t16",           // unknown encoding
      "/a\t/b\t0\t9\t0\t+0",           // a sign
      "/a\t/b\t0\t9\t0\t 0",           // a space
      "/a\t/b\t0\t9\t0\t99999999999",  // out of range
      "/a\t/b\t0x1\t9\t0\t0",          // not decimal
      "/a\t/b\t0\t9\t0\tAUTO",         // the words are lower case
      "/a\t/b\t0\t9\t0\teuc-jp",       // an unknown word
      "/a\t/b\t0\t9\t0\t20",           // EUC-JP's inner code is no stored value
      "/a\t/b\t0\t9\t0\t256",          // nor is 自動判定's
  };
  for (const char* value : damaged) {
    EXPECT_FALSE(ParseRecentEntry(value).has_value()) << value;
  }
}

TEST(RecentFilesTest, TheListSkipsDamagedKeysAndRepeatedPairsInKeyOrder) {
  IniFile ini;
  ini.Parse(
      "[RECENT]\r\n"
      "3=/c\t/d\t0\t9\t0\t0\r\n"
      "1=/a\t/b\t1\t124\t1\t15\r\n"
      "2=garbage\r\n"
      "11=/x\t/y\t0\t9\t0\t0\r\n"
      "0=/x\t/y\t0\t9\t0\t0\r\n"
      "4=/a\t/b\t0\t9\t0\t0\r\n"
      "10=/j\t/k\t2\t9\t0\t10\r\n"
      "[OTHER]\r\n"
      "5=/e\t/f\t0\t9\t0\t0\r\n");
  EXPECT_EQ(ReadRecentList(ini),
            (std::vector<RecentEntry>{Entry("/a", "/b", 1, '|', true, 15), Entry("/c", "/d"),
                                      Entry("/j", "/k", 2, '\t', false, 10)}));
  IniFile none;
  none.Parse("[MOZI]\r\nCODE=0\r\n");
  EXPECT_TRUE(ReadRecentList(none).empty());
}

TEST(RecentFilesTest, WritingTheListRenumbersItAndRemovesTheKeysAboveIt) {
  struct Case {
    const char* what;
    std::string before;
    std::vector<RecentEntry> list;
    std::string after;
  };
  const Case cases[] = {
      {"into an empty file",
       "",
       {Entry("/a", "/b"), Entry("/c", "/d")},
       "[RECENT]\r\n1=/a\t/b\t0\t9\t0\t0\r\n2=/c\t/d\t0\t9\t0\t0\r\n"},
      {"a shorter list: the keys above it go, other sections stay",
       "[RECENT]\r\n1=/x\t/y\t0\t9\t0\t0\r\n2=junk\r\n3=/z\t/w\t0\t9\t0\t0\r\n[MOZI]\r\nCODE=0\r\n",
       {Entry("/a", "/b")},
       "[RECENT]\r\n1=/a\t/b\t0\t9\t0\t0\r\n[MOZI]\r\nCODE=0\r\n"},
      {"an unchanged key keeps its spelling",
       "[RECENT]\r\n1 = /a\t/b\t0\t9\t0\t0\r\n",
       {Entry("/a", "/b")},
       "[RECENT]\r\n1 = /a\t/b\t0\t9\t0\t0\r\n"},
      {"an entry that cannot be kept leaves no gap",
       "",
       {Entry("/a", "/b"), Entry("", "/x"), Entry("/c", "/d")},
       "[RECENT]\r\n1=/a\t/b\t0\t9\t0\t0\r\n2=/c\t/d\t0\t9\t0\t0\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IniFile ini;
    ini.Parse(c.before);
    WriteRecentList(ini, c.list);
    EXPECT_EQ(ini.Text(), c.after);
  }
  // Never more than ten keys.
  std::vector<RecentEntry> twelve;
  for (int i = 0; i < 12; ++i) twelve.push_back(Entry(Cat("/l", std::to_string(i)), "/r"));
  IniFile ini;
  WriteRecentList(ini, twelve);
  EXPECT_EQ(ReadRecentList(ini),
            std::vector<RecentEntry>(twelve.begin(), twelve.begin() + kMaxRecentEntries));
  EXPECT_FALSE(ini.HasKey("RECENT", "11"));
}

TEST(RecentFilesTest, MergingPutsMineFirstDropsTheirRepeatsAndKeepsTen) {
  std::vector<RecentEntry> theirs;
  for (int i = 0; i < 10; ++i) theirs.push_back(Entry(Cat("/t", std::to_string(i)), "/r"));
  struct Case {
    const char* what;
    std::vector<RecentEntry> mine;
    std::vector<RecentEntry> theirs;
    std::vector<RecentEntry> merged;
  };
  const Case cases[] = {
      {"nothing of mine", {}, {Entry("/a", "/b")}, {Entry("/a", "/b")}},
      {"mine before theirs",
       {Entry("/m", "/n")},
       {Entry("/a", "/b")},
       {Entry("/m", "/n"), Entry("/a", "/b")}},
      {"the same pair: my reading choices win, in my place",
       {Entry("/m", "/n"), Entry("/a", "/b", 1, '|', true, 15)},
       {Entry("/c", "/d"), Entry("/a", "/b")},
       {Entry("/m", "/n"), Entry("/a", "/b", 1, '|', true, 15), Entry("/c", "/d")}},
      {"swapped sides are another pair",
       {Entry("/b", "/a")},
       {Entry("/a", "/b")},
       {Entry("/b", "/a"), Entry("/a", "/b")}},
      {"trimmed to ten: their oldest go",
       {Entry("/m", "/n"), Entry("/o", "/p")},
       theirs,
       {Entry("/m", "/n"), Entry("/o", "/p"), theirs[0], theirs[1], theirs[2], theirs[3], theirs[4],
        theirs[5], theirs[6], theirs[7]}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MergeRecentLists(c.mine, c.theirs), c.merged);
  }
}

TEST(RecentFilesTest, TheWindowSectionIsTakenWholeOrNotAtAll) {
  const std::string good = "[WINDOW]\r\nX=10\r\nY=-20\r\nWIDTH=900\r\nHEIGHT=600\r\nSPLIT=400\r\n";
  struct Case {
    const char* what;
    std::string text;
    std::optional<WindowPlace> place;
  };
  const Case cases[] = {
      {"whole", good, WindowPlace{10, -20, 900, 600, 400}},
      {"missing", "[MOZI]\r\nCODE=0\r\n", std::nullopt},
      {"a key missing", "[WINDOW]\r\nX=10\r\nY=20\r\nWIDTH=900\r\nHEIGHT=600\r\n", std::nullopt},
      {"a value not a number", Cat(good, "").replace(good.find("900"), 3, "9OO"), std::nullopt},
      {"an empty value", "[WINDOW]\r\nX=\r\nY=0\r\nWIDTH=9\r\nHEIGHT=9\r\nSPLIT=0\r\n",
       std::nullopt},
      {"width 0", "[WINDOW]\r\nX=0\r\nY=0\r\nWIDTH=0\r\nHEIGHT=9\r\nSPLIT=0\r\n", std::nullopt},
      {"negative height", "[WINDOW]\r\nX=0\r\nY=0\r\nWIDTH=9\r\nHEIGHT=-9\r\nSPLIT=0\r\n",
       std::nullopt},
      {"absurd size", "[WINDOW]\r\nX=0\r\nY=0\r\nWIDTH=100001\r\nHEIGHT=9\r\nSPLIT=0\r\n",
       std::nullopt},
      {"absurd position", "[WINDOW]\r\nX=2147483647\r\nY=0\r\nWIDTH=9\r\nHEIGHT=9\r\nSPLIT=0\r\n",
       std::nullopt},
      {"negative splitter", "[WINDOW]\r\nX=0\r\nY=0\r\nWIDTH=9\r\nHEIGHT=9\r\nSPLIT=-1\r\n",
       std::nullopt},
      {"the smallest", "[WINDOW]\r\nx=0\r\ny=0\r\nwidth=1\r\nheight=1\r\nsplit=0\r\n",
       WindowPlace{0, 0, 1, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IniFile ini;
    ini.Parse(c.text);
    EXPECT_EQ(ReadWindowPlace(ini), c.place);
  }
}

TEST(RecentFilesTest, OnlyTheChangedWindowKeysAreWrittenAndMissingOnesAdded) {
  const WindowPlace loaded{10, 20, 900, 600, 400};
  struct Case {
    const char* what;
    std::string before;
    WindowPlace place;
    std::optional<WindowPlace> loaded;
    std::string after;
  };
  const Case cases[] = {
      {"first save: all five", "", loaded, std::nullopt,
       "[WINDOW]\r\nX=10\r\nY=20\r\nWIDTH=900\r\nHEIGHT=600\r\nSPLIT=400\r\n"},
      {"unchanged: another program's values stay",
       "[WINDOW]\r\nX=1\r\nY=2\r\nWIDTH=300\r\nHEIGHT=200\r\nSPLIT=100\r\n", loaded, loaded,
       "[WINDOW]\r\nX=1\r\nY=2\r\nWIDTH=300\r\nHEIGHT=200\r\nSPLIT=100\r\n"},
      {"moved: only the position",
       "[WINDOW]\r\nX=1\r\nY=2\r\nWIDTH=300\r\nHEIGHT=200\r\nSPLIT=100\r\n",
       WindowPlace{50, 60, 900, 600, 400}, loaded,
       "[WINDOW]\r\nX=50\r\nY=60\r\nWIDTH=300\r\nHEIGHT=200\r\nSPLIT=100\r\n"},
      {"a key the file lost is written", "[WINDOW]\r\nX=10\r\nY=20\r\nWIDTH=900\r\nHEIGHT=600\r\n",
       loaded, loaded, "[WINDOW]\r\nX=10\r\nY=20\r\nWIDTH=900\r\nHEIGHT=600\r\nSPLIT=400\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IniFile ini;
    ini.Parse(c.before);
    WriteWindowPlace(ini, c.place, c.loaded);
    EXPECT_EQ(ini.Text(), c.after);
  }
}

TEST(RecentFilesTest, APlaceIsTakenOnlyWhenItOverlapsAScreen) {
  const std::vector<ScreenArea> two = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  struct Case {
    const char* what;
    WindowPlace place;
    std::vector<ScreenArea> screens;
    bool taken;
  };
  const Case cases[] = {
      {"inside the first", {100, 100, 800, 600, 0}, two, true},
      {"on the second", {2000, 100, 800, 600, 0}, two, true},
      {"across both", {1800, 100, 800, 600, 0}, two, true},
      {"partly above the first", {100, -500, 800, 600, 0}, two, true},
      {"right of both", {3200, 100, 800, 600, 0}, two, false},
      {"just touching the right edge", {3200, 0, 10, 10, 0}, two, false},
      {"below the second only where it is shorter", {2000, 1024, 100, 50, 0}, two, false},
      {"left of the first, ending at its edge", {-800, 0, 800, 600, 0}, two, false},
      {"one pixel in", {-799, 0, 800, 600, 0}, two, true},
      {"a removed monitor", {2000, 100, 800, 600, 0}, {{0, 0, 1920, 1080}}, false},
      {"no screens at all", {0, 0, 800, 600, 0}, {}, false},
      {"near the limits", {100000, 100000, 100000, 100000, 0}, {{0, 0, 1920, 1080}}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlaceIsOnScreen(c.place, c.screens), c.taken) << c.what;
  }
}

}  // namespace
}  // namespace korvel
