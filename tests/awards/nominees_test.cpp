#include "awards/nominees.h"

#include "frame/collection.h"
#include "support/test_support.h"

namespace zel {
namespace {

using Names = std::vector<std::string>;

TEST(SplitNominees, SeparatorsMakeSingleNames) {
  EXPECT_EQ(SplitNominees("Ann Lee, Bo Wu and Cy Hale"), (Names{"Ann Lee", "Bo Wu", "Cy Hale"}));
  EXPECT_EQ(SplitNominees("Ann Lee; Bo Wu & Cy Hale"), (Names{"Ann Lee", "Bo Wu", "Cy Hale"}));
  EXPECT_EQ(SplitNominees("Ann Lee"), (Names{"Ann Lee"}));
  // Matching is exact: no blank after the comma, or another case, does not separate.
  EXPECT_EQ(SplitNominees("Ann Lee,Bo Wu"), (Names{"Ann Lee,Bo Wu"}));
  EXPECT_EQ(SplitNominees("Ann Lee AND Bo Wu"), (Names{"Ann Lee AND Bo Wu"}));
  EXPECT_EQ(SplitNominees("Andrew Sandberg"), (Names{"Andrew Sandberg"}));
}

TEST(SplitNominees, NamesAreNotTrimmedAndMayBeEmpty) {
  EXPECT_EQ(SplitNominees("Ann Lee ,  Bo Wu"), (Names{"Ann Lee ", " Bo Wu"}));
  EXPECT_EQ(SplitNominees(", "), (Names{"", ""}));
  EXPECT_EQ(SplitNominees("Ann|Lee"), (Names{"Ann", "Lee"}));
  EXPECT_TRUE(SplitNominees("").empty());
}

TEST(SplitNominees, SuffixStaysWithItsName) {
  EXPECT_EQ(SplitNominees("Tom Hale, Jr and Ann Lee"), (Names{"Tom Hale Jr", "Ann Lee"}));
  EXPECT_EQ(SplitNominees("Tom Hale, Jr., Ann Lee"), (Names{"Tom Hale Jr.", "Ann Lee"}));
  EXPECT_EQ(SplitNominees("Ann Lee, Tom Hale, sr"), (Names{"Ann Lee", "Tom Hale sr"}));
  EXPECT_EQ(SplitNominees("Ann Lee, Tom Hale, Sr"), (Names{"Ann Lee", "Tom Hale Sr"}));
  EXPECT_EQ(SplitNominees("Tom Hale, jr"), (Names{"Tom Hale jr"}));
  // Only the two spellings are suffixes.
  EXPECT_EQ(SplitNominees("Tom Hale, JR"), (Names{"Tom Hale", "JR"}));
}

TEST(SplitNominees, NameStartingLikeASuffixIsNotJoinedToThePreviousName) {
  EXPECT_EQ(SplitNominees("Ann Lee, Sriram Das"), (Names{"Ann Lee", "Sriram Das"}));
  EXPECT_EQ(SplitNominees("Ann Lee, Srđan Bo"), (Names{"Ann Lee", "Srđan Bo"}));
  EXPECT_EQ(SplitNominees("Ann Lee, Jrue Holt"), (Names{"Ann Lee", "Jrue Holt"}));
}

TEST(SplitNominees, CollectionHoldsTheNamesInOrderWithoutKeys) {
  std::shared_ptr<Collection> names = SplitNomineesToCollection("Ann Lee & Bo Wu");
  ASSERT_EQ(names->Count(), 2);
  EXPECT_EQ(names->Item(Variant(1)).ToText(), "Ann Lee");
  EXPECT_EQ(names->Item(Variant(2)).ToText(), "Bo Wu");
  EXPECT_FALSE(names->HasKey("Ann Lee"));
  EXPECT_EQ(SplitNomineesToCollection("")->Count(), 0);
}

TEST(AwardTextChecksum, WeighsEachCodeByItsPosition) {
  EXPECT_EQ(AwardTextChecksum("abc"), 599);
  EXPECT_EQ(AwardTextChecksum(""), 0);
  EXPECT_EQ(AwardTextChecksum("a"), 98);
  EXPECT_EQ(AwardTextChecksum("2004"), 1 * 50 + 2 * 48 + 3 * 48 + 4 * 52 + 16);
}

TEST(AwardTextChecksum, UsesWindows1252Codes) {
  EXPECT_EQ(AwardTextChecksum("é"), 0xE9 + 1);
  EXPECT_EQ(AwardTextChecksum("€"), 0x80 + 1);
  EXPECT_EQ(AwardTextChecksum("’"), 0x92 + 1);
  EXPECT_EQ(AwardTextChecksum("¬"), 0xAC + 1);
  // Characters the code page lacks count as "?", each surrogate half of an emoji as well.
  EXPECT_EQ(AwardTextChecksum("Ā"), 63 + 1);
  EXPECT_EQ(AwardTextChecksum("\u0080"), 63 + 1);
  EXPECT_EQ(AwardTextChecksum("😀"), 1 * 63 + 2 * 63 + 4);
}

TEST(AwardTextChecksum, OverflowFailsLikeTheStoredIdentifiers) {
  EXPECT_EQ(AwardTextChecksum(std::string(337, 'a')), 97 * 337 * 338 / 2 + 337 * 337);
  // 338 * 97 passes the 16-bit product.
  EXPECT_ZEL_ERROR(AwardTextChecksum(std::string(338, 'a')), 6, "Overflow");
  // Codes of zero never overflow the product, but the squared length leaves the 32-bit range.
  EXPECT_EQ(AwardTextChecksum(std::string(46340, '\0')), 46340 * 46340);
  EXPECT_ZEL_ERROR(AwardTextChecksum(std::string(46341, '\0')), 6, "Overflow");
}

}  // namespace
}  // namespace zel
