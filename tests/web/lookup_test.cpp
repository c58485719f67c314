// zel serve: a person's page, search, statistics, series and awards.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "frame/text.h"
#include "web_fixture.h"

namespace zel::testing {
namespace {

TEST_F(ServeTest, PersonPageSummarisesAndPagesTheirTitles) {
  const Json by_common = GetJson("/api/person/Tomas%20Keller");
  const Json by_alias = GetJson("/api/person/T.%20Keller");
  EXPECT_EQ(by_alias["CommonName"], "Tomas Keller");
  EXPECT_EQ(by_common["Titles"], by_alias["Titles"]);
  EXPECT_EQ(by_alias["Aliases"][0]["AliasName"], "T. Keller");
  // One line per title, every role of theirs there joined, under whichever name.
  const int64_t titles =
      Sql("SELECT COUNT(*) FROM (SELECT DISTINCT ProfileID FROM CastCrew WHERE Name IN ('Tomas "
          "Keller', 'T. Keller'))");
  const Json& summary = by_common["Summary"];
  EXPECT_EQ(summary["Titles"], titles);
  // The example series' episodes; the one derived from a title's episode headings repeats that
  // title's credits, and shows under the title instead of counting again.
  const int64_t episodes =
      Sql("SELECT COUNT(*) FROM (SELECT DISTINCT EpisodeID FROM TVCastCrew WHERE Name IN ('Tomas "
          "Keller', 'T. Keller') AND EpisodeID NOT IN (SELECT ProfileID FROM MetaInfo WHERE "
          "InfoName = 'Derived'))");
  EXPECT_EQ(episodes, 3);
  EXPECT_EQ(summary["Episodes"], episodes);
  EXPECT_EQ(summary["Awards"], 1);
  EXPECT_EQ(summary["Won"], 1);
  EXPECT_EQ(summary["FirstYear"], 1950);
  // His name has several known birth years: one title credits him with one and without one, and
  // the credit without could be any of them, so it is a line of its own.
  const Json& lines = by_common["Titles"]["Items"];
  ASSERT_EQ(static_cast<int64_t>(lines.size()), titles + 1);
  const Json& box_set = lines[0];  // in year order, 1950 first
  EXPECT_EQ(box_set["ProfileID"], "Key_800004711000");
  ASSERT_EQ(box_set["Roles"].size(), 2u);
  EXPECT_EQ(box_set["Roles"][0]["Role"], "River Captain");
  EXPECT_EQ(box_set["Roles"][0]["CreditedAs"], "T. Keller");
  EXPECT_TRUE(box_set["Roles"][0]["IsCast"]);
  EXPECT_EQ(box_set["Roles"][1]["Role"], "Screenwriter");
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_LE(lines[i - 1]["ProductionYear"], lines[i]["ProductionYear"]);
  }
  const Json by_title = GetJson("/api/person/Tomas%20Keller?sort=title&order=desc");
  EXPECT_EQ(by_title["Sort"], "title");
  const Json& sorted = by_title["Titles"]["Items"];
  for (size_t i = 1; i < sorted.size(); ++i) {
    EXPECT_GE(ToLower(sorted[i - 1]["Title"].get<std::string>()),
              ToLower(sorted[i]["Title"].get<std::string>()));
  }
  const Json derived = GetJson("/api/person/Tomas%20Keller")["Titles"]["Items"];
  const auto holder = std::find_if(derived.begin(), derived.end(),
                                   [](const Json& line) { return line.contains("Episodes"); });
  ASSERT_NE(holder, derived.end());
  ASSERT_EQ((*holder)["Episodes"].size(), 1u);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Profile2Episodes WHERE ProfileID = '" +
                (*holder)["ProfileID"].get<std::string>() + "' AND EpisodeID = '" +
                (*holder)["Episodes"][0]["EpisodeID"].get<std::string>() + "'"),
            1);
  const Json& episode_lines = by_common["Episodes"]["Items"];
  ASSERT_EQ(static_cast<int64_t>(episode_lines.size()), episodes);
  EXPECT_TRUE(std::any_of(episode_lines.begin(), episode_lines.end(), [](const Json& line) {
    return line["ShowID"] == "HARBOUR" && line["Roles"][0]["Role"] == "Director";
  }));
  // Awards are the person's own, not those of every nominee text holding the name.
  EXPECT_EQ(GetJson("/api/person/Anna%20J.%20Berg")["Awards"].size(), 1u);
  EXPECT_TRUE(GetJson("/api/person/Anna%20Berg")["Awards"].empty());
  EXPECT_EQ(GetJson("/api/person/Keller", 404)["Status"], 404);
  EXPECT_EQ(GetJson("/api/person/The%20Harbour%20Band", 404)["Status"], 404);  // a divider

  const std::string page = Html("/person/T.%20Keller");
  EXPECT_TRUE(Has(page, "<h1>Tomas Keller</h1>"));
  EXPECT_TRUE(Has(page, "active 1950"));
  EXPECT_TRUE(Has(page, "River Captain (as T. Keller); Screenwriter"));
  EXPECT_TRUE(Has(page, "href=\"/person/T.%20Keller?sort=title\""));

  // Namesakes with different birth years are two people; a credit without one could be either
  // and is listed apart, on each of their pages.
  const Json lund = GetJson("/api/person/Kim%20Lund");
  ASSERT_EQ(lund["People"].size(), 3u);
  EXPECT_EQ(lund["People"][0]["Label"], "Kim Lund (born 1946)");
  EXPECT_EQ(lund["People"][0]["Summary"]["Titles"], 1);
  EXPECT_EQ(lund["People"][1]["Label"], "Kim Lund (born 1949)");
  EXPECT_EQ(lund["People"][2]["CouldBe"], Json::array({1946, 1949}));
  const Json sailor = GetJson("/api/person/Kim%20Lund?born=1949");
  EXPECT_EQ(sailor["Born"], 1949);
  const Json& sailor_lines = sailor["Titles"]["Items"];
  ASSERT_EQ(sailor_lines.size(), 2u);
  EXPECT_EQ(sailor_lines[0]["Title"], "Lund Sailing");
  EXPECT_EQ(sailor_lines[1]["Person"]["Label"], "Kim Lund (born 1946 or 1949, could be either)");
  EXPECT_EQ(sailor["Summary"]["Titles"], 1);
  EXPECT_EQ(sailor["Summary"]["LastYear"], 1975);
  EXPECT_TRUE(Has(Html("/person/Kim%20Lund"), "2 people share this name"));
  const std::string sailor_page = Html("/person/Kim%20Lund?born=1949");
  EXPECT_TRUE(Has(sailor_page, "<h1>Kim Lund (born 1949)</h1>"));
  EXPECT_TRUE(Has(sailor_page, "born 1946 or 1949, could be either"));
  EXPECT_FALSE(Has(sailor_page, "Lund Cutting"));
  // Credits of one person on one title are grouped by role, with the episodes they stand under.
  const Json narrator = GetJson("/api/person/Vera%20Voss");
  const Json& roles = narrator["Titles"]["Items"][0]["Roles"];
  ASSERT_EQ(roles.size(), 2u);
  EXPECT_EQ(roles[0]["Episodes"], Json::array({"1.01 Pilot", "1.02 Home"}));
  EXPECT_TRUE(roles[1]["Episodes"].empty());
  // Each episode leads to its place on the page of the series derived from the disc.
  EXPECT_TRUE(Has(Html("/person/Vera%20Voss"),
                  "Narrator (voice), 2 episodes: <a href=\"/series/tv%3Awild-coast#ep-tv%3Awild-"
                  "coast%2F1.01\">1.01 Pilot</a>, <a "));

  // Beyond 200 lines the list is paged.
  const Json first = GetJson("/api/person/Paging%20Person");
  EXPECT_EQ(first["Titles"]["Total"], kExtraTitles);
  EXPECT_EQ(first["Titles"]["Items"].size(), 200u);
  const Json second = GetJson("/api/person/Paging%20Person?page=2");
  ASSERT_EQ(second["Titles"]["Items"].size(), static_cast<size_t>(kExtraTitles - 200));
  EXPECT_NE(second["Titles"]["Items"][0], first["Titles"]["Items"][0]);
  // Its pages together hold every line once and in order, whichever order is asked for: only the
  // page shown is put in order, and a mistake there would show on a page boundary.
  for (const bool title_order : {false, true}) {
    std::vector<std::pair<int64_t, std::string>> keys;
    for (const char* number : {"1", "2"}) {
      const std::string path = std::string("/api/person/Paging%20Person?page=") + number +
                               (title_order ? "&sort=title&order=desc" : "");
      const Json answer = GetJson(path);
      for (const Json& item : answer["Titles"]["Items"]) {
        keys.emplace_back(title_order ? 0 : item["ProductionYear"].get<int64_t>(),
                          item["Title"].get<std::string>());
      }
    }
    ASSERT_EQ(keys.size(), static_cast<size_t>(kExtraTitles));
    auto expected = keys;
    std::sort(expected.begin(), expected.end());
    if (title_order) std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(keys, expected) << (title_order ? "by title, descending" : "by year");
  }
  EXPECT_TRUE(Has(Html("/person/Paging%20Person"), "href=\"/person/Paging%20Person?page=2\""));
  ExpectRefused("/person/Paging%20Person?sort=age", "year, title");
}

