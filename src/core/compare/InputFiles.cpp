#include "compare/InputFiles.h"

#include "io/TextFile.h"
#include "platform/Codepage.h"

namespace korvel {

InputFileState CheckInputFile(const std::string& path) {
  TextFile file;
  if (file.Open(path, TextFile::kModeRead, kEncodingSjis) != 0) return InputFileState::kNotFound;
  char head[100];
  int n = file.Read(head, sizeof head);
  file.Close();
  // An end-of-file byte alone is an empty file to the readers.
  const bool data =
      n > 1 || (n == 1 && static_cast<unsigned char>(head[0]) != TextFile::kEndOfFileByte);
  return data ? InputFileState::kOk : InputFileState::kNoData;
}

Status ConfirmInputFiles(const std::string& leftPath, const std::string& rightPath) {
  struct Input {
    const std::string& path;
    int failed;
    const char* notFound;
    const char* noData;
  };
  const Input inputs[] = {
      {leftPath, kInputLeftFailed, "パス(画面左)に該当のファイルが見付かりません。",
       "パス(画面左)のファイルにデータがありません。"},
      {rightPath, kInputRightFailed, "パス(画面右)に該当のファイルが見付かりません。",
       "パス(画面右)のファイルにデータがありません。"},
  };
  for (const Input& input : inputs) {
    switch (CheckInputFile(input.path)) {
      case InputFileState::kOk:
        break;
      case InputFileState::kNotFound:
        return Status::Warning(input.failed, Sjis(input.notFound));
      case InputFileState::kNoData:
        return Status::Warning(input.failed, Sjis(input.noData));
    }
  }
  return Status::Ok();
}

}  // namespace korvel
