#include "cli/FolderRun.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/CliRun.h"
#include "io/TextFile.h"
#include "platform/Codepage.h"
#include "platform/FileSystem.h"
#include "platform/MessageText.h"
#include "platform/Notifier.h"
#include "settings/ComparisonSettingsFile.h"

namespace korvel::cli {
namespace fs = std::filesystem;
namespace {

// What one side holds at a relative path: a file to compare, or why it cannot be.
struct SideFile {
  bool present = false;
  std::string failure;  // UTF-8; empty for a readable regular file
  std::uint64_t size = 0;
};

struct PairRow {
  std::string rel;
  SideFile left;
  SideFile right;
  // Filled by the run.
  std::string status;
  PairOutcome outcome;
  std::string messages;  // each line prefixed by the path
  bool done = false;
};

// Paths are shown with control characters and broken UTF-8 as '?'.
std::string Shown(std::string_view path) { return TextForMessage(path); }

bool Included(const std::string& include, const std::string& rel) {
  if (include.empty()) return true;
  for (std::size_t start = 0;;) {
    const std::size_t comma = std::min(include.find(',', start), include.size());
    if (SettingsPatternMatches(std::string_view(include).substr(start, comma - start), rel)) {
      return true;
    }
    if (comma == include.size()) return false;
    start = comma + 1;
  }
}

// Walks `root`, recording every file under its relative path. Links to files count as the
// files; links to folders are not followed; what is neither a file nor a folder, and a
// folder that cannot be read, is recorded with the reason it cannot be compared.
void ListFolder(const fs::path& root, const std::string& prefix, const std::string& include,
                std::map<std::string, SideFile>& files) {
  std::error_code ec;
  fs::directory_iterator it(root / prefix, ec);
  if (ec) {
    files[prefix.empty() ? "." : prefix] = {true, "読み込めないフォルダです。"};
    return;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    const std::string rel = prefix.empty() ? name : prefix + "/" + name;
    std::error_code statError;
    const fs::file_status link = it->symlink_status(statError);
    const fs::file_status target = fs::status(it->path(), statError);
    if (fs::is_directory(target) && !fs::is_symlink(link)) {
      ListFolder(root, rel, include, files);
      continue;
    }
    if (fs::is_directory(target)) continue;  // a link to a folder is not followed
    if (!Included(include, rel)) continue;
    if (statError) {
      files[rel] = {true, "リンク先がありません。"};
    } else if (!fs::is_regular_file(target)) {
      files[rel] = {true, "通常のファイルではありません。"};
    } else {
      files[rel] = {true, {}, static_cast<std::uint64_t>(fs::file_size(it->path(), statError))};
    }
  }
  if (ec) files[prefix.empty() ? "." : prefix] = {true, "読み込めないフォルダです。"};
}

// A JSON string of UTF-8 text.
std::string JsonText(std::string_view text) {
  std::string out = "\"";
  for (const char c : Shown(text)) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

std::string IndexLine(const PairRow& row) {
  const PairOutcome& r = row.outcome;
  std::string line = "{\"path\":" + JsonText(row.rel) + ",\"status\":\"" + row.status + "\"";
  if (r.compared) {
    line += ",\"left_total\":" + std::to_string(r.leftTotal) +
            ",\"right_total\":" + std::to_string(r.rightTotal) +
            ",\"differing\":" + std::to_string(r.differing) +
            ",\"left_only\":" + std::to_string(r.leftOnly) +
            ",\"right_only\":" + std::to_string(r.rightOnly) + ",\"encodings\":{\"left\":\"" +
            r.encodingLeft + "\",\"right\":\"" + r.encodingRight + "\"},\"warnings\":[";
    for (std::size_t i = 0; i < r.warnings.size(); ++i) {
      const RunWarning& w = r.warnings[i];
      line += std::string(i == 0 ? "" : ",") + "{\"code\":\"" +
              std::string(RunWarningWord(w.Kind)) + "\",\"left\":" + std::to_string(w.Left) +
              ",\"right\":" + std::to_string(w.Right) + "}";
    }
    line += "]";
  }
  return line + "}\n";
}

std::string Extension(const CliOptions& o, bool report) {
  if (report) return o.reportFormat == ReportFormatOption::kCsv ? ".csv" : ".jsonl";
  return o.format == ExportFormat::kCsv    ? ".csv"
         : o.format == ExportFormat::kXlsx ? ".xlsx"
                                           : ".xml";
}

void ComparePair(const CliOptions& o, PairRow& row) {
  // What cannot be read fails, whether or not the other side has it.
  if (!row.left.failure.empty() || !row.right.failure.empty()) {
    row.status = "失敗";
    row.messages = Shown(row.rel) + ": " +
                   (row.left.failure.empty() ? row.right.failure : row.left.failure) + "\n";
    return;
  }
  if (!row.left.present || !row.right.present) {
    row.status = row.left.present ? "左のみ" : "右のみ";
    return;
  }
  CliOptions p = o;
  p.folders = false;
  p.left = (fs::path(o.left) / row.rel).string();
  p.right = (fs::path(o.right) / row.rel).string();
  p.settingsMatchPath = row.rel;
  std::error_code ec;
  if (!o.reportDir.empty()) {
    p.reportPath = (fs::path(o.reportDir) / (row.rel + Extension(o, true))).string();
    fs::create_directories(fs::path(p.reportPath).parent_path(), ec);
  }
  if (!o.exportDir.empty()) {
    p.exportPath = (fs::path(o.exportDir) / (row.rel + Extension(o, false))).string();
    fs::create_directories(fs::path(p.exportPath).parent_path(), ec);
  }
  std::ostringstream out;
  std::ostringstream err;
  RecordingNotifier notifier;
  const int code = RunPair(std::move(p), out, err, notifier, &row.outcome, true);
  row.status = code == kExitSame ? "同一" : code == kExitDifferent ? "相違" : "失敗";
  std::string told = err.str();
  for (const std::string& text : notifier.Texts()) told += text + "\n";
  // "出力を完了しました。" is no news for each of a hundred exports.
  for (std::size_t start = 0; start < told.size();) {
    const std::size_t end = std::min(told.find('\n', start), told.size());
    const std::string line = told.substr(start, end - start);
    if (!line.empty() && line != "出力を完了しました。")
      row.messages += Shown(row.rel) + ": " + line + "\n";
    start = end + 1;
  }
}

std::string RowLine(const PairRow& row) {
  std::string line = row.status + "\t" + Shown(row.rel);
  const PairOutcome& r = row.outcome;
  if (!r.compared) return line + "\t-\t-\t-\t-\t-\n";
  return line + "\t" + std::to_string(r.leftTotal) + "\t" + std::to_string(r.rightTotal) + "\t" +
         std::to_string(r.differing) + "\t" + std::to_string(r.leftOnly) + "\t" +
         std::to_string(r.rightOnly) + "\n";
}

// Runs the rows on `jobs` threads, each started only while its estimated peak fits in the
// budget beside the running ones (or, too large for it, alone); rows are marked done.
class Scheduler {
 public:
  Scheduler(const CliOptions& o, std::vector<PairRow>& rows, int jobs, std::uint64_t budget,
            FolderRunStats* stats)
      : o_(o), rows_(rows), jobs_(jobs), budget_(budget), stats_(stats) {}

  void Start() {
    for (int i = 0; i < jobs_; ++i) threads_.emplace_back([this] { Work(); });
  }
  void WaitFor(std::size_t i) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return rows_[i].done; });
  }
  void Join() {
    for (std::thread& t : threads_) t.join();
  }

