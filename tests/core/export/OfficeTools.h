#pragma once
// What the tests that read exports back with outside programs (LibreOffice, openpyxl)
// share: running a command, finding a program on PATH, installing a missing Debian package,
// and reading the CSV files that LibreOffice writes.
//
// A package is installed only as root, with apt-get, bounded in time, and never when
// KORVEL_NO_INSTALL=1; the callers skip with the reason otherwise.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace korvel::test {

using Table = std::vector<std::vector<std::string>>;  // rows of UTF-8 cells

// LibreOffice's CSV export: comma, double quote, UTF-8 (76), every sheet to a file of its
// own named <file>-<sheet>.csv (the last token, -1).
inline constexpr char kCsvFilter[] =
    "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1";

// The first of `names` found as an executable on PATH, or "".
inline std::string FindProgram(const std::vector<std::string>& names) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  const std::string dirs = path;
  for (const std::string& name : names) {
    std::size_t start = 0;
    while (start <= dirs.size()) {
      std::size_t end = dirs.find(':', start);
      if (end == std::string::npos) end = dirs.size();
      const std::filesystem::path candidate =
          std::filesystem::path(dirs.substr(start, end - start)) / name;
      if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate.string();
      start = end + 1;
    }
  }
  return {};
}

// The office program on PATH, or "".
inline std::string FindOffice() { return FindProgram({"libreoffice", "soffice"}); }

// Installs the Debian package `package` with apt-get when that is allowed here; "" when it
// worked, else why not. apt-get's output goes to apt.log in `dir`.
inline std::string InstallPackage(const TempDir& dir, const std::string& package) {
  if (const char* no = std::getenv("KORVEL_NO_INSTALL"); no != nullptr && std::string(no) == "1") {
    return "KORVEL_NO_INSTALL=1 forbids installing it";
  }
  if (::geteuid() != 0) return "installing it needs root";
  if (Shell("command -v apt-get >/dev/null 2>&1") != 0) return "apt-get is not available";
  const std::string log = dir.File("apt.log");
  std::string install =
      "timeout -k 10 600 env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "
      "--no-install-recommends ";
  install += package;
  install += " >>";
  install += ShellQuoted(log);
  install += " 2>&1";
  if (Shell(install) != 0) {
    // The package lists may be missing or stale: refresh them once and try again.
    Shell("timeout -k 10 300 apt-get update -qq >>" + ShellQuoted(log) + " 2>&1");
    if (Shell(install) != 0) return "apt-get could not install " + package;
  }
  return {};
}

// Installs LibreOffice Calc (libreoffice-calc-nogui).
inline std::string InstallOffice(const TempDir& dir) {
  return InstallPackage(dir, "libreoffice-calc-nogui");
}

// Splits LibreOffice's CSV output: quoted cells may hold commas, doubled quotes and line
// breaks; lines end in LF or CR LF.
inline Table ParseCsv(const std::string& text) {
  Table table;
  std::vector<std::string> row;
  std::string cell;
  bool quoted = false;
  bool any = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
      any = true;
    } else if (c == ',') {
      row.push_back(cell);
      cell.clear();
      any = true;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      row.push_back(cell);
      table.push_back(row);
      row.clear();
      cell.clear();
      any = false;
    } else {
      cell += c;
      any = true;
    }
  }
  if (any) {
    row.push_back(cell);
    table.push_back(row);
  }
  return table;
}

// Trailing empty cells and rows carry nothing: the office program pads every row to the
// sheet's width.
inline Table Trimmed(Table table) {
  for (auto& row : table) {
    while (!row.empty() && row.back().empty()) row.pop_back();
  }
  while (!table.empty() && table.back().empty()) table.pop_back();
  return table;
}

}  // namespace korvel::test
