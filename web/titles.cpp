#include "web/titles.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "catalogue/database.h"
#include "frame/text.h"
#include "store/connection.h"
#include "store/text_helpers.h"
#include "web/covers.h"
#include "web/fold.h"
#include "web/html.h"

namespace zel::web {
namespace {

using store::RecordSet;

constexpr int32_t kListPerPage = 50;
constexpr int32_t kGridPerPage = 48;  // whole rows of 2, 3, 4, 6 and 8 covers

char InitialOf(std::string_view folded) {
  const char c = folded.empty() ? '#' : folded.front();
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : '#';
}

// Collects (title, value) pairs of one kind and gives each title the indexes of its values in the
// list of distinct values (letter case ignored, first spelling kept), sorted in folded order.
class ValueCollector {
 public:
  void Add(uint32_t row, std::string value) {
    if (!value.empty()) pairs_.emplace_back(row, std::move(value));
  }
  void Attach(TitleTable& table, std::vector<std::string>& values,
              std::vector<uint32_t> TitleRow::*member) {
    std::map<std::string, std::string> distinct;  // folded -> first spelling
    for (const auto& [row, value] : pairs_) distinct.emplace(Fold(value), value);
    std::unordered_map<std::string, uint32_t> index;
    for (const auto& [folded, value] : distinct) {
      index.emplace(folded, static_cast<uint32_t>(values.size()));
      values.push_back(value);
    }
    for (const auto& [row, value] : pairs_) {
      auto& list = table.rows[row].*member;
      const uint32_t i = index.at(Fold(value));
      if (std::find(list.begin(), list.end(), i) == list.end()) list.push_back(i);
    }
  }

