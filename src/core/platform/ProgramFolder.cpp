#include "platform/ProgramFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace korvel {
namespace {

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path.push_back('/');
  return path;
}

std::string WithoutSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string Join(const std::string& folder, const char* name) { return WithSlash(folder) + name; }

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Creates the missing folders of the absolute `path`, each 0700 whatever the umask: a
// folder of settings is nobody else's business.
void MakeFolders(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    if (path[i - 1] == '/') continue;
    const std::string part = path.substr(0, i);
    if (::mkdir(part.c_str(), 0700) == 0) ::chmod(part.c_str(), 0700);
  }
}

// True when `path` is a folder owned by this user that nobody else may write to, and not a
// symbolic link to one.
bool IsOwnFolder(const std::string& path) {
  struct stat st;
  return ::lstat(WithoutSlash(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// `path` as a program folder (ending with '/'), created when missing; empty when it is
// relative, cannot be made, or is refused (an existing folder refused is noted in
// `*refused`, unless one is noted already).
std::string Accept(const std::string& path, std::string* refused) {
  if (!IsAbsolute(path)) return {};
  const std::string bare = WithoutSlash(path);
  struct stat st;
  if (::lstat(bare.c_str(), &st) != 0 && errno == ENOENT) MakeFolders(bare);
  if (IsOwnFolder(bare)) return WithSlash(path);
  const bool exists = ::lstat(bare.c_str(), &st) == 0;
  if (exists && (S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode)) && refused->empty()) *refused = bare;
  return {};
}

std::string UserDatabaseHome() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 1024));
  for (;;) {
    struct passwd entry;
    struct passwd* found = nullptr;
    const int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    return error == 0 && found && found->pw_dir ? found->pw_dir : "";
  }
}

}  // namespace

// ProgramFolderFrom's search, noting the first existing folder refused as unsafe.
static std::string ProgramFolderNoting(const std::string& exeFolder, const FolderSources& sources,
                                       std::string* refused);

std::string ExecutableFolder() {
  // The link's length is not known beforehand; a result that fills the buffer may be cut.
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) {
      std::string exe(buffer.data(), static_cast<std::size_t>(n));
      const std::size_t slash = exe.rfind('/');
      return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string InstalledDataFolder(const std::string& exeFolder) {
  // "<prefix>/bin/" -> "<prefix>/": the folder is already free of links (/proc/self/exe).
  std::string prefix = exeFolder;
  while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  const std::size_t slash = prefix.rfind('/');
  if (slash == std::string::npos) return {};
  std::string data = prefix.substr(0, slash + 1);
  data += "share/korvel/";
  struct stat st;
  const std::string help = data + "korvel.html";
  if (::stat(help.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return data;
}

FolderSources CurrentFolderSources() {
  FolderSources sources;
  sources.korvelHome = Variable("KORVEL_HOME");
  sources.xdgConfigHome = Variable("XDG_CONFIG_HOME");
  sources.home = Variable("HOME");
  if (!IsAbsolute(sources.xdgConfigHome) && !IsAbsolute(sources.home)) {
    sources.userHome = UserDatabaseHome();
  }
  sources.runtimeDir = Variable("XDG_RUNTIME_DIR");
  return sources;
}

std::string ProgramFolderFrom(const std::string& exeFolder, const FolderSources& sources,
                              std::string* refused) {
  std::string noted;
  std::string folder = ProgramFolderNoting(exeFolder, sources, &noted);
  if (refused != nullptr) *refused = folder.empty() ? noted : std::string();
  return folder;
}

std::string ProgramFolderNoting(const std::string& exeFolder, const FolderSources& sources,
                                std::string* refused) {
  // A folder named on purpose is that folder or none: falling back elsewhere would hide
  // that the named one was refused.
  if (!sources.korvelHome.empty()) return Accept(sources.korvelHome, refused);
  if (IsAbsolute(exeFolder) && ::access(exeFolder.c_str(), W_OK) == 0 &&
      InstalledDataFolder(exeFolder).empty() && IsOwnFolder(exeFolder)) {
    return exeFolder;
  }
  // Relative values are ignored, as the base directory rules say.
  std::string config;
  if (IsAbsolute(sources.xdgConfigHome)) {
    config = sources.xdgConfigHome;
  } else if (IsAbsolute(sources.home)) {
    config = Join(sources.home, ".config");
  } else if (IsAbsolute(sources.userHome)) {
    config = Join(sources.userHome, ".config");
  }
  if (!config.empty()) {
    std::string folder = Accept(Join(config, "korvel"), refused);
    if (!folder.empty()) return folder;
  }
  if (IsAbsolute(sources.runtimeDir)) return Accept(Join(sources.runtimeDir, "korvel"), refused);
  return {};
}

std::string ProgramFolderFor(const std::string& exeFolder, std::string* refused) {
  return ProgramFolderFrom(exeFolder, CurrentFolderSources(), refused);
}

std::string ProgramFolder(std::string* refused) {
  return ProgramFolderFor(ExecutableFolder(), refused);
}

std::string HelpFolderFor(const std::string& exeFolder) {
  std::string data = InstalledDataFolder(exeFolder);
  return data.empty() ? ProgramFolderFor(exeFolder) : data;
}

std::string HelpFolder() { return HelpFolderFor(ExecutableFolder()); }

}  // namespace korvel
