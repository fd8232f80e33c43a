#pragma once
// The checks that two input files exist and hold data, made before a comparison is set up
// (the file selection dialog's confirmation and korvel-cli use the same ones).

#include <string>

namespace korvel {

enum class InputFileState { kOk, kNotFound, kNoData };

// Opens `path` for reading (anything but a readable regular file, such as a folder, FIFO,
// socket or device, counts as not found, judged before any byte is read) and reads up to 100
// bytes.
InputFileState CheckInputFile(const std::string& path);

enum class InputSide { kNone, kLeft, kRight };

// Checks the left file, then the right one; the first failure is shown as a warning
// ("パス(画面左)に該当のファイルが見付かりません。",
// "パス(画面左)のファイルにデータがありません。", then the same for 画面右) and named by the
// result. kNone when both pass.
InputSide ConfirmInputFiles(const std::string& leftPath, const std::string& rightPath);

}  // namespace korvel
