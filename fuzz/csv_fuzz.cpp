// DelimitedReader under both rule sets, every newline mode and every encoding with and without a
// byte-order mark. The first bytes choose the options, the rest is the file. Besides the
// sanitizers' checks, every run checks that the reader stops, that every value keeps the
// store rule, that a text read through UTF-16, UTF-8 or EUC-JP gives exactly the records
// that the same text gives as Shift-JIS, wherever the pieces happen to be cut, and that
// 自動判定 reads a file as the encoding it chose would.

#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "io/DelimitedReader.h"
#include "platform/Codepage.h"

namespace {

using korvel::DelimitedReader;
using namespace korvel::fuzz;

struct Options {
  int encoding = 0;
  bool adoptMark = false;
  bool nameMode = false;
  int tabOldType = 0;
  int newlineMode = 0;
  char delimiter = ',';
};

// What a reader made of a file: its Open result and names, then each ReadRecord result
// with the values or the message.
struct Outcome {
  int open = 0;
  std::vector<std::string> names;
  std::vector<int> results;
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> messages;
  bool operator==(const Outcome&) const = default;
};

void CheckValue(std::string_view value, const char* text) {
  for (char c : value) {
    const auto b = static_cast<unsigned char>(c);
    Require(b >= 0x20 || b == '\t', "a value holds a control byte");
  }
  Require(std::strlen(text) == value.size(), "GetField and FieldView disagree");
}

// `*detected`, when given, receives the encoding the file was read with.
Outcome Read(const std::string& path, const Options& o, std::size_t inputSize,
             int* detected = nullptr) {
  Outcome out;
  DelimitedReader csv;
  csv.SetTabOldType(o.tabOldType);
  csv.SetNewlineMode(o.newlineMode);
  csv.SetDelimiter(o.delimiter);
  out.open = csv.Open(path, o.nameMode ? 1 : 0, o.encoding, o.adoptMark ? 1 : 0);
  if (out.open != DelimitedReader::kOpenOk) {
    Require(*csv.GetError() != '\0' || out.open == DelimitedReader::kOpenNoMemory,
            "a failed Open without a message");
    out.messages.push_back(csv.GetError());
    csv.Close();
    Require(FuzzEnvironment::Get().files.OpenCount() == 0, "a failed Open left its file open");
    return out;
  }
  if (detected) *detected = csv.GetEncoding();
  for (int i = 0; i < csv.FieldNameCount(); ++i) out.names.push_back(csv.GetFieldName(i));
  // Every record takes at least one byte of the converted text, which is at most a few
  // times the file's size.
  const std::size_t limit = 4 * inputSize + 16;
  for (std::size_t r = 0;; ++r) {
    Require(r <= limit, "more records than the input has bytes");
    int n = csv.ReadRecord();
    out.results.push_back(n);
    if (n <= 0) {
      Require(n == 0 || *csv.GetError() != '\0', "a failed ReadRecord without a message");
      out.messages.push_back(csv.GetError());
      // Both end the reading: a failed read, and an unclosed quote that reached the end.
      if (n == 0 || n == DelimitedReader::kReadFailed || n == DelimitedReader::kReadUnclosedQuote) {
        break;
      }
      Require(n == DelimitedReader::kReadTooMany || n == DelimitedReader::kReadCellTooLarge,
              "an undocumented ReadRecord result");
      continue;
    }
    Require(n == csv.FieldCount(), "ReadRecord and FieldCount disagree");
    std::vector<std::string> record;
    for (int i = 0; i < n; ++i) {
      CheckValue(csv.FieldView(i), csv.GetField(i));
      record.emplace_back(csv.FieldView(i));
    }
    Require(csv.FieldView(n).empty() && *csv.GetField(n) == '\0', "a value past the record");
    out.records.push_back(std::move(record));
  }
  Require(csv.ReadRecord() <= 0, "a record after the end");
  csv.Close();
  Require(FuzzEnvironment::Get().files.OpenCount() == 0, "Close left the file open");
  return out;
}

char Delimiter(OptionBytes& in) {
  const int kind = in.Below(4);
  const char other = static_cast<char>(in.Byte());
  switch (kind) {
    case 0:
      return ',';
    case 1:
      return '\t';
    case 2:
      // The file selection dialog takes any first byte of what was typed in the box.
      return (other == '\r' || other == '\n' || other == '\0') ? '|' : other;
    default:
      return '|';
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzEnvironment& env = FuzzEnvironment::Get();
  env.Reset();
  OptionBytes in(data, size);
  Options o;
  o.encoding = PickEncoding(in);
  const std::uint8_t flags = in.Byte();
  o.adoptMark = (flags & 1) != 0;
  o.nameMode = (flags & 2) != 0;
  o.tabOldType = (flags >> 2) & 1;
  o.newlineMode = (flags >> 3) & 3;  // 3 is no mode of the program: read as mode 0
  const bool encodeText = (flags & 0x20) != 0;
  o.delimiter = Delimiter(in);
  static const int kMarks[] = {-1, korvel::kEncodingUtf16, korvel::kEncodingUtf16Be,
                               korvel::kEncodingUtf8};
  const int mark = kMarks[in.Below(4)];
  const std::string body(in.Rest());

  std::string file = mark >= 0 ? MarkOf(mark) : std::string();
  // The text is either the file's bytes as they stand or a Shift-JIS text written in the
  // encoding the mark (or else the request) names.
  const int written = mark >= 0 ? mark : o.encoding;
  file += encodeText ? EncodeSjis(body, written) : body;
  env.files.Put("in.csv", file);
  int detected = -1;
  Outcome outcome = Read("in.csv", o, file.size(), &detected);

  // Read through a mark that is taken, the text must give what it gives as Shift-JIS.
  // 自動判定 reads a file as the encoding it reports would read it (a mark decides both).
  const bool automatic = korvel::IsAutoEncoding(o.encoding);
  if (automatic && outcome.open == DelimitedReader::kOpenOk &&
      detected != korvel::kEncodingUtf16Be) {
    Require(!korvel::IsAutoEncoding(detected), "自動判定 reported no encoding");
    Options chosen = o;
    chosen.encoding = detected;
    chosen.adoptMark = true;
    if (Read("in.csv", chosen, file.size()) != outcome)
      Fail("自動判定 reads otherwise than its choice");
  }

  const bool markTaken = mark < 0 || mark == o.encoding || o.adoptMark;
  if (encodeText && !automatic && written != korvel::kEncodingSjis && markTaken &&
      outcome.open == DelimitedReader::kOpenOk && SurvivesEncoding(body, written)) {
    env.files.Put("sjis.csv", body);
    Options plain = o;
    plain.encoding = korvel::kEncodingSjis;
    plain.adoptMark = false;
    Outcome reference = Read("sjis.csv", plain, body.size());
    if (reference.open == DelimitedReader::kOpenOk && reference != outcome) {
      Fail("the records depend on the encoding");
    }
  }
  return 0;
}
