#include "compare/CompareSession.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <system_error>
#include <thread>
#include <type_traits>

#include "io/PathText.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

// printf-style formatting of one of the program's texts (UTF-8 in the source, CP932 out).
template <typename... Args>
std::string Format(std::string_view utf8Format, Args... args) {
  static_assert(((std::is_arithmetic_v<Args> || std::is_pointer_v<Args>)&&...),
                "printf arguments are numbers and C texts");
  const std::string format = Sjis(utf8Format);
  int n = std::snprintf(nullptr, 0, format.c_str(), args...);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format.c_str(), args...);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

Status NoMemory() { return Status::Warning(-1, Sjis("メモリが足りません。")); }

// A reader's failure as a failure of the run: the reader's messages, code -1.
Status ReaderFailure(const Status& reader) { return reader.Then(Status(-1)); }

Status Cancelled() { return Status(CompareSession::kCancelled); }

int ProgressInput(Side side) { return side == Side::kLeft ? Progress::kLeft : Progress::kRight; }

// How many rows or pairs a loop handles between two polls of the progress; records loaded
// are told (and the progress polled) more often, so that the counts shown move.
constexpr std::uint64_t kPollEvery = 64 * 1024;
constexpr std::uint64_t kRecordsPerReport = 1024;

int Sign(long long a, long long b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Below this many pairs the classification stays on one thread: starting another would
// cost more than it saves.
constexpr std::size_t kClassifyInTwoFrom = 256;

// How many rows ahead the key-order passes ask for the rows they will read.
constexpr std::size_t kReadAhead = 8;

// One side's rows in key order: its selection, or, once that is dropped to save memory,
// the rows its key images name.
class SortedRows {
 public:
  explicit SortedRows(const SortedSelection& rec)
      : order_(rec.Selection()), images_(rec.Images()) {}
  std::size_t Size() const { return order_.empty() ? images_.size() : order_.size(); }
  std::int32_t Row(std::size_t i) const { return order_.empty() ? images_[i].Row : order_[i]; }
  const std::vector<SortedSelection::KeyImage>& Images() const { return images_; }

 private:
  const std::vector<std::int32_t>& order_;
  const std::vector<SortedSelection::KeyImage>& images_;
};

void Prefetch(const RowTable& table, const SortedRows& rows, std::size_t at) {
  if (at + 2 * kReadAhead < rows.Size()) table.PrefetchPlace(rows.Row(at + 2 * kReadAhead));
  if (at + kReadAhead < rows.Size()) table.PrefetchRow(rows.Row(at + kReadAhead));
}

// Where the images decide, only the rows of images that do not hold the whole key may be
// read: with a long key list (six keys, say) that is most of them.
void PrefetchUndecided(const RowTable& table, const SortedRows& rows, std::size_t at) {
  const auto undecided = [&](std::size_t i) {
    return i < rows.Size() && (rows.Images()[i].Info & SortedSelection::kImageComplete) == 0;
  };
  if (undecided(at + 2 * kReadAhead)) table.PrefetchPlace(rows.Row(at + 2 * kReadAhead));
  if (undecided(at + kReadAhead)) table.PrefetchRow(rows.Row(at + kReadAhead));
}

}  // namespace

CompareSession::CompareSession() = default;
CompareSession::~CompareSession() = default;

void CompareSession::CopySetUp(const CompareSession& from) {
  settings_ = from.settings_;
  fixed_ = from.fixed_;
  fill_ = from.fill_;
  // A run that fails empties the result but keeps naming the files of the one shown before.
  resultPathL_ = from.resultPathL_;
  resultPathR_ = from.resultPathR_;
}

// ---------------------------------------------------------------------------
// Set-up chain

void CompareSession::StartSetUp() {
  ReleaseExtraction();
  fill_.MaxNameCount = 0;
}

DelimitedReading CompareSession::Reading(int fileKind) const {
  DelimitedReading reading;
  reading.FileKind = fileKind;
  reading.Delimiter = settings_.Delimiter;
  reading.Encoding = ReadingEncoding();
  reading.DetectBom = settings_.DetectBom;
  reading.TabOldType = settings_.TabOldType;
  reading.NewlineMode = settings_.NewlineMode;
  return reading;
}

Status CompareSession::FillFieldGrids(FieldGrid& grid, Prompter& prompter) {
  if (settings_.FileKind == kFileKindFixed) {
    Status result = FillFieldGridFixed(grid, FieldGrid::kNameA);
    if (!result.IsOk()) return result;
    return FillFieldGridFixed(grid, FieldGrid::kNameB);
  }
  fill_.FieldOverWarned = false;
  fill_.NamesA.clear();
  fill_.NamesB.clear();
  Status result = FillFieldGrid(grid, FieldGrid::kNameA, settings_.FileKind, settings_.TopRowNames,
                                settings_.PathL, prompter);
  if (!result.IsOk()) return result;
  result = FillFieldGrid(grid, FieldGrid::kNameB, settings_.FileKind, settings_.TopRowNames,
                         settings_.PathR, prompter);
  if (!result.IsOk() || !MatchesNames()) return result;
  PairGridByName(grid, fill_);
  // With no name in common every field shows on one side only and nothing is compared; the
  // comparison may still go on (records pair by position), but never as if it had found
  // the files equal without saying so.
  bool shared = false;
  for (int row = 1; row < grid.RowCount() && !shared; ++row) shared = !grid.IsOneSided(row);
  if (!shared)
    prompter.Tell({MessageKind::kWarning, Sjis("左右のファイルに同じ項目名がありません。")});
  return result;
}

