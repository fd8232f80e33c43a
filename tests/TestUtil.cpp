#include "TestUtil.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/Codepage.h"

namespace korvel::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "korvel-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(std::string_view name) const { return path_ + "/" + std::string(name); }

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
  std::string path = File(name);
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

ScopedHome::ScopedHome(const std::string& folder) {
  if (const char* old = std::getenv("KORVEL_HOME")) previous_ = old;
  ::setenv("KORVEL_HOME", folder.c_str(), 1);
}

ScopedHome::~ScopedHome() {
  if (previous_) {
    ::setenv("KORVEL_HOME", previous_->c_str(), 1);
  } else {
    ::unsetenv("KORVEL_HOME");
  }
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string S(std::string_view utf8) { return Utf8ToCp932(utf8); }

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

int Shown(Notifier& notifier, const Status& status) {
  ShowStatus(notifier, status);
  return status.Code();
}

std::vector<std::string> Texts(const Status& status) {
  std::vector<std::string> texts;
  for (const Message& message : status.Messages()) {
    if (message.Kind != MessageKind::kBeep) texts.push_back(Cp932ToUtf8(message.Text));
  }
  return texts;
}

}  // namespace korvel::test
