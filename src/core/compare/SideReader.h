#pragma once
// What the comparison needs from the readers of an input side, so that one loading loop
// serves delimited and fixed-length files alike.
//
//  - DelimitedReading / OpenDelimited: the one way a delimited file is set up and opened,
//    shared by the filling of the field-control grid and the loading of a side.
//  - SideRecordReader: the records of an opened reader.
//  - FixedLengthSource: the fixed-length reader as the comparison uses it. The program has
//    one fixed-length reader (FixedWidthReader, owned by the settings object); an adapter over it
//    implements this interface and is handed to the comparison session, which never owns
//    it (see CompareSession::SetFixedSource).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/DelimitedReader.h"
#include "platform/Progress.h"
#include "platform/Status.h"

namespace korvel {

// File kinds of the comparison settings.
inline constexpr int kFileKindCsv = 0;
inline constexpr int kFileKindDelimited = 1;  // delimited by DelimitedReading::Delimiter
inline constexpr int kFileKindFixed = 2;

struct DelimitedReading {
  int FileKind = kFileKindCsv;
  char Delimiter = '\t';  // used when FileKind is kFileKindDelimited
  int Encoding = 0;       // the encoding code to read with
  bool DetectBom = true;  // a byte-order mark of another encoding is adopted
  int TabOldType = 0;
  int NewlineMode = 0;
};

// Sets up `csv` (TAB rule, newline replacement, delimiter: ',' unless the file kind is
// kFileKindDelimited) and opens `path`, the first line being names when `nameLine`.
// The DelimitedReader::Open result (0 = success; otherwise csv.GetStatus() holds the
// failure).
[[nodiscard]] int OpenDelimited(DelimitedReader& csv, const DelimitedReading& reading,
                                const std::string& path, bool nameLine);

class SideRecordReader {
 public:
  virtual ~SideRecordReader() = default;
  // The next record's field count (above 0), 0 at the end, below 0 on an error; then
  // GetStatus() holds the failure and its messages.
  virtual int ReadRecord() = 0;
  // Field `index` (from 0) of the record read; "" beyond its fields. Valid until the next
  // ReadRecord.
  virtual std::string_view Field(int index) const = 0;
  // The last failure of ReadRecord or Open (see the readers' GetStatus).
  virtual const Status& GetStatus() const = 0;
  // The hash of the characters that field `index` of the record read lost on the way to
  // Shift-JIS (DelimitedReader::FieldLoss); 0 when it lost none or the reader cannot tell.
  virtual std::uint64_t FieldLoss(int /*index*/) const { return 0; }
  // Characters that became '?' since the file was opened.
  virtual std::size_t LostCount() const { return 0; }
  // What the reading rules let pass unseen since the file was opened
  // (DelimitedReader::StrayQuoteCount, FirstStrayQuoteLine, CutLineCount); 0 for a reader
  // without such rules.
  virtual long long StrayQuoteCount() const { return 0; }
  virtual long long FirstStrayQuoteLine() const { return 0; }
  virtual long long CutLineCount() const { return 0; }
};

// The records of an opened DelimitedReader (not owned).
class CsvRecordReader : public SideRecordReader {
 public:
  explicit CsvRecordReader(DelimitedReader& csv) : csv_(csv) {}
  int ReadRecord() override { return csv_.ReadRecord(); }
  std::string_view Field(int index) const override { return csv_.FieldView(index); }
  const Status& GetStatus() const override { return csv_.GetStatus(); }
  std::uint64_t FieldLoss(int index) const override { return csv_.FieldLoss(index); }
  std::size_t LostCount() const override { return csv_.LostCount(); }
  long long StrayQuoteCount() const override { return csv_.StrayQuoteCount(); }
  long long FirstStrayQuoteLine() const override { return csv_.FirstStrayQuoteLine(); }
  long long CutLineCount() const override { return csv_.CutLineCount(); }

 private:
  DelimitedReader& csv_;
};

class FixedLengthSource : public SideRecordReader {
 public:
  // Number of field definitions; 0 or less when there are none.
  virtual int DefinitionCount() const = 0;
  // The name of definition `index` (from 0), CP932; null when there is no such record.
  virtual const char* DefinitionName(int index) const = 0;
  // Opens `path`, passing over `skipLines` leading lines: 0, or nonzero with GetStatus()
  // holding the failure.
  virtual int Open(const std::string& path, int skipLines, int encoding, int adoptMark) = 0;
  virtual int GetEncoding() const = 0;
  // Whether the file opened began with a byte-order mark.
  virtual bool HasMark() const { return false; }
  virtual void Close() = 0;
  // Reports the reading of the files opened from now on to `progress` (null for none) as
  // `input`; a cancelled progress fails the reading at its next block (Progress.h).
  virtual void SetProgress(Progress* progress, int input) {
    (void)progress;
    (void)input;
  }
};

}  // namespace korvel