std::vector<std::string> CompareSession::RowNames(const FieldGrid& grid) const {
  std::vector<std::string> names;
  if (settings_.FileKind != kFileKindFixed && !settings_.TopRowNames) return names;
  auto full = [&grid](const std::vector<std::string>& sideNames, int row, Side side) {
    const std::int32_t no = grid.FieldNo(row, side);
    if (no < 1 || no > static_cast<std::int32_t>(sideNames.size())) return std::string_view();
    return std::string_view(sideNames[static_cast<std::size_t>(no - 1)]);
  };
  for (int row = 1; row < grid.RowCount(); ++row) {
    if (settings_.FileKind == kFileKindFixed) {
      names.push_back(grid.RowName(row));
      continue;
    }
    std::string_view name = full(fill_.NamesA, row, Side::kLeft);
    if (name.empty()) name = full(fill_.NamesB, row, Side::kRight);
    names.emplace_back(name);
  }
  return names;
}

Status CompareSession::FillFieldGrid(FieldGrid& grid, int column, int fileKind, bool topRowNames,
                                     const std::string& path, Prompter& prompter) {
  return korvel::FillFieldGrid(grid, column, Reading(fileKind), topRowNames, path, fill_, prompter);
}

Status CompareSession::FillFieldGridFixed(FieldGrid& grid, int column) {
  return korvel::FillFieldGridFixed(grid, column, fixed_);
}

// ---------------------------------------------------------------------------
// The run

Status CompareSession::CompareSides(const FieldGrid& grid, Progress& progress) {
  Status result(-1);
  bool noMemory = false;
  progress_ = &progress;
  try {
    result = RunSteps(grid);
  } catch (const std::bad_alloc&) {
    noMemory = true;
  }
  progress_ = &Progress::None();
  // A cancelled run fails wherever it stopped, often as a failed read: none of that is
  // news to the one who cancelled it.
  if ((noMemory || !result.IsOk()) && progress.Cancelled()) {
    ResetResult();
    return Cancelled();
  }
  // The result is emptied before the message is made: should even the message find no
  // memory, what escapes to the program's boundary leaves no half-made result behind.
  if (!result.IsOk()) ResetResult();
  if (noMemory) return NoMemory();
  if (result.IsOk()) {
    resultPathL_ = settings_.PathL;
    resultPathR_ = settings_.PathR;
  }
  return result;
}

Status CompareSession::RunSteps(const FieldGrid& grid) {
  ReleaseExtraction();
  duplicateKeysL_ = 0;
  duplicateKeysR_ = 0;
  std::vector<RecordPair>().swap(allPairs_);
  Status keys = grid.CheckKeysOnBothSides();
  if (!keys.IsOk()) return keys;
  // Nothing shows the old rows any more; freeing them before reading keeps the peak of a
  // repeated comparison of large files at one set of tables.
  leftRec_.ClearSelection();
  rightRec_.ClearSelection();
  leftTable_.Clear();
  rightTable_.Clear();
  readingL_ = SideReading();
  readingR_ = SideReading();
  std::unordered_map<std::uint64_t, std::uint64_t>().swap(lossL_);
  std::unordered_map<std::uint64_t, std::uint64_t>().swap(lossR_);
  sortKeys_ = layout_.BuildFieldList(grid, settings_.TopRowNames, settings_.FileKind,
                                     settings_.NumberTolerance);

  Status loaded = LoadBothSides();
  if (!loaded.IsOk()) return loaded;
  Status paired = PairRecords();
  leftRec_.ClearSelection();
  rightRec_.ClearSelection();
  if (!paired.IsOk()) return paired;
  if (!ClassifyPolled()) return Cancelled();
  return Status::Ok();
}

std::uint64_t CompareSession::CellLoss(Side side, int row, int fieldNo) const {
  const auto& losses = side == Side::kLeft ? lossL_ : lossR_;
  if (losses.empty() || row < 0 || fieldNo < 0) return 0;
  auto found =
      losses.find(static_cast<std::uint64_t>(row) << 32 | static_cast<std::uint32_t>(fieldNo));
  return found == losses.end() ? 0 : found->second;
}

bool CompareSession::CellsDiffer(const ResultField& field, const RecordPair& pair) const {
  auto cell = [&](Side side) {
    const int row = pair.Row(side);
    return row < 0 ? std::string_view() : CellText(side, row, field.FieldNo(side));
  };
  if (field.CellsDiffer(cell(Side::kLeft), cell(Side::kRight))) return true;
  if (lossL_.empty() && lossR_.empty()) return false;
  if (field.IsOneSided()) return false;
  return CellLoss(Side::kLeft, pair.LeftRow, field.FieldNoLeft) !=
         CellLoss(Side::kRight, pair.RightRow, field.FieldNoRight);
}