 private:
  std::vector<std::pair<uint32_t, std::string>> pairs_;
};

// Calls `each(row, records)` for every row of `sql` whose first column names a known title.
template <class Each>
void ForEachTitleRow(ZelDatabase& database, TitleTable& table, const std::string& sql, Each each) {
  auto records = database.DbOpenRecordSet(sql);
  for (; !records->Eof(); records->MoveNext()) {
    const auto found = table.by_id.find(ToLower(TextAt(*records, 0)));
    if (found != table.by_id.end()) each(found->second, *records);
  }
}

std::optional<uint32_t> IndexOf(const std::vector<std::string>& values, const std::string& wanted) {
  const std::string folded = Fold(wanted);
  for (size_t i = 0; i < values.size(); ++i) {
    if (Fold(values[i]) == folded) return static_cast<uint32_t>(i);
  }
  return std::nullopt;
}

bool Holds(const std::vector<uint32_t>& list, uint32_t value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// The value a title sorts by, or nullopt when it has none (those come last either way).
std::optional<double> SortValue(const TitleRow& row, TitleSort sort) {
  const auto date = [](Date d) {
    return d == Date::Zero() ? std::nullopt : std::optional(d.serial);
  };
  switch (sort) {
    case TitleSort::kTitle:
      return 0.0;
    case TitleSort::kYear:
      return row.year ? std::optional<double>(row.year) : std::nullopt;
    case TitleSort::kAdded:
      return date(row.added);
    case TitleSort::kEdited:
      return date(row.edited);
    case TitleSort::kPurchased:
      return date(row.purchased);
    case TitleSort::kRunningTime:
      return row.running_time ? std::optional<double>(row.running_time) : std::nullopt;
    case TitleSort::kRating:
      return row.review >= 0 ? std::optional<double>(row.review) : std::nullopt;
    case TitleSort::kPrice:
      return row.price ? std::optional<double>(static_cast<double>(*row.price)) : std::nullopt;
  }
  return std::nullopt;
}

std::string_view NameOf(const std::vector<NamedValue>& names, int value) {
  for (const NamedValue& named : names) {
    if (named.value == value) return named.name;
  }
  return {};
}

Json Amount(int64_t ten_thousandths) { return static_cast<double>(ten_thousandths) / 10000.0; }

Json Choices(const std::vector<std::string>& values) { return Json(values); }

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
                                             {"price", static_cast<int>(TitleSort::kPrice)}};

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

const TitleRow* TitleTable::Find(std::string_view profile_id) const {
  // Identifiers are mostly written the same way everywhere; letter case is the exception.
  if (const auto exact = by_exact_id.find(std::string(profile_id)); exact != by_exact_id.end()) {
    return &rows[exact->second];
  }
  const auto found = by_id.find(ToLower(profile_id));
  return found == by_id.end() ? nullptr : &rows[found->second];
}

int64_t TitleTable::Count(CollectionType type) const {
  return std::count_if(rows.begin(), rows.end(),
                       [type](const TitleRow& row) { return row.collection == type; });
}

TitleTable ReadTitleTable(ZelDatabase& database) {
  TitleTable table;
  {
    auto records = database.DbOpenRecordSet(
        "SELECT ProfileID, Title, OriginalTitle, SortTitle, ProdYear, Medium, ColType, UPC, "
        "ProfileTimestamp, LastEdited, Runtime, CountryOfOrigin FROM Profiles");
    for (; !records->Eof(); records->MoveNext()) {
      TitleRow row;
      row.profile_id = TextAt(*records, 0);
      row.title = TextAt(*records, 1);
      row.original_title = TextAt(*records, 2);
      const std::string sort_title = TextAt(*records, 3);
      row.year = NumberAt(*records, 4);
      row.medium = TextAt(*records, 5);
      row.collection = CollectionTypeOf(TextAt(*records, 6));
      row.upc = TextAt(*records, 7);
      row.added = DateOf(records->ValueAt(8));
      row.edited = DateOf(records->ValueAt(9));
      row.running_time = NumberAt(*records, 10);
      row.country = TextAt(*records, 11);
      row.folded_title = Fold(row.title);
      row.folded_original = Fold(row.original_title);
      row.sort_key = sort_title.empty() ? row.folded_title : Fold(sort_title);
      row.initial = InitialOf(row.sort_key);
      table.rows.push_back(std::move(row));
    }
  }
  std::sort(table.rows.begin(), table.rows.end(), [](const TitleRow& a, const TitleRow& b) {
    return std::tie(a.sort_key, a.folded_title, a.profile_id) <
           std::tie(b.sort_key, b.folded_title, b.profile_id);
  });
  for (size_t i = 0; i < table.rows.size(); ++i) {
    table.by_id.emplace(ToLower(table.rows[i].profile_id), static_cast<uint32_t>(i));
    table.by_exact_id.emplace(table.rows[i].profile_id, static_cast<uint32_t>(i));
  }

  ForEachTitleRow(database, table, "SELECT ProfileID, Film FROM Reviews",
                  [&](uint32_t row, RecordSet& records) {
                    const Variant film = records.ValueAt(1);
                    if (!film.IsNull()) table.rows[row].review = film.ToLong();
                  });
  ForEachTitleRow(database, table,
                  "SELECT ProfileID, Price, CurrencyID, PurchaseDate FROM PurchaseInfo",
                  [&](uint32_t row, RecordSet& records) {
                    TitleRow& title = table.rows[row];
                    const Variant price = records.ValueAt(1);
                    if (!price.IsNull()) title.price = std::llround(price.ToDouble() * 10000.0);
                    title.currency = TextAt(records, 2);
                    title.purchased = DateOf(records.ValueAt(3));
                  });
  ForEachTitleRow(database, table, "SELECT ProfileID FROM LoanInfo",
                  [&](uint32_t row, RecordSet&) { table.rows[row].on_loan = true; });

  ValueCollector genres, studios, tags, locations, media;
  for (size_t i = 0; i < table.rows.size(); ++i) {
    for (std::string& part : Split(table.rows[i].medium, "/")) {
      media.Add(static_cast<uint32_t>(i), Trim(part));
    }
  }
  ForEachTitleRow(database, table, "SELECT ProfileID, Genre FROM Genres",
                  [&](uint32_t row, RecordSet& records) { genres.Add(row, TextAt(records, 1)); });
  ForEachTitleRow(database, table, "SELECT ProfileID, Studio FROM Studios",
                  [&](uint32_t row, RecordSet& records) { studios.Add(row, TextAt(records, 1)); });
  // A tag's full name is a path of folders ("Living Room/Shelf 3"); a title is also found under
  // each folder above its tags.
  ForEachTitleRow(database, table, "SELECT ProfileID, TagName, FullyQualifiedName FROM Tags",
                  [&](uint32_t row, RecordSet& records) {
                    std::string name = TextAt(records, 2);
                    if (name.empty()) name = TextAt(records, 1);
                    for (size_t slash = name.find('/'); slash != std::string::npos;
                         slash = name.find('/', slash + 1)) {
                      if (slash > 0) tags.Add(row, name.substr(0, slash));
                    }
                    tags.Add(row, name);
                  });
  ForEachTitleRow(
      database, table, "SELECT DISTINCT ProfileID, Location FROM Discs WHERE Location <> ''",
      [&](uint32_t row, RecordSet& records) { locations.Add(row, Trim(TextAt(records, 1))); });
  genres.Attach(table, table.genres, &TitleRow::genres);
  studios.Attach(table, table.studios, &TitleRow::studios);
  tags.Attach(table, table.tags, &TitleRow::tags);
  locations.Attach(table, table.locations, &TitleRow::locations);
  media.Attach(table, table.media, &TitleRow::media);
  return table;
}

std::vector<std::string> TitlesOfPerson(ZelDatabase& database, const std::string& name) {
  const PersonNames person = NamesOfPerson(database, name);
  std::vector<std::string> ids;
  auto records =
      database.DbOpenRecordSet("SELECT DISTINCT ProfileID FROM CastCrew c WHERE c.Name IN " +
                               InList(person.names) + " AND " + NotDivider("c"));
  for (; !records->Eof(); records->MoveNext()) ids.push_back(TextAt(*records, 0));
  return ids;
}

Json TitleSummaryJson(const TitleRow& row, CoverFolder* covers) {
  const bool cover = covers && covers->Has(row.profile_id, CoverSide::kFront);
  return {{"ProfileID", row.profile_id},
          {"Title", row.title},
          {"ProductionYear", row.year},
          {"Medium", row.medium},
          {"CollectionType", CollectionTypeName(row.collection)},
          {"OnLoan", row.on_loan},
          {"Cover", cover ? Json(Link("/cover/", row.profile_id) + "/front") : Json(nullptr)}};
}

Json TitlesData(ZelDatabase& database, const TitleTable& table, const TitleQuery& query,
                CoverFolder* covers) {
  if (query.letter && query.sort != TitleSort::kTitle) {
    throw QueryError("The jump to a letter works in title order (sort=title).");
  }
  const std::vector<std::string> words = FoldedWords(query.text);
  // A value no title has matches nothing; it is not dropped from the filter.
  static constexpr uint32_t kNone = UINT32_MAX;
  const auto wanted = [](const std::vector<std::string>& values, const std::string& value) {
    return value.empty() ? std::optional<uint32_t>() : IndexOf(values, value).value_or(kNone);
  };
  const auto genre = wanted(table.genres, query.genre);
  const auto medium = wanted(table.media, query.medium);
  const auto tag = wanted(table.tags, query.tag);
  const auto location = wanted(table.locations, query.location);
  const auto studio = wanted(table.studios, query.studio);
  std::vector<char> person_titles;  // by row: whether it credits the person
  if (!query.person.empty()) {
    person_titles.assign(table.rows.size(), 0);
    const auto ids = query.person_titles ? query.person_titles
                                         : std::make_shared<const std::vector<std::string>>(
                                               TitlesOfPerson(database, query.person));
    for (const std::string& id : *ids) {
      if (const TitleRow* row = table.Find(id)) {
        person_titles[static_cast<size_t>(row - table.rows.data())] = 1;
      }
    }
  }

  std::array<int64_t, kCollectionTypes.size()> type_counts{};
  std::vector<const TitleRow*> hits;
  for (const TitleRow& row : table.rows) {
    if (!words.empty() && !ContainsAll(row.folded_title, words) &&
        !ContainsAll(row.folded_original, words)) {
      continue;
    }
    if (genre && !Holds(row.genres, *genre)) continue;
    if (medium && !Holds(row.media, *medium)) continue;
    if (tag && !Holds(row.tags, *tag)) continue;
    if (location && !Holds(row.locations, *location)) continue;
    if (studio && !Holds(row.studios, *studio)) continue;
    if (query.year && row.year != query.year) continue;
    if (query.on_loan && row.on_loan != *query.on_loan) continue;
    if (!person_titles.empty() && !person_titles[static_cast<size_t>(&row - table.rows.data())]) {
      continue;
    }
    ++type_counts[static_cast<size_t>(row.collection)];
    if (query.collection && row.collection != *query.collection) continue;
    hits.push_back(&row);
  }

  const bool descending = query.descending.value_or(query.sort != TitleSort::kTitle);
  if (query.sort == TitleSort::kTitle) {
    if (descending) std::reverse(hits.begin(), hits.end());
  } else {
    // Stable: titles with equal values stay in title order.
    std::stable_sort(hits.begin(), hits.end(), [&](const TitleRow* a, const TitleRow* b) {
      const auto x = SortValue(*a, query.sort), y = SortValue(*b, query.sort);
      if (!x || !y) return x.has_value() && !y.has_value();
      return descending ? *x > *y : *x < *y;
    });
  }

  const int32_t per_page = query.grid ? kGridPerPage : kListPerPage;
  const int64_t total = static_cast<int64_t>(hits.size());
  const int64_t pages = std::max<int64_t>(1, (total + per_page - 1) / per_page);
  int64_t page = std::clamp<int64_t>(query.page, 1, pages);
  Json letters = Json::array();
  if (query.sort == TitleSort::kTitle) {
    std::set<char> present;
    for (const TitleRow* row : hits) present.insert(row->initial);
    for (char c : present) letters.push_back(std::string(1, c));
    if (query.letter) {
      // The first title of that letter, or else where it would stand.
      const auto at = std::find_if(hits.begin(), hits.end(), [&](const TitleRow* row) {
        return row->initial == query.letter ||
               (descending ? row->initial < query.letter : row->initial > query.letter);
      });
      page = std::min<int64_t>(pages, (at - hits.begin()) / per_page + 1);
    }
  }

  Json titles = Json::array();
  const size_t first = static_cast<size_t>((page - 1) * per_page);
  for (size_t i = first; i < hits.size() && i < first + per_page; ++i) {
    const TitleRow& row = *hits[i];
    Json item = TitleSummaryJson(row, covers);
    item["RunningTime"] = row.running_time;
    item["ProfileTimeStamp"] = DateJson(row.added);
    item["LastEdited"] = DateJson(row.edited);
    item["PurchaseDate"] = DateJson(row.purchased);
    item["Price"] = row.price ? Amount(*row.price) : Json(nullptr);
    item["CurrencyID"] = row.currency;
    item["Review"] = row.review >= 0 ? Json{{"Film", row.review}} : Json(nullptr);
    titles.push_back(std::move(item));
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
            {"View", query.grid ? "grid" : "list"}}},
          {"Total", total},
          {"Page", page},
          {"Pages", pages},
          {"PerPage", per_page},
          {"Titles", std::move(titles)},
          {"Letters", std::move(letters)},
          {"Counts", std::move(counts)},
          {"Choices",
           {{"Genres", Choices(table.genres)},
            {"Media", Choices(table.media)},
            {"Tags", Choices(table.tags)},
            {"Locations", Choices(table.locations)},
            {"Studios", Choices(table.studios)}}}};
}

