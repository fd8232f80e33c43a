#include "compare/SortedSelection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "TestUtil.h"
#include "compare/Collation.h"
#include "core/compare/RowTableTestUtil.h"
namespace korvel {
namespace {

using test::AddRow;
using test::ColumnName;
using test::Define;
using test::S;

std::vector<int> SortedRows(RowTable& table, const std::string& keyList, bool exactTies = false) {
  SortedSelection rec;
  rec.Attach(&table);
  rec.SetExactTieOrder(exactTies);
  EXPECT_EQ(rec.SetSortKeys(keyList, 0), 0);
  EXPECT_EQ(rec.Select(), 0);
  return std::vector<int>(rec.Selection().begin(), rec.Selection().end());
}

TEST(SortedSelectionTest, SortKeyListParsing) {
  RowTable table;
  Define(table, 4);
  SortedSelection rec;
  rec.Attach(&table);

  EXPECT_EQ(rec.SetSortKeys("FD001,FD003 NU", 0), 0);
  ASSERT_EQ(rec.KeyCount(), 2);
  EXPECT_EQ(rec.GetKey(0).column, 1);
  EXPECT_FALSE(rec.GetKey(0).numeric);
  EXPECT_EQ(rec.GetKey(1).column, 3);
  EXPECT_TRUE(rec.GetKey(1).numeric);
  EXPECT_FALSE(rec.GetKey(1).descending);

  EXPECT_EQ(rec.SetSortKeys("  fd002 d , Fd004   nUpper junk,FD001 U", 0), 0);
  ASSERT_EQ(rec.KeyCount(), 3);
  EXPECT_EQ(rec.GetKey(0).column, 2);
  EXPECT_TRUE(rec.GetKey(0).descending);
  EXPECT_EQ(rec.GetKey(1).column, 4);
  EXPECT_TRUE(rec.GetKey(1).numeric);
  EXPECT_FALSE(rec.GetKey(1).descending);
  EXPECT_EQ(rec.GetKey(2).column, 1);

  // An unknown name stops the parsing; the keys before it stay.
  EXPECT_EQ(rec.SetSortKeys("FD002,FD009,FD001", 0), SortedSelection::kUnknownName);
  ASSERT_EQ(rec.KeyCount(), 1);
  EXPECT_EQ(rec.GetKey(0).column, 2);
  // A bad order word likewise.
  EXPECT_EQ(rec.SetSortKeys("FD001,FD002 X", 0), SortedSelection::kBadOrder);
  EXPECT_EQ(rec.KeyCount(), 1);
  EXPECT_EQ(rec.SetSortKeys("FD001 N", 0), SortedSelection::kBadOrder);
  EXPECT_EQ(rec.KeyCount(), 0);
  // The 区分 column is a column like any other; the empty text gives no keys.
  EXPECT_EQ(rec.SetSortKeys(S("区分"), 0), 0);
  EXPECT_EQ(rec.KeyCount(), 1);
  EXPECT_EQ(rec.SetSortKeys("", 0), 0);
  EXPECT_EQ(rec.KeyCount(), 0);
  // At most ten keys; further items are not even looked at.
  EXPECT_EQ(rec.SetSortKeys("FD001,FD002,FD003,FD004,FD001,FD002,FD003,FD004,FD001,FD002,"
                            "NOSUCH",
                            0),
            0);
  EXPECT_EQ(rec.KeyCount(), 10);
}

TEST(SortedSelectionTest, CursorWalkAndEmptyTable) {
  RowTable table;
  Define(table, 1);
  SortedSelection rec;
  rec.Attach(&table);
  EXPECT_EQ(rec.Select(), SortedSelection::kNoRows);
  EXPECT_EQ(rec.IsEof(), 1);
  EXPECT_EQ(rec.CurrentRow(), -1);
  EXPECT_EQ(rec.First(), -1);
  EXPECT_EQ(rec.FieldView(1).data(), nullptr);

  AddRow(table, {"x"});
  AddRow(table, {"y"});
  EXPECT_FALSE(table.IsMarked(0));
  ASSERT_EQ(rec.Select(), 0);
  EXPECT_TRUE(table.IsMarked(0));
  EXPECT_TRUE(table.IsMarked(1));
  EXPECT_EQ(rec.IsEof(), 0);
  EXPECT_EQ(rec.FieldView(1), "x");
  EXPECT_EQ(rec.FieldView(2).data(), nullptr);
  EXPECT_EQ(rec.Next(), 0);
  EXPECT_EQ(rec.FieldView(1), "y");
  EXPECT_EQ(rec.Next(), 1);
  EXPECT_EQ(rec.IsEof(), 1);
  EXPECT_EQ(rec.CurrentRow(), -1);
  EXPECT_EQ(rec.Next(), 2);
  EXPECT_EQ(rec.IsEof(), 1);
  EXPECT_EQ(rec.First(), 0);
  EXPECT_EQ(rec.CurrentRow(), 0);
}

TEST(SortedSelectionTest, SmallSortsAndEqualKeys) {
  RowTable table;
  Define(table, 2);
  AddRow(table, {"b", "1"});
  AddRow(table, {"a", "2"});
  AddRow(table, {"b", "3"});
  AddRow(table, {"B", "4"});
  // Without keys: table order.
  EXPECT_EQ(SortedRows(table, ""), (std::vector<int>{0, 1, 2, 3}));
  // Equal keys (letter case ignored) end in the reverse of their table order.
  EXPECT_EQ(SortedRows(table, "FD001"), (std::vector<int>{1, 3, 2, 0}));
  // With the exact tie order, "B" comes before "b"; the two "b" stay reversed.
  EXPECT_EQ(SortedRows(table, "FD001", true), (std::vector<int>{1, 3, 2, 0}));
  EXPECT_EQ(SortedRows(table, "FD001 D"), (std::vector<int>{3, 2, 0, 1}));
  EXPECT_EQ(SortedRows(table, "FD001,FD002 NU"), (std::vector<int>{1, 0, 2, 3}));
  EXPECT_EQ(SortedRows(table, "FD001,FD002 ND"), (std::vector<int>{1, 3, 2, 0}));

  RowTable cases;
  Define(cases, 1);
  AddRow(cases, {"a"});
  AddRow(cases, {"A"});
  AddRow(cases, {"a"});
  EXPECT_EQ(SortedRows(cases, "FD001"), (std::vector<int>{2, 1, 0}));
  EXPECT_EQ(SortedRows(cases, "FD001", true), (std::vector<int>{1, 2, 0}));
}

TEST(SortedSelectionTest, NumericKeysIncludingWrapAround) {
  RowTable table;
  Define(table, 1);
  for (const char* t : {"10", "9", "-3", "abc"}) AddRow(table, {t});
  EXPECT_EQ(SortedRows(table, "FD001 NU"), (std::vector<int>{2, 3, 1, 0}));
  // As text the same cells sort by bytes.
  EXPECT_EQ(SortedRows(table, "FD001"), (std::vector<int>{2, 0, 1, 3}));

  RowTable wrap;
  Define(wrap, 1);
  // 2147483648 wraps to the smallest value, 4294967295 to -1, 4294967297 to 1.
  for (const char* t : {"2147483647", "2147483648", "4294967295", "4294967297", "0", " -1"}) {
    AddRow(wrap, {t});
  }
  EXPECT_EQ(SortedRows(wrap, "FD001 NU"), (std::vector<int>{1, 5, 2, 4, 3, 0}));
}

// The documented sort, coded literally: the bounded quicksort, then the insertion pass
// that moves each row down past every preceding row that does not compare below it.
class LiteralSort {
 public:
  LiteralSort(const RowTable& table, std::vector<SortedSelection::Key> keys)
      : table_(table), keys_(keys) {}

