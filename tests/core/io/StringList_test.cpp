#include "io/StringList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"

namespace korvel {
namespace {

using namespace std::string_literals;
using test::TempDir;

std::string Item(const StringList& list, int index) { return std::string(list.GetView(index)); }

// Every view agrees with the expected items, and every item is followed by its NUL.
void ExpectItems(const StringList& list, const std::vector<std::string>& expected) {
  ASSERT_EQ(list.Count(), static_cast<int>(expected.size()));
  for (int i = 0; i < list.Count(); ++i) {
    const std::string& want = expected[static_cast<std::size_t>(i)];
    ASSERT_EQ(Item(list, i), want) << "item " << i;
    const StringList::Entry* entry = list.GetEntry(i);
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry->length, static_cast<int>(want.size()));
    if (entry->bytes) {
      ASSERT_EQ(list.Get(i), entry->bytes);
      ASSERT_EQ(entry->bytes[entry->length], '\0') << "item " << i;
    }
  }
}

TEST(StringListTest, EmptyListAndOutOfRange) {
  StringList list;
  EXPECT_EQ(list.Count(), 0);
  for (int index : {-1, 0, 1}) {
    EXPECT_EQ(list.Get(index), nullptr);
    ASSERT_NE(list.GetText(index), nullptr);
    EXPECT_STREQ(list.GetText(index), "");
    EXPECT_TRUE(list.GetView(index).empty());
    EXPECT_EQ(list.GetEntry(index), nullptr);
  }
  // Bad arguments store nothing.
  EXPECT_EQ(list.Set(-1, "x", 1), 0);
  EXPECT_EQ(list.Set(0, "x", -1), 0);
  EXPECT_EQ(list.Insert(-1), 0);
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringListTest, SetBeyondCountAppendsEmptyItems) {
  StringList list;
  ASSERT_EQ(list.Set(5, "five", 4), 1);
  EXPECT_EQ(list.Count(), 6);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(list.Get(i), nullptr) << i;
    EXPECT_STREQ(list.GetText(i), "") << i;
    const StringList::Entry* entry = list.GetEntry(i);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->bytes, nullptr);
    EXPECT_EQ(entry->length, 0);
    EXPECT_EQ(entry->slotSize, 0);
  }
  EXPECT_STREQ(list.GetText(5), "five");
  EXPECT_EQ(list.GetEntry(6), nullptr);

  ASSERT_EQ(list.Add("six", 3), 1);
  EXPECT_EQ(list.Count(), 7);
  ASSERT_EQ(list.Set(2, "two", 3), 1);
  EXPECT_EQ(list.Count(), 7);
  ExpectItems(list, {"", "", "two", "", "", "five", "six"});
}

TEST(StringListTest, ItemsAreBytesWithAnyValue) {
  StringList list;
  const std::string binary = "a\0b\r\n\xFF\x95\x5C"s;
  ASSERT_EQ(list.Add(binary.data(), static_cast<int>(binary.size())), 1);
  ASSERT_EQ(list.Add("", 0), 1);
  ASSERT_EQ(list.Add(nullptr, 0), 1);
  ExpectItems(list, {binary, "", ""});
  // An empty item that was set has storage; one never set has none.
  EXPECT_NE(list.Get(1), nullptr);
  EXPECT_NE(list.Get(2), nullptr);
  // Bytes not given: the length is kept and the NUL follows it.
  ASSERT_EQ(list.Set(3, nullptr, 12), 1);
  EXPECT_EQ(list.GetEntry(3)->length, 12);
  EXPECT_EQ(list.Get(3)[12], '\0');
}

