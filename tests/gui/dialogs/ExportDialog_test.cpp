#include "dialogs/ExportDialog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "core/export/ExportTestSource.h"
#include "dialogs/FileChooser.h"
#include "gui/GuiTest.h"
#include "platform/FileSystem.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

namespace korvel {
namespace {

using test::MemoryExportSource;
using test::ReadFileBytes;
using test::TempDir;
using Texts = std::vector<std::string>;

const char kDone[] = "出力を完了しました。";
const char kOpenFailed[] = "ファイルオープンに失敗しました。";
const char kWriteFailed[] = "書き込みに失敗しました。";
const char kNoPath[] = "出力先を指定してください。";
const char kOverwrite[] = "既にファイルが存在します。上書きしてよろしいですか？";
const char kLarge[] = "データ件数が多いため出力に時間がかかりますがよろしいですか？";

// Records the boxes, and whether any was shown while the busy cursor was still up.
class CheckingNotifier : public RecordingNotifier {
 public:
  bool Show(const MessageBoxSpec& box) override {
    if (QApplication::overrideCursor()) ++shownBusy;
    return RecordingNotifier::Show(box);
  }
  int shownBusy = 0;
};

// Real file calls, except that every write fails (a full disk); counts the writes tried.
class FailingWriteFileSystem : public FileSystem {
 public:
  ssize_t Write(int, const void*, std::size_t) override {
    ++writes;
    return -1;
  }
  int writes = 0;
};

// Notes the cursor shown while the export writes.
class CursorWatchingFileSystem : public FileSystem {
 public:
  ssize_t Write(int fd, const void* buffer, std::size_t count) override {
    const QCursor* cursor = QApplication::overrideCursor();
    if (cursor && cursor->shape() == Qt::WaitCursor)
      ++busyWrites;
    else
      ++idleWrites;
    return FileSystem::Write(fd, buffer, count);
  }
  int busyWrites = 0;
  int idleWrites = 0;
};

// Refuses to open one file for writing, as the system does for a read-only file.
class ReadOnlyFileSystem : public FileSystem {
 public:
  explicit ReadOnlyFileSystem(std::string path) : path_(std::move(path)) {}
  int Open(const std::string& path, OpenMode mode) override {
    if (path == path_ && mode != OpenMode::kRead) return -1;
    return FileSystem::Open(path, mode);
  }
  int BeginWrite(const std::string& path, int flags) override {
    if (path == path_) return -1;
    return FileSystem::BeginWrite(path, flags);
  }

 private:
  std::string path_;
};

class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem* fs) : previous_(SetFileSystem(fs)) {}
  ~ScopedFileSystem() { SetFileSystem(previous_); }

 private:
  FileSystem* previous_;
};

// `pairs` equal pairs of three fields, the first a key.
MemoryExportSource ManyPairs(int pairs) {
  MemoryExportSource s;
  for (int f = 1; f <= 3; ++f) s.fields.push_back({f, f == 1, false, "F" + std::to_string(f)});
  for (int i = 0; i < pairs; ++i) {
    MemoryExportSource::Row row{std::to_string(i), "a", "b"};
    s.left.push_back(row);
    s.right.push_back(row);
    s.pairs.push_back({0, i, i});
  }
  return s;
}

// The texts of the boxes, one string, so that a failure shows them all.
QString Join(const Texts& texts) {
  QStringList list;
  for (const std::string& text : texts) list.append(QString::fromStdString(text));
  return list.join(QStringLiteral(" | "));
}

QString QPath(const std::string& utf8) { return QString::fromStdString(utf8); }

// Clicks a radio button on its indicator, where a user would.
void ClickRadio(QRadioButton* radio) {
  QTest::mouseClick(radio, Qt::LeftButton, Qt::NoModifier, QPoint(6, radio->height() / 2));
}

void Click(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
}

