// The help command and the program's own help window: the page goes to the browser when the
// opener succeeds and to the help window when it fails, is missing, crashes or hangs; a
// missing page is reported and opens nothing; the window's back, forward and find.

#include "dialogs/HelpWindow.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "gui/GuiTest.h"
#include "mainwindow/MainWindow.h"
#include "platform/Notifier.h"
#include "qt/BrowserLauncher.h"
#include "qt/QtText.h"

using korvel::BrowserCommand;
using korvel::HelpWindow;
using korvel::Q;
using korvel::test::Click;

namespace {

// An opener that writes the path it was given to `record` and then runs `ending` (a shell
// command: "exit 3", "exec sleep 60", ...).
BrowserCommand Opener(const std::string& record, const char* ending, int timeoutMs = 10000) {
  BrowserCommand command;
  command.program = QStringLiteral("/bin/sh");
  command.arguments =
      QStringList{QStringLiteral("-c"), QStringLiteral("printf %s \"$1\" > \"$0\"; ") + Q(ending),
                  QString::fromStdString(record)};
  command.timeoutMs = timeoutMs;
  return command;
}

std::vector<HelpWindow*> VisibleHelpWindows() {
  std::vector<HelpWindow*> shown;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* help = qobject_cast<HelpWindow*>(w);
    if (help && help->isVisible()) shown.push_back(help);
  }
  return shown;
}

