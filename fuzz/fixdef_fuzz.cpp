// The fixed-length definition file: loading any file, checking its rows, applying them to
// the fixed-length reader, and saving and loading them again. The input is the file.
// Every run checks that rows that pass the check reach the reader whole and survive a
// save and a load unchanged (sizes as the file writes them).

#include <string>

#include "FuzzSupport.h"
#include "compare/FixDefinitionFile.h"
#include "io/FixedWidthReader.h"

namespace {

using namespace korvel;
using namespace korvel::fuzz;

FixDefinitionRows Normalized(const FixDefinitionRows& rows) {
  FixDefinitionRows out;
  for (const FixDefinitionRow& row : rows) {
    out.push_back({row.name, std::to_string(ParseFixSize(row.size))});
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzEnvironment& env = FuzzEnvironment::Get();
  env.Reset();
  env.files.Put("def.dat", std::string(reinterpret_cast<const char*>(data), size));

  FixDefinitionRows rows{{"keep", "1"}};
  Require(env.Show(LoadFixDefinitionFile("def.dat", rows)) == 0, "a definition file does not load");
  Require(env.files.OpenCount() == 0, "loading left the file open");
  const std::vector<long long> starts = FixStartPositions(rows);
  Require(starts.size() == rows.size(), "a start position per row");

  int failedRow = -2;
  const Status checked = CheckFixDefinitions(rows, &failedRow);
  const int check = checked.Code();
  Require(checked.IsOk() != checked.HasMessages(), "a check's refusal without its message");
  Require((check == kFixCheckOk || check == kFixNoDefinition) == (failedRow == -1),
          "the failed row and the check disagree");
  FixedWidthReader fix;
  const int applied = ApplyFixDefinitions(rows, fix).Code();
  Require(applied == check, "applying and checking disagree");
  if (check != kFixCheckOk) {
    Require(fix.DefinitionCount() == 0, "refused rows reached the reader");
    return 0;
  }
  Require(fix.DefinitionCount() == static_cast<int>(rows.size()), "rows lost on the way");
  bool plainNames = true;
  for (const FixDefinitionRow& row : rows)
    plainNames = plainNames && row.name.find('\0') == std::string::npos;
  if (plainNames) Require(RowsFromFix(fix) == Normalized(rows), "the reader holds other rows");

  Require(env.Show(WriteFixDefinitionFile("saved.dat", rows)) == 0,
          "rows that passed cannot be saved");
  FixDefinitionRows again;
  Require(env.Show(LoadFixDefinitionFile("saved.dat", again)) == 0, "a saved file does not load");
  Require(again == Normalized(rows), "saving and loading changed the rows");
  return 0;
}
