// A corpus of files in every encoding, made here, read under 自動判定: each file is
// detected as its own encoding, and every pairing of files with the same content compares
// equal. Characters without a Shift-JIS form are told and compared by what they were.

#include <gtest/gtest.h>
#include <iconv.h>
#include <stdlib.h>

#include <sstream>
#include <string>
#include <vector>

#include "CliFixture.h"
#include "TestUtil.h"
#include "cli/CliRun.h"
#include "io/DelimitedReader.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

namespace korvel::cli {
namespace {

using test::Cat;

// iconv converts, so that no file is made by the tables under test.
std::string Iconv(std::string_view text, const char* to) {
  iconv_t cd = iconv_open(to, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string in(text);
  std::string out(in.size() * 4 + 16, '\0');
  char* inp = in.data();
  char* outp = out.data();
  std::size_t inLeft = in.size();
  std::size_t outLeft = out.size();
  const std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) return {};
  out.resize(out.size() - outLeft);
  return out;
}

struct Form {
  const char* name;
  const char* iconvName;
  const char* mark;
  int detected;  // what 自動判定 finds for text that is not ASCII only
};

const Form kForms[] = {
    {"sjis", "CP932", "", kEncodingSjis},
    {"utf8", "UTF-8", "", kEncodingUtf8},
    {"utf8-bom", "UTF-8", "\xEF\xBB\xBF", kEncodingUtf8},
    {"utf16le", "UTF-16LE", "", kEncodingUtf16},
    {"utf16le-bom", "UTF-16LE", "\xFF\xFE", kEncodingUtf16},
    {"utf16be", "UTF-16BE", "", kEncodingUtf16Be},
    {"utf16be-bom", "UTF-16BE", "\xFE\xFF", kEncodingUtf16Be},
    {"eucjp", "EUC-JP-MS", "", kEncodingEucJp},
};

// Contents in UTF-8, made only of characters all five encodings hold.
std::string MixedContent(int lines) {
  std::string text = "番号,氏名,カナ,住所\r\n";
  for (int i = 1; i <= lines; ++i) {
    text += Cat(std::to_string(i), ",山田太郎,ﾔﾏﾀﾞ ﾀﾛｳ,東京都千代田区　「一丁目」ー①\r\n");
  }
  return text;
}
std::string AsciiContent(int lines) {
  std::string text = "no,name\r\n";
  for (int i = 1; i <= lines; ++i) text += Cat(std::to_string(i), ",Yamada \"Taro\"\r\n");
  return text;
}
std::string HalfWidthContent(int lines) {
  std::string text = "ﾊﾞﾝｺﾞｳ,ﾒｲ\r\n";
  for (int i = 1; i <= lines; ++i) text += Cat(std::to_string(i), ",ﾃﾞｰﾀ,ｶﾀｶﾅ\r\n");
  return text;
}

class EncodingCorpusTest : public CliFixture {
 protected:
  int Run(const std::vector<std::string>& args) { return RunArgs(args); }

  // Writes `utf8` in every form; the paths in kForms order.
  std::vector<std::string> WriteForms(const std::string& stem, const std::string& utf8) {
    std::vector<std::string> paths;
    for (const Form& form : kForms) {
      const std::string bytes = Iconv(utf8, form.iconvName);
      EXPECT_FALSE(bytes.empty()) << form.name;
      paths.push_back(dir_.Write(stem + "-" + form.name + ".csv", form.mark + bytes));
    }
    return paths;
  }

