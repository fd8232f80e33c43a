#include "compare/DecimalNumber.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "compare/ResultModel.h"

namespace korvel {
namespace {

using test::S;

struct Value {
  bool negative;
  std::string digits;
  int exponent;
};

DecimalNumber Parsed(std::string_view cp932) {
  DecimalNumber n;
  EXPECT_TRUE(ParseDecimal(cp932, &n)) << cp932;
  return n;
}

// Every form the grammar takes, read into sign, significant digits and power of ten.
TEST(DecimalNumberTest, AcceptedFormsAndTheirValues) {
  const std::string nines(500, '9');
  struct Case {
    std::string text;  // UTF-8
    Value value;
  };
  const std::vector<Case> cases = {
      {"0", {false, "", 0}},
      {"000.000", {false, "", 0}},
      {"-0", {false, "", 0}},
      {"123", {false, "123", 0}},
      {"+7", {false, "7", 0}},
      {"-1.50", {true, "15", -1}},
      {"1200", {false, "12", 2}},
      {"0.001", {false, "1", -3}},
      {"  12  ", {false, "12", 0}},
      {"　12　", {false, "12", 0}},
      {" 　-3 　", {true, "3", 0}},
      {"１２３", {false, "123", 0}},
      {"1２3", {false, "123", 0}},
      {"－５", {true, "5", 0}},
      {"−５", {true, "5", 0}},
      {"＋５", {false, "5", 0}},
      {"1,234,567", {false, "1234567", 0}},
      {"１，２３４", {false, "1234", 0}},
      {"12,345．678", {false, "12345678", -3}},
      {"999,999", {false, "999999", 0}},
      {"1.0e+3", {false, "1", 3}},
      {"1E-3", {false, "1", -3}},
      {"2e+999", {false, "2", 999}},
      {"-2e-999", {true, "2", -999}},
      {"2.5e+００3", {false, "25", 2}},
      {"1e+0", {false, "1", 0}},
      {"0.5e-999", {false, "5", -1000}},
      {nines, {false, nines, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const DecimalNumber n = Parsed(S(c.text));
    EXPECT_EQ(n.Negative, c.value.negative);
    EXPECT_EQ(n.Digits, c.value.digits);
    EXPECT_EQ(n.Exponent, c.value.exponent);
  }
}

TEST(DecimalNumberTest, RefusedForms) {
  const std::vector<std::string> refused = {
      "",     " ",      "　",       "-",       ".",      "1.",      ".5",        "1.2.3",
      "1,00", "1,0000", "1234,567", ",123",    "1,234,", "1.234,5", "1,23.4",    "1e3",
      "1e+",  "e+3",    "1e+1000",  "1e-0999", "1e+3.5", "¥100",    "$1",        "(100)",
      "△100", "100円",  "1 000",    "- 1",     "1-",     "+-1",     "--1",       "0x10",
      "12a",  "1\t",    "\t1",      "1e+3 e",  "１．",   "1,２3",   "１２，３４"};
  for (const std::string& text : refused) {
    DecimalNumber n;
    EXPECT_FALSE(ParseDecimal(S(text), &n)) << text;
  }
  DecimalNumber n;
  // A lead byte cut off at the end, and a full-width digit's lead byte with another trail.
  EXPECT_FALSE(ParseDecimal("1\x82", &n));
  EXPECT_FALSE(ParseDecimal("1\x82\x59", &n));
  // 501 digits are read like 500: the grammar has no length limit of its own.
  EXPECT_TRUE(ParseDecimal(std::string(501, '1'), &n));
}

TEST(DecimalNumberTest, ExactSubtractionAndOrder) {
  struct Case {
    const char* a;
    const char* b;
    const char* difference;  // a − b as DecimalText writes it
    int order;               // sign of CompareDecimal(a, b)
  };
  const std::vector<Case> cases = {
      {"0.3", "0.1", "0.2", 1},
      {"0.1", "0.3", "-0.2", -1},
      {"1.0", "1.00", "0", 0},
      {"1,000", "1000", "0", 0},
      {"0.30000001", "0.3", "0.00000001", 1},
      {"1e+3", "1", "999", 1},
      {"-2.5", "10", "-12.5", -1},
      {"-2.5", "-10", "7.5", 1},
      {"10", "-0.001", "10.001", 1},
      {"0", "0.0000001", "-0.0000001", -1},
      {"12.5", "10", "2.5", 1},
      {"-0", "0", "0", 0},
      {"999", "-1", "1000", 1},
      {"0.1", "0.10000000000000000001", "-0.00000000000000000001", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " - " + c.b);
    const DecimalNumber a = Parsed(c.a);
    const DecimalNumber b = Parsed(c.b);
    EXPECT_EQ(DecimalText(SubtractDecimal(a, b)), c.difference);
    const int order = CompareDecimal(a, b);
    EXPECT_EQ((order > 0) - (order < 0), c.order);
  }
  // 500 nines and one more: a carry into a new place.
  EXPECT_EQ(DecimalText(SubtractDecimal(Parsed(std::string(500, '9')), Parsed("-1"))),
            "1" + std::string(500, '0'));
  // The far ends of the exponents: too long for plain text, so every digit in scientific form.
  const std::string far = DecimalText(SubtractDecimal(Parsed("1e+999"), Parsed("1e-999")));
  EXPECT_EQ(far, test::Cat("9.", std::string(1997, '9'), "e+998"));
  EXPECT_EQ(DecimalText(Parsed("-1e-999")), "-1e-999");
  EXPECT_EQ(DecimalText(Parsed("1.25e+600")), "1.25e+600");
  // Plain text up to its limit.
  EXPECT_EQ(DecimalText(Parsed("1e+519")).size(), 520u);
  EXPECT_EQ(DecimalText(Parsed("1e+520")), "1e+520");
}

// |a − b| against the tolerance: equal at the edge, different just past it.
TEST(DecimalNumberTest, ToleranceAtAndPastItsEdge) {
  struct Case {
    const char* a;
    const char* b;
    const char* tolerance;
    bool within;
  };
  const std::vector<Case> cases = {
      {"1.0", "1.00", "0", true},
      {"1,000", "1000", "0", true},
      {"0.30000001", "0.3", "0", false},
      {"0.30000001", "0.3", "0.00000001", true},
      {"0.30000001", "0.3", "0.000000009", false},
      {"10", "10.5", "0.5", true},
      {"10.5", "10", "0.5", true},
      {"10", "10.51", "0.5", false},
      {"-10", "-10.5", "0.5", true},
      {"-0.25", "0.25", "0.5", true},
      {"-0.25", "0.26", "0.5", false},
      {"1e+15", "0", "1e+15", true},
      {"1e+15", "-1", "1e+15", false},
      {"0.1", "0.2", "0.1", true},
      {"0.1", "0.2", "0.0999999999999999999999", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " ~ " + c.b + " within " + c.tolerance);
    DecimalNumber tolerance;
    ASSERT_TRUE(ParseTolerance(c.tolerance, &tolerance));
    EXPECT_EQ(WithinTolerance(Parsed(c.a), Parsed(c.b), tolerance), c.within);
    EXPECT_EQ(WithinTolerance(Parsed(c.b), Parsed(c.a), tolerance), c.within);
  }
}

TEST(DecimalNumberTest, ToleranceLimits) {
  struct Case {
    std::string text;  // UTF-8
    bool accepted;
  };
  const std::vector<Case> cases = {
      {"0", true},
      {"-0", true},
      {"0.5", true},
      {"１", true},
      {"1e+15", true},
      {"1000000000000000", true},
      {"1,000,000,000,000,000", true},
      {"999999999999999.999", true},
      {"1000000000000000.1", false},
      {"1e+16", false},
      {"1e+999", false},
      {"-0.1", false},
      {"－1", false},
      {"abc", false},
      {"", false},
      {"1e3", false},
      {"0.5%", false},
  };
  for (const Case& c : cases) {
    DecimalNumber tolerance;
    tolerance.Digits = "7";
    EXPECT_EQ(ParseTolerance(S(c.text), &tolerance), c.accepted) << c.text;
    // A refused text leaves the old value.
    if (!c.accepted) {
      EXPECT_EQ(tolerance.Digits, "7") << c.text;
    }
  }
}

// ResultField::CellsDiffer under the number rule: numbers by value, anything else as text,
// and the exports' reading (the number rule only, never the spaces rule).
TEST(DecimalNumberTest, FieldComparisonOfNumericAndTextCells) {
  struct Case {
    FieldCompare compare;
    std::string left;  // UTF-8
    std::string right;
    bool differs;
    bool differsInExport;
  };
  const std::vector<Case> cases = {
      {FieldCompare::kNumber, "1.0", "1.00", false, false},
      {FieldCompare::kNumber, "１，０００", "1000", false, false},
      {FieldCompare::kNumber, "1.0 ", "1", false, false},
      {FieldCompare::kNumber, "1.0", "1.1", true, true},
      {FieldCompare::kNumber, "abc", "abc", false, false},
      {FieldCompare::kNumber, "abc", "ABC", true, true},
      {FieldCompare::kNumber, "1.0", "abc", true, true},
      {FieldCompare::kNumber, "", "0", true, true},
      {FieldCompare::kNumber, "", "", false, false},
      {FieldCompare::kNumber, "(1)", "(1.0)", true, true},
      {FieldCompare::kNumber, "a b", "ab", true, true},
      {FieldCompare::kNumberIgnoreSpaces, "a b", "ab", false, true},
      {FieldCompare::kNumberIgnoreSpaces, "1 000", "1000", false, true},
      {FieldCompare::kNumberIgnoreSpaces, "1.0", "1.00", false, false},
      {FieldCompare::kText, "1.0", "1.00", true, true},
      {FieldCompare::kIgnoreSpaces, "a b", "ab", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.left + " | " + c.right);
    ResultField field;
    field.Compare = c.compare;
    EXPECT_EQ(field.CellsDiffer(S(c.left), S(c.right)), c.differs);
    EXPECT_EQ(field.CellsDifferInExport(S(c.left), S(c.right)), c.differsInExport);
  }
  // The field's tolerance decides, at and past its edge.
  ResultField field;
  field.Compare = FieldCompare::kNumber;
  ASSERT_TRUE(ParseTolerance("0.01", &field.Tolerance));
  EXPECT_FALSE(field.CellsDiffer("1.00", "1.01"));
  EXPECT_TRUE(field.CellsDiffer("1.00", "1.011"));
  EXPECT_FALSE(field.CellsDifferInExport("1.00", "0.99"));
  EXPECT_TRUE(field.CellsDifferInExport("1.00", "0.989"));
  DecimalNumber difference;
  ASSERT_TRUE(field.NumberDifference("1.00", "0.989", &difference));
  EXPECT_EQ(DecimalText(difference), "-0.011");
  EXPECT_FALSE(field.NumberDifference("1.00", "x", &difference));
  field.Compare = FieldCompare::kText;
  EXPECT_FALSE(field.NumberDifference("1", "2", &difference));
}

}  // namespace
}  // namespace korvel