  int Compare(int ra, int rb) const {
    for (const SortedSelection::Key& key : keys_) {
      std::string_view a = Cell(key.column, ra);
      std::string_view b = Cell(key.column, rb);
      int c;
      if (key.numeric) {
        std::int32_t x = KeyNumber(a);
        std::int32_t y = KeyNumber(b);
        c = x < y ? -1 : (x > y ? 1 : 0);
      } else {
        c = SortCompare(a, b);
      }
      if (key.descending) c = -c;
      if (c != 0) return c;
    }
    return 0;
  }

  void PhaseOne(std::vector<int>& a) const {
    if (a.empty()) return;
    std::vector<std::pair<int, int>> stack;
    int lo = 0;
    int hi = static_cast<int>(a.size()) - 1;
    for (;;) {
      if (hi - lo <= 10) {
        if (stack.empty()) return;
        lo = stack.back().first;
        hi = stack.back().second;
        stack.pop_back();
      }
      int pivot = a[static_cast<std::size_t>((lo + hi) / 2)];
      int i = lo;
      int j = hi;
      for (;;) {
        while (Compare(a[static_cast<std::size_t>(i)], pivot) < 0) ++i;
        while (Compare(a[static_cast<std::size_t>(j)], pivot) > 0) --j;
        if (i >= j) break;
        std::swap(a[static_cast<std::size_t>(i)], a[static_cast<std::size_t>(j)]);
        ++i;
        --j;
      }
      if (i - lo > hi - j) {
        if (i - lo > 10) {
          stack.emplace_back(lo, i - 1);
          if (stack.size() == 32) return;
        }
        lo = j + 1;
      } else {
        if (hi - j > 10) {
          stack.emplace_back(j + 1, hi);
          if (stack.size() == 32) return;
        }
        hi = i - 1;
      }
    }
  }

