#include "io/TextFile.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using namespace std::string_literals;
using test::S;
using test::TempDir;

// The real file system, except that reads deliver at most `readBudget` bytes in all and then
// fail, and writes fail from the `failWriteFrom`-th call on.
class FaultyFileSystem : public FileSystem {
 public:
  long readBudget = -1;   // -1: no limit
  int failWriteFrom = 0;  // 0: never

  ssize_t Read(int fd, void* buffer, std::size_t count) override {
    if (readBudget < 0) return FileSystem::Read(fd, buffer, count);
    if (readBudget == 0) return -1;
    count = std::min(count, static_cast<std::size_t>(readBudget));
    ssize_t n = FileSystem::Read(fd, buffer, count);
    if (n > 0) readBudget -= n;
    return n;
  }
  ssize_t Write(int fd, const void* buffer, std::size_t count) override {
    if (failWriteFrom > 0 && ++writeCalls_ >= failWriteFrom) {
      // A disk that fills up part-way: half the bytes, then nothing.
      return count > 1 ? FileSystem::Write(fd, buffer, count / 2) : -1;
    }
    return FileSystem::Write(fd, buffer, count);
  }

 private:
  int writeCalls_ = 0;
};

class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem* fs) : previous_(SetFileSystem(fs)) {}
  ~ScopedFileSystem() { SetFileSystem(previous_); }
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

std::string Repeat(std::string_view s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out.append(s);
  return out;
}

std::u16string Repeat16(std::u16string_view s, std::size_t n) {
  std::u16string out;
  for (std::size_t i = 0; i < n; ++i) out.append(s);
  return out;
}

std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
  std::string bytes;
  for (char16_t u : text) {
    char lo = static_cast<char>(u & 0xFF);
    char hi = static_cast<char>(u >> 8);
    bytes.push_back(bigEndian ? hi : lo);
    bytes.push_back(bigEndian ? lo : hi);
  }
  return bytes;
}

std::string Utf16ToCp932Bytes(std::string_view bytes, bool bigEndian) {
  std::string out;
  Utf16BytesToCp932(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), bigEndian,
                    out);
  return out;
}

struct Delivery {
  std::vector<std::string> pieces;
  bool failed = false;  // ReadChunk returned null
};

// Calls ReadChunk until the empty text (or null) and collects the pieces.
Delivery ReadPieces(TextFile& file) {
  Delivery d;
  for (int guard = 0; guard < 100000; ++guard) {
    int length = -1;
    const char* text = file.ReadChunk(&length);
    if (!text) {
      d.failed = true;
      EXPECT_EQ(length, 0);
      return d;
    }
    EXPECT_GE(length, 0);
    if (length <= 0) return d;
    EXPECT_EQ(text[length], '\0') << "piece " << d.pieces.size() << " is not NUL-terminated";
    d.pieces.emplace_back(text, static_cast<std::size_t>(length));
  }
  ADD_FAILURE() << "ReadChunk never reached the end";
  return d;
}

// Opens `path` for input as the readers do and returns the pieces.
Delivery ReadFile(const std::string& path, int encoding, bool adopt = false, int expectedBom = 0) {
  TextFile file;
  EXPECT_EQ(file.Open(path, TextFile::kModeRead, encoding), 0);
  int inForce = -1;
  EXPECT_EQ(file.CheckBom(adopt, &inForce), expectedBom);
  return ReadPieces(file);
}

std::string Join(const std::vector<std::string>& pieces) {
  std::string out;
  for (const std::string& p : pieces) out += p;
  return out;
}

// The pieces, joined, are `whole`; no piece ends inside a double-byte character, between the
// quotes of a doubled quote, or just before a TAB, CR or LF. (The inputs given to it have no
// runs of more than two quotes and no separators directly after one another.)
void ExpectWellCut(const std::vector<std::string>& pieces, const std::string& whole) {
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const std::string& piece = pieces[i];
    ASSERT_FALSE(piece.empty());
    std::size_t j = 0;
    while (j < piece.size()) j += IsLeadByte(piece[j]) ? 2 : 1;
    EXPECT_EQ(j, piece.size()) << "piece " << i << " ends inside a double-byte character";
    if (i + 1 == pieces.size()) continue;
    char next = pieces[i + 1][0];
    EXPECT_TRUE(next != '\t' && next != '\r' && next != '\n')
        << "piece " << i << " ends just before byte " << int{next};
    EXPECT_FALSE(piece.back() == '"' && next == '"') << "piece " << i << " splits a doubled quote";
  }
  EXPECT_EQ(Join(pieces), whole);
}

// ---------------------------------------------------------------------------
// Open, Read, Write

