// The pages of the titles: the home page, the title list and a title's own page.
#include <algorithm>
#include <utility>
#include <vector>

#include "frame/text.h"
#include "web/edit_pages.h"
#include "web/html.h"
#include "web/page_parts.h"
#include "web/pages.h"
#include "web/text.h"

namespace zel::web {
namespace {

// The title list's own address for its current choices with some of them changed.
class TitlesAddress {
 public:
  explicit TitlesAddress(const Json& filter) {
    const auto set = [&](const char* name, std::string value) {
      values_.emplace_back(name, value);
    };
    set("q", Str(filter, "Text"));
    set("genre", Str(filter, "Genre"));
    set("medium", Str(filter, "Medium"));
    set("year", Int(filter, "ProductionYear") ? Str(filter, "ProductionYear") : "");
    set("tag", Str(filter, "Tag"));
    set("location", Str(filter, "Location"));
    set("studio", Str(filter, "Studio"));
    set("person", Str(filter, "Person"));
    const Json& loan = Member(filter, "OnLoan");
    set("loan", loan.is_boolean() ? (loan.get<bool>() ? "yes" : "no") : "");
    const std::string collection = CollectionWord(Member(filter, "CollectionType"));
    set("collection", collection == "owned" ? "" : collection);
    const std::string sort = Str(filter, "Sort");
    set("sort", sort == "title" ? "" : sort);
    const bool natural_descending = sort != "title";
    const bool descending = Str(filter, "Order") == "desc";
    set("order", descending == natural_descending ? "" : Str(filter, "Order"));
    set("view", Str(filter, "View") == "grid" ? "grid" : "");
    set("parts", Bool(filter, "PartsAsTitles") ? "titles" : "");
  }
  // With `name` set to `value` (empty: left out) and the page and letter dropped unless given.
  std::string With(std::vector<std::pair<std::string, std::string>> changes) const {
    auto values = values_;
    for (auto& [name, value] : changes) {
      bool found = false;
      for (auto& [known, old] : values) {
        if (known == name) {
          old = value;
          found = true;
        }
      }
      if (!found) values.emplace_back(name, value);
    }
    return Address("/titles", values);
  }

