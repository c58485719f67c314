#include "web/search.h"

#include <algorithm>
#include <functional>

#include "web/fold.h"

namespace zel::web {
namespace {

using store::PlainStatement;

constexpr int32_t kKindPerPage = 50;
constexpr int32_t kOverviewPerKind = 10;
// Rows found beyond which a page of them is read by walking their order's index: dense enough
// that the page fills soon, too many to put in order first.
constexpr int64_t kWalkOrderBeyond = 2000;

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

// One group: its total, and when shown one page of the rows of `select(total)` (which ends in
// ORDER BY and takes LIMIT and OFFSET after the terms), each made an item by `item`.
Json Group(store::PlainDatabase& db, const Terms& terms, const std::string& count_sql,
           const std::function<std::string(int64_t total)>& select, bool shown, int32_t per_page,
           int32_t wanted, const std::function<Json(const PlainStatement&)>& item) {
  const int64_t total = Count(db, terms, count_sql);
  if (!shown) return {{"Total", total}};
  const Window window = WindowOf(total, per_page, wanted);
  Json items = Json::array();
  if (total > 0) {
    PlainStatement& rows = db.Prepare(select(total) + " LIMIT ?" + std::to_string(terms.next) +
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
        // A role may have thousands of credits: they are put in order from the narrow index of
        // the titles' order, and only the page's titles are read.
        "SELECT n.name, coalesce(p.common_name, n.name), k.kind, t.profile_id, t.title, t.year, " +
        std::string(kEpisodeColumns) +
        " FROM (SELECT rc.kind, rc.work, rc.name, coalesce(o.order_key, e.order_key) AS "
        "work_order, "
        "m.name AS name_order FROM ix.role_credits rc JOIN ix.names m ON m.id = rc.name LEFT JOIN "
        "ix.titles o INDEXED BY titles_lines ON rc.kind = 0 AND o.id = rc.work LEFT JOIN "
        "ix.episodes e ON rc.kind = 1 AND e.id = rc.work WHERE rc.role = ? ORDER BY rc.kind, "
        "work_order, name_order LIMIT ? OFFSET ?) k JOIN ix.names n ON n.id = k.name LEFT JOIN "
        "ix.people p ON p.id = n.person LEFT JOIN ix.titles t ON k.kind = 0 AND t.id = k.work LEFT "
        "JOIN ix.episodes e ON k.kind = 1 AND e.id = k.work ORDER BY k.kind, k.work_order, "
        "k.name_order");
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
// each with the name that matched, the common name when it did. Counted and paged in the index, so
// that a short word matching most people costs a scan of their names and not a list of them.
Json People(store::PlainDatabase& db, const Terms& terms, bool shown, int32_t per_page,
            int32_t wanted) {
  const std::string by_common_name = terms.In("p.folded");
  // Longer words find the few people holding them through the trigrams; short ones test every
  // person, their names through the index of each person's names.
  const std::string where =
      terms.match.fts.empty()
          ? "(" + by_common_name +
                " OR EXISTS (SELECT 1 FROM ix.names n WHERE n.person = p.id AND " +
                terms.In("n.folded") + "))"
          : "p.id IN (SELECT p.id FROM ix.people p WHERE " + by_common_name +
                terms.Narrow("p.id", "person_fts") +
                " UNION SELECT n.person FROM ix.names n WHERE " + terms.In("n.folded") +
                terms.Narrow("n.id", "name_fts") + ")";
  const int64_t total = Count(db, terms, "SELECT COUNT(*) FROM ix.people p WHERE " + where);
  if (!shown) return {{"Total", total}};
  const Window window = WindowOf(total, per_page, wanted);
  Json items = Json::array();
  PlainStatement& rows =
      db.Prepare("SELECT p.id, p.common_name, " + by_common_name + " FROM ix.people p" +
                 (total > kWalkOrderBeyond ? " INDEXED BY people_order" : "") + " WHERE " + where +
                 " ORDER BY p.folded, p.common_name LIMIT ?" + std::to_string(terms.next) +
                 " OFFSET ?" + std::to_string(terms.next + 1));
  terms.Bind(rows);
  rows.Bind(terms.next, static_cast<int64_t>(window.per_page)).Bind(terms.next + 1, window.offset);
  while (rows.Step()) {
    std::string matched = rows.Text(1);
    if (rows.Int(2) == 0) {
      PlainStatement& names = db.Prepare(
          "SELECT n.name FROM ix.names n WHERE n.person = ?" + std::to_string(terms.next) +
          " AND " + terms.In("n.folded") + " ORDER BY n.folded, n.name LIMIT 1");
      terms.Bind(names);
      names.Bind(terms.next, rows.Int(0));
      if (names.Step()) matched = names.Text(0);
      names.Reset();
    }
    items.push_back({{"CommonName", rows.Text(1)}, {"MatchedName", std::move(matched)}});
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
  // title texts are tested, those holding the longer words first found by the trigrams. Words all
  // too short for the trigrams test every row, and read them from the table the trigram index
  // keeps its texts in (id, c0 title, c1 original, c2 UPC), more than twice as fast as through it.
  const bool every_row = terms.match.fts.empty();
  const auto column = [&](const char* name, const char* stored) {
    return std::string("f.") + (every_row ? stored : name);
  };
  std::string matching =
      "SELECT f.rowid FROM ix." +
      std::string(every_row ? "title_fts_content" : "title_fts") + " f WHERE (" +
      terms.In(column("title", "c0")) + " OR " + terms.In(column("original", "c1")) +
      (terms.upc.empty()
           ? std::string()
           : " OR instr(" + column("upc", "c2") + ", ?" + std::to_string(terms.upc_at) + ") > 0") +
      ")";
  if (!every_row) {
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
  answer["Titles"] = Group(
      db, terms, "SELECT COUNT(*) FROM (" + found + ")",
      [&](int64_t total) {
        // Many titles found are paged by walking the title order until the page is full, rather
        // than by putting all of them in order first.
        return "SELECT " + std::string(kTitleSummaryColumns) +
               ", t.original_title, t.upc, (SELECT COUNT(*) FROM ix.titles p WHERE p.box_set = "
               "t.profile_id) FROM ix.titles t" +
               (total > kWalkOrderBeyond ? " INDEXED BY titles_all_order" : "") + " WHERE " +
               titles_where + " ORDER BY t.order_key";
      },
      shown(SearchKind::kTitles), per_page, page,
      [&](const PlainStatement& row) {
        Json item = TitleSummaryAt(row, 0, covers);
        item["OriginalTitle"] = row.Text(kTitleSummaryCount);
        item["UPC"] = row.Text(kTitleSummaryCount + 1);
        if (const int64_t parts = row.Int(kTitleSummaryCount + 2)) item["Parts"] = parts;
        return item;
      });

  answer["People"] = People(db, terms, shown(SearchKind::kPeople), per_page, page);
  answer["Roles"] = Roles(db, terms, shown(SearchKind::kRoles), per_page, page);

  const std::string series_where = terms.In("s.folded") + terms.Narrow("s.id", "series_fts");
  answer["Series"] = Group(
      db, terms, "SELECT COUNT(*) FROM ix.series s WHERE " + series_where,
      [&](int64_t) {
        return "SELECT s.show_id, s.title, s.original_title FROM ix.series s WHERE " +
               series_where + " ORDER BY s.order_key";
      },
      shown(SearchKind::kSeries), per_page, page,
      [](const PlainStatement& row) {
        return Json{
            {"ShowID", row.Text(0)}, {"Title", row.Text(1)}, {"OriginalTitle", row.Text(2)}};
      });

  const std::string episodes_where = terms.In("e.folded") + terms.Narrow("e.id", "episode_fts");
  answer["Episodes"] = Group(
      db, terms, "SELECT COUNT(*) FROM ix.episodes e WHERE " + episodes_where,
      [&](int64_t) {
        return "SELECT " + std::string(kEpisodeColumns) + " FROM ix.episodes e WHERE " +
               episodes_where + " ORDER BY e.order_key";
      },
      shown(SearchKind::kEpisodes), per_page, page,
      [](const PlainStatement& row) { return EpisodeAt(row, 0); });
  return answer;
}

}  // namespace zel::web
