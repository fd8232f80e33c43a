// korvel-cli: compares two tabular text files without a window.

#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/CliRun.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  korvel::StderrNotifier notifier;
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return korvel::cli::RunCli(args, std::cout, std::cerr, notifier);
  } catch (const std::bad_alloc&) {
    korvel::ShowMessage(notifier,
                        {korvel::MessageKind::kWarning, korvel::Sjis("メモリが足りません。")});
    return korvel::cli::kExitFailed;
  }
}
