#include "grid/StatusTexts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

using test::S;

TEST(StatusTexts, EncodingsPanel) {
  EXPECT_EQ(EncodingsText(0, 0), "SHIFT-JIS");
  EXPECT_EQ(EncodingsText(10, 10), "UTF16");
  EXPECT_EQ(EncodingsText(15, 15), "UTF8");
  EXPECT_EQ(EncodingsText(11, 11), "UTF16BE");
  EXPECT_EQ(EncodingsText(0, 15), "SJS/U8");
  EXPECT_EQ(EncodingsText(10, 0), "U16/SJS");
  EXPECT_EQ(EncodingsText(11, 10), "U16B/U16");
  EXPECT_EQ(EncodingsText(kEncodingEucJp, kEncodingEucJp), "EUC-JP");
  EXPECT_EQ(EncodingsText(kEncodingEucJp, 15), "EUC/U8");
  EXPECT_EQ(EncodingsText(0, kEncodingEucJp), "SJS/EUC");
}

TEST(StatusTexts, DetailStatus) {
  EXPECT_EQ(DetailStatusText(S("氏名"), 4, 7), S("詳細(列:氏名, 行:5, 相違:7)"));
  EXPECT_EQ(DetailStatusTextNoField(0, 0), S("詳細(列:1, 行:1, 相違:--)"));
  // A click in the row-header strip leaves the column at -1 or -2.
  EXPECT_EQ(DetailStatusTextNoField(-2, 9), S("詳細(列:-1, 行:10, 相違:--)"));
}

TEST(StatusTexts, NumericDifference) {
  EXPECT_EQ(NumericDifferenceText("10", "12.5"), S("差分（右-左)：2.5"));
  EXPECT_EQ(NumericDifferenceText("12.5", "10"), S("差分（右-左)：-2.5"));
  EXPECT_EQ(NumericDifferenceText("-12.50", "007"), S("差分（右-左)：19.5"));
  EXPECT_EQ(NumericDifferenceText("0.1", "0.3"), S("差分（右-左)：0.2"));
  EXPECT_EQ(NumericDifferenceText("-", "."), S("差分（右-左)：0"));
  EXPECT_EQ(NumericDifferenceText("1", "9999999999"), S("差分（右-左)：9999999998"));
  EXPECT_EQ(NumericDifferenceText("0", "0.0000001"), S("差分（右-左)：1e-07"));
  EXPECT_EQ(NumericDifferenceText("1,000", "1"), "");
  EXPECT_EQ(NumericDifferenceText("1", "12345678901"), "");
  EXPECT_EQ(NumericDifferenceText("", "1"), "");
}

// A field compared as numbers shows the exact decimal difference whenever both cells are
// numbers of its grammar; any other field, or cells that are no such numbers, the old text.
TEST(StatusTexts, DetailDifferenceOfNumberFields) {
  struct Case {
    FieldCompare compare;
    std::string left;  // UTF-8
    std::string right;
    std::string shown;  // UTF-8, "" for nothing
  };
  const std::vector<Case> cases = {
      {FieldCompare::kNumber, "0.1", "0.3", "差分（右-左)：0.2"},
      {FieldCompare::kNumber, "0", "0.0000001", "差分（右-左)：0.0000001"},
      {FieldCompare::kNumber, "1,000", "1", "差分（右-左)：-999"},
      {FieldCompare::kNumber, "１２", "－３", "差分（右-左)：-15"},
      {FieldCompare::kNumber, "0.3", "0.30000000000000000001",
       "差分（右-左)：0.00000000000000000001"},
      {FieldCompare::kNumber, "1", "12345678901", "差分（右-左)：12345678900"},
      {FieldCompare::kNumber, "1.0", "1.00", "差分（右-左)：0"},
      {FieldCompare::kNumberIgnoreSpaces, "2e+3", "1", "差分（右-左)：-1999"},
      {FieldCompare::kNumber, "-", ".", "差分（右-左)：0"},  // no numbers: the old rule
      {FieldCompare::kNumber, "abc", "1", ""},
      {FieldCompare::kText, "0", "0.0000001", "差分（右-左)：1e-07"},
      {FieldCompare::kText, "1,000", "1", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.left + " | " + c.right);
    ResultField field;
    field.Compare = c.compare;
    EXPECT_EQ(DetailDifferenceText(field, S(c.left), S(c.right)), S(c.shown));
  }
  // 500 digits against 0: the whole difference, longer than a formatted text may be.
  ResultField field;
  field.Compare = FieldCompare::kNumber;
  const std::string digits(500, '7');
  EXPECT_EQ(DetailDifferenceText(field, "0", digits), test::Cat(S("差分（右-左)："), digits));
}

TEST(StatusTexts, PopupCaptionsPerHeader) {
  EXPECT_EQ(PopupDiffCaption(-1, ""), S("相違分（『右のみ』『左のみ』含む）を抽出"));
  EXPECT_EQ(PopupSameCaption(-1, ""), S("相違なし分を抽出"));
  EXPECT_EQ(PopupDiffCaption(-2, ""), S("相違分を抽出"));
  EXPECT_EQ(PopupSameCaption(-2, ""), S("相違なし分を抽出"));
  EXPECT_EQ(PopupDiffCaption(3, S("住所")), S("『住所』の相違分を抽出"));
  EXPECT_EQ(PopupSameCaption(0, S("住所")), S("『住所』の相違なし分を抽出"));
  // A '%' in a name is shown as it is.
  EXPECT_EQ(PopupDiffCaption(0, "a%sb"), S("『a%sb』の相違分を抽出"));
}

}  // namespace
}  // namespace korvel
