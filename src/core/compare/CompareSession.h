#pragma once
// CompareSession: one comparison of two tabular files, without a window.
//
// The session holds the comparison settings, the two row tables, the field layout and the
// result (the pairs, the extraction and the counters), and offers every step of a
// comparison that needs no window: filling the field-control grid from the files, the run
// (CompareSides), the classification, the extraction filters and the re-classification
// of the re-setting. The desktop program's main window owns one session and keeps only
// view state; korvel-cli drives the same session.
//
// The session shows nothing. Each step returns a Status (platform/Status.h): its documented
// result code and the messages for the user in the order they arose, all warnings
// (caption "注意") but the readers' memory alert; the caller shows them before it shows the
// result. The one warning after which a step goes on (more than 255 fields while filling
// the grid) goes through the Prompter the caller hands in. Every failure of a run ends in
// the empty result. Texts are CP932; paths are the file system's own (UTF-8) strings.
//
// Lifetimes: the tables, fields and pair lists are owned by the session. References and
// views returned by its accessors stay valid until the next call that changes the result
// (CompareSides, ResetResult, the extraction calls for ExtractPairs/ViewPairs).
//
// Fixed-length files: the session reads them through a FixedLengthSource (SideReader.h)
// handed in with SetFixedSource; without one, a fixed-length comparison fails with
// "フィールドが存在しません。".

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "compare/Collation.h"
#include "compare/DecimalNumber.h"
#include "compare/FieldGrid.h"
#include "compare/FieldLayout.h"
#include "compare/ResultModel.h"
#include "compare/RowTable.h"
#include "compare/RunWarnings.h"
#include "compare/SideReader.h"
#include "compare/SortedSelection.h"
#include "platform/Prompter.h"
#include "platform/Status.h"

namespace korvel {

// The choices the set-up chain presets its dialogs from and writes back into.
struct CompareSettings {
  int FileKind = kFileKindCsv;  // kFileKindCsv, kFileKindDelimited, kFileKindFixed
  char Delimiter = '\t';        // for kFileKindDelimited
  char OtherDelimiter = '|';    // last typed other delimiter, shown again next time
  bool TopRowNames = false;     // 先頭行フィールド
  bool MatchNames = false;  // 項目名で対応付け: fields pair by header name (with TopRowNames,
                            // not for fixed-length files)
  int Encoding = 0;            // 0 Shift-JIS, 10 UTF-16, 15 UTF-8
  bool DetectBom = true;       // a byte-order mark decides the encoding
  bool FromClipboard = false;  // the paths are clipboard captures: read as Shift-JIS
  std::string PathL;
  std::string PathR;
  // From the settings store, handed in before a run (TAB_OLDTYPE, RET_M_IDX).
  int TabOldType = 0;
  int NewlineMode = 0;
  // From the settings store too (NUM_TOL): how far apart the numbers of a field marked
  // 数値比較 may lie and still be equal.
  DecimalNumber NumberTolerance;
};

class CompareSession {
 public:
  static constexpr int kMaxComparedFields = 255;
  static constexpr int kMaxCellBytes = 500;
  static constexpr int kKindColumnBytes = 10;
  // CompareSides: the run was cancelled through its Progress (no messages).
  static constexpr int kCancelled = -2;

  CompareSession();
  ~CompareSession();
  CompareSession(const CompareSession&) = delete;
  CompareSession& operator=(const CompareSession&) = delete;

  // The comparison settings: what the set-up chain presets its dialogs from and writes
  // back into, and what the run reads. Changed only through EditSettings.
  const CompareSettings& Settings() const { return settings_; }
  CompareSettings& EditSettings() { return settings_; }

  // Makes this session ready to run what `from` would run next: its settings, its
  // fixed-length source, what the last filling of the grid found (MaxNameCount) and the
  // paths of its result (ResultPath). The result is not taken: a front end builds a new run
  // here while `from` stays shown.
  void CopySetUp(const CompareSession& from);

  // ---- Set-up chain -------------------------------------------------------------------

  // The start of the file-open command: releases an extraction, MaxNameCount 0.
  void StartSetUp();
  // The fixed-length reader (not owned; null to remove). Must outlive its use here.
  void SetFixedSource(FixedLengthSource* source) { fixed_ = source; }
  // The encoding a file is read with: Shift-JIS for clipboard captures, else Encoding.
  int ReadingEncoding() const { return settings_.FromClipboard ? 0 : settings_.Encoding; }
  // The delimited reader's set-up for `fileKind` from the settings.
  DelimitedReading Reading(int fileKind) const;

