#include "web/search.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "web/fold.h"

namespace zel::web {
namespace {

using store::PlainStatement;

constexpr int32_t kKindPerPage = 50;
constexpr int32_t kOverviewPerKind = 10;

bool IsUpcQuery(std::string_view text, std::string& digits) {
  digits.clear();
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c != ' ' && c != '-') {
      return false;
    }
  }
  return digits.size() >= 3;
}

// The parameters every statement of one search binds: the words from ?1, then the FTS5 query and
// the UPC digits.
struct Terms {
  WordMatch match;
  std::string upc;  // digits of a UPC query, or empty
  int fts_at = 0, upc_at = 0, next = 0;

  std::vector<std::string> placeholders;  // of the words

  explicit Terms(std::string_view text) : match(MatchOf(text)) {
    if (!IsUpcQuery(text, upc)) upc.clear();
    for (size_t i = 1; i <= match.words.size(); ++i)
      placeholders.push_back("?" + std::to_string(i));
    fts_at = static_cast<int>(match.words.size()) + 1;
    upc_at = fts_at + 1;
    next = upc_at + 1;
  }
  void Bind(PlainStatement& statement) const {
    for (size_t i = 0; i < match.words.size(); ++i) {
      statement.Bind(static_cast<int>(i) + 1, match.words[i]);
    }
    statement.Bind(fts_at, match.fts);
    statement.Bind(upc_at, upc);
  }
  // Every word in `column`.
  std::string In(std::string_view column) const { return AllWordsIn(column, placeholders); }
  // " AND id IN (rows of `fts` holding the long words)", or nothing without long words.
  std::string Narrow(std::string_view id, std::string_view fts) const {
    if (match.fts.empty()) return {};
    return " AND " + std::string(id) + " IN (SELECT rowid FROM ix." + std::string(fts) + " WHERE " +
           std::string(fts) + " MATCH ?" + std::to_string(fts_at) + ")";
  }
};

int64_t Count(store::PlainDatabase& db, const Terms& terms, const std::string& sql) {
  PlainStatement& count = db.Prepare(sql);
  terms.Bind(count);
  return count.Step() ? count.Int(0) : 0;
}

struct Window {
  int64_t page = 1, pages = 1, offset = 0;
  int32_t per_page = 0;
};

Window WindowOf(int64_t total, int32_t per_page, int32_t wanted) {
  Window window;
  window.per_page = per_page;
  window.pages = std::max<int64_t>(1, (total + per_page - 1) / per_page);
  window.page = std::clamp<int64_t>(wanted, 1, window.pages);
  window.offset = (window.page - 1) * per_page;
  return window;
}

Json GroupJson(int64_t total, const Window& window, Json items) {
  return {{"Total", total},
          {"Page", window.page},
          {"Pages", window.pages},
          {"PerPage", window.per_page},
          {"Items", std::move(items)}};
}

// One group: its total, and when shown one page of the rows of `select` (which ends in ORDER BY
// and takes LIMIT and OFFSET after the terms), each made an item by `item`.
Json Group(store::PlainDatabase& db, const Terms& terms, const std::string& count_sql,
           const std::string& select, bool shown, int32_t per_page, int32_t wanted,
           const std::function<Json(const PlainStatement&)>& item) {
  const int64_t total = Count(db, terms, count_sql);
  if (!shown) return {{"Total", total}};
  const Window window = WindowOf(total, per_page, wanted);
  Json items = Json::array();
  if (total > 0) {
    PlainStatement& rows = db.Prepare(select + " LIMIT ?" + std::to_string(terms.next) +
                                      " OFFSET ?" + std::to_string(terms.next + 1));
    terms.Bind(rows);
    rows.Bind(terms.next, static_cast<int64_t>(window.per_page))
        .Bind(terms.next + 1, window.offset);
    while (rows.Step()) items.push_back(item(rows));
  }
  return GroupJson(total, window, std::move(items));
}

// An episode as search results show it, from columns `at`.. of `row`: EpisodeID, ShowID,
// SeriesTitle, Season, Number, Title, OriginalTitle.
constexpr std::string_view kEpisodeColumns =
    "e.episode_id, e.show_id, e.series_title, e.season, e.number, e.title, e.original_title";

Json EpisodeAt(const PlainStatement& row, int at) {
  return {{"EpisodeID", row.Text(at)},        {"ShowID", row.Text(at + 1)},
          {"SeriesTitle", row.Text(at + 2)},  {"Season", row.Text(at + 3)},
          {"Number", row.Text(at + 4)},       {"Title", row.Text(at + 5)},
          {"OriginalTitle", row.Text(at + 6)}};
}

