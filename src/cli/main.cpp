// korvel-cli: compares two tabular text files without a window.

#include <cstdio>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/CliRun.h"
#include "platform/AtomicFile.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

namespace {

// A result that never reached its reader is a failure, whatever the comparison found: a
// script must not take exit 0 or 1 from a run whose output went nowhere.
int CheckStreams(int status) {
  const bool outFailed = !std::cout.flush();
  const bool errFailed = !std::cerr.flush() || std::fflush(stderr) != 0 || std::ferror(stderr);
  if (!outFailed && !errFailed) return status;
  std::clearerr(stderr);
  const char* what = outFailed ? "korvel-cli: 標準出力への書き込みに失敗しました。\n"
                               : "korvel-cli: 標準エラーへの書き込みに失敗しました。\n";
  std::fputs(what, stderr);
  std::fflush(stderr);
  return korvel::cli::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  // A message about one input names it on the line before, as the program's own line.
  korvel::StderrNotifier notifier("korvel-cli");
  // An interrupted export must not leave a half-named file behind; the shell still sees
  // the signal.
  korvel::InstallSignalCleanup();
  std::vector<std::string> args(argv + 1, argv + argc);
  int status;
  try {
    status = korvel::cli::RunCli(args, std::cout, std::cerr, notifier);
  } catch (const std::bad_alloc&) {
    korvel::ShowMessage(notifier,
                        {korvel::MessageKind::kWarning, korvel::Sjis("メモリが足りません。")});
    status = korvel::cli::kExitFailed;
  }
  return CheckStreams(status);
}
