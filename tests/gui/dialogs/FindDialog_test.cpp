// The find dialog on its own: its controls, what it shows, and the answers of its buttons,
// Enter, Esc and the close box.

#include "dialogs/FindDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "TestUtil.h"
#include "gui/GuiTest.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::FindDialog;
using korvel::Q;
using korvel::test::Click;
using korvel::test::S;

namespace {

// Types `text` into `widget` one character at a time, as key presses carrying the
// character (how text that is not on the keyboard's keys arrives, after an input method).
void Type(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

}  // namespace

class FindDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() { scoped_ = std::make_unique<korvel::ScopedNotifier>(&notifier_); }
  void cleanupTestCase() { scoped_.reset(); }
  void init() { notifier_.Clear(); }
  void ControlsAndPlaces();
  void ShowsTheKeywordAndTheMode();
  void EmptyTextIsRefusedAndTheDialogStays();
  void ButtonsGiveDirectionTextAndMode();
  void EnterSearchesDownward();
  void CancelEscAndCloseBoxGiveNoDirection();
  void LongTextIsCutWithoutSplittingACharacter();

 private:
  korvel::RecordingNotifier notifier_;
  std::unique_ptr<korvel::ScopedNotifier> scoped_;
};

void FindDialogTest::ControlsAndPlaces() {
  FindDialog d;
  QCOMPARE(d.windowTitle(), Q("検索"));
  QCOMPARE(d.size(), QSize(506, 124));
  QCOMPARE(d.minimumSize(), d.maximumSize());
  QVERIFY(d.windowFlags() & Qt::WindowCloseButtonHint);
  QVERIFY(!(d.windowFlags() & Qt::WindowMinMaxButtonsHint));
  QCOMPARE(d.Label1->text(), Q("検索文字列"));
  QCOMPARE(d.Label1->pos(), QPoint(40, 32));
  QCOMPARE(d.txt_Keyword->geometry(), QRect(112, 32, 265, 20));
  QCOMPARE(d.txt_Keyword->maxLength(), 200);
  QCOMPARE(d.cmd_FindUp->text(), Q("上検索"));
  QCOMPARE(d.cmd_FindUp->geometry(), QRect(392, 24, 97, 25));
  QCOMPARE(d.cmd_FindDown->text(), Q("下検索"));
  QCOMPARE(d.cmd_FindDown->geometry(), QRect(392, 56, 97, 25));
  QVERIFY(d.cmd_FindDown->isDefault());
  QCOMPARE(d.cmd_Cancel->text(), Q("キャンセル(&C)"));
  QCOMPARE(d.cmd_Cancel->geometry(), QRect(392, 88, 97, 25));
  QCOMPARE(d.chk_ABS->text(), Q("大文字小文字判断する"));
  QCOMPARE(d.chk_ABS->geometry(), QRect(112, 72, 145, 17));
  // Fresh: no direction, no keyword, case ignored.
  QCOMPARE(d.Direction(), 0);
  QVERIFY(d.Keyword().empty());
  QCOMPARE(d.Mode(), 3);
  // The edit comes first in the tab order and has the focus when shown.
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.txt_Keyword));
  QCOMPARE(d.txt_Keyword->nextInFocusChain(), static_cast<QWidget*>(d.chk_ABS));
}

void FindDialogTest::ShowsTheKeywordAndTheMode() {
  {
    FindDialog d;
    d.SetKeyword(S("売上abc"));
    d.SetMode(7);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QCOMPARE(d.txt_Keyword->text(), Q("売上abc"));
    QVERIFY(d.chk_ABS->isChecked());
    // The old text is selected: typing replaces it.
    QTest::keyClicks(d.txt_Keyword, QStringLiteral("xyz"));
    QCOMPARE(d.txt_Keyword->text(), QStringLiteral("xyz"));
  }
  FindDialog d;
  d.SetKeyword("abc");
  d.SetMode(3);
  d.show();
  QVERIFY(!d.chk_ABS->isChecked());
}