Status CompareSession::LoadAndPrepare(Side side) {
  try {
    RowTable& table = side == Side::kLeft ? leftTable_ : rightTable_;
    Status loaded = LoadSide(table, side == Side::kLeft ? settings_.PathL : settings_.PathR, side);
    if (!loaded.IsOk()) return loaded;
    return PrepareSide(side == Side::kLeft ? leftRec_ : rightRec_, table, side);
  } catch (const std::bad_alloc&) {
    return NoMemory();
  }
}

Status CompareSession::LoadInTurn() {
  Status left = LoadAndPrepare(Side::kLeft);
  if (!left.IsOk()) return left;
  return LoadAndPrepare(Side::kRight);
}

// The two sides are read and sorted apart, so the right side is read on
// a helper thread while this thread reads the left one: on a two-core machine that nearly
// halves the wait. Each side returns its outcome, and the run tells them as a sequential
// run would: the left side's, and the right side's only when the left side succeeded. The
// fixed-length reader is one shared object, so those files are read in turn.
//
// The side done first helps to sort the other (SortSharing): one side is often already in
// key order and sorts in half the time. Each side closes its sharing when it is done,
// whatever its outcome, before it serves the other's, so neither waits for the other.
Status CompareSession::LoadBothSides() {
  if (settings_.FileKind == kFileKindFixed) return LoadInTurn();
  SideLoad left;
  SideLoad right;
  SortSharing leftSort;
  SortSharing rightSort;
  leftRec_.SetSharing(&leftSort);
  rightRec_.SetSharing(&rightSort);
  struct Unshare {
    SortedSelection& left;
    SortedSelection& right;
    ~Unshare() {
      left.SetSharing(nullptr);
      right.SetSharing(nullptr);
    }
  } unshare{leftRec_, rightRec_};
  std::thread worker;
  try {
    worker = std::thread([this, &right, &leftSort, &rightSort] {
      right = LoadAndPrepareCaught(Side::kRight);
      rightSort.Close();
      leftSort.Serve();
    });
  } catch (const std::system_error&) {
    // No thread to be had: read the sides in turn.
    return LoadInTurn();
  }
  left = LoadAndPrepareCaught(Side::kLeft);
  leftSort.Close();
  rightSort.Serve();
  worker.join();
  Status leftOutcome = std::move(left).Outcome();
  if (!leftOutcome.IsOk()) return leftOutcome;
  return std::move(right).Outcome();
}

// Nothing may escape between the start of the helper thread and its join (an exception
// leaving the thread's function, or passing a joinable thread, ends the program). A side
// whose memory message could not even be made gets it after the join.
CompareSession::SideLoad CompareSession::LoadAndPrepareCaught(Side side) noexcept {
  SideLoad load;
  try {
    load.status = LoadAndPrepare(side);
  } catch (const std::bad_alloc&) {
    load.noMemory = true;
  }
  return load;
}

Status CompareSession::SideLoad::Outcome() && {
  if (noMemory) return std::move(status).Then(NoMemory());
  return std::move(status);
}

Status CompareSession::LoadSide(RowTable& table, const std::string& path, Side side) {
  if (settings_.FileKind == kFileKindFixed) {
    return LoadFixedSide(table, path, side, settings_.TopRowNames);
  }
  return LoadDelimitedSide(table, path, side, settings_.FileKind, settings_.TopRowNames);
}

Status CompareSession::PrepareSide(SortedSelection& rec, RowTable& table, Side side) {
  rec.Attach(&table);
  // The merge tells keys apart by case after the case-blind order; ordering rows whose
  // keys differ only in case by their bytes lets it meet them in the same order on both
  // sides, so that identical keys always pair.
  rec.SetExactTieOrder(true);
  // The merge and the count of duplicate keys below decide most steps from the images the
  // sort made, rather than from rows scattered in memory.
  rec.SetKeepImages(true);
  // A key field beyond this side's columns ends the key list (-6): its cells read "" in
  // every row, and the key fields after it are beyond the columns as well.
  (void)rec.SetSortKeys(side == Side::kLeft ? sortKeys_ : layout_.RightKeyList(), 0);
  rec.SetProgress(progress_);
  const int selected = rec.Select();
  rec.SetProgress(nullptr);
  if (selected == SortedSelection::kCancelled) return Cancelled();
  if (selected == SortedSelection::kNoMemory) return NoMemory();
  (side == Side::kLeft ? duplicateKeysL_ : duplicateKeysR_) = CountDuplicateKeys(rec, table, side);
  // From here on the images alone give the order: their rows stand in for the selection.
  rec.DropSelectionForImages();
  return Status::Ok();
}