TEST_F(ServeTest, SearchFoldsCaseAndAccentsAndPagesEveryMatch) {
  const auto totals = [&](const std::string& text) {
    const Json found = GetJson("/api/search?q=" + text);
    std::map<std::string, int64_t> out;
    for (const char* kind : {"Titles", "People", "Roles", "Series", "Episodes"}) {
      out[kind] = found[kind]["Total"];
    }
    return out;
  };
  EXPECT_EQ(totals("cafe"), totals("CAF%C3%89"));
  EXPECT_EQ(totals("cafe")["Titles"], 3);
  const Json renee = GetJson("/api/search?q=renee%20novak");
  std::set<std::string> people;
  for (const Json& person : renee["People"]["Items"]) people.insert(person["CommonName"]);
  EXPECT_TRUE(people.count("Ren\xC3\xA9"
                           "e Novak") &&
              people.count("Ren\xC3\xA9"
                           "e J. Novak"));
  // Any credited name finds the person; every word must match somewhere.
  const Json alias = GetJson("/api/search?q=t.%20keller");
  ASSERT_EQ(alias["People"]["Total"], 1);
  EXPECT_EQ(alias["People"]["Items"][0]["CommonName"], "Tomas Keller");
  EXPECT_EQ(alias["People"]["Items"][0]["MatchedName"], "T. Keller");
  EXPECT_EQ(totals("keller%20nobody")["People"], 0);
  // Roles, series, episodes and UPCs.
  const Json captain = GetJson("/api/search?q=river%20captain");
  ASSERT_GE(captain["Roles"]["Total"].get<int>(), 1);
  EXPECT_EQ(captain["Roles"]["Items"][0]["Role"], "River Captain");
  EXPECT_TRUE(captain["Roles"]["Items"][0].contains("ProfileID"));
  EXPECT_EQ(totals("harbour%20lights")["Series"], 1);
  const Json keeper = GetJson("/api/search?q=lighthouse%20keeper&kind=roles");
  EXPECT_TRUE(std::any_of(keeper["Roles"]["Items"].begin(), keeper["Roles"]["Items"].end(),
                          [](const Json& role) { return role.contains("EpisodeID"); }));
  EXPECT_EQ(totals("low%20tide")["Episodes"], 1);
  const Json upc = GetJson("/api/search?q=000047-11296");
  ASSERT_EQ(upc["Titles"]["Total"], 1);
  EXPECT_EQ(upc["Titles"]["Items"][0]["ProfileID"], "Key_800004711296.4");

  // Every match is counted and reachable page by page, none twice.
  const Json overview = GetJson("/api/search?q=extra");
  const int64_t roles = overview["Roles"]["Total"];
  EXPECT_EQ(roles, kExtraTitles);
  EXPECT_EQ(overview["Roles"]["Items"].size(), 10u);
  std::set<std::string> seen;
  const int pages = GetJson("/api/search?q=extra&kind=roles")["Roles"]["Pages"];
  EXPECT_EQ(pages, (kExtraTitles + 49) / 50);
  for (int page = 1; page <= pages; ++page) {
    const Json found = GetJson("/api/search?q=extra&kind=roles&page=" + std::to_string(page));
    EXPECT_FALSE(found["Titles"].contains("Items"));  // other kinds give their totals only
    for (const Json& item : found["Roles"]["Items"]) seen.insert(item["ProfileID"]);
  }
  EXPECT_EQ(static_cast<int64_t>(seen.size()), roles);

  const std::string page = Html("/search?q=zebra");
  EXPECT_TRUE(Has(page, ">Titles (210)</a>"));
  EXPECT_TRUE(Has(page, "href=\"/search?q=zebra&amp;kind=titles\">All 210 titles</a>"));
  EXPECT_TRUE(Has(Html("/search?q=zebra&kind=titles&page=2"), "aria-current=\"page\">2</a>"));
  EXPECT_TRUE(Has(Html("/search?q=qqqq"), "Nothing found."));
  ExpectRefused("/search?q=a&kind=things", "titles, people, roles, series, episodes");
}

