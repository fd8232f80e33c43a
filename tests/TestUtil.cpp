#include "TestUtil.h"

#include <sys/wait.h>
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

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) previous_ = old;
  if (value) {
    ::setenv(name_.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

ScopedEnv::~ScopedEnv() {
  if (previous_) {
    ::setenv(name_.c_str(), previous_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

int Shell(const std::string& line) {
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string CrLfLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\r\n");
  return text;
}

std::string SjisLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(S(line)).append("\r\n");
  return text;
}

PairedTexts KeyedPairs(int records, std::string_view text, std::string_view tail) {
  PairedTexts files;
  for (int i = 0; i < records; ++i) {
    const std::string key = std::to_string(i) + ",";
    files.left.append(key).append(text).append(std::to_string(i % 7)).append(tail).append("\r\n");
    files.right.append(key).append(text).append(std::to_string(i % 5)).append(tail).append("\r\n");
  }
  return files;
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
