#include "web/stats.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>
#include <unordered_map>

#include "catalogue/database.h"
#include "frame/text.h"
#include "store/connection.h"
#include "store/text_helpers.h"

namespace zel::web {
namespace {

// Most credited people listed.
constexpr size_t kTopPeople = 25;

struct Count {
  std::string name;
  int64_t titles = 0;
};

// Rows of (text, count) merged without regard to letter case, most first, then by name.
std::vector<Count> Counts(ZelDatabase& database, const std::string& sql) {
  std::vector<Count> counts;
  std::unordered_map<std::string, size_t> at;
  auto rows = database.DbOpenRecordSet(sql);
  for (; !rows->Eof(); rows->MoveNext()) {
    const std::string name = Trim(TextAt(*rows, 0));
    const auto [found, added] = at.emplace(ToLower(name), counts.size());
    if (added) counts.push_back({name, 0});
    counts[found->second].titles += NumberAt(*rows, 1);
  }
  std::sort(counts.begin(), counts.end(), [](const Count& a, const Count& b) {
    return a.titles != b.titles ? a.titles > b.titles : ToLower(a.name) < ToLower(b.name);
  });
  return counts;
}

Json CountsJson(const std::vector<Count>& counts, const char* key) {
  Json list = Json::array();
  for (const Count& count : counts) list.push_back({{key, count.name}, {"Titles", count.titles}});
  return list;
}

int DaysBetween(Date from, Date to) {
  return static_cast<int>(std::floor(to.serial) - std::floor(from.serial));
}

}  // namespace

std::string CollectionCondition(std::string_view alias, CollectionType type) {
  const std::string column = std::string(alias) + ".ColType";
  const std::string known = "('Owned', 'OnOrder', 'Ordered', 'WishList')";
  switch (type) {
    case CollectionType::kOwned:
      return "(" + column + " IS NULL OR " + column + " = '' OR " + column + " = 'Owned')";
    case CollectionType::kOnOrder:
      return column + " IN ('OnOrder', 'Ordered')";
    case CollectionType::kWishList:
      return column + " = 'WishList'";
    case CollectionType::kOther:
      return "(" + column + " <> '' AND " + column + " NOT IN " + known + ")";
  }
  return "1 = 1";
}

Date Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return Date::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

Json StatsData(ZelDatabase& database, const StatsQuery& query, Date today) {
  const std::string where =
      query.collection ? " WHERE " + CollectionCondition("p", *query.collection) : " WHERE 1 = 1";
  // Rows of other tables are narrowed to the chosen titles by a subquery, which the engine answers
  // from one pass over Profiles rather than a lookup per row.
  const std::string scope =
      query.collection ? " WHERE x.ProfileID IN (SELECT p.ProfileID FROM Profiles p" + where + ")"
                       : " WHERE 1 = 1";
  Json stats = {{"CollectionType",
                 query.collection ? Json(CollectionTypeName(*query.collection)) : Json(nullptr)},
                {"Today", FormatDate(today)},
                {"Titles", CountOf(database, "SELECT COUNT(*) FROM Profiles p" + where)}};
  // Titles of every type, for the switch between them.
  Json counts = Json::object();
  for (CollectionType type : kCollectionTypes) counts[std::string(CollectionTypeName(type))] = 0;
  {
    auto rows = database.DbOpenRecordSet("SELECT ColType, COUNT(*) FROM Profiles GROUP BY ColType");
    for (; !rows->Eof(); rows->MoveNext()) {
      Json& count = counts[std::string(CollectionTypeName(CollectionTypeOf(TextAt(*rows, 0))))];
      count = count.get<int64_t>() + NumberAt(*rows, 1);
    }
  }
  stats["Counts"] = std::move(counts);
  stats["Media"] = CountsJson(
      Counts(database, "SELECT p.Medium, COUNT(*) FROM Profiles p" + where + " GROUP BY p.Medium"),
      "Medium");
  stats["Genres"] = CountsJson(
      Counts(database, "SELECT x.Genre, COUNT(*) FROM Genres x" + scope + " GROUP BY x.Genre"),
      "Genre");

  std::map<int32_t, int64_t> decades;  // 0: no production year
  {
    auto rows = database.DbOpenRecordSet("SELECT p.ProdYear, COUNT(*) FROM Profiles p" + where +
                                         " GROUP BY p.ProdYear");
    for (; !rows->Eof(); rows->MoveNext()) {
      const int32_t year = NumberAt(*rows, 0);
      decades[year > 0 ? year / 10 * 10 : 0] += NumberAt(*rows, 1);
    }
  }
  Json decade_list = Json::array();
  for (const auto& [decade, titles] : decades) {
    if (decade) decade_list.push_back({{"Decade", decade}, {"Titles", titles}});
  }
  if (decades.count(0)) decade_list.push_back({{"Decade", nullptr}, {"Titles", decades[0]}});
  stats["Decades"] = std::move(decade_list);

  // Studios proper: media companies are the discs' publishers.
  stats["Studios"] = CountsJson(
      Counts(database, "SELECT x.Studio, COUNT(DISTINCT x.ProfileID) FROM Studios x" + scope +
                           " AND (x.Type IS NULL OR x.Type <> 'Media Company') GROUP BY x.Studio"),
      "Studio");
  stats["Countries"] =
      CountsJson(Counts(database, "SELECT p.CountryOfOrigin, COUNT(*) FROM Profiles p" + where +
                                      " GROUP BY p.CountryOfOrigin"),
                 "CountryOfOrigin");

  // Spending per year of purchase and currency, summed in the catalogue's fixed-point units.
  std::map<std::pair<int32_t, std::string>, std::pair<int64_t, int64_t>> spending;
  {
    auto rows = database.DbOpenRecordSet(
        "SELECT x.PurchaseDate, x.CurrencyID, x.Price FROM PurchaseInfo x" + scope +
        " AND x.Price IS NOT NULL");
    for (; !rows->Eof(); rows->MoveNext()) {
      int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
      const Date date = DateOf(rows->ValueAt(0));
      if (date != Date::Zero()) date.ToParts(year, month, day, hour, minute, second);
      auto& [titles, amount] = spending[{year, ToUpper(TextAt(*rows, 1))}];
      ++titles;
      amount += std::llround(rows->ValueAt(2).ToDouble() * 10000.0);
    }
  }
  Json spent = Json::array();
  for (const auto& [key, value] : spending) {
    spent.push_back({{"Year", key.first ? Json(key.first) : Json(nullptr)},
                     {"CurrencyID", key.second},
                     {"Titles", value.first},
                     {"Spent", static_cast<double>(value.second) / 10000.0}});
  }
  stats["Spending"] = std::move(spent);

  // People by the titles and episodes crediting them under any of their names.
  struct Person {
    std::string name;
    int64_t titles = 0, episodes = 0;
  };
  std::vector<Person> people;
  std::unordered_map<std::string, size_t> person_at;
  const auto tally = [&](const std::string& sql, int64_t Person::*field) {
    auto rows = database.DbOpenRecordSet(sql);
    for (; !rows->Eof(); rows->MoveNext()) {
      const std::string name = TextAt(*rows, 0);
      const auto [found, added] = person_at.emplace(ToLower(name), people.size());
      if (added) people.push_back({name, 0, 0});
      people[found->second].*field += NumberAt(*rows, 1);
    }
  };
  tally(
      "SELECT COALESCE(a.CommonName, x.Name) AS Person, COUNT(DISTINCT x.ProfileID) FROM "
      "CastCrew x LEFT JOIN Alias a ON a.AliasName = x.Name" +
          scope + " AND " + NotDivider("x") + " GROUP BY COALESCE(a.CommonName, x.Name)",
      &Person::titles);
  tally(
      "SELECT COALESCE(a.CommonName, x.Name) AS Person, COUNT(DISTINCT x.EpisodeID) FROM "
      "TVCastCrew x LEFT JOIN Alias a ON a.AliasName = x.Name WHERE " +
          NotDivider("x") + " GROUP BY COALESCE(a.CommonName, x.Name)",
      &Person::episodes);
  const size_t shown = std::min(kTopPeople, people.size());
  std::partial_sort(people.begin(), people.begin() + shown, people.end(),
                    [](const Person& a, const Person& b) {
                      const int64_t x = a.titles + a.episodes, y = b.titles + b.episodes;
                      return x != y ? x > y : ToLower(a.name) < ToLower(b.name);
                    });
  Json top = Json::array();
  for (size_t i = 0; i < shown; ++i) {
    top.push_back({{"CommonName", people[i].name},
                   {"Titles", people[i].titles},
                   {"Episodes", people[i].episodes}});
  }
  stats["People"] = std::move(top);

  // Overdue first by how late, then due by date; loans without a date last.
  Json overdue = Json::array(), due = Json::array(), undated = Json::array();
  auto loans = database.DbOpenRecordSet(
      "SELECT x.ProfileID, p.Title, x.UserID, x.LoanedDue FROM LoanInfo x INNER JOIN Profiles p ON "
      "p.ProfileID = x.ProfileID ORDER BY x.LoanedDue, p.SortTitle");
  for (; !loans->Eof(); loans->MoveNext()) {
    const Date when = DateOf(loans->ValueAt(3));
    Json loan = {{"ProfileID", TextAt(*loans, 0)},
                 {"Title", TextAt(*loans, 1)},
                 {"UserID", TextAt(*loans, 2)},
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
