// Deriving the index's rows from the catalogue: one title, episode, series or alias at a time, or
// everything. Used by index.cpp inside the write transaction it opens on the index; reads the
// catalogue as schema "main" and writes the index as schema "ix" of one connection.
//
// What a title or an episode contributed (its names, its cast roles, its statistics, a fingerprint
// of its row) is kept in ix.parts, so a change is taken back exactly and only what differs is
// written: a title derived again unchanged writes nothing, one whose date changed writes its row.
// Counts of names, people and roles are gathered in memory and written by Finish.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/plain_database.h"

namespace zel::web::index {

// The roles of credit rows that only mark the headings of a list.
bool IsDividerRole(std::string_view role);

class Deriver {
 public:
  using Progress = std::function<void(int64_t done, int64_t total)>;

  explicit Deriver(store::PlainDatabase& db);

  // Brings the rows of one title (episode, series, alias name) in line with the catalogue: made,
  // changed or removed.
  void Title(const std::string& profile_id);
  void Episode(const std::string& episode_id);
  void Series(const std::string& show_id);
  void Alias(const std::string& name);
  // Every title, series, episode and alias of the catalogue, into empty tables.
  void All(const Progress& progress);
  // Writes the counts gathered and removes the names, people and roles nothing refers to any more.
  void Finish();

  // A cast credit with a role, as ix.role_credits keeps it.
  struct Credit {
    int64_t role = 0, position = 0, name = 0;
    auto operator<=>(const Credit&) const = default;
  };
  // The statistics a title adds: (dimension, key) -> its spelling and amount.
  struct Contribution {
    std::string value;
    int64_t amount = 0;
    bool operator==(const Contribution&) const = default;
  };
  using Contributions = std::map<std::pair<int, std::string>, Contribution>;
  // What a title or episode contributed, as ix.parts keeps it.
  struct Parts {
    uint64_t facts = 0, text = 0;  // fingerprints of its row and of its searched text
    std::vector<int64_t> names;    // distinct, sorted
    std::vector<Credit> credits;   // sorted
    std::vector<int64_t> births;   // BirthKey of each name and birth year credited; sorted
  };
  // A name credited with a birth year (0 when none is given), as one number.
  static constexpr int64_t kBornSpan = 100000;
  static int64_t BirthKey(int64_t name, int64_t born) { return name * kBornSpan + born; }

 private:
  struct PersonDelta {
    int64_t names = 0, titles[4] = {0, 0, 0, 0}, episodes = 0;
  };
  struct NameDelta {
    int64_t titles = 0, episodes = 0;
  };

  // The credits of one title or episode: names of its real credits, cast roles, first director.
  void ReadCredits(const std::string& sql, const std::string& owner, Parts& parts,
                   std::string& director);
  int64_t NameId(const std::string& name);
  int64_t PersonOfName(int64_t name);
  int64_t PersonId(const std::string& common_name);
  int64_t RoleId(const std::string& role);
  std::optional<std::string> AliasCommonName(const std::string& name);
  std::vector<int64_t> PeopleOf(const std::vector<int64_t>& names);
  // Counts what changed between what a work contributed and what it contributes now. `kind` 0 is
  // a title of collection type `collection` in box-set unit `unit` (before and after), 1 an
  // episode.
  void MoveCredits(int kind, int64_t work, const Parts& before, const Parts& after,
                   int64_t collection_before, int64_t collection_after,
                   const std::string& unit_before = {}, const std::string& unit_after = {});
  // A box set and its parts are one unit, named by the box set's ProfileID (a title outside any
  // box set is a unit of its own): a person counts once for a unit of a collection type, however
  // many of its titles credit them. The people the unit's titles other than `except` credit, as
  // their stored parts say.
  std::set<int64_t> UnitPeople(const std::string& unit, int64_t collection, int64_t except);
  // Counts `people` of title `title` in or out (`delta` 1 or -1) of their unit, where no other
  // title of the unit credits them already.
  void CountInUnit(const std::vector<int64_t>& people, const std::string& unit, int64_t collection,
                   int64_t title, int delta);
  Parts ReadParts(int kind, int64_t id);
  void WriteParts(int kind, int64_t id, const Parts& before, const Parts& after);
  void SeriesRow(const std::string& show_id);

  store::PlainDatabase& db_;
  std::optional<bool> count_as_;  // whether the catalogue's titles have a CountAs
  std::unordered_map<std::string, int64_t> name_ids_, person_ids_, role_ids_;
  std::unordered_map<int64_t, int64_t> person_of_name_;
  std::unordered_map<int64_t, NameDelta> name_deltas_;
  std::unordered_map<int64_t, PersonDelta> person_deltas_;
  std::unordered_map<int64_t, int64_t> role_deltas_;
  std::vector<int64_t> alias_touched_;  // names whose alias mark may have gone
};

}  // namespace zel::web::index
