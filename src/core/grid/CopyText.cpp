#include "grid/CopyText.h"

#include <algorithm>
#include <new>
#include <string_view>

#include "grid/GridModel.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

// One routine produces every copy text twice: a sink without a string only counts, so the
// measuring pass and the writing pass cannot drift apart.
class TextSink {
 public:
  explicit TextSink(std::string* out) : out_(out) {}

  void Put(std::string_view text) {
    length_ += text.size();
    if (out_ != nullptr) out_->append(text);
  }
  void Tab() { Put("\t"); }
  void EndLine() { Put("\r\n"); }
  std::size_t Length() const { return length_; }

 private:
  std::string* out_;
  std::size_t length_ = 0;
};

// Cells are zero-terminated texts to the rest of the program (and to the clipboard), so a
// zero byte that a reader let through ends the cell here too.
std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

// The cell of `field` on `side` of `pair`; "" when the side has no record.
std::string_view Cell(const CompareSession& session, Side side, const RecordPair& pair,
                      const ResultField& field) {
  const int row = pair.Row(side);
  if (row < 0) return {};
  return UpToZero(session.CellText(side, row, field.FieldNo(side)));
}

// A key is shown from the left file unless the left record is missing or its cell empty:
// so a right-only record still shows its key, whichever side is copied.
std::string_view KeyCell(const CompareSession& session, const RecordPair& pair,
                         const ResultField& field) {
  std::string_view left = Cell(session, Side::kLeft, pair, field);
  if (!left.empty()) return left;
  return Cell(session, Side::kRight, pair, field);
}

void PutRangeCell(const CompareSession& session, const RecordPair& pair, const ResultField& field,
                  Side side, bool marks, TextSink& sink) {
  if (field.IsKey) {
    sink.Put(KeyCell(session, pair, field));
    return;
  }
  std::string_view text = Cell(session, side, pair, field);
  sink.Put(text);
  if (!marks || field.NotCompared) return;
  std::string_view otherText = Cell(session, OtherSide(side), pair, field);
  const bool differs = (side == Side::kLeft ? field.CellsDiffer(text, otherText)
                                            : field.CellsDiffer(otherText, text)) ||
                       (pair.IsPaired() && session.CellsDiffer(field, pair));
  if (differs) sink.Put("(*)");
}

// The grid's column `c`: field c, or the c-th of the shown fields.
const ResultField& ColumnField(const std::vector<ResultField>& fields,
                               const std::vector<int>* shownFields, int c) {
  const int field = shownFields != nullptr ? (*shownFields)[static_cast<std::size_t>(c)] : c;
  return fields[static_cast<std::size_t>(field)];
}

int ColumnCount(const CompareSession& session, const std::vector<int>* shownFields) {
  return static_cast<int>(shownFields != nullptr ? shownFields->size() : session.Fields().size());
}

void PutNames(const std::vector<ResultField>& fields, const std::vector<int>* shownFields, int c1,
              int c2, TextSink& sink) {
  for (int c = c1; c <= c2; ++c) {
    if (c > c1) sink.Tab();
    sink.Put(ColumnField(fields, shownFields, c).NameView());
  }
  sink.EndLine();
}

// Measures, then (when the length is acceptable) builds; the refusals of the copy commands.
template <typename Produce>
Status MeasureAndBuild(Produce produce, std::string& text) {
  text.clear();
  const std::size_t length = produce(nullptr);
  if (length == 0) return Status::Warning(kCopyNoData, Sjis("コピーするデータがありません。"));
  if (length > kCopyLimitBytes) {
    return Status::Warning(kCopyTooLarge,
                           Sjis("サイズをオーバーしました。640Kバイト以上のコピーはできません。"));
  }
  try {
    text.reserve(length);
  } catch (const std::bad_alloc&) {
    return Status::Warning(kCopyNoMemory, Sjis("領域確保に失敗しました。"));
  }
  produce(&text);
  return Status(kCopyDone);
}

// The rectangle's columns are all fields and its rows start at -1 or below it.
bool RangeInGrid(const CompareSession& session, const CopyRect& rect,
                 const std::vector<int>* shownFields) {
  const int c1 = std::min(rect.anchorCol, rect.endCol);
  const int c2 = std::max(rect.anchorCol, rect.endCol);
  int r1 = std::min(rect.anchorRow, rect.endRow);
  if (r1 == -1) r1 = 0;  // a whole-column selection starts at the first row
  return c1 >= 0 && c2 < ColumnCount(session, shownFields) && r1 >= 0;
}