// The sorted order puts equal keys next to each other, so one walk finds every run of them.
int CompareSession::CountDuplicateKeys(const SortedSelection& rec, const RowTable& table,
                                       Side side) const {
  if (layout_.KeyCount == 0) return 0;
  const SortedRows rows(rec);
  const std::vector<SortedSelection::KeyImage>& images = rec.Images();
  const bool byImages = UsesImages(rec);
  int count = 0;
  std::size_t runStart = 0;
  for (std::size_t i = 1; i <= rows.Size(); ++i) {
    bool runGoesOn = false;
    if (i < rows.Size()) {
      int same = SortedSelection::kUndecided;
      if (byImages) {
        same = SortedSelection::ImageOrder(images[i - 1], images[i]);
      } else {
        Prefetch(table, rows, i);
      }
      if (same == SortedSelection::kUndecided) {
        same = CompareKeyCells(table.Row(rows.Row(i - 1)), side, table.Row(rows.Row(i)), side);
      }
      runGoesOn = same == 0;
    }
    if (runGoesOn) continue;
    if (i - runStart > 1) count += static_cast<int>(i - runStart);
    runStart = i;
  }
  return count;
}

// The images stand for CompareKeyCells only when they were made from the whole key list:
// none of its fields lay beyond this side's columns, and no text key held a zero byte.
// Kept images always cover the whole selection.
bool CompareSession::UsesImages(const SortedSelection& rec) const {
  return layout_.KeyCount > 0 && rec.KeyCount() == layout_.KeyCount && !rec.Images().empty();
}

void CompareSession::SetEncoding(Side side, int encoding) {
  (side == Side::kLeft ? encodingL_ : encodingR_) = encoding;
}

Status CompareSession::LoadDelimitedSide(RowTable& table, const std::string& path, Side side,
                                         int fileKind, bool topRowNames) {
  DelimitedReader csv;
  csv.SetProgress(progress_, ProgressInput(side));
  if (OpenDelimited(csv, Reading(fileKind), path, topRowNames) != DelimitedReader::kOpenOk) {
    return ReaderFailure(csv.GetStatus());
  }
  SetEncoding(side, csv.GetEncoding());
  Reading(side).Mark = csv.HasMark();
  table.Clear();
  CsvRecordReader reader(csv);
  Status result = LoadRecords(reader, table, path, side, true, topRowNames);
  csv.Close();
  return result;
}

Status CompareSession::LoadFixedSide(RowTable& table, const std::string& path, Side side,
                                     bool topRowNames) {
  if (fixed_ == nullptr) return Status::Warning(-1, Sjis("フィールドが存在しません。"));
  fixed_->SetProgress(progress_, ProgressInput(side));
  // The source is shared and outlives the run: it forgets the run's progress on the way out.
  struct Forget {
    FixedLengthSource* source;
    ~Forget() { source->SetProgress(nullptr, 0); }
  } forget{fixed_};
  if (fixed_->Open(path, topRowNames ? 1 : 0, ReadingEncoding(), settings_.DetectBom ? 1 : 0) !=
      0) {
    Status failed = ReaderFailure(fixed_->GetStatus());
    fixed_->Close();
    return failed;
  }
  SetEncoding(side, fixed_->GetEncoding());
  Reading(side).Mark = fixed_->HasMark();
  table.Clear();
  Status result = LoadRecords(*fixed_, table, path, side, false, topRowNames);
  fixed_->Close();
  return result;
}

int CompareSession::DefineColumns(RowTable& table, int fieldCount) {
  ColumnDefs def;
  if (def.Add(Sjis("区分"), kKindColumnBytes) != 0) return RowTable::kNoColumn;
  for (int k = 1; k <= fieldCount; ++k) {
    if (def.Add(FieldColumnName(k), kMaxCellBytes) != 0) return RowTable::kNoColumn;
  }
  return table.SetDefinition(def);
}

Status CompareSession::LoadRecords(SideRecordReader& reader, RowTable& table,
                                   const std::string& path, Side side, bool delimited,
                                   bool topRowNames) {
  int n = 0;
  std::vector<char> skip;  // by column: not loaded
  const int input = ProgressInput(side);
  std::uint64_t unreported = 0;
  for (int r = 0;; ++r) {
    int count = reader.ReadRecord();
    if (count <= 0) progress_->AddRecords(input, unreported);
    if (count == 0) {
      SideReading& reading = Reading(side);
      reading.Lost = reader.LostCount();
      reading.StrayQuotes = reader.StrayQuoteCount();
      reading.FirstStrayLine = reader.FirstStrayQuoteLine();
      reading.CutLines = reader.CutLineCount();
      return Status::Ok();
    }
    if (count < 0) return progress_->Cancelled() ? Cancelled() : ReaderFailure(reader.GetStatus());
    if (++unreported == kRecordsPerReport) {
      progress_->AddRecords(input, unreported);
      unreported = 0;
      if (progress_->Cancelled()) return Cancelled();
    }
    if (r == 0) {
      n = count;
      if (delimited) {
        if (topRowNames && n < fill_.MaxNameCount) n = fill_.MaxNameCount;
        n = std::min(n, kMaxComparedFields);
      }
      if (DefineColumns(table, n) != RowTable::kOk) return NoMemory();
      skip.assign(static_cast<std::size_t>(n) + 1, 0);
      for (int k = 1; k <= n; ++k) skip[static_cast<std::size_t>(k)] = layout_.IsNotLoaded(side, k);
    }
    // The first record fixed the columns; what a later one has beyond them is not read.
    if (count > n) ++Reading(side).ExtraFields;
    Status stored = StoreRecord(reader, table, skip, r, path, topRowNames);
    if (!stored.IsOk()) return stored;
  }
}

