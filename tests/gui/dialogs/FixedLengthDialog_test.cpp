// The fixed-length definition dialog: the preview and its painted boundaries, splitting and
// merging by clicks, editing the grid, deleting lines, the checks, loading and saving.

#include "dialogs/FixedLengthDialog.h"

#include <QApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <memory>

#include "TestUtil.h"
#include "dialogs/DialogKit.h"
#include "gui/GuiTest.h"
#include "io/FixedWidthReader.h"
#include "platform/Notifier.h"
#include "qt/QtText.h"

using korvel::FixDefinitionRows;
using korvel::FixedLengthDialog;
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

QTableWidget* Grid(FixedLengthDialog& dialog) { return Child<QTableWidget>(&dialog, "griMain"); }
QWidget* Preview(FixedLengthDialog& dialog) { return Child<QWidget>(&dialog, "paiMain"); }

QString Cell(FixedLengthDialog& dialog, int row, int column) {
  QTableWidgetItem* item = Grid(dialog)->item(row, column);
  return item ? item->text() : QString();
}

QStringList Column(FixedLengthDialog& dialog, int column) {
  QStringList texts;
  for (int r = 0; r < Grid(dialog)->rowCount(); ++r) texts.append(Cell(dialog, r, column));
  return texts;
}

void ClickCell(QTableWidget* grid, int row, int column, Qt::MouseButton button = Qt::LeftButton) {
  QRect rect = grid->visualRect(grid->model()->index(row, column));
  QTest::mouseClick(grid->viewport(), button, Qt::NoModifier, rect.center());
}

QLineEdit* OpenEditor(QTableWidget* grid) {
  for (QLineEdit* edit : grid->viewport()->findChildren<QLineEdit*>()) {
    if (edit->isVisible()) return edit;
  }
  return nullptr;
}

// Types `text` into a cell as a user would: the first key starts the edit, the rest goes to
// the editor (characters outside Latin-1 through the input method), Return ends it.
void TypeIntoCell(QTableWidget* grid, int row, int column, const QString& text) {
  ClickCell(grid, row, column);
  QCOMPARE(grid->currentRow(), row);
  QCOMPARE(grid->currentColumn(), column);
  QLineEdit* editor = nullptr;
  if (text.at(0).unicode() < 0x80) {
    QTest::keyClick(grid, text.at(0).toLatin1());
    editor = OpenEditor(grid);
    QVERIFY(editor);
    QTest::keyClicks(editor, text.mid(1));
  } else {
    QTest::keyClick(grid, Qt::Key_F2);
    editor = OpenEditor(grid);
    QVERIFY(editor);
    editor->selectAll();
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(editor, &commit);
  }
  QTest::keyClick(editor, Qt::Key_Return);
  // The delegate commits and closes the editor from the event loop.
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCOMPARE(grid->item(row, column)->text(), text);
}

// The x of the middle of the cell boundary `boundary` bytes after the first shown byte.
int BoundaryX(FixedLengthDialog& dialog, int boundary) { return boundary * dialog.CharWidth(); }

void ClickBoundary(FixedLengthDialog& dialog, int boundary) {
  QTest::mouseClick(Preview(dialog), Qt::LeftButton, Qt::NoModifier,
                    QPoint(BoundaryX(dialog, boundary), 60));
}

QRgb Pixel(FixedLengthDialog& dialog, int x, int y) {
  return Preview(dialog)->grab().toImage().pixel(x, y) & 0xFFFFFF;
}

}  // namespace

class FixDefinitionDialogTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    files_ = std::make_unique<korvel::test::TempDir>();
    notifier_.Clear();
    fix_ = std::make_unique<korvel::FixedWidthReader>();
    QCOMPARE(fix_->AddDefinition("A", 10).Code(), 0);
    QCOMPARE(fix_->AddDefinition("B", 5).Code(), 0);
    QCOMPARE(fix_->AddDefinition("C", 20).Code(), 0);
    // First line 50 bytes (with double-byte characters), then five more lines.
    std::string data = S("ABCDEFGHIJ12345東京都千代田区ｱｲｳ 0001") + "XYZXYZXYZXYZX\r\n";
    for (int i = 0; i < 5; ++i) data += "line" + std::to_string(i) + "\r\n";
    leftPath_ = files_->Write("left.txt", data);
  }
  void cleanup() {
    fix_.reset();
    files_.reset();
  }

  void GridStartsFromTheReaderWithStartPositions() {
    FixedLengthDialog dialog(*fix_);
    QCOMPARE(Grid(dialog)->rowCount(), 4);
    QCOMPARE(Column(dialog, 0), QStringList({Q("  1"), Q("  2"), Q("  3"), Q("  4")}));
    QCOMPARE(Column(dialog, 1), QStringList({Q("   1"), Q("  11"), Q("  16"), Q("  36")}));
    QCOMPARE(Column(dialog, 2), QStringList({Q("A"), Q("B"), Q("C"), QString()}));
    QCOMPARE(Column(dialog, 3), QStringList({Q("10"), Q("5"), Q("20"), QString()}));
    QCOMPARE(Grid(dialog)->horizontalHeaderItem(1)->text(), Q("先頭位置"));
  }

  void PreviewReadsFiveLinesAndPaintsTheBoundaries() {
    FixedLengthDialog dialog(*fix_);
    dialog.Preset(leftPath_, 0, true);
    dialog.show();
    QCOMPARE(dialog.PreviewLines().size(), std::size_t{5});
    QCOMPARE(dialog.PreviewLines()[0].size(), std::size_t{50});
    QCOMPARE(dialog.PreviewLines()[4], std::string("line3"));
    QCOMPARE(dialog.FullSize(), 50);
    QCOMPARE(Child<QLineEdit>(&dialog, "txt_FullSize")->text(), Q("50"));
    auto* scroll = Child<QScrollBar>(&dialog, "scr_Bottom");
    QCOMPARE(scroll->maximum(), 50);
    QCOMPARE(scroll->value(), 0);

    const QRgb band = 0x808080, line = 0xC0C0C0, white = 0xFFFFFF;
    for (int boundary : {10, 15, 35}) {
      const int x = BoundaryX(dialog, boundary);
      QCOMPARE(Pixel(dialog, x, 4), line);
      QCOMPARE(Pixel(dialog, x, 103), line);
      QCOMPARE(Pixel(dialog, x - 1, 4), band);
      QCOMPARE(Pixel(dialog, x + 1, 4), band);
    }
    QCOMPARE(Pixel(dialog, BoundaryX(dialog, 12), 4), band);
    QCOMPARE(Pixel(dialog, BoundaryX(dialog, 40), 103), white);

    // The text is black on white below the band.
    QImage image = Preview(dialog)->grab().toImage();
    int dark = 0;
    for (int x = 0; x < BoundaryX(dialog, 10); ++x) {
      for (int y = 16; y < 34; ++y) dark += qGray(image.pixel(x, y)) < 100;
    }
    QVERIFY(dark > 20);

    // Scrolling by five bytes moves every boundary five cells to the left.
    const QPoint addArrow(scroll->width() - 4, scroll->height() / 2);
    for (int i = 0; i < 5; ++i) QTest::mouseClick(scroll, Qt::LeftButton, Qt::NoModifier, addArrow);
    QCOMPARE(scroll->value(), 5);
    QCOMPARE(Pixel(dialog, BoundaryX(dialog, 5), 4), line);
    QCOMPARE(Pixel(dialog, BoundaryX(dialog, 10), 4), line);
    QCOMPARE(Pixel(dialog, BoundaryX(dialog, 30), 4), line);
    QCOMPARE(Pixel(dialog, BoundaryX(dialog, 35), 4), band);

    // A click now is taken five bytes further on: boundary 10 merges A into B.
    ClickBoundary(dialog, 5);
    QVERIFY(dialog.DefinitionRows() == FixDefinitionRows({{"B", "15"}, {"C", "20"}}));
  }

  void ClickOnAFieldEndMergesItIntoTheNext() {
    FixedLengthDialog dialog(*fix_);
    dialog.Preset(leftPath_, 0, true);
    dialog.show();
    ClickBoundary(dialog, 10);
    QVERIFY(dialog.DefinitionRows() == FixDefinitionRows({{"B", "15"}, {"C", "20"}}));
    QCOMPARE(Column(dialog, 1), QStringList({Q("   1"), Q("  16"), Q("  36")}));
    QCOMPARE(Pixel(dialog, BoundaryX(dialog, 10), 4), QRgb{0x808080});
    QCOMPARE(Pixel(dialog, BoundaryX(dialog, 15), 4), QRgb{0xC0C0C0});
    // The end of the last field takes that field away.
    ClickBoundary(dialog, 35);
    QVERIFY(dialog.DefinitionRows() == FixDefinitionRows({{"B", "15"}}));
    QCOMPARE(Grid(dialog)->rowCount(), 2);
  }

  // The click is taken at the nearest boundary between characters: a few pixels to either
  // side of boundary 10 still merge A into B, as a click on it does.
  void AClickNearABoundaryLandsOnIt_data() {
    QTest::addColumn<int>("offset");
    QTest::newRow("3 pixels left") << -3;
    QTest::newRow("on it") << 0;
    QTest::newRow("3 pixels right") << 3;
  }
  void AClickNearABoundaryLandsOnIt() {
    QFETCH(int, offset);
    FixedLengthDialog dialog(*fix_);
    dialog.Preset(leftPath_, 0, true);
    dialog.show();
    QVERIFY(dialog.CharWidth() >= 7);  // three pixels are less than half a character
    QTest::mouseClick(Preview(dialog), Qt::LeftButton, Qt::NoModifier,
                      QPoint(BoundaryX(dialog, 10) + offset, 60));
    QVERIFY(dialog.DefinitionRows() == FixDefinitionRows({{"B", "15"}, {"C", "20"}}));
  }

  void ClickInsideAFieldSplitsItWithGeneratedNames() {
    FixedLengthDialog dialog(*fix_);
    dialog.Preset(leftPath_, 0, true);
    dialog.show();
    ClickBoundary(dialog, 4);
    QVERIFY(dialog.DefinitionRows() ==
            FixDefinitionRows({{"FD001", "4"}, {"A", "6"}, {"B", "5"}, {"C", "20"}}));
    ClickBoundary(dialog, 2);
    QVERIFY(
        dialog.DefinitionRows() ==
        FixDefinitionRows({{"FD002", "2"}, {"FD001", "2"}, {"A", "6"}, {"B", "5"}, {"C", "20"}}));
    QCOMPARE(Column(dialog, 1),
             QStringList({Q("   1"), Q("   3"), Q("   5"), Q("  11"), Q("  16"), Q("  36")}));
    QCOMPARE(Pixel(dialog, BoundaryX(dialog, 2), 4), QRgb{0xC0C0C0});
    QCOMPARE(Pixel(dialog, BoundaryX(dialog, 4), 4), QRgb{0xC0C0C0});

    // Beyond the defined 35 bytes a field reaching the click is appended.
    ClickBoundary(dialog, 40);
    QCOMPARE(dialog.DefinitionRows().back(), (korvel::FixDefinitionRow{"FD003", "5"}));
    QCOMPARE(Cell(dialog, Grid(dialog)->rowCount() - 1, 2), QString());
  }

  void AClickInThePreviewEndsAnEditFirst() {
    FixedLengthDialog dialog(*fix_);
    dialog.Preset(leftPath_, 0, true);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTableWidget* grid = Grid(dialog);
    ClickCell(grid, 0, 3);
    QTest::keyClick(grid, '6');  // the size of A becomes 6, not yet confirmed
    QVERIFY(OpenEditor(grid));
    ClickBoundary(dialog, 8);  // inside B, which now starts at byte 6
    QVERIFY(dialog.DefinitionRows() ==
            FixDefinitionRows({{"A", "6"}, {"FD001", "2"}, {"B", "3"}, {"C", "20"}}));
  }

  void ClicksOutsideTheLineChangeNothing() {
    FixedLengthDialog dialog(*fix_);
    dialog.Preset(leftPath_, 0, true);
    dialog.show();
    const FixDefinitionRows before = dialog.DefinitionRows();
    ClickBoundary(dialog, 0);
    ClickBoundary(dialog, 51);
    QVERIFY(dialog.DefinitionRows() == before);
    ClickBoundary(dialog, 50);  // the very end of the line is a boundary
    QCOMPARE(dialog.DefinitionRows().back(), (korvel::FixDefinitionRow{"FD001", "15"}));

    // A file that cannot be read leaves an empty preview; clicks do nothing.
    FixedLengthDialog missing(*fix_);
    missing.Preset(files_->File("nothing.txt"), 0, true);
    missing.show();
    QVERIFY(missing.PreviewLines().empty());
    QCOMPARE(missing.FullSize(), 0);
    QCOMPARE(Child<QLineEdit>(&missing, "txt_FullSize")->text(), Q("0"));
    ClickBoundary(missing, 3);
    QVERIFY(missing.DefinitionRows() == before);
    Click(Child<QPushButton>(&missing, "cmd_Ok"));
    QCOMPARE(missing.Result(), FixedLengthDialog::kNext);
  }

  void TypingInTheLastRowAddsARow() {
    korvel::FixedWidthReader empty;
    FixedLengthDialog dialog(empty);
    dialog.show();
    QTableWidget* grid = Grid(dialog);
    QCOMPARE(grid->rowCount(), 1);
    TypeIntoCell(grid, 0, 2, Q("CODE"));
    QCOMPARE(grid->rowCount(), 2);
    TypeIntoCell(grid, 0, 3, Q("7"));
    // A keystroke in the size cell of the last row names the field.
    TypeIntoCell(grid, 1, 3, Q("12"));
    QCOMPARE(grid->rowCount(), 3);
    QVERIFY(dialog.DefinitionRows() == FixDefinitionRows({{"CODE", "7"}, {"FD001", "12"}}));
    QCOMPARE(Column(dialog, 1), QStringList({Q("   1"), Q("   8"), Q("  20")}));
    // Changing a size renumbers the rows below.
    TypeIntoCell(grid, 0, 3, Q("3"));
    QCOMPARE(Column(dialog, 1), QStringList({Q("   1"), Q("   4"), Q("  16")}));
    // The number columns are not editable and never hold the current cell.
    ClickCell(grid, 1, 0);
    QCOMPARE(grid->currentRow(), 0);
    QCOMPARE(grid->currentColumn(), 3);
    ClickCell(grid, 1, 2);
    QTest::keyClick(grid, Qt::Key_Left);
    QCOMPARE(grid->currentColumn(), 2);
  }

  void SizeAndNameChecksRefuseWithTheirMessages() {
    korvel::ScopedNotifier scoped(&notifier_);
    korvel::FixedWidthReader empty;
    FixedLengthDialog dialog(empty);
    dialog.show();
    QTableWidget* grid = Grid(dialog);
    auto* next = Child<QPushButton>(&dialog, "cmd_Ok");

    Click(next);
    QCOMPARE(Texts(notifier_), QStringList{Q("サイズを指定してください。")});

    TypeIntoCell(grid, 0, 2, Q("NAME"));
    const char* tooSmall = "サイズが不正です。１以上の値を入力してください。";
    const char* tooLarge = "サイズが不正です。500以内の値を入力してください。";
    for (auto [size, message] : {std::pair{"abc", tooSmall}, std::pair{"0", tooSmall},
                                 std::pair{"-3", tooSmall}, std::pair{"501", tooLarge}}) {
      TypeIntoCell(grid, 0, 3, Q(size));
      ClickCell(grid, 1, 2);
      notifier_.Clear();
      Click(next);
      QCOMPARE(Texts(notifier_), QStringList{Q(message)});
      QCOMPARE(notifier_.Entries()[0].box.caption, S("注意"));
      QCOMPARE(grid->currentRow(), 0);
      QCOMPARE(grid->currentColumn(), 3);
      QVERIFY(dialog.isVisible());
      QCOMPARE(dialog.Result(), FixedLengthDialog::kCancel);
    }

    // 15 double-byte characters and one single-byte one: 31 bytes.
    TypeIntoCell(grid, 0, 3, Q("500"));
    TypeIntoCell(grid, 0, 2, Q("あいうえおかきくけこさしすせそ") + Q("x"));
    ClickCell(grid, 1, 3);
    notifier_.Clear();
    Click(next);
    QCOMPARE(Texts(notifier_), QStringList{Q("名前が長すぎます。")});
    QCOMPARE(grid->currentColumn(), 2);

    // 30 bytes pass; empty names pass too.
    TypeIntoCell(grid, 0, 2, Q("あいうえおかきくけこさしすせそ"));
    TypeIntoCell(grid, 1, 3, Q("1"));
    grid->item(1, 2)->setText(QString());
    notifier_.Clear();
    Click(next);
    QVERIFY(notifier_.Entries().empty());
    QCOMPARE(dialog.Result(), FixedLengthDialog::kNext);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(empty.DefinitionCount(), 2);
    QCOMPARE(std::string(empty.DefinitionName(0)), S("あいうえおかきくけこさしすせそ"));
    QCOMPARE(empty.DefinitionLength(0), 500);
    QCOMPARE(std::string(empty.DefinitionName(1)), std::string());
    QCOMPARE(empty.DefinitionLength(1), 1);
  }

  void PopupMenuDeletesTheCurrentLine() {
    korvel::ScopedNotifier scoped(&notifier_);
    FixedLengthDialog dialog(*fix_);
    dialog.show();
    QTableWidget* grid = Grid(dialog);
    auto deleteVia = [&](int row) {
      ClickCell(grid, row, 2);
      ClickCell(grid, row, 2, Qt::RightButton);
      // The context-menu event that the system sends after a right click.
      QRect rect = grid->visualRect(grid->model()->index(row, 2));
      QContextMenuEvent event(QContextMenuEvent::Mouse, rect.center(),
                              grid->viewport()->mapToGlobal(rect.center()));
      QApplication::sendEvent(grid->viewport(), &event);
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(menu);
      QAction* action = menu->actions().at(0);
      QCOMPARE(action->objectName(), Q("mnusDelLine"));
      QCOMPARE(action->text(), Q("行削除(&D)"));
      QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier,
                        menu->actionGeometry(action).center());
      QVERIFY(!menu->isVisible());
    };
    deleteVia(1);
    QVERIFY(dialog.DefinitionRows() == FixDefinitionRows({{"A", "10"}, {"C", "20"}}));
    QCOMPARE(Column(dialog, 0), QStringList({Q("  1"), Q("  2"), Q("  3")}));
    QCOMPARE(Column(dialog, 1), QStringList({Q("   1"), Q("  11"), Q("  31")}));
    QCOMPARE(notifier_.BeepCount(), 0);

    deleteVia(2);  // the empty last row
    QCOMPARE(notifier_.BeepCount(), 1);
    QCOMPARE(grid->rowCount(), 3);

    deleteVia(0);
    deleteVia(0);
    QCOMPARE(grid->rowCount(), 1);
    deleteVia(0);  // nothing left to delete
    QCOMPARE(notifier_.BeepCount(), 2);
  }

  void SaveAndLoadRoundTrip() {
    korvel::ScopedNotifier scoped(&notifier_);
    korvel::test::QueuedFileChooser chooser;
    korvel::ScopedFileChooser scopedChooser(&chooser);
    korvel::FixedWidthReader two;
    QCOMPARE(two.AddDefinition(S("氏名"), 20).Code(), 0);
    QCOMPARE(two.AddDefinition("CODE", 4).Code(), 0);
    FixedLengthDialog dialog(two);
    dialog.show();

    chooser.Queue(korvel::PathToQString(files_->File("defs")));  // ".dat" is added
    Click(Child<QPushButton>(&dialog, "cmd_Save"));
    QCOMPARE(chooser.LastIndex(), 1);
    QCOMPARE(chooser.LastFilters()[0].description, Q("固定長定義ファイル(*.dat)"));
    QCOMPARE(Texts(notifier_), QStringList{Q("保存しました。")});
    QCOMPARE(notifier_.Entries()[0].box.caption, S("確認"));
    const std::string saved = files_->File("defs.dat");
    QCOMPARE(korvel::test::ReadFileBytes(saved), S("氏名\t20\r\nCODE\t4\r\n"));

    // An existing file needs a Yes; No leaves it alone.
    TypeIntoCell(Grid(dialog), 1, 3, Q("5"));
    chooser.Queue(korvel::PathToQString(saved));
    notifier_.Clear();
    notifier_.QueueAnswer(false);
    Click(Child<QPushButton>(&dialog, "cmd_Save"));
    QCOMPARE(Texts(notifier_),
             QStringList{Q("既にファイルが存在します。上書きしてよろしいですか？")});
    QCOMPARE(korvel::test::ReadFileBytes(saved), S("氏名\t20\r\nCODE\t4\r\n"));

    // A folder is refused.
    std::filesystem::create_directory(files_->File("folder.dat"));
    chooser.Queue(korvel::PathToQString(files_->File("folder.dat")));
    notifier_.Clear();
    Click(Child<QPushButton>(&dialog, "cmd_Save"));
    QCOMPARE(Texts(notifier_), QStringList{Q("フォルダが指定されています。")});

    // Rows that fail the check are not saved: no file dialog is shown.
    TypeIntoCell(Grid(dialog), 1, 3, Q("0"));
    const int calls = chooser.Calls();
    notifier_.Clear();
    Click(Child<QPushButton>(&dialog, "cmd_Save"));
    QCOMPARE(Texts(notifier_), QStringList{Q("サイズが不正です。１以上の値を入力してください。")});
    QCOMPARE(chooser.Calls(), calls);

    // Loading gives back the saved grid, with the first row current.
    korvel::FixedWidthReader empty;
    FixedLengthDialog other(empty);
    other.show();
    chooser.Queue(korvel::PathToQString(files_->File("defs")));
    Click(Child<QPushButton>(&other, "cmd_Load"));
    QVERIFY(other.DefinitionRows() == FixDefinitionRows({{S("氏名"), "20"}, {"CODE", "4"}}));
    QCOMPARE(Column(other, 1), QStringList({Q("   1"), Q("  21"), Q("  25")}));
    QCOMPARE(Grid(other)->currentRow(), 0);
  }

  void LoadingGarbageOrNothingLeavesTheDialogUsable() {
    korvel::ScopedNotifier scoped(&notifier_);
    korvel::test::QueuedFileChooser chooser;
    korvel::ScopedFileChooser scopedChooser(&chooser);
    FixedLengthDialog dialog(*fix_);
    dialog.show();
    const FixDefinitionRows before = dialog.DefinitionRows();

    chooser.Queue(korvel::PathToQString(files_->File("missing.dat")));
    Click(Child<QPushButton>(&dialog, "cmd_Load"));
    QCOMPARE(Texts(notifier_), QStringList{Q("ファイルの読み込みに失敗しました。")});
    QVERIFY(dialog.DefinitionRows() == before);

    // A cancelled file dialog changes nothing.
    notifier_.Clear();
    Click(Child<QPushButton>(&dialog, "cmd_Load"));
    QVERIFY(notifier_.Entries().empty());
    QVERIFY(dialog.DefinitionRows() == before);

    const std::string garbage =
        files_->Write("garbage.dat", S("名前\t10\r\n\r\nno tab here\r\nX\tabc\textra\r\n") +
                                         std::string("\x01\x02\tzz\r\n"));
    chooser.Queue(korvel::PathToQString(garbage));
    Click(Child<QPushButton>(&dialog, "cmd_Load"));
    QVERIFY(notifier_.Entries().empty());
    FixDefinitionRows loaded = dialog.DefinitionRows();
    QCOMPARE(loaded.size(), std::size_t{5});
    QCOMPARE(loaded[0], (korvel::FixDefinitionRow{S("名前"), "10"}));
    QCOMPARE(loaded[1], (korvel::FixDefinitionRow{"", ""}));
    QCOMPARE(loaded[3], (korvel::FixDefinitionRow{"X", "abc"}));

    Click(Child<QPushButton>(&dialog, "cmd_Ok"));
    QCOMPARE(Texts(notifier_), QStringList{Q("サイズが不正です。１以上の値を入力してください。")});
    QCOMPARE(Grid(dialog)->currentRow(), 1);
    QCOMPARE(dialog.Result(), FixedLengthDialog::kCancel);
    QCOMPARE(fix_->DefinitionCount(), 3);  // the reader keeps its definitions

    // Still usable: the grid can be loaded again and confirmed.
    chooser.Queue(Q(""));
    const std::string good = files_->Write("good.dat", "K\t3\r\n");
    chooser.Queue(korvel::PathToQString(good));
    Click(Child<QPushButton>(&dialog, "cmd_Load"));
    Click(Child<QPushButton>(&dialog, "cmd_Load"));
    Click(Child<QPushButton>(&dialog, "cmd_Ok"));
    QCOMPARE(dialog.Result(), FixedLengthDialog::kNext);
    QCOMPARE(fix_->DefinitionCount(), 1);
    QCOMPARE(fix_->DefinitionLength(0), 3);
  }

  void ResultsOfTheStepButtons() {
    struct Way {
      const char* button;
      int result;
    };
    for (const Way& way :
         {Way{"cmd_Back", FixedLengthDialog::kBack}, Way{"cmd_Cancel", FixedLengthDialog::kCancel},
          Way{nullptr, FixedLengthDialog::kCancel}, Way{"cmd_Ok", FixedLengthDialog::kNext}}) {
      FixedLengthDialog dialog(*fix_);
      dialog.Preset(leftPath_, 0, true);
      korvel::test::WhenModalShown([&way](QWidget* modal) {
        // A split before leaving: only "次へ" hands it to the reader.
        QTest::mouseClick(Child<QWidget>(modal, "paiMain"), Qt::LeftButton, Qt::NoModifier,
                          QPoint(4 * static_cast<FixedLengthDialog*>(modal)->CharWidth(), 50));
        if (way.button) {
          Click(Child<QPushButton>(modal, way.button));
        } else {
          modal->close();
        }
      });
      QCOMPARE(dialog.exec(), way.result);
      QCOMPARE(dialog.Result(), way.result);
      QCOMPARE(fix_->DefinitionCount(), way.result == FixedLengthDialog::kNext ? 4 : 3);
    }
    // The next showing starts from the confirmed definition.
    FixedLengthDialog again(*fix_);
    QCOMPARE(Column(again, 2), QStringList({Q("FD001"), Q("A"), Q("B"), Q("C"), QString()}));
  }

 private:
  std::unique_ptr<korvel::test::TempDir> files_;
  std::unique_ptr<korvel::FixedWidthReader> fix_;
  std::string leftPath_;
  korvel::RecordingNotifier notifier_;
};

QTEST_MAIN(FixDefinitionDialogTest)
#include "FixedLengthDialog_test.moc"