TEST(StringListTest, SlotIsReusedUpToSevenBytesMore) {
  StringList list;
  ASSERT_EQ(list.Set(0, "abc", 3), 1);
  ASSERT_EQ(list.Add("neighbour", 9), 1);
  const char* slot = list.Get(0);
  EXPECT_EQ(list.GetEntry(0)->slotSize, 13);
  for (const std::string value : {"", "x", "abcdefghij", "0123456789", "zz"}) {
    ASSERT_EQ(list.Set(0, value.data(), static_cast<int>(value.size())), 1);
    EXPECT_EQ(list.Get(0), slot) << value;
    // The old, longer text is not visible through the item.
    EXPECT_STREQ(list.GetText(0), value.c_str());
    EXPECT_EQ(Item(list, 0), value);
  }
  // Eight bytes more no longer fit: the item moves and its new slot is sized for it.
  ASSERT_EQ(list.Set(0, "12345678901", 11), 1);
  EXPECT_NE(list.Get(0), slot);
  EXPECT_EQ(list.GetEntry(0)->slotSize, 21);
  EXPECT_STREQ(list.GetText(0), "12345678901");
  const char* moved = list.Get(0);
  ASSERT_EQ(list.Set(0, "y", 1), 1);
  EXPECT_EQ(list.Get(0), moved);
  EXPECT_STREQ(list.GetText(0), "y");
  ExpectItems(list, {"y", "neighbour"});
}

TEST(StringListTest, SetTextStoresUpToTheFirstControlByte) {
  StringList list;
  ASSERT_EQ(list.SetText(0, "ab\tc\r\nd"), 1);
  EXPECT_EQ(Item(list, 0), "ab\tc");
  ASSERT_EQ(list.SetText(1,
                         "\x95\x5C\x7F\xA1~\x1F"
                         "after"),
            1);
  EXPECT_EQ(Item(list, 1), "\x95\x5C\x7F\xA1~");
  ASSERT_EQ(list.SetText(2, "\nrest"), 1);
  EXPECT_EQ(Item(list, 2), "");
  EXPECT_NE(list.Get(2), nullptr);
  ASSERT_EQ(list.SetText(3, nullptr), 1);
  EXPECT_EQ(Item(list, 3), "");
  EXPECT_EQ(list.Count(), 4);

  EXPECT_EQ(StringList::StoreLength("abc\x01", -1), 3);
  EXPECT_EQ(StringList::StoreLength("abcdef", 4), 4);
  EXPECT_EQ(StringList::StoreLength("a\tb", 10), 3);
  EXPECT_EQ(StringList::StoreLength("", -1), 0);
}

TEST(StringListTest, InsertOpensAnEmptyItem) {
  StringList list;
  for (const char* s : {"0", "1", "2", "3"}) ASSERT_EQ(list.SetText(list.Count(), s), 1);
  const char* two = list.Get(2);
  ASSERT_EQ(list.Insert(2), 1);
  ExpectItems(list, {"0", "1", "", "2", "3"});
  EXPECT_EQ(list.Get(2), nullptr);
  EXPECT_EQ(list.GetEntry(2)->slotSize, 0);
  // The moved items keep their storage.
  EXPECT_EQ(list.Get(3), two);

  ASSERT_EQ(list.Insert(0), 1);
  ExpectItems(list, {"", "0", "1", "", "2", "3"});
  // At or beyond Count: empty items are appended until Count exceeds the index.
  ASSERT_EQ(list.Insert(6), 1);
  EXPECT_EQ(list.Count(), 7);
  ASSERT_EQ(list.Insert(9), 1);
  EXPECT_EQ(list.Count(), 10);
  EXPECT_EQ(list.Get(9), nullptr);

  ASSERT_EQ(list.SetText(3, "new"), 1);
  ExpectItems(list, {"", "0", "1", "new", "2", "3", "", "", "", ""});
}

TEST(StringListTest, ClearEmptiesTheList) {
  StringList list;
  for (int i = 0; i < 100; ++i) ASSERT_EQ(list.SetText(i, "text"), 1);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Get(0), nullptr);
  ASSERT_EQ(list.SetText(1, "again"), 1);
  ExpectItems(list, {"", "again"});
}

TEST(StringListTest, PointersStayValidWhileOtherItemsGrow) {
  StringList list(64);
  ASSERT_EQ(list.SetText(0, "first"), 1);
  const char* first = list.Get(0);
  std::string big(5000, 'B');
  for (int i = 1; i < 3000; ++i) {
    const std::string value = i % 500 == 0 ? big : std::to_string(i);
    ASSERT_EQ(list.Add(value.data(), static_cast<int>(value.size())), 1);
  }
  EXPECT_EQ(list.Get(0), first);
  EXPECT_STREQ(first, "first");
  EXPECT_EQ(Item(list, 500), big);
  EXPECT_EQ(Item(list, 2999), "2999");
}

