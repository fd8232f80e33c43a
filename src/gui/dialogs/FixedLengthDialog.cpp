#include "dialogs/FixedLengthDialog.h"

#include <QAction>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <cstdio>
#include <functional>

#include "dialogs/DialogKit.h"
#include "dialogs/FileChooser.h"
#include "io/FixedWidthReader.h"
#include "io/StringList.h"
#include "io/TextFile.h"
#include "platform/Codepage.h"
#include "platform/Notifier.h"
#include "qt/QtNotifier.h"
#include "qt/QtText.h"

namespace korvel {
namespace {

constexpr int kPreviewWidth = 769;
constexpr int kPreviewHeight = 104;
constexpr int kBandHeight = 16;  // the grey band above the lines
constexpr int kLinePitch = 18;
const QColor kBandColour(0x80, 0x80, 0x80);
const QColor kBoundaryColour(0xC0, 0xC0, 0xC0);

std::vector<FileFilter> DefinitionFilters() {
  return {{Q("固定長定義ファイル(*.dat)"), Q("*.dat")}, {Q("全てのファイル(*.*)"), Q("*.*")}};
}

std::string Format(const char* format, long long value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// What a click on boundary `boundary` (bytes from the start of the line) does to the
// definitions: on the end of a field it merges that field into the next one (the last
// field simply goes); inside a field it splits it there, the new first part getting a
// generated name; beyond the last field it appends one that reaches the boundary.
void ApplyBoundaryClick(FixDefinitionRows& rows, long long boundary,
                        const std::function<std::string()>& generatedName) {
  long long start = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const long long size = ParseFixSize(rows[i].size);
    const long long end = start + size;
    if (boundary == end) {
      rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(i));
      if (i < rows.size()) rows[i].size = std::to_string(size + ParseFixSize(rows[i].size));
      return;
    }
    if (boundary < end) {
      rows[i].size = std::to_string(end - boundary);
      rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(i),
                  {generatedName(), std::to_string(boundary - start)});
      return;
    }
    start = end;
  }
  rows.push_back({generatedName(), std::to_string(boundary - start)});
}

// Reports the first keystroke of each edit (the editor's first change of its text) and
// the end of every edit.
class FixCellDelegate : public QStyledItemDelegate {
 public:
  FixCellDelegate(QObject* parent, std::function<void(int, int)> onKeystroke)
      : QStyledItemDelegate(parent), onKeystroke_(std::move(onKeystroke)) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
      const int row = index.row();
      const int column = index.column();
      auto fired = std::make_shared<bool>(false);
      connect(edit, &QLineEdit::textEdited, edit, [this, row, column, fired]() {
        if (*fired) return;
        *fired = true;
        onKeystroke_(row, column);
      });
    }
    return editor;
  }

 private:
  std::function<void(int, int)> onKeystroke_;
};

}  // namespace

// The preview of the left file's first lines, with the field boundaries.
class FixPreview : public QWidget {
 public:
  FixPreview(FixedLengthDialog* dialog, QWidget* parent) : QWidget(parent), dialog_(dialog) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Taking the focus on a click ends an edit in the grid first, so that the click works
    // on the text just typed.
    setFocusPolicy(Qt::ClickFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* event) override {
    dialog_->PreviewClick(static_cast<int>(event->position().x()));
  }

 private:
  void PaintLine(QPainter& painter, const std::string& line, int top, int first) const;

  FixedLengthDialog* dialog_;
};

void FixPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(0, 0, width(), kBandHeight, kBandColour);
  painter.fillRect(0, kBandHeight, width(), height() - kBandHeight, Qt::white);

  const int first = dialog_->scr_Bottom_->value();
  const int cw = dialog_->charWidth_;
  painter.setPen(QPen(kBoundaryColour, 1));
  long long end = 0;
  for (const FixDefinitionRow& row : dialog_->DefinitionRows()) {
    end += ParseFixSize(row.size);
    if (first < end && (end - first) * cw <= width()) {
      const int x = static_cast<int>((end - first) * cw);
      painter.drawLine(x, 0, x, height() - 1);
    }
  }

  painter.setFont(font());
  painter.setPen(Qt::black);
  for (std::size_t i = 0; i < dialog_->previewLines_.size(); ++i) {
    PaintLine(painter, dialog_->previewLines_[i], kBandHeight + kLinePitch * static_cast<int>(i),
              first);
  }
}

