#pragma once
// The toolbar's 16-pixel images, drawn by the program: open, re-set, export, up, down, copy
// with header, copy with marks, the field summary's bars, hiding the fields alike.

#include <QIcon>

namespace korvel {

enum class ToolImage {
  kOpen,
  kReset,
  kExport,
  kUp,
  kDown,
  kCopyHead,
  kCopyMark,
  kFieldSummary,
  kHideSame
};

QIcon MakeToolIcon(ToolImage image);

}  // namespace korvel
