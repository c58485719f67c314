// The collector's decision that two names are one person, and its undoing.
//
// Joining makes one person's common name, and every alias gathered under it, aliases of the other
// person's common name, through the alias list (aliases.h), so that every answer about people
// gathers them. The join is recorded (a MetaInfo entry under "person:" and the joined name: what
// was joined into what, and which alias rows were moved), so that splitting undoes exactly that
// join and nothing the import or the collector did otherwise. Both are one write each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel::store {
class CatalogueFile;
}  // namespace zel::store

namespace zel::people {

// One alias row changed: `before` and `after` are its common name ("" for a row added or removed).
struct AliasChange {
  std::string alias_name, before, after;
};

struct JoinResult {
  std::string name, into;  // the two common names: `name` now gathers under `into`
  std::vector<AliasChange> changes;
};

// Makes the person `name` names one with the person `into` names, `into`'s common name staying
// theirs. Raises 5 when both already are one person, when their known birth years differ (they are
// namesakes, not one person), or when either name is empty.
JoinResult JoinPeople(store::CatalogueFile& database, std::string_view name, std::string_view into);

// Undoes the join of `name` (the joined common name as JoinPeople named it): its alias row goes,
// and the rows the join moved gather under it again, where nobody changed them since. Raises 5
// when `name` was not joined by JoinPeople.
JoinResult SplitPeople(store::CatalogueFile& database, std::string_view name);

}  // namespace zel::people