// Replaces whatever the path box holds by typing `text`.
void TypePath(ExportDialog& dialog, const std::string& text) {
  QTest::keyClick(dialog.txt_Path, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(dialog.txt_Path, Qt::Key_Delete);
  QTest::keyClicks(dialog.txt_Path, QPath(text));
}

QRadioButton* FormatButton(ExportDialog& dialog, ExportFormat format) {
  return format == ExportFormat::kXml ? dialog.rdo_ExpFormatXML : dialog.rdo_ExpFormatCSV;
}

QRadioButton* LayoutButton(ExportDialog& dialog, ExportLayout layout) {
  switch (layout) {
    case ExportLayout::kPerSheet:
      return dialog.rdo_ExpKindSheet;
    case ExportLayout::kAlternateFields:
      return dialog.rdo_ExpKindCol;
    case ExportLayout::kAlternateRows:
      break;
  }
  return dialog.rdo_ExpKindRow;
}

// A shown dialog over `source`, with the checking notifier installed for its lifetime.
struct Fixture {
  explicit Fixture(const ExportSource& source) : dialog(source), scoped(&notifier) {
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
  }
  ExportDialog dialog;
  CheckingNotifier notifier;
  ScopedNotifier scoped;
};

// Real file calls, except that the whole-or-nothing file of a writer that writes by name
// cannot be begun, or cannot be given its name at the end.
class NamedWriteFailingFileSystem : public FileSystem {
 public:
  explicit NamedWriteFailingFileSystem(bool failBegin) : failBegin_(failBegin) {}
  int BeginNamedWrite(const std::string& path, int flags, std::string* tempPath,
                      std::string* folder) override {
    ++begun;
    if (failBegin_) {
      tempPath->clear();
      folder->clear();
      return -1;
    }
    return FileSystem::BeginNamedWrite(path, flags, tempPath, folder);
  }
  int CommitWrite(int fd, bool replace) override {
    if (failBegin_) return FileSystem::CommitWrite(fd, replace);
    FileSystem::AbandonWrite(fd);
    return -1;
  }
  int begun = 0;

 private:
  bool failBegin_;
};

// True when the two workbooks hold the same parts with the same bytes, all but the one
// that records when the workbook was made.
bool SameWorkbook(const std::string& a, const std::string& b) {
  const std::string command =
      "python3 -c \"import sys, zipfile\n"
      "a, b = zipfile.ZipFile(sys.argv[1]), zipfile.ZipFile(sys.argv[2])\n"
      "names = sorted(a.namelist())\n"
      "assert names == sorted(b.namelist()) and 'xl/worksheets/sheet1.xml' in names\n"
      "assert all(a.read(n) == b.read(n) for n in names if n != 'docProps/core.xml')\" '" +
      a + "' '" + b + "'";
  return std::system(command.c_str()) == 0;
}

}  // namespace

class ExportDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void startsWithTheProgramsFormAndTabOrder();
  void everyFormatAndLayoutWritesWhatTheEngineWrites();
  void formatClickChangesTheExtension();
  void browsingAddsTheFormatsExtension();
  void largeXmlExportAsksAfterTheOverwriteQuestion();
  void refusalsAndFailuresAreReportedAndLeaveFilesAlone();
  void readOnlyFileIsNotReplaced();
  void defaultPickerShowsTheProgramsFilters();
  void busyCursorCoversOnlyTheWriting();
  void staysOpenForFurtherExportsUntilCancelled();
  void excelFormatWritesAWorkbookWithoutTheSizeQuestion();
  void thePickerOpensInTheOutputFolderWithItsColumnsWhole();
  void stoppingAnExcelExportLeavesTheFileAndTheWindowFree();
};

void ExportDialogTest::startsWithTheProgramsFormAndTabOrder() {
  MemoryExportSource source = test::SampleSource();
  Fixture f(source);
  ExportDialog& d = f.dialog;
  QCOMPARE(d.windowTitle(), Q("結果エクスポート"));
  QCOMPARE(d.size(), QSize(491, 227));
  QCOMPARE(d.minimumSize(), d.maximumSize());
  QCOMPARE(d.grp_ExpFormat->title(), Q("出力形式"));
  QCOMPARE(d.grp_ExpKind->title(), Q("出力方法"));
  QCOMPARE(d.rdo_ExpFormatXML->text(), Q("XML"));
  QCOMPARE(d.rdo_ExpFormatCSV->text(), Q("CSV(カンマ区切り)"));
  QCOMPARE(d.rdo_ExpKindSheet->text(), Q("シート別"));
  QCOMPARE(d.rdo_ExpKindCol->text(), Q("項目毎交互"));
  QCOMPARE(d.rdo_ExpKindRow->text(), Q("行交互"));
  QCOMPARE(d.Label1->text(), Q("出力先"));
  QCOMPARE(d.cmd_Run->text(), Q("出力実行(&R)"));
  QCOMPARE(d.cmd_Cancel->text(), Q("キャンセル(&C)"));
  QVERIFY(!d.cmd_PathA->icon().isNull());
  QCOMPARE(d.txt_Path->geometry(), QRect(64, 128, 353, 20));
  QCOMPARE(d.cmd_PathA->geometry(), QRect(416, 128, 25, 20));
  QCOMPARE(d.cmd_Run->geometry(), QRect(264, 176, 97, 33));
  QCOMPARE(d.cmd_Cancel->geometry(), QRect(368, 176, 97, 33));

  QVERIFY(d.rdo_ExpFormatXML->isChecked());
  QVERIFY(d.rdo_ExpKindCol->isChecked());
  QCOMPARE(d.Format(), ExportFormat::kXml);
  QCOMPARE(d.Layout(), ExportLayout::kAlternateFields);
  QVERIFY(d.txt_Path->text().isEmpty());

  // The path box has the focus first; Tab runs through the buttons, then the groups.
  QCOMPARE(QApplication::focusWidget(), d.txt_Path);
  std::vector<QWidget*> visited;
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget());
  }
  const std::vector<QWidget*> expected{d.cmd_Run, d.cmd_Cancel, d.rdo_ExpFormatXML,
                                       d.rdo_ExpKindCol, d.txt_Path};
  QVERIFY(visited == expected);

  // Tab enters each group at its chosen button; the arrow keys choose within the group.
  QTest::keyClick(d.txt_Path, Qt::Key_Backtab);
  QCOMPARE(QApplication::focusWidget(), d.rdo_ExpKindCol);
  QTest::keyClick(d.rdo_ExpKindCol, Qt::Key_Right);
  QVERIFY(d.rdo_ExpKindRow->isChecked());
  QCOMPARE(QApplication::focusWidget(), d.rdo_ExpKindRow);
  ClickRadio(d.rdo_ExpFormatCSV);
  d.cmd_Cancel->setFocus();
  QTest::keyClick(d.cmd_Cancel, Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), d.rdo_ExpFormatCSV);
  QTest::keyClick(d.rdo_ExpFormatCSV, Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), d.rdo_ExpKindRow);

  // Enter in the path box starts nothing.
  d.txt_Path->setFocus();
  TypePath(d, "/nowhere/x.xml");
  QTest::keyClick(d.txt_Path, Qt::Key_Return);
  QVERIFY(f.notifier.Entries().empty());
  QVERIFY(d.isVisible());
}

