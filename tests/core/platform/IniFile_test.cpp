#include "platform/IniFile.h"

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "platform/FileSystem.h"

namespace korvel {
namespace {

using test::ReadFileBytes;
using test::TempDir;

TEST(IniFileTest, LooksUpSectionsAndKeysLikeTheProfileFunctions) {
  IniFile ini;
  ini.Parse(
      "; settings\n"
      "orphan=1\n"
      "[Mozi]\n"
      "  code = 15  \n"
      "Code=99\n"
      "garbage line without equals\n"
      "[\n"
      "quoted=\"  a b \"\n"
      "single='x'\n"
      "half=\"x\n"
      "empty=\n"
      "[ etc ]\r"
      "TAB_OLDTYPE=1\r\n"
      "[MOZI]\n"
      "CODE=10\n"
      "BOM=0");
  EXPECT_EQ(ini.GetString("MOZI", "CODE", "d"), "15");  // first section, first key
  EXPECT_EQ(ini.GetString("mozi", "bom", "d"), "d");    // only the first MOZI is looked in
  EXPECT_EQ(ini.GetString("MOZI", "quoted", "d"), "  a b ");
  EXPECT_EQ(ini.GetString("MOZI", "single", "d"), "x");
  EXPECT_EQ(ini.GetString("MOZI", "half", "d"), "\"x");
  EXPECT_EQ(ini.GetString("MOZI", "empty", "d"), "");
  EXPECT_EQ(ini.GetString("MOZI", "garbage line without equals", "d"), "d");
  EXPECT_EQ(ini.GetString("MOZI", "orphan", "d"), "d");
  EXPECT_EQ(ini.GetString("ETC", "tab_oldtype", "d"), "1");  // lone CR ends a line
  EXPECT_EQ(ini.GetString("NONE", "CODE", "d"), "d");
  EXPECT_EQ(ini.GetString("MOZI", "MISSING", "d"), "d");
}

TEST(IniFileTest, ReadsIntegersOnlyWhenTheWholeValueIsOne) {
  IniFile ini;
  ini.Parse(
      "[S]\r\nA=15\r\nB=-3\r\nC=+7\r\nD=abc\r\nE=12abc\r\nF=\r\nG=99999999999\r\nH=1.5\r\n"
      "I=0x10\r\nJ= 42 \r\nK=-\r\n");
  EXPECT_EQ(ini.GetInt("S", "A", -1), 15);
  EXPECT_EQ(ini.GetInt("S", "B", -1), -3);
  EXPECT_EQ(ini.GetInt("S", "C", -1), 7);
  EXPECT_EQ(ini.GetInt("S", "J", -1), 42);
  for (const char* key : {"D", "E", "F", "G", "H", "I", "K", "MISSING"}) {
    EXPECT_EQ(ini.GetInt("S", key, -1), -1) << key;
  }
}

TEST(IniFileTest, WritingAKeyKeepsEveryOtherLine) {
  IniFile ini;
  const std::string original =
      "\xEF\xBB\xBF; comment\n"
      "[mozi]\n"
      "code = 0 \n"
      "junk\n"
      "\n"
      "[Other]\r\n"
      "x=1";
  ini.Parse(original);
  ASSERT_TRUE(ini.SetString("MOZI", "CODE", "15"));
  ASSERT_TRUE(ini.SetString("MOZI", "BOM", "1"));
  ASSERT_TRUE(ini.SetString("other", "y", "2"));
  ASSERT_TRUE(ini.SetString("ETC", "RET_M_IDX", "2"));
  EXPECT_EQ(ini.Text(),
            "\xEF\xBB\xBF; comment\n"
            "[mozi]\n"
            "code=15\n"
            "junk\n"
            "BOM=1\r\n"
            "\n"
            "[Other]\r\n"
            "x=1\r\n"
            "y=2\r\n"
            "[ETC]\r\n"
            "RET_M_IDX=2\r\n");
  EXPECT_EQ(ini.GetString("Mozi", "Code", "d"), "15");

  // Texts that would break the line structure are refused and change nothing.
  const std::string before = ini.Text();
  EXPECT_FALSE(ini.SetString("MOZI", "CODE", "1\r\n[X]"));
  EXPECT_FALSE(ini.SetString("MOZI", "A=B", "1"));
  EXPECT_FALSE(ini.SetString("A]B", "K", "1"));
  EXPECT_FALSE(ini.SetString("", "K", "1"));
  EXPECT_FALSE(ini.SetString("S", " ", "1"));
  EXPECT_FALSE(ini.SetString("S", ";K", "1"));
  // A name ending in a lead byte would swallow the ']' or '=' after it and never be found.
  EXPECT_FALSE(ini.SetString("S\x83", "K", "1"));
  EXPECT_FALSE(ini.SetString("S", "K\x83 ", "1"));
  EXPECT_EQ(ini.Text(), before);
  ASSERT_TRUE(ini.SetString("S\x83\x41", "K\x83\x5D", "v\x83"));
  EXPECT_EQ(ini.GetString("S\x83\x41", "K\x83\x5D", "d"), "v\x83");
}

TEST(IniFileTest, NamesCompareDoubleByteCharactersExactly) {
  IniFile ini;
  // 0x83 0x41 and 0x83 0x61 are different katakana whose second bytes are 'A' and 'a'.
  ini.Parse("[\x83\x41]\r\nk=1\r\n[x\x83]]\r\nk=2\r\n");
  EXPECT_EQ(ini.GetString("\x83\x61", "k", "d"), "d");
  EXPECT_EQ(ini.GetString("\x83\x41", "K", "d"), "1");
  // A ']' that is the second byte of a character does not close the header.
  EXPECT_EQ(ini.GetString("x\x83]", "k", "d"), "2");
}

TEST(IniFileTest, FilesAreCreatedReadAndRewritten) {
  TempDir dir;
  const std::string path = dir.File("korvel.ini");
  EXPECT_EQ(ReadIniString(path, "MOZI", "CODE", "0"), "0");
  ASSERT_TRUE(WriteIniString(path, "MOZI", "CODE", "10"));
  ASSERT_TRUE(WriteIniString(path, "MOZI", "BOM", "1"));
  ASSERT_TRUE(WriteIniString(path, "ETC", "TAB_OLDTYPE", "0"));
  ASSERT_TRUE(WriteIniString(path, "MOZI", "code", "15"));
  EXPECT_EQ(ReadFileBytes(path), "[MOZI]\r\nCODE=15\r\nBOM=1\r\n[ETC]\r\nTAB_OLDTYPE=0\r\n");
  EXPECT_EQ(ReadIniString(path, "mozi", "Code", "0"), "15");

  // A folder in the way, or a file that cannot be created, is reported.
  EXPECT_FALSE(WriteIniString(dir.Path(), "MOZI", "CODE", "1"));
  EXPECT_FALSE(WriteIniString(dir.File("no/such/folder.ini"), "MOZI", "CODE", "1"));
  EXPECT_EQ(ReadIniString(dir.Path(), "MOZI", "CODE", "d"), "d");
}

class FailingWrites : public FileSystem {
 public:
  ssize_t Write(int fd, const void* buffer, std::size_t count) override {
    (void)FileSystem::Write(fd, buffer, count / 2);
    return -1;
  }
};

TEST(IniFileTest, HasKeyFollowsTheLookupRulesAndStrayLinesCanBeDropped) {
  IniFile ini;
  ini.Parse("x=0\r\n[A]\r\nKey = 1\r\nempty=\r\n[b]\r\n");
  struct Case {
    const char* section;
    const char* key;
    bool found;
  };
  const Case cases[] = {{"A", "key", true},    {"a", " KEY ", true}, {"A", "empty", true},
                        {"A", "other", false}, {"B", "key", false},  {"C", "key", false},
                        {"", "x", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(ini.HasKey(c.section, c.key), c.found) << c.section << "/" << c.key;
  }

  // Kept: sections, keys with a name, ';' comments, blank lines. Dropped: all else.
  ini.Parse(
      "\xEF\xBB\xBFjunk\r\n;c\r\n\r\n[S]\n=v\n k=v\n[open\r\n\t\r\n;\n"
      "[T] trailing\rwords");
  ini.DropStrayLines();
  EXPECT_EQ(ini.Text(), "\xEF\xBB\xBF;c\r\n\r\n[S]\n k=v\n\t\r\n;\n[T] trailing\r");
  EXPECT_EQ(ini.GetString("S", "k", "d"), "v");
  EXPECT_EQ(ini.GetString("T", "k", "d"), "d");
}

TEST(IniFileTest, RemovingAKeyTakesOnlyItsFirstLine) {
  const std::string text = "[A]\r\nk=1\r\n; c\r\nK=2\r\nx=3\r\n[B]\r\nk=4\r\n";
  struct Case {
    const char* section;
    const char* key;
    bool removed;
    const char* after;
  };
  const Case cases[] = {
      {"A", "k", true, "[A]\r\n; c\r\nK=2\r\nx=3\r\n[B]\r\nk=4\r\n"},
      {"a", " X ", true, "[A]\r\nk=1\r\n; c\r\nK=2\r\n[B]\r\nk=4\r\n"},
      {"B", "k", true, "[A]\r\nk=1\r\n; c\r\nK=2\r\nx=3\r\n[B]\r\n"},
      {"A", "y", false, nullptr},
      {"C", "k", false, nullptr},
      {"A", "; c", false, nullptr},
  };
  for (const Case& c : cases) {
    IniFile ini;
    ini.Parse(text);
    EXPECT_EQ(ini.RemoveKey(c.section, c.key), c.removed) << c.section << "/" << c.key;
    EXPECT_EQ(ini.Text(), c.after ? c.after : text) << c.section << "/" << c.key;
  }
  // The second line of a repeated key is found once the first is gone.
  IniFile ini;
  ini.Parse(text);
  ASSERT_TRUE(ini.RemoveKey("A", "k"));
  EXPECT_EQ(ini.GetString("A", "k", "none"), "2");
}

// Refuses to create anything beside the file, as a folder that is not writable would.
class NoSideFiles : public FileSystem {
 public:
  int BeginWrite(const std::string&, int) override { return -1; }
};

class FailingReads : public FileSystem {
 public:
  ssize_t Read(int, void*, std::size_t) override { return -1; }
};

TEST(IniFileTest, FailedReadsAndWritesAreReported) {
  TempDir dir;
  const std::string path = dir.Write("a.ini", "[A]\r\nk=1\r\nkeep=me\r\n");
  {
    FailingWrites fs;
    FileSystem* previous = SetFileSystem(&fs);
    EXPECT_FALSE(WriteIniString(path, "A", "k", "2"));
    SetFileSystem(previous);
    // The half-written text never replaces the file.
    EXPECT_EQ(ReadFileBytes(path), "[A]\r\nk=1\r\nkeep=me\r\n");
    EXPECT_EQ(GetPathKind(path + ".tmp"), PathKind::kMissing);
  }
  {
    // Without a side file the file is rewritten in place.
    NoSideFiles fs;
    FileSystem* previous = SetFileSystem(&fs);
    EXPECT_TRUE(WriteIniString(path, "A", "k", "5"));
    SetFileSystem(previous);
    EXPECT_EQ(ReadFileBytes(path), "[A]\r\nk=5\r\nkeep=me\r\n");
  }
  {
    // An unreadable file is not replaced by one holding only the new key.
    ASSERT_TRUE(WriteIniString(path, "A", "k", "3"));
    FailingReads fs;
    FileSystem* previous = SetFileSystem(&fs);
    EXPECT_FALSE(WriteIniString(path, "A", "k", "4"));
    EXPECT_EQ(ReadIniString(path, "A", "k", "d"), "d");
    SetFileSystem(previous);
    EXPECT_EQ(ReadFileBytes(path), "[A]\r\nk=3\r\nkeep=me\r\n");
  }
}

}  // namespace
}  // namespace korvel
