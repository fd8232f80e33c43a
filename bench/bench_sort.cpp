// Times the record sort alone on a generated table, with one unique key and with six keys
// whose first has few distinct values.
//
//   bench_sort [records] [repeats] [case: 1, 2 or 3; all when left out]
//
// Columns: a category of 8 values, an id unique per record ("ID%08d", shuffled), a
// branch of 50 values, an amount read as a number, a date and a free text. Each case is
// sorted `repeats` times (the fastest counts); the table is built once.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "compare/RowTable.h"
#include "compare/SortedSelection.h"

namespace {

// Processor time rather than wall time: the sort runs on one thread, and the machine the
// figures come from is shared.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

bool Build(korvel::RowTable& table, int records) {
  korvel::ColumnDefs def;
  const char* names[] = {"KUBUN", "CAT", "ID", "BRANCH", "AMOUNT", "DAY", "NOTE"};
  for (const char* name : names) {
    if (def.Add(name, 40) != 0) return false;
  }
  if (table.SetDefinition(def) != 0) return false;
  std::mt19937 rng(7);
  std::vector<int> ids(static_cast<std::size_t>(records));
  std::iota(ids.begin(), ids.end(), 0);
  std::shuffle(ids.begin(), ids.end(), rng);
  static const char* const kCategories[] = {"A", "B", "C", "D", "E", "F", "G", "H"};
  // The table views each cell until CommitRow copies the row: one buffer per cell.
  char cell[6][48];
  for (int id : ids) {
    table.NewRow();
    bool ok = table.SetCell(1, kCategories[rng() % 8]) == 0;
    std::snprintf(cell[2], sizeof cell[2], "ID%08d", id);
    ok = ok && table.SetCell(2, cell[2]) == 0;
    std::snprintf(cell[3], sizeof cell[3], "BR%02u", static_cast<unsigned>(rng() % 50));
    ok = ok && table.SetCell(3, cell[3]) == 0;
    std::snprintf(cell[4], sizeof cell[4], "%u", static_cast<unsigned>(rng() % 1000000));
    ok = ok && table.SetCell(4, cell[4]) == 0;
    std::snprintf(cell[5], sizeof cell[5], "2026-%02u-%02u", static_cast<unsigned>(rng() % 12 + 1),
                  static_cast<unsigned>(rng() % 28 + 1));
    ok = ok && table.SetCell(5, cell[5]) == 0;
    std::snprintf(cell[0], sizeof cell[0], "note %08x", static_cast<unsigned>(rng()));
    ok = ok && table.SetCell(6, cell[0]) == 0;
    if (!ok || table.CommitRow() != 0) return false;
  }
  return true;
}

double Best(korvel::RowTable& table, const char* keyList, int repeats) {
  double best = 1e30;
  for (int r = 0; r < repeats; ++r) {
    korvel::SortedSelection selection;
    selection.Attach(&table);
    selection.SetExactTieOrder(true);
    if (selection.SetSortKeys(keyList, 0) != 0) return -1;
    const double start = CpuSeconds();
    if (selection.Select() != 0) return -1;
    best = std::min(best, CpuSeconds() - start);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
  const int repeats = std::max(1, argc > 2 ? std::atoi(argv[2]) : 3);
  const int only = argc > 3 ? std::atoi(argv[3]) : 0;
  korvel::RowTable table;
  if (!Build(table, records)) {
    std::fprintf(stderr, "the table could not be built\n");
    return 1;
  }
  struct Case {
    const char* name;
    const char* keys;
  };
  const Case cases[] = {
      {"one unique key", "ID"},
      {"six keys, first of 8 values", "CAT,ID,BRANCH,AMOUNT NU,DAY,NOTE"},
      {"six keys, unique one third", "CAT,BRANCH,ID,AMOUNT NU,DAY,NOTE"},
  };
  std::printf("%d records, best of %d, processor time\n", records, repeats);
  double one = 0;
  int number = 0;
  for (const Case& c : cases) {
    if (++number != only && only != 0) continue;
    const double seconds = Best(table, c.keys, repeats);
    if (seconds < 0) {
      std::fprintf(stderr, "%s: the sort failed\n", c.name);
      return 1;
    }
    if (one == 0) one = seconds;
    std::printf("%-30s %.3f s  (%.2f x one key)\n", c.name, seconds, seconds / one);
  }
  return 0;
}