// Each character is put at the cell of its first byte, so the boundaries, drawn by byte
// count, stay exactly between the characters whatever the face's widths.
void FixPreview::PaintLine(QPainter& painter, const std::string& line, int top, int first) const {
  const int cw = dialog_->charWidth_;
  const int baseline = top + QFontMetrics(font()).ascent();
  std::size_t i = 0;
  while (i < line.size()) {
    const std::size_t length = IsLeadByte(line[i]) && i + 1 < line.size() ? 2 : 1;
    const long long column = static_cast<long long>(i) - first;
    if (column * cw > width()) break;
    // A double-byte character cut by the left edge is left out, not shown as half.
    if (column >= 0 && line[i] != '\t') {
      painter.drawText(QPoint(static_cast<int>(column * cw), baseline),
                       ToQString(std::string_view(line).substr(i, length)));
    }
    i += length;
  }
}

// ---------------------------------------------------------------------------

FixedLengthDialog::FixedLengthDialog(FixedWidthReader& fixReader, QWidget* parent)
    : QDialog(parent), fixReader_(fixReader) {
  SetUpFixedDialog(this, Q("固定長定義"), 769, 393);
  CreateControls();
  SetGridRows(RowsFromFix(fixReader_));
}

FixedLengthDialog::~FixedLengthDialog() = default;

void FixedLengthDialog::CreateControls() {
  paiMain_ = new FixPreview(this, this);
  paiMain_->setObjectName(Q("paiMain"));
  paiMain_->setGeometry(0, 0, kPreviewWidth, kPreviewHeight);
  paiMain_->setFont(FixedPitchFont(16));
  QFontMetrics metrics(paiMain_->font());
  charWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('W')));
  charHeight_ = metrics.height();

  auto* panel = PlaceControl<QWidget>(this, "Panel1", {0, kPreviewHeight, 769, 289});
  scr_Bottom_ = PlaceControl<QScrollBar>(panel, "scr_Bottom", {0, 0, 769, 17});
  scr_Bottom_->setOrientation(Qt::Horizontal);
  scr_Bottom_->setRange(0, 0);
  connect(scr_Bottom_, &QScrollBar::valueChanged, paiMain_, qOverload<>(&QWidget::update));

  CreateGrid(panel);
  CreateButtons(panel);
}

void FixedLengthDialog::CreateGrid(QWidget* panel) {
  griMain_ = PlaceControl<QTableWidget>(panel, "griMain", {16, 32, 465, 241});
  griMain_->setColumnCount(4);
  griMain_->setHorizontalHeaderLabels({Q("NO"), Q("先頭位置"), Q("名前"), Q("サイズ")});
  griMain_->horizontalHeader()->setMinimumSectionSize(8);
  const int widths[] = {38, 77, 189, 64};
  for (int c = 0; c < 4; ++c) griMain_->setColumnWidth(c, widths[c]);
  griMain_->verticalHeader()->hide();
  griMain_->verticalHeader()->setMinimumSectionSize(16);
  griMain_->verticalHeader()->setDefaultSectionSize(16);
  griMain_->setSelectionMode(QAbstractItemView::SingleSelection);
  griMain_->setSelectionBehavior(QAbstractItemView::SelectItems);
  griMain_->setTabKeyNavigation(true);
  griMain_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::DoubleClicked);
  griMain_->setItemDelegate(
      new FixCellDelegate(griMain_, [this](int row, int column) { CellKeystroke(row, column); }));
  connect(griMain_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
          [this]() { Renumber(); });
  connect(griMain_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (!renumbering_ && item->column() >= kColName) Renumber();
  });
  gridMenu_ = new QMenu(griMain_);
  gridMenu_->setObjectName(Q("popMain"));
  auto* deleteLine = gridMenu_->addAction(Q("行削除(&D)"));
  deleteLine->setObjectName(Q("mnusDelLine"));
  connect(deleteLine, &QAction::triggered, this, &FixedLengthDialog::mnusDelLineClick);
  griMain_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(griMain_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { gridMenu_->popup(griMain_->viewport()->mapToGlobal(pos)); });
}