TEST_F(ServeTest, StatisticsAgreeWithTheCatalogue) {
  const std::string owned = "(p.ColType = 'Owned' OR p.ColType IS NULL OR p.ColType = '')";
  const Json stats = GetJson("/api/stats");
  EXPECT_EQ(stats["CollectionType"], "Owned");
  EXPECT_EQ(stats["Titles"], Sql("SELECT COUNT(*) FROM Profiles p WHERE " + owned));
  // Counted as DVD Profiler counts: by CountAs, which a box set may set to its number of discs.
  EXPECT_EQ(stats["Counted"],
            Sql("SELECT SUM(max(coalesce(p.CountAs, 1), 0)) FROM Profiles p WHERE " + owned));
  EXPECT_NE(stats["Counted"], stats["Titles"]);
  // Most credited: a box set and its parts count once for a person credited on several of them.
  const auto credited = [&](const std::string& unit) {
    return Sql("SELECT COUNT(DISTINCT " + unit +
               ") FROM CastCrew c JOIN Profiles p ON p.ProfileID = c.ProfileID WHERE c.Name = "
               "'Anna Berg' AND c.Role NOT LIKE '[[]Div%' AND " +
               owned);
  };
  const int64_t units = credited(
      "coalesce((SELECT b.BoxSetID FROM BoxSet b WHERE b.ChildID = c.ProfileID AND b.BoxSetID IS "
      "NOT b.ChildID), c.ProfileID)");
  EXPECT_LT(units, credited("c.ProfileID"));
  for (const Json& person : stats["People"]) {
    if (person["CommonName"] == "Anna Berg") {
      EXPECT_EQ(person["Titles"], units);
    }
  }
  const auto titles_of = [](const Json& list, const char* key, const std::string& value) {
    for (const Json& item : list) {
      if (item[key] == value) return item["Titles"].get<int64_t>();
    }
    return int64_t{0};
  };
  EXPECT_EQ(titles_of(stats["Genres"], "Genre", "Drama"),
            Sql("SELECT COUNT(*) FROM Genres g INNER JOIN Profiles p ON p.ProfileID = "
                "g.ProfileID WHERE g.Genre = 'Drama' AND " +
                owned));
  EXPECT_EQ(titles_of(stats["Media"], "Medium", "DVD"),
            Sql("SELECT COUNT(*) FROM Profiles p WHERE p.Medium = 'DVD' AND " + owned));
  EXPECT_EQ(titles_of(stats["Studios"], "Studio", "Blue Meadow"),
            Sql("SELECT COUNT(DISTINCT s.ProfileID) FROM Studios s INNER JOIN Profiles p ON "
                "p.ProfileID = s.ProfileID WHERE s.Studio = 'Blue Meadow' AND s.Type = '' AND " +
                owned));
  EXPECT_EQ(titles_of(stats["Countries"], "CountryOfOrigin", "Sweden"),
            Sql("SELECT COUNT(*) FROM Profiles p WHERE p.CountryOfOrigin = 'Sweden' AND " + owned));
  int64_t by_decade = 0;
  for (const Json& decade : stats["Decades"]) by_decade += decade["Titles"].get<int64_t>();
  EXPECT_EQ(by_decade, stats["Titles"]);
  for (const Json& decade : stats["Decades"]) {
    if (decade["Decade"] != 1950) continue;
    EXPECT_EQ(decade["Titles"], Sql("SELECT COUNT(*) FROM Profiles p WHERE p.ProdYear >= 1950 "
                                    "AND p.ProdYear < 1960 AND " +
                                    owned));
  }
  // Blu-ray regions count as the letters they stand for.
  for (const Json& region : stats["Regions"]) {
    if (region["Region"] != "B") continue;
    EXPECT_EQ(region["Code"], 2);
    EXPECT_EQ(region["Titles"],
              Sql("SELECT COUNT(*) FROM Regions r INNER JOIN Profiles p ON p.ProfileID = "
                  "r.ProfileID WHERE r.Region = 2 AND p.Medium = 'Blu-ray Disc' AND " +
                  owned));
  }
  // Spending: amounts per currency add up to what the purchases hold.
  std::map<std::string, double> spent;
  for (const Json& year : stats["Spending"]) {
    spent[year["CurrencyID"]] += year["Spent"].get<double>();
  }
  const int64_t usd_cents =
      Sql("SELECT SUM(i.Price * 100) FROM PurchaseInfo i INNER JOIN Profiles p ON p.ProfileID "
          "= i.ProfileID WHERE i.CurrencyID = 'USD' AND " +
          owned);
  EXPECT_GT(usd_cents, 0);
  EXPECT_NEAR(spent["USD"] * 100, static_cast<double>(usd_cents), 1);
  // People across their names, by the titles crediting them.
  ASSERT_FALSE(stats["People"].empty());
  EXPECT_EQ(stats["People"][0]["CommonName"], "Paging Person");
  EXPECT_EQ(stats["People"][0]["Titles"], kExtraTitles);
  for (const Json& person : stats["People"]) {
    if (person["CommonName"] != "Tomas Keller") continue;
    EXPECT_EQ(person["Titles"], Sql("SELECT COUNT(*) FROM (SELECT DISTINCT c.ProfileID FROM "
                                    "CastCrew c INNER JOIN Profiles p ON p.ProfileID = "
                                    "c.ProfileID WHERE c.Name IN ('Tomas Keller', 'T. Keller') "
                                    "AND " +
                                    owned + ")"));
    // Episodes derived from a title's headings are counted with that title.
    EXPECT_EQ(person["Episodes"], 3);
  }
  EXPECT_TRUE(std::none_of(stats["People"].begin(), stats["People"].end(), [](const Json& p) {
    return p["CommonName"] == "T. Keller" || p["CommonName"] == "The Harbour Band";
  }));
  // Loans: overdue before today, due from today on.
  const Json& loans = stats["Loans"];
  EXPECT_EQ(static_cast<int64_t>(loans["Overdue"].size() + loans["Due"].size()),
            Sql("SELECT COUNT(*) FROM LoanInfo"));
  for (const Json& loan : loans["Overdue"]) EXPECT_LT(loan["Days"].get<int>(), 0);
  for (const Json& loan : loans["Overdue"]) {
    EXPECT_LT(loan["LoanedDue"].get<std::string>(), stats["Today"].get<std::string>());
  }
  const Json all = GetJson("/api/stats?collection=all");
  EXPECT_EQ(all["Titles"], Sql("SELECT COUNT(*) FROM Profiles"));
  EXPECT_EQ(all["Counts"], stats["Counts"]);

  // Charts are tables of figures with a bar drawn in each row; nothing from outside. The figures
  // the page had before come with value, running time, ratings, regions and audio languages.
  const std::string page = Html("/stats");
  EXPECT_TRUE(Has(page, "<table class=\"chart\">\n<caption>Titles by genre</caption>"));
  EXPECT_TRUE(Has(page, "<svg class=\"bar\""));
  for (const char* caption : {"Titles by rating", "Titles by region", "Titles by audio language"}) {
    EXPECT_TRUE(Has(page, std::string("<caption>") + caption)) << caption;
  }
  EXPECT_TRUE(Has(page, "Value at retail prices: "));
  EXPECT_TRUE(Has(page, "Running time: "));
  EXPECT_TRUE(Has(page, "<a href=\"/titles?collection=owned&amp;genre=Drama\">Drama</a>") ||
              Has(page, "<a href=\"/titles?genre=Drama\">Drama</a>"));
  EXPECT_FALSE(Has(page, "<script"));
  EXPECT_FALSE(Has(ReplaceAll(page, "http://www.w3.org/2000/svg", ""), "http"));
  ExpectRefused("/stats?collection=borrowed", "owned, onorder, wishlist, other, all");
}

