// The pages of people, series, awards, search and statistics, and the message page.
#include "web/pages.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "frame/text.h"
#include "tv/series_outline.h"
#include "web/charts.h"
#include "web/fold.h"
#include "web/html.h"
#include "web/page_parts.h"
#include "web/text.h"

namespace zel::web {
namespace {

// A person's lines: the work, its year and every role there.
std::string LinesTable(std::string_view caption, std::string_view work, const std::string& rows) {
  return "<div class=\"scroll\"><table>\n<caption class=\"sr\">" + Escape(caption) +
         "</caption>\n<thead><tr><th scope=\"col\">" + Escape(work) +
         "</th><th scope=\"col\">Year</th><th scope=\"col\">Roles</th></tr></thead>\n<tbody>\n" +
         rows + "</tbody>\n</table></div>\n";
}

// A line's roles, each with the episodes its credits stand under ("Narrator (voice), 2 episodes:
// 1.01 Pilot, 1.02 Home"); an episode the catalogue holds links to its series page.
std::string RolesHtml(const Json& line, const std::string& common_name) {
  std::vector<std::pair<std::string, const Json*>> held;  // the line's episodes by caption
  for (const Json& episode : Member(line, "Episodes")) {
    held.emplace_back(Fold(tv::EpisodeLabel(Str(episode, "Season"), Str(episode, "Number"),
                                            Str(episode, "Title"))),
                      &episode);
  }
  std::vector<const Json*> linked;
  std::string out;
  for (const Json& role : Member(line, "Roles")) {
    std::string text = Str(role, "Role");
    if (text.empty()) text = Bool(role, "IsCast") ? "Cast" : "Crew";
    std::string notes;
    const std::string as = Str(role, "CreditedAs");
    if (!as.empty() && as != common_name) notes += "as " + as;
    for (const auto& [key, label] :
         {std::pair{"IsVoice", "voice"}, std::pair{"IsUncredited", "uncredited"},
          std::pair{"IsCreditOnly", "credit only"}}) {
      if (Bool(role, key)) notes += (notes.empty() ? "" : ", ") + std::string(label);
    }
    if (!notes.empty()) text += " (" + notes + ")";
    std::string html = Escape(text);
    const Json& episodes = Member(role, "Episodes");
    if (!episodes.empty()) {
      html += Escape(", " + Plural(static_cast<int64_t>(episodes.size()), "episode", "episodes") +
                     ": ");
      std::string list;
      for (const Json& caption : episodes) {
        const std::string shown = caption.is_string() ? caption.get<std::string>() : "";
        const auto found = std::find_if(held.begin(), held.end(),
                                        [&](const auto& h) { return h.first == Fold(shown); });
        std::string item = Escape(shown);
        if (found != held.end()) {
          linked.push_back(found->second);
          item = "<a href=\"" +
                 Escape(Link("/series/", Str(*found->second, "ShowID")) + "#ep-" +
                        EncodeSegment(Str(*found->second, "EpisodeID"))) +
                 "\">" + item + "</a>";
        }
        list += (list.empty() ? "" : ", ") + item;
      }
      html += list;
    }
    out += (out.empty() ? "" : "; ") + html;
  }
  // Episodes holding the person's credits under a caption of another spelling.
  std::string rest;
  for (const auto& [caption, episode] : held) {
    if (std::find(linked.begin(), linked.end(), episode) != linked.end()) continue;
    rest += (rest.empty() ? "" : ", ") + EpisodeLink(*episode);
  }
  if (!rest.empty()) out += "<br><span class=\"muted\">Episodes: " + rest + "</span>";
  return out;
}

// Which of several namesakes a line is theirs: "born 1949", "born 1946 or 1949, could be either";
// nothing for the one namesake `born` names, whose page it is.
std::string PersonMark(const Json& line, const Json& born) {
  const Json& person = Member(line, "Person");
  if (person.is_null() || Member(person, "BirthYear") == born) return {};
  const std::string label = Str(person, "Label");
  const size_t open = label.rfind(" (");
  return open == std::string::npos ? std::string()
                                   : Mark(label.substr(open + 2, label.size() - open - 3));
}

std::string SummaryText(const Json& summary) {
  std::string line = Plural(Int(summary, "Titles"), "title", "titles") + ", " +
                     Plural(Int(summary, "Episodes"), "episode", "episodes");
  if (Int(summary, "FirstYear")) {
    line +=
        Int(summary, "FirstYear") == Int(summary, "LastYear")
            ? ", in " + Str(summary, "FirstYear")
            : ", active " + Str(summary, "FirstYear") + "\xE2\x80\x93" + Str(summary, "LastYear");
  }
  return line;
}

}  // namespace

std::string PersonPage(const Json& data) {
  const std::string common = Str(data, "CommonName");
  const Json& summary = Member(data, "Summary");
  const Json& people = Member(data, "People");
  const bool narrowed = !Member(data, "Born").is_null();
  std::string line = people.empty() || narrowed
                         ? SummaryText(summary)
                         : Plural(static_cast<int64_t>(people.size()) -
                                      (Member(people.back(), "CouldBe").empty() ? 0 : 1),
                                  "person", "people") +
                               " share this name";
  if (Int(summary, "Awards")) {
    line += ", " + Plural(Int(summary, "Awards"), "award nomination", "award nominations") + " (" +
            std::to_string(Int(summary, "Won")) + " won)";
  }
  std::string body = "<p class=\"summary\">" + Escape(line) + ".</p>\n";
  // Namesakes: each is a person of their own, with the credits that could be either apart.
  std::string namesakes;
  for (const Json& person : people) {
    const std::string label = Str(person, "Label");
    const bool either = !Member(person, "CouldBe").empty();
    const std::string link =
        either
            ? Escape(label)
            : A(Address(Link("/person/", Str(data, "Name")), {{"born", Str(person, "BirthYear")}}),
                label, narrowed && Int(data, "Born") == Int(person, "BirthYear"));
    namesakes += "<li>" + link + " <span class=\"muted\">" +
                 Escape(SummaryText(Member(person, "Summary"))) + "</span></li>\n";
  }
  if (!namesakes.empty()) {
    if (narrowed) {
      namesakes += "<li>" + A(Link("/person/", Str(data, "Name")), "All of them") + "</li>\n";
    }
    body += Section("People of this name", "<ul>\n" + namesakes + "</ul>\n");
  }

  std::string names = "<li>" + Escape(common) + Mark("common name") + "</li>\n";
  for (const Json& alias : Member(data, "Aliases")) {
    names += "<li>" + Anchor("/person/", Str(alias, "AliasName"), Str(alias, "AliasName"));
    if (Int(alias, "BirthYear")) {
      names += " <span class=\"muted\">born " + Str(alias, "BirthYear") + "</span>";
    }
    names += "</li>\n";
  }
  body += Section("Names", "<ul>\n" + names + "</ul>\n");

  // Every address of this page keeps the sort and the other list's page.
  const std::string base = Link("/person/", Str(data, "Name"));
  const std::string sort = Str(data, "Sort"), order = Str(data, "Order");
  const Json& titles = Member(data, "Titles");
  const Json& episodes = Member(data, "Episodes");
  const auto href = [&](std::string new_sort, std::string new_order, int64_t page,
                        int64_t episode_page) {
    return Address(base, {{"born", narrowed ? Str(data, "Born") : ""},
                          {"sort", new_sort == "year" ? "" : new_sort},
                          {"order", new_order == "asc" ? "" : new_order},
                          {"page", page > 1 ? std::to_string(page) : ""},
                          {"epage", episode_page > 1 ? std::to_string(episode_page) : ""}});
  };
  const int64_t page = Int(titles, "Page"), episode_page = Int(episodes, "Page");
  std::string title_rows;
  for (const Json& item : Member(titles, "Items")) {
    title_rows += "<tr><td>" + Anchor("/title/", Str(item, "ProfileID"), Str(item, "Title")) +
                  TitleMarks(item) + PersonMark(item, Member(data, "Born")) + "</td><td>" +
                  Escape(YearText(item, "ProductionYear")) + "</td><td>" + RolesHtml(item, common) +
                  "</td></tr>\n";
  }
  if (!title_rows.empty()) {
    std::string sorting =
        "<p class=\"sort\">Sort: " +
        A(href("year", "asc", 1, episode_page), "by year", sort == "year") + " \xC2\xB7 " +
        A(href("title", "asc", 1, episode_page), "by title", sort == "title") + " \xC2\xB7 " +
        A(href(sort, order == "asc" ? "desc" : "asc", 1, episode_page),
          order == "asc" ? "descending" : "ascending") +
        "</p>\n";
    body += Section("Titles", sorting + LinesTable("Titles", "Title", title_rows) +
                                  Pager(page, Int(titles, "Pages"), [&](int64_t n) {
                                    return href(sort, order, n, episode_page);
                                  }));
  }
  std::string episode_rows;
  for (const Json& item : Member(episodes, "Items")) {
    episode_rows += "<tr><td>" + EpisodeLink(item) + PersonMark(item, Member(data, "Born")) +
                    "</td><td>" + Escape(Str(item, "Airdate").substr(0, 4)) + "</td><td>" +
                    RolesHtml(item, common) + "</td></tr>\n";
  }
  if (!episode_rows.empty()) {
    body += Section("Episodes", LinesTable("Episodes", "Episode", episode_rows) +
                                    Pager(episode_page, Int(episodes, "Pages"),
                                          [&](int64_t n) { return href(sort, order, page, n); }));
  }
  if (title_rows.empty() && episode_rows.empty()) body += Section("Appearances", "<p>None.</p>\n");
  body += Section("Awards", AwardsTable(Member(data, "Awards"), true));
  return Page(narrowed ? common + " (born " + Str(data, "Born") + ")" : common, body);
}

std::string PeoplePage(const Json& data) {
  const bool by_credits = Str(data, "Sort") == "credits";
  const auto href = [&](bool credits, int64_t page) {
    return Address("/people", {{"sort", credits ? "" : "name"},
                               {"page", page > 1 ? std::to_string(page) : ""}});
  };
  std::string body = "<p class=\"sort\">Sort: " + A(href(true, 1), "most credited", by_credits) +
                     " \xC2\xB7 " + A(href(false, 1), "by name", !by_credits) + "</p>\n";
  body += "<p class=\"summary\">" + Plural(Int(data, "Total"), "person", "people") + ".</p>\n";
  std::string rows;
  for (const Json& person : Member(data, "People")) {
    const std::string name = Str(person, "CommonName");
    rows += "<tr><td>" + Anchor("/person/", name, name) + "</td><td class=\"number\">" +
            Str(person, "Titles") + "</td><td class=\"number\">" + Str(person, "Episodes") +
            "</td></tr>\n";
  }
  if (!rows.empty()) {
    body +=
        "<div class=\"scroll\"><table>\n<caption class=\"sr\">People</caption>\n<thead><tr>"
        "<th scope=\"col\">Person</th><th scope=\"col\" class=\"number\">Titles</th>"
        "<th scope=\"col\" class=\"number\">Episodes</th></tr></thead>\n<tbody>\n" +
        rows + "</tbody>\n</table></div>\n";
  }
  body +=
      Pager(Int(data, "Page"), Int(data, "Pages"), [&](int64_t n) { return href(by_credits, n); });
  return Page("People", body);
}

std::string SeriesListPage(const Json& data) {
  std::string items;
  for (const Json& series : Member(data, "Series")) {
    items += "<li>" + Anchor("/series/", Str(series, "ShowID"), Str(series, "Title")) +
             " <span class=\"muted\">(" + Plural(Int(series, "Episodes"), "episode", "episodes") +
             ")</span></li>\n";
  }
  return Page("Series", items.empty() ? "<p>No series in the catalogue.</p>\n"
                                      : "<ul>\n" + items + "</ul>\n");
}

std::string SeriesPage(const Json& data) {
  std::string fields = TextField("Original title", Str(data, "OriginalTitle"));
  fields += TextField("Episodes", Str(data, "EpisodeCount"));
  fields += TextField("Series ID", Str(data, "ShowID"));
  std::string body = "<dl class=\"fields\">\n" + fields + "</dl>\n";
  for (const Json& season : Member(data, "Seasons")) {
    std::string episodes;
    for (const Json& episode : Member(season, "Episodes")) {
      episodes += "<article id=\"ep-" + Escape(EncodeSegment(Str(episode, "EpisodeID"))) +
                  "\">\n<h3>" + Escape(Str(episode, "Label")) + "</h3>\n";
      std::string discs;
      for (const Json& disc : Member(episode, "Discs")) {
        discs += (discs.empty() ? "" : ", ") + TitleLink(disc);
      }
      std::string details = Field("On", discs);
      details += TextField("Original title", Str(episode, "OriginalTitle"));
      details += TextField("Aired", Str(episode, "Airdate"));
      if (Int(episode, "RunningTime")) {
        details += TextField("Running time", Str(episode, "RunningTime") + " minutes");
      }
      details += TextField("Rating", Str(episode, "Rating"));
      if (!details.empty()) episodes += "<dl class=\"fields\">\n" + details + "</dl>\n";
      if (!Str(episode, "Overview").empty()) episodes += RichText(Str(episode, "Overview"));
      episodes += CreditsTable(Member(episode, "Cast"), true, "Cast");
      episodes += CreditsTable(Member(episode, "Crew"), false, "Crew");
      episodes += "</article>\n";
    }
    const std::string name = Str(season, "Name");
    body += Section(name.empty() ? "Without a season" : "Season " + name, episodes);
  }
  body += Section("Awards", AwardsTable(Member(data, "Awards"), false));
  return Page(Str(data, "Title"), body);
}

std::string AwardsPage(const Json& data) {
  const std::string selected = Str(data, "Award");
  std::string body =
      "<form action=\"/awards\" method=\"get\" aria-label=\"Choose an award\">\n"
      "<label>Award<select name=\"award\"><option value=\"\">all</option>";
  for (const Json& name : Member(data, "Names")) body += Option(name.get<std::string>(), selected);
  body += "</select></label>\n<button type=\"submit\">Show</button>\n</form>\n";
  for (const Json& award : Member(data, "Awards")) {
    std::string years;
    for (const Json& year : Member(award, "Years")) {
      std::string rows;
      for (const Json& nomination : Member(year, "Nominations")) {
        // A film the catalogue holds leads to its page; any other to the titles named like it.
        const std::string film = Str(nomination, "MovieTitle"), id = Str(nomination, "ProfileID");
        rows += "<tr" + std::string(Bool(nomination, "HasWon") ? " class=\"won\"" : "") + "><td>" +
                Escape(Str(nomination, "Category")) + "</td><td>" +
                (id.empty() ? Anchor("/titles?collection=all&q=", film, film)
                            : Anchor("/title/", id, film)) +
                "</td><td>" + Nominees(nomination) + "</td><td>" + Result(nomination) +
                "</td></tr>\n";
      }
      const std::string year_text = Int(year, "Year") ? Str(year, "Year") : "No year";
      years += "<div class=\"scroll\"><table>\n<caption>" + Escape(year_text) +
               "</caption>\n<thead><tr><th scope=\"col\">Category</th><th scope=\"col\">Film</th>"
               "<th scope=\"col\">Nominee</th><th scope=\"col\">Result</th></tr></thead>\n"
               "<tbody>\n" +
               rows + "</tbody>\n</table></div>\n";
    }
    body += Section(Str(award, "Award"), years);
  }
  if (Member(data, "Awards").empty()) body += "<p>No awards.</p>\n";
  return Page(selected.empty() ? "Awards" : selected, body);
}

std::string SearchPage(const Json& data) {
  const std::string text = Str(data, "Text");
  const std::string kind = Str(data, "Kind");
  std::string body = SearchForm(text);
  if (text.empty()) return Page("Search", body);
  constexpr std::pair<const char*, const char*> kKinds[] = {{"titles", "Titles"},
                                                            {"people", "People"},
                                                            {"roles", "Roles"},
                                                            {"series", "Series"},
                                                            {"episodes", "Episodes"}};
  const auto href = [&](const std::string& to_kind, int64_t page) {
    return Address(
        "/search",
        {{"q", text}, {"kind", to_kind}, {"page", page > 1 ? std::to_string(page) : ""}});
  };
  int64_t all = 0;
  body +=
      "<nav class=\"tabs\" aria-label=\"Kinds of matches\">" + A(href("", 1), "All", kind.empty());
  for (const auto& [word, label] : kKinds) {
    const int64_t total = Int(Member(data, label), "Total");
    all += total;
    body += A(href(word, 1), std::string(label) + " (" + std::to_string(total) + ")", kind == word);
  }
  body += "</nav>\n";
  for (const auto& entry : kKinds) {
    // Named, not bound: lambdas capture structured bindings only from clang 16.
    const auto& word = entry.first;
    const auto& label = entry.second;
    const Json& group = Member(data, label);
    const Json& items = Member(group, "Items");
    if (items.empty()) continue;
    std::string list = "<ul class=\"plain\">\n";
    for (const Json& item : items) {
      const std::string key = word;
      if (key == "titles") {
        list += TitleItem(item);
        const std::string original = Str(item, "OriginalTitle");
        if (!original.empty() && original != Str(item, "Title")) {
          list += " <span class=\"muted\">" + Escape(original) + "</span>";
        }
        list += " <span class=\"muted\">UPC " + Escape(Str(item, "UPC")) + "</span>";
      } else if (key == "people") {
        const std::string name = Str(item, "CommonName");
        list += "<li>" + Anchor("/person/", name, name);
        if (Str(item, "MatchedName") != name) {
          list +=
              " <span class=\"muted\">credited as " + Escape(Str(item, "MatchedName")) + "</span>";
        }
      } else if (key == "roles") {
        const std::string name = Str(item, "Name");
        list += "<li>" + Escape(Str(item, "Role")) + " \xE2\x80\x93 " +
                Anchor("/person/", name, name) + " in " +
                (item.contains("EpisodeID") ? EpisodeLink(item) : TitleLink(item));
      } else if (key == "series") {
        list += "<li>" + Anchor("/series/", Str(item, "ShowID"), Str(item, "Title"));
      } else {
        list += "<li>" + EpisodeLink(item);
      }
      list += "</li>\n";
    }
    list += "</ul>\n";
    const int64_t total = Int(group, "Total");
    if (kind.empty()) {
      if (total > static_cast<int64_t>(items.size())) {
        list += "<p>" + A(href(word, 1), "All " + std::to_string(total) + " " + ToLower(label)) +
                "</p>\n";
      }
    } else {
      list +=
          Pager(Int(group, "Page"), Int(group, "Pages"), [&](int64_t n) { return href(word, n); });
    }
    body += Section(std::string(label) + " (" + std::to_string(total) + ")", list);
  }
  if (all == 0) body += "<p>Nothing found.</p>\n";
  return Page("Search", body);
}

std::string StatsPage(const Json& data) {
  const std::string collection = CollectionWord(Member(data, "CollectionType"));
  std::string body =
      CollectionSwitch(Member(data, "Counts"), collection, [](const std::string& word) {
        return word == "owned" ? std::string("/stats") : "/stats?collection=" + word;
      });
  body += "<p class=\"summary\">" + Plural(Int(data, "Titles"), "title", "titles");
  if (Int(data, "Counted") != Int(data, "Titles")) {
    body += ", counted as " + std::to_string(Int(data, "Counted"));
  }
  const Json& running = Member(data, "RunningTime");
  if (const int64_t minutes = Int(running, "Minutes"); minutes > 0) {
    body += ". Running time: " + std::to_string(minutes / 60) + " h " +
            std::to_string(minutes % 60) + " min over " +
            Plural(Int(running, "Titles"), "title", "titles");
  }
  body += ".</p>\n";
  const std::string scope = collection == "all" ? "" : "collection=" + collection + "&";
  const auto bars = [&](const char* list, const char* key, const char* filter, size_t limit) {
    std::vector<Bar> out;
    for (const ShownCount& count : ShownCounts(Member(data, list), key, limit)) {
      std::string link;
      if (filter && !count.others && !count.name.empty()) {
        link = "/titles?" + scope + filter + "=" + EncodeSegment(count.name);
      }
      out.push_back({count.name.empty() ? "(none)" : count.name, static_cast<double>(count.titles),
                     std::to_string(count.titles), link});
    }
    return out;
  };
  std::vector<Bar> decades;
  for (const Json& item : Member(data, "Decades")) {
    decades.push_back(
        {DecadeText(item), static_cast<double>(Int(item, "Titles")), Str(item, "Titles"), ""});
  }
  body += Section("The collection",
                  BarChart("Titles by medium", "Medium", "Titles",
                           bars("Media", "Medium", nullptr, kShownMedia)) +
                      BarChart("Titles by genre", "Genre", "Titles",
                               bars("Genres", "Genre", "genre", kShownGenres)) +
                      BarChart("Titles by decade of production", "Decade", "Titles", decades) +
                      BarChart("Titles by studio", "Studio", "Titles",
                               bars("Studios", "Studio", "studio", kShownStudios)) +
                      BarChart("Titles by country of origin", "Country", "Titles",
                               bars("Countries", "CountryOfOrigin", nullptr, kShownCountries)) +
                      BarChart("Titles by rating", "Rating", "Titles",
                               bars("Ratings", "Rating", nullptr, kShownRatings)));
  std::vector<Bar> regions;
  for (const Json& item : Member(data, "Regions")) {
    regions.push_back({"Region " + Str(item, "Region"), static_cast<double>(Int(item, "Titles")),
                       Str(item, "Titles"), ""});
  }
  body +=
      Section("Discs", BarChart("Titles by region", "Region", "Titles", regions) +
                           BarChart("Titles by audio language", "Language", "Titles",
                                    bars("AudioLanguages", "Language", nullptr, kShownLanguages)));
  // One chart per currency: amounts in different currencies do not add up.
  std::vector<std::string> currencies;
  for (const Json& item : Member(data, "Spending")) {
    const std::string currency = Str(item, "CurrencyID");
    if (std::find(currencies.begin(), currencies.end(), currency) == currencies.end()) {
      currencies.push_back(currency);
    }
  }
  std::string spending;
  for (const std::string& currency : currencies) {
    std::vector<Bar> years;
    for (const Json& item : Member(data, "Spending")) {
      if (Str(item, "CurrencyID") != currency) continue;
      const std::string year = Int(item, "Year") ? Str(item, "Year") : "No date";
      years.push_back({year, Member(item, "Spent").get<double>(),
                       Amount(Member(item, "Spent"), currency) + " (" +
                           Plural(Int(item, "Titles"), "title", "titles") + ")",
                       ""});
    }
    spending += BarChart("Spent in " + (currency.empty() ? std::string("no currency") : currency) +
                             " per year of purchase",
                         "Year", "Spent", years);
  }
  // Amounts in different currencies are not compared: each is given in its own.
  std::string worth;
  for (const Json& item : Member(data, "Value")) {
    worth += (worth.empty() ? "" : ", ") + Amount(Member(item, "Value"), Str(item, "CurrencyID")) +
             " (" + Plural(Int(item, "Titles"), "title", "titles") + ")";
  }
  if (!worth.empty()) {
    spending += "<p class=\"summary\">Value at retail prices: " + Escape(worth) + ".</p>\n";
  }
  body += Section("Spending and value", spending);
  std::vector<Bar> people;
  for (const Json& person : Member(data, "People")) {
    const std::string name = Str(person, "CommonName");
    const int64_t titles = Int(person, "Titles"), episodes = Int(person, "Episodes");
    std::string text = Plural(titles, "title", "titles");
    if (episodes) text += ", " + Plural(episodes, "episode", "episodes");
    people.push_back({name, static_cast<double>(titles + episodes), text, Link("/person/", name)});
  }
  body += Section("Most credited people",
                  BarChart("People by titles and episodes, across all their names", "Person",
                           "Credited in", people));
  const Json& loans = Member(data, "Loans");
  std::string loan_html;
  for (const auto& [list, caption] :
       {std::pair{"Overdue", "Overdue"}, std::pair{"Due", "On loan"}}) {
    std::string rows;
    for (const Json& loan : Member(loans, list)) {
      const std::string when = DueText(loan);
      rows += "<tr><td>" + Anchor("/title/", Str(loan, "ProfileID"), Str(loan, "Title")) +
              "</td><td>" + Escape(Str(loan, "UserID")) + "</td><td>" + Escape(when) +
              "</td></tr>\n";
    }
    if (rows.empty()) continue;
    loan_html += "<div class=\"scroll\"><table>\n<caption>" + Escape(caption) +
                 "</caption>\n<thead><tr><th scope=\"col\">Title</th><th scope=\"col\">Lent to"
                 "</th><th scope=\"col\">Due</th></tr></thead>\n<tbody>\n" +
                 rows + "</tbody>\n</table></div>\n";
  }
  body += Section("Loans", loan_html.empty() ? "<p>Nothing is on loan.</p>\n" : loan_html);
  return Page("Statistics", body);
}

std::string NotFoundPage(const std::string& path) {
  // The address's last part is most often what the reader was after: a name, a title.
  std::string words = path.substr(path.find_last_of('/') + 1);
  for (char& c : words) {
    if (c == '_' || c == '+') c = ' ';
  }
  const auto cut = [](std::string text, size_t limit) {
    if (text.size() <= limit) return text;
    while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80) --limit;
    return text.substr(0, limit);
  };
  return Page("Not found", "<p>There is nothing in the catalogue at <code>" +
                               Escape(cut(path, 200)) + "</code>. Search for it instead?</p>\n" +
                               SearchForm(Trim(cut(words, 100))) +
                               "<p><a href=\"/\">Back to the catalogue</a></p>\n");
}

std::string MessagePage(const std::string& title, const std::string& message) {
  return Page(title,
              "<p>" + Escape(message) + "</p>\n<p><a href=\"/\">Back to the catalogue</a></p>\n");
}

}  // namespace zel::web
