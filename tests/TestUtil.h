#pragma once
// Helpers shared by the engine tests: a private temporary folder and byte-exact files.

#include <string>
#include <string_view>
#include <vector>

namespace korvel::test {

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder.
  std::string File(std::string_view name) const;
  // Writes `bytes` to `name` inside the folder and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);

// The names in a folder (hidden ones too), sorted.
std::vector<std::string> FolderEntries(const std::string& folder);

// The CP932 form of a UTF-8 text (shorthand for the tests' expectations).
std::string S(std::string_view utf8);

// The parts appended in order. g++ 12 at -O3 warns (-Wrestrict, a false alarm) about
// `"literal" + std::string&&`; tests build such texts with Cat instead.
template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string out;
  (out.append(std::string_view(parts)), ...);
  return out;
}

}  // namespace korvel::test