void FindDialogTest::EmptyTextIsRefusedAndTheDialogStays() {
  FindDialog d;
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  Click(d.cmd_FindDown);
  Click(d.cmd_FindUp);
  QCOMPARE(notifier_.Texts(), (std::vector<std::string>{"検索文字列を入力してください。",
                                                        "検索文字列を入力してください。"}));
  QCOMPARE(notifier_.Entries()[0].box.caption, S("注意"));
  QCOMPARE(notifier_.Entries()[0].box.icon, korvel::MessageIcon::kWarning);
  QVERIFY(d.isVisible());
  QCOMPARE(d.Direction(), 0);
  QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.txt_Keyword));
}

void FindDialogTest::ButtonsGiveDirectionTextAndMode() {
  {
    FindDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    Type(d.txt_Keyword, Q("検索abc"));
    Click(d.chk_ABS);
    Click(d.cmd_FindUp);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.Direction(), -1);
    QCOMPARE(d.Keyword(), S("検索abc"));
    QCOMPARE(d.Mode(), 7);
  }
  FindDialog d;
  d.SetMode(7);
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  QTest::keyClicks(d.txt_Keyword, QStringLiteral("x"));
  Click(d.chk_ABS);  // unchecked again
  Click(d.cmd_FindDown);
  QCOMPARE(d.Direction(), 1);
  QCOMPARE(d.Keyword(), std::string("x"));
  QCOMPARE(d.Mode(), 3);
  QVERIFY(notifier_.Entries().empty());
}

void FindDialogTest::EnterSearchesDownward() {
  FindDialog d;
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  QTest::keyClicks(d.txt_Keyword, QStringLiteral("abc"));
  QTest::keyClick(d.txt_Keyword, Qt::Key_Return);
  QVERIFY(!d.isVisible());
  QCOMPARE(d.Direction(), 1);
  QCOMPARE(d.Keyword(), std::string("abc"));
}

void FindDialogTest::CancelEscAndCloseBoxGiveNoDirection() {
  {
    FindDialog d;
    d.SetKeyword("abc");
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    Click(d.cmd_Cancel);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.Direction(), 0);
  }
  {
    FindDialog d;
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QTest::keyClicks(d.txt_Keyword, QStringLiteral("abc"));
    QTest::keyClick(d.txt_Keyword, Qt::Key_Escape);
    QVERIFY(!d.isVisible());
    QCOMPARE(d.Direction(), 0);
  }
  // The close box, in a modal showing; a search taken before does not survive a later
  // showing that is closed.
  FindDialog d;
  d.show();
  QTest::keyClicks(d.txt_Keyword, QStringLiteral("abc"));
  Click(d.cmd_FindDown);
  QCOMPARE(d.Direction(), 1);
  korvel::test::WhenModalShown([](QWidget* modal) { modal->close(); });
  QCOMPARE(d.exec(), int(QDialog::Rejected));
  QCOMPARE(d.Direction(), 0);
}

void FindDialogTest::LongTextIsCutWithoutSplittingACharacter() {
  FindDialog d;
  d.show();
  QVERIFY(QTest::qWaitForWindowExposed(&d));
  // 250 double-byte characters typed: the edit keeps 200 (400 bytes); the search text keeps
  // 127 of them (254 bytes), the most that fits in 255 bytes.
  Type(d.txt_Keyword, QString(250, QChar(0x3042)));
  QCOMPARE(d.txt_Keyword->text().size(), 200);
  Click(d.cmd_FindDown);
  QCOMPARE(d.Keyword().size(), std::size_t{254});
  std::string expected;
  for (int i = 0; i < 127; ++i) expected += S("あ");
  QCOMPARE(d.Keyword(), expected);
}

QTEST_MAIN(FindDialogTest)
#include "FindDialog_test.moc"
