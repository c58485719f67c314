#include "frame/variant.h"

#include "frame/library_state.h"
#include "support/test_support.h"

namespace zel {
namespace {

TEST(Variant, IntegerConversionRoundsHalfToEvenAndChecksRange) {
  EXPECT_EQ(Variant(2.5).ToInteger(), 2);
  EXPECT_EQ(Variant(3.5).ToInteger(), 4);
  EXPECT_EQ(Variant(-2.5).ToInteger(), -2);
  EXPECT_EQ(Variant("  12 ").ToInteger(), 12);
  EXPECT_EQ(Variant(true).ToInteger(), -1);
  EXPECT_EQ(Variant().ToInteger(), 0);
  EXPECT_EQ(Variant(int16_t{-32768}).ToInteger(), -32768);
  EXPECT_ZEL_ERROR(Variant(32768).ToInteger(), 6, "Overflow");
  EXPECT_ZEL_ERROR(Variant("47256").ToInteger(), 6, "Overflow");
  EXPECT_ZEL_ERROR(Variant("abc").ToInteger(), 13, "Type mismatch");
  EXPECT_ZEL_ERROR(Variant("").ToInteger(), 13, "Type mismatch");
  EXPECT_ZEL_ERROR(Variant("1 2").ToInteger(), 13, "Type mismatch");
  EXPECT_ZEL_ERROR(Variant::Null().ToInteger(), 94, "Invalid use of Null");
  EXPECT_ZEL_ERROR(Variant(3e9).ToLong(), 6, "Overflow");
  EXPECT_EQ(Variant("-2147483648").ToLong(), INT32_MIN);
}

TEST(Variant, BooleanConversionTakesTrueFalseInAnyCaseOrNumbers) {
  EXPECT_TRUE(Variant("TRUE").ToBool());
  EXPECT_TRUE(Variant("true").ToBool());
  EXPECT_FALSE(Variant("False").ToBool());
  EXPECT_TRUE(Variant("-1").ToBool());
  EXPECT_FALSE(Variant("0").ToBool());
  EXPECT_TRUE(Variant(0.5).ToBool());
  EXPECT_FALSE(Variant().ToBool());
  EXPECT_ZEL_ERROR(Variant("yes").ToBool(), 13, "Type mismatch");
  EXPECT_ZEL_ERROR(Variant("").ToBool(), 13, "Type mismatch");
}

TEST(Variant, NumbersReadAndWriteTheUserDecimalSeparator) {
  {
    ScopedDecimalSeparator comma(",");
    EXPECT_DOUBLE_EQ(Variant("21,99").ToDouble(), 21.99);
    EXPECT_DOUBLE_EQ(Variant("21.99").ToDouble(), 21.99);
    EXPECT_EQ(Variant(1.5).ToText(), "1,5");
    EXPECT_EQ(Variant("12,5").ToCurrency().scaled, 125000);
    EXPECT_EQ(Variant(Currency{219900}).ToText(), "21,99");
  }
  ScopedDecimalSeparator point(".");
  EXPECT_EQ(Variant(1.5).ToText(), "1.5");
  EXPECT_EQ(Variant(0.1 + 0.2).ToText(), "0.3");
  EXPECT_EQ(Variant(Currency{-5}).ToText(), "-0.0005");
  EXPECT_EQ(Variant(Currency{30000}).ToText(), "3");
  EXPECT_DOUBLE_EQ(Variant("1e3").ToDouble(), 1000);
  EXPECT_ZEL_ERROR(Variant("1e").ToDouble(), 13, "Type mismatch");
  EXPECT_ZEL_ERROR(Variant("$5").ToDouble(), 13, "Type mismatch");
}

TEST(Variant, TextOfValues) {
  EXPECT_EQ(Variant(true).ToText(), "True");
  EXPECT_EQ(Variant(int16_t{-7}).ToText(), "-7");
  EXPECT_EQ(Variant().ToText(), "");
  EXPECT_EQ(Variant::Null().ToTextOrEmpty(), "");
  EXPECT_ZEL_ERROR(Variant::Null().ToText(), 94, "Invalid use of Null");
}

TEST(Variant, DatesConvertBetweenTextAndSerialDays) {
  EXPECT_EQ(Date::FromParts(1899, 12, 30).serial, 0);
  EXPECT_EQ(Date::FromParts(1900, 1, 1).serial, 2);
  EXPECT_EQ(Date::FromParts(2024, 2, 29, 12).serial, 45351.5);
  EXPECT_EQ(Date::FromParts(1899, 12, 29, 6).serial, -1.25);

  EXPECT_EQ(Variant("2024-02-29").ToDate(), Date::FromParts(2024, 2, 29));
  EXPECT_EQ(Variant("2024-02-29 13:45:10").ToDate(), Date::FromParts(2024, 2, 29, 13, 45, 10));
  EXPECT_EQ(Variant("2024-02-29T13:45:10Z").ToDate(), Date::FromParts(2024, 2, 29, 13, 45, 10));
  EXPECT_EQ(Variant("2/29/2024 1:45:10 PM").ToDate(), Date::FromParts(2024, 2, 29, 13, 45, 10));
  EXPECT_EQ(Variant("12:00:00").ToDate().serial, 0.5);
  EXPECT_ZEL_ERROR(Variant("2023-02-29").ToDate(), 13, "Type mismatch");
  EXPECT_ZEL_ERROR(Variant("2024-13-01").ToDate(), 13, "Type mismatch");
  EXPECT_ZEL_ERROR(Variant("2024").ToDate(), 13, "Type mismatch");
  EXPECT_ZEL_ERROR(Variant("2024-01-01 25:00").ToDate(), 13, "Type mismatch");

  EXPECT_EQ(Variant(Date::FromParts(2001, 5, 1)).ToText(), "2001-05-01");
  EXPECT_EQ(Variant(Date::FromParts(2001, 5, 1, 8, 5, 3)).ToText(), "2001-05-01 08:05:03");
  EXPECT_EQ(FormatDateTime(Date::Zero()), "1899-12-30 00:00:00");
  EXPECT_EQ(FormatDateTime(Date::FromParts(1899, 12, 29, 6)), "1899-12-29 06:00:00");
}

TEST(Variant, EqualityComparesTypeAndValue) {
  EXPECT_EQ(Variant("a"), Variant(std::string("a")));
  EXPECT_NE(Variant(int16_t{1}), Variant(1));
  EXPECT_EQ(Variant::Null(), Variant::Null());
  EXPECT_NE(Variant::Null(), Variant());
  EXPECT_EQ(Variant("x").TypeName(), "String");
  EXPECT_EQ(Variant(Currency{1}).TypeName(), "Currency");
}

TEST(Variant, TwoDimensionalArraysCheckTheirBounds) {
  Array rows(3, 1);
  rows.At(2, 0) = Variant("last");
  EXPECT_EQ(rows.At(2, 0).ToText(), "last");
  EXPECT_ZEL_ERROR(rows.At(3, 0), 9, "Subscript out of range");
  EXPECT_ZEL_ERROR(rows.At(0, 1), 9, "Subscript out of range");
}

}  // namespace
}  // namespace zel
