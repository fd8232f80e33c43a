#include "compare/SideReader.h"

namespace korvel {

int OpenDelimited(DelimitedReader& csv, const DelimitedReading& reading, const std::string& path,
                  bool nameLine) {
  csv.SetTabOldType(reading.TabOldType);
  csv.SetNewlineMode(reading.NewlineMode);
  csv.SetDelimiter(reading.FileKind == kFileKindDelimited ? reading.Delimiter : ',');
  return csv.Open(path, nameLine ? 1 : 0, reading.Encoding, reading.DetectBom ? 1 : 0);
}

}  // namespace korvel
