#include "grid/CaptionText.h"

#include <gtest/gtest.h>

#include "TestUtil.h"

namespace korvel {
namespace {

using test::S;

TEST(CaptionText, ProductNameAndStatusBeforeAnyFile) {
  EXPECT_EQ(BuildCaption("", "", ""), "KORVEL");
  EXPECT_EQ(BuildCaption(S("(相違分抽出中...0件)"), "", ""), S("KORVEL(相違分抽出中...0件)"));
  // Without a left path nothing about files is added, even when a right path is known.
  EXPECT_EQ(BuildCaption("", "", "/x/b.csv"), "KORVEL");
}

TEST(CaptionText, DifferentFileNames) {
  EXPECT_EQ(BuildCaption("", "/data/old/a.csv", "/data/new/b.csv"),
            S("KORVEL【左】a.csv  - 【右】b.csv"));
  // Names are cut to 80 bytes each.
  std::string longName(90, 'n');
  EXPECT_EQ(BuildCaption("", "/d/" + longName, "/d/b"),
            S("KORVEL【左】") + std::string(80, 'n') + S("  - 【右】b"));
  // A status comes before the names.
  EXPECT_EQ(BuildCaption(S("(x)"), "a.csv", "b.csv"), S("KORVEL(x)【左】a.csv  - 【右】b.csv"));
}

TEST(CaptionText, EqualNamesShowTheInnermostDifferingFolders) {
  EXPECT_EQ(BuildCaption("", "/a/x/data/f.csv", "/a/y/data/f.csv"),
            S("KORVEL【左】x/・・・/f.csv  - 【右】y/・・・/f.csv"));
  // Folders directly above the files differ: one slash, no dots, whatever lies above.
  EXPECT_EQ(BuildCaption("", "/p/q/x/f.csv", "/r/y/f.csv"),
            S("KORVEL【左】x/f.csv  - 【右】y/f.csv"));
  // Letter case is ignored in names and folders; each side keeps its own spelling.
  EXPECT_EQ(BuildCaption("", "/A/Data/F.CSV", "/B/data/f.csv"),
            S("KORVEL【左】A/・・・/F.CSV  - 【右】B/・・・/f.csv"));
  // A relative path without folders against one with folders.
  EXPECT_EQ(BuildCaption("", "f.csv", "/z/f.csv"), S("KORVEL【左】/f.csv  - 【右】z/f.csv"));
}

TEST(CaptionText, SamePathOnBothSides) {
  EXPECT_EQ(BuildCaption("", "/home/u/f.csv", "/home/u/f.csv"),
            S("KORVEL【左右同じファイル】f.csv"));
  EXPECT_EQ(BuildCaption("", "/home/U/F.csv", "/HOME/u/f.CSV"),
            S("KORVEL【左右同じファイル】F.csv"));
  EXPECT_EQ(BuildCaption("", "f.csv", "f.csv"), S("KORVEL【左右同じファイル】f.csv"));
}

TEST(CaptionText, JapaneseNamesAreShownInCp932AndCutWhole) {
  // UTF-8 paths become CP932 text; 表 has 0x5C as its second byte and must not split names.
  EXPECT_EQ(BuildCaption("", "/d/表.csv", "/d/表.csv"), S("KORVEL【左右同じファイル】表.csv"));
  EXPECT_EQ(BuildCaption("", "/x/表/f.csv", "/y/表/f.csv"),
            S("KORVEL【左】x/・・・/f.csv  - 【右】y/・・・/f.csv"));
  // 30 double-byte characters (60 bytes) against a 50-byte cut: 25 characters remain.
  std::string name;
  for (int i = 0; i < 30; ++i) name += "あ";
  std::string cut;
  for (int i = 0; i < 25; ++i) cut += "あ";
  EXPECT_EQ(BuildCaption("", "/x/" + name, "/y/" + name),
            S("KORVEL【左】x/" + cut + "  - 【右】y/" + cut));
}

TEST(CaptionText, CaseFoldingLeavesDoubleByteCharactersAlone) {
  EXPECT_TRUE(EqualIgnoringCase("ABC", "abc"));
  EXPECT_FALSE(EqualIgnoringCase("ABC", "abd"));
  EXPECT_FALSE(EqualIgnoringCase("AB", "ABC"));
  // ア is 0x83 0x41: its trail byte is 'A' and must not be folded to 'a' (0x83 0x61 is ダ... ).
  EXPECT_FALSE(EqualIgnoringCase(S("ア"), std::string("\x83\x61")));
  EXPECT_TRUE(EqualIgnoringCase(S("アB"), S("アb")));
}

}  // namespace
}  // namespace korvel