TEST(TextFileTest, OpenResults) {
  TempDir dir;
  const std::string path = dir.Write("in.txt", "contents");
  TextFile file;
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Open(dir.File("missing.txt"), TextFile::kModeRead, 0), -1);
  for (int mode : {TextFile::kModeRead, TextFile::kModeWrite, TextFile::kModeReadWrite}) {
    EXPECT_EQ(file.Open(dir.Path(), mode, 0), -1) << "a folder, mode " << mode;
  }
  // An unknown mode fails without touching the file.
  EXPECT_EQ(file.Open(path, 3, 0), -1);
  EXPECT_EQ(file.Open(path, -1, 0), -1);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(test::ReadFileBytes(path), "contents");
  // Write modes cannot create a file in a missing folder.
  EXPECT_EQ(file.Open(dir.File("no/such/out.txt"), TextFile::kModeWrite, 0), -1);

  ASSERT_EQ(file.Open(path, TextFile::kModeRead, kEncodingUtf8), 0);
  EXPECT_TRUE(file.IsOpen());
  EXPECT_EQ(file.GetEncoding(), kEncodingUtf8);
  // A second file is refused and the first stays open and readable from its start.
  const std::string other = dir.Write("other.txt", "other");
  EXPECT_EQ(file.Open(other, TextFile::kModeRead, 0), -2);
  EXPECT_EQ(file.Open(dir.File("new.txt"), TextFile::kModeWrite, 0), -2);
  EXPECT_EQ(GetPathKind(dir.File("new.txt")), PathKind::kMissing);
  EXPECT_TRUE(file.IsOpen());
  EXPECT_EQ(file.GetEncoding(), kEncodingUtf8);
  char buffer[16] = {};
  EXPECT_EQ(file.Read(buffer, 16), 8);
  EXPECT_EQ(std::string(buffer, 8), "contents");

  file.Close();
  EXPECT_FALSE(file.IsOpen());
  file.Close();  // closing twice is harmless
  ASSERT_EQ(file.Open(other, TextFile::kModeRead, 0), 0);
  EXPECT_EQ(file.Read(buffer, 16), 5);
}

TEST(TextFileTest, WriteModesCreateOrEmptyTheFile) {
  TempDir dir;
  for (int mode : {TextFile::kModeWrite, TextFile::kModeReadWrite}) {
    SCOPED_TRACE(mode);
    const std::string existing = dir.Write("existing.txt", "old contents");
    const std::string fresh = dir.File("fresh" + std::to_string(mode) + ".txt");
    TextFile file;
    ASSERT_EQ(file.Open(existing, mode, 0), 0);
    file.Close();
    EXPECT_EQ(test::ReadFileBytes(existing), "");
    ASSERT_EQ(file.Open(fresh, mode, 0), 0);
    file.Close();
    EXPECT_EQ(GetPathKind(fresh), PathKind::kFile);
  }
}

TEST(TextFileTest, ReadGivesTheBytesInOrderThenZero) {
  TempDir dir;
  std::string contents;
  for (int i = 0; i < 100000; ++i) contents.push_back(static_cast<char>(i * 7 % 251));
  const std::string path = dir.Write("in.bin", contents);
  TextFile file;
  EXPECT_EQ(file.Read(nullptr, 10), 0);  // nothing open
  ASSERT_EQ(file.Open(path, TextFile::kModeRead, 0), 0);
  std::string got;
  std::vector<char> buffer(3000);
  int count = 0;
  EXPECT_EQ(file.Read(buffer.data(), 0), 0);
  for (;;) {
    // Uneven sizes, so that reads straddle the larger blocks asked of the system.
    int want = 1 + count++ * 37 % 2999;
    int n = file.Read(buffer.data(), want);
    if (n == 0) break;
    ASSERT_GT(n, 0);
    got.append(buffer.data(), static_cast<std::size_t>(n));
    if (n < want) {
      EXPECT_EQ(file.Read(buffer.data(), want), 0);
      break;
    }
  }
  EXPECT_EQ(got, contents);
}

TEST(TextFileTest, WriteAndWriteNewline) {
  TempDir dir;
  const std::string path = dir.File("out.txt");
  TextFile file;
  EXPECT_EQ(file.Write("x", 1), 0);  // nothing open
  EXPECT_EQ(file.WriteNewline(), 0);
  ASSERT_EQ(file.Open(path, TextFile::kModeWrite, 0), 0);
  EXPECT_EQ(file.Write("ab\0c", 4), 4);
  EXPECT_EQ(file.WriteNewline(), 2);
  EXPECT_EQ(file.Write("", 0), 0);
  EXPECT_EQ(file.Write("zz", -1), 0);
  EXPECT_EQ(file.Write("\x95\x5C", 2), 2);
  file.Close();
  EXPECT_EQ(test::ReadFileBytes(path), "ab\0c\r\n\x95\x5C"s);

  // A file opened for reading cannot be written.
  ASSERT_EQ(file.Open(path, TextFile::kModeRead, 0), 0);
  EXPECT_EQ(file.Write("x", 1), 0);
  file.Close();
  EXPECT_EQ(test::ReadFileBytes(path), "ab\0c\r\n\x95\x5C"s);
}

