#pragma once
// Texts of the main window's status bar, detail line and header popup (all CP932).

#include <string>
#include <string_view>

#include "compare/ResultModel.h"

namespace korvel {

// Status bar panel 0 from the encodings in force for the two sides: the long name when
// both agree ("SHIFT-JIS", "UTF16", "UTF16BE", "UTF8"), else "left/right" in short names
// ("SJS", "U16", "U16B", "U8"). An unknown code has the empty name.
std::string EncodingsText(int encodingL, int encodingR);

// The detail line's status for a cursor on an existing field (`name` CP932).
std::string DetailStatusText(std::string_view name, int curRow, int diffCount);
// The same when the cursor's column is not a field (row-number or difference column, or no
// result): the column and the row are shown one-based.
std::string DetailStatusTextNoField(int curCol, int curRow);

// The difference of two numeric texts (right minus left) for the detail line, "" when either
// text is not numeric (IsNumericText).
std::string NumericDifferenceText(std::string_view left, std::string_view right);
// The detail line's difference for the cells of `field`: for a field compared as numbers
// whose cells both are numbers, the exact decimal difference (compare/DecimalNumber.h);
// otherwise NumericDifferenceText.
std::string DetailDifferenceText(const ResultField& field, std::string_view left,
                                 std::string_view right);

// Captions of the header popup's two extraction items for the clicked header: -1 the
// row-number column, -2 the difference column, 0 or more a field named `name`.
std::string PopupDiffCaption(int hitColumn, std::string_view name);
std::string PopupSameCaption(int hitColumn, std::string_view name);

}  // namespace korvel