TEST(StringListTest, BlockSizeBelowOneFallsBackToTheDefault) {
  for (int blockSize : {0, -5}) {
    StringList list(blockSize);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(list.SetText(i, "value"), 1);
    EXPECT_STREQ(list.GetText(49), "value");
  }
}

// Random sets, moves and inserts over small blocks, checked against a plain vector: items
// never bleed into one another and blocks that empty out are released only when no item
// lives in them (the sanitizer build would catch a read of released memory).
TEST(StringListTest, ManyItemsAcrossBlocksMatchAModel) {
  for (int blockSize : {16, 100, 2048}) {
    SCOPED_TRACE(blockSize);
    StringList list(blockSize);
    std::vector<std::string> model;
    std::mt19937 random(static_cast<unsigned>(blockSize));
    for (int step = 0; step < 6000; ++step) {
      const unsigned kind = random() % 10;
      const int index = model.empty() ? 0 : static_cast<int>(random() % (model.size() + 3));
      if (kind == 0) {
        ASSERT_EQ(list.Insert(index), 1);
        if (index < static_cast<int>(model.size())) {
          model.insert(model.begin() + index, std::string());
        } else {
          model.resize(static_cast<std::size_t>(index) + 1);
        }
        continue;
      }
      const std::size_t length = kind == 1 ? random() % 3000 : random() % 40;
      std::string value(length, '\0');
      for (char& c : value) c = static_cast<char>(random() % 256);
      ASSERT_EQ(list.Set(index, value.data(), static_cast<int>(value.size())), 1);
      if (index >= static_cast<int>(model.size()))
        model.resize(static_cast<std::size_t>(index) + 1);
      model[static_cast<std::size_t>(index)] = value;
      if (step % 500 == 0) ExpectItems(list, model);
    }
    ExpectItems(list, model);
  }
}

// ---------------------------------------------------------------------------
// Files

TEST(StringListTest, LoadFromFileLineRules) {
  TempDir dir;
  struct Case {
    std::string bytes;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {"a\r\nb\nc", {"a", "bc"}},
      {"", {}},
      {"abc", {"abc"}},
      {"abc\r", {"abc"}},
      {"abc\r\n", {"abc"}},
      {"\r\r\n\r", {"", "", ""}},
      {"\n\n", {}},
      {"x\n\ry", {"x", "y"}},
      // No mark is looked for: the bytes are taken as they stand.
      {"\xEF\xBB\xBF"
       "a\r\n\xFF\xFE",
       {"\xEF\xBB\xBF"
        "a",
        "\xFF\xFE"}},
      {"\x95\x5C\t1\r\n\x83\x5C\tz\0z\r\n"s, {"\x95\x5C\t1", "\x83\x5C\tz\0z"s}},
      // A line is cut every 1024 bytes; a line of exactly 1024 bytes is followed by an empty
      // one when its CR comes.
      {std::string(2500, 'x'),
       {std::string(1024, 'x'), std::string(1024, 'x'), std::string(452, 'x')}},
      {std::string(1024, 'y') + "\r\nz", {std::string(1024, 'y'), "", "z"}},
      {std::string(1023, 'y') + "\r\nz", {std::string(1023, 'y'), "z"}},
      // The LF dropped where the reads of the file meet.
      {std::string(1023, 'q') + "\r\n" + std::string(1022, 'r') + "\n\r",
       {std::string(1023, 'q'), std::string(1022, 'r')}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bytes.size() << " bytes");
    StringList list;
    EXPECT_EQ(list.LoadFromFile(dir.Write("in.txt", c.bytes)), static_cast<int>(c.items.size()));
    ExpectItems(list, c.items);
  }
}