TEST(TextFileTest, ShortWriteCountsAsFailure) {
  TempDir dir;
  FaultyFileSystem faulty;
  faulty.failWriteFrom = 2;
  ScopedFileSystem scope(&faulty);
  TextFile file;
  ASSERT_EQ(file.Open(dir.File("out.txt"), TextFile::kModeWrite, 0), 0);
  EXPECT_EQ(file.Write("abcd", 4), 4);
  EXPECT_EQ(file.Write("efgh", 4), 0);
  EXPECT_EQ(file.WriteNewline(), 0);
}

int OpenDescriptorCount() {
  int n = 0;
  DIR* d = ::opendir("/proc/self/fd");
  if (!d) return -1;
  while (::readdir(d)) ++n;
  ::closedir(d);
  return n;
}

TEST(TextFileTest, DestructorClosesTheFile) {
  TempDir dir;
  const std::string path = dir.Write("in.txt", "abc");
  const int before = OpenDescriptorCount();
  {
    TextFile a;
    TextFile b;
    ASSERT_EQ(a.Open(path, TextFile::kModeRead, 0), 0);
    ASSERT_EQ(b.Open(dir.File("out.txt"), TextFile::kModeWrite, 0), 0);
    ASSERT_EQ(b.Write("x", 1), 1);
    // A written file also holds its folder open until it is named there.
    EXPECT_EQ(OpenDescriptorCount(), before + 3);
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
  // Never closed, never complete: the written file does not appear.
  EXPECT_EQ(test::FolderEntries(dir.Path()), std::vector<std::string>{"in.txt"});
}

// ---------------------------------------------------------------------------
// CheckBom

struct BomCase {
  std::string bytes;
  int requested;
  bool adopt;
  int result;
  int inForce;
  std::string firstPiece;  // what ReadChunk delivers afterwards
};

TEST(TextFileTest, CheckBomResults) {
  const std::string le = Utf16Bytes(u"表a", false);
  const std::string be = Utf16Bytes(u"表a", true);
  const std::string sjisText =
      "\x95\x5C"
      "a";
  const BomCase cases[] = {
      // empty
      {"", kEncodingSjis, true, -1, kEncodingSjis, ""},
      {"", kEncodingUtf16, false, -1, kEncodingUtf16, ""},
      // no mark: the bytes read stay data
      {"A", kEncodingSjis, true, 0, kEncodingSjis, "A"},
      {"AB", kEncodingSjis, true, 0, kEncodingSjis, "AB"},
      {"ABCD", kEncodingUtf8, true, 0, kEncodingUtf8, "ABCD"},
      {"\xEF\xBB", kEncodingSjis, true, 0, kEncodingSjis, "\xEF\xBB"},
      {"\xEF\xBB"
       "A",
       kEncodingSjis, true, 0, kEncodingSjis,
       "\xEF\xBB"
       "A"},
      {"\xEF\xBB\xBE\xBF", kEncodingSjis, true, 0, kEncodingSjis, "\xEF\xBB\xBE\xBF"},
      {"\xFE", kEncodingSjis, true, 0, kEncodingSjis, "\xFE"},
      {"\xBB\xEF\xBF", kEncodingSjis, true, 0, kEncodingSjis, "\xBB\xEF\xBF"},
      // UTF-16 without a mark is read as UTF-16 only when asked for
      {le, kEncodingUtf16, true, 0, kEncodingUtf16, sjisText},
      {le, kEncodingSjis, true, 0, kEncodingSjis, le},
      // the requested mark
      {"\xFF\xFE" + le, kEncodingUtf16, false, 1, kEncodingUtf16, sjisText},
      {"\xEF\xBB\xBF"
       "表a",
       kEncodingUtf8, false, 1, kEncodingUtf8, sjisText},
      // big-endian UTF-16 is never asked for: any code but 10 and 15 reads as Shift-JIS,
      // and only the mark brings big-endian UTF-16
      {be, kEncodingUtf16Be, true, 0, kEncodingSjis, be},
      {be, 3, true, 0, kEncodingSjis, be},
      {"\xFE\xFF" + be, kEncodingUtf16Be, false, -2, kEncodingSjis, ""},
      {"\xFE\xFF" + be, kEncodingUtf16Be, true, 2, kEncodingUtf16Be, sjisText},
      // another mark, adopted
      {"\xFF\xFE" + le, kEncodingSjis, true, 2, kEncodingUtf16, sjisText},
      {"\xFF\xFE" + le, kEncodingUtf8, true, 2, kEncodingUtf16, sjisText},
      {"\xEF\xBB\xBF"
       "表a",
       kEncodingSjis, true, 2, kEncodingUtf8, sjisText},
      {"\xEF\xBB\xBF"
       "表a",
       kEncodingUtf16, true, 2, kEncodingUtf8, sjisText},
      // big-endian UTF-16 is converted, not taken as Shift-JIS
      {"\xFE\xFF" + be, kEncodingSjis, true, 2, kEncodingUtf16Be, sjisText},
      {"\xFE\xFF" + be, kEncodingUtf16, true, 2, kEncodingUtf16Be, sjisText},
      // another mark, not adopted: the encoding stands
      {"\xFF\xFE" + le, kEncodingSjis, false, -2, kEncodingSjis, ""},
      {"\xEF\xBB\xBF"
       "表a",
       kEncodingUtf16, false, -2, kEncodingUtf16, ""},
      {"\xFE\xFF" + be, kEncodingUtf16, false, -2, kEncodingUtf16, ""},
  };
  TempDir dir;
  for (const BomCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "requested " << c.requested << ", adopt " << c.adopt << ", "
                                    << c.bytes.size() << " bytes");
    const std::string path = dir.Write("in.txt", c.bytes);
    TextFile file;
    ASSERT_EQ(file.Open(path, TextFile::kModeRead, c.requested), 0);
    int inForce = -99;
    EXPECT_EQ(file.CheckBom(c.adopt, &inForce), c.result);
    EXPECT_EQ(inForce, c.inForce);
    EXPECT_EQ(file.GetEncoding(), c.inForce);
    if (c.result == -2) continue;  // the readers stop here
    Delivery d = ReadPieces(file);
    EXPECT_FALSE(d.failed);
    EXPECT_EQ(Join(d.pieces), c.firstPiece);
  }
}

