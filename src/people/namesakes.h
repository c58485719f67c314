// Who a credit names: one person, told apart from namesakes by birth year.
//
// The catalogue gathers every credited form of a person's name under one common name (aliases.h),
// and a credit carries the person's birth year where the export knows it. This is the one rule of
// the library for what makes a person:
//   - credits of one common name with different known birth years are different people
//     (namesakes): an actor born 1949 and a crew member born 1946 who share a name;
//   - a credit without a known birth year belongs to the one person of its common name when that
//     name has at most one known birth year, and when it has several it could be any of them: it is
//     shown apart, saying so, never given to one of them;
//   - a birth year counts as known only between 1800 and 2100: exports hold other numbers in the
//     field (identifiers, typing errors), which say nothing of the person.
// Every answer about people (appearances, aliases, awards, the people table, the example scripts)
// goes through it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zel::store {
class CatalogueFile;
}  // namespace zel::store

namespace zel::people {

bool IsKnownBirthYear(int32_t year);

// One person, or, for a credit that could be any of several namesakes, the choice between them.
struct Person {
  std::string common_name;
  int32_t birth_year = 0;         // known birth year; 0 when the credit does not tell
  std::vector<int32_t> could_be;  // the namesakes' years when the credit could be any of them
  bool namesakes = false;         // the common name has several known birth years

  bool CouldBeEither() const { return !could_be.empty(); }
  bool operator==(const Person&) const = default;
};

// How the person is named to people: the common name, followed, where namesakes need telling
// apart, by "(born 1949)" or "(born 1946 or 1949, could be either)".
std::string PersonLabel(const Person& person);

// The known birth years of common names, noted from credits, and the rule applied to a credit.
// Common names compare as the catalogue compares names (letter case aside).
class Namesakes {
 public:
  void Note(std::string_view common_name, int32_t birth_year);
  Person Resolve(std::string_view common_name, int32_t birth_year) const;
  // The known birth years noted for a common name, ascending.
  std::vector<int32_t> YearsOf(std::string_view common_name) const;

 private:
  std::unordered_map<std::string, std::vector<int32_t>> years_;  // by folded common name
};

// A person's common name and every name credited to them: the common name first, then each alias
// of it that differs from the names before it in more than letter case.
struct PersonNames {
  std::string common_name;
  std::vector<std::string> names;
};
PersonNames NamesOf(store::CatalogueFile& database, std::string_view name);

// The birth years of every credit, of titles and episodes, under any of `names` (list headings
// aside), noted for `common_name`.
Namesakes ReadNamesakes(store::CatalogueFile& database, const PersonNames& names);

// The person a credit of `name` with `birth_year` names (ZelDatabase.GetPersonName gives its
// label).
Person PersonOfCredit(store::CatalogueFile& database, std::string_view name, int32_t birth_year);

// The person an award nomination of the film `movie_title` (of `movie_year`; 0: any year) names,
// among a name's namesakes: the one credited on a title of that title or original title. Nullopt
// when none is, or several are: the nomination then names nobody in particular.
std::optional<Person> PersonOfNomination(store::CatalogueFile& database, const PersonNames& names,
                                         const Namesakes& namesakes, std::string_view movie_title,
                                         int32_t movie_year);

// "('a', 'b')" with each name quoted, for "Name IN ...".
std::string NameList(const std::vector<std::string>& names);

// Whether a credit row's role is a list heading (group, episode, team, end), nobody's credit.
bool IsListHeading(std::string_view role);

}  // namespace zel::people