Status CompareSession::StoreRecord(SideRecordReader& reader, RowTable& table,
                                   const std::vector<char>& skip, int recordIndex,
                                   const std::string& path, bool topRowNames) {
  // The table takes the reader's values as they are and copies them once, in CommitRow,
  // before the next ReadRecord replaces them.
  table.NewRow();
  const int n = static_cast<int>(skip.size()) - 1;
  // Most files lose no character: their cells need not be asked one by one.
  const bool lossy = reader.LostCount() != 0;
  for (int k = 1; k <= n; ++k) {
    std::string_view text =
        skip[static_cast<std::size_t>(k)] ? std::string_view() : reader.Field(k - 1);
    int stored = table.SetCell(k, text);
    if (stored == RowTable::kTooLong) {
      int line = recordIndex + 1 + (topRowNames ? 1 : 0);
      std::string name = Utf8ToCp932(std::string_view(path).substr(PathText::FileNamePart(path)));
      return Status::Warning(-1, name + "\n" + Format("%dカラム-%d行目でサイズオーバー", k, line));
    }
    if (stored != RowTable::kOk) return NoMemory();
    if (const std::uint64_t loss = lossy ? reader.FieldLoss(k - 1) : 0;
        loss != 0 && !skip[static_cast<std::size_t>(k)]) {
      (&table == &leftTable_ ? lossL_ : lossR_)[static_cast<std::uint64_t>(recordIndex) << 32 |
                                                static_cast<std::uint32_t>(k)] = loss;
    }
  }
  if (table.CommitRow() != RowTable::kOk) return NoMemory();
  return Status::Ok();
}

int CompareSession::CompareKeys(int leftRow, int rightRow) const {
  return CompareKeyCells(leftTable_.Row(leftRow), Side::kLeft, rightTable_.Row(rightRow),
                         Side::kRight);
}

int CompareSession::CompareKeyCells(const RowView& left, Side sideA, const RowView& right,
                                    Side sideB) const {
  const int keys = layout_.KeyCount;
  // First the order both sides were sorted by; where it finds all keys equal, the bytes
  // decide (the sort placed such rows by their bytes, see PrepareSide).
  for (int k = 0; k < keys; ++k) {
    const ResultField& f = layout_.Fields()[static_cast<std::size_t>(k)];
    std::string_view a = left.Cell(f.FieldNo(sideA));
    std::string_view b = right.Cell(f.FieldNo(sideB));
    int c = f.Numeric ? Sign(KeyNumber(a), KeyNumber(b)) : SortCompare(a, b);
    if (c != 0) return c;
  }
  for (int k = 0; k < keys; ++k) {
    const ResultField& f = layout_.Fields()[static_cast<std::size_t>(k)];
    if (f.Numeric) continue;
    int c = left.Cell(f.FieldNo(sideA)).compare(right.Cell(f.FieldNo(sideB)));
    if (c != 0) return c < 0 ? -1 : 1;
  }
  return 0;
}

// The images each side's sort left are released as the walk passes them: the pairs it
// builds meanwhile take their place rather than adding to the peak.
Status CompareSession::PairRecords() {
  const SortedRows left(leftRec_);
  const SortedRows right(rightRec_);
  try {
    allPairs_.clear();
    allPairs_.reserve(left.Size() + right.Size());
  } catch (const std::bad_alloc&) {
    return NoMemory();
  }
  const bool byImages = UsesImages(leftRec_) && UsesImages(rightRec_) &&
                        leftRec_.ImageStart() == rightRec_.ImageStart();
  std::size_t li = 0;  // the walk's positions
  std::size_t ri = 0;
  for (;;) {
    const bool leftEnd = li == left.Size();
    const bool rightEnd = ri == right.Size();
    if (leftEnd && rightEnd) break;
    int order = 0;  // below 0: the left row alone; above 0: the right row alone
    if (leftEnd) {
      order = 1;
    } else if (rightEnd) {
      order = -1;
    } else if (byImages) {
      PrefetchUndecided(leftTable_, left, li);
      PrefetchUndecided(rightTable_, right, ri);
      order = SortedSelection::ImageOrder(left.Images()[li], right.Images()[ri]);
      if (order == SortedSelection::kUndecided) order = CompareKeys(left.Row(li), right.Row(ri));
    } else if (layout_.KeyCount > 0) {
      Prefetch(leftTable_, left, li);
      Prefetch(rightTable_, right, ri);
      order = CompareKeys(left.Row(li), right.Row(ri));
    }
    if (allPairs_.size() % kPollEvery == 0) {
      if (progress_->Cancelled()) return Cancelled();
      leftRec_.ForgetImagesBefore(li);
      rightRec_.ForgetImagesBefore(ri);
    }
    RecordPair pair;
    if (order <= 0) pair.LeftRow = left.Row(li++);
    if (order >= 0) pair.RightRow = right.Row(ri++);
    allPairs_.push_back(pair);  // within the reserved capacity
  }
  return Status::Ok();
}