TEST(TextFileTest, FileHoldingOnlyAMark) {
  TempDir dir;
  const std::string path = dir.Write("mark.txt", "\xFF\xFE");
  struct {
    int requested;
    bool adopt;
    int result;
    int inForce;
  } const cases[] = {{kEncodingUtf16, false, 1, kEncodingUtf16},
                     {kEncodingSjis, true, 2, kEncodingUtf16},
                     {kEncodingSjis, false, -2, kEncodingSjis}};
  for (const auto& c : cases) {
    TextFile file;
    ASSERT_EQ(file.Open(path, TextFile::kModeRead, c.requested), 0);
    int inForce = -1;
    EXPECT_EQ(file.CheckBom(c.adopt, &inForce), c.result);
    EXPECT_EQ(inForce, c.inForce);
    int length = -1;
    const char* text = file.ReadChunk(&length);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(length, 0);
  }
}

TEST(TextFileTest, CheckBomReadFailure) {
  TempDir dir;
  const std::string path = dir.Write("in.txt",
                                     "\xEF\xBB\xBF"
                                     "abc");
  FaultyFileSystem faulty;
  ScopedFileSystem scope(&faulty);
  // The first bytes cannot be read.
  {
    faulty.readBudget = 0;
    TextFile file;
    ASSERT_EQ(file.Open(path, TextFile::kModeRead, kEncodingUtf16), 0);
    int inForce = -1;
    EXPECT_EQ(file.CheckBom(true, &inForce), -3);
    EXPECT_EQ(inForce, kEncodingUtf16);
  }
  // EF BB arrive, the byte that would decide fails.
  {
    faulty.readBudget = 2;
    TextFile file;
    ASSERT_EQ(file.Open(path, TextFile::kModeRead, kEncodingSjis), 0);
    int inForce = -1;
    EXPECT_EQ(file.CheckBom(true, &inForce), -3);
    EXPECT_EQ(inForce, kEncodingSjis);
  }
  // Nothing open.
  TextFile closed;
  EXPECT_EQ(closed.CheckBom(true, nullptr), -3);
}

TEST(TextFileTest, MarkOfUtf8WithTextArrivesAsShiftJis) {
  TempDir dir;
  const std::string text = "コード,名前\r\n001,\"山田 太郎\"\r\nｶﾅ,€\r\n";
  const std::string path = dir.Write("u8.csv", "\xEF\xBB\xBF" + text);
  TextFile file;
  ASSERT_EQ(file.Open(path, TextFile::kModeRead, kEncodingSjis), 0);
  int inForce = -1;
  ASSERT_EQ(file.CheckBom(true, &inForce), 2);
  EXPECT_EQ(inForce, kEncodingUtf8);
  Delivery d = ReadPieces(file);
  EXPECT_FALSE(d.failed);
  EXPECT_EQ(Join(d.pieces), S("コード,名前\r\n001,\"山田 太郎\"\r\nｶﾅ,?\r\n"));
}

// ---------------------------------------------------------------------------
// ReadChunk

