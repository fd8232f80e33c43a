#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "TestUtil.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

// Sets (or, with nullopt, removes) an environment variable for a scope and puts the old value
// back afterwards, so that the other tests of the process see the environment unchanged.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ProgramFolderTest, ExecutableFolderIsTheTestProgramsFolder) {
  std::string folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  fs::path exe = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(folder, exe.parent_path().string() + "/");
}

TEST(ProgramFolderTest, KorvelHomeWinsAndGetsOneTrailingSlash) {
  test::TempDir dir;
  {
    ScopedEnv home("KORVEL_HOME", dir.Path());
    EXPECT_EQ(ProgramFolder(), dir.Path() + "/");
  }
  {
    ScopedEnv home("KORVEL_HOME", dir.Path() + "/");
    EXPECT_EQ(ProgramFolder(), dir.Path() + "/");
  }
}

TEST(ProgramFolderTest, KorvelHomeIsCreatedWithItsParents) {
  test::TempDir dir;
  const std::string wanted = dir.Path() + "/one/two/三";
  ScopedEnv home("KORVEL_HOME", wanted + "/");
  EXPECT_EQ(ProgramFolder(), wanted + "/");
  EXPECT_TRUE(fs::is_directory(wanted));
  // Asking again with the folder present changes nothing.
  EXPECT_EQ(ProgramFolder(), wanted + "/");
}

TEST(ProgramFolderTest, WithoutKorvelHomeTheExecutableFolderOrTheConfigFolder) {
  test::TempDir dir;
  const std::string xdg = dir.Path() + "/xdg";
  ScopedEnv config("XDG_CONFIG_HOME", xdg);
  const std::string exe = ExecutableFolder();
  const bool exeWritable = ::access(exe.c_str(), W_OK) == 0;
  // Unset and empty both mean "not set".
  for (auto value : {std::optional<std::string>(), std::optional<std::string>("")}) {
    ScopedEnv home("KORVEL_HOME", value);
    if (exeWritable) {
      EXPECT_EQ(ProgramFolder(), exe);
      // The configuration folder is neither used nor created while the executable's is.
      EXPECT_FALSE(fs::exists(xdg));
    } else {
      EXPECT_EQ(ProgramFolder(), xdg + "/korvel/");
      EXPECT_TRUE(fs::is_directory(xdg + "/korvel"));
    }
  }
}

}  // namespace
}  // namespace korvel
