// Cells longer than a value can be: the readers keep the start of such a cell (enough to see
// that it is too long to store) and pass over the rest, so that a line of any length, an
// endless one included, is read in bounded memory, and the reading goes on correctly after it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "compare/CompareSession.h"
#include "io/DelimitedReader.h"
#include "io/FixedWidthReader.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

namespace korvel {
namespace {

using test::Cat;
using test::S;
using test::TempDir;
using Records = std::vector<std::vector<std::string>>;

// The reader must keep enough of a value for the comparison to see that it is too long.
static_assert(CompareSession::kMaxCellBytes <= DelimitedReader::kKeptCellBytes);

std::string Xs(std::size_t n, char c = 'x') { return std::string(n, c); }

struct Rules {
  char delimiter = ',';
  int tabOldType = 0;
};

Records ReadAll(const std::string& path, Rules rules) {
  DelimitedReader csv;
  csv.SetDelimiter(rules.delimiter);
  csv.SetTabOldType(rules.tabOldType);
  Records records;
  if (csv.Open(path, 0, kEncodingSjis, 1) != 0) return {{"open failed"}};
  for (int n; (n = csv.ReadRecord()) != 0;) {
    if (n < 0) return {{Cat("#", std::to_string(n))}};
    std::vector<std::string> fields;
    for (int i = 0; i < n; ++i) fields.emplace_back(csv.FieldView(i));
    records.push_back(fields);
  }
  return records;
}

TEST(LongCellsTest, AValueOver500BytesKeepsItsStartAndTheReadingGoesOn) {
  TempDir dir;
  RecordingNotifier notes;
  ScopedNotifier scoped(&notes);
  const Rules csv;
  const Rules tab{'\t', 0};
  const Rules pipe{'|', 0};
  const std::string hyo = S("表");    // 0x95 0x5C
  const std::string po = "\x83\x7C";  // a katakana whose second byte is '|'
  const std::string q = "\"";
  struct Case {
    const char* what;
    Rules rules;
    std::string input;
    Records expected;
  };
  const Case cases[] = {
      // The limit: 500 and 501 bytes are kept whole, from 502 on the value is cut at 501.
      {"500 bytes", csv, Cat(Xs(500), ",y\r\n"), {{Xs(500), "y"}}},
      {"501 bytes", csv, Cat(Xs(501), ",y\r\n"), {{Xs(501), "y"}}},
      {"502 bytes", csv, Cat(Xs(502), ",y\r\n"), {{Xs(501), "y"}}},
      // Long runs cross the 1024-byte pieces the file is read in.
      {"5000 bytes, then more records", csv, Cat(Xs(5000), ",y\r\nz\r\n"), {{Xs(501), "y"}, {"z"}}},
      // A double-byte character that passes the limit is kept whole.
      {"character on 499-500",
       csv,
       Cat(Xs(499), hyo, Xs(3000), ",y\r\n"),
       {{Cat(Xs(499), hyo), "y"}}},
      {"character on 500-501",
       csv,
       Cat(Xs(500), hyo, Xs(3000), ",y\r\n"),
       {{Cat(Xs(500), hyo), "y"}}},
      {"trail byte that is the delimiter",
       pipe,
       Cat(Xs(499), po, Xs(3000), "|y\r\n"),
       {{Cat(Xs(499), po), "y"}}},
      // The store rule's cut comes first where it is earlier.
      {"control byte at 300", csv, Cat(Xs(300), "\x01", Xs(3000), ",y\r\n"), {{Xs(300), "y"}}},
      {"control byte at 500", csv, Cat(Xs(500), "\x01", Xs(3000), ",y\r\n"), {{Xs(500), "y"}}},
      {"control byte at 501", csv, Cat(Xs(501), "\x01", Xs(3000), ",y\r\n"), {{Xs(501), "y"}}},
      {"NULs only", csv, Cat(std::string(3000, '\0'), ",y\r\n"), {{"", "y"}}},
      // Quoted: a doubled quote, a delimiter and a line break after the cut still count as
      // the cell's, and the cell still ends at its closing quote.
      {"quoted, CSV rules",
       csv,
       Cat(q, Xs(3000), "\"\",in\r\nside", q, ",next\r\nz\r\n"),
       {{Xs(501), "next"}, {"z"}}},
      // The TAB rules: unquoted cells are cut alike.
      {"TAB rules, unquoted", tab, Cat(Xs(3000), "\ty\r\nz\r\n"), {{Xs(501), "y"}, {"z"}}},
      // A one-line quoted cell keeps its quotes in the value.
      {"TAB rules, quoted", tab, Cat(q, Xs(3000), q, "\ty\r\n"), {{Cat(q, Xs(500)), "y"}}},
      // A quoted cell that goes on unquoted after a lone quote.
      {"TAB rules, quote then more",
       tab,
       Cat(q, Xs(3000), "\"abc\ty\r\n"),
       {{Cat(q, Xs(500)), "y"}}},
      // A multi-line quoted cell is kept whole until it is known to be well formed.
      {"TAB rules, multi-line cell",
       tab,
       Cat(q, Xs(600), "\r\n", Xs(600, 'w'), "\"\ty\r\n"),
       {{Xs(501), "y"}}},
      // A broken one falls back and its later lines are read again, every byte of them.
      {"TAB rules, fallback",
       tab,
       Cat(q, Xs(10), "\r\n", Xs(3000, 'w'), "\tq\r\n"),
       {{Cat(q, Xs(10))}, {Xs(501, 'w'), "q"}}},
      {"TAB rules, fallback with a long first line",
       tab,
       Cat(q, Xs(3000), "\r\nb\r\n"),
       {{Cat(q, Xs(500))}, {"b"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadAll(dir.Write("in.txt", c.input), c.rules), c.expected) << c.what;
  }
  EXPECT_TRUE(notes.Entries().empty());
}

// ---------------------------------------------------------------------------
// One cell of 200 MB; 48 MB under the sanitizers, where the line is read several times more
// slowly and the sanitizer's allocator adds a few megabytes of its own to any peak, so that
// the bound there is a quarter of the line: still far below what keeping the cell would take.
constexpr std::size_t kLineBytes = test::kSanitized ? 48u << 20 : 200u << 20;
constexpr std::size_t kPeakBound = kLineBytes / (test::kSanitized ? 4 : 20);

// Writes `head`, `fill` repeated to kLineBytes bytes, then `tail`. NULs are left as a hole
// of the file, which reads as NULs without taking the disk.
std::string WriteLongLine(const TempDir& dir, const char* name, const std::string& head, char fill,
                          const std::string& tail) {
  const std::string path = dir.File(name);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return path;
  std::fwrite(head.data(), 1, head.size(), f);
  if (fill == '\0') {
    std::fseek(f, static_cast<long>(kLineBytes), SEEK_CUR);
  } else {
    const std::string block(1 << 20, fill);
    for (std::size_t done = 0; done < kLineBytes; done += block.size()) {
      std::fwrite(block.data(), 1, block.size(), f);
    }
  }
  std::fwrite(tail.data(), 1, tail.size(), f);
  std::fclose(f);
  return path;
}

struct Measured {
  std::string records;  // one line per record, fields joined by '|'
  long peakGrowthKb = -1;
};

// Runs `read` in a child process (so that the peak memory measured is its own) and returns
// what it read and how much its peak resident size grew while it read.
template <typename ReadFn>
Measured MeasureInChild(ReadFn read) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t child = ::fork();
  if (child < 0) return {};
  if (child == 0) {
    ::close(fds[0]);
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    Records records = read();
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    std::string out = std::to_string(after.ru_maxrss - before.ru_maxrss) + "\n";
    for (const auto& record : records) {
      for (std::size_t i = 0; i < record.size(); ++i) out.append(i ? "|" : "").append(record[i]);
      out += "\n";
    }
    const char* p = out.data();
    std::size_t left = out.size();
    while (left > 0) {
      const ssize_t n = ::write(fds[1], p, left);
      if (n <= 0) ::_exit(3);
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  Measured m;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return m;
  const std::size_t firstLine = text.find('\n');
  m.peakGrowthKb = std::stol(text.substr(0, firstLine));
  m.records = text.substr(firstLine + 1);
  return m;
}

TEST(LongCellsTest, ALineOf200MegabytesInOneCellIsReadInBoundedMemory) {
  TempDir dir;
  const std::string plain = WriteLongLine(dir, "plain.csv", "", 'x', ",y\r\nz\r\n");
  const std::string quoted = WriteLongLine(dir, "quoted.csv", "\"", 'x', "\",y\r\nz\r\n");
  const std::string zeros = WriteLongLine(dir, "zeros.csv", "", '\0', ",y\r\nz\r\n");
  auto delimited = [](const std::string& path, Rules rules) {
    return [path, rules] { return ReadAll(path, rules); };
  };
  auto fixed = [](const std::string& path) {
    return [path] {
      FixedWidthReader fix;
      Records records;
      if (!fix.AddDefinition("A", 500).IsOk() || !fix.AddDefinition("B", 1).IsOk() ||
          fix.Open(path, 0, kEncodingSjis, 1) != 0) {
        return Records{{"open failed"}};
      }
      for (int n; (n = fix.ReadRecord()) > 0;) {
        std::vector<std::string> fields;
        for (int i = 0; i < n; ++i) fields.emplace_back(fix.FieldView(i));
        records.push_back(fields);
      }
      return records;
    };
  };
  const std::string kept = Xs(501);
  struct Case {
    const char* what;
    std::function<Records()> read;
    std::string expected;
  };
  const Case cases[] = {
      {"CSV rules, plain cell", delimited(plain, {}), kept + "|y\nz\n"},
      {"CSV rules, quoted cell", delimited(quoted, {}), kept + "|y\nz\n"},
      {"CSV rules, NUL bytes", delimited(zeros, {}), "|y\nz\n"},
      // A comma is data under the TAB rules: the cell runs on to the line break.
      {"TAB rules, plain cell", delimited(plain, {'\t', 0}), kept + "\nz\n"},
      {"TAB rules, NUL bytes", delimited(zeros, {'\t', 0}), "\nz\n"},
      {"fixed length", fixed(plain), Xs(500) + "|x\nz\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Measured m = MeasureInChild(c.read);
    ASSERT_GE(m.peakGrowthKb, 0) << "the reading child failed";
    EXPECT_EQ(m.records, c.expected);
    // Keeping the cell would take at least the line's size; a bounded reader needs a few
    // buffers. The bound is far above the one and far below the other.
    EXPECT_LT(static_cast<std::size_t>(m.peakGrowthKb) * 1024, kPeakBound)
        << m.peakGrowthKb << " KiB";
  }
}

}  // namespace
}  // namespace korvel
