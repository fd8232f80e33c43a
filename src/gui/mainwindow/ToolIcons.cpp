#include "mainwindow/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygon>

namespace korvel {
namespace {

const QColor kInk(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kFolder(230, 190, 70);
const QColor kArrow(30, 110, 200);
const QColor kMark(220, 40, 40);

void DrawSheet(QPainter& p, int x, int y, int w, int h) {
  p.setPen(kInk);
  p.setBrush(kPaper);
  p.drawRect(x, y, w - 1, h - 1);
  p.drawLine(x + 2, y + 3, x + w - 3, y + 3);
  p.drawLine(x + 2, y + 6, x + w - 3, y + 6);
}

void DrawOpen(QPainter& p) {
  p.setPen(kInk);
  p.setBrush(kFolder);
  p.drawPolygon(QPolygon(
      {QPoint(1, 4), QPoint(6, 4), QPoint(7, 6), QPoint(14, 6), QPoint(14, 13), QPoint(1, 13)}));
  p.setBrush(kFolder.lighter(120));
  p.drawPolygon(QPolygon({QPoint(3, 8), QPoint(15, 8), QPoint(13, 13), QPoint(1, 13)}));
}

void DrawReset(QPainter& p) {
  // A grid with a tick: the field choices made again.
  p.setPen(kInk);
  p.setBrush(kPaper);
  p.drawRect(1, 2, 13, 11);
  p.drawLine(1, 6, 14, 6);
  p.drawLine(1, 9, 14, 9);
  p.drawLine(6, 2, 6, 13);
  p.setPen(QPen(kMark, 2));
  p.drawLine(8, 11, 10, 13);
  p.drawLine(10, 13, 15, 7);
}

void DrawExport(QPainter& p) {
  DrawSheet(p, 1, 1, 10, 14);
  p.setPen(QPen(kArrow, 2));
  p.drawLine(6, 10, 14, 10);
  p.drawLine(11, 7, 14, 10);
  p.drawLine(11, 13, 14, 10);
}

void DrawArrow(QPainter& p, bool up) {
  p.setPen(Qt::NoPen);
  p.setBrush(kArrow);
  if (up) {
    p.drawPolygon(QPolygon({QPoint(8, 2), QPoint(14, 9), QPoint(10, 9), QPoint(10, 14),
                            QPoint(6, 14), QPoint(6, 9), QPoint(2, 9)}));
  } else {
    p.drawPolygon(QPolygon({QPoint(8, 14), QPoint(14, 7), QPoint(10, 7), QPoint(10, 2),
                            QPoint(6, 2), QPoint(6, 7), QPoint(2, 7)}));
  }
}

void DrawCopy(QPainter& p, bool header) {
  DrawSheet(p, 1, 1, 9, 11);
  DrawSheet(p, 6, 4, 9, 11);
  if (header) {
    p.fillRect(7, 5, 7, 3, QColor(192, 192, 192));
    p.setPen(kInk);
    p.drawLine(7, 8, 13, 8);
  } else {
    p.setPen(QPen(kMark, 2));
    p.drawLine(8, 11, 10, 13);
    p.drawLine(10, 13, 14, 8);
  }
}

void DrawBars(QPainter& p) {
  // Bars of falling length: the fields by their number of differences.
  p.setPen(kInk);
  p.setBrush(QColor(250, 242, 0));
  p.drawRect(1, 1, 13, 3);
  p.drawRect(1, 6, 8, 3);
  p.drawRect(1, 11, 4, 3);
}

void DrawHideSame(QPainter& p) {
  // Columns with the plain ones gone: two marked columns close together.
  p.setPen(kInk);
  p.setBrush(QColor(250, 242, 0));
  p.drawRect(2, 1, 4, 13);
  p.drawRect(9, 1, 4, 13);
  p.setPen(QPen(kMark, 1, Qt::DotLine));
  p.drawLine(7, 1, 7, 14);
}

}  // namespace

QIcon MakeToolIcon(ToolImage image) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  switch (image) {
    case ToolImage::kOpen:
      DrawOpen(p);
      break;
    case ToolImage::kReset:
      DrawReset(p);
      break;
    case ToolImage::kExport:
      DrawExport(p);
      break;
    case ToolImage::kUp:
      DrawArrow(p, true);
      break;
    case ToolImage::kDown:
      DrawArrow(p, false);
      break;
    case ToolImage::kCopyHead:
      DrawCopy(p, true);
      break;
    case ToolImage::kCopyMark:
      DrawCopy(p, false);
      break;
    case ToolImage::kFieldSummary:
      DrawBars(p);
      break;
    case ToolImage::kHideSame:
      DrawHideSame(p);
      break;
  }
  return QIcon(pixmap);
}

}  // namespace korvel