void ExportDialogTest::everyFormatAndLayoutWritesWhatTheEngineWrites() {
  MemoryExportSource sample = test::SampleSource();
  MemoryExportSource empty;  // before any comparison: headers only
  empty.leftPath = "/a.csv";
  empty.rightPath = "/b.csv";
  TempDir dir;
  const ExportFormat formats[] = {ExportFormat::kXml, ExportFormat::kCsv};
  const ExportLayout layouts[] = {ExportLayout::kPerSheet, ExportLayout::kAlternateFields,
                                  ExportLayout::kAlternateRows};
  int n = 0;
  for (const MemoryExportSource* source : {&sample, &empty}) {
    // One showing makes all six exports.
    Fixture f(*source);
    for (ExportFormat format : formats) {
      for (ExportLayout layout : layouts) {
        const std::string path = dir.File("out" + std::to_string(++n) +
                                          (format == ExportFormat::kXml ? ".xml" : ".csv"));
        ClickRadio(FormatButton(f.dialog, format));
        ClickRadio(LayoutButton(f.dialog, layout));
        QCOMPARE(f.dialog.Format(), format);
        QCOMPARE(f.dialog.Layout(), layout);
        TypePath(f.dialog, path);
        f.notifier.Clear();
        Click(f.dialog.cmd_Run);
        QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kDone}));
        QCOMPARE(f.notifier.Entries()[0].box.icon, MessageIcon::kInformation);
        const std::string expected = test::ExportBytes(*source, format, layout);
        QVERIFY(expected.size() > 0);
        QVERIFY2(ReadFileBytes(path) == expected, path.c_str());
        QVERIFY(f.dialog.isVisible());
      }
    }
    QCOMPARE(f.notifier.shownBusy, 0);
  }

  // A path with Japanese names reaches the file system as UTF-8.
  MemoryExportSource s = test::SampleSource();
  Fixture f(s);
  const std::string folder = dir.File("出力先");
  std::filesystem::create_directory(folder);
  const std::string path = folder + "/結果.csv";
  ClickRadio(f.dialog.rdo_ExpFormatCSV);
  f.dialog.txt_Path->setText(QPath(path));
  Click(f.dialog.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kDone}));
  QVERIFY(ReadFileBytes(path) ==
          test::ExportBytes(s, ExportFormat::kCsv, ExportLayout::kAlternateFields));
}

void ExportDialogTest::formatClickChangesTheExtension() {
  MemoryExportSource source = test::SampleSource();
  Fixture f(source);
  ExportDialog& d = f.dialog;

  // Nothing to change in an empty box.
  ClickRadio(d.rdo_ExpFormatCSV);
  QVERIFY(d.txt_Path->text().isEmpty());
  ClickRadio(d.rdo_ExpFormatXML);
  QVERIFY(d.txt_Path->text().isEmpty());

  TypePath(d, "/out/result.old.xml");
  ClickRadio(d.rdo_ExpFormatCSV);
  QCOMPARE(d.txt_Path->text(), Q("/out/result.csv"));
  ClickRadio(d.rdo_ExpFormatXML);
  QCOMPARE(d.txt_Path->text(), Q("/out/result.xml"));

  // A dot in a folder's name does not count.
  TypePath(d, "/out.d/result");
  ClickRadio(d.rdo_ExpFormatCSV);
  QCOMPARE(d.txt_Path->text(), Q("/out.d/result.csv"));

  // Clicking the format already chosen changes nothing.
  TypePath(d, "/out/list.txt");
  ClickRadio(d.rdo_ExpFormatCSV);
  QCOMPARE(d.txt_Path->text(), Q("/out/list.txt"));

  // Choosing a layout leaves the path alone.
  ClickRadio(d.rdo_ExpKindRow);
  QCOMPARE(d.txt_Path->text(), Q("/out/list.txt"));

  // A name that is only an extension gets the new one.
  TypePath(d, "/out/.hidden");
  ClickRadio(d.rdo_ExpFormatXML);
  QCOMPARE(d.txt_Path->text(), Q("/out/.xml"));
  QVERIFY(f.notifier.Entries().empty());
}

