#include "frame/variant.h"

#include "frame/library_state.h"
#include "support/test_support.h"

namespace zel {
namespace {

TEST(Variant, IntegerConversionRoundsHalfToEvenAndChecksRange) {
  EXPECT_EQ(Variant(2.5).ToInteger(), 2);
  EXPECT_EQ(Variant(3.5).ToInteger(), 4);
  EXPECT_EQ(Variant("  12 ").ToInteger(), 12);
  EXPECT_EQ(Variant(true).ToInteger(), -1);
  EXPECT_EQ(Variant().ToInteger(), 0);
  EXPECT_ZEL_ERROR(Variant(32768).ToInteger(), 6, "Overflow");
  EXPECT_ZEL_ERROR(Variant("47256").ToInteger(), 6, "Overflow");
  EXPECT_ZEL_ERROR(Variant("abc").ToInteger(), 13, "Type mismatch");
  EXPECT_ZEL_ERROR(Variant("").ToInteger(), 13, "Type mismatch");
  EXPECT_ZEL_ERROR(Variant::Null().ToInteger(), 94, "Invalid use of Null");
  EXPECT_ZEL_ERROR(Variant(3e9).ToLong(), 6, "Overflow");
}

}  // namespace
}  // namespace zel
