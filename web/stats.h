// The statistics of `zel serve` (/stats): what the collection holds by medium, genre, decade,
// studio and country, what it cost per year and currency, who is credited most (as people, across
// every name they are credited under), and which loans are due or overdue.
#pragma once

#include <optional>
#include <string>

#include "frame/variant.h"
#include "web/sql.h"
#include "web/titles.h"

namespace zel::web {

// The SQL condition on the profile alias `alias` that selects titles of `type` (the same rule as
// CollectionTypeOf).
std::string CollectionCondition(std::string_view alias, CollectionType type);

struct StatsQuery {
  std::optional<CollectionType> collection = CollectionType::kOwned;  // nullopt: every title
};

// The local date, the `today` of the statistics.
Date Today();

// Figures over the titles of the chosen collection type; loans over every title, due from
// `today` on and overdue before it. Lists are sorted by count (most first), decades and spending by
// year.
Json StatsData(ZelDatabase& database, const StatsQuery& query, Date today);

}  // namespace zel::web