TEST(TextFileTest, ReadChunkWithoutAFileIsNull) {
  TextFile file;
  int length = -1;
  EXPECT_EQ(file.ReadChunk(&length), nullptr);
  EXPECT_EQ(length, 0);
}

TEST(TextFileTest, ShortFileIsOnePieceThenTheEmptyText) {
  TempDir dir;
  const std::string contents = "a\0b\x95\x5C\r\n"s + std::string(1000, 'x');
  TextFile file;
  ASSERT_EQ(file.Open(dir.Write("in.txt", contents), TextFile::kModeRead, 0), 0);
  int length = -1;
  const char* text = file.ReadChunk(&length);
  ASSERT_NE(text, nullptr);
  // NUL bytes of the file are data: the length tells where the piece ends.
  EXPECT_EQ(std::string(text, static_cast<std::size_t>(length)), contents);
  for (int i = 0; i < 3; ++i) {
    text = file.ReadChunk(&length);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_STREQ(text, "");
  }
}

TEST(TextFileTest, FileOfExactly1024Bytes) {
  TempDir dir;
  TextFile file;
  ASSERT_EQ(file.Open(dir.Write("in.txt", std::string(1024, 'a')), TextFile::kModeRead, 0), 0);
  int bom = file.CheckBom(false, nullptr);
  EXPECT_EQ(bom, 0);
  Delivery d = ReadPieces(file);
  EXPECT_FALSE(d.failed);
  ASSERT_EQ(d.pieces.size(), 2u);
  EXPECT_EQ(d.pieces[0].size(), 1018u);
  EXPECT_EQ(d.pieces[1].size(), 6u);

  // One byte fewer: the file ends within the first piece.
  TextFile shorter;
  ASSERT_EQ(shorter.Open(dir.Write("in2.txt", std::string(1023, 'a')), TextFile::kModeRead, 0), 0);
  d = ReadPieces(shorter);
  ASSERT_EQ(d.pieces.size(), 1u);
  EXPECT_EQ(d.pieces[0].size(), 1023u);
}

// Where the first cut falls for a few inputs: the stepping goes past at least 1018 bytes
// (Shift-JIS, UTF-8) or 1014 bytes (UTF-16) and then takes a TAB, or a line break with the
// LF after it.
TEST(TextFileTest, FirstCutPoints) {
  TempDir dir;
  const std::string tail(1500, 'z');
  struct Case {
    std::string bytes;
    int encoding;
    std::size_t firstPiece;  // converted length
  };
  const std::string a = "a";
  const Case cases[] = {
      {Repeat(a, 1017) + tail, kEncodingSjis, 1018},
      {Repeat(a, 1017) + "\x95\x5C" + tail, kEncodingSjis, 1019},
      {Repeat(a, 1016) + "\"\"" + tail, kEncodingSjis, 1018},
      {Repeat(a, 1017) + "\"\"" + tail, kEncodingSjis, 1019},
      {Repeat(a, 1017) + "\r\n" + tail, kEncodingSjis, 1019},
      {Repeat(a, 1018) + "\r\n" + tail, kEncodingSjis, 1020},
      {Repeat(a, 1018) + "\t" + tail, kEncodingSjis, 1019},
      {Repeat(a, 1018) + "\n" + tail, kEncodingSjis, 1019},
      {Repeat(a, 1016) + "\x95\x5C\n" + tail, kEncodingSjis, 1019},
      // A byte before an LF is stepped over with it, so the line break that follows is taken.
      {Repeat(a, 1018) + "\n\r" + tail, kEncodingSjis, 1020},
      {Repeat(a, 1017) + tail, kEncodingUtf8, 1018},
      {Repeat(a, 1017) + "あ" + tail, kEncodingUtf8, 1019},  // 3 bytes -> 2
      {Repeat(a, 1017) + "𠮷" + tail, kEncodingUtf8, 1018},  // 4 bytes -> '?'
      {Repeat(a, 1017) + "\n" + tail, kEncodingUtf8, 1018},
      {Repeat(a, 1017) + "\"\"" + tail, kEncodingUtf8, 1019},
      {Repeat(a, 1018) + "\r\n" + tail, kEncodingUtf8, 1020},
      {Repeat(a, 1018) + "\n\r" + tail, kEncodingUtf8, 1020},
      {Utf16Bytes(Repeat16(u"a", 600), false), kEncodingUtf16, 507},
      {Utf16Bytes(Repeat16(u"a", 506) + u"𠮷" + Repeat16(u"z", 100), false), kEncodingUtf16, 507},
      {Utf16Bytes(Repeat16(u"a", 506) + u"\"\"" + Repeat16(u"z", 100), false), kEncodingUtf16, 508},
      {Utf16Bytes(Repeat16(u"a", 507) + u"\r\n" + Repeat16(u"z", 100), false), kEncodingUtf16, 509},
      {Utf16Bytes(Repeat16(u"a", 507) + u"\t" + Repeat16(u"z", 100), false), kEncodingUtf16, 508},
      {Utf16Bytes(Repeat16(u"a", 507) + u"\n\r" + Repeat16(u"z", 100), false), kEncodingUtf16, 509},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "encoding " << c.encoding << ", expected " << c.firstPiece);
    Delivery d = ReadFile(dir.Write("in.txt", c.bytes), c.encoding);
    ASSERT_GE(d.pieces.size(), 2u);
    EXPECT_EQ(d.pieces[0].size(), c.firstPiece);
  }
}