  static int Detected(const std::string& path) {
    DelimitedReader csv;
    if (csv.Open(path, 1, kEncodingAuto, 1) != 0) return -100;
    return csv.GetEncoding();
  }
};

std::string EqualSummary(int records) {
  const std::string n = std::to_string(records);
  return Cat("左総数:", n, "件 右総数:", n, "件 相違レコード数:0件 左のみ:0件 右のみ:0件\n");
}

// Each content, one line and 100,000 lines long, in every form: detected as its own
// encoding (ASCII-only text without a mark or zero bytes takes CODE's, Shift-JIS here; half-width
// katakana data valid in both Shift-JIS and EUC-JP is Shift-JIS by the rule's step 5a),
// and every pairing of forms equal, without a warning.
TEST_F(EncodingCorpusTest, EveryFormDetectedAndEveryPairingEqual) {
  struct Content {
    const char* name;
    std::string (*make)(int);
  } contents[] = {
      {"mixed", MixedContent}, {"ascii", AsciiContent}, {"halfwidth", HalfWidthContent}};
  for (const Content& content : contents) {
    // A large file (fewer lines under the sanitizers, still many times the 64 KiB that
    // decide) and a file of one line.
    for (int lines : {1, test::kSanitized ? 20000 : 100000}) {
      if (lines > 1 && std::string(content.name) == "ascii") continue;  // nothing to detect
      SCOPED_TRACE(Cat(content.name, " ", std::to_string(lines)));
      const std::vector<std::string> paths =
          WriteForms(Cat(content.name, std::to_string(lines)), content.make(lines));
      for (std::size_t i = 0; i < paths.size(); ++i) {
        int expected = kForms[i].detected;
        const bool utf16 = expected == kEncodingUtf16 || expected == kEncodingUtf16Be;
        const bool marked = *kForms[i].mark != '\0';
        if (std::string(content.name) == "ascii" && !utf16 && !marked) expected = kEncodingSjis;
        EXPECT_EQ(Detected(paths[i]), expected) << kForms[i].name;
      }
      // Every pairing for one line; for 100,000 lines a ring in which every form meets
      // two others, once on each side.
      for (std::size_t a = 0; a < paths.size(); ++a) {
        for (std::size_t b = 0; b < paths.size(); ++b) {
          if (lines > 1 && b != (a + 1) % paths.size()) continue;
          EXPECT_EQ(Run({"--encoding", "auto", "--header", "--key", "1:num", paths[a], paths[b]}),
                    kExitSame)
              << kForms[a].name << " / " << kForms[b].name;
          EXPECT_EQ(out_.str(), EqualSummary(lines)) << kForms[a].name << " / " << kForms[b].name;
          EXPECT_EQ(err_.str(), "") << kForms[a].name << " / " << kForms[b].name;
          EXPECT_TRUE(notifier_.Texts().empty()) << kForms[a].name << " / " << kForms[b].name;
        }
      }
    }
  }
}

// The pair of the office: an old Shift-JIS export against a new UTF-8 one without a mark.
// One encoding for both reads one side as garbage; 自動判定 finds no difference.
TEST_F(EncodingCorpusTest, ShiftJisAgainstUtf8WithoutMark) {
  const std::string content = MixedContent(3);
  const std::string left = dir_.Write("old.csv", Iconv(content, "CP932"));
  const std::string right = dir_.Write("new.csv", content);
  EXPECT_EQ(Run({"--header", "--key", "1", left, right}), kExitDifferent);
  EXPECT_EQ(Run({"--encoding", "auto", "--header", "--key", "1", left, right}), kExitSame);
  EXPECT_EQ(out_.str(), EqualSummary(3));
  EXPECT_EQ(err_.str(), "");
}

// Characters without a Shift-JIS form: the run says how many each side lost and a cell
// holding one differs unless the other cell held the same character, whether the encoding
// was detected or chosen by name.
TEST_F(EncodingCorpusTest, LostCharactersAreToldAndCompared) {
  const std::string left = dir_.Write(
      "l.csv", "1,a\xF0\x9F\x98\x80\r\n2,\xF0\x9F\x98\x80\r\n3,?\r\n4,x\xF0\x9F\x98\x80\r\n");
  const std::string rightUtf8 =
      "1,a\xF0\x9F\x98\xBA\r\n2,\xF0\x9F\x98\x80\r\n3,\xF0\x9F\x98\x80\r\n4,x?\r\n";
  const std::string right = dir_.Write("r.csv", "\xFF\xFE" + Iconv(rightUtf8, "UTF-16LE"));
  const std::string warning = "変換できない文字があります。(左:3件 右:3件)";
  struct Case {
    const char* encoding;
    int exit;
    const char* pairs;
    bool warned;
  } cases[] = {
      // 1: different emoji; 2: the same emoji (in UTF-8 and UTF-16); 3: a real '?' against
      // an emoji; 4: an emoji against a real '?'.
      {"auto", kExitDifferent, "1\t0\t0\n0\t1\t1\n1\t2\t2\n1\t3\t3\n", true},
      {"utf8", kExitDifferent, "1\t0\t0\n0\t1\t1\n1\t2\t2\n1\t3\t3\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encoding);
    EXPECT_EQ(Run({"--encoding", c.encoding, "--key", "1", "--pairs", left, right}), c.exit);
    const std::string counts = c.warned ? "相違レコード数:3件" : "相違レコード数:0件";
    EXPECT_NE(out_.str().find(counts), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find(c.pairs), std::string::npos) << out_.str();
    const std::vector<std::string> told = notifier_.Texts();
    if (c.warned) {
      EXPECT_EQ(told, std::vector<std::string>{warning});
    } else {
      EXPECT_TRUE(told.empty());
    }
  }
}

// Fixed-length files too: the widths count the Shift-JIS bytes after conversion, where a
// lost character is one byte '?', and its cell compares by what it stood for.
TEST_F(EncodingCorpusTest, LostCharactersInFixedLengthFields) {
  const std::string def = dir_.Write("def.dat", "a\t1\r\nb\t2\r\n");
  const std::string left = dir_.Write("l.txt", "1\xF0\x9F\x98\x80x\r\n2\xF0\x9F\x98\x80y\r\n");
  const std::string right = dir_.Write("r.txt", "1\xF0\x9F\x98\xBAx\r\n2\xF0\x9F\x98\x80y\r\n");
  EXPECT_EQ(Run({"--encoding", "auto", "--kind", "fixed", "--fixed-def", def, "--key", "1",
                 "--pairs", left, right}),
            kExitDifferent);
  EXPECT_NE(out_.str().find("1\t0\t0\n0\t1\t1\n"), std::string::npos) << out_.str();
  EXPECT_EQ(notifier_.Texts(),
            std::vector<std::string>{"変換できない文字があります。(左:2件 右:2件)"});
}

// The store rule ends a cell at its first control byte, and what it drops is not compared:
// a character lost there makes no difference either; one lost before the cut still does.
TEST_F(EncodingCorpusTest, CharactersLostPastTheCutOfACellDoNotCount) {
  const std::string grin = "\xF0\x9F\x98\x80";
  const std::string cat = "\xF0\x9F\x98\xBA";
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::string left;
    std::string right;
  } cases[] = {
      {"delimited",
       {},
       "1,\x10" + grin + "\r\n2," + grin + "\x10" + cat + "\r\n3," + grin + "\x10\r\n",
       "1,\x10\r\n2," + grin + "\x10" + grin + "\r\n3," + cat + "\x10\r\n"},
      {"fixed",
       {"--kind", "fixed", "--fixed-def", dir_.Write("def.dat", "a\t1\r\nb\t3\r\n")},
       "1\x10" + grin + "y\r\n2" + grin + "\x10" + cat + "\r\n3" + grin + "\x10z\r\n",
       "1\x10"
       "ab\r\n2" +
           grin + "\x10" + grin + "\r\n3" + cat + "\x10z\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.options;
    for (const char* a : {"--encoding", "auto", "--key", "1", "--pairs"}) args.push_back(a);
    args.push_back(dir_.Write(std::string(c.name) + "-l.txt", c.left));
    args.push_back(dir_.Write(std::string(c.name) + "-r.txt", c.right));
    EXPECT_EQ(Run(args), kExitDifferent);
    EXPECT_NE(out_.str().find("0\t0\t0\n0\t1\t1\n1\t2\t2\n"), std::string::npos) << out_.str();
  }
}

// Bad input under 自動判定: a binary file is refused with the reader's message, not
// compared as garbage.
TEST_F(EncodingCorpusTest, BinaryFileIsRefused) {
  const std::string left = dir_.Write("a.bin", std::string("\x01\x00\x00\x05\x00\x00\x07\x08", 8));
  const std::string right = dir_.Write("b.csv", "1,a\r\n");
  EXPECT_EQ(Run({"--encoding", "auto", left, right}), kExitFailed);
  EXPECT_EQ(notifier_.Texts(), std::vector<std::string>{"読込できないファイルです。"});
}

}  // namespace
}  // namespace korvel::cli
