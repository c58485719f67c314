// The statistics of `zel serve` (/stats) and `zel stats`: what the collection holds by medium,
// genre, decade, studio, country, rating, region and audio language, what it cost per year and
// currency and what it is worth at retail, its running time, who is credited most (as people,
// across every name they are credited under), and which loans are due or overdue. Read from the
// counts the index keeps (index.h), so their cost does not grow with the collection.
#pragma once

#include <optional>
#include <string>

#include "frame/variant.h"
#include "store/plain_database.h"
#include "web/sql.h"
#include "web/titles.h"

namespace zel::web {

struct StatsQuery {
  std::optional<CollectionType> collection = CollectionType::kOwned;  // nullopt: every title
};

// The local date, the `today` of the statistics.
Date Today();

// Figures over the titles of the chosen collection type; loans over every title, due from
// `today` on and overdue before it. Lists are sorted by count (most first), decades and spending by
// year.
Json StatsData(store::PlainDatabase& db, const StatsQuery& query, Date today);

}  // namespace zel::web