// Each sequence that must stay whole is put at every offset around the cut, after plain
// single bytes and after double-byte characters.
TEST(TextFileTest, ShiftJisCutsKeepSequencesWhole) {
  TempDir dir;
  const std::string sequences[] = {
      "\x95\x5C", "\x95\x5C\x83\x5C\x95\x5C", "\"\"", "\r\n", "\t", "\n", "\r", "\x95\x5C\r\n",
      "\"\"\r\n"};
  for (bool doubleBytePrefix : {false, true}) {
    for (std::size_t offset = 1008; offset <= 1024; ++offset) {
      for (const std::string& seq : sequences) {
        std::string bytes = doubleBytePrefix
                                ? std::string(offset % 2, 'a') + Repeat("\x95\x5C", offset / 2)
                                : std::string(offset, 'a');
        bytes += seq + std::string(1100, 'b') + "\r\n" + std::string(900, 'c');
        SCOPED_TRACE(testing::Message() << "offset " << offset << ", sequence of " << seq.size()
                                        << " bytes, double-byte prefix " << doubleBytePrefix);
        Delivery d = ReadFile(dir.Write("in.txt", bytes), kEncodingSjis);
        ASSERT_FALSE(d.failed);
        ASSERT_GE(d.pieces.size(), 3u);
        for (std::size_t i = 0; i + 1 < d.pieces.size(); ++i) {
          EXPECT_GE(d.pieces[i].size(), 1018u);
          EXPECT_LE(d.pieces[i].size(), 1024u);
        }
        ExpectWellCut(d.pieces, bytes);
        if (HasFailure()) return;
      }
    }
  }
}

TEST(TextFileTest, Utf8CutsKeepSequencesWhole) {
  TempDir dir;
  const std::string sequences[] = {"¢",    "あ", "𠮷", "あい𠮷", "\"\"",
                                   "\r\n", "\t", "\n", "\r",     "表\r\n"};
  for (bool multiBytePrefix : {false, true}) {
    for (std::size_t offset = 1008; offset <= 1024; ++offset) {
      for (const std::string& seq : sequences) {
        std::string bytes = multiBytePrefix
                                ? std::string(offset % 3, 'a') + Repeat("あ", offset / 3)
                                : std::string(offset, 'a');
        bytes += seq + std::string(1100, 'b') + "\r\n" + std::string(900, 'c');
        SCOPED_TRACE(testing::Message() << "offset " << offset << ", sequence " << seq
                                        << ", multi-byte prefix " << multiBytePrefix);
        Delivery d = ReadFile(dir.Write("in.txt", bytes), kEncodingUtf8);
        ASSERT_FALSE(d.failed);
        ASSERT_GE(d.pieces.size(), 3u);
        ExpectWellCut(d.pieces, Utf8ToCp932(bytes));
        if (HasFailure()) return;
      }
    }
  }
}

TEST(TextFileTest, Utf16CutsKeepSequencesWhole) {
  TempDir dir;
  const std::u16string sequences[] = {u"表", u"𠮷", u"𠮷𠮷", u"\"\"",  u"\r\n",
                                      u"\t", u"\n", u"\r",   u"𠮷\r\n"};
  for (bool bigEndian : {false, true}) {
    for (bool pairPrefix : {false, true}) {
      for (std::size_t units = 504; units <= 512; ++units) {
        for (const std::u16string& seq : sequences) {
          std::u16string text = pairPrefix
                                    ? std::u16string(units % 2, u'a') + Repeat16(u"𠮷", units / 2)
                                    : std::u16string(units, u'a');
          text += seq + std::u16string(600, u'b') + u"\r\n" + std::u16string(400, u'c');
          const std::string data = Utf16Bytes(text, bigEndian);
          SCOPED_TRACE(testing::Message()
                       << "big-endian " << bigEndian << ", offset " << units * 2 << ", sequence of "
                       << seq.size() << " units, pair prefix " << pairPrefix);
          // Big-endian text is known by its mark only; little-endian is read without one.
          Delivery d =
              bigEndian ? ReadFile(dir.Write("in.txt", "\xFE\xFF" + data), kEncodingSjis, true, 2)
                        : ReadFile(dir.Write("in.txt", data), kEncodingUtf16);
          ASSERT_FALSE(d.failed);
          ASSERT_GE(d.pieces.size(), 3u);
          ExpectWellCut(d.pieces, Utf16ToCp932Bytes(data, bigEndian));
          if (HasFailure()) return;
        }
      }
    }
  }
}

