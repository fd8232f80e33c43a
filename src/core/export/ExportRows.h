#pragma once
// ExportRows: what the XML and the CSV writer derive alike from an ExportSource: the field
// list with its key count, the values of a pair's cells and the status text of a pair.
//
// The field list is copied once when the object is made (a few entries per field, however
// many pairs there are); the source must outlive the object and not change meanwhile. In the
// copy a field that one file lacks is marked NotCompared: it is never written as a
// difference.

#include <string>
#include <string_view>
#include <vector>

#include "export/ExportSource.h"

namespace korvel {

class ExportRows {
 public:
  // Room for any status text or pair number.
  using TextBuffer = char[16];

  explicit ExportRows(const ExportSource& source);

  const ExportSource& Source() const { return source_; }
  int PairCount() const { return pairCount_; }
  RecordPair Pair(int index) const { return source_.Pair(index); }

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  // The number of leading fields marked as keys (the count stops at the first other one).
  int KeyCount() const { return keyCount_; }
  const ResultField& Field(int index) const { return fields_[static_cast<std::size_t>(index)]; }

  // The text of `field` on one side of the pair; empty when that side has no record.
  std::string_view Value(const RecordPair& pair, Side side, const ResultField& field) const {
    int row = pair.Row(side);
    return row < 0 ? std::string_view() : source_.Cell(side, row, field.FieldNo(side));
  }
  // A key's value: the left record's when there is one, else the right record's.
  std::string_view KeyValue(const RecordPair& pair, const ResultField& field) const {
    return Value(pair, pair.LeftRow != -1 ? Side::kLeft : Side::kRight, field);
  }

  // "右のみ" (-1), "左のみ" (-2), else the count as " %3d"; CP932. With `spaced` the two
  // one-sided texts get a leading space. The text lives in `buffer` or in this object.
  std::string_view StatusText(int status, TextBuffer& buffer, bool spaced = false) const;
  // `n` in plain decimal, in `buffer`.
  static std::string_view Number(int n, TextBuffer& buffer);

 private:
  const ExportSource& source_;
  int pairCount_;
  std::vector<ResultField> fields_;
  int keyCount_ = 0;
  // With a leading space, which StatusText drops unless asked for.
  std::string rightOnly_;
  std::string leftOnly_;
};

}  // namespace korvel
