#include "mainwindow/FieldSummaryPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstddef>

#include "qt/QtText.h"

namespace korvel {
namespace {

const QColor kGreyText(150, 150, 150);
const QColor kRowLine(230, 230, 230);

}  // namespace

FieldBarList::FieldBarList(QWidget* parent, const QColor& barColor)
    : QAbstractScrollArea(parent), barColor_(barColor) {
  setObjectName(QStringLiteral("FieldSummaryList"));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  rowHeight_ = std::max(18, fontMetrics().height() + 4);
  // Room for a name, a bar that can tell counts apart, the count and the scroll bar.
  setMinimumWidth(BarLeft() + kMinBar + kCountWidth + kMargin +
                  verticalScrollBar()->sizeHint().width());
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
}

void FieldBarList::SetRows(std::vector<FieldSummaryRow> rows, QStringList names) {
  rows_ = std::move(rows);
  names_ = std::move(names);
  largest_ = LargestCount(rows_);
  UpdateScrollRange();
  viewport()->update();
}

int FieldBarList::FirstRow() const { return verticalScrollBar()->value(); }

int FieldBarList::FullBar() const {
  return std::max(0, viewport()->width() - BarLeft() - kCountWidth - kMargin);
}

void FieldBarList::UpdateScrollRange() {
  // Scrolled a row at a time, so that a row is never cut at the top.
  const int shown = std::max(1, viewport()->height() / rowHeight_);
  verticalScrollBar()->setPageStep(shown);
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(rows_.size()) - shown));
}

void FieldBarList::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRange();
}

void FieldBarList::scrollContentsBy(int, int) { viewport()->update(); }

void FieldBarList::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const int first = FirstRow();
  const int full = FullBar();
  const int countLeft = viewport()->width() - kMargin - kCountWidth;
  const int count = static_cast<int>(rows_.size());
  for (int i = first, y = 0; i < count && y < viewport()->height(); ++i, y += rowHeight_) {
    const FieldSummaryRow& row = rows_[static_cast<std::size_t>(i)];
    const QRect name(kMargin, y, kNameWidth, rowHeight_);
    const QString text = names_.value(row.field);
    p.setPen(row.compared ? palette().color(QPalette::Text) : kGreyText);
    p.drawText(name, Qt::AlignVCenter | Qt::AlignLeft,
               fontMetrics().elidedText(text, Qt::ElideRight, kNameWidth));
    const int length = BarLength(row.differing, largest_, full);
    if (length > 0) p.fillRect(BarLeft(), y + 3, length, rowHeight_ - 6, barColor_);
    p.drawText(QRect(countLeft, y, kCountWidth, rowHeight_), Qt::AlignVCenter | Qt::AlignRight,
               row.compared ? QString::number(row.differing) : Q("－"));
    p.setPen(kRowLine);
    p.drawLine(0, y + rowHeight_ - 1, viewport()->width(), y + rowHeight_ - 1);
  }
}

int FieldBarList::FieldAt(int y) const {
  if (y < 0) return -1;
  const int i = FirstRow() + y / rowHeight_;
  if (i >= static_cast<int>(rows_.size())) return -1;
  return rows_[static_cast<std::size_t>(i)].field;
}

void FieldBarList::mousePressEvent(QMouseEvent* event) {
  const int field = FieldAt(event->position().toPoint().y());
  if (event->button() == Qt::LeftButton && field >= 0) Q_EMIT FieldClicked(field);
}

void FieldBarList::mouseDoubleClickEvent(QMouseEvent* event) {
  const int field = FieldAt(event->position().toPoint().y());
  if (event->button() == Qt::LeftButton && field >= 0) Q_EMIT FieldDoubleClicked(field);
}

// ---- The panel ------------------------------------------------------------------------------

FieldSummaryPanel::FieldSummaryPanel(QWidget* parent, const QColor& barColor)
    : QDockWidget(Q("項目別相違件数"), parent) {
  setObjectName(QStringLiteral("FieldSummaryPanel"));
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
  auto* body = new QWidget(this);
  auto* column = new QVBoxLayout(body);
  column->setContentsMargins(2, 2, 2, 2);
  column->setSpacing(2);
  auto* head = new QHBoxLayout;
  title_ = new QLabel(body);
  title_->setObjectName(QStringLiteral("FieldSummaryTitle"));
  order_ = new QToolButton(body);
  order_->setObjectName(QStringLiteral("FieldSummaryOrder"));
  order_->setText(Q("項目順"));
  order_->setToolTip(Q("相違件数順と項目順を切り替えます"));
  order_->setCheckable(true);
  head->addWidget(title_, 1);
  head->addWidget(order_);
  column->addLayout(head);
  empty_ = new QLabel(Q("比較する項目がありません。"), body);
  empty_->setObjectName(QStringLiteral("FieldSummaryEmpty"));
  empty_->setAlignment(Qt::AlignCenter);
  column->addWidget(empty_);
  list_ = new FieldBarList(body, barColor);
  column->addWidget(list_, 1);
  setWidget(body);
  connect(order_, &QToolButton::toggled, this, [this] { FillRows(); });
  connect(list_, &FieldBarList::FieldClicked, this, &FieldSummaryPanel::FieldClicked);
  connect(list_, &FieldBarList::FieldDoubleClicked, this, &FieldSummaryPanel::FieldDoubleClicked);
  FillRows();
}

void FieldSummaryPanel::ShowResult(const std::vector<ResultField>& fields,
                                   const std::string& extractStatus) {
  fields_ = fields;
  // The counts stay the whole result's; the extraction's own count stands beside the title.
  title_->setText(ToQString(extractStatus));
  setWindowTitle(extractStatus.empty() ? Q("項目別相違件数")
                                       : Q("項目別相違件数 ") + ToQString(extractStatus));
  FillRows();
}

bool FieldSummaryPanel::InFieldOrder() const { return order_->isChecked(); }

void FieldSummaryPanel::FillRows() {
  const bool anyCompared = std::any_of(fields_.begin(), fields_.end(), IsComparedField);
  empty_->setVisible(!anyCompared);
  list_->setVisible(anyCompared);
  order_->setEnabled(anyCompared);
  QStringList names;
  names.reserve(static_cast<int>(fields_.size()));
  for (const ResultField& f : fields_) names.push_back(ToQString(f.Name));
  list_->SetRows(FieldSummaryRows(fields_, InFieldOrder() ? FieldSummaryOrder::kFieldOrder
                                                          : FieldSummaryOrder::kByCount),
                 std::move(names));
}

}  // namespace korvel
