#include "import/value_conversions.h"

#include "frame/library_state.h"
#include "support/test_support.h"

namespace zel {
namespace {

TEST(LocalityOfId, TakesTheNumberAfterTheLastDot) {
  EXPECT_EQ(LocalityOfId("012345678901"), "United States");
  EXPECT_EQ(LocalityOfId("012345678901.4"), "United Kingdom");
  EXPECT_EQ(LocalityOfId("I0043051FAD9B07F3.5"), "Germany");
  EXPECT_EQ(LocalityOfId("012345678901.99"), "");
  EXPECT_ZEL_ERROR(
      LocalityOfId("0123.x"), 13,
      "Type mismatch: the locality 'x' at the end of the ID '0123.x' is not a number of "
      "16 bits");
  EXPECT_ZEL_ERROR(
      LocalityOfId("0123.99999"), 6,
      "Overflow: the locality '99999' at the end of the ID '0123.99999' is not a number "
      "of 16 bits");
}

TEST(FixTimestamp, CutsIsoFormsAndFillsEmptyText) {
  EXPECT_EQ(FixTimestamp("2008-05-01T12:34:56.789+01:00"), "2008-05-01 12:34:56");
  EXPECT_EQ(FixTimestamp("2010-04-29T09:44:02Z"), "2010-04-29 09:44:02");
  EXPECT_EQ(FixTimestamp("2008-05-01"), "2008-05-01");
  EXPECT_EQ(FixTimestamp(""), "1899-12-20");
}

TEST(SplitPrice, WithADotAsDecimalSeparator) {
  ScopedDecimalSeparator dot(".");
  EXPECT_EQ(SplitPrice("$19.99"), "19.99|$");
  EXPECT_EQ(SplitPrice("1,234.56"), "1234.56|,");
  EXPECT_EQ(SplitPrice("19,99 \u20ac"), "1999|, \u20ac");
  EXPECT_EQ(SplitPrice("\u00a316.99"), "16.99|\u00a3");
  EXPECT_EQ(SplitPrice(""), "|");
  // A symbol windows-1252 cannot hold, or a question mark, reads as the euro sign.
  EXPECT_EQ(SplitPrice("\u20b9120.00"), "120.00|\u20ac");
  EXPECT_EQ(SplitPrice("?5.00"), "5.00|\u20ac");
}

TEST(SplitPrice, WithACommaAsDecimalSeparator) {
  ScopedDecimalSeparator comma(",");
  EXPECT_EQ(SplitPrice("19,99 \u20ac"), "19,99| \u20ac");
  EXPECT_EQ(SplitPrice("$19.99"), "19,99|$");
}

// Regression: a displayed value with a comma decimal ("$21,99") split as 2199, a hundred times the
// price, while the element's own text held the amount.
TEST(ReadPrice, TakesTheAmountFromTheElementsOwnText) {
  ScopedDecimalSeparator dot(".");
  Price price = ReadPrice("21.99", "$21,99");
  EXPECT_EQ(price.amount, "21.99");
  EXPECT_EQ(price.symbol, "$");
  price = ReadPrice("19.99", "19,99 \u20ac");
  EXPECT_EQ(price.amount, "19.99");
  EXPECT_EQ(price.symbol, "\u20ac");
  price = ReadPrice("1234.5", "1.234,50\u00a0kr");
  EXPECT_EQ(price.amount, "1234.5");
  EXPECT_EQ(price.symbol, "kr");
  {
    ScopedDecimalSeparator comma(",");
    EXPECT_EQ(ReadPrice("21.99", "$21,99").amount, "21,99");
  }
  // Without a number of its own, the displayed value is split as before.
  price = ReadPrice("", "$19.99");
  EXPECT_EQ(price.amount, "19.99");
  EXPECT_EQ(price.symbol, "$");
  EXPECT_EQ(ReadPrice("n/a", "$7.50").amount, "7.50");
  EXPECT_EQ(ReadPrice("", "").amount, "");
  EXPECT_EQ(ReadPrice("", "").symbol, "");
}

}  // namespace
}  // namespace zel