 private:
  std::vector<std::pair<std::string, std::string>> values_;
};

// Credits listed before the rest of a long list is folded away, and the jobs of the crew in brief.
constexpr size_t kCreditsShown = 15;
constexpr size_t kCrewJobsShown = 8;

// A credit list: all of it when short, else its first `shown` entries and the others folded away
// under "The other 169 cast members" (with `shown` 0, all of it under "68 crew members").
std::string Folded(const Json& credits, bool cast, std::string_view caption, std::string_view one,
                   std::string_view many, size_t shown) {
  const auto count = [](Json::const_iterator begin, Json::const_iterator end) {
    return static_cast<int64_t>(
        std::count_if(begin, end, [](const Json& credit) { return !credit.contains("Divider"); }));
  };
  if (count(credits.begin(), credits.end()) == 0) return {};
  if (shown > 0 && credits.size() <= shown + 5) return CreditsTable(credits, cast, caption);
  const auto split = credits.begin() + static_cast<std::ptrdiff_t>(shown);
  const int64_t rest = count(split, credits.end());
  const std::string label =
      shown ? "The other " + Plural(rest, one, many) : Plural(rest, one, many);
  return (shown ? CreditsTable(Json(credits.begin(), split), cast, caption) : std::string()) +
         "<details class=\"credits\"><summary>" + Escape(label) + "</summary>\n" +
         CreditsTable(Json(split, credits.end()), cast, caption) + "</details>\n";
}

}  // namespace

std::string HomePage(const Json& data) {
  const Json& counts = Member(data, "Counts");
  std::string body = SearchForm("");
  body += "<ul class=\"counts\" aria-label=\"The catalogue in numbers\">\n";
  const auto count = [&](const char* key, const char* label, const std::string& href) {
    const int64_t n = Int(counts, key);
    const std::string figure = "<strong>" + std::to_string(n) + "</strong> " + label;
    body += "<li>" +
            (href.empty() ? figure : "<a href=\"" + Escape(href) + "\">" + figure + "</a>") +
            "</li>\n";
  };
  count("Owned", "Owned", "/titles");
  if (Int(counts, "OnOrder")) count("OnOrder", "On order", "/titles?collection=onorder");
  count("WishList", "Wish list", "/titles?collection=wishlist");
  if (Int(counts, "Other")) count("Other", "Other", "/titles?collection=other");
  count("People", "People", "/people");
  count("Series", "Series", "/series");
  count("Episodes", "Episodes", "");
  count("Awards", "Awards", "/awards");
  body += "</ul>\n";
  const Json& recent = Member(data, "Recent");
  if (!recent.empty()) body += Section("Added last", CoverGrid(recent));
  body += "<p><a href=\"/stats\">Statistics of the collection</a></p>\n";
  return Page("Catalogue", body);
}

namespace {

// A column of the list table: its heading, the sort its heading switches to (empty: none), whether
// phones leave it out, and its cell.
struct ListColumn {
  const char* heading;
  const char* sort;
  bool optional;
  std::string (*cell)(const Json& title);
};

std::string Minutes(const Json& title) {
  return Int(title, "RunningTime") ? Str(title, "RunningTime") + " min" : std::string();
}

const ListColumn kListColumns[] = {
    {"Year", "year", false, [](const Json& t) { return Escape(YearText(t, "ProductionYear")); }},
    {"Medium", "medium", true, [](const Json& t) { return Escape(Str(t, "Medium")); }},
    {"Running time", "runtime", true, [](const Json& t) { return Escape(Minutes(t)); }},
    {"Rating", "rating", true,
     [](const Json& t) {
       const Json& review = Member(t, "Review");
       return review.is_object() ? Escape(Str(review, "Film") + "/10") : std::string();
     }},
    {"Director", "director", true, [](const Json& t) { return Escape(Str(t, "Director")); }},
    {"Purchased", "purchased", true, [](const Json& t) { return Escape(Str(t, "PurchaseDate")); }},
    {"Price", "price", false,
     [](const Json& t) { return Escape(Amount(Member(t, "Price"), Str(t, "CurrencyID"))); }},
};

// The wish list shows what a collector plans with instead of what they paid.
const ListColumn kWishListColumns[] = {
    {"Priority", "priority", false,
     [](const Json& t) {
       return Int(t, "WishListPriority") ? Str(t, "WishListPriority") : std::string();
     }},
    {"Retail price", "retail", false,
     [](const Json& t) {
       const Json& srp = Member(t, "SRP");
       return srp.is_object() ? Escape(Amount(Member(srp, "Value"), Str(srp, "CurrencyID")))
                              : std::string();
     }},
};

}  // namespace

std::string TitlesPage(const Json& data) {
  const Json& filter = Member(data, "Filter");
  const Json& choices = Member(data, "Choices");
  const TitlesAddress address(filter);
  const std::string collection = CollectionWord(Member(filter, "CollectionType"));
  const std::string sort = Str(filter, "Sort"), order = Str(filter, "Order");
  const bool grid = Str(filter, "View") == "grid";
  const bool parts = Bool(filter, "PartsAsTitles");

  std::string body =
      "<div class=\"bar\">\n" +
      CollectionSwitch(Member(data, "Counts"), collection,
                       [&](const std::string& word) {
                         return address.With({{"collection", word == "owned" ? "" : word}});
                       }) +
      "<nav class=\"switch\" aria-label=\"View\">" +
      A(address.With({{"view", ""}}), "List", !grid) +
      A(address.With({{"view", "grid"}}), "Covers", grid) + "</nav>\n" +
      "<nav class=\"switch\" aria-label=\"Box sets\">" +
      A(address.With({{"parts", ""}}), "Box sets once", !parts) +
      A(address.With({{"parts", "titles"}}), "Parts as titles", parts) + "</nav>\n</div>\n";

  // One compact bar: the filters people use most, the rarer ones folded away until asked for
  // (or set).
  body +=
      "<form class=\"filters\" action=\"/titles\" method=\"get\" aria-label=\"Filter and sort "
      "titles\">\n<input type=\"search\" name=\"q\" maxlength=\"200\" placeholder=\"Title\" "
      "aria-label=\"Title\" value=\"" +
      Escape(Str(filter, "Text")) + "\">\n";
  body +=
      CompactSelect("Genre", "Any genre", "genre", Member(choices, "Genres"), Str(filter, "Genre"));
  body += CompactSelect("Medium", "Any medium", "medium", Member(choices, "Media"),
                        Str(filter, "Medium"));
  body += "<select name=\"sort\" aria-label=\"Sort by\">";
  for (const auto& [word, label] :
       {std::pair{"title", "By title"}, std::pair{"year", "By year"},
        std::pair{"added", "By date added"}, std::pair{"edited", "By date edited"},
        std::pair{"purchased", "By purchase date"}, std::pair{"runtime", "By running time"},
        std::pair{"rating", "By rating (review)"}, std::pair{"price", "By price paid"},
        std::pair{"medium", "By medium"}, std::pair{"director", "By director"},
        std::pair{"priority", "By priority"}, std::pair{"retail", "By retail price"}}) {
    body += Option(word, sort, label);
  }
  body += "</select>\n<select name=\"order\" aria-label=\"Order\">" +
          Option("asc", order, "ascending") + Option("desc", order, "descending") + "</select>\n";
  const int64_t year = Int(filter, "ProductionYear");
  const Json& loan = Member(filter, "OnLoan");
  const std::string loan_word = loan.is_boolean() ? (loan.get<bool>() ? "yes" : "no") : "";
  const bool rarer = year || !Str(filter, "Tag").empty() || !Str(filter, "Location").empty() ||
                     !Str(filter, "Studio").empty() || !Str(filter, "Person").empty() ||
                     !loan_word.empty();
  std::string more =
      "<label>Year<input type=\"number\" name=\"year\" min=\"1\" max=\"9999\" value=\"" +
      (year ? std::to_string(year) : std::string()) + "\"></label>\n";
  more += Select("Tag", "tag", Member(choices, "Tags"), Str(filter, "Tag"));
  more += Select("Location", "location", Member(choices, "Locations"), Str(filter, "Location"));
  more += Select("Studio", "studio", Member(choices, "Studios"), Str(filter, "Studio"));
  more += "<label>Person<input type=\"search\" name=\"person\" maxlength=\"200\" value=\"" +
          Escape(Str(filter, "Person")) + "\"></label>\n";
  more += "<label>Loan<select name=\"loan\">" + Option("", loan_word, "any") +
          Option("yes", loan_word, "on loan") + Option("no", loan_word, "not on loan") +
          "</select></label>\n";
  body += std::string("<details class=\"more\"") + (rarer ? " open" : "") +
          "><summary>More filters</summary>\n<div>\n" + more + "</div>\n</details>\n";
  if (collection != "owned") {
    body += "<input type=\"hidden\" name=\"collection\" value=\"" + Escape(collection) + "\">\n";
  }
  if (grid) body += "<input type=\"hidden\" name=\"view\" value=\"grid\">\n";
  if (parts) body += "<input type=\"hidden\" name=\"parts\" value=\"titles\">\n";
  body += "<button type=\"submit\">Show</button>\n</form>\n";

  const int64_t total = Int(data, "Total"), page = Int(data, "Page"), pages = Int(data, "Pages");
  body += "<p class=\"summary\">" + Plural(total, "title", "titles") + ", page " +
          std::to_string(page) + " of " + std::to_string(pages) + ".</p>\n";
  const Json& letters = Member(data, "Letters");
  if (!letters.empty()) {
    body += "<nav class=\"letters\" aria-label=\"Jump to a letter\">";
    for (const Json& letter : letters) {
      const std::string text = letter.get<std::string>();
      body += A(address.With({{"letter", text}}), text);
    }
    body += "</nav>\n";
  }
  const Json& titles = Member(data, "Titles");
  if (grid) {
    body += CoverGrid(titles);
  } else if (!titles.empty()) {
    // A table whose headings sort it; the heading of the order shown turns it round.
    const auto heading = [&](const char* label, const char* by, bool optional) {
      std::string th = std::string("<th scope=\"col\"") + (optional ? " class=\"optional\"" : "");
      if (by == sort)
        th += std::string(" aria-sort=\"") + (order == "asc" ? "ascending" : "descending") + "\"";
      const std::string flip = by == sort ? (order == "asc" ? "desc" : "asc") : "";
      return th + ">" +
             A(address.With({{"sort", by == std::string("title") ? "" : by}, {"order", flip}}),
               label, by == sort) +
             "</th>";
    };
    const bool wished = collection == "wishlist";
    std::string table =
        "<div class=\"scroll\"><table class=\"titles\">\n<caption "
        "class=\"sr\">Titles</caption>\n<thead><tr><th scope=\"col\"><span "
        "class=\"sr\">Cover</span></th>" +
        heading("Title", "title", false);
    for (const ListColumn& column : kListColumns) {
      if (wished &&
          (column.sort == std::string("purchased") || column.sort == std::string("price")))
        continue;
      table += heading(column.heading, column.sort, column.optional);
    }
    if (wished) {
      for (const ListColumn& column : kWishListColumns)
        table += heading(column.heading, column.sort, column.optional);
    }
    table += "</tr></thead>\n<tbody>\n";
    for (const Json& title : titles) {
      table += "<tr><td class=\"thumb\"><a href=\"" +
               Escape(Link("/title/", Str(title, "ProfileID"))) +
               "\" tabindex=\"-1\" aria-hidden=\"true\">" + Thumbnail(title) + "</a></td><td>" +
               Anchor("/title/", Str(title, "ProfileID"), Str(title, "Title")) + TitleMarks(title) +
               "</td>";
      const auto cell = [&](const ListColumn& column) {
        table += std::string("<td") + (column.optional ? " class=\"optional\"" : "") + ">" +
                 column.cell(title) + "</td>";
      };
      for (const ListColumn& column : kListColumns) {
        if (wished &&
            (column.sort == std::string("purchased") || column.sort == std::string("price")))
          continue;
        cell(column);
      }
      if (wished) {
        for (const ListColumn& column : kWishListColumns) cell(column);
      }
      table += "</tr>\n";
    }
    body += table + "</tbody>\n</table></div>\n";
  }
  if (titles.empty()) body += "<p>No titles match.</p>\n";
  body += Pager(page, pages, [&](int64_t n) {
    return address.With({{"page", n == 1 ? "" : std::to_string(n)}});
  });
  return Page("Titles", body, true);
}

std::string TitlePage(const Json& data) {
  // First what a collector reads first: the covers, the facts, the overview.
  const Json& covers = Member(data, "Covers");
  std::string cover_html;
  for (const auto& [side, label] :
       {std::pair{"Front", "Front cover"}, std::pair{"Back", "Back cover"}}) {
    const std::string link = Str(covers, side);
    if (!link.empty()) {
      cover_html += "<a href=\"" + Escape(link) + "\"><img src=\"" + Escape(link) + "\" alt=\"" +
                    Escape(label) + "\"></a>";
    } else if (std::string(side) == "Front") {
      cover_html += CoverPlaceholder(Str(data, "Title"), false);
    }
  }
  std::string facts;
  facts += TextField("Year", YearText(data, "ProductionYear"));
  facts += TextField("Medium", Str(data, "Medium"));
  facts += TextField("Rating", RatingText(data));
  if (Int(data, "RunningTime")) {
    facts += TextField("Running time", std::to_string(Int(data, "RunningTime")) + " minutes");
  }
  std::string directors;
  for (const std::string& name : CrewNames(Member(data, "Crew"), "Director")) {
    directors += (directors.empty() ? "" : ", ") + Anchor("/person/", name, name);
  }
  facts += Field("Director", directors);
  std::string genres;
  for (const Json& genre : Member(data, "Genres")) {
    const std::string name = genre.get<std::string>();
    genres += (genres.empty() ? "" : ", ") + Anchor("/titles?collection=all&genre=", name, name);
  }
  facts += Field("Genres", genres);
  facts += TextField("Original title", Str(data, "OriginalTitle") != Str(data, "Title")
                                           ? Str(data, "OriginalTitle")
                                           : std::string());
  facts += TextField("Edition", Str(data, "Description"));
  facts += TextField("Country of origin", Str(data, "CountryOfOrigin"));
  facts += TextField("Released", Str(data, "ReleaseDate"));
  facts += TextField("Regions", RegionsText(Member(data, "Regions")));
  if (!Member(data, "ParentProfile").is_null()) {
    facts += Field("Part of", TitleLink(Member(data, "ParentProfile")));
  }
  // Where the disc is and what it cost belong with the facts, not at the end of the page.
  const Json& loan = Member(data, "LoanInfo");
  if (!loan.is_null()) facts += TextField("On loan", LoanText(loan));
  const Json& purchase = Member(data, "PurchaseInfo");
  if (!purchase.is_null()) facts += TextField("Purchased", PurchaseText(purchase));
  if (Int(data, "WishListPriority") && Str(data, "CollectionType") == "WishList") {
    facts += TextField("Wish list priority", Str(data, "WishListPriority"));
  }
  const std::string type = CollectionMark(Str(data, "CollectionType"));
  std::string marks = type.empty() ? std::string() : Mark(type);
  if (!Member(data, "LoanInfo").is_null()) marks += Mark("on loan");
  // The note of the last change (web/edit_pages.h); nothing on a read-only server.
  std::string body = EditNote(data);
  body += "<div class=\"headline\">\n<div class=\"covers\">" + cover_html + "</div>\n" +
          "<div class=\"facts\">\n" + (marks.empty() ? std::string() : "<p>" + marks + "</p>\n") +
          "<dl class=\"fields\">\n" + facts + "</dl>\n";
  if (!Str(data, "Overview").empty()) {
    body += "<div class=\"overview\">\n" + RichText(Str(data, "Overview")) + "</div>\n";
  }
  body += "</div>\n</div>\n";

  // The crew in brief (who did what), then the cast; long lists show their beginning and fold
  // the rest away, so that a cast of two hundred does not bury the rest of the page.
  const Json& crew = Member(data, "Crew");
  const Json& cast = Member(data, "Cast");
  std::string summary;
  std::vector<std::string> jobs;
  for (const Json& credit : crew) {
    const std::string job = Str(credit, "Role");
    if (credit.contains("Divider") || job.empty()) continue;
    if (std::find_if(jobs.begin(), jobs.end(), [&](const std::string& known) {
          return EqualsIgnoreCase(known, job);
        }) == jobs.end()) {
      jobs.push_back(job);
    }
  }
  for (size_t i = 0; i < jobs.size() && i < kCrewJobsShown; ++i) {
    std::string names;
    for (const std::string& name : CrewNames(crew, jobs[i])) {
      names += (names.empty() ? "" : ", ") + Anchor("/person/", name, name);
    }
    summary += Field(jobs[i], names);
  }
  if (!summary.empty()) summary = "<dl class=\"fields crew\">\n" + summary + "</dl>\n";
  body += Section("Crew", summary + Folded(crew, false, "Crew in credit order", "crew member",
                                           "crew members", 0));
  body += Section("Cast", Folded(cast, true, "Cast in credit order", "cast member", "cast members",
                                 kCreditsShown));

  std::string children;
  for (const Json& child : Member(data, "ChildProfiles")) {
    children += "<li>" + TitleLink(child) + "</li>\n";
  }
  for (const Json& missing : Member(data, "MissingChildProfiles")) {
    children += "<li>" + Escape(ShownId(missing.get<std::string>())) +
                Mark("missing from the catalogue") + "</li>\n";
  }
  if (!children.empty()) body += Section("In this box set", "<ul>\n" + children + "</ul>\n");
  std::string episodes, series;
  std::vector<std::string> shows;
  for (const Json& episode : Member(data, "Episodes")) {
    episodes += "<li>" + EpisodeLink(episode) + "</li>\n";
    const std::string show = Str(episode, "ShowID");
    if (std::find(shows.begin(), shows.end(), show) != shows.end()) continue;
    shows.push_back(show);
    const std::string name = Str(episode, "SeriesTitle");
    series += (series.empty() ? "" : ", ") + Anchor("/series/", show, name.empty() ? show : name);
  }
  if (!episodes.empty()) {
    body += Section("Episodes on these discs",
                    "<p>Series: " + series + "</p>\n<ul>\n" + episodes + "</ul>\n");
  }

  std::string discs;
  for (const Json& disc : Member(data, "Discs")) {
    std::string notes;
    for (const std::string& mark : DiscMarks(disc)) notes += Mark(mark);
    discs += "<tr><td>" + Escape(Str(disc, "Number")) + "</td><td>" +
             Escape(DiscSideText(disc, false)) + "</td><td>" + Escape(DiscSideText(disc, true)) +
             "</td><td>" + Escape(DiscPlaceText(disc)) + "</td><td>" + notes + "</td></tr>\n";
  }
  if (!discs.empty()) {
    body += Section("Discs",
                    "<div class=\"scroll\"><table>\n<thead><tr><th scope=\"col\">No.</th>"
                    "<th scope=\"col\">Side A</th><th scope=\"col\">Side B</th>"
                    "<th scope=\"col\">Location</th><th scope=\"col\">Notes</th></tr></thead>\n"
                    "<tbody>\n" +
                        discs + "</tbody>\n</table></div>\n");
  }

  std::string format = TextField("Video", VideoText(Member(data, "Video")));
  std::string audio;
  for (const Json& track : Member(data, "Audio"))
    audio += "<li>" + Escape(AudioText(track)) + "</li>";
  if (!audio.empty()) format += Field("Audio", "<ul class=\"plain\">" + audio + "</ul>");
  format += TextField("Subtitles", Joined(Member(data, "Subtitles")));
  format += TextField("Features", Joined(Member(data, "Features")));
  std::string studios;
  for (const Json& studio : Member(data, "Studios")) {
    const std::string name = Str(studio, "Name");
    studios +=
        "<li>" + Anchor("/titles?collection=all&studio=", name, name) +
        (Str(studio, "StudioType").empty() ? std::string() : Mark(Str(studio, "StudioType"))) +
        "</li>";
  }
  if (!studios.empty()) format += Field("Studios", "<ul class=\"plain\">" + studios + "</ul>");
  format += TextField("Review", ReviewText(Member(data, "Review")));
  format += TextField("Case", Str(data, "CaseType"));
  if (!format.empty()) body += Section("Formats", "<dl class=\"fields\">\n" + format + "</dl>\n");

  body += Section("Awards", AwardsTable(Member(data, "Awards"), false));

  std::string owner;
  const Json& srp = Member(data, "SRP");
  if (!srp.is_null())
    owner += TextField("Retail price", Amount(srp["Value"], Str(srp, "CurrencyID")));
  std::string tags;
  for (const Json& tag : Member(data, "Tags")) {
    const std::string name = TagText(tag);
    tags += "<li>" + Anchor("/titles?collection=all&tag=", name, name) + "</li>";
  }
  if (!tags.empty()) owner += Field("Tags", "<ul class=\"plain\">" + tags + "</ul>");
  std::string events;
  for (const Json& event : Member(data, "Events")) {
    events += "<li>" + Escape(EventText(event)) + "</li>";
  }
  if (!events.empty()) owner += Field("Events", "<ul class=\"plain\">" + events + "</ul>");
  owner += TextField("Collection number", Str(data, "CollectionNumber"));
  owner += TextField("Counts as", Int(data, "CountAs") > 1 ? Str(data, "CountAs") : "");
  if (!owner.empty()) {
    body += Section("In the collection", "<dl class=\"fields\">\n" + owner + "</dl>\n");
  }
  if (!Str(data, "Notes").empty()) body += Section("Notes", RichText(Str(data, "Notes")));
  if (!Str(data, "EasterEggs").empty()) {
    body += Section("Easter eggs", RichText(Str(data, "EasterEggs")));
  }

  body += EditForms(data);  // the forms of an editing server (web/edit_pages.h)

  // Last, the catalogue's own bookkeeping.
  std::string details;
  details += TextField("Sort title", Str(data, "SortTitle"));
  details += TextField("Original sort title", Str(data, "OriginalSortTitle"));
  details += TextField("UPC", Str(data, "UPC"));
  details += TextField("Locality", Str(data, "Locality"));
  details += TextField("Data source", Str(data, "DataSource"));
  details += TextField("Profile time stamp", Str(data, "ProfileTimeStamp"));
  details += TextField("Last edited", Str(data, "LastEdited"));
  details += TextField("Profile ID", Str(data, "ProfileID"));
  body += Section("Catalogue details", "<dl class=\"fields\">\n" + details + "</dl>\n");
  return Page(Str(data, "Title"), body);
}
}  // namespace zel::web
