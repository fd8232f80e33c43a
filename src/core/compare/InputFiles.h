#pragma once
// The checks that two input files exist and hold data, made before a comparison is set up
// (the file selection dialog's confirmation and korvel-cli use the same ones).

#include <string>

#include "platform/Status.h"

namespace korvel {

enum class InputFileState { kOk, kNotFound, kNoData };

// Opens `path` for reading (anything but a readable regular file, such as a folder, FIFO,
// socket or device, counts as not found, judged before any byte is read) and reads up to 100
// bytes.
InputFileState CheckInputFile(const std::string& path);

// ConfirmInputFiles codes: the side whose file failed.
inline constexpr int kInputLeftFailed = 1;
inline constexpr int kInputRightFailed = 2;

// Checks the left file, then the right one. Ok when both pass; else the first failure, named
// by its code, with its warning ("パス(画面左)に該当のファイルが見付かりません。",
// "パス(画面左)のファイルにデータがありません。", or the same for 画面右).
[[nodiscard]] Status ConfirmInputFiles(const std::string& leftPath, const std::string& rightPath);

}  // namespace korvel
