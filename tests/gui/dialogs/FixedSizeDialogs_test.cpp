// Every dialog of fixed size offers no maximise (or minimise) button: the frame gets only
// the buttons the dialog's flags name.

#include <QDialog>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "TestUtil.h"
#include "core/export/ExportTestSource.h"
#include "dialogs/ExportDialog.h"
#include "dialogs/FieldControlDialog.h"
#include "dialogs/FileSelectionDialog.h"
#include "dialogs/FindDialog.h"
#include "dialogs/FixedLengthDialog.h"
#include "dialogs/OptionsDialog.h"
#include "io/FixedWidthReader.h"
#include "settings/SettingsStore.h"

class FixedSizeDialogsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void NoneOffersToMaximise();
};

void FixedSizeDialogsTest::NoneOffersToMaximise() {
  korvel::test::TempDir home;
  korvel::test::ScopedHome scopedHome(home.Path());
  korvel::SettingsStore global;
  korvel::FixedWidthReader fixReader;
  korvel::test::MemoryExportSource source = korvel::test::SampleSource();
  const struct {
    const char* name;
    std::function<std::unique_ptr<QDialog>()> make;
  } dialogs[] = {
      {"file selection", [&] { return std::make_unique<korvel::FileSelectionDialog>(global); }},
      {"fixed length", [&] { return std::make_unique<korvel::FixedLengthDialog>(fixReader); }},
      {"field control",
       [] {
         return std::make_unique<korvel::FieldControlDialog>(
             korvel::FieldControlDialog::Mode::kSetUp);
       }},
      {"export", [&] { return std::make_unique<korvel::ExportDialog>(source); }},
      {"find", [] { return std::make_unique<korvel::FindDialog>(); }},
      {"options", [&] { return std::make_unique<korvel::OptionsDialog>(global); }},
  };
  for (const auto& d : dialogs) {
    std::unique_ptr<QDialog> dialog = d.make();
    dialog->show();
    QVERIFY2(QTest::qWaitForWindowExposed(dialog.get()), d.name);
    const Qt::WindowFlags flags = dialog->windowFlags();
    QVERIFY2(flags.testFlag(Qt::CustomizeWindowHint), d.name);
    QVERIFY2(!flags.testFlag(Qt::WindowMaximizeButtonHint), d.name);
    QVERIFY2(!flags.testFlag(Qt::WindowMinimizeButtonHint), d.name);
    QVERIFY2(flags.testFlag(Qt::WindowCloseButtonHint), d.name);
    QVERIFY2(dialog->minimumSize() == dialog->maximumSize(), d.name);
  }
}

QTEST_MAIN(FixedSizeDialogsTest)
#include "FixedSizeDialogs_test.moc"
