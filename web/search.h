// The search of `zel serve` (/search): titles (title, original title, UPC), people (any credited
// name, and every name of the Alias table), roles, series and episodes, grouped by kind, every
// match counted and paged. Matching folds letter case and accents (fold.h) and wants every
// word of the query somewhere in the text.
//
// The texts are read once into an index (SearchIndex) that answers any query in memory; a server
// keeps it while the catalogue does not change, a one-off caller builds it with SearchData.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "web/sql.h"
#include "web/titles.h"

namespace zel::web {

// Every person: the common names of all credited names (list dividers aside) and of the Alias
// table, each with every name gathered under it.
struct PeopleIndex {
  struct Person {
    std::string common_name;
    std::vector<std::string> names;   // the common name first, then the other forms
    std::vector<std::string> folded;  // of `names`, in the same order
    bool credited = false;            // some credit names them (not only the Alias table)
  };
  std::vector<Person> people;                         // in folded common-name order
  std::unordered_map<std::string, uint32_t> by_name;  // lower-case name form -> person
  int64_t credited = 0;                               // people with at least one credit

  const Person* Find(std::string_view name) const;
};

// Reads the credited names of titles and episodes and the Alias table.
PeopleIndex ReadPeopleIndex(ZelDatabase& database);

// The number of people credited in the catalogue, counted across their names: the home page's
// figure.
int64_t PeopleCount(ZelDatabase& database);

struct SearchIndex {
  struct Credit {
    uint32_t work;  // title row, or episode when `episode`
    uint32_t name;  // index into `names`
    bool episode = false;
  };
  struct Role {
    std::string text, folded;
    uint32_t first = 0, count = 0;  // its credits in `credits`, in title order
  };
  struct Series {
    std::string show_id, title, original_title, folded;
  };
  struct Episode {
    std::string episode_id, show_id, series_title, season, number, title, original_title;
    std::string folded;  // title and original title
  };
  std::shared_ptr<const TitleTable> titles;
  std::shared_ptr<const PeopleIndex> people;
  std::vector<std::string> names;  // credited names of role credits
  std::vector<Credit> credits;
  std::vector<Role> roles;  // in folded order
  std::vector<Series> series;
  std::vector<Episode> episodes;  // in series, season and number order
};

// Reads the cast roles of titles and episodes, the series and the episodes; the titles and the
// people come from the tables given.
SearchIndex ReadSearchIndex(ZelDatabase& database, std::shared_ptr<const TitleTable> titles,
                            std::shared_ptr<const PeopleIndex> people);

enum class SearchKind : uint8_t { kTitles, kPeople, kRoles, kSeries, kEpisodes };
// titles, people, roles, series, episodes: the names in addresses; in JSON the groups are Titles,
// People, Roles, Series, Episodes.
extern const std::vector<NamedValue> kSearchKinds;

struct SearchQuery {
  std::string text;
  std::optional<SearchKind> kind;  // one kind, paged; nullopt: the first matches of every kind
  int32_t page = 1;
};

// Every kind's total and a page of its matches: with a kind, 50 a page of that kind only; without,
// the first 10 of each.
Json SearchData(const SearchIndex& index, const SearchQuery& query, CoverFolder* covers);
// The same for a caller without an index: reads one first.
Json SearchData(ZelDatabase& database, const SearchQuery& query, CoverFolder* covers = nullptr);

}  // namespace zel::web
