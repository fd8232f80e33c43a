#include "compare/InputFiles.h"

#include "io/TextFile.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

namespace korvel {

InputFileState CheckInputFile(const std::string& path) {
  TextFile file;
  if (file.Open(path, TextFile::kModeRead, kEncodingSjis) != 0) return InputFileState::kNotFound;
  char head[100];
  int n = file.Read(head, sizeof head);
  file.Close();
  return n > 0 ? InputFileState::kOk : InputFileState::kNoData;
}

InputSide ConfirmInputFiles(const std::string& leftPath, const std::string& rightPath) {
  struct Side {
    const std::string& path;
    InputSide side;
    const char* notFound;
    const char* noData;
  };
  const Side sides[] = {
      {leftPath, InputSide::kLeft, "パス(画面左)に該当のファイルが見付かりません。",
       "パス(画面左)のファイルにデータがありません。"},
      {rightPath, InputSide::kRight, "パス(画面右)に該当のファイルが見付かりません。",
       "パス(画面右)のファイルにデータがありません。"},
  };
  for (const Side& s : sides) {
    switch (CheckInputFile(s.path)) {
      case InputFileState::kOk:
        break;
      case InputFileState::kNotFound:
        Warn(Sjis(s.notFound));
        return s.side;
      case InputFileState::kNoData:
        Warn(Sjis(s.noData));
        return s.side;
    }
  }
  return InputSide::kNone;
}

}  // namespace korvel