// A long file of mixed text in every encoding: the pieces join up to the whole text.
TEST(TextFileTest, LongMixedTextInEveryEncoding) {
  struct Token {
    const char* utf8;
    const char16_t* utf16;
  };
  // Separators are always followed by a plain character (see ExpectWellCut).
  const Token tokens[] = {{"a", u"a"},     {"XY", u"XY"},        {"表", u"表"},
                          {"ソ", u"ソ"},   {"漢字", u"漢字"},    {"ｱﾟ", u"ｱﾟ"},
                          {"𠮷", u"𠮷"},   {"\"\"q", u"\"\"q"},  {"\tv", u"\tv"},
                          {",w", u",w"},   {"\r\nx", u"\r\nx"},  {"\ny", u"\ny"},
                          {"\rz", u"\rz"}, {"\"k\"m", u"\"k\"m"}};
  std::mt19937 random(20240601);
  std::string utf8;
  std::u16string utf16;
  while (utf8.size() < 150000) {
    const Token& t = tokens[random() % std::size(tokens)];
    utf8 += t.utf8;
    utf16 += t.utf16;
  }
  const std::string sjis = Utf8ToCp932(utf8);
  ASSERT_EQ(Utf16ToCp932(utf16), sjis);

  TempDir dir;
  ExpectWellCut(ReadFile(dir.Write("sjis.txt", sjis), kEncodingSjis).pieces, sjis);
  ExpectWellCut(ReadFile(dir.Write("u8.txt", utf8), kEncodingUtf8).pieces, sjis);
  ExpectWellCut(
      ReadFile(dir.Write("u8b.txt", "\xEF\xBB\xBF" + utf8), kEncodingUtf8, false, 1).pieces, sjis);
  ExpectWellCut(ReadFile(dir.Write("u16.txt", Utf16Bytes(utf16, false)), kEncodingUtf16).pieces,
                sjis);
  ExpectWellCut(
      ReadFile(dir.Write("u16b.txt", "\xFF\xFE" + Utf16Bytes(utf16, false)), kEncodingSjis, true, 2)
          .pieces,
      sjis);
  ExpectWellCut(
      ReadFile(dir.Write("u16be.txt", "\xFE\xFF" + Utf16Bytes(utf16, true)), kEncodingUtf8, true, 2)
          .pieces,
      sjis);
}

// AppendPieces delivers the pieces ReadChunk cuts: asked for one piece at a time, the same
// piece by piece; asked for many, the same text in steps that end where pieces end. A
// Shift-JIS piece that the read-ahead block holds whole is cut in place there, others go
// through the piece buffer: a file of several read-ahead blocks takes both ways, and its
// text puts lead bytes, doubled quotes, TABs and line breaks at every place near the cut.
TEST(TextFileTest, AppendPiecesCutsAsReadChunkDoes) {
  const std::vector<std::string> tokens = {"a",    "\x93\x8c", "\x81", "\"\"", "\"",     "\t",
                                           "\r\n", "\n",       "\r",   ",",    "\x81\n", "xyz"};
  std::mt19937 random(1021);
  TempDir dir;
  for (int round = 0; round < 6; ++round) {
    std::string sjis;
    while (sjis.size() < 200000) sjis += tokens[random() % tokens.size()];
    const std::string path = dir.Write("in.txt", sjis);
    const Delivery chunks = ReadFile(path, kEncodingSjis);
    ASSERT_FALSE(chunks.failed);
    std::vector<std::size_t> ends;  // where ReadChunk's pieces end in the text
    std::size_t end = 0;
    for (const std::string& piece : chunks.pieces) ends.push_back(end += piece.size());
    for (const std::size_t inputBytes : {std::size_t{1}, std::size_t{16 * 1024}}) {
      SCOPED_TRACE("round " + std::to_string(round) + " asking for " + std::to_string(inputBytes));
      TextFile file;
      ASSERT_EQ(file.Open(path, TextFile::kModeRead, kEncodingSjis), 0);
      int inForce = -1;
      ASSERT_EQ(file.CheckBom(false, &inForce), 0);
      std::string text;
      bool ended = false;
      std::size_t calls = 0;
      while (!ended && calls < 100000) {
        LossLog losses;
        const long appended = file.AppendPieces(text, inputBytes, &losses, &ended);
        ASSERT_GE(appended, 0);
        if (appended == 0) break;
        ++calls;
        ASSERT_TRUE(std::binary_search(ends.begin(), ends.end(), text.size()))
            << "a step ends inside a piece at " << text.size();
        if (inputBytes == 1) {
          ASSERT_EQ(text.size(), ends[calls - 1]) << "piece " << calls - 1;
        }
      }
      EXPECT_EQ(text, sjis);
      if (inputBytes == 1) {
        EXPECT_EQ(calls, chunks.pieces.size());
      }
    }
  }
}