void FixedLengthDialog::CreateButtons(QWidget* panel) {
  auto* label = PlaceControl<QLabel>(panel, "Label1", {496, 32, 0, 0});
  label->setText(Q("全サイズ"));
  label->adjustSize();
  txt_FullSize_ = PlaceControl<QLineEdit>(panel, "txt_FullSize", {552, 32, 57, 20});
  txt_FullSize_->setReadOnly(true);
  txt_FullSize_->setText(Q("0"));

  for (auto [name, rect] : {std::pair{"Bevel2", QRect(512, 128, 225, 49)},
                            std::pair{"Bevel1", QRect(512, 184, 225, 89)}}) {
    auto* bevel = PlaceControl<QFrame>(panel, name, rect);
    bevel->setFrameShape(QFrame::Box);
    bevel->setFrameShadow(QFrame::Sunken);
  }

  auto button = [panel](const char* name, QRect rect, const char* caption) {
    auto* b = PlaceControl<QPushButton>(panel, name, rect);
    b->setText(Q(caption));
    return b;
  };
  cmd_Load_ = button("cmd_Load", {528, 136, 89, 33}, "定義読込(&R)...");
  cmd_Save_ = button("cmd_Save", {632, 136, 89, 33}, "定義保存(&S)...");
  cmd_Back_ = button("cmd_Back", {528, 196, 89, 33}, "戻る(&B)");
  cmd_Ok_ = button("cmd_Ok", {632, 196, 89, 33}, "次へ(&N)");
  cmd_Cancel_ = button("cmd_Cancel", {632, 236, 89, 33}, "キャンセル(&C)");
  connect(cmd_Load_, &QPushButton::clicked, this, &FixedLengthDialog::cmd_LoadClick);
  connect(cmd_Save_, &QPushButton::clicked, this, &FixedLengthDialog::cmd_SaveClick);
  connect(cmd_Back_, &QPushButton::clicked, this, &FixedLengthDialog::cmd_BackClick);
  connect(cmd_Ok_, &QPushButton::clicked, this, &FixedLengthDialog::cmd_OkClick);
  connect(cmd_Cancel_, &QPushButton::clicked, this, &FixedLengthDialog::cmd_CancelClick);
  griMain_->setFocus();
}

// ---------------------------------------------------------------------------
// Preview

void FixedLengthDialog::Preset(const std::string& leftPath, int encoding, bool detectBom) {
  previewLines_.clear();
  FixedWidthReader reader;
  // The preview says nothing of a file it cannot read, only of memory that runs out.
  if (ShowOutcome(reader.AddDefinition("a", kPreviewBytes))) {
    const int opened = reader.Open(leftPath, 0, encoding, detectBom ? 1 : 0);
    if (opened == FixedWidthReader::kOpenNoMemory) (void)ShowOutcome(reader.GetStatus());
    if (opened == FixedWidthReader::kOpenOk) {
      // A line that cannot be cut (a double-byte character across the preview's end) ends
      // the preview there.
      int read = 0;
      while (static_cast<int>(previewLines_.size()) < kPreviewLines &&
             (read = reader.ReadRecord()) > 0) {
        const char* field = reader.GetField(0);
        previewLines_.emplace_back(field, StringList::StoreLength(field, kPreviewBytes));
      }
      if (read == FixedWidthReader::kReadNoMemory) (void)ShowOutcome(reader.GetStatus());
      reader.Close();
    }
  }
  fullSize_ = previewLines_.empty() ? 0 : static_cast<int>(previewLines_.front().size());
  {
    const QSignalBlocker blocker(scr_Bottom_);
    scr_Bottom_->setRange(0, fullSize_);
    scr_Bottom_->setValue(0);
  }
  txt_FullSize_->setText(QString::number(fullSize_));
  paiMain_->update();
}

void FixedLengthDialog::PreviewClick(int x) {
  const long long boundary =
      scr_Bottom_->value() + (static_cast<long long>(x) + charWidth_ / 2) / charWidth_;
  if (boundary <= 0 || boundary > fullSize_) return;
  FixDefinitionRows rows = DefinitionRows();
  ApplyBoundaryClick(rows, boundary, [this]() { return NextGeneratedName(); });
  const int current = griMain_->currentRow();
  const int column = griMain_->currentColumn();
  SetGridRows(rows);
  if (current >= 0) griMain_->setCurrentCell(std::min(current, LastRow()), column);
  paiMain_->update();
}

// ---------------------------------------------------------------------------
// Grid

FixDefinitionRows FixedLengthDialog::DefinitionRows() const {
  FixDefinitionRows rows;
  for (int r = 0; r < LastRow(); ++r) {
    rows.push_back({CellText(r, kColName), CellText(r, kColSize)});
  }
  return rows;
}

int FixedLengthDialog::LastRow() const { return griMain_->rowCount() - 1; }

std::string FixedLengthDialog::CellText(int row, int column) const {
  const QTableWidgetItem* item = griMain_->item(row, column);
  return item ? ToCp932(item->text()) : std::string();
}

