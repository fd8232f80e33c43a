#include "platform/ProgramFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace korvel {
namespace {

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path.push_back('/');
  return path;
}

// Creates `path` and its missing parents; true when it exists as a folder afterwards.
bool MakeFolders(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string ExecutableFolder() {
  std::vector<char> buffer(4096);
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  std::string exe(buffer.data(), static_cast<std::size_t>(n));
  std::size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
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

std::string ProgramFolderFor(const std::string& exeFolder) {
  if (const char* home = std::getenv("KORVEL_HOME"); home && *home) {
    std::string folder = WithSlash(home);
    MakeFolders(folder.substr(0, folder.size() - 1));
    return folder;
  }
  if (!exeFolder.empty() && ::access(exeFolder.c_str(), W_OK) == 0 &&
      InstalledDataFolder(exeFolder).empty()) {
    return exeFolder;
  }
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    config = std::string(home) + "/.config";
  } else {
    config = "/tmp";
  }
  std::string folder = WithSlash(config) + "korvel";
  MakeFolders(folder);
  return folder + "/";
}

std::string ProgramFolder() { return ProgramFolderFor(ExecutableFolder()); }

std::string HelpFolderFor(const std::string& exeFolder) {
  std::string data = InstalledDataFolder(exeFolder);
  return data.empty() ? ProgramFolderFor(exeFolder) : data;
}

std::string HelpFolder() { return HelpFolderFor(ExecutableFolder()); }

}  // namespace korvel