 private:
  std::uint64_t Cost(const PairRow& row) const {
    return EstimatedPeak(row.left.size + row.right.size);
  }
  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] {
        return next_ == rows_.size() || running_.empty() || used_ + Cost(rows_[next_]) <= budget_;
      });
      if (next_ == rows_.size()) return;
      const std::size_t i = next_++;
      const std::uint64_t cost = Cost(rows_[i]);
      used_ += cost;
      if (stats_ != nullptr) {
        for (const std::size_t r : running_) ++stats_->overlap[rows_[r].rel];
        stats_->overlap[rows_[i].rel] += static_cast<int>(running_.size());
      }
      running_.push_back(i);
      lock.unlock();
      ComparePair(o_, rows_[i]);
      lock.lock();
      used_ -= cost;
      running_.erase(std::find(running_.begin(), running_.end(), i));
      rows_[i].done = true;
      changed_.notify_all();
    }
  }

  const CliOptions& o_;
  std::vector<PairRow>& rows_;
  int jobs_;
  std::uint64_t budget_;
  FolderRunStats* stats_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t next_ = 0;
  std::uint64_t used_ = 0;
  std::vector<std::size_t> running_;
  std::vector<std::thread> threads_;
};

int Usage(std::ostream& err, const std::string& reason) {
  err << "korvel-cli: " << reason << '\n';
  return kExitFailed;
}

