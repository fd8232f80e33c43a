#pragma once
// The toolbar's seven 16-pixel images, drawn by the program: open, re-set, export, up, down,
// copy with header, copy with marks.

#include <QIcon>

namespace korvel {

enum class ToolImage { kOpen, kReset, kExport, kUp, kDown, kCopyHead, kCopyMark };

QIcon MakeToolIcon(ToolImage image);

}  // namespace korvel
