#pragma once
// A real comparison result for the copy and find tests: two CSV files written into a
// temporary folder, compared through the session as the set-up chain does it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "compare/CompareSession.h"
#include "compare/FieldGrid.h"
#include "platform/Notifier.h"

namespace korvel::test {

// Field numbers to mark in the field-control grid.
struct FieldMarks {
  std::vector<int> keys = {};
  std::vector<int> ignoreSpaces = {};
  std::vector<int> notCompared = {};
  std::vector<int> numberCompare = {};
};

class ComparedFilesTest : public ::testing::Test {
 protected:
  // What an operation returns is shown through notifier_ as the window shows it; its code.
  int Show(const Status& status) { return Shown(notifier_, status); }

  // Compares two CSV texts (CP932) with the first line as names; 0 when the run completed.
  int Compare(const std::string& left, const std::string& right, const FieldMarks& marks,
              bool topRowNames = true) {
    session_.EditSettings().TopRowNames = topRowNames;
    session_.EditSettings().PathL = dir_.Write("left.csv", left);
    session_.EditSettings().PathR = dir_.Write("right.csv", right);
    session_.StartSetUp();
    FieldGrid grid;
    if (Show(session_.FillFieldGrids(grid, prompter_)) != 0) return -100;
    for (int j : marks.keys) grid.Toggle(j, FieldGrid::kKey);
    for (int j : marks.ignoreSpaces) grid.Toggle(j, FieldGrid::kIgnoreSpaces);
    for (int j : marks.notCompared) grid.Toggle(j, FieldGrid::kNotCompared);
    for (int j : marks.numberCompare) grid.Toggle(j, FieldGrid::kNumberCompare);
    return Show(session_.CompareSides(grid));
  }

  TempDir dir_;
  RecordingNotifier notifier_;
  NotifierPrompter prompter_{notifier_};
  CompareSession session_;
};

}  // namespace korvel::test
