#include "compare/FixDefinitionFile.h"

#include <charconv>

#include "io/PathText.h"
#include "io/StringList.h"
#include "io/TextFile.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

// Without a message: ApplyFixDefinitions checks silently, CheckFixDefinitions with one.
int CheckRows(const FixDefinitionRows& rows, int* failedRow) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    int code = kFixCheckOk;
    const int size = ParseFixSize(rows[i].size);
    if (rows[i].name.size() > static_cast<std::size_t>(kFixMaxNameBytes)) {
      code = kFixNameTooLong;
    } else if (size < kFixMinSize) {
      code = kFixSizeTooSmall;
    } else if (size > kFixMaxSize) {
      code = kFixSizeTooLarge;
    }
    if (code != kFixCheckOk) {
      if (failedRow) *failedRow = static_cast<int>(i);
      return code;
    }
  }
  if (rows.empty()) {
    if (failedRow) *failedRow = -1;
    return kFixNoDefinition;
  }
  return kFixCheckOk;
}

const char* CheckMessage(int code) {
  switch (code) {
    case kFixNameTooLong:
      return "名前が長すぎます。";
    case kFixSizeTooSmall:
      return "サイズが不正です。１以上の値を入力してください。";
    case kFixSizeTooLarge:
      return "サイズが不正です。500以内の値を入力してください。";
    default:
      return "サイズを指定してください。";
  }
}

}  // namespace

int ParseFixSize(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  // from_chars takes a minus sign but not a plus sign.
  if (text.size() >= 2 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return 0;
  return value;
}

std::vector<long long> FixStartPositions(const FixDefinitionRows& rows) {
  std::vector<long long> starts;
  starts.reserve(rows.size());
  long long next = 1;
  for (const FixDefinitionRow& row : rows) {
    starts.push_back(next);
    next += ParseFixSize(row.size);
  }
  return starts;
}

Status CheckFixDefinitions(const FixDefinitionRows& rows, int* failedRow) {
  if (failedRow) *failedRow = -1;
  int code = CheckRows(rows, failedRow);
  if (code != kFixCheckOk) return Status::Warning(code, Sjis(CheckMessage(code)));
  return Status::Ok();
}

Status ApplyFixDefinitions(const FixDefinitionRows& rows, FixedWidthReader& fix) {
  int code = CheckRows(rows, nullptr);
  if (code != kFixCheckOk) return Status(code);
  fix.ClearDefinitions();
  for (const FixDefinitionRow& row : rows) {
    Status added = fix.AddDefinition(row.name, ParseFixSize(row.size));
    if (!added.IsOk()) return added;
  }
  return Status::Ok();
}

FixDefinitionRows RowsFromFix(const FixedWidthReader& fix) {
  FixDefinitionRows rows;
  FixDefinition record;
  for (int i = 0; fix.GetDefinition(i, record); ++i) {
    rows.push_back({record.name, std::to_string(record.length)});
  }
  return rows;
}

std::string WithDatExtension(std::string path) {
  PathText::ChangeExtension(path, ".dat", false);
  return path;
}

Status LoadFixDefinitionFile(const std::string& path, FixDefinitionRows& rows) {
  StringList lines;
  int count = lines.LoadFromFile(path);
  if (count < 0) {
    return lines.TakeError().Then(Status::Warning(-1, Sjis("ファイルの読み込みに失敗しました。")));
  }
  FixDefinitionRows loaded;
  loaded.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::string_view line = lines.GetView(i);
    loaded.push_back({PathText::GetToken(line, 0, '\t'), PathText::GetToken(line, 1, '\t')});
  }
  rows.swap(loaded);
  return Status::Ok();
}

Status WriteFixDefinitionFile(const std::string& path, const FixDefinitionRows& rows) {
  StringList lines;
  Status stored;
  for (const FixDefinitionRow& row : rows) {
    std::string line = row.name + "\t" + std::to_string(ParseFixSize(row.size));
    if (lines.Add(line.data(), static_cast<int>(line.size())) == 0) {
      stored = lines.TakeError().Then(Status(-1));
      break;
    }
  }
  if (!stored.IsOk() || lines.SaveToFile(path) != static_cast<int>(rows.size())) {
    return std::move(stored).Then(Status::Warning(-1, Sjis("保存に失敗しました。")));
  }
  return Status::Notice(Sjis("保存しました。"));
}

Status SaveFixDefinitionFile(const std::string& path, const FixDefinitionRows& rows,
                             Prompter& prompter) {
  Status checked = CheckFixDefinitions(rows);
  if (!checked.IsOk()) return std::move(checked).Then(Status(1));
  checked = CheckOutputPath(path, prompter);
  if (!checked.IsOk()) return std::move(checked).Then(Status(1));
  return WriteFixDefinitionFile(path, rows);
}

}  // namespace korvel