void ExportDialogTest::browsingAddsTheFormatsExtension() {
  MemoryExportSource source = test::SampleSource();
  Fixture f(source);
  ExportDialog& d = f.dialog;
  std::vector<SaveDialogRequest> requests;
  std::vector<QString> answers;
  d.SetSaveDialog([&](QWidget* parent, const SaveDialogRequest& request) {
    if (parent != &d) return QString();
    requests.push_back(request);
    QString answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  });

  answers = {Q("/out/list.txt"), Q("/out/list"), Q("/out.d/list"), Q("/out/list"), QString()};
  Click(d.cmd_PathA);
  QCOMPARE(d.txt_Path->text(), Q("/out/list.txt"));
  Click(d.cmd_PathA);
  QCOMPARE(d.txt_Path->text(), Q("/out/list.xml"));
  Click(d.cmd_PathA);
  QCOMPARE(d.txt_Path->text(), Q("/out.d/list.xml"));
  ClickRadio(d.rdo_ExpFormatCSV);
  QCOMPARE(d.txt_Path->text(), Q("/out.d/list.csv"));
  Click(d.cmd_PathA);
  QCOMPARE(d.txt_Path->text(), Q("/out/list.csv"));
  // Cancelling the picker changes nothing.
  Click(d.cmd_PathA);
  QCOMPARE(d.txt_Path->text(), Q("/out/list.csv"));

  QCOMPARE(requests.size(), std::size_t{5});
  const QStringList filters{Q("xmlファイル(*.xml) (*.xml)"), Q("csvファイル(*.csv) (*.csv)"),
                            Q("xlsファイル(*.xls) (*.xls)"), Q("Excel ブック (*.xlsx) (*.xlsx)"),
                            Q("全てのファイル(*.*) (*)")};
  QCOMPARE(requests[0].nameFilters, filters);
  QCOMPARE(requests[0].filterIndex, 1);
  QCOMPARE(requests[2].filterIndex, 1);
  QCOMPARE(requests[3].filterIndex, 2);
  QCOMPARE(requests[4].filterIndex, 2);
  // The picker opens on the name it returned last, as picked.
  QVERIFY(requests[0].fileName.isEmpty());
  QCOMPARE(requests[1].fileName, Q("/out/list.txt"));
  QCOMPARE(requests[4].fileName, Q("/out/list"));
  QVERIFY(f.notifier.Entries().empty());

  // Several patterns of one filter become Qt's space-separated list.
  QCOMPARE(ToQtNameFilters(Q("表(*.csv;*.tsv)|*.csv;*.tsv|余り")),
           QStringList{Q("表(*.csv;*.tsv) (*.csv *.tsv)")});
}

void ExportDialogTest::largeXmlExportAsksAfterTheOverwriteQuestion() {
  MemoryExportSource five = ManyPairs(500);
  MemoryExportSource more = ManyPairs(501);
  TempDir dir;
  const std::string path = dir.File("big.xml");
  {
    // Exactly 500 pairs: no question.
    Fixture f(five);
    TypePath(f.dialog, path);
    Click(f.dialog.cmd_Run);
    QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kDone}));
  }
  std::filesystem::remove(path);

  Fixture f(more);
  TypePath(f.dialog, path);
  // A new file: only the length question; No writes nothing.
  Click(f.dialog.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kLarge}));
  QCOMPARE(f.notifier.Entries()[0].box.caption, test::S("確認"));
  QCOMPARE(f.notifier.Entries()[0].box.buttons, MessageButtons::kYesNo);
  QVERIFY(!std::filesystem::exists(path));

  // An existing file: the overwrite question first; the file stays until both are Yes.
  dir.Write("big.xml", "keep me");
  for (bool overwrite : {false, true}) {
    f.notifier.Clear();
    f.notifier.QueueAnswer(overwrite);
    f.notifier.QueueAnswer(false);
    Click(f.dialog.cmd_Run);
    QCOMPARE(Join(f.notifier.Texts()),
             Join(overwrite ? Texts{kOverwrite, kLarge} : Texts{kOverwrite}));
    QCOMPARE(ReadFileBytes(path), std::string("keep me"));
  }
  f.notifier.Clear();
  f.notifier.QueueAnswer(true);
  f.notifier.QueueAnswer(true);
  Click(f.dialog.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kOverwrite, kLarge, kDone}));
  QVERIFY(ReadFileBytes(path) ==
          test::ExportBytes(more, ExportFormat::kXml, ExportLayout::kAlternateFields));

  // CSV never asks about the length.
  ClickRadio(f.dialog.rdo_ExpFormatCSV);
  QCOMPARE(f.dialog.txt_Path->text(), QPath(dir.File("big.csv")));
  f.notifier.Clear();
  Click(f.dialog.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kDone}));
  QVERIFY(f.dialog.isVisible());
}