void CompareSession::ClassifyPairs() {
  Progress* running = progress_;
  progress_ = &Progress::None();
  (void)ClassifyPolled();
  progress_ = running;
}

// The pairs are classified in two halves, the second on a helper thread: each half counts
// on its own and writes only its own pairs' statuses, and the counts are added up after
// the join. The outcome is told as a sequential run would meet it: the first half's memory
// failure or cancellation before the second half's.
bool CompareSession::ClassifyPolled() {
  ReleaseExtraction();
  layout_.ClearDiffCounts();
  diffRecordCount_ = 0;
  leftOnlyCount_ = 0;
  rightOnlyCount_ = 0;
  diffCellCount_ = 0;
  const std::size_t count = allPairs_.size();
  ClassifyShare first;
  ClassifyShare second;
  std::size_t middle = count;
  std::thread helper;
  if (count >= kClassifyInTwoFrom) {
    try {
      first.FieldDiffs.assign(layout_.Fields().size(), 0);
      second.FieldDiffs.assign(layout_.Fields().size(), 0);
      middle = count / 2;
      helper = std::thread(
          [this, &second, middle, count] { ClassifyShareCaught(middle, count, second); });
    } catch (const std::exception&) {
      // No thread (or no memory for its counts) to be had: one thread does it all.
      middle = count;
    }
  }
  ClassifyShareCaught(0, middle, first);
  if (helper.joinable()) helper.join();
  for (const ClassifyShare* share : {&first, &second}) {
    if (share->NoMemory) throw std::bad_alloc();
    if (share->Cancelled) return false;
    diffRecordCount_ += share->DiffRecords;
    leftOnlyCount_ += share->LeftOnly;
    rightOnlyCount_ += share->RightOnly;
    diffCellCount_ += share->DiffCells;
    for (std::size_t k = 0; k < share->FieldDiffs.size(); ++k) {
      layout_.CountDifferences(k, share->FieldDiffs[k]);
    }
  }
  return true;
}

// Nothing may escape a helper thread: a failure is kept in the share and told after the join.
void CompareSession::ClassifyShareCaught(std::size_t begin, std::size_t end,
                                         ClassifyShare& share) noexcept {
  try {
    share.Cancelled = !ClassifyRange(begin, end, share);
  } catch (const std::bad_alloc&) {
    share.NoMemory = true;
  }
}

bool CompareSession::ClassifyRange(std::size_t begin, std::size_t end, ClassifyShare& share) {
  const std::vector<ResultField>& fields = layout_.Fields();
  const bool losses = !lossL_.empty() || !lossR_.empty();
  // Counted by field in the share, or straight into the layout when the share has no room.
  const bool ownCounts = share.FieldDiffs.size() == fields.size();
  // Most pairs of a comparison hold the same record twice. Where both tables have the same
  // columns and every compared field reads the same column on both sides, equal packed
  // rows hold equal cells, which no comparison choice tells apart, so one comparison of the
  // rows settles the pair.
  bool rowsSettle = !losses && leftTable_.ColumnCount() == rightTable_.ColumnCount();
  for (const ResultField& f : fields) {
    rowsSettle = rowsSettle && (f.NotCompared || f.FieldNoLeft == f.FieldNoRight);
  }
  for (std::size_t i = begin; i < end; ++i) {
    if (i + 2 * kReadAhead < end) {
      leftTable_.PrefetchPlace(allPairs_[i + 2 * kReadAhead].LeftRow);
      rightTable_.PrefetchPlace(allPairs_[i + 2 * kReadAhead].RightRow);
    }
    if (i + kReadAhead < end) {
      leftTable_.PrefetchRow(allPairs_[i + kReadAhead].LeftRow);
      rightTable_.PrefetchRow(allPairs_[i + kReadAhead].RightRow);
    }
    if ((i - begin) % kPollEvery == 0 && progress_->Cancelled()) return false;
    RecordPair& pair = allPairs_[i];
    if (pair.LeftRow < 0) {
      pair.Status = kStatusRightOnly;
      ++share.RightOnly;
      continue;
    }
    if (pair.RightRow < 0) {
      pair.Status = kStatusLeftOnly;
      ++share.LeftOnly;
      continue;
    }
    RowView left = leftTable_.Row(pair.LeftRow);
    RowView right = rightTable_.Row(pair.RightRow);
    if (rowsSettle && left.Packed() == right.Packed()) {
      pair.Status = 0;
      continue;
    }
    int differing = 0;
    for (std::size_t k = 0; k < fields.size(); ++k) {
      const ResultField& f = fields[k];
      if (f.NotCompared) continue;
      if (losses ? CellsDiffer(f, pair)
                 : f.CellsDiffer(left.Cell(f.FieldNoLeft), right.Cell(f.FieldNoRight))) {
        if (ownCounts) {
          ++share.FieldDiffs[k];
        } else {
          layout_.CountDifference(k);
        }
        ++differing;
      }
    }
    pair.Status = differing;
    share.DiffCells += differing;
    if (differing > 0) ++share.DiffRecords;
  }
  return true;
}

