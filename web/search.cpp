#include "web/search.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "catalogue/database.h"
#include "frame/text.h"
#include "store/connection.h"
#include "store/text_helpers.h"
#include "web/fold.h"

namespace zel::web {
namespace {

// Credits are read for this many titles or episodes at a time, which keeps each read small.
constexpr size_t kChunk = 400;
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

std::string DigitsOf(std::string_view text) {
  std::string digits;
  for (char c : text) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

// One group of the answer: the total and, when `shown`, one page of items made by `item(i)` for
// the i-th match.
template <class Item>
Json Group(size_t total, bool shown, int32_t per_page, int32_t wanted_page, Item item) {
  if (!shown) return {{"Total", total}};
  const int64_t pages =
      std::max<int64_t>(1, (static_cast<int64_t>(total) + per_page - 1) / per_page);
  const int64_t page = std::clamp<int64_t>(wanted_page, 1, pages);
  Json items = Json::array();
  const size_t first = static_cast<size_t>((page - 1) * per_page);
  for (size_t i = first; i < total && i < first + per_page; ++i) items.push_back(item(i));
  return {{"Total", total},
          {"Page", page},
          {"Pages", pages},
          {"PerPage", per_page},
          {"Items", std::move(items)}};
}

Json EpisodeJson(const SearchIndex::Episode& episode) {
  return {{"EpisodeID", episode.episode_id},
          {"ShowID", episode.show_id},
          {"SeriesTitle", episode.series_title},
          {"Season", episode.season},
          {"Number", episode.number},
          {"Title", episode.title},
          {"OriginalTitle", episode.original_title}};
}

}  // namespace

const std::vector<NamedValue> kSearchKinds = {
    {"titles", static_cast<int>(SearchKind::kTitles)},
    {"people", static_cast<int>(SearchKind::kPeople)},
    {"roles", static_cast<int>(SearchKind::kRoles)},
    {"series", static_cast<int>(SearchKind::kSeries)},
    {"episodes", static_cast<int>(SearchKind::kEpisodes)}};

const PeopleIndex::Person* PeopleIndex::Find(std::string_view name) const {
  const auto found = by_name.find(ToLower(name));
  return found == by_name.end() ? nullptr : &people[found->second];
}

PeopleIndex ReadPeopleIndex(ZelDatabase& database) {
  // A name's common name is one step through the Alias table, as the library looks it up.
  std::unordered_map<std::string, std::string> common_of;
  std::vector<std::pair<std::string, std::string>> aliases;
  {
    auto rows = database.DbOpenRecordSet("SELECT AliasName, CommonName FROM Alias");
    for (; !rows->Eof(); rows->MoveNext()) {
      std::string alias = TextAt(*rows, 0), common = TextAt(*rows, 1);
      if (alias.empty() || common.empty()) continue;
      common_of.emplace(ToLower(alias), common);
      aliases.emplace_back(std::move(alias), std::move(common));
    }
  }
  std::vector<PeopleIndex::Person> people;
  std::unordered_map<std::string, size_t> person_of;  // lower-case common name -> person
  const auto add = [&](const std::string& common, const std::string& name, bool credited) {
    auto [at, added] = person_of.emplace(ToLower(common), people.size());
    if (added) people.push_back({common, {common}, {}, false});
    PeopleIndex::Person& person = people[at->second];
    person.credited |= credited;
    const bool known = std::any_of(person.names.begin(), person.names.end(),
                                   [&](const std::string& n) { return EqualsIgnoreCase(n, name); });
    if (!known) person.names.push_back(name);
  };
  for (const std::string table : {"CastCrew", "TVCastCrew"}) {
    // Every credited name comes from the name index alone. A divider's caption is stored as a
    // name too, and is one only where it also has a real credit. (Asking for the names of real
    // credits directly reads every credit row in name order, which takes seconds.)
    std::set<std::string> captions;
    auto divider_rows =
        database.DbOpenRecordSet("SELECT c.Name FROM " + table + " c WHERE " + IsDivider("c"));
    for (; !divider_rows->Eof(); divider_rows->MoveNext())
      captions.insert(TextAt(*divider_rows, 0));
    divider_rows.reset();
    std::set<std::string> real;
    if (!captions.empty()) {
      auto real_rows = database.DbOpenRecordSet(
          "SELECT DISTINCT c.Name FROM " + table + " c WHERE c.Name IN " +
          InList({captions.begin(), captions.end()}) + " AND " + NotDivider("c"));
      for (; !real_rows->Eof(); real_rows->MoveNext()) real.insert(ToLower(TextAt(*real_rows, 0)));
    }
    std::set<std::string> only_captions;
    for (const std::string& caption : captions) {
      if (!real.count(ToLower(caption))) only_captions.insert(ToLower(caption));
    }
    auto rows = database.DbOpenRecordSet("SELECT DISTINCT Name FROM " + table);
    for (; !rows->Eof(); rows->MoveNext()) {
      const std::string name = TextAt(*rows, 0);
      if (name.empty() || only_captions.count(ToLower(name))) continue;
      const auto common = common_of.find(ToLower(name));
      add(common == common_of.end() ? name : common->second, name, true);
    }
  }
  for (const auto& [alias, common] : aliases) add(common, alias, false);

  for (auto& person : people) {
    for (const std::string& name : person.names) person.folded.push_back(Fold(name));
  }
  std::sort(people.begin(), people.end(), [](const auto& a, const auto& b) {
    return std::tie(a.folded.front(), a.common_name) < std::tie(b.folded.front(), b.common_name);
  });
  PeopleIndex index;
  for (size_t i = 0; i < people.size(); ++i) {
    for (const std::string& name : people[i].names) {
      index.by_name.emplace(ToLower(name), static_cast<uint32_t>(i));
    }
    index.credited += people[i].credited ? 1 : 0;
  }
  index.people = std::move(people);
  return index;
}

int64_t PeopleCount(ZelDatabase& database) { return ReadPeopleIndex(database).credited; }

SearchIndex ReadSearchIndex(ZelDatabase& database, std::shared_ptr<const TitleTable> titles,
                            std::shared_ptr<const PeopleIndex> people) {
  SearchIndex index;
  index.titles = std::move(titles);
  index.people = std::move(people);

  {
    auto rows = database.DbOpenRecordSet(
        "SELECT SeriesID, Title, OriginalTitle FROM TVSeries ORDER BY SortTitle, Title, SeriesID");
    for (; !rows->Eof(); rows->MoveNext()) {
      SearchIndex::Series series{TextAt(*rows, 0), TextAt(*rows, 1), TextAt(*rows, 2), {}};
      series.folded = Fold(series.title) + "\n" + Fold(series.original_title);
      index.series.push_back(std::move(series));
    }
  }
  std::unordered_map<std::string, uint32_t> episode_of;  // lower-case EpisodeID -> episode
  {
    auto rows = database.DbOpenRecordSet(
        "SELECT e.EpisodeID, e.SeriesID, s.Title, e.Season, e.EpisodeNo, e.EpisodeTitle, "
        "e.EpisodeOriginalTitle FROM Episodes e LEFT JOIN TVSeries s ON s.SeriesID = e.SeriesID "
        "ORDER BY s.SortTitle, e.SeriesID, e.Season, e.EpisodeNo");
    for (; !rows->Eof(); rows->MoveNext()) {
      SearchIndex::Episode episode{
          TextAt(*rows, 0), TextAt(*rows, 1), TextAt(*rows, 2), TextAt(*rows, 3),
          TextAt(*rows, 4), TextAt(*rows, 5), TextAt(*rows, 6), {}};
      episode.folded = Fold(episode.title) + "\n" + Fold(episode.original_title);
      episode_of.emplace(ToLower(episode.episode_id), static_cast<uint32_t>(index.episodes.size()));
      index.episodes.push_back(std::move(episode));
    }
  }

  // Cast roles: one entry per credit, grouped by the role's folded text.
  struct Raw {
    uint32_t role, work, name;
    bool episode;
  };
  std::vector<Raw> raw;
  std::unordered_map<std::string, uint32_t> role_of, name_of;
  const auto read = [&](const std::string& table, const std::string& owner,
                        const std::vector<std::string>& ids, bool episode,
                        const std::unordered_map<std::string, uint32_t>& work_of) {
    auto rows = database.DbOpenRecordSet("SELECT c." + owner + ", c.Name, c.Role FROM " + table +
                                         " c WHERE c." + owner + " IN " + InList(ids) + " AND " +
                                         CastCondition("c.IsCast") + " AND c.Role <> '' AND " +
                                         NotDivider("c"));
    for (; !rows->Eof(); rows->MoveNext()) {
      const auto work = work_of.find(ToLower(TextAt(*rows, 0)));
      if (work == work_of.end()) continue;
      const std::string role = TextAt(*rows, 2);
      const auto [role_at, new_role] =
          role_of.emplace(Fold(role), static_cast<uint32_t>(index.roles.size()));
      if (new_role) index.roles.push_back({role, role_at->first, 0, 0});
      const std::string name = TextAt(*rows, 1);
      const auto [name_at, new_name] =
          name_of.emplace(name, static_cast<uint32_t>(index.names.size()));
      if (new_name) index.names.push_back(name);
      raw.push_back({role_at->second, work->second, name_at->second, episode});
    }
  };
  std::vector<std::string> ids;
  for (size_t start = 0; start < index.titles->rows.size(); start += kChunk) {
    ids.clear();
    for (size_t i = start; i < index.titles->rows.size() && i < start + kChunk; ++i) {
      ids.push_back(index.titles->rows[i].profile_id);
    }
    read("CastCrew", "ProfileID", ids, false, index.titles->by_id);
  }
  for (size_t start = 0; start < index.episodes.size(); start += kChunk) {
    ids.clear();
    for (size_t i = start; i < index.episodes.size() && i < start + kChunk; ++i) {
      ids.push_back(index.episodes[i].episode_id);
    }
    read("TVCastCrew", "EpisodeID", ids, true, episode_of);
  }

  // Roles in folded order; each role's credits in title order, titles before episodes.
  std::vector<uint32_t> order(index.roles.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return index.roles[a].folded < index.roles[b].folded; });
  std::vector<uint32_t> rank(order.size());
  for (uint32_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
  std::sort(raw.begin(), raw.end(), [&](const Raw& a, const Raw& b) {
    return std::tie(rank[a.role], a.episode, a.work, index.names[a.name]) <
           std::tie(rank[b.role], b.episode, b.work, index.names[b.name]);
  });
  std::vector<SearchIndex::Role> roles;
  for (uint32_t i : order) roles.push_back(std::move(index.roles[i]));
  index.credits.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    SearchIndex::Role& role = roles[rank[raw[i].role]];
    if (role.count == 0) role.first = static_cast<uint32_t>(i);
    ++role.count;
    index.credits.push_back({raw[i].work, raw[i].name, raw[i].episode});
  }
  index.roles = std::move(roles);
  return index;
}

Json SearchData(const SearchIndex& index, const SearchQuery& query, CoverFolder* covers) {
  const std::vector<std::string> words = FoldedWords(query.text);
  std::string upc;
  const bool by_upc = IsUpcQuery(query.text, upc);
  const bool any = !words.empty();

  std::vector<uint32_t> titles, series, episodes;
  std::vector<std::pair<uint32_t, size_t>> people_names;  // person, matched name form
  std::vector<uint32_t> roles;
  size_t role_credits = 0;
  if (any) {
    const auto& rows = index.titles->rows;
    for (uint32_t i = 0; i < rows.size(); ++i) {
      if (ContainsAll(rows[i].folded_title, words) || ContainsAll(rows[i].folded_original, words) ||
          (by_upc && DigitsOf(rows[i].upc).find(upc) != std::string::npos)) {
        titles.push_back(i);
      }
    }
    const auto& persons = index.people->people;
    for (uint32_t i = 0; i < persons.size(); ++i) {
      for (size_t n = 0; n < persons[i].folded.size(); ++n) {
        if (ContainsAll(persons[i].folded[n], words)) {
          people_names.emplace_back(i, n);
          break;
        }
      }
    }
    for (uint32_t i = 0; i < index.roles.size(); ++i) {
      if (ContainsAll(index.roles[i].folded, words)) {
        roles.push_back(i);
        role_credits += index.roles[i].count;
      }
    }
    for (uint32_t i = 0; i < index.series.size(); ++i) {
      if (ContainsAll(index.series[i].folded, words)) series.push_back(i);
    }
    for (uint32_t i = 0; i < index.episodes.size(); ++i) {
      if (ContainsAll(index.episodes[i].folded, words)) episodes.push_back(i);
    }
  }

  const auto shown = [&](SearchKind kind) { return !query.kind || *query.kind == kind; };
  const int32_t per_page = query.kind ? kKindPerPage : kOverviewPerKind;
  const int32_t page = query.kind ? query.page : 1;
  const auto& rows = index.titles->rows;

  Json answer = {{"Text", query.text},
                 {"Kind", query.kind ? Json(kSearchKinds[static_cast<size_t>(*query.kind)].name)
                                     : Json(nullptr)}};
  answer["Titles"] =
      Group(titles.size(), shown(SearchKind::kTitles), per_page, page, [&](size_t i) {
        const TitleRow& row = rows[titles[i]];
        Json item = TitleSummaryJson(row, covers);
        item["OriginalTitle"] = row.original_title;
        item["UPC"] = row.upc;
        return item;
      });
  answer["People"] =
      Group(people_names.size(), shown(SearchKind::kPeople), per_page, page, [&](size_t i) {
        const auto& person = index.people->people[people_names[i].first];
        return Json{{"CommonName", person.common_name},
                    {"MatchedName", person.names[people_names[i].second]}};
      });
  answer["Roles"] = Group(role_credits, shown(SearchKind::kRoles), per_page, page, [&](size_t i) {
    // The i-th credit across the matching roles, in their order.
    size_t role = 0;
    while (i >= index.roles[roles[role]].count) i -= index.roles[roles[role++]].count;
    const SearchIndex::Role& matched = index.roles[roles[role]];
    const SearchIndex::Credit& credit = index.credits[matched.first + i];
    const std::string& name = index.names[credit.name];
    const auto* person = index.people->Find(name);
    Json item = {{"Role", matched.text},
                 {"Name", name},
                 {"CommonName", person ? person->common_name : name}};
    if (credit.episode) {
      item.update(EpisodeJson(index.episodes[credit.work]));
    } else {
      const TitleRow& row = rows[credit.work];
      item["ProfileID"] = row.profile_id;
      item["Title"] = row.title;
      item["ProductionYear"] = row.year;
    }
    return item;
  });
  answer["Series"] =
      Group(series.size(), shown(SearchKind::kSeries), per_page, page, [&](size_t i) {
        const auto& found = index.series[series[i]];
        return Json{{"ShowID", found.show_id},
                    {"Title", found.title},
                    {"OriginalTitle", found.original_title}};
      });
  answer["Episodes"] = Group(episodes.size(), shown(SearchKind::kEpisodes), per_page, page,
                             [&](size_t i) { return EpisodeJson(index.episodes[episodes[i]]); });
  return answer;
}

Json SearchData(ZelDatabase& database, const SearchQuery& query, CoverFolder* covers) {
  const SearchIndex index =
      ReadSearchIndex(database, std::make_shared<const TitleTable>(ReadTitleTable(database)),
                      std::make_shared<const PeopleIndex>(ReadPeopleIndex(database)));
  return SearchData(index, query, covers);
}

}  // namespace zel::web