void ExportDialogTest::refusalsAndFailuresAreReportedAndLeaveFilesAlone() {
  MemoryExportSource source = test::SampleSource();
  TempDir dir;
  Fixture f(source);
  ExportDialog& d = f.dialog;

  Click(d.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kNoPath}));
  QCOMPARE(f.notifier.Entries()[0].box.caption, test::S("注意"));
  QCOMPARE(f.notifier.Entries()[0].box.icon, MessageIcon::kWarning);

  // A missing folder: no question, the file cannot be created. A folder, a FIFO: no
  // question, they are no files to replace.
  const std::string missing = dir.File("no/such.xml");
  const std::string fifo = dir.File("fifo");
  QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {missing, dir.Path(), fifo}) {
    f.notifier.Clear();
    TypePath(d, path);
    Click(d.cmd_Run);
    const std::string refused = test::Cat("通常のファイルではないため出力できません。(", path, ")");
    QCOMPARE(Join(f.notifier.Texts()), Join(Texts{path == missing ? kOpenFailed : refused}));
    QCOMPARE(f.notifier.Entries()[0].box.icon, MessageIcon::kWarning);
  }
  QVERIFY(std::filesystem::is_fifo(fifo));
  std::filesystem::remove(fifo);
  QVERIFY(!std::filesystem::exists(dir.File("no")));
  QVERIFY(std::filesystem::is_directory(dir.Path()));

  // A file the system will not open for writing: asked, agreed, refused, kept.
  const std::string locked = dir.Write("locked.xml", "keep me");
  {
    ReadOnlyFileSystem fs(locked);
    ScopedFileSystem scopedFs(&fs);
    TypePath(d, locked);
    f.notifier.Clear();
    f.notifier.QueueAnswer(true);
    Click(d.cmd_Run);
    QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kOverwrite, kOpenFailed}));
  }
  QCOMPARE(ReadFileBytes(locked), std::string("keep me"));

  // A write that fails is reported instead of the completion.
  for (ExportFormat format : {ExportFormat::kXml, ExportFormat::kCsv}) {
    FailingWriteFileSystem fs;
    ScopedFileSystem scopedFs(&fs);
    ClickRadio(FormatButton(d, format));
    TypePath(d, dir.File(format == ExportFormat::kXml ? "full.xml" : "full.csv"));
    f.notifier.Clear();
    Click(d.cmd_Run);
    QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kWriteFailed}));
    QCOMPARE(f.notifier.Entries()[0].box.icon, MessageIcon::kWarning);
    QVERIFY(fs.writes > 0);
  }

  QCOMPARE(f.notifier.shownBusy, 0);
  QVERIFY(!QApplication::overrideCursor());
  QVERIFY(d.isVisible());

  // After all that, an export still works.
  const std::string good = dir.File("good.xml");
  TypePath(d, good);
  ClickRadio(d.rdo_ExpFormatXML);
  f.notifier.Clear();
  Click(d.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kDone}));
  QVERIFY(ReadFileBytes(good) ==
          test::ExportBytes(source, ExportFormat::kXml, ExportLayout::kAlternateFields));
}

void ExportDialogTest::readOnlyFileIsNotReplaced() {
  if (::geteuid() == 0) QSKIP("file modes do not stop the superuser from writing");
  MemoryExportSource source = test::SampleSource();
  TempDir dir;
  const std::string path = dir.Write("ro.csv", "keep me");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  Fixture f(source);
  ClickRadio(f.dialog.rdo_ExpFormatCSV);
  TypePath(f.dialog, path);
  f.notifier.QueueAnswer(true);
  Click(f.dialog.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kOverwrite, kOpenFailed}));
  QCOMPARE(ReadFileBytes(path), std::string("keep me"));
}

