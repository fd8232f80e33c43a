#pragma once
// korvel-cli run inside the test process, with a settings folder of its own (KORVEL_HOME),
// so that no test reads or changes the settings of the user running it, and with its
// streams and messages kept for the test to read.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "cli/CliRun.h"
#include "platform/Notifier.h"

namespace korvel::cli {

class CliFixture : public ::testing::Test {
 protected:
  // One run; what the last run wrote and told is forgotten first.
  int RunArgs(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    notifier_.Clear();
    return RunCli(args, out_, err_, notifier_);
  }
  std::string Out() const { return out_.str(); }
  std::string Err() const { return err_.str(); }
  std::vector<std::string> Messages() const { return notifier_.Texts(); }

  test::HomeDir home_;
  test::TempDir dir_;
  std::ostringstream out_;
  std::ostringstream err_;
  RecordingNotifier notifier_;
};

}  // namespace korvel::cli
