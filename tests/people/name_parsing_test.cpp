#include "people/name_parsing.h"

#include "frame/reflection.h"
#include "support/test_support.h"

namespace zel {
namespace {

TEST(SplitPersonName, ShortNamesHaveNoMiddleName) {
  EXPECT_EQ(SplitPersonName(""), "||");
  EXPECT_EQ(SplitPersonName("Prince"), "Prince||");
  EXPECT_EQ(SplitPersonName("Anna Berg"), "Anna||Berg");
  // A title counts only from three words on.
  EXPECT_EQ(SplitPersonName("Dr. Hale"), "Dr.||Hale");
  EXPECT_EQ(SplitPersonName("Sir Hale"), "Sir||Hale");
}

TEST(SplitPersonName, WordsBetweenFirstAndLastAreMiddleNames) {
  EXPECT_EQ(SplitPersonName("Anna Maria Berg"), "Anna|Maria|Berg");
  EXPECT_EQ(SplitPersonName("Anna Maria Sofia Berg"), "Anna|Maria Sofia|Berg");
  EXPECT_EQ(SplitPersonName("Tom Lee Hale"), "Tom|Lee|Hale");
  EXPECT_EQ(SplitPersonName("Tom J. Hale"), "Tom|J.|Hale");
  EXPECT_EQ(SplitPersonName("Tom V. Hale"), "Tom|V.|Hale");
  EXPECT_EQ(SplitPersonName("Ivan Mo Hale"), "Ivan|Mo|Hale");
  EXPECT_EQ(SplitPersonName("Tom Sean Hale"), "Tom|Sean|Hale");
}

TEST(SplitPersonName, ParticlesJoinTheLastName) {
  EXPECT_EQ(SplitPersonName("Piet van Dam"), "Piet||van Dam");
  EXPECT_EQ(SplitPersonName("Ana de la Cruz"), "Ana||de la Cruz");
  EXPECT_EQ(SplitPersonName("John St. Clair"), "John||St. Clair");
  EXPECT_EQ(SplitPersonName("Tom v. Hale"), "Tom||v. Hale");
  EXPECT_EQ(SplitPersonName("Tom El Hale"), "Tom||El Hale");
  EXPECT_EQ(SplitPersonName("Tom Mc Hale"), "Tom||Mc Hale");
  EXPECT_EQ(SplitPersonName("Tom Lou Hale"), "Tom||Lou Hale");
  // A word ending with a comma stays with the last name whatever its shape.
  EXPECT_EQ(SplitPersonName("Anna Berg, Smith"), "Anna||Berg, Smith");
}

TEST(SplitPersonName, ParticleLengthCountsCharactersNotBytes) {
  EXPECT_EQ(SplitPersonName("Tom Dé Hale"), "Tom||Dé Hale");
  EXPECT_EQ(SplitPersonName("Tom Déa Hale"), "Tom||Déa Hale");
  EXPECT_EQ(SplitPersonName("Tom Déan Hale"), "Tom|Déan|Hale");
}

TEST(SplitPersonName, ParticlesLeftOfAMiddleNameStayInTheMiddleName) {
  EXPECT_EQ(SplitPersonName("Anna Maria van Berg"), "Anna|Maria|van Berg");
  EXPECT_EQ(SplitPersonName("Anna van Maria Berg"), "Anna|van Maria|Berg");
  EXPECT_EQ(SplitPersonName("Anna de Maria van der Berg"), "Anna|de Maria|van der Berg");
}

TEST(SplitPersonName, TitlesStayWithTheFirstName) {
  EXPECT_EQ(SplitPersonName("Sir Tom Hale"), "Sir Tom||Hale");
  EXPECT_EQ(SplitPersonName("SIR Tom Hale"), "SIR Tom||Hale");
  EXPECT_EQ(SplitPersonName("Dr. Anna Maria Berg"), "Dr. Anna|Maria|Berg");
  EXPECT_EQ(SplitPersonName("Prof. Piet van Dam"), "Prof. Piet||van Dam");
  // "de" opening a name is taken for a title.
  EXPECT_EQ(SplitPersonName("de Niro Robert Hale"), "de Niro|Robert|Hale");
}

TEST(SplitPersonName, SuffixesStayWithTheLastName) {
  EXPECT_EQ(SplitPersonName("Tom Hale Jr."), "Tom||Hale Jr.");
  EXPECT_EQ(SplitPersonName("Tom Hale III"), "Tom||Hale III");
  EXPECT_EQ(SplitPersonName("Tom Hale (II)"), "Tom||Hale (II)");
  EXPECT_EQ(SplitPersonName("Tom Hale (voice)"), "Tom||Hale (voice)");
  EXPECT_EQ(SplitPersonName("Tom Anna van Hale Jr."), "Tom|Anna|van Hale Jr.");
  EXPECT_EQ(SplitPersonName("Sir Tom Hale Jr."), "Sir Tom||Hale Jr.");
  // Two words: the suffix rule needs three, so the suffix is simply the last name.
  EXPECT_EQ(SplitPersonName("Hale Jr."), "Hale||Jr.");
}

TEST(SplitPersonName, TitleAndSuffixInThreeWordsDoNotDuplicateTheMiddleWord) {
  EXPECT_EQ(SplitPersonName("Dr. Hale Jr."), "Dr.||Hale Jr.");
  EXPECT_EQ(SplitPersonName("Sir Tom (voice)"), "Sir||Tom (voice)");
}

TEST(SplitPersonName, NonPersonalNamesAreNotSplit) {
  EXPECT_EQ(SplitPersonName("The Rock"), "The Rock||");
  EXPECT_EQ(SplitPersonName("Jack THE Ripper Hale"), "Jack THE Ripper Hale||");
  EXPECT_EQ(SplitPersonName("Anna==Berg Hale"), "Anna==Berg Hale||");
  // Only "The " with a capital opens a non-personal name; "Theo" is a first name.
  EXPECT_EQ(SplitPersonName("the Rock"), "the||Rock");
  EXPECT_EQ(SplitPersonName("Theo Berg"), "Theo||Berg");
}

TEST(SplitPersonName, SpacingIsKeptAndPipesAreNotEscaped) {
  EXPECT_EQ(SplitPersonName("Anna  Berg"), "Anna||Berg");
  EXPECT_EQ(SplitPersonName("Anna Maria  Berg"), "Anna|Maria |Berg");
  EXPECT_EQ(SplitPersonName(" Anna"), "||Anna");
  EXPECT_EQ(SplitPersonName("Anna "), "Anna||");
  EXPECT_EQ(SplitPersonName("Anna|Maria Berg"), "Anna|Maria||Berg");
}

TEST(Name, FullNameKeepsItsTextUntilAPartIsSet) {
  Name name;
  name.SetFullName("Anna  Berg");
  EXPECT_EQ(name.FullName(), "Anna  Berg");
  EXPECT_EQ(name.FirstName(), "Anna");
  EXPECT_EQ(name.MiddleName(), "");
  EXPECT_EQ(name.LastName(), "Berg");
  name.SetLastName("Lind");
  EXPECT_EQ(name.FullName(), "Anna Lind");
  name.SetMiddleName("Maria");
  EXPECT_EQ(name.FullName(), "Anna Maria Lind");
  // Regression: a name without a first name began with a blank (" Cher"), so no search found it.
  name.SetFirstName("");
  EXPECT_EQ(name.FullName(), "Maria Lind");
  name.SetMiddleName("");
  EXPECT_EQ(name.FullName(), "Lind");
}

TEST(Name, ClearKeepsTheBirthYear) {
  Name name;
  name.SetFullName("Anna Maria Berg");
  name.SetBirthYear(1970);
  name.Clear();
  EXPECT_EQ(name.FullName(), "");
  EXPECT_EQ(name.FirstName(), "");
  EXPECT_EQ(name.MiddleName(), "");
  EXPECT_EQ(name.LastName(), "");
  EXPECT_EQ(name.BirthYear(), 1970);
}

TEST(Name, PipeInsideFullNameStaysInItsPart) {
  Name name;
  name.SetFullName("Anna|Maria Berg");
  EXPECT_EQ(name.FirstName(), "Anna|Maria");
  EXPECT_EQ(name.MiddleName(), "");
  EXPECT_EQ(name.LastName(), "Berg");
  name.SetLastName("Berg");
  EXPECT_EQ(name.FullName(), "Anna|Maria Berg");
}

TEST(Name, InterfaceHasTolerantReadingButNoPropertyList) {
  const ClassInfo& info = Name::Info();
  EXPECT_FALSE(info.creatable());
  EXPECT_EQ(info.reflection(), Reflection::kTolerant);

  auto name = std::make_shared<Name>();
  Invoke(*name, "WriteProperty", CallKind::kCall, {Variant("fullname"), Variant("Piet van Dam")});
  EXPECT_EQ(Invoke(*name, "ReadProperty", CallKind::kCall, {Variant("LastName")}).ToText(),
            "van Dam");
  EXPECT_TRUE(Invoke(*name, "ReadProperty", CallKind::kCall, {Variant("Nickname")}).IsEmpty());
  EXPECT_ZEL_ERROR_NUMBER(Invoke(*name, "GetPropertyList", CallKind::kCall), 438);
  EXPECT_ZEL_ERROR_NUMBER(WriteProperty(*name, "Nickname", Variant("x")), 438);
}

TEST(Name, BirthYearIsASixteenBitNumber) {
  Name name;
  WriteProperty(name, "BirthYear", Variant("1970"));
  EXPECT_EQ(name.BirthYear(), 1970);
  EXPECT_ZEL_ERROR(WriteProperty(name, "BirthYear", Variant(40000)), 6, "Overflow");
  EXPECT_EQ(name.BirthYear(), 1970);
}

}  // namespace
}  // namespace zel