void ExportDialogTest::defaultPickerShowsTheProgramsFilters() {
  TempDir dir;
  // An existing name: the picker must not ask about replacing it (the export asks).
  const std::string existing = dir.Write("list.csv", "x");
  SaveDialogRequest request;
  request.nameFilters =
      ToQtNameFilters(Q("xmlファイル(*.xml)|*.xml|csvファイル(*.csv)|*.csv|"
                        "全てのファイル(*.*)|*.*"));
  request.filterIndex = 2;
  request.fileName = QPath(existing);
  QString shownFilter;
  QStringList shownNames;
  bool sawPicker = false;
  QTimer::singleShot(0, [&] {
    auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!picker) return;
    sawPicker = true;
    shownFilter = picker->selectedNameFilter();
    if (auto* combo = picker->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
      for (int i = 0; i < combo->count(); ++i) shownNames.append(combo->itemText(i));
    }
    auto* name = picker->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (name) QTest::keyClick(name, Qt::Key_Return);
  });
  // Ends any box left open, so that a fault fails the test instead of hanging it.
  QTimer guard;
  connect(&guard, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  guard.start(5000);
  const QString picked = ShowSaveFileDialog(nullptr, request);
  QVERIFY(sawPicker);
  QCOMPARE(picked, QPath(existing));
  QCOMPARE(shownFilter, Q("csvファイル(*.csv)"));
  QCOMPARE(shownNames, (QStringList{Q("xmlファイル(*.xml)"), Q("csvファイル(*.csv)"),
                                    Q("全てのファイル(*.*)")}));
}

void ExportDialogTest::busyCursorCoversOnlyTheWriting() {
  MemoryExportSource source = test::SampleSource();
  TempDir dir;
  Fixture f(source);
  CursorWatchingFileSystem fs;
  ScopedFileSystem scopedFs(&fs);
  TypePath(f.dialog, dir.File("a.xml"));
  Click(f.dialog.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kDone}));
  QVERIFY(fs.busyWrites > 0);
  QCOMPARE(fs.idleWrites, 0);
  QCOMPARE(f.notifier.shownBusy, 0);
  QVERIFY(!QApplication::overrideCursor());

  // A failed creation restores the cursor before its message.
  TypePath(f.dialog, dir.File("missing/a.xml"));
  f.notifier.Clear();
  Click(f.dialog.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kOpenFailed}));
  QCOMPARE(f.notifier.shownBusy, 0);
  QVERIFY(!QApplication::overrideCursor());
}

void ExportDialogTest::staysOpenForFurtherExportsUntilCancelled() {
  MemoryExportSource source = test::SampleSource();
  TempDir dir;
  CheckingNotifier notifier;
  ScopedNotifier scoped(&notifier);
  ExportDialog dialog(source);
  const std::string first = dir.File("first.xml");
  const std::string second = dir.File("first.csv");
  bool openAfterFirst = false;
  bool openAfterSecond = false;
  QString secondPath;
  // Drives the modal showing from inside its own event loop; always ends it.
  QTimer::singleShot(0, &dialog, [&] {
    TypePath(dialog, first);
    Click(dialog.cmd_Run);
    openAfterFirst = dialog.isVisible();
    ClickRadio(dialog.rdo_ExpFormatCSV);
    ClickRadio(dialog.rdo_ExpKindSheet);
    secondPath = dialog.txt_Path->text();
    Click(dialog.cmd_Run);
    openAfterSecond = dialog.isVisible();
    Click(dialog.cmd_Cancel);
    if (dialog.isVisible()) dialog.reject();
  });
  QCOMPARE(dialog.exec(), int(QDialog::Rejected));
  QVERIFY(openAfterFirst);
  QVERIFY(openAfterSecond);
  QCOMPARE(secondPath, QPath(second));
  QCOMPARE(Join(notifier.Texts()), Join(Texts{kDone, kDone}));
  QVERIFY(ReadFileBytes(first) ==
          test::ExportBytes(source, ExportFormat::kXml, ExportLayout::kAlternateFields));
  QVERIFY(ReadFileBytes(second) ==
          test::ExportBytes(source, ExportFormat::kCsv, ExportLayout::kPerSheet));
  QVERIFY(!dialog.isVisible());
}

