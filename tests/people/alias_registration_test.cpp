#include "people/alias_registration.h"

#include "catalogue/database.h"
#include "support/test_support.h"

namespace zel {
namespace {

using Rows = std::vector<std::tuple<std::string, std::string, int>>;

class AliasRegistrationTest : public testing::CatalogueTest {
 protected:
  Rows Aliases() {
    Rows rows;
    auto records = db_->DbOpenRecordSet(
        "SELECT AliasName, CommonName, BirthYear FROM Alias ORDER BY AliasName, BirthYear");
    for (; !records->Eof(); records->MoveNext()) {
      rows.emplace_back(records->ValueAt(0).ToText(), records->ValueAt(1).ToText(),
                        records->ValueAt(2).ToLong());
    }
    return rows;
  }
  uint64_t Statements() { return db_->connection().stats().statements; }
};

TEST_F(AliasRegistrationTest, EqualOrEmptyNamesTouchNothing) {
  const uint64_t before = Statements();
  RegisterAlias(*db_, "John Smith", "John Smith", 0);
  RegisterAlias(*db_, "", "J. Smith", 0);
  RegisterAlias(*db_, "John Smith", "", 0);
  EXPECT_EQ(Statements(), before);
}

TEST_F(AliasRegistrationTest, ACreditedNameBecomesAnAliasOfTheFullName) {
  RegisterAlias(*db_, "John Smith", "J. Smith", 1950);
  EXPECT_EQ(Aliases(), (Rows{{"J. Smith", "John Smith", 1950}}));
  // Registering the same pair again adds nothing.
  RegisterAlias(*db_, "John Smith", "J. Smith", 1950);
  EXPECT_EQ(Aliases().size(), 1u);
}

TEST_F(AliasRegistrationTest, AFurtherFormJoinsTheCommonNameOfAKnownAlias) {
  RegisterAlias(*db_, "John Smith", "J. Smith", 0);
  // The full name "J. Smith" is an alias of John Smith: "Johnny Smith" joins the same person.
  RegisterAlias(*db_, "J. Smith", "Johnny Smith", 0);
  EXPECT_EQ(Aliases(), (Rows{{"J. Smith", "John Smith", 0}, {"Johnny Smith", "John Smith", 0}}));
}

TEST_F(AliasRegistrationTest, AFullNameJoinsACreditedNameThatIsACommonName) {
  RegisterAlias(*db_, "John Smith", "J. Smith", 0);
  // "John Smith" is a common name: "John A. Smith" credited as it becomes its alias.
  RegisterAlias(*db_, "John A. Smith", "John Smith", 0);
  EXPECT_EQ(Aliases(), (Rows{{"J. Smith", "John Smith", 0}, {"John A. Smith", "John Smith", 0}}));
}

// Regression: a common name became an alias of another one ("A. Lee" -> "Ann Lee" -> "Anna Lee"),
// splitting the person; appearances found only half of the credits.
TEST_F(AliasRegistrationTest, ACommonNameThatJoinsAnotherBringsItsAliasesAlong) {
  RegisterAlias(*db_, "Ann Lee", "A. Lee", 0);
  RegisterAlias(*db_, "Anna Lee", "A. L.", 0);
  RegisterAlias(*db_, "Ann Lee", "Anna Lee", 0);
  EXPECT_EQ(
      Aliases(),
      (Rows{{"A. L.", "Anna Lee", 0}, {"A. Lee", "Anna Lee", 0}, {"Ann Lee", "Anna Lee", 0}}));
  db_->DbExecute(
      "INSERT INTO CastCrew (Name, ProfileID, Position, IsCast) VALUES "
      "('A. Lee', 'P', 1, true)");
  db_->DbExecute("INSERT INTO Profiles (ProfileID, Title) VALUES ('P', 'Film')");
  EXPECT_EQ(db_->FindAppearances("Ann Lee")->Count(), 1);
}

TEST_F(AliasRegistrationTest, BirthYearsKeepNamesakesApartButTheAliasNameStaysTheKey) {
  RegisterAlias(*db_, "John Smith", "J. Smith", 1950);
  // Another John Smith, born 1970: the lookups do not see the 1950 rows, and the insert of the
  // same alias name is skipped by the table's key.
  RegisterAlias(*db_, "John Smith", "J. Smith", 1970);
  EXPECT_EQ(Aliases(), (Rows{{"J. Smith", "John Smith", 1950}}));
}

TEST_F(AliasRegistrationTest, QuotesInNamesAreData) {
  RegisterAlias(*db_, "Liz O'Hara", "Friday 'Liz' O'Hara", 0);
  RegisterAlias(*db_, "Liz O'Hara", "Friday 'Liz' O'Hara", 0);
  EXPECT_EQ(Aliases(), (Rows{{"Friday 'Liz' O'Hara", "Liz O'Hara", 0}}));
}

TEST_F(AliasRegistrationTest, SuffixVariantsRecordTheCommaForm) {
  RegisterSuffixVariant(*db_, "Tom Hale Jr.", 1960);
  RegisterSuffixVariant(*db_, "Bob Dunn sr", 0);
  EXPECT_EQ(Aliases(),
            (Rows{{"Bob Dunn sr", "Bob Dunn, sr", 0}, {"Tom Hale Jr.", "Tom Hale, Jr.", 1960}}));
}

TEST_F(AliasRegistrationTest, SuffixVariantsSkipCommaFormsShortNamesAndCapitals) {
  const uint64_t before = Statements();
  RegisterSuffixVariant(*db_, "Tom Hale, Jr.", 0);
  RegisterSuffixVariant(*db_, "Jr.", 0);
  RegisterSuffixVariant(*db_, "A Jr", 0);
  RegisterSuffixVariant(*db_, "Tom Hale", 0);
  RegisterSuffixVariant(*db_, "TOM HALE JR", 0);  // passes the test, but nothing is replaced
  EXPECT_EQ(Statements(), before);
  EXPECT_TRUE(Aliases().empty());
}

}  // namespace
}  // namespace zel