Json HomeData(ZelDatabase& database, const TitleTable& table, int64_t people, CoverFolder* covers) {
  Json counts = {{"Titles", static_cast<int64_t>(table.rows.size())}};
  for (CollectionType type : kCollectionTypes) {
    counts[std::string(CollectionTypeName(type))] = table.Count(type);
  }
  counts["People"] = people;
  counts["Series"] = CountOf(database, "SELECT COUNT(*) FROM TVSeries");
  counts["Episodes"] = CountOf(database, "SELECT COUNT(*) FROM Episodes");
  counts["Awards"] = CountOf(database, "SELECT COUNT(*) FROM Awards");
  std::vector<const TitleRow*> recent;
  for (const TitleRow& row : table.rows) recent.push_back(&row);
  const size_t shown = std::min<size_t>(10, recent.size());
  std::partial_sort(recent.begin(), recent.begin() + shown, recent.end(),
                    [](const TitleRow* a, const TitleRow* b) {
                      return a->edited != b->edited ? a->edited > b->edited : a < b;
                    });
  Json items = Json::array();
  for (size_t i = 0; i < shown; ++i) {
    Json item = TitleSummaryJson(*recent[i], covers);
    item["LastEdited"] = DateJson(recent[i]->edited);
    items.push_back(std::move(item));
  }
  return {{"Counts", std::move(counts)}, {"Recent", std::move(items)}};
}

}  // namespace zel::web