void ExportDialogTest::excelFormatWritesAWorkbookWithoutTheSizeQuestion() {
  MemoryExportSource more = ManyPairs(501);
  TempDir dir;
  Fixture f(more);
  ExportDialog& d = f.dialog;
  QCOMPARE(d.rdo_ExpFormatXLSX->text(), Q("Excel(.xlsx)"));
  QVERIFY(!d.rdo_ExpFormatXLSX->isChecked());
  QVERIFY(d.rdo_ExpFormatXLSX->parentWidget() == d.grp_ExpFormat);
  QVERIFY(d.grp_ExpFormat->rect().contains(d.rdo_ExpFormatXLSX->geometry()));
  QVERIFY(!d.rdo_ExpFormatXLSX->geometry().intersects(d.rdo_ExpFormatCSV->geometry()));

  // The arrow keys reach it after CSV; the extension follows.
  const std::string xml = dir.File("big.xml");
  TypePath(d, xml);
  d.cmd_Cancel->setFocus();
  QTest::keyClick(d.cmd_Cancel, Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), d.rdo_ExpFormatXML);
  QTest::keyClick(d.rdo_ExpFormatXML, Qt::Key_Right);
  QTest::keyClick(d.rdo_ExpFormatCSV, Qt::Key_Right);
  QVERIFY(d.rdo_ExpFormatXLSX->isChecked());
  QCOMPARE(d.Format(), ExportFormat::kXlsx);
  QCOMPARE(d.txt_Path->text(), QPath(dir.File("big.xlsx")));
  ClickRadio(d.rdo_ExpFormatCSV);
  QCOMPARE(d.txt_Path->text(), QPath(dir.File("big.csv")));
  ClickRadio(d.rdo_ExpFormatXLSX);
  QCOMPARE(d.txt_Path->text(), QPath(dir.File("big.xlsx")));
  // Tab enters the format group at the chosen button.
  d.cmd_Cancel->setFocus();
  QTest::keyClick(d.cmd_Cancel, Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), d.rdo_ExpFormatXLSX);

  // More pairs than the XML export asks about: no question, the engine's workbook.
  const std::string path = dir.File("big.xlsx");
  ClickRadio(d.rdo_ExpKindRow);
  Click(d.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kDone}));
  QCOMPARE(f.notifier.shownBusy, 0);
  const std::string engine = dir.File("engine.xlsx");
  QCOMPARE(WriteExport(more, ExportFormat::kXlsx, ExportLayout::kAlternateRows, engine),
           kExportDone);
  QVERIFY(SameWorkbook(path, engine));
  // An existing file: only the overwrite question.
  f.notifier.Clear();
  f.notifier.QueueAnswer(true);
  Click(d.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kOverwrite, kDone}));
  QVERIFY(SameWorkbook(path, engine));

  // A workbook that cannot be begun or finished leaves the file as it was.
  const std::string kept = dir.Write("kept.xlsx", "keep me");
  TypePath(d, kept);
  for (bool failBegin : {true, false}) {
    NamedWriteFailingFileSystem fs(failBegin);
    ScopedFileSystem scopedFs(&fs);
    f.notifier.Clear();
    f.notifier.QueueAnswer(true);
    Click(d.cmd_Run);
    QCOMPARE(Join(f.notifier.Texts()),
             Join(Texts{kOverwrite, failBegin ? kOpenFailed : kWriteFailed}));
    QCOMPARE(fs.begun, 1);
    QCOMPARE(ReadFileBytes(kept), std::string("keep me"));
  }
  QCOMPARE(test::FolderEntries(dir.Path()), (Texts{"big.xlsx", "engine.xlsx", "kept.xlsx"}));
  QVERIFY(!QApplication::overrideCursor());

  // The picker opens on Excel ブック, and the picked name gets the extension.
  std::vector<SaveDialogRequest> requests;
  d.SetSaveDialog([&](QWidget*, const SaveDialogRequest& request) {
    requests.push_back(request);
    return Q("/out/list");
  });
  Click(d.cmd_PathA);
  QCOMPARE(requests.size(), std::size_t{1});
  QCOMPARE(requests[0].filterIndex, 4);
  QCOMPARE(d.txt_Path->text(), Q("/out/list.xlsx"));
}