void FixedLengthDialog::SetCellText(int row, int column, const std::string& text) {
  QTableWidgetItem* item = griMain_->item(row, column);
  if (!item) {
    item = new QTableWidgetItem;
    if (column < kColName) {
      // The number and start columns are fixed: never current, never edited, reached by
      // neither clicks nor keys; they keep the normal text colour.
      item->setFlags(Qt::NoItemFlags);
      item->setBackground(griMain_->palette().button());
      item->setForeground(griMain_->palette().windowText());
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    griMain_->setItem(row, column, item);
  }
  item->setText(ToQString(text));
}

void FixedLengthDialog::AppendEmptyRow() {
  const bool wasRenumbering = renumbering_;
  renumbering_ = true;
  const int row = griMain_->rowCount();
  griMain_->insertRow(row);
  for (int c = 0; c < 4; ++c) SetCellText(row, c, std::string());
  renumbering_ = wasRenumbering;
}

void FixedLengthDialog::SetGridRows(const FixDefinitionRows& rows) {
  renumbering_ = true;
  griMain_->setRowCount(0);
  for (const FixDefinitionRow& row : rows) {
    AppendEmptyRow();
    SetCellText(LastRow(), kColName, row.name);
    SetCellText(LastRow(), kColSize, row.size);
  }
  AppendEmptyRow();
  renumbering_ = false;
  Renumber();
}

void FixedLengthDialog::Renumber() {
  if (renumbering_) return;
  renumbering_ = true;
  FixDefinitionRows all = DefinitionRows();
  all.push_back({CellText(LastRow(), kColName), CellText(LastRow(), kColSize)});
  const std::vector<long long> starts = FixStartPositions(all);
  for (int r = 0; r < griMain_->rowCount(); ++r) {
    SetCellText(r, kColNumber, Format("%3lld", r + 1));
    SetCellText(r, kColStart, Format("%4lld", starts[static_cast<std::size_t>(r)]));
  }
  renumbering_ = false;
  paiMain_->update();
}

std::string FixedLengthDialog::NextGeneratedName() { return Format("FD%03lld", nextNumber_++); }

void FixedLengthDialog::CellKeystroke(int row, int column) {
  if (row != LastRow()) return;
  AppendEmptyRow();
  if (column == kColSize) {
    const bool wasRenumbering = renumbering_;
    renumbering_ = true;
    SetCellText(row, kColName, NextGeneratedName());
    renumbering_ = wasRenumbering;
  }
  Renumber();
}

void FixedLengthDialog::mnusDelLineClick() {
  const int row = griMain_->currentRow();
  if (LastRow() < 1 || row < 0 || row >= LastRow()) {
    Beep();
    return;
  }
  griMain_->removeRow(row);
  Renumber();
}

bool FixedLengthDialog::CheckRows(const FixDefinitionRows& rows) {
  int failedRow = -1;
  const Status checked = CheckFixDefinitions(rows, &failedRow);
  if (ShowOutcome(checked)) return true;
  ShowFailedRow(failedRow, checked.Code());
  return false;
}

void FixedLengthDialog::ShowFailedRow(int row, int code) {
  griMain_->setCurrentCell(row >= 0 ? row : 0, code == kFixNameTooLong ? kColName : kColSize);
  griMain_->setFocus();
}

// ---------------------------------------------------------------------------
// Buttons

void FixedLengthDialog::cmd_LoadClick() {
  QString chosen = CurrentFileChooser().ChooseOpenFile(this, DefinitionFilters(), 1);
  if (chosen.isEmpty()) return;
  const std::string path = WithDatExtension(QStringToPath(chosen));
  FixDefinitionRows rows;
  Status loaded;
  {
    BusyCursor busy;
    loaded = LoadFixDefinitionFile(path, rows);
  }
  if (!ShowOutcome(loaded)) return;
  SetGridRows(rows);
  griMain_->setCurrentCell(0, kColName);
}

void FixedLengthDialog::cmd_SaveClick() {
  const FixDefinitionRows rows = DefinitionRows();
  if (!CheckRows(rows)) return;
  QString chosen = CurrentFileChooser().ChooseSaveFile(this, DefinitionFilters(), 1);
  if (chosen.isEmpty()) return;
  const std::string path = WithDatExtension(QStringToPath(chosen));
  if (!ShowOutcome(CheckOutputPath(path, WindowPrompter()))) return;
  Status written;
  {
    BusyCursor busy;
    written = WriteFixDefinitionFile(path, rows);
  }
  // Success and failure alike have their message.
  (void)ShowOutcome(written);
}

void FixedLengthDialog::cmd_OkClick() {
  const FixDefinitionRows rows = DefinitionRows();
  if (!CheckRows(rows)) return;
  // Only running out of memory can fail here, with its own message.
  if (!ShowOutcome(ApplyFixDefinitions(rows, fixReader_))) return;
  result_ = kNext;
  done(kNext);
}

void FixedLengthDialog::cmd_BackClick() {
  result_ = kBack;
  done(kBack);
}

void FixedLengthDialog::cmd_CancelClick() {
  result_ = kCancel;
  done(kCancel);
}

void FixedLengthDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!centred_) {
    centred_ = true;
    CenterOnScreen(this);
  }
}

}  // namespace korvel
