// FixedWidthReader with random definitions, every encoding with and without a byte-order mark, and
// lines to skip. The first bytes choose the options and the definitions, the rest is the
// file. Every run checks that the reader stops, that no value is longer than its field or
// breaks the store rule, that a text read through UTF-16, UTF-8 or EUC-JP gives exactly the
// records that the same text gives as Shift-JIS, and that 自動判定 reads a file as the
// encoding it chose would.

#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "io/FixedWidthReader.h"
#include "platform/Codepage.h"

namespace {

using korvel::FixedWidthReader;
using namespace korvel::fuzz;

struct Definition {
  std::string name;
  int length = 1;
};

struct Options {
  int encoding = 0;
  bool adoptMark = false;
  int skipLines = 0;
  std::vector<Definition> definitions;
};

struct Outcome {
  int open = 0;
  std::vector<int> results;
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> messages;
  bool operator==(const Outcome&) const = default;
};

void Define(FixedWidthReader& fix, const Options& o) {
  fix.ClearDefinitions();
  int added = 0;
  for (const Definition& d : o.definitions) {
    const int before = fix.DefinitionCount();
    const int result = fix.AddDefinition(d.name, d.length).Code();
    if (result == FixedWidthReader::kAddOk) {
      Require(fix.DefinitionCount() == before + 1, "AddDefinition added nothing");
      Require(fix.DefinitionLength(added) == d.length, "a definition lost its length");
      Require(d.name.find('\0') != std::string::npos ||
                  std::string_view(fix.DefinitionName(added)) == d.name,
              "a definition lost its name");
      ++added;
    } else {
      Require(fix.DefinitionCount() == before, "a refused definition was added");
      Require(result == (d.name.size() > FixedWidthReader::kMaxNameBytes
                             ? FixedWidthReader::kAddNameTooLong
                             : FixedWidthReader::kAddBadLength),
              "an unexpected AddDefinition result");
    }
  }
}

// `*detected`, when given, receives the encoding the file was read with.
Outcome Read(const std::string& path, const Options& o, std::size_t inputSize,
             int* detected = nullptr) {
  Outcome out;
  FixedWidthReader fix;
  Define(fix, o);
  const int n = fix.DefinitionCount();
  out.open = fix.Open(path, o.skipLines, o.encoding, o.adoptMark ? 1 : 0);
  if (out.open != FixedWidthReader::kOpenOk) {
    Require(*fix.GetError() != '\0', "a failed Open without a message");
    out.messages.push_back(fix.GetError());
    fix.Close();
    Require(FuzzEnvironment::Get().files.OpenCount() == 0, "a failed Open left its file open");
    return out;
  }
  if (detected) *detected = fix.GetEncoding();
  const std::size_t limit = 4 * inputSize + 16;
  for (std::size_t r = 0;; ++r) {
    Require(r <= limit, "more records than the input has bytes");
    const int result = fix.ReadRecord();
    out.results.push_back(result);
    if (result <= 0) {
      Require(result == 0 || *fix.GetError() != '\0', "a failed ReadRecord without a message");
      Require(result == 0 || result == FixedWidthReader::kReadStraddle ||
                  result == FixedWidthReader::kReadFailed,
              "an undocumented ReadRecord result");
      out.messages.push_back(fix.GetError());
      break;
    }
    Require(result <= n && result == fix.FieldCount(), "more fields than definitions");
    std::vector<std::string> record;
    for (int i = 0; i < n; ++i) {
      std::string_view value = fix.FieldView(i);
      Require(std::strlen(fix.GetField(i)) == value.size(), "GetField and FieldView disagree");
      Require(i < result || value.empty(), "a value beyond the fields filled");
      Require(value.size() <= static_cast<std::size_t>(fix.DefinitionLength(i)),
              "a value longer than its field");
      for (char c : value) {
        const auto b = static_cast<unsigned char>(c);
        Require(b >= 0x20 || b == '\t', "a value holds a control byte");
      }
      if (i < result) record.emplace_back(value);
    }
    out.records.push_back(std::move(record));
  }
  fix.Close();
  Require(FuzzEnvironment::Get().files.OpenCount() == 0, "Close left the file open");
  // The definitions outlive the file.
  Require(fix.DefinitionCount() == n, "Close changed the definitions");
  return out;
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
  o.skipLines = (flags >> 1) & 3;
  const bool encodeText = (flags & 8) != 0;
  static const int kMarks[] = {-1, korvel::kEncodingUtf16, korvel::kEncodingUtf16Be,
                               korvel::kEncodingUtf8};
  const int mark = kMarks[(flags >> 4) & 3];
  const int count = in.Below(8) + 1;
  for (int i = 0; i < count; ++i) {
    Definition d;
    const std::uint8_t b = in.Byte();
    // Mostly short fields, so that lines cross many boundaries; now and then the largest
    // size the dialog takes, an empty field or a name over the limit.
    d.length = b == 0 ? 0 : (b == 255 ? 500 : b % 40 + 1);
    d.name = "F" + std::to_string(i);
    if (b == 254) d.name = std::string(FixedWidthReader::kMaxNameBytes + 1, 'N');
    if (b == 253) d.name = std::string(in.Take(FixedWidthReader::kMaxNameBytes));
    o.definitions.push_back(d);
  }
  const std::string body(in.Rest());

  std::string file = mark >= 0 ? MarkOf(mark) : std::string();
  const int written = mark >= 0 ? mark : o.encoding;
  file += encodeText ? EncodeSjis(body, written) : body;
  env.files.Put("in.dat", file);
  int detected = -1;
  Outcome outcome = Read("in.dat", o, file.size(), &detected);

  // 自動判定 reads a file as the encoding it reports would read it (a mark decides both).
  const bool automatic = korvel::IsAutoEncoding(o.encoding);
  if (automatic && outcome.open == FixedWidthReader::kOpenOk &&
      detected != korvel::kEncodingUtf16Be) {
    Require(!korvel::IsAutoEncoding(detected), "自動判定 reported no encoding");
    Options chosen = o;
    chosen.encoding = detected;
    chosen.adoptMark = true;
    if (Read("in.dat", chosen, file.size()) != outcome)
      Fail("自動判定 reads otherwise than its choice");
  }

  const bool markTaken = mark < 0 || mark == o.encoding || o.adoptMark;
  if (encodeText && !automatic && written != korvel::kEncodingSjis && markTaken &&
      outcome.open == FixedWidthReader::kOpenOk && SurvivesEncoding(body, written) &&
      // EUC-JP fields are measured in its own bytes: only a text without a wider character
      // (half-width katakana, JIS X 0212) keeps the Shift-JIS layout.
      (written != korvel::kEncodingEucJp || EncodeSjis(body, written).size() == body.size())) {
    env.files.Put("sjis.dat", body);
    Options plain = o;
    plain.encoding = korvel::kEncodingSjis;
    plain.adoptMark = false;
    Outcome reference = Read("sjis.dat", plain, body.size());
    if (reference.open == FixedWidthReader::kOpenOk && reference != outcome) {
      Fail("the records depend on the encoding");
    }
  }
  return 0;
}