// Qt's own picker behind the browse button: it opens in the output path's folder, else where
// the last save went, lists Excel ブック, and shows its list's name, size, type and date
// columns whole.
void ExportDialogTest::thePickerOpensInTheOutputFolderWithItsColumnsWhole() {
  MemoryExportSource source = test::SampleSource();
  Fixture f(source);
  ExportDialog& d = f.dialog;
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  TempDir dir;
  std::filesystem::create_directories(dir.File("out"));
  std::filesystem::create_directories(dir.File("saved"));
  dir.Write("out/a sample file with a long name.xml", "x");
  dir.Write("saved/keep.xml", "x");
  struct Seen {
    QString folder;
    QStringList types;
    QStringList cut;  // the columns whose text did not fit
  };
  auto read = [](QFileDialog* picker, Seen& seen) {
    seen.folder = picker->directory().absolutePath();
    auto* types = test::Child<QComboBox>(picker, "fileTypeCombo");
    for (int i = 0; i < types->count(); ++i) seen.types << types->itemText(i);
    auto* list = test::Child<QTreeView>(picker, "treeView");
    QTRY_VERIFY(list->model()->rowCount(list->rootIndex()) > 0);
    QHeaderView* header = list->header();
    const int margin = list->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int c = 0; c < 4; ++c) {
      const QString text = list->model()->index(0, c, list->rootIndex()).data().toString();
      const QString title = list->model()->headerData(c, Qt::Horizontal).toString();
      const int room =
          header->sectionSize(c) - 2 * margin - (c == 0 ? list->iconSize().width() : 0);
      qWarning("DBG col %d text=%s title=%s size=%d room=%d adv=%d vp=%d", c, qPrintable(text),
               qPrintable(title), header->sectionSize(c), room,
               list->fontMetrics().horizontalAdvance(text), list->viewport()->width());
      if (list->fontMetrics().horizontalAdvance(text) > room ||
          header->fontMetrics().horizontalAdvance(title) > room) {
        seen.cut << title;
      }
    }
    const int end = header->sectionPosition(3) + header->sectionSize(3);
    if (end > list->viewport()->width()) seen.cut << QStringLiteral("beyond the list");
  };
  // Typed output folder: the picker opens there; a name typed into it is taken.
  TypePath(d, dir.File("out/result.xml"));
  Seen first;
  test::WhenModalShown([&](QWidget* modal) {
    auto* picker = qobject_cast<QFileDialog*>(modal);
    if (!picker) return modal->close(), void();
    read(picker, first);
    auto* name = test::Child<QLineEdit>(picker, "fileNameEdit");
    name->setFocus();
    name->clear();
    QTest::keyClicks(name, QPath(dir.File("saved/picked")));
    for (int tries = 0; tries < 3 && picker->isVisible(); ++tries) {
      QCoreApplication::processEvents();
      if (QWidget* popup = QApplication::activePopupWidget()) {
        QTest::keyClick(popup, Qt::Key_Escape);
      }
      QTest::keyClick(name, Qt::Key_Return);
    }
    if (picker->isVisible()) picker->reject();
  });
  Click(d.cmd_PathA);
  QCOMPARE(first.folder, QPath(dir.File("out")));
  QVERIFY(first.types.contains(Q("Excel ブック (*.xlsx)")));
  QVERIFY2(first.cut.isEmpty(), qPrintable(first.cut.join(QLatin1Char(','))));
  QCOMPARE(d.txt_Path->text(), QPath(dir.File("saved/picked.xml")));
  // A path in no existing folder: where the last save went.
  TypePath(d, "/nowhere/at/all.xml");
  Seen second;
  test::WhenModalShown([&](QWidget* modal) {
    if (auto* picker = qobject_cast<QFileDialog*>(modal)) read(picker, second);
    if (modal->isVisible()) modal->close();
  });
  Click(d.cmd_PathA);
  QCOMPARE(second.folder, QPath(dir.File("saved")));
  QVERIFY2(second.cut.isEmpty(), qPrintable(second.cut.join(QLatin1Char(','))));
}

// Holds the beginning of a workbook's write until Release: an export slow to get going.
class HeldBegin : public FileSystem {
 public:
  int BeginNamedWrite(const std::string& path, int flags, std::string* tempPath,
                      std::string* folder) override {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      released_.wait(lock, [this] { return free_; });
    }
    return FileSystem::BeginNamedWrite(path, flags, tempPath, folder);
  }
  void Release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      free_ = true;
    }
    released_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool free_ = false;
};

// 中止 during an Excel export: no message, the old file whole and nothing beside it, and
// the dialog takes the next export at once.
void ExportDialogTest::stoppingAnExcelExportLeavesTheFileAndTheWindowFree() {
  MemoryExportSource source = test::SampleSource();
  TempDir dir;
  Fixture f(source);
  ExportDialog& d = f.dialog;
  const std::string path = dir.Write("out.xlsx", "old");
  ClickRadio(d.rdo_ExpFormatXLSX);
  TypePath(d, path);
  bool stopped = false;
  {
    HeldBegin fs;
    ScopedFileSystem scopedFs(&fs);
    test::WhenModalShown([&](QWidget* modal) {
      stopped = true;
      Click(modal->findChild<QPushButton*>(QStringLiteral("cmd_Stop")));
      fs.Release();
    });
    f.notifier.QueueAnswer(true);
    Click(d.cmd_Run);
    fs.Release();
  }
  QVERIFY(stopped);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kOverwrite}));
  QCOMPARE(ReadFileBytes(path), std::string("old"));
  QCOMPARE(test::FolderEntries(dir.Path()), Texts{"out.xlsx"});
  QVERIFY(d.isVisible());
  f.notifier.Clear();
  f.notifier.QueueAnswer(true);
  Click(d.cmd_Run);
  QCOMPARE(Join(f.notifier.Texts()), Join(Texts{kOverwrite, kDone}));
  QCOMPARE(ReadFileBytes(path).substr(0, 2), std::string("PK"));
}

}  // namespace korvel

QTEST_MAIN(korvel::ExportDialogTest)
#include "ExportDialog_test.moc"
