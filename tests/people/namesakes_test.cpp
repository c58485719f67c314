// Who a credit names: namesakes told apart by birth year, credits grouped by episode, and the
// names that are probably one person, joined and split by the collector. Through imported titles.
#include "people/namesakes.h"

#include "import/import_fixture.h"
#include "model/profiles.h"
#include "people/person_credits.h"
#include "people/person_joins.h"
#include "people/suspects.h"

namespace zel::testing {
namespace {

std::string Actor(const std::string& name, const std::string& role, const std::string& year,
                  const std::string& credited_as = "") {
  const size_t space = name.rfind(' ');
  return "<Actor FirstName=\"" + name.substr(0, space) + "\" LastName=\"" + name.substr(space + 1) +
         "\" Role=\"" + role + "\" BirthYear=\"" + year + "\" CreditedAs=\"" + credited_as + "\"/>";
}
std::string Director(const std::string& name, const std::string& year) {
  const size_t space = name.rfind(' ');
  return "<Credit FirstName=\"" + name.substr(0, space) + "\" LastName=\"" +
         name.substr(space + 1) + "\" BirthYear=\"" + year +
         "\" CreditType=\"Direction\" CreditSubtype=\"Director\"/>";
}
std::string Title(const std::string& id, const std::string& title, const std::string& actors,
                  const std::string& crew = "") {
  return Dvd("<ProductionYear>" + id + "</ProductionYear><Actors>" + actors + "</Actors><Credits>" +
                 crew + "</Credits>",
             id, title);
}

class NamesakesTest : public ImportTest {
 protected:
  // An actor born 1949, a director born 1946 and a narrator of seven episodes without a year.
  void ImportNamesakes() {
    Import(Title("1990", "Sheriff", Actor("Tom Hale", "Sheriff", "1949")));
    Import(Title("1985", "Directed", "", Director("Tom Hale", "1946")));
    std::string episodes;
    for (int i = 1; i <= 7; ++i) {
      episodes += "<Divider Caption=\"1.0" + std::to_string(i) + " Part " + std::to_string(i) +
                  "\" Type=\"Episode\"/>" + Actor("Tom Hale", "Narrator (voice)", "0");
    }
    Import(Title("2001", "Nature: Season 1", episodes));
  }
  std::vector<std::string> Lines(const people::PersonAppearances& found) {
    std::vector<std::string> lines;
    for (const people::PersonWorks& works : found.people) {
      for (const people::WorkLine& line : works.lines) {
        for (const people::RoleGroup& role : line.roles) {
          lines.push_back(people::PersonLabel(works.person) + ": " + std::to_string(line.year) +
                          " " + line.title + ": " + people::RoleText(role, 3));
        }
      }
    }
    return lines;
  }
};

TEST_F(NamesakesTest, NamesakesAreApartAndACreditWithoutYearIsEitherOrTheOnlyOne) {
  ImportNamesakes();
  // Ordered by birth year; the credits that could be either apart; a title's credits grouped by
  // episode.
  EXPECT_EQ(Lines(people::ReadPersonAppearances(*db_, "Tom Hale")),
            (std::vector<std::string>{
                "Tom Hale (born 1946): 1985 Directed: Director",
                "Tom Hale (born 1949): 1990 Sheriff: Sheriff",
                "Tom Hale (born 1946 or 1949, could be either): 2001 Nature: Season 1: Narrator "
                "(voice), 7 episodes: 1.01 Part 1, 1.02 Part 2, 1.03 Part 3, …"}));
  EXPECT_EQ(db_->GetPersonName("Tom Hale", 1949), "Tom Hale (born 1949)");
  EXPECT_EQ(db_->GetPersonName("Tom Hale", 0), "Tom Hale (born 1946 or 1949, could be either)");
  // A year no person has is no year.
  EXPECT_EQ(db_->GetPersonName("Tom Hale", 26471), db_->GetPersonName("Tom Hale", 0));

  // With one known birth year left, every credit without one is that person's.
  RemoveProfileRows(*db_, "Key_1985");
  const people::PersonAppearances found = people::ReadPersonAppearances(*db_, "Tom Hale");
  ASSERT_EQ(found.people.size(), 1u);
  EXPECT_EQ(found.people[0].person.birth_year, 1949);
  EXPECT_EQ(std::tuple(found.people[0].titles, found.people[0].episodes), std::tuple(2, 7));
  EXPECT_EQ(db_->GetPersonName("Tom Hale", 0), "Tom Hale");
}

TEST_F(NamesakesTest, SuspectsAreListedWithEvidenceAndJoinedAndSplitOnlyWhenAsked) {
  Import(Title("1990", "One",
               Actor("Dan Akroyd", "A", "1952") + Actor("Michael J. Fox", "B", "0") +
                   Actor("Kar-wai Wong", "C", "0") + Actor("Sammy Davis Jr.", "D", "1925") +
                   Actor("Tom Hale", "E", "1946") + Actor("Anna Berg", "F", "0", "A. Berg")));
  Import(Title("1991", "Two",
               Actor("Dan Aykroyd", "A", "1952") + Actor("Dan Aykroyd", "A2", "1952") +
                   Actor("Michael Fox", "B", "0") + Actor("Wong Kar-wai", "C", "1958") +
                   Actor("Sammy Davis", "D", "0") + Actor("Tom Hal", "E", "1949") +
                   Actor("Anna Bergh", "F", "0")));
  std::vector<std::string> found;
  for (const people::Suspect& suspect : people::FindSuspects(*db_)) {
    std::string line = suspect.first.common_name + " / " + suspect.second.common_name + ":";
    for (const std::string& evidence : suspect.evidence) line += " " + evidence + ";";
    found.push_back(line);
  }
  // Namesakes of different birth years ("Tom Hale" 1946, "Tom Hal" 1949) are never suspects, nor
  // alike spellings without a shared birth year.
  EXPECT_EQ(found, (std::vector<std::string>{
                       "Dan Akroyd / Dan Aykroyd: close spelling (1 letter apart); both born 1952;",
                       "Kar-wai Wong / Wong Kar-wai: the same names in reversed order; a birth "
                       "year known for one only;",
                       "Michael Fox / Michael J. Fox: a middle initial in one name only;",
                       "Sammy Davis / Sammy Davis, Jr.: \"Jr.\" in one name only; a birth year "
                       "known for one only;"}));

  // Joining gathers the name and its aliases under the other; splitting restores exactly that.
  const people::JoinResult joined = people::JoinPeople(*db_, "A. Berg", "Anna Bergh");
  EXPECT_EQ(std::tuple(joined.name, joined.into), std::tuple("Anna Berg", "Anna Bergh"));
  EXPECT_EQ(db_->GetCommonName("A. Berg"), "Anna Bergh");
  EXPECT_EQ(db_->GetCommonName("Anna Berg"), "Anna Bergh");
  EXPECT_EQ(people::ReadPersonAppearances(*db_, "Anna Bergh").people[0].titles, 2);
  EXPECT_ZEL_ERROR(people::JoinPeople(*db_, "Anna Berg", "Anna Bergh"), errc::kInvalidArgument,
                   "'Anna Berg' and 'Anna Bergh' are one person already: Anna Bergh");
  const people::JoinResult split = people::SplitPeople(*db_, "Anna Berg");
  EXPECT_EQ(split.changes.size(), 2u);
  EXPECT_EQ(db_->GetCommonName("A. Berg"), "Anna Berg");
  EXPECT_EQ(db_->GetCommonName("Anna Berg"), "Anna Berg");
  EXPECT_EQ(Count("SELECT COUNT(*) FROM MetaInfo WHERE ProfileID = 'person:Anna Berg'"), 0);
  EXPECT_ZEL_ERROR(people::SplitPeople(*db_, "Anna Berg"), errc::kInvalidArgument,
                   "'Anna Berg' is not a name a join made one with another; nothing to split");
  EXPECT_ZEL_ERROR(people::JoinPeople(*db_, "Tom Hale", "Tom Hal"), errc::kInvalidArgument,
                   "'Tom Hale' (born 1946) and 'Tom Hal' (born 1949) are different people: their "
                   "birth years differ");
}

}  // namespace
}  // namespace zel::testing