TEST_F(ServeTest, SeriesAndAwards) {
  // The example series, and those derived from the example titles' episode headings.
  const Json list = GetJson("/api/series");
  ASSERT_EQ(static_cast<int64_t>(list["Series"].size()), Sql("SELECT COUNT(*) FROM TVSeries"));
  const auto harbour = std::find_if(list["Series"].begin(), list["Series"].end(),
                                    [](const Json& s) { return s["ShowID"] == "HARBOUR"; });
  ASSERT_NE(harbour, list["Series"].end());
  EXPECT_EQ((*harbour)["Episodes"], 3);
  const Json series = GetJson("/api/series/HARBOUR");
  ASSERT_EQ(series["Seasons"].size(), 2u);
  const Json& pilot = series["Seasons"][0]["Episodes"][0];
  EXPECT_EQ(pilot["Airdate"], "1999-09-01");
  ASSERT_EQ(pilot["Cast"].size(), 3u);
  EXPECT_TRUE(pilot["Cast"][0]["IsRegular"].get<bool>());
  EXPECT_EQ(pilot["Cast"][1]["Divider"], "Group");
  EXPECT_TRUE(Has(Html("/series/HARBOUR"), "id=\"ep-HARBOUR12\""));
  EXPECT_EQ(pilot["Label"], "1.1 The Lighthouse");
  ASSERT_EQ(pilot["Discs"].size(), 1u);
  EXPECT_EQ(pilot["Discs"][0]["ProfileID"], "Key_800004711000");
  // A series derived from discs' episode headings: each episode with its cast and its discs,
  // reached from a disc's page.
  const Json derived = GetJson("/api/series/tv:empire-distant");
  const Json& arrival = derived["Seasons"][0]["Episodes"][0];
  EXPECT_EQ(arrival["Label"], "1.01 The Arrival");
  EXPECT_TRUE(arrival["Derived"]);
  EXPECT_FALSE(arrival["Cast"].empty());
  ASSERT_EQ(arrival["Discs"].size(), 2u);
  EXPECT_EQ(arrival["Discs"][0]["ProfileID"], "Key_800004711074.4");
  EXPECT_TRUE(Has(Html("/title/Key_800004711074.4"),
                  "Series: <a href=\"/series/tv%3Aempire-distant\">Empire Distant</a>"));
  EXPECT_TRUE(Has(Html("/series/tv:empire-distant"),
                  "<dt>On</dt><dd><a href=\"/title/Key_800004711074.4\">Empire Distant</a>"));
  const Json awards = GetJson("/api/awards");
  ASSERT_EQ(awards["Awards"].size(), 1u);
  const Json& nominations = awards["Awards"][0]["Years"][0]["Nominations"];
  ASSERT_EQ(nominations.size(), 2u);
  EXPECT_EQ(nominations[1]["Nominees"], Json::array({"Sven Eklund", "Anna J. Berg"}));
  // Wins stand out; a film the catalogue holds leads to its page.
  const std::string page = Html("/awards");
  EXPECT_TRUE(Has(page, "<tr class=\"won\">"));
  int linked = 0;
  for (const Json& nomination : nominations) {
    if (nomination["ProfileID"].is_null()) continue;
    ++linked;
    EXPECT_TRUE(
        Has(page, "<a href=\"/title/" + nomination["ProfileID"].get<std::string>() + "\">"));
  }
  EXPECT_GT(linked, 0);
  EXPECT_EQ(GetJson("/api/awards?award=None")["Awards"].size(), 0u);
  EXPECT_TRUE(GetJson("/api/awards")["Names"].is_array());
}

}  // namespace
}  // namespace zel::testing
