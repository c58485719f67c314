// Deriving the index's rows from the catalogue: one title, episode, series or alias at a time, or
// everything. Used by index.cpp inside the write transaction it opens on the index; reads the
// catalogue as schema "main" and writes the index as schema "ix" of one connection.
//
// A title's row keeps what it contributed (its names, roles and statistics), so a change is taken
// back exactly and the counts of names, people, roles and statistics stay true without reading
// anything but the changed title. Counts are gathered in memory and written by Finish.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/plain_database.h"

namespace zel::web::index {

// Optional columns, which files of older schemas lack.
struct CatalogueShape {
  bool credit_only = false;     // CastCrew.IsCreditOnly
  bool tv_credit_only = false;  // TVCastCrew.IsCreditOnly
  bool tv_regular = false;      // TVCastCrew.IsRegular
};
CatalogueShape ShapeOf(store::PlainDatabase& db);

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

 private:
  struct Credit {
    int64_t name = 0;
    int64_t role = 0;  // 0: no role to search for
    int64_t position = 0;
  };
  struct Credits {
    std::vector<int64_t> names;     // distinct, sorted
    std::vector<Credit> roles;      // cast credits with a role
    std::vector<int64_t> role_ids;  // their roles, distinct, sorted
    std::string director;           // the first credited director
  };
  struct PersonDelta {
    int64_t names = 0, titles[4] = {0, 0, 0, 0}, episodes = 0;
  };
  struct NameDelta {
    int64_t titles = 0, episodes = 0;
  };

  Credits ReadCredits(const std::string& sql, const std::string& owner);
  int64_t NameId(const std::string& name);
  int64_t PersonOfName(int64_t name);
  int64_t PersonId(const std::string& common_name);
  int64_t RoleId(const std::string& role);
  std::optional<std::string> AliasCommonName(const std::string& name);
  std::vector<int64_t> PeopleOf(const std::vector<int64_t>& names);
  // Moves the credits of `roles` (role credits of one work) in and out of the role counts.
  void RemoveRoleCredits(const std::string& roles_blob, int kind, int64_t work);
  void AddRoleCredits(const std::vector<Credit>& roles, int kind, int64_t work);
  void SeriesRow(const std::string& show_id);

  store::PlainDatabase& db_;
  CatalogueShape shape_;
  std::unordered_map<std::string, int64_t> name_ids_, person_ids_, role_ids_;
  std::unordered_map<int64_t, int64_t> person_of_name_;
  std::unordered_map<int64_t, NameDelta> name_deltas_;
  std::unordered_map<int64_t, PersonDelta> person_deltas_;
  std::unordered_map<int64_t, int64_t> role_deltas_;
  std::vector<int64_t> alias_touched_;  // names whose alias mark may have gone
};

// Ids as the index keeps a list of them: 32-bit little-endian, one after the other.
std::string IdsBlob(const std::vector<int64_t>& ids);
std::vector<int64_t> IdsOf(std::string_view blob);

}  // namespace zel::web::index
