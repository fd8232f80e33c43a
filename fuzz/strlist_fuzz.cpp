// StringList::LoadFromFile and SaveToFile, and the pooled item storage behind them. The
// first byte gives a number of edits (each three bytes: kind, index, length) made after
// loading; the rest is the file. Every run checks the loaded lines against the line rules,
// the edits against a plain list of strings, and that saving and loading again keeps the
// items.

#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "io/StringList.h"
#include "platform/Codepage.h"

namespace {

using korvel::StringList;
using namespace korvel::fuzz;

constexpr std::size_t kLineLimit = 1024;

std::vector<std::string> Items(const StringList& list) {
  std::vector<std::string> items;
  for (int i = 0; i < list.Count(); ++i) items.emplace_back(list.GetView(i));
  return items;
}

void CheckLoaded(const StringList& list, std::string_view file) {
  std::string joined;
  for (int i = 0; i < list.Count(); ++i) {
    std::string_view item = list.GetView(i);
    Require(item.size() <= kLineLimit, "an item longer than a line may be");
    Require(item.find_first_of("\r\n") == std::string_view::npos, "an item holds a line break");
    joined += item;
  }
  // The file is read as Shift-JIS text, every duplicate code taking its character's one.
  std::string text(file);
  korvel::UnifyDuplicateCodes(text.data(), text.size());
  std::string expected;
  std::size_t crs = 0;
  for (char c : text) {
    if (c == '\r') ++crs;
    if (c != '\r' && c != '\n') expected += c;
  }
  Require(joined == expected, "the items do not hold the file's bytes");
  Require(static_cast<std::size_t>(list.Count()) >= crs, "fewer items than lines");
}

// Edits the list and a model of it alike and compares them.
void Edit(StringList& list, std::vector<std::string>& model, OptionBytes& ops, int count) {
  for (int k = 0; k < count; ++k) {
    const int kind = ops.Below(3);
    const int index = ops.Below(static_cast<int>(model.size()) + 4);
    const int length = ops.Byte() % 64;
    const std::string value(static_cast<std::size_t>(length), static_cast<char>('a' + k % 26));
    const auto at = static_cast<std::size_t>(index);
    if (kind == 2) {
      Require(list.Insert(index) == 1, "Insert failed");
      if (at < model.size()) {
        model.insert(model.begin() + index, std::string());
      } else {
        model.resize(at + 1);
      }
    } else {
      Require(list.Set(index, value.data(), length) == 1, "Set failed");
      if (at >= model.size()) model.resize(at + 1);
      model[at] = value;
    }
    Require(Items(list) == model, "the list differs from its model after an edit");
    for (int i = 0; i < list.Count(); ++i) {
      const std::string& item = model[static_cast<std::size_t>(i)];
      const char* text = list.GetText(i);
      Require(std::memcmp(text, item.data(), item.size()) == 0 && text[item.size()] == '\0',
              "an item is not NUL-terminated after its length");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzEnvironment& env = FuzzEnvironment::Get();
  env.Reset();
  OptionBytes in(data, size);
  const int edits = in.Below(16);
  const std::string_view editBytes = in.Take(3 * static_cast<std::size_t>(edits));
  OptionBytes ops(reinterpret_cast<const std::uint8_t*>(editBytes.data()), editBytes.size());
  const std::string file(in.Rest());
  env.files.Put("lines.dat", file);

  StringList list;
  const int loaded = list.LoadFromFile("lines.dat");
  Require(loaded == list.Count(), "LoadFromFile counted other than it stored");
  Require(env.files.OpenCount() == 0, "LoadFromFile left its file open");
  CheckLoaded(list, file);

  std::vector<std::string> model = Items(list);
  Edit(list, model, ops, edits);

  Require(list.SaveToFile("saved.dat") == list.Count(), "SaveToFile failed");
  StringList again;
  Require(again.LoadFromFile("saved.dat") >= 0, "a saved file does not load");
  bool shortItems = true;
  for (const std::string& item : model) shortItems = shortItems && item.size() < kLineLimit;
  if (shortItems) Require(Items(again) == model, "saving and loading changed the items");
  Require(again.LoadFromFile("missing.dat") == -1 && again.Count() == 0,
          "a missing file is not reported");
  return 0;
}