Json Roles(store::PlainDatabase& db, const Terms& terms, bool shown, int32_t per_page,
           int32_t wanted) {
  // The matching roles in folded order with their credits, which are counted and paged as one
  // list: each role's credits in title order, titles before episodes.
  struct Role {
    int64_t id, credits;
    std::string text;
  };
  std::vector<Role> roles;
  int64_t total = 0;
  {
    PlainStatement& rows =
        db.Prepare("SELECT r.id, r.credits, r.text FROM ix.roles r WHERE " + terms.In("r.key") +
                   terms.Narrow("r.id", "role_fts") + " ORDER BY r.key");
    terms.Bind(rows);
    while (rows.Step()) {
      roles.push_back({rows.Int(0), rows.Int(1), rows.Text(2)});
      total += roles.back().credits;
    }
  }
  if (!shown) return {{"Total", total}};
  const Window window = WindowOf(total, per_page, wanted);
  Json items = Json::array();
  int64_t skip = window.offset, left = total ? window.per_page : 0;
  for (const Role& role : roles) {
    if (left <= 0) break;
    if (skip >= role.credits) {
      skip -= role.credits;
      continue;
    }
    PlainStatement& rows = db.Prepare(
        "SELECT n.name, coalesce(p.common_name, n.name), rc.kind, t.profile_id, t.title, t.year, " +
        std::string(kEpisodeColumns) +
        " FROM ix.role_credits rc JOIN ix.names n ON n.id = rc.name LEFT JOIN ix.people p ON p.id "
        "= n.person LEFT JOIN ix.titles t ON rc.kind = 0 AND t.id = rc.work LEFT JOIN ix.episodes "
        "e ON rc.kind = 1 AND e.id = rc.work WHERE rc.role = ? ORDER BY rc.kind, "
        "coalesce(t.order_key, e.order_key), n.name LIMIT ? OFFSET ?");
    rows.Bind(1, role.id).Bind(2, left).Bind(3, skip);
    skip = 0;
    while (rows.Step()) {
      Json item = {{"Role", role.text}, {"Name", rows.Text(0)}, {"CommonName", rows.Text(1)}};
      if (rows.Int(2) == 1) {
        item.update(EpisodeAt(rows, 6));
      } else {
        item["ProfileID"] = rows.Text(3);
        item["Title"] = rows.Text(4);
        item["ProductionYear"] = rows.Int(5);
      }
      items.push_back(std::move(item));
      --left;
    }
  }
  return GroupJson(total, window, std::move(items));
}

// People by their common name or any name gathered under it, in the order of their common names;
// each with the name that matched, the common name when it did.
Json People(store::PlainDatabase& db, const Terms& terms, bool shown, int32_t per_page,
            int32_t wanted) {
  struct Person {
    std::string folded, common_name;
    bool by_common_name = false;
  };
  std::unordered_map<int64_t, Person> found;
  for (const bool by_common_name : {true, false}) {
    PlainStatement& rows = db.Prepare(
        by_common_name
            ? "SELECT p.id, p.folded, p.common_name FROM ix.people p WHERE " +
                  terms.In("p.folded") + terms.Narrow("p.id", "person_fts")
            : "SELECT p.id, p.folded, p.common_name FROM ix.names n JOIN ix.people p ON p.id = "
              "n.person WHERE " +
                  terms.In("n.folded") + terms.Narrow("n.id", "name_fts"));
    terms.Bind(rows);
    while (rows.Step()) {
      Person& person = found[rows.Int(0)];
      if (person.common_name.empty()) person = {rows.Text(1), rows.Text(2), false};
      person.by_common_name |= by_common_name;
    }
  }
  const int64_t total = static_cast<int64_t>(found.size());
  if (!shown) return {{"Total", total}};
  std::vector<std::pair<const Person*, int64_t>> order;
  for (const auto& [id, person] : found) order.emplace_back(&person, id);
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    return std::tie(a.first->folded, a.first->common_name) <
           std::tie(b.first->folded, b.first->common_name);
  });
  const Window window = WindowOf(total, per_page, wanted);
  Json items = Json::array();
  for (int64_t i = window.offset; i < total && i < window.offset + window.per_page; ++i) {
    const auto& [person, id] = order[static_cast<size_t>(i)];
    std::string matched = person->common_name;
    if (!person->by_common_name) {
      PlainStatement& names = db.Prepare(
          "SELECT n.name FROM ix.names n WHERE n.person = ?" + std::to_string(terms.next) +
          " AND " + terms.In("n.folded") + " ORDER BY n.folded, n.name LIMIT 1");
      terms.Bind(names);
      names.Bind(terms.next, id);
      if (names.Step()) matched = names.Text(0);
    }
    items.push_back({{"CommonName", person->common_name}, {"MatchedName", matched}});
  }
  return GroupJson(total, window, std::move(items));
}

}  // namespace

const std::vector<NamedValue> kSearchKinds = {
    {"titles", static_cast<int>(SearchKind::kTitles)},
    {"people", static_cast<int>(SearchKind::kPeople)},
    {"roles", static_cast<int>(SearchKind::kRoles)},
    {"series", static_cast<int>(SearchKind::kSeries)},
    {"episodes", static_cast<int>(SearchKind::kEpisodes)}};

