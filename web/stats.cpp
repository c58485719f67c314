#include "web/stats.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "frame/text.h"
#include "web/cells.h"
#include "web/index_schema.h"

namespace zel::web {
namespace {

using index::Tally;
using store::PlainStatement;

// Most credited people listed.
constexpr int kTopPeople = 25;

struct Count {
  std::string key, name;
  int64_t titles = 0, amount = 0;
};

// The tallies of one dimension for the chosen titles, most titles first, then by name.
std::vector<Count> Counts(store::PlainDatabase& db, Tally tally, const StatsQuery& query) {
  SqlParams params;
  std::string sql =
      "SELECT key, min(value), sum(titles), sum(amount) FROM ix.tallies WHERE "
      "dimension = " +
      params.Add(static_cast<int64_t>(tally));
  if (query.collection)
    sql += " AND collection = " + params.Add(static_cast<int64_t>(*query.collection));
  PlainStatement& rows = db.Prepare(sql + " GROUP BY key");
  params.Bind(rows);
  std::vector<Count> counts;
  while (rows.Step()) {
    if (rows.Int(2) > 0) counts.push_back({rows.Text(0), rows.Text(1), rows.Int(2), rows.Int(3)});
  }
  std::sort(counts.begin(), counts.end(), [](const Count& a, const Count& b) {
    return a.titles != b.titles ? a.titles > b.titles : a.key < b.key;
  });
  return counts;
}

Json CountsJson(const std::vector<Count>& counts, const char* key) {
  Json list = Json::array();
  for (const Count& count : counts) list.push_back({{key, count.name}, {"Titles", count.titles}});
  return list;
}

// The stored code of a region as the index shows it (model/region_codes.h): "B" was 2.
Json RegionCode(const std::string& label) {
  if (label == "All") return 0;
  if (label.size() == 1 && label[0] >= 'A' && label[0] <= 'C') return label[0] - 'A' + 1;
  const bool digits =
      !label.empty() && label.size() < 10 &&
      std::all_of(label.begin(), label.end(), [](char c) { return c >= '0' && c <= '9'; });
  return digits ? Json(std::atoll(label.c_str())) : Json(label);
}

double Amount(int64_t ten_thousandths) { return static_cast<double>(ten_thousandths) / 10000.0; }

int DaysBetween(Date from, Date to) {
  return static_cast<int>(std::floor(to.serial) - std::floor(from.serial));
}

}  // namespace

Date Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return Date::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

Json StatsData(store::PlainDatabase& db, const StatsQuery& query, Date today) {
  // Every title has one decade, or none: their sum is the titles of a type.
  Json counts = Json::object();
  for (CollectionType type : kCollectionTypes) counts[std::string(CollectionTypeName(type))] = 0;
  int64_t titles = 0;
  {
    PlainStatement& rows = db.Prepare(
        "SELECT collection, sum(titles) FROM ix.tallies WHERE dimension = ? GROUP BY collection");
    rows.Bind(1, static_cast<int64_t>(Tally::kDecade));
    while (rows.Step()) {
      const auto type = static_cast<CollectionType>(std::clamp<int64_t>(rows.Int(0), 0, 3));
      Json& count = counts[std::string(CollectionTypeName(type))];
      count = count.get<int64_t>() + rows.Int(1);
      if (!query.collection || *query.collection == type) titles += rows.Int(1);
    }
  }
  Json stats = {{"CollectionType",
                 query.collection ? Json(CollectionTypeName(*query.collection)) : Json(nullptr)},
                {"Today", FormatDate(today)},
                {"Titles", titles},
                {"Counts", std::move(counts)}};
  {
    // What the titles count as, as DVD Profiler counts them: a box set and its parts as their
    // CountAs say.
    const std::vector<Count> counted = Counts(db, Tally::kCounted, query);
    stats["Counted"] = counted.empty() ? 0 : counted[0].amount;
  }
  stats["Media"] = CountsJson(Counts(db, Tally::kMedium, query), "Medium");
  stats["Genres"] = CountsJson(Counts(db, Tally::kGenre, query), "Genre");

  std::vector<Count> decades = Counts(db, Tally::kDecade, query);
  std::sort(decades.begin(), decades.end(), [](const Count& a, const Count& b) {
    // By year, titles without one last.
    if (a.key.empty() != b.key.empty()) return b.key.empty();
    return std::atoll(a.key.c_str()) < std::atoll(b.key.c_str());
  });
  Json decade_list = Json::array();
  for (const Count& decade : decades) {
    decade_list.push_back(
        {{"Decade", decade.key.empty() ? Json(nullptr) : Json(std::atoll(decade.key.c_str()))},
         {"Titles", decade.titles}});
  }
  stats["Decades"] = std::move(decade_list);
  stats["Studios"] = CountsJson(Counts(db, Tally::kStudio, query), "Studio");
  stats["Countries"] = CountsJson(Counts(db, Tally::kCountry, query), "CountryOfOrigin");

  // Spending per year of purchase and currency; titles without a date of purchase first.
  std::vector<Count> spending = Counts(db, Tally::kSpending, query);
  std::vector<std::tuple<int64_t, std::string, const Count*>> spent_keys;
  for (const Count& count : spending) {
    const size_t bar = count.key.find('|');
    spent_keys.emplace_back(std::atoll(count.key.substr(0, bar).c_str()),
                            bar == std::string::npos ? "" : count.key.substr(bar + 1), &count);
  }
  std::sort(spent_keys.begin(), spent_keys.end(), [](const auto& a, const auto& b) {
    return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
  });
  Json spent = Json::array();
  for (const auto& [year, currency, count] : spent_keys) {
    spent.push_back({{"Year", year ? Json(year) : Json(nullptr)},
                     {"CurrencyID", currency},
                     {"Titles", count->titles},
                     {"Spent", Amount(count->amount)}});
  }
  stats["Spending"] = std::move(spent);

  // What the titles are worth at their suggested retail prices, per currency.
  Json value = Json::array();
  for (const Count& count : Counts(db, Tally::kValue, query)) {
    value.push_back(
        {{"CurrencyID", count.name}, {"Titles", count.titles}, {"Value", Amount(count.amount)}});
  }
  stats["Value"] = std::move(value);
  {
    const std::vector<Count> running = Counts(db, Tally::kRunningTime, query);
    stats["RunningTime"] = {{"Titles", running.empty() ? 0 : running[0].titles},
                            {"Minutes", running.empty() ? 0 : running[0].amount}};
  }
  stats["Ratings"] = CountsJson(Counts(db, Tally::kRating, query), "Rating");
  Json regions = Json::array();
  for (const Count& count : Counts(db, Tally::kRegion, query)) {
    regions.push_back(
        {{"Region", count.name}, {"Code", RegionCode(count.name)}, {"Titles", count.titles}});
  }
  stats["Regions"] = std::move(regions);
  stats["AudioLanguages"] = CountsJson(Counts(db, Tally::kAudio, query), "Language");

  // People by the titles and episodes crediting them under any of their names.
  {
    const std::string scope = query.collection
                                  ? "t" + std::to_string(static_cast<int>(*query.collection))
                                  : std::string("t0 + t1 + t2 + t3");
    Json top = Json::array();
    PlainStatement& rows =
        db.Prepare("SELECT common_name, " + scope + ", episodes FROM ix.people WHERE " + scope +
                   " + episodes > 0 ORDER BY " + scope + " + episodes DESC, key LIMIT " +
                   std::to_string(kTopPeople));
    while (rows.Step()) {
      top.push_back(
          {{"CommonName", rows.Text(0)}, {"Titles", rows.Int(1)}, {"Episodes", rows.Int(2)}});
    }
    stats["People"] = std::move(top);
  }

  // Overdue first by how late, then due by date; loans without a date last.
  Json overdue = Json::array(), due = Json::array(), undated = Json::array();
  PlainStatement& loans = db.Prepare(
      "SELECT x.ProfileID, p.Title, x.UserID, x.LoanedDue FROM main.LoanInfo x INNER JOIN "
      "main.Profiles p ON p.ProfileID = x.ProfileID ORDER BY x.LoanedDue, p.SortTitle");
  while (loans.Step()) {
    const Date when = DateAt(loans, 3);
    Json loan = {{"ProfileID", loans.Text(0)},
                 {"Title", loans.Text(1)},
                 {"UserID", loans.Text(2)},
                 {"LoanedDue", DateJson(when)},
                 {"Days", when == Date::Zero() ? Json(nullptr) : Json(DaysBetween(today, when))}};
    if (when == Date::Zero()) {
      undated.push_back(std::move(loan));
    } else {
      (DaysBetween(today, when) < 0 ? overdue : due).push_back(std::move(loan));
    }
  }
  for (Json& loan : undated) due.push_back(std::move(loan));
  stats["Loans"] = {{"Overdue", std::move(overdue)}, {"Due", std::move(due)}};
  return stats;
}

}  // namespace zel::web