bool WriteIndex(const CliOptions& o, const std::vector<PairRow>& rows, std::ostream& err) {
  std::string text;
  for (const PairRow& row : rows) text += IndexLine(row);
  const std::string path = (fs::path(o.reportDir) / "index.jsonl").string();
  TextFile file;
  file.SetReplace(o.force);
  if (file.Open(path, TextFile::kModeWrite, kEncodingUtf8) == 0) {
    const bool written =
        file.Write(text.data(), static_cast<int>(text.size())) == static_cast<int>(text.size());
    const int closed = file.Close();
    if (written && closed == 0) return true;
    if (closed == TextFile::kTargetExists) {
      err << "korvel-cli: " << Shown(path) << ": 既にファイルが存在します。\n";
      return false;
    }
  } else if (file.OpenRefusal() == FileSystem::kTargetExists) {
    err << "korvel-cli: " << Shown(path) << ": 既にファイルが存在します。\n";
    return false;
  }
  err << "korvel-cli: " << Shown(path) << ": 書き込みに失敗しました。\n";
  return false;
}

}  // namespace

std::uint64_t DefaultFolderBudget() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page <= 0) return std::uint64_t{4} << 30;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page) / 10 * 7;
}

// Measured peaks run from 1.2 to 1.9 times the input for one key and six; a pair also holds
// its pairs and, for a report or export, its buffers.
std::uint64_t EstimatedPeak(std::uint64_t bytes) { return bytes * 2 + (std::uint64_t{8} << 20); }

int RunFolders(const CliOptions& o, std::ostream& out, std::ostream& err, Notifier& notifier,
               std::uint64_t budget, FolderRunStats* stats) {
  (void)notifier;
  if (!o.reportPath.empty() || !o.exportPath.empty() || o.pairs || o.fieldSummary ||
      !o.saveSettingsPath.empty()) {
    return Usage(err,
                 "--folders には --report-dir と --export-dir を使ってください (--report, "
                 "--export, --pairs, --field-summary, --save-settings は指定できません)。");
  }
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  if (!o.jobs.empty()) {
    auto [end, ec] = std::from_chars(o.jobs.data(), o.jobs.data() + o.jobs.size(), jobs);
    if (ec != std::errc() || end != o.jobs.data() + o.jobs.size() || jobs < 1 || jobs > 256) {
      return Usage(err, "--jobs の値が正しくありません: " + o.jobs);
    }
  }
  std::error_code ec;
  for (const std::string& folder : {o.left, o.right}) {
    if (!fs::exists(folder, ec)) return Usage(err, "フォルダが見付かりません: " + Shown(folder));
    if (!fs::is_directory(folder, ec))
      return Usage(err, "フォルダではありません: " + Shown(folder));
  }
  if (fs::equivalent(o.left, o.right, ec)) {
    return Usage(err, "左右に同じフォルダが指定されています: " + Shown(o.left));
  }
  std::map<std::string, SideFile> left;
  std::map<std::string, SideFile> right;
  ListFolder(o.left, "", o.include, left);
  ListFolder(o.right, "", o.include, right);
  std::map<std::string, PairRow> byPath;
  for (const auto& [rel, file] : left) byPath[rel].left = file;
  for (const auto& [rel, file] : right) byPath[rel].right = file;
  std::vector<PairRow> rows;
  rows.reserve(byPath.size());
  for (auto& [rel, row] : byPath) {
    row.rel = rel;
    rows.push_back(std::move(row));
  }

  Scheduler scheduler(o, rows, jobs, budget, stats);
  scheduler.Start();
  int counts[5] = {};  // 同一, 相違, 左のみ, 右のみ, 失敗
  static const std::string kStatuses[] = {"同一", "相違", "左のみ", "右のみ", "失敗"};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    scheduler.WaitFor(i);
    out << RowLine(rows[i]);
    out.flush();
    err << rows[i].messages;
    for (int k = 0; k < 5; ++k) counts[k] += rows[i].status == kStatuses[k];
  }
  scheduler.Join();
  out << "ファイル数:" << rows.size() << "件 同一:" << counts[0] << "件 相違:" << counts[1]
      << "件 左のみ:" << counts[2] << "件 右のみ:" << counts[3] << "件 失敗:" << counts[4]
      << "件\n";
  bool failed = counts[4] > 0;
  if (!o.reportDir.empty()) {
    fs::create_directories(o.reportDir, ec);
    failed = !WriteIndex(o, rows, err) || failed;
  }
  if (failed) return kExitFailed;
  return counts[1] + counts[2] + counts[3] > 0 ? kExitDifferent : kExitSame;
}

}  // namespace korvel::cli
