#pragma once
// FieldSummaryPanel: the main window's 項目別相違件数 panel. It lists every field of the
// shown result with its number of differing records as a bar (grid/FieldSummary.h: the
// classification's counts, always of the whole result), by count or in field order; a
// field that is never compared is greyed with "－". A click on a field and a double-click
// are passed on as signals; the window moves its cursor and extracts.
//
// The panel keeps a copy of the fields it was last given (names and counts), so that the
// window's session may change under it; it paints only the rows that show, so that a result
// of any number of fields opens at once.

#include <QAbstractScrollArea>
#include <QColor>
#include <QDockWidget>
#include <QStringList>
#include <string>
#include <vector>

#include "compare/ResultModel.h"
#include "grid/FieldSummary.h"

class QLabel;
class QToolButton;

namespace korvel {

// The list of bars. Row i of Rows() is painted at y = (i - FirstRow()) * RowHeight().
class FieldBarList : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr int kNameWidth = 120;  // the field's name, cut to this
  static constexpr int kCountWidth = 56;  // the count, right-aligned
  static constexpr int kMargin = 4;
  static constexpr int kMinBar = 100;  // the full bar at the panel's narrowest

  FieldBarList(QWidget* parent, const QColor& barColor);
  // The rows to show (copied), with the fields' names by field index.
  void SetRows(std::vector<FieldSummaryRow> rows, QStringList names);
  const std::vector<FieldSummaryRow>& Rows() const { return rows_; }
  int RowHeight() const { return rowHeight_; }
  int FirstRow() const;
  // The x range a full bar takes in the viewport: [BarLeft(), BarLeft() + FullBar()).
  int BarLeft() const { return kMargin + kNameWidth + kMargin; }
  int FullBar() const;

 Q_SIGNALS:
  void FieldClicked(int field);
  void FieldDoubleClicked(int field);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  int FieldAt(int y) const;  // the field of the row under y, -1 for none
  void UpdateScrollRange();

  QColor barColor_;
  std::vector<FieldSummaryRow> rows_;
  QStringList names_;
  int largest_ = 0;
  int rowHeight_ = 18;
};

class FieldSummaryPanel : public QDockWidget {
  Q_OBJECT
 public:
  FieldSummaryPanel(QWidget* parent, const QColor& barColor);

  // Shows `fields` (a result's, keys first); `extractStatus` (CP932) is the caption text of
  // an active extraction, "" for none, shown beside the title (the panel's title bar, and
  // Title() over the list).
  void ShowResult(const std::vector<ResultField>& fields, const std::string& extractStatus);
  // True while the rows are in field order (the order button is down), else by count.
  bool InFieldOrder() const;

  FieldBarList* List() const { return list_; }
  QLabel* Title() const { return title_; }
  QLabel* EmptyText() const { return empty_; }
  QToolButton* OrderButton() const { return order_; }

 Q_SIGNALS:
  void FieldClicked(int field);
  void FieldDoubleClicked(int field);

 private:
  void FillRows();

  std::vector<ResultField> fields_;
  QLabel* title_ = nullptr;
  QLabel* empty_ = nullptr;
  QToolButton* order_ = nullptr;
  FieldBarList* list_ = nullptr;
};

}  // namespace korvel
