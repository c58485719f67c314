#include "web/titles.h"

#include <algorithm>

#include "frame/text.h"
#include "web/covers.h"
#include "web/fold.h"
#include "web/html.h"
#include "web/index_schema.h"

namespace zel::web {
namespace {

using store::PlainStatement;

constexpr int32_t kListPerPage = 50;
constexpr int32_t kGridPerPage = 48;  // whole rows of 2, 3, 4, 6 and 8 covers
constexpr size_t kRecentTitles = 12;

std::string_view NameOf(const std::vector<NamedValue>& names, int value) {
  for (const NamedValue& named : names) {
    if (named.value == value) return named.name;
  }
  return {};
}

// The column a sort orders by. A title without a value comes last in either direction: in the
// natural one an index gives that order (the column is null, or an empty blob when the lowest
// come first, see index_schema.cpp); the other way round the missing are put last by hand.
struct SortColumn {
  const char* column;
  const char* missing;
};

SortColumn SortColumnOf(TitleSort sort) {
  switch (sort) {
    case TitleSort::kTitle:
      return {"t.order_key", "0"};
    case TitleSort::kYear:
      return {"t.year", "t.year IS NULL"};
    case TitleSort::kAdded:
      return {"t.added", "t.added IS NULL"};
    case TitleSort::kEdited:
      return {"t.edited", "t.edited IS NULL"};
    case TitleSort::kPurchased:
      return {"t.purchased", "t.purchased IS NULL"};
    case TitleSort::kRunningTime:
      return {"t.running_time", "t.running_time IS NULL"};
    case TitleSort::kRating:
      return {"t.review", "t.review IS NULL"};
    case TitleSort::kPrice:
      return {"t.price", "t.price IS NULL"};
    case TitleSort::kMedium:
      return {"t.sort_medium", "typeof(t.sort_medium) = 'blob'"};
    case TitleSort::kDirector:
      return {"t.sort_director", "typeof(t.sort_director) = 'blob'"};
    case TitleSort::kPriority:
      return {"t.sort_priority", "typeof(t.sort_priority) = 'blob'"};
    case TitleSort::kRetail:
      return {"t.retail", "t.retail IS NULL"};
  }
  return {"t.order_key", "0"};
}

// ORDER BY of a sort; titles with equal values stay in title order.
std::string OrderOf(TitleSort sort, bool descending) {
  const SortColumn column = SortColumnOf(sort);
  if (sort == TitleSort::kTitle) return descending ? "t.order_key DESC" : "t.order_key";
  const std::string value = std::string(column.column) + (descending ? " DESC" : "");
  if (descending == SortsDescending(sort)) return value + ", t.order_key";
  return std::string("(") + column.missing + "), " + value + ", t.order_key";
}

// A title listed inside its box set: one whose box set the catalogue holds.
constexpr std::string_view kInBoxSet =
    "(t.box_set IS NOT NULL AND EXISTS (SELECT 1 FROM ix.titles b WHERE b.profile_id = "
    "t.box_set))";

// The titles of each collection type in the whole collection: every title adds one decade (or the
// lack of one) to the statistics, so their sum per type is its number of titles.
std::array<int64_t, 4> TypeCounts(store::PlainDatabase& db) {
  std::array<int64_t, 4> counts{};
  PlainStatement& rows = db.Prepare(
      "SELECT collection, sum(titles) FROM ix.tallies WHERE dimension = ? GROUP BY collection");
  rows.Bind(1, static_cast<int64_t>(index::Tally::kDecade));
  while (rows.Step())
    counts[static_cast<size_t>(std::clamp<int64_t>(rows.Int(0), 0, 3))] += rows.Int(1);
  return counts;
}

Json Choices(store::PlainDatabase& db, index::Facet facet) {
  Json values = Json::array();
  PlainStatement& rows = db.Prepare(
      "SELECT key, min(value) FROM ix.tallies WHERE dimension = ? GROUP BY key ORDER BY key");
  rows.Bind(1, static_cast<int64_t>(index::kFacetTally + static_cast<int>(facet)));
  while (rows.Step()) values.push_back(rows.Text(1));
  return values;
}

}  // namespace

int ChoiceOf(std::string_view what, std::string_view text, const std::vector<NamedValue>& choices) {
  std::string known;
  for (const NamedValue& choice : choices) {
    if (EqualsIgnoreCase(choice.name, text)) return choice.value;
    known += (known.empty() ? "" : ", ") + std::string(choice.name);
  }
  // The text is echoed cut to a length a message can carry.
  throw QueryError("Unknown " + std::string(what) + " '" + std::string(text.substr(0, 200)) +
                   "': it is one of " + known + ".");
}

const std::vector<NamedValue> kTitleSorts = {{"title", static_cast<int>(TitleSort::kTitle)},
                                             {"year", static_cast<int>(TitleSort::kYear)},
                                             {"added", static_cast<int>(TitleSort::kAdded)},
                                             {"edited", static_cast<int>(TitleSort::kEdited)},
                                             {"purchased", static_cast<int>(TitleSort::kPurchased)},
                                             {"runtime", static_cast<int>(TitleSort::kRunningTime)},
                                             {"rating", static_cast<int>(TitleSort::kRating)},
                                             {"price", static_cast<int>(TitleSort::kPrice)},
                                             {"medium", static_cast<int>(TitleSort::kMedium)},
                                             {"director", static_cast<int>(TitleSort::kDirector)},
                                             {"priority", static_cast<int>(TitleSort::kPriority)},
                                             {"retail", static_cast<int>(TitleSort::kRetail)}};

bool SortsDescending(TitleSort sort) {
  return sort != TitleSort::kTitle && sort != TitleSort::kMedium && sort != TitleSort::kDirector &&
         sort != TitleSort::kPriority;
}

const std::vector<NamedValue> kCollectionChoices = {
    {"owned", static_cast<int>(CollectionType::kOwned)},
    {"onorder", static_cast<int>(CollectionType::kOnOrder)},
    {"wishlist", static_cast<int>(CollectionType::kWishList)},
    {"other", static_cast<int>(CollectionType::kOther)},
    {"all", -1}};

std::string_view CollectionTypeName(CollectionType type) {
  switch (type) {
    case CollectionType::kOwned:
      return "Owned";
    case CollectionType::kOnOrder:
      return "OnOrder";
    case CollectionType::kWishList:
      return "WishList";
    case CollectionType::kOther:
      return "Other";
  }
  return "Other";
}

CollectionType CollectionTypeOf(std::string_view stored) {
  const std::string type = ToLower(stored);
  if (type.empty() || type == "owned") return CollectionType::kOwned;
  if (type == "onorder" || type == "ordered") return CollectionType::kOnOrder;
  if (type == "wishlist") return CollectionType::kWishList;
  return CollectionType::kOther;
}

Json TitleSummaryAt(const PlainStatement& row, int at, CoverFolder* covers) {
  const std::string id = row.Text(at);
  const bool cover = covers && covers->Has(id, CoverSide::kFront);
  const auto type = static_cast<CollectionType>(std::clamp<int64_t>(row.Int(at + 4), 0, 3));
  return {{"ProfileID", id},
          {"Title", row.Text(at + 1)},
          {"ProductionYear", row.Int(at + 2)},
          {"Medium", row.Text(at + 3)},
          {"CollectionType", CollectionTypeName(type)},
          {"OnLoan", row.Int(at + 5) != 0},
          {"Cover", cover ? Json(Link("/cover/", id) + "/front") : Json(nullptr)}};
}

Json TitlesData(store::PlainDatabase& db, const TitleQuery& query, CoverFolder* covers) {
  if (query.letter && query.sort != TitleSort::kTitle) {
    throw QueryError("The jump to a letter works in title order (sort=title).");
  }
  SqlParams params;
  std::string where = "1 = 1";
  if (const WordMatch match = MatchOf(query.text); !match.words.empty()) {
    std::vector<std::string> words;
    for (const std::string& word : match.words) words.push_back(params.Add(word));
    std::string matching = "SELECT f.rowid FROM ix.title_fts f WHERE (" +
                           AllWordsIn("f.title", words) + " OR " + AllWordsIn("f.original", words) +
                           ")";
    if (!match.fts.empty()) matching += " AND title_fts MATCH " + params.Add(match.fts);
    where += " AND t.id IN (" + matching + ")";
  }
  // A value no title has matches nothing; it is not dropped from the filter.
  for (const auto& [facet, value] :
       {std::pair{index::Facet::kGenre, &query.genre},
        std::pair{index::Facet::kMedium, &query.medium}, std::pair{index::Facet::kTag, &query.tag},
        std::pair{index::Facet::kLocation, &query.location},
        std::pair{index::Facet::kStudio, &query.studio}}) {
    if (value->empty()) continue;
    where += " AND t.id IN (SELECT f.title FROM ix.facets f WHERE f.facet = " +
             params.Add(static_cast<int64_t>(facet)) + " AND f.key = " + params.Add(Fold(*value)) +
             ")";
  }
  if (!query.person.empty()) {
    const PersonNames person = NamesOfPerson(db, query.person);
    where += " AND t.id IN " + TitlesCrediting(person, params);
  }
  if (query.year) where += " AND t.year = " + params.Add(static_cast<int64_t>(query.year));
  if (query.on_loan) where += " AND t.on_loan = " + params.Add(int64_t{*query.on_loan});

  // Titles of every type passing the other filters, for the switch between the types.
  const bool filtered = where != "1 = 1";
  if (!query.parts_as_titles) where += " AND NOT " + std::string(kInBoxSet);
  std::array<int64_t, kCollectionTypes.size()> type_counts{};
  if (!filtered) {
    type_counts = TypeCounts(db);
    if (!query.parts_as_titles) {
      PlainStatement& parts = db.Prepare("SELECT t.collection, COUNT(*) FROM ix.titles t WHERE " +
                                         std::string(kInBoxSet) + " GROUP BY t.collection");
      while (parts.Step()) {
        type_counts[static_cast<size_t>(std::clamp<int64_t>(parts.Int(0), 0, 3))] -= parts.Int(1);
      }
    }
  } else {
    PlainStatement& rows = db.Prepare("SELECT t.collection, COUNT(*) FROM ix.titles t WHERE " +
                                      where + " GROUP BY t.collection");
    params.Bind(rows);
    while (rows.Step()) {
      type_counts[static_cast<size_t>(std::clamp<int64_t>(rows.Int(0), 0, 3))] += rows.Int(1);
    }
  }
  int64_t total = 0;
  if (query.collection) {
    total = type_counts[static_cast<size_t>(*query.collection)];
    where += " AND t.collection = " + params.Add(static_cast<int64_t>(*query.collection));
  } else {
    for (int64_t count : type_counts) total += count;
  }

  const bool descending = query.descending.value_or(SortsDescending(query.sort));
  const int32_t per_page = query.grid ? kGridPerPage : kListPerPage;
  const int64_t pages = std::max<int64_t>(1, (total + per_page - 1) / per_page);
  int64_t page = std::clamp<int64_t>(query.page, 1, pages);
  Json letters = Json::array();
  if (query.sort == TitleSort::kTitle) {
    if (!filtered) {
      SqlParams letter_params;
      std::string sql = "SELECT key FROM ix.tallies WHERE dimension = " +
                        letter_params.Add(static_cast<int64_t>(index::Tally::kInitial));
      if (query.collection) {
        sql += " AND collection = " + letter_params.Add(static_cast<int64_t>(*query.collection));
      }
      PlainStatement& rows = db.Prepare(sql + " GROUP BY key HAVING sum(titles) > 0 ORDER BY key");
      letter_params.Bind(rows);
      while (rows.Step()) letters.push_back(ToUpper(rows.Text(0)));
    } else {
      PlainStatement& rows = db.Prepare("SELECT DISTINCT t.initial FROM ix.titles t WHERE " +
                                        where + " ORDER BY t.initial");
      params.Bind(rows);
      while (rows.Step()) letters.push_back(rows.Text(0));
    }
    if (query.letter) {
      // The first title of that letter, or else where it would stand. Its key is found from the
      // letters' index: walking the title order to the letter would read every title before it.
      const std::string letter(1, query.letter);
      SqlParams at = params;
      const std::string bound = at.Add(letter);
      const std::string sql =
          descending
              ? "SELECT (SELECT COUNT(*) FROM ix.titles t WHERE " + where +
                    " AND t.order_key > x.k), x.k IS NULL FROM (SELECT max(+t.order_key) AS k FROM "
                    "ix.titles t WHERE " +
                    where + " AND t.initial <= " + bound + ") x"
              : "SELECT (SELECT COUNT(*) FROM ix.titles t WHERE " + where +
                    " AND t.order_key < x.k), x.k IS NULL FROM (SELECT min(+t.order_key) AS k FROM "
                    "ix.titles t WHERE " +
                    where + " AND t.initial >= " + bound + ") x";
      PlainStatement& position = db.Prepare(sql);
      at.Bind(position);
      if (position.Step()) {
        const int64_t before = position.Int(1) ? total : position.Int(0);
        page = std::min<int64_t>(pages, before / per_page + 1);
      }
    }
  }

  const std::string order = OrderOf(query.sort, descending);
  Json titles = Json::array();
  {
    SqlParams paged = params;
    const std::string limit = paged.Add(static_cast<int64_t>(per_page));
    const std::string offset = paged.Add((page - 1) * per_page);
    PlainStatement& rows = db.Prepare(
        "SELECT " + std::string(kTitleSummaryColumns) +
        ", t.running_time, t.added, t.edited, t.purchased, t.price, t.currency, t.review, "
        "t.director, t.priority, t.retail, t.retail_currency, t.rating, (SELECT COUNT(*) FROM "
        "ix.titles p WHERE p.box_set = t.profile_id), t.box_set FROM ix.titles t WHERE " +
        where + " ORDER BY " + order + " LIMIT " + limit + " OFFSET " + offset);
    paged.Bind(rows);
    while (rows.Step()) {
      const int c = kTitleSummaryCount;
      Json item = TitleSummaryAt(rows, 0, covers);
      item["RunningTime"] = rows.Int(c);
      item["ProfileTimeStamp"] = StoredDateJson(rows, c + 1);
      item["LastEdited"] = StoredDateJson(rows, c + 2);
      item["PurchaseDate"] = StoredDateJson(rows, c + 3);
      item["Price"] = StoredAmountJson(rows, c + 4);
      item["CurrencyID"] = rows.Text(c + 5);
      item["Review"] = rows.IsNull(c + 6) ? Json(nullptr) : Json{{"Film", rows.Int(c + 6)}};
      item["Director"] = rows.Text(c + 7);
      item["WishListPriority"] = rows.Int(c + 8);
      item["SRP"] = rows.IsNull(c + 9) ? Json(nullptr)
                                       : Json{{"Value", StoredAmountJson(rows, c + 9)},
                                              {"CurrencyID", rows.Text(c + 10)}};
      item["Rating"] = rows.Text(c + 11);
      item["Parts"] = rows.Int(c + 12);
      if (query.parts_as_titles && !rows.IsNull(c + 13)) item["BoxSet"] = rows.Text(c + 13);
      titles.push_back(std::move(item));
    }
  }
  Json counts = Json::object();
  for (CollectionType type : kCollectionTypes) {
    counts[std::string(CollectionTypeName(type))] = type_counts[static_cast<size_t>(type)];
  }
  return {{"Filter",
           {{"Text", query.text},
            {"Genre", query.genre},
            {"Medium", query.medium},
            {"ProductionYear", query.year},
            {"Tag", query.tag},
            {"Location", query.location},
            {"Studio", query.studio},
            {"Person", query.person},
            {"OnLoan", query.on_loan ? Json(*query.on_loan) : Json(nullptr)},
            {"CollectionType",
             query.collection ? Json(CollectionTypeName(*query.collection)) : Json(nullptr)},
            {"Sort", NameOf(kTitleSorts, static_cast<int>(query.sort))},
            {"Order", descending ? "desc" : "asc"},
            {"View", query.grid ? "grid" : "list"},
            {"PartsAsTitles", query.parts_as_titles}}},
          {"Total", total},
          {"Page", page},
          {"Pages", pages},
          {"PerPage", per_page},
          {"Titles", std::move(titles)},
          {"Letters", std::move(letters)},
          {"Counts", std::move(counts)},
          {"Choices",
           {{"Genres", Choices(db, index::Facet::kGenre)},
            {"Media", Choices(db, index::Facet::kMedium)},
            {"Tags", Choices(db, index::Facet::kTag)},
            {"Locations", Choices(db, index::Facet::kLocation)},
            {"Studios", Choices(db, index::Facet::kStudio)}}}};
}

Json HomeData(store::PlainDatabase& db, CoverFolder* covers) {
  const std::array<int64_t, kCollectionTypes.size()> type_counts = TypeCounts(db);
  int64_t all = 0;
  for (int64_t count : type_counts) all += count;
  Json counts = {{"Titles", all}};
  for (CollectionType type : kCollectionTypes) {
    counts[std::string(CollectionTypeName(type))] = type_counts[static_cast<size_t>(type)];
  }
  counts["People"] = CountOf(db, "SELECT value FROM ix.meta WHERE name = 'credited_people'");
  counts["Series"] = CountOf(db, "SELECT COUNT(*) FROM ix.series");
  counts["Episodes"] = CountOf(db, "SELECT COUNT(*) FROM ix.episodes");
  counts["Awards"] = CountOf(db, "SELECT COUNT(*) FROM main.Awards");
  Json items = Json::array();
  PlainStatement& rows = db.Prepare("SELECT " + std::string(kTitleSummaryColumns) +
                                    ", t.added FROM ix.titles t WHERE t.added IS NOT NULL ORDER "
                                    "BY t.added DESC, t.order_key LIMIT " +
                                    std::to_string(kRecentTitles));
  while (rows.Step()) {
    Json item = TitleSummaryAt(rows, 0, covers);
    item["ProfileTimeStamp"] = StoredDateJson(rows, kTitleSummaryCount);
    items.push_back(std::move(item));
  }
  return {{"Counts", std::move(counts)}, {"Recent", std::move(items)}};
}

}  // namespace zel::web
