#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

using test::ScopedEnv;

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

// ---------------------------------------------------------------------------
// Where the folder comes from, and which folders are refused

// A folder under `root` whose path, with its closing '/', is exactly `length` bytes.
std::string LongFolder(const std::string& root, std::size_t length) {
  std::string folder = root;
  while (folder.size() + 1 < length) {
    const std::size_t part = std::min<std::size_t>(100, length - folder.size() - 2);
    folder += '/';
    folder.append(std::max<std::size_t>(part, 1), 'd');
  }
  return folder + "/";
}

// Gives `path` to another user; false when this process may not (it is not root).
bool GiveAway(const std::string& path) {
  return ::geteuid() == 0 && ::chown(path.c_str(), 65534, 65534) == 0;
}

mode_t ModeOf(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct SourceCase {
  const char* what;
  // Lays out the folders under the case's root and returns the executable's folder.
  std::function<std::string(const std::string& root, FolderSources& sources)> setUp;
  std::string expected;              // under the root ("{R}" stands for it); "" for none
  std::vector<std::string> created;  // folders the call must have made, 0700
  bool needsRoot = false;            // giving a folder away takes root
};

std::string Expand(const std::string& text, const std::string& root) {
  std::string out = text;
  for (std::size_t at; (at = out.find("{R}")) != std::string::npos;) out.replace(at, 3, root);
  return out;
}

TEST(ProgramFolderTest, SourcesInOrderAndRefusedFolders) {
  const std::string kLong = "long";  // replaced below by a 300-byte folder
  const SourceCase cases[] = {
      {"KORVEL_HOME, existing",
       [](const std::string& r, FolderSources& s) {
         fs::create_directory(r + "/home");
         s.korvelHome = r + "/home";
         s.xdgConfigHome = r + "/xdg";
         return std::string();
       },
       "{R}/home/",
       {}},
      {"KORVEL_HOME, missing with its parents",
       [](const std::string& r, FolderSources& s) {
         s.korvelHome = r + "/a/b/home/";
         return std::string();
       },
       "{R}/a/b/home/",
       {"{R}/a", "{R}/a/b", "{R}/a/b/home"}},
      {"KORVEL_HOME, 300 bytes long",
       [](const std::string& r, FolderSources& s) {
         s.korvelHome = LongFolder(r, 300);
         return std::string();
       },
       kLong,
       {}},
      {"KORVEL_HOME, a link to an own folder",
       [](const std::string& r, FolderSources& s) {
         fs::create_directory(r + "/real");
         fs::create_directory_symlink(r + "/real", r + "/link");
         s.korvelHome = r + "/link/";
         s.xdgConfigHome = r + "/xdg";
         return std::string();
       },
       "",
       {}},
      {"KORVEL_HOME, a file",
       [](const std::string& r, FolderSources& s) {
         std::ofstream(r + "/file") << "x";
         s.korvelHome = r + "/file";
         return std::string();
       },
       "",
       {}},
      {"KORVEL_HOME, relative",
       [](const std::string& r, FolderSources& s) {
         fs::current_path(r);
         s.korvelHome = "rel/home";
         s.xdgConfigHome = r + "/xdg";
         return std::string();
       },
       "",
       {}},
      {"KORVEL_HOME, another user's",
       [](const std::string& r, FolderSources& s) {
         fs::create_directory(r + "/theirs");
         GiveAway(r + "/theirs");
         s.korvelHome = r + "/theirs";
         return std::string();
       },
       "",
       {},
       true},
      {"the executable's folder",
       [](const std::string& r, FolderSources& s) {
         fs::create_directory(r + "/bin");
         s.xdgConfigHome = r + "/xdg";
         return r + "/bin/";
       },
       "{R}/bin/",
       {}},
      {"the executable's folder, a link",
       [](const std::string& r, FolderSources& s) {
         fs::create_directory(r + "/bin");
         fs::create_directory_symlink(r + "/bin", r + "/binlink");
         s.xdgConfigHome = r + "/xdg";
         return r + "/binlink/";
       },
       "{R}/xdg/korvel/",
       {"{R}/xdg", "{R}/xdg/korvel"}},
      {"the executable's folder, another user's",
       [](const std::string& r, FolderSources& s) {
         fs::create_directory(r + "/bin");
         GiveAway(r + "/bin");
         s.xdgConfigHome = r + "/xdg";
         return r + "/bin/";
       },
       "{R}/xdg/korvel/",
       {"{R}/xdg", "{R}/xdg/korvel"},
       true},
      {"XDG_CONFIG_HOME",
       [](const std::string& r, FolderSources& s) {
         s.xdgConfigHome = r + "/xdg";
         s.home = r + "/home";
         return std::string();
       },
       "{R}/xdg/korvel/",
       {"{R}/xdg", "{R}/xdg/korvel"}},
      {"XDG_CONFIG_HOME relative, HOME",
       [](const std::string& r, FolderSources& s) {
         s.xdgConfigHome = "xdg";
         s.home = r + "/home";
         return std::string();
       },
       "{R}/home/.config/korvel/",
       {"{R}/home", "{R}/home/.config", "{R}/home/.config/korvel"}},
      {"neither: the user database's home",
       [](const std::string& r, FolderSources& s) {
         s.userHome = r + "/user";
         s.runtimeDir = r + "/run";
         return std::string();
       },
       "{R}/user/.config/korvel/",
       {"{R}/user/.config", "{R}/user/.config/korvel"}},
      {"HOME relative: the user database's home",
       [](const std::string& r, FolderSources& s) {
         fs::create_directory(r + "/user");
         s.home = "home";
         s.userHome = r + "/user";
         return std::string();
       },
       "{R}/user/.config/korvel/",
       {"{R}/user/.config", "{R}/user/.config/korvel"}},
      {"no home at all: the runtime folder",
       [](const std::string& r, FolderSources& s) {
         fs::create_directory(r + "/run");
         s.runtimeDir = r + "/run";
         return std::string();
       },
       "{R}/run/korvel/",
       {"{R}/run/korvel"}},
      {"a link planted as the configuration folder: the runtime folder",
       [](const std::string& r, FolderSources& s) {
         fs::create_directories(r + "/xdg");
         fs::create_directory(r + "/elsewhere");
         fs::create_directory_symlink(r + "/elsewhere", r + "/xdg/korvel");
         fs::create_directory(r + "/run");
         s.xdgConfigHome = r + "/xdg";
         s.runtimeDir = r + "/run";
         return std::string();
       },
       "{R}/run/korvel/",
       {"{R}/run/korvel"}},
      {"the configuration folder another user's: the runtime folder",
       [](const std::string& r, FolderSources& s) {
         fs::create_directories(r + "/xdg/korvel");
         GiveAway(r + "/xdg/korvel");
         fs::create_directory(r + "/run");
         s.xdgConfigHome = r + "/xdg";
         s.runtimeDir = r + "/run";
         return std::string();
       },
       "{R}/run/korvel/",
       {"{R}/run/korvel"},
       true},
      {"the runtime folder a link too: none",
       [](const std::string& r, FolderSources& s) {
         fs::create_directory(r + "/run");
         fs::create_directory(r + "/elsewhere");
         fs::create_directory_symlink(r + "/elsewhere", r + "/run/korvel");
         s.runtimeDir = r + "/run";
         return std::string();
       },
       "",
       {}},
      {"nothing at all: none, and never a shared folder",
       [](const std::string&, FolderSources&) { return std::string(); },
       "",
       {}},
  };
  const mode_t oldMask = ::umask(022);
  const fs::path oldCwd = fs::current_path();
  for (const SourceCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.needsRoot && ::geteuid() != 0) continue;  // a folder cannot be given away
    test::TempDir root;
    FolderSources sources;
    const std::string exe = c.setUp(root.Path(), sources);
    const std::string expected =
        c.expected == kLong ? sources.korvelHome : Expand(c.expected, root.Path());
    EXPECT_EQ(ProgramFolderFrom(exe, sources), expected);
    for (const std::string& made : c.created) {
      EXPECT_EQ(ModeOf(Expand(made, root.Path())), 0700u) << made;
    }
    EXPECT_TRUE(expected.empty() || fs::is_directory(expected));
    // Nothing is made in the current folder, whatever the sources say.
    fs::current_path(oldCwd);
    EXPECT_FALSE(fs::exists(root.Path() + "/rel"));
  }
  ::umask(oldMask);
  // Another user's folder, where this process cannot give one away: the root folder.
  if (::geteuid() != 0) {
    FolderSources sources;
    sources.korvelHome = "/";
    EXPECT_EQ(ProgramFolderFrom("", sources), "");
  }
}

TEST(ProgramFolderTest, TheUserDatabaseIsAskedOnlyWithoutAnAbsoluteHome) {
  const struct passwd* user = ::getpwuid(::getuid());
  ASSERT_NE(user, nullptr);
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnv home("HOME", std::nullopt);
    ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/x");
    ScopedEnv korvelHome("KORVEL_HOME", "/k");
    const FolderSources s = CurrentFolderSources();
    EXPECT_EQ(s.userHome, user->pw_dir);
    EXPECT_EQ(s.runtimeDir, "/run/user/x");
    EXPECT_EQ(s.korvelHome, "/k");
    EXPECT_EQ(s.home, "");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative");
    ScopedEnv home("HOME", "/h");
    const FolderSources s = CurrentFolderSources();
    EXPECT_EQ(s.userHome, "");
    EXPECT_EQ(s.home, "/h");
    EXPECT_EQ(s.xdgConfigHome, "relative");
  }
}

}  // namespace
}  // namespace korvel