Json SearchData(store::PlainDatabase& db, const SearchQuery& query, CoverFolder* covers) {
  const Terms terms(query.text);
  const auto shown = [&](SearchKind kind) { return !query.kind || *query.kind == kind; };
  const int32_t per_page = query.kind ? kKindPerPage : kOverviewPerKind;
  const int32_t page = query.kind ? query.page : 1;
  Json answer = {{"Text", query.text},
                 {"Kind", query.kind ? Json(kSearchKinds[static_cast<size_t>(*query.kind)].name)
                                     : Json(nullptr)}};
  if (terms.match.words.empty()) {
    for (const char* group : {"Titles", "People", "Roles", "Series", "Episodes"}) {
      answer[group] = Json{{"Total", 0}};
    }
    for (const auto& [name, value] : kSearchKinds) {
      const char* group = value == 0   ? "Titles"
                          : value == 1 ? "People"
                          : value == 2 ? "Roles"
                          : value == 3 ? "Series"
                                       : "Episodes";
      if (shown(static_cast<SearchKind>(value))) {
        answer[group] = GroupJson(0, WindowOf(0, per_page, page), Json::array());
      }
    }
    return answer;
  }

  // Titles by title, by original title, or by the digits of their UPC: the narrow rows of the
  // title texts are tested, those holding the longer words first found by the trigrams.
  std::string matching =
      "SELECT f.rowid FROM ix.title_fts f WHERE (" + terms.In("f.title") + " OR " +
      terms.In("f.original") +
      (terms.upc.empty() ? std::string()
                         : " OR instr(f.upc, ?" + std::to_string(terms.upc_at) + ") > 0") +
      ")";
  if (!terms.match.fts.empty()) {
    matching +=
        " AND title_fts MATCH " +
        (terms.upc.empty() ? "?" + std::to_string(terms.fts_at)
                           : "'(' || ?" + std::to_string(terms.fts_at) + " || ') OR \"' || ?" +
                                 std::to_string(terms.upc_at) + " || '\"'");
  }
  // A part found stands for its box set, which is shown once with the number of its parts. Parts
  // are few: each is tested on its own, and without any the titles found are taken as they are.
  std::string found = matching;
  if (CountOf(db, "SELECT EXISTS (SELECT 1 FROM ix.titles WHERE box_set IS NOT NULL)")) {
    const std::string parts_found =
        "SELECT h.id, h.box_set FROM ix.titles h WHERE h.box_set IS NOT NULL AND EXISTS (" +
        matching +
        " AND f.rowid = h.id) AND EXISTS (SELECT 1 FROM ix.titles b WHERE b.profile_id = "
        "h.box_set)";
    found = "SELECT rowid FROM (" + matching + ") WHERE rowid NOT IN (SELECT id FROM (" +
            parts_found +
            ")) UNION SELECT b.id FROM ix.titles b WHERE b.profile_id IN (SELECT box_set FROM (" +
            parts_found + "))";
  }
  const std::string titles_where = "t.id IN (" + found + ")";
  answer["Titles"] =
      Group(db, terms, "SELECT COUNT(*) FROM (" + found + ")",
            "SELECT " + std::string(kTitleSummaryColumns) +
                ", t.original_title, t.upc, (SELECT COUNT(*) FROM ix.titles p WHERE p.box_set = "
                "t.profile_id) FROM ix.titles t WHERE " +
                titles_where + " ORDER BY t.order_key",
            shown(SearchKind::kTitles), per_page, page, [&](const PlainStatement& row) {
              Json item = TitleSummaryAt(row, 0, covers);
              item["OriginalTitle"] = row.Text(kTitleSummaryCount);
              item["UPC"] = row.Text(kTitleSummaryCount + 1);
              if (const int64_t parts = row.Int(kTitleSummaryCount + 2)) item["Parts"] = parts;
              return item;
            });

  answer["People"] = People(db, terms, shown(SearchKind::kPeople), per_page, page);
  answer["Roles"] = Roles(db, terms, shown(SearchKind::kRoles), per_page, page);

  const std::string series_where = terms.In("s.folded") + terms.Narrow("s.id", "series_fts");
  answer["Series"] =
      Group(db, terms, "SELECT COUNT(*) FROM ix.series s WHERE " + series_where,
            "SELECT s.show_id, s.title, s.original_title FROM ix.series s WHERE " + series_where +
                " ORDER BY s.order_key",
            shown(SearchKind::kSeries), per_page, page, [](const PlainStatement& row) {
              return Json{
                  {"ShowID", row.Text(0)}, {"Title", row.Text(1)}, {"OriginalTitle", row.Text(2)}};
            });

  const std::string episodes_where = terms.In("e.folded") + terms.Narrow("e.id", "episode_fts");
  answer["Episodes"] =
      Group(db, terms, "SELECT COUNT(*) FROM ix.episodes e WHERE " + episodes_where,
            "SELECT " + std::string(kEpisodeColumns) + " FROM ix.episodes e WHERE " +
                episodes_where + " ORDER BY e.order_key",
            shown(SearchKind::kEpisodes), per_page, page,
            [](const PlainStatement& row) { return EpisodeAt(row, 0); });
  return answer;
}

}  // namespace zel::web
