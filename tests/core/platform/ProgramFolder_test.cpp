#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// A folder tree laid out as `cmake --install` or the package would, or not: <root>/prefix/bin/
// holds the executable, and <root>/prefix/share/korvel/ may hold the help page.
enum class DataLayout { kNone, kHelpPage, kShareWithoutPage, kPageIsAFolder };

struct InstallCase {
  const char* name;
  DataLayout layout;
  bool korvelHome;  // KORVEL_HOME names <root>/home
  bool installed;   // expected: settings leave bin/ and the page comes from share/korvel/
};

TEST(ProgramFolderTest, AnExecutableBesideShareKorvelHelpIsInstalled) {
  const InstallCase cases[] = {
      {"installed", DataLayout::kHelpPage, false, true},
      {"installed, KORVEL_HOME set", DataLayout::kHelpPage, true, true},
      {"build tree", DataLayout::kNone, false, false},
      {"build tree, KORVEL_HOME set", DataLayout::kNone, true, false},
      {"share/korvel without the page", DataLayout::kShareWithoutPage, false, false},
      {"share/korvel/korvel.html a folder", DataLayout::kPageIsAFolder, false, false},
  };
  for (const InstallCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir root;
    const std::string bin = root.Path() + "/prefix/bin/";
    const std::string share = root.Path() + "/prefix/share/korvel/";
    const std::string xdg = root.Path() + "/xdg";
    const std::string home = root.Path() + "/home/";
    fs::create_directories(bin);
    // A page beside the executable (as in the build tree) does not make it a build tree.
    std::ofstream(bin + "korvel.html") << "<html></html>";
    switch (c.layout) {
      case DataLayout::kNone:
        break;
      case DataLayout::kHelpPage:
        fs::create_directories(share);
        std::ofstream(share + "korvel.html") << "<html></html>";
        break;
      case DataLayout::kShareWithoutPage:
        fs::create_directories(share);
        break;
      case DataLayout::kPageIsAFolder:
        fs::create_directories(share + "korvel.html");
        break;
    }
    ScopedEnv config("XDG_CONFIG_HOME", xdg);
    ScopedEnv korvelHome("KORVEL_HOME", c.korvelHome ? std::optional<std::string>(home)
                                                     : std::optional<std::string>());
    // bin/ is writable here, so only the installed rule keeps the settings out of it.
    ASSERT_EQ(::access(bin.c_str(), W_OK), 0);

    EXPECT_EQ(InstalledDataFolder(bin), c.installed ? share : std::string());
    std::string settings;
    if (c.korvelHome) {
      settings = home;
    } else if (c.installed) {
      settings = xdg + "/korvel/";
    } else {
      settings = bin;
    }
    EXPECT_EQ(ProgramFolderFor(bin), settings);
    EXPECT_TRUE(fs::is_directory(settings));
    EXPECT_EQ(HelpFolderFor(bin), c.installed ? share : settings);
    // The configuration folder is made only when the settings go there.
    EXPECT_EQ(fs::exists(xdg), c.installed && !c.korvelHome);
    // Nothing is ever added to an installed bin/.
    EXPECT_EQ(std::distance(fs::directory_iterator(bin), fs::directory_iterator()), 1);
  }
}

TEST(ProgramFolderTest, ThePrefixIsTheParentOfTheExecutablesFolder) {
  test::TempDir root;
  const std::string share = root.Path() + "/usr/share/korvel/";
  fs::create_directories(share);
  fs::create_directories(root.Path() + "/usr/bin");
  fs::create_directories(root.Path() + "/usr/lib/korvel");
  std::ofstream(share + "korvel.html") << "<html></html>";
  // One level up only, with or without repeated slashes at the end.
  EXPECT_EQ(InstalledDataFolder(root.Path() + "/usr/bin/"), share);
  EXPECT_EQ(InstalledDataFolder(root.Path() + "/usr/bin//"), share);
  EXPECT_EQ(InstalledDataFolder(root.Path() + "/usr/lib/korvel/"), std::string());
  EXPECT_EQ(InstalledDataFolder(root.Path() + "/usr/"), std::string());
  EXPECT_EQ(InstalledDataFolder("/"), std::string());
  EXPECT_EQ(InstalledDataFolder(""), std::string());
}

TEST(ProgramFolderTest, TheTestProgramIsNotInstalled) {
  // The build tree has no share/korvel beside it: today's rules hold for its programs.
  EXPECT_EQ(InstalledDataFolder(ExecutableFolder()), std::string());
  test::TempDir dir;
  ScopedEnv home("KORVEL_HOME", dir.Path());
  EXPECT_EQ(HelpFolder(), ProgramFolder());
}

}  // namespace
}  // namespace korvel
