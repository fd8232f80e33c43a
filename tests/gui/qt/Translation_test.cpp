// Qt's own texts after the program's translation set-up: the buttons of the program's
// question box, the labels and buttons of the file dialogs, and the edit boxes' context
// menu are Japanese, although the test runs under an English locale.

#include "qt/Translation.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <cstdlib>
#include <memory>
#include <vector>

#include "TestUtil.h"
#include "dialogs/ExportDialog.h"
#include "dialogs/FileChooser.h"
#include "gui/GuiTest.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

using korvel::Q;
using korvel::test::Click;
using korvel::test::WhenModalShown;

namespace {

struct ButtonText {
  QMessageBox::StandardButton button;
  const char* text;
};

// What a file dialog showed, read while it was open.
struct SeenDialog {
  bool found = false;
  bool qtOwn = false;
  QString lookIn, fileName, fileType, accept, reject;
};

// Reads the open file dialog, then closes it with a click on its cancel button.
void ReadAndCancel(QWidget* modal, SeenDialog& seen) {
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  if (!dialog) {
    modal->close();
    return;
  }
  seen.found = true;
  seen.qtOwn = dialog->testOption(QFileDialog::DontUseNativeDialog);
  seen.lookIn = korvel::test::Child<QLabel>(dialog, "lookInLabel")->text();
  seen.fileName = korvel::test::Child<QLabel>(dialog, "fileNameLabel")->text();
  seen.fileType = korvel::test::Child<QLabel>(dialog, "fileTypeLabel")->text();
  auto* buttons = korvel::test::Child<QDialogButtonBox>(dialog, "buttonBox");
  QPushButton* accept = nullptr;
  QPushButton* reject = nullptr;
  for (QAbstractButton* b : buttons->buttons()) {
    auto* push = qobject_cast<QPushButton*>(b);
    if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) accept = push;
    if (buttons->buttonRole(b) == QDialogButtonBox::RejectRole) reject = push;
  }
  if (accept) seen.accept = accept->text();
  if (reject) {
    seen.reject = reject->text();
    Click(reject);
  } else {
    dialog->reject();
  }
}

}  // namespace

class TranslationTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void QuestionBoxButtonsAreJapanese();
  void StandardButtonsAreJapanese();
  void FileDialogsAreQtsOwnAndJapanese();
  void EditBoxMenuIsJapanese();
};

void TranslationTest::initTestCase() {
  // Before the set-up Qt speaks English here: the test proves the set-up, not the machine.
  QMessageBox before;
  QCOMPARE(before.addButton(QMessageBox::Yes)->text(), QStringLiteral("&Yes"));
  QVERIFY(korvel::SetUpJapanese(*qApp));
  QCOMPARE(QLocale().language(), QLocale::Japanese);
  QVERIFY(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs));
}

void TranslationTest::QuestionBoxButtonsAreJapanese() {
  // The program's own question box, answered "no" with a click on the button that reads so.
  korvel::QtNotifier notifier;
  korvel::ScopedNotifier scoped(&notifier);
  QStringList texts;
  WhenModalShown([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) {
      modal->close();
      return;
    }
    QPushButton* no = nullptr;
    for (QAbstractButton* b : box->buttons()) {
      texts << b->text();
      if (b->text() == Q("いいえ(&N)")) no = qobject_cast<QPushButton*>(b);
    }
    if (no) {
      Click(no);
    } else {
      box->reject();
    }
  });
  const bool yes = korvel::Ask(korvel::test::S("上書きしますか？"));
  texts.sort();
  QStringList expected{Q("はい(&Y)"), Q("いいえ(&N)")};
  expected.sort();
  QCOMPARE(texts, expected);
  QVERIFY(!yes);
}

void TranslationTest::StandardButtonsAreJapanese() {
  const std::vector<ButtonText> cases = {
      {QMessageBox::Yes, "はい(&Y)"},
      {QMessageBox::No, "いいえ(&N)"},
      {QMessageBox::Cancel, "キャンセル"},
      {QMessageBox::Ok, "OK"},
  };
  for (const ButtonText& c : cases) {
    QMessageBox box;
    QAbstractButton* button = box.addButton(c.button);
    QVERIFY(button != nullptr);
    QCOMPARE(button->text(), Q(c.text));
  }
}

void TranslationTest::FileDialogsAreQtsOwnAndJapanese() {
  struct DialogCase {
    const char* name;
    std::function<QString()> open;
    const char* accept;
  };
  const std::vector<korvel::FileFilter> filters{{Q("CSVファイル"), QStringLiteral("*.csv")}};
  const std::vector<DialogCase> cases = {
      {"open", [&] { return korvel::CurrentFileChooser().ChooseOpenFile(nullptr, filters, 1); },
       "開く(&O)"},
      {"save", [&] { return korvel::CurrentFileChooser().ChooseSaveFile(nullptr, filters, 1); },
       "保存(&S)"},
      {"export",
       [] {
         korvel::SaveDialogRequest request;
         request.nameFilters = QStringList{Q("XMLファイル (*.xml)")};
         request.filterIndex = 1;
         return korvel::ShowSaveFileDialog(nullptr, request);
       },
       "保存(&S)"},
  };
  for (const DialogCase& c : cases) {
    SeenDialog seen;
    WhenModalShown([&](QWidget* modal) { ReadAndCancel(modal, seen); });
    const QString chosen = c.open();
    QVERIFY2(seen.found, c.name);
    QVERIFY2(seen.qtOwn, c.name);
    QCOMPARE(seen.lookIn, Q("アドレス:"));
    QCOMPARE(seen.fileName, Q("ファイル名(&N):"));
    QCOMPARE(seen.fileType, Q("ファイルの種類:"));
    QCOMPARE(seen.accept, Q(c.accept));
    QCOMPARE(seen.reject, Q("キャンセル"));
    QVERIFY2(chosen.isEmpty(), c.name);
  }
}

void TranslationTest::EditBoxMenuIsJapanese() {
  QLineEdit edit;
  edit.setText(QStringLiteral("abc"));
  std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  QStringList texts;
  for (QAction* action : menu->actions()) {
    // The shortcut follows a TAB; only the item's name is the translation's.
    if (!action->isSeparator()) texts << action->text().section(QLatin1Char('\t'), 0, 0);
  }
  const QStringList expected{Q("元に戻す(&U)"), Q("やり直す(&R)"), Q("切り取り(&T)"),
                             Q("コピー(&C)"),   Q("貼り付け(&P)"), Q("削除"),
                             Q("すべてを選択")};
  QCOMPARE(texts, expected);
}

// An English environment, so that nothing but the program's set-up can make Qt Japanese.
int main(int argc, char* argv[]) {
  ::setenv("LANG", "C.UTF-8", 1);
  ::setenv("LC_ALL", "C.UTF-8", 1);
  ::setenv("LANGUAGE", "en", 1);
  QApplication app(argc, argv);
  TranslationTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "Translation_test.moc"
