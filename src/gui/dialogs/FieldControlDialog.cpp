#include "dialogs/FieldControlDialog.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <algorithm>
#include <vector>

#include "dialogs/DialogKit.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

namespace korvel {
namespace {

// The name columns gave up the room that 数値比較 takes, so the grid keeps its width.
constexpr int kColumnWidths[FieldGrid::kColumnCount] = {35, 27, 28, 31, 33, 143, 130, 46, 52};

// The name cell of a side that lacks the row's field: the grey of the result grid's column
// on that side.
const QColor kMissingFieldColor(200, 200, 200);

bool IsMarkColumn(int column) {
  return (column >= FieldGrid::kKey && column <= FieldGrid::kNotCompared) ||
         column == FieldGrid::kNotLoaded || column == FieldGrid::kNumberCompare;
}

}  // namespace

FieldControlDialog::FieldControlDialog(Mode mode, QWidget* parent)
    : QDialog(parent),
      mode_(mode),
      grid_(mode == Mode::kReGrid ? FieldGrid::ForReGrid() : FieldGrid()) {
  SetUpFixedDialog(this, Q("項目単位制御"), 591, 342);
  CreateControls();
  Reload();
}

FieldControlDialog::~FieldControlDialog() = default;

void FieldControlDialog::CreateControls() {
  griMain_ = PlaceControl<QTableWidget>(this, "griMain", {24, 16, 545, 249});
  SetUpGrid();

  cmd_Back_ = PlaceControl<QPushButton>(this, "cmd_Back", {272, 280, 97, 33});
  cmd_Back_->setText(Q("戻る(&B)"));
  cmd_Run_ = PlaceControl<QPushButton>(this, "cmd_Run", {376, 280, 97, 33});
  cmd_Run_->setText(Q("比較実行(&R)"));
  cmd_Cancel_ = PlaceControl<QPushButton>(this, "cmd_Cancel", {480, 280, 89, 33});
  cmd_Cancel_->setText(Q("キャンセル(&C)"));
  connect(cmd_Back_, &QPushButton::clicked, this, &FieldControlDialog::cmd_BackClick);
  connect(cmd_Run_, &QPushButton::clicked, this, &FieldControlDialog::cmd_RunClick);
  connect(cmd_Cancel_, &QPushButton::clicked, this, &FieldControlDialog::cmd_CancelClick);
  cmd_Back_->setVisible(mode_ == Mode::kSetUp);

  StatusBar1_ = PlaceControl<QStatusBar>(this, "StatusBar1", {0, 342 - 22, 591, 22});
  StatusBar1_->setSizeGripEnabled(false);

  setTabOrder(griMain_, cmd_Run_);
  setTabOrder(cmd_Run_, cmd_Cancel_);
  setTabOrder(cmd_Cancel_, cmd_Back_);
  griMain_->setFocus();
}

int FieldControlDialog::HeaderTextWidth(int column) const {
  QHeaderView* header = griMain_->horizontalHeader();
  const QTableWidgetItem* item = griMain_->horizontalHeaderItem(column);
  const QString text = item != nullptr ? item->text() : QString();
  // The section's own margins, as the style paints them, on both sides of the text.
  const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  return header->fontMetrics().horizontalAdvance(text) + 2 * margin + 2;
}

std::vector<int> FieldControlDialog::FittedColumnWidths() const {
  // The described widths were measured for a 12-pixel font; the CJK face here is wider, and
  // a header cut inside "SPC除く" shows as a broken glyph. A column widens to its header
  // and the two name columns give the room back, so the grid keeps its width.
  const int columns = std::min(grid_.ColumnCount(), static_cast<int>(FieldGrid::kColumnCount));
  std::vector<int> widths(kColumnWidths, kColumnWidths + columns);
  int extra = 0;
  for (int c = 0; c < columns; ++c) {
    if (!grid_.ShowsColumn(c)) continue;
    const int need = HeaderTextWidth(c);
    if (need > widths[c]) {
      extra += need - widths[c];
      widths[c] = need;
    }
  }
  for (int c : {FieldGrid::kNameA, FieldGrid::kNameB}) {
    if (c >= columns) continue;
    const int give = std::min(extra, std::max(0, widths[c] - HeaderTextWidth(c)));
    widths[c] -= give;
    extra -= give;
  }
  return widths;
}

void FieldControlDialog::SetUpGrid() {
  griMain_->setColumnCount(grid_.ColumnCount());
  griMain_->horizontalHeader()->setMinimumSectionSize(8);
  for (int c = 0; c < grid_.ColumnCount(); ++c) {
    griMain_->setHorizontalHeaderItem(c, new QTableWidgetItem(ToQString(grid_.Cell(0, c))));
  }
  const std::vector<int> widths = FittedColumnWidths();
  for (int c = 0; c < grid_.ColumnCount(); ++c) {
    griMain_->setColumnWidth(c, widths[c]);
    griMain_->setColumnHidden(c, !grid_.ShowsColumn(c));
  }
  griMain_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  griMain_->horizontalHeader()->setHighlightSections(false);
  griMain_->verticalHeader()->hide();
  griMain_->verticalHeader()->setMinimumSectionSize(16);
  griMain_->verticalHeader()->setDefaultSectionSize(16);
  griMain_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  griMain_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  griMain_->setSelectionBehavior(QAbstractItemView::SelectItems);
  griMain_->setShowGrid(true);
  griMain_->setTabKeyNavigation(false);
  griMain_->viewport()->installEventFilter(this);
  connect(griMain_, &QTableWidget::cellClicked, this, &FieldControlDialog::griMainClick);
  connect(griMain_, &QTableWidget::currentCellChanged, this,
          &FieldControlDialog::griMainSelectCell);
}

void FieldControlDialog::Reload() {
  griMain_->setRowCount(grid_.RowCount() - 1);
  for (int row = 1; row < grid_.RowCount(); ++row) ShowRow(row);
  // The grid opens on its first free cell, without a hint until the user moves.
  if (griMain_->currentRow() < 0 && griMain_->rowCount() > 0) {
    const QSignalBlocker blocker(griMain_);
    griMain_->setCurrentCell(0, grid_.FixedColumns());
  }
}

// Model row `row` is view row `row - 1`: the model's header row is the view's header.
void FieldControlDialog::ShowRow(int row) {
  for (int c = 0; c < grid_.ColumnCount(); ++c) {
    QTableWidgetItem* item = griMain_->item(row - 1, c);
    if (!item) {
      item = new QTableWidgetItem;
      if (c < grid_.FixedColumns()) {
        // A fixed cell is neither clicked nor reached by the arrow keys; it keeps the
        // normal text colour.
        item->setFlags(Qt::NoItemFlags);
        item->setBackground(griMain_->palette().button());
        item->setForeground(griMain_->palette().windowText());
      } else {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      }
      if (c == FieldGrid::kNumber) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (IsMarkColumn(c)) item->setTextAlignment(Qt::AlignCenter);
      griMain_->setItem(row - 1, c, item);
    }
    item->setText(ToQString(grid_.Cell(row, c)));
    if (c == FieldGrid::kNameA || c == FieldGrid::kNameB) {
      const Side side = c == FieldGrid::kNameA ? Side::kLeft : Side::kRight;
      const bool missing = grid_.FieldNo(row, side) == kNoFieldNo;
      item->setData(Qt::BackgroundRole,
                    missing ? QVariant(QBrush(kMissingFieldColor)) : QVariant());
    }
  }
}

QString FieldControlDialog::StatusText() const { return StatusBar1_->currentMessage(); }

// A mouse button going down anywhere on the grid arms the next click; the keyboard never
// does, so moving the current cell with the keys changes no mark.
bool FieldControlDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == griMain_->viewport() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    mouseDown_ = true;
  }
  return QDialog::eventFilter(watched, event);
}

void FieldControlDialog::griMainClick(int viewRow, int column) {
  if (!mouseDown_ || column < grid_.FixedColumns()) return;
  mouseDown_ = false;
  const int row = viewRow + 1;
  grid_.Toggle(row, column);
  ShowRow(row);
}

// Every cell that becomes current shows its column's hint (fixed cells never do).
void FieldControlDialog::griMainSelectCell(int viewRow, int column) {
  if (viewRow < 0 || column < grid_.FixedColumns()) return;
  StatusBar1_->showMessage(ToQString(FieldGrid::ColumnHint(column)));
}

void FieldControlDialog::cmd_RunClick() {
  if (!ShowOutcome(grid_.ConfirmMarks())) return;
  result_ = kRun;
  done(kRun);
}

void FieldControlDialog::cmd_BackClick() {
  result_ = kBack;
  done(kBack);
}

void FieldControlDialog::cmd_CancelClick() {
  result_ = kCancel;
  done(kCancel);
}

void FieldControlDialog::showEvent(QShowEvent* event) {
  Reload();
  QDialog::showEvent(event);
  if (!centred_) {
    centred_ = true;
    CenterOnScreen(this);
  }
}

}  // namespace korvel