void CompareSession::ResetResult() {
  ReleaseExtraction();
  std::vector<RecordPair>().swap(allPairs_);
  layout_.Clear();
  diffRecordCount_ = 0;
  leftOnlyCount_ = 0;
  rightOnlyCount_ = 0;
  diffCellCount_ = 0;
  duplicateKeysL_ = 0;
  duplicateKeysR_ = 0;
  // The warnings go with the result; whether the files had a mark stays with their
  // encodings.
  const bool markL = readingL_.Mark;
  const bool markR = readingR_.Mark;
  readingL_ = SideReading();
  readingR_ = SideReading();
  readingL_.Mark = markL;
  readingR_.Mark = markR;
}

std::string CompareSession::SummaryText() const {
  return Format("左総数:%d件 右総数:%d件 相違レコード数:%d件 左のみ:%d件 右のみ:%d件",
                leftTable_.RowCount(), rightTable_.RowCount(), diffRecordCount_, leftOnlyCount_,
                rightOnlyCount_);
}

std::string CompareSession::DuplicateKeyText() const {
  if (duplicateKeysL_ == 0 && duplicateKeysR_ == 0) return {};
  return Format("  重複キー 左:%d件 右:%d件", duplicateKeysL_, duplicateKeysR_);
}

std::vector<RunWarning> CompareSession::Warnings() const {
  auto count = [](long long n) { return static_cast<std::uint64_t>(n); };
  const RunWarning all[] = {
      {RunWarningKind::kStrayQuote, count(readingL_.StrayQuotes), count(readingR_.StrayQuotes),
       readingL_.StrayQuotes > 0 ? Side::kLeft : Side::kRight,
       readingL_.StrayQuotes > 0 ? readingL_.FirstStrayLine : readingR_.FirstStrayLine},
      {RunWarningKind::kCutNewline, count(readingL_.CutLines), count(readingR_.CutLines)},
      {RunWarningKind::kExtraFields, count(readingL_.ExtraFields), count(readingR_.ExtraFields)},
      {RunWarningKind::kLostChars, readingL_.Lost, readingR_.Lost},
      {RunWarningKind::kDuplicateKeys, count(duplicateKeysL_), count(duplicateKeysR_)},
  };
  std::vector<RunWarning> told;
  for (const RunWarning& w : all) {
    if (w.Left + w.Right > 0) told.push_back(w);
  }
  return told;
}

std::vector<std::string> CompareSession::ReadingWarningMessages() const {
  std::vector<std::string> messages;
  for (const RunWarning& w : Warnings()) {
    if (IsReadingWarning(w.Kind)) messages.push_back(RunWarningMessage(w));
  }
  return messages;
}

std::string CompareSession::WarningCountText() const {
  const std::size_t n = ReadingWarningMessages().size();
  if (n == 0) return {};
  return Format("  警告 %d", static_cast<int>(n));
}

std::string CompareSession::DuplicateKeyMessage() const {
  if (duplicateKeysL_ == 0 && duplicateKeysR_ == 0) return {};
  return Format("重複キーがあります。(左:%d件 右:%d件)", duplicateKeysL_, duplicateKeysR_);
}

std::string_view CompareSession::CellText(Side side, int row, int fieldNo) const {
  std::string_view cell = Table(side).CellView(fieldNo, row);
  return cell.data() == nullptr ? std::string_view("") : cell;
}

// ---------------------------------------------------------------------------
// Extraction

Status CompareSession::ExtractColumn(int position, bool differing) {
  try {
    return FillExtractColumn(position, differing);
  } catch (const std::bad_alloc&) {
    std::vector<RecordPair>().swap(extractPairs_);
    return NoMemory();
  }
}

Status CompareSession::ExtractByStatus(int kind, bool differing) {
  try {
    return FillExtractByStatus(kind, differing);
  } catch (const std::bad_alloc&) {
    std::vector<RecordPair>().swap(extractPairs_);
    return NoMemory();
  }
}