TEST(StringListTest, LoadFromFileReplacesTheContents) {
  TempDir dir;
  StringList list;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(list.SetText(i, "old"), 1);
  EXPECT_EQ(list.LoadFromFile(dir.Write("in.txt", "new\r\n")), 1);
  ExpectItems(list, {"new"});
  for (int i = 0; i < 5; ++i) ASSERT_EQ(list.SetText(i, "old"), 1);
  EXPECT_EQ(list.LoadFromFile(dir.File("missing.txt")), -1);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.LoadFromFile(dir.Path()), -1);
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringListTest, SaveToFileWritesEveryItemWithCrLf) {
  TempDir dir;
  StringList list;
  ASSERT_EQ(list.SetText(0, "a"), 1);
  ASSERT_EQ(list.Set(1, "", 0), 1);
  ASSERT_EQ(list.Set(2, "b\0c", 3), 1);
  ASSERT_EQ(list.Insert(4), 1);  // items 3 and 4 never set
  const std::string path = dir.Write("out.txt", "previous contents that are longer");
  EXPECT_EQ(list.SaveToFile(path), 5);
  EXPECT_EQ(test::ReadFileBytes(path), "a\r\n\r\nb\0c\r\n\r\n\r\n"s);

  StringList empty;
  EXPECT_EQ(empty.SaveToFile(path), 0);
  EXPECT_EQ(test::ReadFileBytes(path), "");

  EXPECT_EQ(list.SaveToFile(dir.File("no/such/folder.txt")), -1);
  EXPECT_EQ(list.SaveToFile(dir.Path()), -1);
}

class FailingWrites : public FileSystem {
 public:
  ssize_t Write(int, const void*, std::size_t) override { return -1; }
};

TEST(StringListTest, SaveToFileReportsAFailedWrite) {
  TempDir dir;
  StringList list;
  ASSERT_EQ(list.SetText(0, "a"), 1);
  FailingWrites failing;
  FileSystem* previous = SetFileSystem(&failing);
  int result = list.SaveToFile(dir.File("out.txt"));
  SetFileSystem(previous);
  EXPECT_EQ(result, -3);
}

// Reads deliver `budget` bytes in all, then fail.
class FailingReads : public FileSystem {
 public:
  explicit FailingReads(std::size_t budget) : budget_(budget) {}
  ssize_t Read(int fd, void* buffer, std::size_t count) override {
    if (budget_ == 0) return -1;
    ssize_t n = FileSystem::Read(fd, buffer, std::min(count, budget_));
    if (n > 0) budget_ -= static_cast<std::size_t>(n);
    return n;
  }

 private:
  std::size_t budget_;
};

TEST(StringListTest, LoadFromFileReportsAFailedRead) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\r\n";
  const std::string path = dir.Write("in.txt", text);
  for (std::size_t budget : {std::size_t{0}, std::size_t{5000}, std::size_t{65536}}) {
    SCOPED_TRACE(budget);
    FailingReads failing(budget);
    FileSystem* previous = SetFileSystem(&failing);
    StringList list;
    int result = list.LoadFromFile(path);
    SetFileSystem(previous);
    // Not a short file: a failure, and no half list.
    EXPECT_EQ(result, -3);
    EXPECT_EQ(list.Count(), 0);
  }
}

TEST(StringListTest, SaveAndLoadRoundTrip) {
  TempDir dir;
  std::mt19937 random(7);
  StringList list;
  std::vector<std::string> items;
  for (int i = 0; i < 3000; ++i) {
    std::string value(random() % 1024, '\0');  // below 1024 bytes
    for (char& c : value) {
      do c = static_cast<char>(random() % 256);
      while (c == '\r' || c == '\n');
    }
    ASSERT_EQ(list.Add(value.data(), static_cast<int>(value.size())), 1);
    // A file is read as Shift-JIS text: a code that CP932 holds twice comes back in its own
    // form. Each line begins a character, since a CR is no lead byte.
    UnifyDuplicateCodes(value.data(), value.size());
    items.push_back(value);
  }
  const std::string path = dir.File("list.txt");
  ASSERT_EQ(list.SaveToFile(path), 3000);
  StringList loaded;
  ASSERT_EQ(loaded.LoadFromFile(path), 3000);
  ExpectItems(loaded, items);
}

}  // namespace
}  // namespace korvel