  // Fills the grid before the field-control dialog: for fixed-length files both name
  // columns from the definitions, else both sides from PathL and PathR (the 255-field
  // warning, told through `prompter`, at most once), their fields paired by name when
  // MatchesNames() (PairGridByName; when the files have no name in common, the warning
  // "左右のファイルに同じ項目名がありません。" is told through `prompter` and the filling goes
  // on). Ok; -1 or -2 with the messages.
  [[nodiscard]] Status FillFieldGrids(FieldGrid& grid, Prompter& prompter);
  // True when the settings pair fields by name: MatchNames with top-row names, not fixed.
  bool MatchesNames() const {
    return settings_.MatchNames && settings_.TopRowNames && settings_.FileKind != kFileKindFixed;
  }
  // The full name of each row of a grid that FillFieldGrids filled, from row 1: the left
  // file's name, else the right file's (as FieldGrid::RowName, but not cut to 30 bytes);
  // the definitions' names for fixed-length files. Empty when the files have no names
  // (no top-row names). For looking fields up by name (FindFieldByName).
  std::vector<std::string> RowNames(const FieldGrid& grid) const;
  // One side from a delimited file (column kNameA or kNameB); raises MaxNameCount.
  [[nodiscard]] Status FillFieldGrid(FieldGrid& grid, int column, int fileKind, bool topRowNames,
                                     const std::string& path, Prompter& prompter);
  // One side from the fixed-length definitions.
  [[nodiscard]] Status FillFieldGridFixed(FieldGrid& grid, int column);
  int MaxNameCount() const { return fill_.MaxNameCount; }
  bool FieldOverWarned() const { return fill_.FieldOverWarned; }

  // ---- The run --------------------------------------------------------------------------

  // Compares PathL and PathR by the confirmed grid: builds the field layout, loads and
  // sorts both sides, pairs, classifies and counts. Ok when the run completed; -1 when it
  // failed, with its messages, and the result is empty (ResetResult); a key that one file
  // lacks fails at once (FieldGrid::CheckKeysOnBothSides). The two sides are
  // read on two threads; their messages come as a sequential run would have them: the left
  // side's, then (only after the left side succeeded) the right side's. Afterwards the
  // caller shows the messages, then SummaryText(), the encodings and the caption, and
  // repaints. A completed run is Ok without messages; what the reading rules let pass and
  // the duplicate keys are told through Warnings, after the result.
  //
  // The run reports to `progress` and polls it (platform/Progress.h): the bytes and records
  // read per side, and a cancellation stops it at its next poll with kCancelled and no
  // messages, the result empty. `progress` is used from the run's threads; it must outlive
  // the call.
  [[nodiscard]] Status CompareSides(const FieldGrid& grid, Progress& progress = Progress::None());

  // Loads one delimited side into `table`: ok, or -1 with the messages (the reader's, a
  // cell over 500 bytes: "<file>\n<k>カラム-<L>行目でサイズオーバー"). Sets EncodingL/R.
  [[nodiscard]] Status LoadDelimitedSide(RowTable& table, const std::string& path, Side side,
                                         int fileKind, bool topRowNames);
  // Loads one fixed-length side through the fixed-length source; same results.
  [[nodiscard]] Status LoadFixedSide(RowTable& table, const std::string& path, Side side,
                                     bool topRowNames);
  // Gives `table` the columns 区分 (10 bytes) and FD001 .. FDn (500 bytes each) and no
  // rows. The RowTable::SetDefinition result.
  [[nodiscard]] int DefineColumns(RowTable& table, int fieldCount);
  // Merges the two sorted sides into AllPairs (statuses are left to ClassifyPairs): keys
  // equal under the sort order and in their bytes pair up; without key fields, rows pair
  // by position. Ok, or -1 with the memory message.
  [[nodiscard]] Status PairRecords();
  // Sets every pair's Status, every field's DiffCount and the counters from the cells.
  // Releases an active extraction first, so that the shown list is the classified one.
  void ClassifyPairs();
  // The empty result: no pairs, no fields, counters 0, no extraction. Tables and
  // settings stay.
  void ResetResult();
  // "左総数:%d件 右総数:%d件 相違レコード数:%d件 左のみ:%d件 右のみ:%d件".
  std::string SummaryText() const;

  // ---- The result ---------------------------------------------------------------------

  const std::vector<RecordPair>& AllPairs() const { return allPairs_; }
  const std::vector<RecordPair>& ExtractPairs() const { return extractPairs_; }
  // The list shown and read: ExtractPairs while an extraction is active, else AllPairs.
  const std::vector<RecordPair>& ViewPairs() const {
    return extractActive_ ? extractPairs_ : allPairs_;
  }
  bool ExtractActive() const { return extractActive_; }

