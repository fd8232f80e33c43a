#pragma once
// Helpers of the grid window tests: a real comparison of two small files, shown in a
// MainWindow, and pixel reading.

#include <QImage>
#include <QTest>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "compare/FieldGrid.h"
#include "mainwindow/MainWindow.h"
#include "qt/QtNotifier.h"

namespace korvel::test {

// Text lines joined with CR LF.
inline std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Field numbers to mark in the field-control grid.
struct GridMarks {
  std::vector<int> keys;
  std::vector<int> notCompared;
  std::vector<int> ignoreSpaces;
};

// Writes the two CSV files into `dir`, fills and marks the field-control grid as the
// set-up chain does, and runs the comparison in the window. The CompareAndShow result.
inline int CompareInWindow(MainWindow& w, const TempDir& dir, const std::string& left,
                           const std::string& right, const GridMarks& marks) {
  CompareSession& s = w.Session();
  s.Settings.FileKind = kFileKindCsv;
  s.Settings.PathL = dir.Write("left.csv", left);
  s.Settings.PathR = dir.Write("right.csv", right);
  s.StartSetUp();
  FieldGrid grid;
  if (!ShowOutcome(s.FillFieldGrids(grid, WindowPrompter()))) return -100;
  for (int j : marks.keys) grid.Toggle(j, FieldGrid::kKey);
  for (int j : marks.notCompared) grid.Toggle(j, FieldGrid::kNotCompared);
  for (int j : marks.ignoreSpaces) grid.Toggle(j, FieldGrid::kIgnoreSpaces);
  return w.CompareAndShow(grid);
}

inline QRgb Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }
inline QRgb Rgb(const QColor& color) { return color.rgb() & 0xFFFFFFu; }
inline QRgb Rgb(int r, int g, int b) { return qRgb(r, g, b) & 0xFFFFFFu; }

// The screen pixel is the back buffer's pixel inverted with `color` (exclusive-or).
inline bool XoredWith(const MainWindow& w, int x, int y, const QColor& color) {
  return Rgb(w.ScreenImage(), x, y) == (Rgb(w.BackBuffer(), x, y) ^ Rgb(color));
}
inline bool Untouched(const MainWindow& w, int x, int y) {
  return Rgb(w.ScreenImage(), x, y) == Rgb(w.BackBuffer(), x, y);
}

// The top of shown row k.
inline int RowTop(int k) { return 20 + k * MainWindow::RowHeight; }

}  // namespace korvel::test