TEST(TextFileTest, OddTrailingByteOfUtf16) {
  TempDir dir;
  Delivery d = ReadFile(dir.Write("odd.txt", "\xFF\xFE" + Utf16Bytes(u"表a", false) + "\x41"),
                        kEncodingUtf16, false, 1);
  EXPECT_EQ(Join(d.pieces),
            "\x95\x5C"
            "a?");
}

// Once a read fails, ReadChunk gives null, and never a piece whose end it could not judge.
TEST(TextFileTest, ReadFailureMidFile) {
  std::string text;
  for (int i = 0; text.size() < 200000; ++i) {
    text +=
        "\x95\x5C"
        "\"\"" +
        std::to_string(i) + "\t\x83\x5C\r\n";
  }
  TempDir dir;
  const std::string path = dir.Write("in.txt", text);
  for (long budget : {0L, 1000L, 65536L, 70001L, 131072L + 3}) {
    SCOPED_TRACE(budget);
    FaultyFileSystem faulty;
    faulty.readBudget = budget;
    ScopedFileSystem scope(&faulty);
    TextFile file;
    ASSERT_EQ(file.Open(path, TextFile::kModeRead, kEncodingSjis), 0);
    Delivery d = ReadPieces(file);
    EXPECT_TRUE(d.failed);
    std::string got = Join(d.pieces);
    EXPECT_LE(got.size(), static_cast<std::size_t>(budget));
    EXPECT_EQ(got, text.substr(0, got.size()));
    // Every piece delivered is a full, well-cut piece.
    for (const std::string& piece : d.pieces) EXPECT_GE(piece.size(), 1018u);
    ExpectWellCut(d.pieces, got);
    if (!got.empty()) {
      char next = text[got.size()];
      EXPECT_TRUE(next != '\t' && next != '\r' && next != '\n');
      EXPECT_FALSE(got.back() == '"' && next == '"');
    }
    // The failure stays.
    int length = -1;
    EXPECT_EQ(file.ReadChunk(&length), nullptr);
  }
}

TEST(TextFileTest, ReopenStartsWithoutCarry) {
  TempDir dir;
  TextFile file;
  ASSERT_EQ(file.Open(dir.Write("a.txt",
                                "\xEF\xBB"
                                "A"),
                      TextFile::kModeRead, 0),
            0);
  ASSERT_EQ(file.CheckBom(true, nullptr), 0);  // three bytes wait as data
  file.Close();
  ASSERT_EQ(file.Open(dir.Write("b.txt", "xyz"), TextFile::kModeRead, 0), 0);
  Delivery d = ReadPieces(file);
  EXPECT_EQ(Join(d.pieces), "xyz");
}

// ---------------------------------------------------------------------------
// CheckOutputPath

TEST(CheckOutputPathTest, Answers) {
  TempDir dir;
  RecordingNotifier recorder;
  NotifierPrompter prompter(recorder);
  auto check = [&](const std::string& path) {
    return test::Shown(recorder, CheckOutputPath(path, prompter)) == 0;
  };

  EXPECT_FALSE(check(""));
  EXPECT_TRUE(check(dir.File("new.xml")));
  EXPECT_TRUE(recorder.Entries().empty());

  EXPECT_FALSE(check(dir.Path()));
  ASSERT_EQ(recorder.Entries().size(), 1u);
  const MessageBoxSpec& warning = recorder.Entries()[0].box;
  EXPECT_EQ(recorder.Texts()[0], "フォルダが指定されています。");
  EXPECT_EQ(warning.caption, S("注意"));
  EXPECT_EQ(warning.icon, MessageIcon::kWarning);
  EXPECT_EQ(warning.buttons, MessageButtons::kOk);

  const std::string existing = dir.Write("old.xml", "x");
  for (bool yes : {true, false}) {
    recorder.Clear();
    recorder.QueueAnswer(yes);
    EXPECT_EQ(check(existing), yes);
    ASSERT_EQ(recorder.Entries().size(), 1u);  // asked once
    const MessageBoxSpec& question = recorder.Entries()[0].box;
    EXPECT_EQ(recorder.Texts()[0], "既にファイルが存在します。上書きしてよろしいですか？");
    EXPECT_EQ(question.caption, S("確認"));
    EXPECT_EQ(question.icon, MessageIcon::kQuestion);
    EXPECT_EQ(question.buttons, MessageButtons::kYesNo);
  }
  // The file is only judged, never touched.
  EXPECT_EQ(test::ReadFileBytes(existing), "x");
}

}  // namespace
}  // namespace korvel