  void InsertionPass(std::vector<int>& a) const {
    for (std::size_t p = 1; p < a.size(); ++p) {
      for (std::size_t q = p; q > 0 && !(Compare(a[q - 1], a[q]) < 0); --q) {
        std::swap(a[q - 1], a[q]);
      }
    }
  }

  std::vector<int> Sort(int rows, bool withPhaseOne = true) const {
    std::vector<int> a(static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r) a[static_cast<std::size_t>(r)] = r;
    if (keys_.empty()) return a;
    if (withPhaseOne) PhaseOne(a);
    InsertionPass(a);
    return a;
  }

 private:
  std::string_view Cell(int col, int row) const {
    std::string_view v = table_.CellView(col, row);
    return v.data() == nullptr ? std::string_view() : v;
  }

  const RowTable& table_;
  std::vector<SortedSelection::Key> keys_;
};

std::vector<SortedSelection::Key> KeysOf(RowTable& table, const std::string& keyList) {
  SortedSelection rec;
  rec.Attach(&table);
  EXPECT_EQ(rec.SetSortKeys(keyList, 0), 0);
  std::vector<SortedSelection::Key> keys;
  for (int i = 0; i < rec.KeyCount(); ++i) keys.push_back(rec.GetKey(i));
  return keys;
}

TEST(SortedSelectionTest, LongRunsOfEqualKeysFollowTheQuicksortPhase) {
  // Runs of equal keys far longer than 11 rows: their order depends on what the quicksort
  // phase did, so the result must match the literal sort, not a plain stable reversal.
  RowTable table;
  Define(table, 2);
  std::mt19937 rng(11);
  for (int r = 0; r < 300; ++r) {
    AddRow(table, {std::string(1, static_cast<char>("aAbBc"[rng() % 5])), std::to_string(r)});
  }
  LiteralSort literal(table, KeysOf(table, "FD001"));
  std::vector<int> expected = literal.Sort(table.RowCount());
  EXPECT_EQ(SortedRows(table, "FD001"), expected);
  EXPECT_NE(literal.Sort(table.RowCount(), false), expected)
      << "the input does not exercise the quicksort phase";
}

TEST(SortedSelectionTest, SortMatchesTheLiteralSortOnRandomInputs) {
  std::mt19937 rng(2024);
  const char* keyLists[] = {"FD001", "FD002 NU", "FD001 D,FD002 NU", "FD002 ND,FD003",
                            "FD003,FD001,FD002 NU"};
  for (int round = 0; round < 120; ++round) {
    RowTable table;
    Define(table, 3);
    int rows = static_cast<int>(rng() % 400);
    int spread = 1 + static_cast<int>(rng() % 30);  // few distinct values: long equal runs
    for (int r = 0; r < rows; ++r) {
      std::string text;
      int len = static_cast<int>(rng() % 12);
      for (int i = 0; i < len; ++i) text += "aAbB\x82\x60zZ09 "[rng() % 11];
      if (rng() % 3 == 0) text = std::string(static_cast<std::size_t>(rng() % 3), 'q');
      std::string number =
          std::to_string(static_cast<int>(rng() % static_cast<unsigned>(spread)) - spread / 2);
      std::string third(1, static_cast<char>('a' + rng() % static_cast<unsigned>(spread % 5 + 1)));
      AddRow(table, {text, number, third});
    }
    for (const char* keyList : keyLists) {
      LiteralSort literal(table, KeysOf(table, keyList));
      ASSERT_EQ(SortedRows(table, keyList), literal.Sort(table.RowCount()))
          << "round " << round << " keyList " << keyList << " rows " << rows;
    }
  }
}

// `rows` rows of a text key drawn from `spread` values, every third in capitals (letter
// case ties under the case-blind order), and a number with few values.
void AddSpreadRows(RowTable& table, int rows, int spread, std::mt19937& rng) {
  Define(table, 2);
  for (int r = 0; r < rows; ++r) {
    const auto value = static_cast<int>(rng() % static_cast<unsigned>(spread));
    std::string text = "k";
    text += std::to_string(value);
    if (r % 3 == 0) text[0] = 'K';
    AddRow(table, {text, std::to_string(value % 7)});
  }
}

// Few distinct values only in smaller tables: the literal sort's insertion pass is
// quadratic in the length of a run of equal keys.
constexpr std::pair<int, int> kLargeTables[] = {
    {700, 2}, {3000, 40}, {5000, 1000}, {20000, 5000}, {30000, 1 << 30}};

// Partitions of thousands of items are scanned a block at a time; what the blocks leave
// over, at every density of equal keys, must meet the plain scans' order exactly.
TEST(SortedSelectionTest, LargeTablesSortLikeTheLiteralSort) {
  std::mt19937 rng(77);
  for (const auto& [rows, spread] : kLargeTables) {
    RowTable table;
    AddSpreadRows(table, rows, spread, rng);
    for (const char* keyList : {"FD001", "FD002 NU,FD001 D"}) {
      LiteralSort literal(table, KeysOf(table, keyList));
      ASSERT_EQ(SortedRows(table, keyList), literal.Sort(table.RowCount()))
          << rows << " rows, " << spread << " values, keys " << keyList;
    }
  }
}

// With a second thread serving, parts of the sort go to it, and those it sorts hand parts
// back; the order must still be the one thread's, to the row.
TEST(SortedSelectionTest, ASortSharedWithAnotherThreadKeepsTheOrder) {
  std::mt19937 rng(91);
  int handedOut = 0;
  for (const auto& [rows, spread] : kLargeTables) {
    RowTable table;
    AddSpreadRows(table, rows, spread, rng);
    for (const char* keyList : {"FD001", "FD002 NU,FD001 D"}) {
      SortSharing sharing;
      std::thread helper([&sharing] { sharing.Serve(); });
      // A helper already waiting takes the first part offered, however busy the machine.
      while (sharing.Waiting() == 0) std::this_thread::yield();
      SortedSelection rec;
      rec.Attach(&table);
      rec.SetSharing(&sharing);
      ASSERT_EQ(rec.SetSortKeys(keyList, 0), 0);
      const int selected = rec.Select();
      sharing.Close();
      helper.join();
      ASSERT_EQ(selected, 0);
      handedOut += sharing.HandedOut();
      LiteralSort literal(table, KeysOf(table, keyList));
      ASSERT_EQ(std::vector<int>(rec.Selection().begin(), rec.Selection().end()),
                literal.Sort(table.RowCount()))
          << rows << " rows, " << spread << " values, keys " << keyList;
    }
  }
  EXPECT_GE(handedOut, 10);
  // A helper that comes after the sort, or none at all, changes nothing either.
  SortSharing closed;
  closed.Close();
  closed.Serve();
  EXPECT_EQ(closed.HandedOut(), 0);
}

TEST(SortedSelectionTest, LongCommonPrefixesSortLikeTheLiteralSort) {
  // Keys around 16 bytes that share their beginning, with letter case and double-byte
  // characters near and past the sixteenth byte.
  RowTable table;
  Define(table, 1);
  std::mt19937 rng(5);
  for (int r = 0; r < 500; ++r) {
    std::string key = "ID000000000000";
    int tail = static_cast<int>(rng() % 4);
    for (int i = 0; i < tail; ++i) key += "aAbBc\x82\x41\x82\x61"[rng() % 9];
    if (rng() % 7 == 0) key = key.substr(0, rng() % 17);
    AddRow(table, {key});
  }
  // Keys of 14 to 18 bytes over two letters (one in both cases), so that many keys agree
  // up to the fifteenth or sixteenth byte and differ after it.
  for (int r = 0; r < 500; ++r) {
    std::string key(12, '0');
    int length = 2 + static_cast<int>(rng() % 5);
    for (int i = 0; i < length; ++i) key += "0aA"[rng() % 3];
    AddRow(table, {key});
  }
  LiteralSort literal(table, KeysOf(table, "FD001"));
  EXPECT_EQ(SortedRows(table, "FD001"), literal.Sort(table.RowCount()));
}

// The literal sort, then each run of rows it finds equal ordered by the bytes of the text
// keys, key by key (a stable sort, so rows with identical keys keep their places).
std::vector<int> LiteralExactSort(const RowTable& table,
                                  const std::vector<SortedSelection::Key>& keys) {
  LiteralSort literal(table, keys);
  std::vector<int> a = literal.Sort(table.RowCount());
  auto bytesLess = [&](int x, int y) {
    for (const SortedSelection::Key& key : keys) {
      if (key.numeric) continue;
      std::string_view p = table.CellView(key.column, x);
      std::string_view q = table.CellView(key.column, y);
      if (p.data() == nullptr) p = {};
      if (q.data() == nullptr) q = {};
      if (p != q) return p < q;
    }
    return false;
  };
  std::size_t start = 0;
  for (std::size_t p = 1; p <= a.size(); ++p) {
    if (p < a.size() && literal.Compare(a[p - 1], a[p]) == 0) continue;
    std::stable_sort(a.begin() + static_cast<std::ptrdiff_t>(start),
                     a.begin() + static_cast<std::ptrdiff_t>(p), bytesLess);
    start = p;
  }
  return a;
}

// A random cell for the many-key tests: mostly from a handful of values (letter case,
// double-byte characters, empty), sometimes long enough to run past a 16-byte prefix,
// sometimes a number with blanks or a sign.
std::string RandomKeyCell(std::mt19937& rng, int spread) {
  static const char* const kValues[] = {"a",        "A", "ab", "AB", "b",         "\x82\xa0",
                                        "\x82\x60", "",  "Z",  "z0", "\x83\x41z", "\x83\x41Z"};
  switch (rng() % 6) {
    case 0: {
      std::string text;
      int length = 10 + static_cast<int>(rng() % 12);
      for (int i = 0; i < length; ++i) text += "aAbB\x82\x60 09"[rng() % 9];
      return text;
    }
    case 1:
      return std::to_string(static_cast<int>(rng() % 7) - 3);
    case 2:
      return std::string(rng() % 2 == 0 ? " " : "") + (rng() % 2 == 0 ? "-" : "+") +
             std::to_string(rng() % 5);
    default:
      return kValues[rng() % static_cast<unsigned>(std::min(spread, 12))];
  }
}

TEST(SortedSelectionTest, ManyKeysSortLikeTheLiteralSort) {
  // Up to six keys whose first has few distinct values, so that later keys decide; text
  // and numeric keys in both directions over the same cells, empty and missing cells.
  std::mt19937 rng(77);
  const char* keyLists[] = {
      "FD001,FD002,FD003,FD004,FD005,FD006",
      "FD001,FD002 NU,FD003 D,FD004 ND,FD005,FD006 NU",
      "FD001 NU,FD002,FD003,FD004,FD005,FD006",
      "FD001 D,FD002 D,FD003 ND,FD004,FD005 D,FD006",
      "FD003 ND,FD001,FD006 D",
      "FD002,FD001",
  };
  for (int round = 0; round < 60; ++round) {
    RowTable table;
    Define(table, 6);
    int rows = static_cast<int>(rng() % 500);
    int spread = 1 + static_cast<int>(rng() % 12);
    for (int r = 0; r < rows; ++r) {
      std::vector<std::string> cells;
      int present = rng() % 8 == 0 ? static_cast<int>(rng() % 6) : 6;  // the rest missing
      cells.push_back(std::string(1, "aAb"[rng() % static_cast<unsigned>(spread % 3 + 1)]));
      for (int k = 1; k < present; ++k) cells.push_back(RandomKeyCell(rng, spread));
      AddRow(table, cells);
    }
    for (const char* keyList : keyLists) {
      std::vector<SortedSelection::Key> keys = KeysOf(table, keyList);
      LiteralSort literal(table, keys);
      ASSERT_EQ(SortedRows(table, keyList), literal.Sort(table.RowCount()))
          << "round " << round << " keyList " << keyList << " rows " << rows;
      ASSERT_EQ(SortedRows(table, keyList, true), LiteralExactSort(table, keys))
          << "exact ties, round " << round << " keyList " << keyList << " rows " << rows;
    }
  }
}

TEST(SortedSelectionTest, ZeroBytesInKeysSortLikeTheLiteralSort) {
  // A zero byte inside a key, where a shorter key would otherwise end.
  RowTable table;
  Define(table, 3);
  std::mt19937 rng(9);
  for (int r = 0; r < 400; ++r) {
    std::string first(static_cast<std::size_t>(rng() % 3), "a\0A"[rng() % 3]);
    std::string second;
    int length = static_cast<int>(rng() % 4);
    for (int i = 0; i < length; ++i) second += "\0bB\x01"[rng() % 4];
    AddRow(table, {first, second, std::to_string(rng() % 3)});
  }
  for (const char* keyList : {"FD001,FD002,FD003 NU", "FD001 D,FD002 D,FD003", "FD003 NU,FD002"}) {
    std::vector<SortedSelection::Key> keys = KeysOf(table, keyList);
    LiteralSort literal(table, keys);
    EXPECT_EQ(SortedRows(table, keyList), literal.Sort(table.RowCount())) << keyList;
    EXPECT_EQ(SortedRows(table, keyList, true), LiteralExactSort(table, keys)) << keyList;
  }
}

TEST(SortedSelectionTest, ExactTieOrderOnlyReordersCaseVariants) {
  RowTable table;
  Define(table, 2);
  std::mt19937 rng(3);
  for (int r = 0; r < 200; ++r) {
    AddRow(table, {std::string(1, "aAbB"[rng() % 4]), std::string(1, "xX"[rng() % 2])});
  }
  std::vector<int> plain = SortedRows(table, "FD001,FD002");
  std::vector<int> exact = SortedRows(table, "FD001,FD002", true);
  // The exact order is sorted by the sort order, then by the bytes of the keys; rows with
  // identical keys keep their relative order from the plain sort.
  auto keyOf = [&table](int r) {
    return std::string(table.CellView(1, r)) + "|" + std::string(table.CellView(2, r));
  };
  for (std::size_t i = 1; i < exact.size(); ++i) {
    std::string a = keyOf(exact[i - 1]);
    std::string b = keyOf(exact[i]);
    int c = SortCompare(a.substr(0, 1), b.substr(0, 1));
    if (c == 0) c = SortCompare(a.substr(2), b.substr(2));
    ASSERT_LE(c, 0);
    if (c == 0) {
      ASSERT_LE(a, b);
    }
  }
  for (std::string k : {"a|x", "A|X", "b|X"}) {
    std::vector<int> inPlain;
    std::vector<int> inExact;
    for (int r : plain) {
      if (keyOf(r) == k) inPlain.push_back(r);
    }
    for (int r : exact) {
      if (keyOf(r) == k) inExact.push_back(r);
    }
    EXPECT_EQ(inPlain, inExact) << k;
  }
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// The kept key images order any two rows as the key order does and, where it finds them
// equal, as their text keys' bytes do; or they leave the decision to the rows. Most pairs
// they decide themselves. A zero byte in a text key keeps no images.
TEST(SortedSelectionTest, KeptImagesOrderRowsLikeTheKeysAndTheirBytes) {
  std::mt19937 rng(31);
  const char* keyLists[] = {
      "FD001,FD002,FD003,FD004,FD005,FD006",
      "FD001,FD002 NU,FD003 D,FD004 ND,FD005,FD006 NU",
      "FD002,FD001",
      "FD004 NU",
  };
  int decided = 0;
  int undecided = 0;
  for (int round = 0; round < 20; ++round) {
    RowTable table;
    Define(table, 6);
    const int rows = 1 + static_cast<int>(rng() % 300);
    const int spread = 1 + static_cast<int>(rng() % 12);
    for (int r = 0; r < rows; ++r) {
      std::vector<std::string> cells;
      const int present = rng() % 8 == 0 ? static_cast<int>(rng() % 6) : 6;
      // Every other round the first field's texts all begin with the same 18 bytes.
      cells.push_back(std::string(round % 2 == 1 ? "Kanagawa-Yokohama-" : "") +
                      "aAb"[rng() % static_cast<unsigned>(spread % 3 + 1)]);
      for (int k = 1; k < present; ++k) cells.push_back(RandomKeyCell(rng, spread));
      AddRow(table, cells);
    }
    for (const char* keyList : keyLists) {
      SCOPED_TRACE(keyList);
      std::vector<SortedSelection::Key> keys = KeysOf(table, keyList);
      LiteralSort literal(table, keys);
      auto order = [&](int x, int y) {
        if (int c = literal.Compare(x, y); c != 0) return c < 0 ? -1 : 1;
        for (const SortedSelection::Key& key : keys) {
          if (key.numeric) continue;
          const int c = table.CellView(key.column, x).compare(table.CellView(key.column, y));
          if (c != 0) return c < 0 ? -1 : 1;
        }
        return 0;
      };
      SortedSelection rec;
      rec.Attach(&table);
      rec.SetExactTieOrder(true);
      rec.SetKeepImages(true);
      ASSERT_EQ(rec.SetSortKeys(keyList, 0), 0);
      ASSERT_EQ(rec.Select(), 0);
      const auto& images = rec.Images();
      ASSERT_EQ(images.size(), rec.Selection().size());
      // The bytes all first keys begin with are left out of the images, in steps of 8.
      const bool common = round % 2 == 1 && std::string(keyList).starts_with("FD001");
      EXPECT_EQ(rec.ImageStart(), common ? "Kanagawa-Yokoham" : "");
      for (std::size_t i = 0; i < images.size(); ++i) {
        ASSERT_EQ(images[i].Row, rec.Selection()[i]);
        for (int t = 0; t < 4; ++t) {
          const auto& other = images[rng() % images.size()];
          const int c = SortedSelection::ImageOrder(images[i], other);
          if (c == SortedSelection::kUndecided) {
            ++undecided;
            continue;
          }
          ++decided;
          ASSERT_EQ(c, order(images[i].Row, other.Row))
              << "rows " << images[i].Row << " " << other.Row;
        }
      }
      // Without the choice, nothing is kept.
      ASSERT_EQ(rec.SetSortKeys(keyList, 0), 0);
      rec.SetKeepImages(false);
      ASSERT_EQ(rec.Select(), 0);
      EXPECT_TRUE(rec.Images().empty());
    }
  }
  EXPECT_GT(decided, 20 * undecided);
  EXPECT_GT(undecided, 0);

  RowTable zero;
  Define(zero, 2);
  AddRow(zero, {"a", std::string("b\0c", 3)});
  AddRow(zero, {"a", "b"});
  SortedSelection rec;
  rec.Attach(&zero);
  rec.SetKeepImages(true);
  ASSERT_EQ(rec.SetSortKeys("FD001,FD002", 0), 0);
  ASSERT_EQ(rec.Select(), 0);
  EXPECT_TRUE(rec.Images().empty());
  EXPECT_EQ(rec.Selection(), (std::vector<std::int32_t>{1, 0}));
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// The pairing walk hands back what it has passed: the selection first, then the images
// before its position, which must leave every later image as it was.
TEST(SortedSelectionImages, DroppedSelectionAndForgottenImagesLeaveTheRestIntact) {
  RowTable table;
  Define(table, 1);
  constexpr int kRows = 20000;  // 640 KB of images: many whole pages
  for (int r = 0; r < kRows; ++r) AddRow(table, {std::to_string((r * 7919) % kRows)});
  SortedSelection rec;
  rec.Attach(&table);
  rec.SetKeepImages(true);
  ASSERT_EQ(rec.SetSortKeys("FD001", 0), 0);
  ASSERT_EQ(rec.Select(), 0);
  const std::vector<std::int32_t> order = rec.Selection();
  const std::vector<SortedSelection::KeyImage> kept = rec.Images();
  ASSERT_EQ(kept.size(), order.size());

  rec.DropSelectionForImages();
  EXPECT_TRUE(rec.Selection().empty());
  EXPECT_EQ(rec.CurrentRow(), -1);
  EXPECT_NE(rec.IsEof(), 0);

  auto same = [](const SortedSelection::KeyImage& x, const SortedSelection::KeyImage& y) {
    return std::memcmp(&x, &y, sizeof x) == 0;
  };
  const std::size_t half = kept.size() / 2 + 3;  // not on a page's edge
  rec.ForgetImagesBefore(half);
  const std::vector<SortedSelection::KeyImage>& images = rec.Images();
  ASSERT_EQ(images.size(), kept.size());
  for (std::size_t i = half; i < images.size(); ++i) {
    ASSERT_TRUE(same(images[i], kept[i])) << i;
    ASSERT_EQ(images[i].Row, order[i]) << i;
  }
  // Well inside the forgotten part the memory went back: it reads as zeros.
  const std::size_t inside = half / 2;
  ASSERT_NE(kept[inside].Row, 0);
  EXPECT_EQ(images[inside].Row, 0);
  EXPECT_EQ(images[inside].Info, 0u);
}

}  // namespace
}  // namespace korvel