Status CompareSession::FillExtractColumn(int position, bool differing) {
  extractPairs_.clear();
  if (position < 0 || position >= static_cast<int>(layout_.Fields().size())) {
    return Status::Warning(-1, Sjis("該当のカラムが見付かりません。"));
  }
  const ResultField& f = layout_.Fields()[static_cast<std::size_t>(position)];
  for (const RecordPair& pair : allPairs_) {
    if (!pair.IsPaired()) continue;
    bool differs = CellsDiffer(f, pair);
    if (differs == differing) extractPairs_.push_back(pair);
  }
  const int count = static_cast<int>(extractPairs_.size());
  extractStatus_ = differing ? Format("(『%s』の相違分抽出中...%d件)", f.Name.c_str(), count)
                             : Format("(『%s』の相違なし分抽出中...%d件)", f.Name.c_str(), count);
  return Status::Ok();
}

Status CompareSession::FillExtractByStatus(int kind, bool differing) {
  extractPairs_.clear();
  auto qualifies = [kind, differing](std::int32_t status) {
    if (!differing) return status == 0;
    switch (kind) {
      case kExtractDiffering:
        return status > 0;
      case kExtractLeftOnly:
        return status == kStatusLeftOnly;
      case kExtractRightOnly:
        return status == kStatusRightOnly;
      case kExtractNotEqual:
        return status != 0;
      default:
        return false;
    }
  };
  if (differing && (kind < kExtractNotEqual || kind > kExtractDiffering)) return Status(-1);
  for (const RecordPair& pair : allPairs_) {
    if (qualifies(pair.Status)) extractPairs_.push_back(pair);
  }
  const int count = static_cast<int>(extractPairs_.size());
  if (!differing) {
    extractStatus_ = Format("(相違なし分抽出中...%d件)", count);
  } else if (kind == kExtractDiffering) {
    extractStatus_ = Format("(相違分抽出中...%d件)", count);
  } else if (kind == kExtractLeftOnly) {
    extractStatus_ = Format("(『左のみ』を抽出中...%d件)", count);
  } else if (kind == kExtractRightOnly) {
    extractStatus_ = Format("(『右のみ』を抽出中...%d件)", count);
  } else {
    extractStatus_ = Format("(相違分(『左のみ』、『右のみ』含む）抽出中...%d件)", count);
  }
  return Status::Ok();
}

// ---------------------------------------------------------------------------
// Re-setting

Status CompareSession::CanReGrid() const {
  if (!layout_.Fields().empty()) return Status::Ok();
  return Status::Warning(-1, Sjis("項目設定がされていません。"));
}

FieldGrid CompareSession::MakeReGridGrid() const {
  FieldGrid grid = FieldGrid::ForReGrid();
  const int n = static_cast<int>(layout_.Fields().size());
  grid.GrowRows(n + 1);
  // The rows are in the layout's order, so each names its own fields.
  FieldPairing pairing;
  for (const ResultField& f : layout_.Fields()) {
    pairing.Left.push_back(f.FieldNoLeft);
    pairing.Right.push_back(f.FieldNoRight);
  }
  grid.SetPairing(std::move(pairing));
  const std::string& mark = FieldGrid::MarkText();
  const std::string& dash = FieldGrid::UnavailableText();
  for (int i = 1; i <= n; ++i) {
    const ResultField& f = layout_.Fields()[static_cast<std::size_t>(i - 1)];
    char number[16];
    std::snprintf(number, sizeof number, "%4d", i);
    grid.SetCell(i, FieldGrid::kNumber, number);
    grid.SetCell(i, FieldGrid::kKey, f.IsKey ? mark : std::string());
    grid.SetCell(i, FieldGrid::kNumeric, f.Numeric ? mark : std::string());
    const bool unavailable = f.IsKey || f.IsOneSided();
    grid.SetCell(i, FieldGrid::kIgnoreSpaces,
                 unavailable ? dash
                             : (f.Compare == FieldCompare::kIgnoreSpaces ||
                                        f.Compare == FieldCompare::kNumberIgnoreSpaces
                                    ? mark
                                    : std::string()));
    grid.SetCell(i, FieldGrid::kNotCompared,
                 unavailable ? dash : (f.NotCompared ? mark : std::string()));
    if (f.FieldNoLeft != kNoFieldNo) grid.SetCell(i, FieldGrid::kNameA, f.NameView());
    if (f.FieldNoRight != kNoFieldNo) grid.SetCell(i, FieldGrid::kNameB, f.NameView());
    grid.SetCell(i, FieldGrid::kNotLoaded, f.NotLoaded ? mark : std::string());
    grid.SetCell(i, FieldGrid::kNumberCompare,
                 unavailable || f.NotCompared || f.NotLoaded
                     ? dash
                     : (IsNumberCompare(f.Compare) ? mark : std::string()));
  }
  return grid;
}

void CompareSession::ApplyReGrid(const FieldGrid& grid) {
  for (std::size_t i = 0; i < layout_.Fields().size(); ++i) {
    if (layout_.Fields()[i].IsKey) continue;
    const int row = static_cast<int>(i) + 1;
    layout_.SetCompareFlags(i, grid.IsMarked(row, FieldGrid::kIgnoreSpaces),
                            grid.IsMarked(row, FieldGrid::kNotCompared),
                            grid.IsMarked(row, FieldGrid::kNumberCompare));
  }
  ClassifyPairs();
}

}  // namespace korvel
