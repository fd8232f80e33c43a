// The file selection dialog: presets and read-back, the confirmation checks with their
// messages and focus, browsing, clipboard captures and the options dialog.

#include "dialogs/FileSelectionDialog.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "TestUtil.h"
#include "dialogs/DialogKit.h"
#include "gui/GuiTest.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"
#include "settings/SettingsStore.h"

using korvel::CompareSettings;
using korvel::FileSelectionDialog;
using korvel::Q;
using korvel::test::Child;
using korvel::test::Click;
using korvel::test::S;

namespace {

QStringList Texts(const korvel::RecordingNotifier& notifier) {
  QStringList texts;
  for (const std::string& t : notifier.Texts()) texts.append(QString::fromStdString(t));
  return texts;
}

}  // namespace

class FileSelectionDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    home_ = std::make_unique<korvel::test::HomeDir>();
    global_ = std::make_unique<korvel::SettingsStore>();
    notifier_.Clear();
  }
  void cleanup() {
    global_.reset();
    home_.reset();
  }

  void PresetShowsTheKeptValuesAndReadBackFollowsTheButtons() {
    FileSelectionDialog dialog(*global_);
    QCOMPARE(Child<QLineEdit>(&dialog, "txt_FileKindCr")->text(), Q("|"));
    QVERIFY(Child<QRadioButton>(&dialog, "grp_FileKindCSV")->isChecked());

    CompareSettings kept;
    kept.FileKind = 1;
    kept.Delimiter = ';';
    kept.OtherDelimiter = ';';
    kept.TopRowNames = true;
    kept.PathL = "/left/a.csv";
    kept.PathR = "/right/b.csv";
    kept.Encoding = 15;
    kept.DetectBom = false;
    kept.FromClipboard = true;
    dialog.Preset(kept);
    QVERIFY(Child<QRadioButton>(&dialog, "grp_FileKindEtc")->isChecked());
    QCOMPARE(Child<QLineEdit>(&dialog, "txt_FileKindCr")->text(), Q(";"));
    QVERIFY(Child<QCheckBox>(&dialog, "chk_TopField")->isChecked());
    QCOMPARE(Child<QLineEdit>(&dialog, "txt_PathA")->text(), Q("/left/a.csv"));
    QCOMPARE(Child<QLineEdit>(&dialog, "txt_PathB")->text(), Q("/right/b.csv"));
    QCOMPARE(dialog.EncodingChoice(), 15);
    QCOMPARE(dialog.BomChoice(), false);
    QVERIFY(dialog.FromClipboard());

    CompareSettings back = kept;
    dialog.ReadBack(back);
    QCOMPARE(back.FileKind, 1);
    QCOMPARE(back.Delimiter, ';');

    // TAB kind with a TAB delimiter checks the TAB button; the other box stays.
    kept.Delimiter = '\t';
    dialog.Preset(kept);
    QVERIFY(Child<QRadioButton>(&dialog, "grp_FileKindTab")->isChecked());
    dialog.show();
    Click(Child<QRadioButton>(&dialog, "grp_FileKindFix"));
    back = kept;
    dialog.ReadBack(back);
    QCOMPARE(back.FileKind, 2);
    QCOMPARE(back.Delimiter, '\t');  // fixed-length keeps the delimiter

    Click(Child<QRadioButton>(&dialog, "grp_FileKindCSV"));
    dialog.ReadBack(back);
    QCOMPARE(back.FileKind, 0);
    QCOMPARE(back.Delimiter, '\t');

    Click(Child<QRadioButton>(&dialog, "grp_FileKindEtc"));
    auto* other = Child<QLineEdit>(&dialog, "txt_FileKindCr");
    other->selectAll();
    QTest::keyClicks(other, Q("#x"));  // one character at most
    QCOMPARE(other->text(), Q("#"));
    dialog.ReadBack(back);
    QCOMPARE(back.FileKind, 1);
    QCOMPARE(back.Delimiter, '#');
    QCOMPARE(back.OtherDelimiter, '#');
    QVERIFY(back.TopRowNames);
    Click(Child<QCheckBox>(&dialog, "chk_TopField"));
    dialog.ReadBack(back);
    QVERIFY(!back.TopRowNames);

    Click(Child<QRadioButton>(&dialog, "grp_FileKindTab"));
    other->clear();
    dialog.ReadBack(back);
    QCOMPARE(back.FileKind, 1);
    QCOMPARE(back.Delimiter, '\t');
    QCOMPARE(back.OtherDelimiter, '\0');
  }

  void ConfirmedValuesPresetTheNextShowing() {
    korvel::test::TempDir files;
    const std::string left = files.Write("l.txt", "x");
    const std::string right = files.Write("r.txt", "y");
    CompareSettings kept;
    {
      FileSelectionDialog dialog(*global_);
      dialog.Preset(kept);
      dialog.show();
      Click(Child<QRadioButton>(&dialog, "grp_FileKindEtc"));
      auto* other = Child<QLineEdit>(&dialog, "txt_FileKindCr");
      other->selectAll();
      QTest::keyClicks(other, Q(";"));
      Click(Child<QCheckBox>(&dialog, "chk_TopField"));
      QTest::keyClicks(Child<QLineEdit>(&dialog, "txt_PathA"), korvel::PathToQString(left));
      QTest::keyClicks(Child<QLineEdit>(&dialog, "txt_PathB"), korvel::PathToQString(right));
      Click(Child<QPushButton>(&dialog, "cmd_Run"));
      QCOMPARE(dialog.Result(), 1);
      dialog.ReadBack(kept);
    }
    QCOMPARE(kept.FileKind, 1);
    QCOMPARE(kept.Delimiter, ';');
    QVERIFY(kept.TopRowNames);
    QCOMPARE(kept.PathL, left);

    // Back from a later step: the dialog shows what was just confirmed.
    FileSelectionDialog again(*global_);
    again.Preset(kept);
    CompareSettings shown;
    again.ReadBack(shown);
    QCOMPARE(shown.FileKind, kept.FileKind);
    QCOMPARE(shown.Delimiter, kept.Delimiter);
    QCOMPARE(shown.OtherDelimiter, kept.OtherDelimiter);
    QCOMPARE(shown.TopRowNames, kept.TopRowNames);
    QCOMPARE(shown.PathL, kept.PathL);
    QCOMPARE(shown.PathR, kept.PathR);
    QCOMPARE(shown.Encoding, kept.Encoding);
    QCOMPARE(shown.DetectBom, kept.DetectBom);
    QCOMPARE(shown.FromClipboard, kept.FromClipboard);
  }

  void ChecksRunInOrderWithTheirMessagesAndFocus() {
    korvel::test::TempDir files;
    const std::string good = files.Write("good.csv", "a");  // one byte passes
    const std::string empty = files.Write("empty.csv", "");
    const std::string vanished = files.Write("gone.csv", "x,y\r\n");
    std::filesystem::remove(vanished);

    FileSelectionDialog dialog(*global_);
    dialog.show();
    auto* pathA = Child<QLineEdit>(&dialog, "txt_PathA");
    auto* pathB = Child<QLineEdit>(&dialog, "txt_PathB");
    auto* other = Child<QLineEdit>(&dialog, "txt_FileKindCr");
    auto* run = Child<QPushButton>(&dialog, "cmd_Run");

    struct Step {
      QString left, right, delimiter;
      const char* message;
      QLineEdit* focus;
    };
    const QString dir = korvel::PathToQString(files.Path());
    const Step steps[] = {
        {{}, {}, Q("|"), "パス(画面左)を入力して下さい。", pathA},
        {Q("x"), {}, Q("|"), "パス(画面右)を入力して下さい。", pathB},
        {Q("x"), Q("y"), {}, "区切り文字を入力して下さい。", other},
        {dir, Q("y"), Q("|"), "パス(画面左)に該当のファイルが見付かりません。", pathA},
        {korvel::PathToQString(vanished), Q("y"), Q("|"),
         "パス(画面左)に該当のファイルが見付かりません。", pathA},
        {korvel::PathToQString(empty), Q("y"), Q("|"),
         "パス(画面左)のファイルにデータがありません。", pathA},
        {korvel::PathToQString(good), dir, Q("|"), "パス(画面右)に該当のファイルが見付かりません。",
         pathB},
        {korvel::PathToQString(good), korvel::PathToQString(empty), Q("|"),
         "パス(画面右)のファイルにデータがありません。", pathB},
    };
    korvel::ScopedNotifier scoped(&notifier_);
    for (const Step& step : steps) {
      pathA->setText(step.left);
      pathB->setText(step.right);
      other->setText(step.delimiter);
      pathA->setFocus();
      notifier_.Clear();
      Click(run);
      QCOMPARE(Texts(notifier_), QStringList{Q(step.message)});
      QCOMPARE(notifier_.Entries()[0].box.caption, S("注意"));
      QVERIFY(notifier_.Entries()[0].box.icon == korvel::MessageIcon::kWarning);
      QCOMPARE(dialog.focusWidget(), step.focus);
      QVERIFY(dialog.isVisible());
      QCOMPARE(dialog.Result(), 0);
    }

    // Both paths may name the same file.
    pathB->setText(korvel::PathToQString(good));
    notifier_.Clear();
    Click(run);
    QVERIFY(notifier_.Entries().empty());
    QCOMPARE(dialog.Result(), 1);
    QVERIFY(!dialog.isVisible());
  }

  void ClipboardCaptureWritesCp932WithCrLf() {
    korvel::ScopedNotifier scoped(&notifier_);
    FileSelectionDialog dialog(*global_);
    CompareSettings kept;
    kept.Encoding = 15;
    dialog.Preset(kept);
    dialog.show();
    QGuiApplication::clipboard()->setText(Q("名前,値\n甲,1\r\n乙,2"));
    Click(Child<QToolButton>(&dialog, "cmd_DataA"));

    const std::string target = home_->File("tmpA.dat");
    QCOMPARE(Texts(notifier_), QStringList{Q("クリップボードより値を取得しました。")});
    QCOMPARE(notifier_.Entries()[0].box.caption, S("確認"));
    QVERIFY(notifier_.Entries()[0].box.icon == korvel::MessageIcon::kInformation);
    QCOMPARE(korvel::test::ReadFileBytes(target), S("名前,値\r\n甲,1\r\n乙,2"));
    auto* pathA = Child<QLineEdit>(&dialog, "txt_PathA");
    QCOMPARE(pathA->text(), korvel::PathToQString(target));
    QCOMPARE(pathA->selectedText(), pathA->text());
    QCOMPARE(dialog.focusWidget(), pathA);
    QVERIFY(dialog.FromClipboard());
    QCOMPARE(dialog.EncodingChoice(), 15);

    // The right side goes to its own file; typing in a path field clears the flag.
    QGuiApplication::clipboard()->setText(Q("x"));
    Click(Child<QToolButton>(&dialog, "cmd_DataB"));
    QCOMPARE(korvel::test::ReadFileBytes(home_->File("tmpB.dat")), std::string("x"));
    QVERIFY(dialog.FromClipboard());
    QTest::keyClicks(Child<QLineEdit>(&dialog, "txt_PathB"), Q("z"));
    QVERIFY(!dialog.FromClipboard());

    CompareSettings back;
    dialog.ReadBack(back);
    QCOMPARE(back.PathL, target);
    QCOMPARE(back.Encoding, 15);
    QVERIFY(!back.FromClipboard);
  }

  // The captures go into the program folder however long its path (here 300 bytes), and
  // never into the current folder; with no program folder at all, nothing is written.
  void ClipboardCapturesInALongFolderOrNone() {
    korvel::ScopedNotifier scoped(&notifier_);
    korvel::test::TempDir work;
    const std::filesystem::path oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(work.Path());
    std::string folder = home_->Path();
    while (folder.size() + 1 < 300) {
      const std::size_t part = std::min<std::size_t>(100, 300 - folder.size() - 2);
      folder += '/';
      folder.append(std::max<std::size_t>(part, 1), 'd');
    }
    folder += '/';
    QCOMPARE(folder.size(), std::size_t{300});
    qputenv("KORVEL_HOME", QByteArray::fromStdString(folder));
    {
      korvel::SettingsStore global;
      FileSelectionDialog dialog(global);
      dialog.show();
      QGuiApplication::clipboard()->setText(Q("a,b\nc,d"));
      Click(Child<QToolButton>(&dialog, "cmd_DataA"));
      QGuiApplication::clipboard()->setText(Q("e,f"));
      Click(Child<QToolButton>(&dialog, "cmd_DataB"));
      QCOMPARE(Texts(notifier_), QStringList({Q("クリップボードより値を取得しました。"),
                                              Q("クリップボードより値を取得しました。")}));
      QCOMPARE(korvel::test::ReadFileBytes(folder + "tmpA.dat"), std::string("a,b\r\nc,d"));
      QCOMPARE(korvel::test::ReadFileBytes(folder + "tmpB.dat"), std::string("e,f"));
      QCOMPARE(Child<QLineEdit>(&dialog, "txt_PathA")->text(),
               korvel::PathToQString(folder + "tmpA.dat"));
    }
    // No folder: KORVEL_HOME names a link, which is refused.
    std::filesystem::create_directory_symlink(folder, home_->File("link"));
    qputenv("KORVEL_HOME", QByteArray::fromStdString(home_->File("link")));
    notifier_.Clear();
    {
      korvel::SettingsStore global;
      FileSelectionDialog dialog(global);
      dialog.show();
      QGuiApplication::clipboard()->setText(Q("x"));
      Click(Child<QToolButton>(&dialog, "cmd_DataA"));
      QCOMPARE(Texts(notifier_), QStringList{Q("書き込みに失敗しました。")});
      QVERIFY(Child<QLineEdit>(&dialog, "txt_PathA")->text().isEmpty());
      QVERIFY(!dialog.FromClipboard());
    }
    QVERIFY(korvel::test::FolderEntries(work.Path()).empty());
    QCOMPARE(korvel::test::ReadFileBytes(folder + "tmpA.dat"), std::string("a,b\r\nc,d"));
    std::filesystem::current_path(oldCwd);
    qputenv("KORVEL_HOME", QByteArray::fromStdString(home_->Path()));
  }

  void ClipboardRefusalsLeaveTheFieldsAndTheEarlierFile() {
    korvel::ScopedNotifier scoped(&notifier_);
    FileSelectionDialog dialog(*global_);
    dialog.show();
    auto* capture = Child<QToolButton>(&dialog, "cmd_DataA");
    auto* pathA = Child<QLineEdit>(&dialog, "txt_PathA");
    QClipboard* clipboard = QGuiApplication::clipboard();

    // Exactly 640,000 CP932 bytes (double-byte characters) are taken.
    clipboard->setText(QString(320000, QChar(0x3042)));
    Click(capture);
    QCOMPARE(Texts(notifier_), QStringList{Q("クリップボードより値を取得しました。")});
    const std::string target = home_->File("tmpA.dat");
    QCOMPARE(korvel::test::ReadFileBytes(target).size(), std::size_t{640000});

    pathA->setText(Q("/typed/path.csv"));
    QVERIFY(!dialog.FromClipboard());

    struct Refusal {
      std::function<void()> fill;
      const char* message;
    };
    const Refusal refusals[] = {
        {[clipboard]() { clipboard->setText(QString(320000, QChar(0x3042)) + Q("a")); },
         "サイズをオーバーしました。640Kバイト以上は指定できません。"},
        // 639,999 line breaks become 1,279,998 bytes once they are CR LF.
        {[clipboard]() { clipboard->setText(QString(639999, QLatin1Char('\n'))); },
         "サイズをオーバーしました。640Kバイト以上は指定できません。"},
        {[clipboard]() {
           auto* data = new QMimeData;
           data->setData(Q("application/octet-stream"), QByteArray("\x01\x02", 2));
           clipboard->setMimeData(data);
         },
         "テキスト形式でありません。"},
        {[clipboard]() { clipboard->clear(); }, "テキスト形式でありません。"},
        {[clipboard]() {
           auto* data = new QMimeData;
           data->setText(QString());
           clipboard->setMimeData(data);
         },
         "内容がありません。"},
    };
    for (const Refusal& refusal : refusals) {
      refusal.fill();
      notifier_.Clear();
      Click(capture);
      QCOMPARE(Texts(notifier_), QStringList{Q(refusal.message)});
      QCOMPARE(notifier_.Entries()[0].box.caption, S("注意"));
      QCOMPARE(pathA->text(), Q("/typed/path.csv"));
      QVERIFY(!dialog.FromClipboard());
      QCOMPARE(korvel::test::ReadFileBytes(target).size(), std::size_t{640000});
    }

    // A capture file that cannot be created is a write failure.
    std::filesystem::remove(target);
    std::filesystem::create_directory(target);
    clipboard->setText(Q("abc"));
    notifier_.Clear();
    Click(capture);
    QCOMPARE(Texts(notifier_), QStringList{Q("書き込みに失敗しました。")});
    QCOMPARE(pathA->text(), Q("/typed/path.csv"));
    QVERIFY(!dialog.FromClipboard());

    // The dialog is still usable.
    Click(Child<QToolButton>(&dialog, "cmd_DataB"));
    QCOMPARE(korvel::test::ReadFileBytes(home_->File("tmpB.dat")), std::string("abc"));
  }

  void BrowsingPicksTheFilterAndClearsTheFlag() {
    korvel::test::QueuedFileChooser chooser;
    korvel::ScopedFileChooser scopedChooser(&chooser);
    korvel::ScopedNotifier scoped(&notifier_);
    FileSelectionDialog dialog(*global_);
    dialog.show();
    QGuiApplication::clipboard()->setText(Q("a"));
    Click(Child<QToolButton>(&dialog, "cmd_DataA"));
    QVERIFY(dialog.FromClipboard());
    const QString captured = Child<QLineEdit>(&dialog, "txt_PathA")->text();

    // Cancelling the file dialog changes nothing.
    Click(Child<QToolButton>(&dialog, "cmd_PathA"));
    QCOMPARE(chooser.Calls(), 1);
    QCOMPARE(chooser.LastIndex(), 2);  // CSV kind: "CSVファイル(*.csv)"
    QCOMPARE(chooser.LastFilters().size(), std::size_t{2});
    QCOMPARE(chooser.LastFilters()[0].description, Q("全てのファイル(*.*)"));
    QCOMPARE(chooser.LastFilters()[1].description, Q("CSVファイル(*.csv)"));
    QCOMPARE(Child<QLineEdit>(&dialog, "txt_PathA")->text(), captured);
    QVERIFY(dialog.FromClipboard());

    // Choosing the same file again still clears the flag.
    chooser.Queue(captured);
    Click(Child<QToolButton>(&dialog, "cmd_PathA"));
    QVERIFY(!dialog.FromClipboard());

    Click(Child<QRadioButton>(&dialog, "grp_FileKindTab"));
    chooser.Queue(Q("/data/right.txt"));
    Click(Child<QToolButton>(&dialog, "cmd_PathB"));
    QCOMPARE(chooser.LastIndex(), 1);
    QCOMPARE(Child<QLineEdit>(&dialog, "txt_PathB")->text(), Q("/data/right.txt"));
  }

  void OptionsDialogLocksTheEncodingAfterACapture() {
    korvel::ScopedNotifier scoped(&notifier_);
    FileSelectionDialog dialog(*global_);
    CompareSettings kept;
    kept.Encoding = 15;
    kept.DetectBom = true;
    dialog.Preset(kept);
    dialog.show();
    QGuiApplication::clipboard()->setText(Q("a"));
    Click(Child<QToolButton>(&dialog, "cmd_DataA"));

    bool locked = false;
    QString shown;
    korvel::test::WhenModalShown([&](QWidget* modal) {
      auto* code = Child<QComboBox>(modal, "cbo_MoziCode");
      locked = !code->isEnabled();
      shown = code->currentText();
      Click(Child<QCheckBox>(modal, "chk_Bom"));
      Click(Child<QPushButton>(modal, "cmd_Ok"));
    });
    Click(Child<QPushButton>(&dialog, "cmd_Option"));
    QVERIFY(locked);
    QCOMPARE(shown, Q("SHIFT-JIS"));
    QCOMPARE(dialog.EncodingChoice(), 15);
    QCOMPARE(dialog.BomChoice(), false);

    // Without a capture the box is free; Cancel keeps the values.
    Child<QLineEdit>(&dialog, "txt_PathA")->setText(Q("typed"));
    korvel::test::WhenModalShown([&](QWidget* modal) {
      auto* code = Child<QComboBox>(modal, "cbo_MoziCode");
      locked = !code->isEnabled();
      shown = code->currentText();
      code->setCurrentIndex(1);
      Click(Child<QPushButton>(modal, "cmd_Cancel"));
    });
    Click(Child<QPushButton>(&dialog, "cmd_Option"));
    QVERIFY(!locked);
    QCOMPARE(shown, Q("UTF-8"));
    QCOMPARE(dialog.EncodingChoice(), 15);

    korvel::test::WhenModalShown([&](QWidget* modal) {
      Child<QComboBox>(modal, "cbo_MoziCode")->setCurrentIndex(1);
      Click(Child<QPushButton>(modal, "cmd_Ok"));
    });
    Click(Child<QPushButton>(&dialog, "cmd_Option"));
    QCOMPARE(dialog.EncodingChoice(), 10);
  }

  // 項目名で対応付け can be clicked only while 先頭行フィールド is checked and the files are not
  // fixed-length; what it reads back is what the comparison will do.
  void MatchNamesFollowsTopRowNamesAndTheKind() {
    FileSelectionDialog dialog(*global_);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* top = Child<QCheckBox>(&dialog, "chk_TopField");
    auto* match = Child<QCheckBox>(&dialog, "chk_MatchNames");
    QCOMPARE(match->text(), Q("項目名で対応付け"));
    QVERIFY(match->isVisible());
    QVERIFY(!match->isEnabled());
    Click(match);  // a disabled box takes no click
    QVERIFY(!match->isChecked());

    Click(top);
    QVERIFY(match->isEnabled());
    Click(match);
    QVERIFY(match->isChecked());
    CompareSettings read;
    dialog.ReadBack(read);
    QVERIFY(read.TopRowNames && read.MatchNames);

    struct Step {
      const char* click;
      bool enabled;
    };
    const Step steps[] = {
        {"grp_FileKindFix", false}, {"grp_FileKindTab", true}, {"chk_TopField", false},
        {"grp_FileKindEtc", false}, {"chk_TopField", true},    {"grp_FileKindCSV", true},
    };
    for (const Step& step : steps) {
      Click(Child<QAbstractButton>(&dialog, step.click));
      QCOMPARE(match->isEnabled(), step.enabled);
      dialog.ReadBack(read);
      QCOMPARE(read.MatchNames, step.enabled);  // checked all along, but only enabled counts
    }

    // Presets check it, and the enabling follows the preset kind.
    CompareSettings kept;
    kept.TopRowNames = true;
    kept.MatchNames = true;
    kept.FileKind = korvel::kFileKindFixed;
    dialog.Preset(kept);
    QVERIFY(match->isChecked());
    QVERIFY(!match->isEnabled());
    kept.FileKind = korvel::kFileKindCsv;
    kept.MatchNames = false;
    dialog.Preset(kept);
    QVERIFY(match->isEnabled());
    QVERIFY(!match->isChecked());
  }

  void TabOrderEntersTheKindGroupAtTheChosenButton() {
    FileSelectionDialog dialog(*global_);
    CompareSettings kept;
    kept.FileKind = 2;
    dialog.Preset(kept);
    QStringList order;
    korvel::test::WhenModalShown([&order](QWidget* modal) {
      modal->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(modal));
      for (int i = 0; i < 9; ++i) {
        QWidget* focus = QApplication::focusWidget();
        order.append(focus ? focus->objectName() : QString());
        QTest::keyClick(focus ? focus : modal, Qt::Key_Tab);
      }
      Click(Child<QPushButton>(modal, "cmd_Cancel"));
    });
    dialog.exec();
    QCOMPARE(order, QStringList({Q("txt_PathA"), Q("txt_PathB"), Q("cmd_Run"), Q("cmd_Cancel"),
                                 Q("cmd_Option"), Q("grp_FileKindFix"), Q("txt_FileKindCr"),
                                 Q("chk_TopField"), Q("txt_PathA")}));
  }

  void ModalRunEndsWithCancelOrTheCloseBox() {
    for (int way = 0; way < 2; ++way) {
      FileSelectionDialog dialog(*global_);
      korvel::test::WhenModalShown([way](QWidget* modal) {
        if (way == 0) {
          Click(Child<QPushButton>(modal, "cmd_Cancel"));
        } else {
          modal->close();
        }
      });
      QCOMPARE(dialog.exec(), static_cast<int>(QDialog::Rejected));
      QCOMPARE(dialog.Result(), 0);
    }
  }

 private:
  std::unique_ptr<korvel::test::HomeDir> home_;
  std::unique_ptr<korvel::SettingsStore> global_;
  korvel::RecordingNotifier notifier_;
};

QTEST_MAIN(FileSelectionDialogTest)
#include "FileSelectionDialog_test.moc"