  const std::vector<ResultField>& Fields() const { return layout_.Fields(); }
  int KeyCount() const { return layout_.KeyCount; }
  // True when row `fieldNo` of the field-control grid was marked 未取込.
  bool IsNotLoaded(int fieldNo) const { return layout_.IsNotLoaded(fieldNo); }
  // True when field number `fieldNo` of `side`'s file was not loaded.
  bool IsNotLoaded(Side side, int fieldNo) const { return layout_.IsNotLoaded(side, fieldNo); }

  const RowTable& LeftTable() const { return leftTable_; }
  const RowTable& RightTable() const { return rightTable_; }
  const RowTable& Table(Side side) const { return side == Side::kLeft ? leftTable_ : rightTable_; }
  // The text of field number `fieldNo` in row `row` of one side, in place; "" for a
  // missing cell. A row index of -1 has no cell: callers test it first.
  std::string_view CellText(Side side, int row, int fieldNo) const;

  int DiffRecordCount() const { return diffRecordCount_; }
  int LeftOnlyCount() const { return leftOnlyCount_; }
  int RightOnlyCount() const { return rightOnlyCount_; }
  int DiffCellCount() const { return diffCellCount_; }
  // The records of `side` whose key also occurs in another record of the same side, as the
  // pairing tells keys apart (a numeric key by its value); 0 without key fields. Pairing
  // itself takes no notice of it.
  int DuplicateKeyCount(Side side) const {
    return side == Side::kLeft ? duplicateKeysL_ : duplicateKeysR_;
  }
  // The status bar summary's tail: "  重複キー 左:%d件 右:%d件" when either side has
  // duplicate keys, else "".
  std::string DuplicateKeyText() const;
  // The warnings of the last completed run that occurred, in the order they are told
  // (compare/RunWarnings.h): the reading rules' and the duplicate keys'.
  std::vector<RunWarning> Warnings() const;
  // The messages of the reading warnings (all but the duplicate keys), in order: what
  // korvel-cli prints after the summary and the window lists in one box after the result.
  std::vector<std::string> ReadingWarningMessages() const;
  // The status bar's tail for them: "  警告 %d" (how many), or "".
  std::string WarningCountText() const;
  // Whether one side's file of the last run began with a byte-order mark.
  bool HadMark(Side side) const { return Reading(side).Mark; }
  // korvel-cli's line about them: "重複キーがあります。(左:%d件 右:%d件)", or "".
  std::string DuplicateKeyMessage() const;
  int EncodingL() const { return encodingL_; }
  int EncodingR() const { return encodingR_; }
  // The path of one side of the run that produced the result: taken from the settings when
  // a run completes, and kept by a failed run and by a set-up that is cancelled or still
  // under way (both change the settings first). Captions and export labels name the files
  // the result comes from, not the ones last entered. Empty before the first completed run.
  const std::string& ResultPath(Side side) const {
    return side == Side::kLeft ? resultPathL_ : resultPathR_;
  }
  // Characters of each side's file that became '?' on the way to Shift-JIS in the last run.
  std::size_t LostCharacters(Side side) const { return Reading(side).Lost; }
  // Whether the cells of `field` in `pair` (both sides present) differ: by the field's
  // comparison, and where the texts agree, by the characters they lost — a cell that holds
  // a '?' standing for a lost character differs unless the other cell lost the same ones.
  // Every comparison of a result's cells goes through here.
  bool CellsDiffer(const ResultField& field, const RecordPair& pair) const;

  // ---- Extraction ---------------------------------------------------------------------

  // Fills ExtractPairs with the paired records whose cells of field `position` (an index
  // into Fields) differ (`differing`) or agree, in AllPairs order; NotCompared plays no
  // part. Ok; -1 with "該当のカラムが見付かりません。" when there is no such field
  // (ExtractPairs is left empty), or with the memory message.
  [[nodiscard]] Status ExtractColumn(int position, bool differing);
  // Fills ExtractPairs by status: with `differing`, kind kExtractDiffering,
  // kExtractLeftOnly, kExtractRightOnly or kExtractNotEqual; without it the equal records.
  // Ok; -1 without a message (nothing extracted) for another kind with `differing`, or
  // with the memory message.
  [[nodiscard]] Status ExtractByStatus(int kind, bool differing);
  // The caption status text of the last extraction, e.g. "(相違分抽出中...3件)".
  const std::string& ExtractStatusText() const { return extractStatus_; }
  // Shows the extraction: ViewPairs becomes ExtractPairs.
  void ActivateExtraction() { extractActive_ = true; }
  // Shows AllPairs again; ExtractPairs keeps its items.
  void ReleaseExtraction() { extractActive_ = false; }

  // ---- Re-setting ---------------------------------------------------------------------

