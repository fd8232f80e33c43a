#pragma once
// korvel-cli run inside the test process, with a settings folder of its own (KORVEL_HOME),
// so that no test reads or changes the settings of the user running it, and with its
// streams and messages kept for the test to read.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "cli/CliRun.h"
#include "platform/Notifier.h"

namespace korvel::cli {

class CliFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("KORVEL_HOME");
    if (old) oldHome_ = old;
    hadHome_ = old != nullptr;
    ::setenv("KORVEL_HOME", home_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (hadHome_) {
      ::setenv("KORVEL_HOME", oldHome_.c_str(), 1);
    } else {
      ::unsetenv("KORVEL_HOME");
    }
  }

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

  test::TempDir home_;
  test::TempDir dir_;
  std::ostringstream out_;
  std::ostringstream err_;
  RecordingNotifier notifier_;

 private:
  std::string oldHome_;
  bool hadHome_ = false;
};

}  // namespace korvel::cli
