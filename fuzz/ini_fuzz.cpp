// The ini reader and writer (IniFile). The first byte gives a number of keys to set, each
// given as three texts (section, key, value) of a length byte and the bytes; the rest is the
// file. Every run checks that the text comes back byte for byte, that a key set reads back
// as set, also from the text written, and that no other key changes.

#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/IniFile.h"

namespace {

using korvel::IniFile;
using namespace korvel::fuzz;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string Fold(std::string_view text) {
  std::string out(Trim(text));
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The value a key set to `value` reads back as: trimmed, one pair of enclosing quotes off.
std::string ReadBack(std::string_view value) {
  value = Trim(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

struct Probe {
  std::string section;
  std::string key;
  std::string value;
};

// The section and key names of the text's own lines, to see that setting one key leaves
// the others alone.
std::vector<Probe> Probes(const IniFile& ini, std::string_view text) {
  std::vector<Probe> probes;
  std::string section;
  std::size_t start = 0;
  while (start < text.size() && probes.size() < 16) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = Trim(text.substr(start, end - start));
    if (!line.empty() && line.front() == '[' && line.find(']') != std::string_view::npos) {
      section = std::string(line.substr(1, line.find(']') - 1));
    } else if (line.find('=') != std::string_view::npos && !section.empty()) {
      std::string key(line.substr(0, line.find('=')));
      probes.push_back({section, key, ini.GetString(section, key, "\x01missing")});
    }
    start = end + 1;
  }
  return probes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzEnvironment& env = FuzzEnvironment::Get();
  env.Reset();
  OptionBytes in(data, size);
  const int sets = in.Below(4);
  std::vector<Probe> edits;
  for (int i = 0; i < sets; ++i) {
    Probe e;
    e.section = std::string(in.Take(in.Below(12)));
    e.key = std::string(in.Take(in.Below(12)));
    e.value = std::string(in.Take(in.Below(24)));
    edits.push_back(e);
  }
  const std::string text(in.Rest());

  IniFile ini;
  ini.Parse(text);
  Require(ini.Text() == text, "the text does not come back byte for byte");
  std::vector<Probe> probes = Probes(ini, text);
  for (const Probe& p : probes) {
    Require(ini.GetInt(p.section, p.key, 7) == 7 || p.value != "\x01missing",
            "a missing key reads as a number");
  }

  for (const Probe& e : edits) {
    if (!ini.SetString(e.section, e.key, e.value)) continue;
    const std::string expected = ReadBack(e.value);
    Require(ini.GetString(e.section, e.key, "\x01missing") == expected,
            "a key set reads back wrong");
    IniFile reread;
    reread.Parse(ini.Text());
    Require(reread.GetString(e.section, e.key, "\x01missing") == expected,
            "a key set reads back wrong from the text written");
    for (Probe& p : probes) {
      if (Fold(p.section) == Fold(e.section) && Fold(p.key) == Fold(e.key)) {
        p.value = expected;
        continue;
      }
      Require(ini.GetString(p.section, p.key, "\x01missing") == p.value,
              "setting one key changed another");
    }
  }

  return 0;
}