// Closes every help window and lets Qt delete them.
void CloseHelpWindows() {
  for (HelpWindow* w : VisibleHelpWindows()) w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Types `text` as key presses carrying the characters (how text arrives after an input
// method).
void Type(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

const char kPage[] =
    "<!DOCTYPE html><html lang=\"ja\"><head><meta charset=\"UTF-8\">"
    "<title>テストのヘルプ</title></head><body><h1>見出し</h1>"
    "<p>比較の流れを説明する本文です。</p></body></html>";

}  // namespace

class HelpWindowTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void cleanup() { CloseHelpWindows(); }
  void TheOpenersAnswerDecidesWhereThePageShows();
  void TheHelpCommandShowsThePageWhenNoBrowserOpens();
  void AMissingPageIsReportedAndNothingOpens();
  void BackAndForwardFollowTheVisitedPages();
  void FindSelectsEachOccurrenceInTurnAndWraps();

 private:
  std::unique_ptr<korvel::test::HomeDir> home_;
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<korvel::ScopedNotifier> scoped_;
};

void HelpWindowTest::initTestCase() {
  home_ = std::make_unique<korvel::test::HomeDir>();
  scoped_ = std::make_unique<korvel::ScopedNotifier>(&notifier_);
}

void HelpWindowTest::cleanupTestCase() {
  scoped_.reset();
  home_.reset();
}

void HelpWindowTest::init() {
  notifier_.Clear();
  std::filesystem::remove(home_->File("korvel.html"));
  std::filesystem::remove(home_->File("opened.txt"));
}

void HelpWindowTest::TheOpenersAnswerDecidesWhereThePageShows() {
  struct Case {
    const char* name;
    bool missingProgram;
    const char* ending;
    int timeoutMs;
    bool inWindow;
  };
  const std::vector<Case> cases = {
      {"the opener succeeds", false, "exit 0", 10000, false},
      {"the opener fails", false, "exit 3", 10000, true},
      {"the opener crashes", false, "kill -KILL $$", 10000, true},
      {"the opener is missing", true, "", 10000, true},
      {"the opener hangs", false, "exec sleep 60", 200, true},
  };
  // The desktop's opener is in force until a test installs its own, and again afterwards.
  auto isDesktops = [] {
    const BrowserCommand& now = korvel::CurrentBrowserCommand();
    return now.program == QStringLiteral("xdg-open") && now.arguments.isEmpty() &&
           now.timeoutMs == 3000;
  };
  QVERIFY(isDesktops());
  const std::string page = home_->Write("page.html", kPage);
  const std::string record = home_->File("opened.txt");
  for (const Case& c : cases) {
    std::filesystem::remove(record);
    BrowserCommand command = Opener(record, c.ending, c.timeoutMs);
    if (c.missingProgram) command.program = QStringLiteral("/nonexistent/xdg-open");
    korvel::ScopedBrowserCommand scoped(command);
    HelpWindow* window = korvel::OpenHelpPage(page, nullptr);
    // The opener was given the page, whatever it answered. (One that hangs is stopped at
    // its time limit, which on a busy machine may come before it wrote what it was given.)
    const bool hangs = c.timeoutMs < 1000;
    if (!c.missingProgram && !hangs) QCOMPARE(korvel::test::ReadFileBytes(record), page);
    QVERIFY2((window != nullptr) == c.inWindow, c.name);
    QCOMPARE(VisibleHelpWindows().size(), std::size_t(c.inWindow ? 1 : 0));
    if (c.inWindow) {
      QCOMPARE(VisibleHelpWindows().front(), window);
      QCOMPARE(window->browser->source(), QUrl::fromLocalFile(Q(page.c_str())));
      QVERIFY2(window->browser->toPlainText().contains(Q("比較の流れを説明する本文です。")),
               c.name);
      QCOMPARE(window->windowTitle(), Q("テストのヘルプ"));
    }
    CloseHelpWindows();
  }
  QVERIFY(isDesktops());
}

void HelpWindowTest::TheHelpCommandShowsThePageWhenNoBrowserOpens() {
  const std::string record = home_->File("opened.txt");
  korvel::ScopedBrowserCommand scoped(Opener(record, "exit 4"));
  const std::string page = home_->Write("korvel.html", kPage);
  korvel::MainWindow w;
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.Action("mnuHelpHelp")->trigger();
  QCOMPARE(korvel::test::ReadFileBytes(record), page);
  const std::vector<HelpWindow*> shown = VisibleHelpWindows();
  QCOMPARE(shown.size(), std::size_t{1});
  QCOMPARE(shown[0]->browser->source(), QUrl::fromLocalFile(Q(page.c_str())));
  // It belongs to the main window and closes with it.
  QCOMPARE(shown[0]->parentWidget(), &w);
  QVERIFY(notifier_.Entries().empty());

  // Asked again, the one window shows the page again.
  w.Action("mnuHelpHelp")->trigger();
  QCOMPARE(VisibleHelpWindows().size(), std::size_t{1});
  QCOMPARE(VisibleHelpWindows().front(), shown[0]);
}

void HelpWindowTest::AMissingPageIsReportedAndNothingOpens() {
  const std::string record = home_->File("opened.txt");
  korvel::ScopedBrowserCommand scoped(Opener(record, "exit 4"));
  korvel::MainWindow w;
  w.Action("mnuHelpHelp")->trigger();
  QCOMPARE(notifier_.Texts(), std::vector<std::string>{"ファイルが見付かりません。"});
  QCOMPARE(notifier_.Entries()[0].box.caption, korvel::test::S("注意"));
  QVERIFY(!std::filesystem::exists(record));
  QVERIFY(VisibleHelpWindows().empty());
}

void HelpWindowTest::BackAndForwardFollowTheVisitedPages() {
  const std::string first = home_->Write(
      "first.html",
      "<html><body><p>最初のページ <a href=\"second.html\">次へ</a></p></body></html>");
  const std::string second =
      home_->Write("second.html", "<html><body><p>二番目のページ</p></body></html>");
  const QUrl firstUrl = QUrl::fromLocalFile(Q(first.c_str()));
  const QUrl secondUrl = QUrl::fromLocalFile(Q(second.c_str()));
  HelpWindow window;
  window.ShowPage(Q(first.c_str()));
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QVERIFY(!window.cmd_Back->isEnabled());
  QVERIFY(!window.cmd_Forward->isEnabled());

  // The link, reached with TAB and followed with Enter.
  window.browser->setFocus();
  QTest::keyClick(window.browser, Qt::Key_Tab);
  QTest::keyClick(window.browser, Qt::Key_Return);
  QCOMPARE(window.browser->source(), secondUrl);
  QVERIFY(window.cmd_Back->isEnabled());
  QVERIFY(!window.cmd_Forward->isEnabled());

  Click(window.cmd_Back);
  QCOMPARE(window.browser->source(), firstUrl);
  QVERIFY(!window.cmd_Back->isEnabled());
  QVERIFY(window.cmd_Forward->isEnabled());

  Click(window.cmd_Forward);
  QCOMPARE(window.browser->source(), secondUrl);

  // The browser keys work from the find box as well.
  window.txt_Find->setFocus();
  QTest::keyClick(window.txt_Find, Qt::Key_Left, Qt::AltModifier);
  QCOMPARE(window.browser->source(), firstUrl);
  QTest::keyClick(window.txt_Find, Qt::Key_Right, Qt::AltModifier);
  QCOMPARE(window.browser->source(), secondUrl);
}

void HelpWindowTest::FindSelectsEachOccurrenceInTurnAndWraps() {
  const std::string page = home_->Write(
      "fruit.html", "<html><body><p>りんご と みかん</p><p>もう一つの りんご</p></body></html>");
  HelpWindow window;
  window.ShowPage(Q(page.c_str()));
  window.show();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  const QString plain = window.browser->toPlainText();
  const QString word = Q("りんご");
  const int first = static_cast<int>(plain.indexOf(word));
  const int second = static_cast<int>(plain.indexOf(word, first + 1));
  QVERIFY(first >= 0 && second > first);

  // Ctrl+F from the page goes to the find box.
  window.browser->setFocus();
  QTest::keyClick(window.browser, Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(QApplication::focusWidget(), window.txt_Find);
  Type(window.txt_Find, word);

  // Enter, the button and F3 each go on to the next one; after the last, the first again.
  const std::vector<int> expected = {first, second, first};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (i == 0) {
      QTest::keyClick(window.txt_Find, Qt::Key_Return);
    } else if (i == 1) {
      Click(window.cmd_FindNext);
    } else {
      QTest::keyClick(window.txt_Find, Qt::Key_F3);
    }
    const QTextCursor found = window.browser->textCursor();
    QCOMPARE(found.selectedText(), word);
    QCOMPARE(found.selectionStart(), expected[i]);
  }
  QCOMPARE(notifier_.BeepCount(), 0);

  // A text the page does not hold: a beep, and the selection stays.
  window.txt_Find->clear();
  Type(window.txt_Find, Q("ぶどう"));
  QTest::keyClick(window.txt_Find, Qt::Key_Return);
  QCOMPARE(notifier_.BeepCount(), 1);
  QCOMPARE(window.browser->textCursor().selectedText(), word);
  QCOMPARE(window.browser->textCursor().selectionStart(), first);
}

QTEST_MAIN(HelpWindowTest)
#include "HelpWindow_test.moc"