  // Ok; -1 with "項目設定がされていません。" when there is no field layout.
  [[nodiscard]] Status CanReGrid() const;
  // The re-setting grid (FieldGrid::ForReGrid): row i for item i - 1 of Fields (keys first).
  FieldGrid MakeReGridGrid() const;
  // Takes SPC除く, 不要 and 数値比較 of the non-key fields from a confirmed re-setting grid
  // (数値比較 with the run's tolerance), releases an extraction and classifies again. Pairs
  // and their order stay.
  void ApplyReGrid(const FieldGrid& grid);

 private:
  Status LoadRecords(SideRecordReader& reader, RowTable& table, const std::string& path, Side side,
                     bool delimited, bool topRowNames);
  Status StoreRecord(SideRecordReader& reader, RowTable& table, const std::vector<char>& skip,
                     int recordIndex, const std::string& path, bool topRowNames);
  Status LoadSide(RowTable& table, const std::string& path, Side side);
  // What one side's loading hands back across the helper thread's join.
  struct SideLoad {
    Status status{-1};
    bool noMemory = false;  // the memory message is still to be made
    Status Outcome() &&;
  };
  Status LoadAndPrepare(Side side);
  SideLoad LoadAndPrepareCaught(Side side) noexcept;
  Status LoadInTurn();
  Status LoadBothSides();
  Status PrepareSide(SortedSelection& rec, RowTable& table, Side side);
  int CountDuplicateKeys(const SortedSelection& rec, const RowTable& table, Side side) const;
  // The pairing order of two rows' keys, each read through its side's field numbers.
  int CompareKeyCells(const RowView& a, Side sideA, const RowView& b, Side sideB) const;
  int CompareKeys(int leftRow, int rightRow) const;
  void SetEncoding(Side side, int encoding);
  Status RunSteps(const FieldGrid& grid);
  // ClassifyPairs, polling progress_: false when it was cancelled (the counts are then
  // incomplete and the run is dropped); bad_alloc when memory ran out.
  bool ClassifyPolled();
  // What one thread's share of the classification counted, and how it ended.
  struct ClassifyShare {
    int DiffRecords = 0;
    int LeftOnly = 0;
    int RightOnly = 0;
    int DiffCells = 0;
    std::vector<int> FieldDiffs;  // by field; empty: counted into the layout directly
    bool Cancelled = false;
    bool NoMemory = false;
  };
  // Classifies the pairs [begin, end): false when cancelled.
  bool ClassifyRange(std::size_t begin, std::size_t end, ClassifyShare& share);
  void ClassifyShareCaught(std::size_t begin, std::size_t end, ClassifyShare& share) noexcept;
  // True when `rec`'s key images stand for the whole key list.
  bool UsesImages(const SortedSelection& rec) const;
  Status FillExtractColumn(int position, bool differing);
  Status FillExtractByStatus(int kind, bool differing);

  CompareSettings settings_;
  FixedLengthSource* fixed_ = nullptr;
  Progress* progress_ = &Progress::None();  // the running CompareSides's, else None
  GridFillState fill_;

  FieldLayout layout_;
  std::string sortKeys_;  // the key list of the last run's layout
  RowTable leftTable_;
  RowTable rightTable_;
  SortedSelection leftRec_;
  SortedSelection rightRec_;

  std::vector<RecordPair> allPairs_;
  std::vector<RecordPair> extractPairs_;
  bool extractActive_ = false;
  std::string extractStatus_;

  int diffRecordCount_ = 0;
  int leftOnlyCount_ = 0;
  int rightOnlyCount_ = 0;
  int diffCellCount_ = 0;
  int duplicateKeysL_ = 0;  // each written only by its own side's loading thread
  int duplicateKeysR_ = 0;
  int encodingL_ = 0;
  int encodingR_ = 0;
  std::string resultPathL_;
  std::string resultPathR_;
  // What one side's reading met, each written only by its own side's loading thread.
  struct SideReading {
    std::size_t Lost = 0;  // characters that became '?'
    long long StrayQuotes = 0;
    long long FirstStrayLine = 0;
    long long CutLines = 0;
    long long ExtraFields = 0;  // records with more fields than were kept
    bool Mark = false;          // the file began with a byte-order mark
  };
  SideReading readingL_;
  SideReading readingR_;
  const SideReading& Reading(Side side) const {
    return side == Side::kLeft ? readingL_ : readingR_;
  }
  SideReading& Reading(Side side) { return side == Side::kLeft ? readingL_ : readingR_; }
  // Per side, for each cell that lost characters (key: row << 32 | field number), the hash
  // of what it lost.
  std::unordered_map<std::uint64_t, std::uint64_t> lossL_;
  std::unordered_map<std::uint64_t, std::uint64_t> lossR_;
  std::uint64_t CellLoss(Side side, int row, int fieldNo) const;
};

}  // namespace korvel
