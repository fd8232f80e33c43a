// The options dialog: presets, OK, Cancel and the close box, driven by mouse and keys.

#include "dialogs/OptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "TestUtil.h"
#include "gui/GuiTest.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"
#include "settings/SettingsStore.h"

using korvel::Q;
using korvel::test::Child;
using korvel::test::Click;

class OptionDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:

  void EncodingPresetUnlockedComesBackOnOk() {
    korvel::SettingsStore global;
    korvel::OptionsDialog dialog(global);
    dialog.SetEncodingChoice(15, false);
    dialog.SetBomChoice(true);
    dialog.show();
    auto* code = Child<QComboBox>(&dialog, "cbo_MoziCode");
    QCOMPARE(code->currentText(), Q("UTF-8"));
    QVERIFY(code->isEnabled());
    QVERIFY(Child<QCheckBox>(&dialog, "chk_Bom")->isChecked());
    Click(Child<QPushButton>(&dialog, "cmd_Ok"));
    QVERIFY(dialog.Accepted());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.ChosenEncoding(), 15);
    QCOMPARE(dialog.ChosenBom(), true);
  }

  void LockedEncodingShowsShiftJisAndKeepsTheCode() {
    korvel::SettingsStore global;
    korvel::OptionsDialog dialog(global);
    dialog.SetEncodingChoice(15, true);
    dialog.SetBomChoice(false);
    dialog.show();
    auto* code = Child<QComboBox>(&dialog, "cbo_MoziCode");
    QCOMPARE(code->currentText(), Q("SHIFT-JIS"));
    QVERIFY(!code->isEnabled());
    Click(Child<QPushButton>(&dialog, "cmd_Ok"));
    QVERIFY(dialog.Accepted());
    QCOMPARE(dialog.ChosenEncoding(), 15);
    QCOMPARE(dialog.ChosenBom(), false);
  }

  void UnknownCodesShowTheFirstItems() {
    korvel::SettingsStore global;
    global.SetNewlineMode(7);
    global.SetTabOldType(3);
    korvel::OptionsDialog dialog(global);
    dialog.SetEncodingChoice(42, false);
    dialog.show();
    QCOMPARE(Child<QComboBox>(&dialog, "cbo_MoziCode")->currentText(), Q("SHIFT-JIS"));
    QCOMPARE(Child<QComboBox>(&dialog, "cbo_RetMoziIndex")->currentText(), Q("置き換え無し"));
    QVERIFY(Child<QCheckBox>(&dialog, "chk_TabOldType")->isChecked());
    Click(Child<QPushButton>(&dialog, "cmd_Ok"));
    QCOMPARE(dialog.ChosenEncoding(), 0);
    QCOMPARE(global.GetNewlineMode(), 0);
    QCOMPARE(global.GetTabOldType(), 1);
  }

  // The newline box shows the stored mode, and OK without a change keeps it; an unknown
  // mode shows and stores 0.
  void NewlineBoxShowsTheStoredMode_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("kept");
    QTest::newRow("0") << 0 << Q("置き換え無し") << 0;
    QTest::newRow("1") << 1 << Q("（全角スペース）") << 1;
    QTest::newRow("2") << 2 << Q("¶") << 2;
    QTest::newRow("3") << 3 << Q("置き換え無し") << 0;
    QTest::newRow("-1") << -1 << Q("置き換え無し") << 0;
  }
  void NewlineBoxShowsTheStoredMode() {
    QFETCH(int, stored);
    QFETCH(QString, shown);
    QFETCH(int, kept);
    korvel::SettingsStore global;
    global.SetNewlineMode(stored);
    korvel::OptionsDialog dialog(global);
    dialog.SetEncodingChoice(0, false);
    dialog.show();
    QCOMPARE(Child<QComboBox>(&dialog, "cbo_RetMoziIndex")->currentText(), shown);
    Click(Child<QPushButton>(&dialog, "cmd_Ok"));
    QVERIFY(dialog.Accepted());
    QCOMPARE(global.GetNewlineMode(), kept);
  }

  void OkTakesEveryControl() {
    korvel::SettingsStore global;
    global.SetNewlineMode(1);
    korvel::OptionsDialog dialog(global);
    QCOMPARE(Child<QComboBox>(&dialog, "cbo_RetMoziIndex")->currentText(), Q("（全角スペース）"));
    dialog.SetEncodingChoice(0, false);
    dialog.SetBomChoice(true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* code = Child<QComboBox>(&dialog, "cbo_MoziCode");
    code->setFocus();
    QTest::keyClick(code, Qt::Key_Down);
    QCOMPARE(code->currentText(), Q("UTF-16"));
    Click(Child<QCheckBox>(&dialog, "chk_Bom"));
    Click(Child<QCheckBox>(&dialog, "chk_TabOldType"));
    auto* newline = Child<QComboBox>(&dialog, "cbo_RetMoziIndex");
    newline->setFocus();
    QTest::keyClick(newline, Qt::Key_Down);
    QCOMPARE(newline->currentText(), Q("¶"));
    Click(Child<QPushButton>(&dialog, "cmd_Ok"));
    QCOMPARE(dialog.ChosenEncoding(), 10);
    QCOMPARE(dialog.ChosenBom(), false);
    QCOMPARE(global.GetTabOldType(), 1);
    QCOMPARE(global.GetNewlineMode(), 2);
  }

  void CancelAndCloseBoxChangeNothing() {
    korvel::SettingsStore global;
    for (int way = 0; way < 2; ++way) {
      korvel::OptionsDialog dialog(global);
      dialog.SetEncodingChoice(15, false);
      dialog.SetBomChoice(true);
      dialog.show();
      Child<QComboBox>(&dialog, "cbo_MoziCode")->setCurrentIndex(1);
      Click(Child<QCheckBox>(&dialog, "chk_Bom"));
      Click(Child<QCheckBox>(&dialog, "chk_TabOldType"));
      Child<QComboBox>(&dialog, "cbo_RetMoziIndex")->setCurrentIndex(2);
      if (way == 0) {
        Click(Child<QPushButton>(&dialog, "cmd_Cancel"));
      } else {
        dialog.close();
      }
      QVERIFY(!dialog.isVisible());
      QVERIFY(!dialog.Accepted());
      QCOMPARE(dialog.ChosenEncoding(), 15);
      QCOMPARE(dialog.ChosenBom(), true);
      QCOMPARE(global.GetTabOldType(), 0);
      QCOMPARE(global.GetNewlineMode(), 0);
    }
  }

  void ModalRunEndsWithOkAndTabOrderStartsAtOk() {
    korvel::SettingsStore global;
    korvel::OptionsDialog dialog(global);
    dialog.SetEncodingChoice(10, false);
    QStringList order;
    korvel::test::WhenModalShown([&order](QWidget* modal) {
      modal->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(modal));
      for (int i = 0; i < 6; ++i) {
        QWidget* focus = QApplication::focusWidget();
        order.append(focus ? focus->objectName() : QString());
        QTest::keyClick(modal, Qt::Key_Tab);
      }
      Click(Child<QPushButton>(modal, "cmd_Ok"));
    });
    QCOMPARE(dialog.exec(), static_cast<int>(QDialog::Accepted));
    QCOMPARE(order, QStringList({Q("cmd_Ok"), Q("cmd_Cancel"), Q("cbo_MoziCode"), Q("chk_Bom"),
                                 Q("chk_TabOldType"), Q("cbo_RetMoziIndex")}));
    QCOMPARE(dialog.ChosenEncoding(), 10);
  }

  // 数値の許容差: shows the stored text; OK takes a tolerance typed into it; anything else
  // is refused with the dialog's message, the dialog stays open with nothing changed.
  void ToleranceIsTypedAndCheckedOnOk() {
    korvel::RecordingNotifier notifier;
    korvel::ScopedNotifier scoped(&notifier);
    struct Case {
      const char* typed;  // UTF-8
      bool accepted;
    };
    const Case cases[] = {{"0.5", true},    {"１，０００", true}, {"1e+15", true},
                          {"0", true},      {"-0.1", false},      {"abc", false},
                          {"1e+16", false}, {"", false},          {"1e3", false}};
    for (const Case& c : cases) {
      notifier.Clear();
      korvel::SettingsStore global;
      QVERIFY(global.SetNumberTolerance("0.25"));
      global.SetNewlineMode(1);
      korvel::OptionsDialog dialog(global);
      dialog.SetEncodingChoice(0, false);
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      auto* box = Child<QLineEdit>(&dialog, "txt_NumTol");
      QCOMPARE(box->text(), Q("0.25"));
      Child<QComboBox>(&dialog, "cbo_RetMoziIndex")->setCurrentIndex(2);
      QTest::mouseClick(box, Qt::LeftButton);
      QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClick(box, Qt::Key_Delete);
      // Full-width characters come as key events carrying their text, as from an input method.
      for (const QChar ch : QString::fromUtf8(c.typed)) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
      }
      QCOMPARE(box->text(), QString::fromUtf8(c.typed));
      Click(Child<QPushButton>(&dialog, "cmd_Ok"));
      QCOMPARE(dialog.Accepted(), c.accepted);
      QCOMPARE(dialog.isVisible(), !c.accepted);
      if (c.accepted) {
        QVERIFY(notifier.Entries().empty());
        QCOMPARE(global.GetNumberTolerance(), korvel::ToCp932(QString::fromUtf8(c.typed)));
        QCOMPARE(global.GetNewlineMode(), 2);
      } else {
        QCOMPARE(notifier.Texts(),
                 std::vector<std::string>{
                     "数値の許容差が不正です。0以上1e15以下の数値を入力してください。"});
        QCOMPARE(global.GetNumberTolerance(), std::string("0.25"));
        QCOMPARE(global.GetNewlineMode(), 1);
        QVERIFY(box->hasFocus());
        Click(Child<QPushButton>(&dialog, "cmd_Cancel"));
        QVERIFY(!dialog.Accepted());
        QCOMPARE(global.GetNumberTolerance(), std::string("0.25"));
      }
    }
  }

  // The two new choices, picked with the keyboard from the item before them: each item's
  // code comes back on OK, and a 自動判定 preset over another CODE keeps its fallback.
  void EucJpAndAutoDetectionAreChosenByKeys() {
    struct Row {
      int preset;
      int downs;
      QString shown;
      int chosen;
    };
    const Row rows[] = {
        {15, 1, Q("EUC-JP"), korvel::kEncodingEucJp},
        {15, 2, Q("自動判定"), korvel::kEncodingAuto},
        {korvel::kEncodingEucJp, 0, Q("EUC-JP"), korvel::kEncodingEucJp},
        {korvel::AutoEncoding(15), 0, Q("自動判定"), korvel::AutoEncoding(15)},
        {korvel::AutoEncoding(15), 1, Q("自動判定"), korvel::AutoEncoding(15)},  // last item
        {korvel::kEncodingAuto, -4, Q("SHIFT-JIS"), 0},
    };
    for (const Row& row : rows) {
      korvel::SettingsStore global;
      korvel::OptionsDialog dialog(global);
      dialog.SetEncodingChoice(row.preset, false);
      dialog.show();
      auto* code = Child<QComboBox>(&dialog, "cbo_MoziCode");
      code->setFocus();
      for (int i = 0; i < std::abs(row.downs); ++i) {
        QTest::keyClick(code, row.downs > 0 ? Qt::Key_Down : Qt::Key_Up);
      }
      QCOMPARE(code->currentText(), row.shown);
      Click(Child<QPushButton>(&dialog, "cmd_Ok"));
      QVERIFY(dialog.Accepted());
      QCOMPARE(dialog.ChosenEncoding(), row.chosen);
    }
  }

 private:
  korvel::test::HomeDir home_;  // KORVEL_HOME
};

QTEST_MAIN(OptionDialogTest)
#include "OptionsDialog_test.moc"