// There are fields, and `row` is a row of ViewPairs.
bool RowInView(const CompareSession& session, int row) {
  return !session.Fields().empty() && row >= 0 &&
         row < static_cast<int>(session.ViewPairs().size());
}

}  // namespace

CopyRect RectToCopy(const CopyViewState& view, bool otherSide) {
  CopyRect rect = view.shownSel;
  if (rect.pane == -1) rect = {view.curSide, view.curCol, view.curRow, view.curCol, view.curRow};
  if (otherSide) rect.pane = rect.pane == 1 ? 2 : 1;
  return rect;
}

std::size_t RangeText(const CompareSession& session, const CopyRect& rect, bool marks, bool header,
                      std::string* out, const std::vector<int>* shownFields) {
  const std::vector<ResultField>& fields = session.Fields();
  const std::vector<RecordPair>& pairs = session.ViewPairs();
  if (!RangeInGrid(session, rect, shownFields)) return 0;
  const int c1 = std::min(rect.anchorCol, rect.endCol);
  const int c2 = std::max(rect.anchorCol, rect.endCol);
  const int r1 = std::max(std::min(rect.anchorRow, rect.endRow), 0);
  const int r2 =
      std::min(std::max(rect.anchorRow, rect.endRow), static_cast<int>(pairs.size()) - 1);

  const Side side = PaneSide(rect.pane);
  TextSink sink(out);
  if (header) PutNames(fields, shownFields, c1, c2, sink);
  for (int r = r1; r <= r2; ++r) {
    const RecordPair& pair = pairs[static_cast<std::size_t>(r)];
    for (int c = c1; c <= c2; ++c) {
      if (c > c1) sink.Tab();
      PutRangeCell(session, pair, ColumnField(fields, shownFields, c), side, marks, sink);
    }
    sink.EndLine();
  }
  return sink.Length();
}

std::size_t RowCompareText(const CompareSession& session, int row, std::string* out) {
  const std::vector<ResultField>& fields = session.Fields();
  const std::vector<RecordPair>& pairs = session.ViewPairs();
  if (!RowInView(session, row)) return 0;
  const RecordPair& pair = pairs[static_cast<std::size_t>(row)];
  const int last = static_cast<int>(fields.size()) - 1;

  TextSink sink(out);
  PutNames(fields, nullptr, 0, last, sink);
  for (Side side : {Side::kLeft, Side::kRight}) {
    for (int c = 0; c <= last; ++c) {
      if (c > 0) sink.Tab();
      sink.Put(Cell(session, side, pair, fields[static_cast<std::size_t>(c)]));
    }
    sink.EndLine();
  }
  for (int c = 0; c <= last; ++c) {
    if (c > 0) sink.Tab();
    const ResultField& field = fields[static_cast<std::size_t>(c)];
    if (field.CellsDiffer(Cell(session, Side::kLeft, pair, field),
                          Cell(session, Side::kRight, pair, field)) ||
        (pair.IsPaired() && session.CellsDiffer(field, pair))) {
      sink.Put("*");
    }
  }
  sink.EndLine();
  return sink.Length();
}

Status CopySelectionText(const CompareSession& session, const CopyViewState& view, bool otherSide,
                         std::string& text, const std::vector<int>* shownFields) {
  const CopyRect rect = RectToCopy(view, otherSide);
  Status copied = MeasureAndBuild(
      [&](std::string* out) {
        return RangeText(session, rect, view.withMarks, view.withHeader, out, shownFields);
      },
      text);
  // A rectangle beyond the fields has nothing in it: a beep, then the refusal.
  if (!RangeInGrid(session, rect, shownFields))
    return Status::Beeped(copied.Code()).Then(std::move(copied));
  return copied;
}

Status CopyRowCompareText(const CompareSession& session, int curRow, std::string& text) {
  text.clear();
  if (curRow < 0) return Status::Beeped(kCopyNoRow);
  Status copied =
      MeasureAndBuild([&](std::string* out) { return RowCompareText(session, curRow, out); }, text);
  if (!RowInView(session, curRow)) return Status::Beeped(copied.Code()).Then(std::move(copied));
  return copied;
}

}  // namespace korvel
