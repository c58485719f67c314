// The pages of the titles: the home page, the title list and a title's own page.
#include <utility>
#include <vector>

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

std::string TitlesPage(const Json& data) {
  const Json& filter = Member(data, "Filter");
  const Json& choices = Member(data, "Choices");
  const TitlesAddress address(filter);
  const std::string collection = CollectionWord(Member(filter, "CollectionType"));
  const std::string sort = Str(filter, "Sort"), order = Str(filter, "Order");
  const bool grid = Str(filter, "View") == "grid";

  std::string body =
      CollectionSwitch(Member(data, "Counts"), collection, [&](const std::string& word) {
        return address.With({{"collection", word == "owned" ? "" : word}});
      });
  body += "<nav class=\"switch\" aria-label=\"View\">" +
          A(address.With({{"view", ""}}), "List", !grid) +
          A(address.With({{"view", "grid"}}), "Covers", grid) + "</nav>\n";

  body +=
      "<form action=\"/titles\" method=\"get\" aria-label=\"Filter and sort titles\">\n"
      "<label>Title<input type=\"search\" name=\"q\" maxlength=\"200\" value=\"" +
      Escape(Str(filter, "Text")) + "\"></label>\n";
  body += Select("Genre", "genre", Member(choices, "Genres"), Str(filter, "Genre"));
  body += Select("Medium", "medium", Member(choices, "Media"), Str(filter, "Medium"));
  const int64_t year = Int(filter, "ProductionYear");
  body += "<label>Year<input type=\"number\" name=\"year\" min=\"1\" max=\"9999\" value=\"" +
          (year ? std::to_string(year) : std::string()) + "\"></label>\n";
  body += Select("Tag", "tag", Member(choices, "Tags"), Str(filter, "Tag"));
  body += Select("Location", "location", Member(choices, "Locations"), Str(filter, "Location"));
  body += Select("Studio", "studio", Member(choices, "Studios"), Str(filter, "Studio"));
  body += "<label>Person<input type=\"search\" name=\"person\" maxlength=\"200\" value=\"" +
          Escape(Str(filter, "Person")) + "\"></label>\n";
  const Json& loan = Member(filter, "OnLoan");
  const std::string loan_word = loan.is_boolean() ? (loan.get<bool>() ? "yes" : "no") : "";
  body += "<label>Loan<select name=\"loan\">" + Option("", loan_word, "any") +
          Option("yes", loan_word, "on loan") + Option("no", loan_word, "not on loan") +
          "</select></label>\n";
  body += "<label>Sort by<select name=\"sort\">";
  for (const auto& [word, label] :
       {std::pair{"title", "title"}, std::pair{"year", "year"}, std::pair{"added", "date added"},
        std::pair{"edited", "date edited"}, std::pair{"purchased", "purchase date"},
        std::pair{"runtime", "running time"}, std::pair{"rating", "rating (review)"},
        std::pair{"price", "price paid"}}) {
    body += Option(word, sort, label);
  }
  body += "</select></label>\n<label>Order<select name=\"order\">" +
          Option("asc", order, "ascending") + Option("desc", order, "descending") +
          "</select></label>\n";
  if (collection != "owned") {
    body += "<input type=\"hidden\" name=\"collection\" value=\"" + Escape(collection) + "\">\n";
  }
  if (grid) body += "<input type=\"hidden\" name=\"view\" value=\"grid\">\n";
  body += "<button type=\"submit\">Show</button>\n</form>\n";

  const int64_t total = Int(data, "Total"), page = Int(data, "Page"), pages = Int(data, "Pages");
  body += "<p>" + Plural(total, "title", "titles") + ", page " + std::to_string(page) + " of " +
          std::to_string(pages) + ".</p>\n";
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
  } else {
    std::string list = "<ul class=\"plain\">\n";
    for (const Json& title : titles) {
      list += TitleItem(title);
      // The value the list is sorted by, when it is not the title.
      std::string value;
      if (sort == "added") value = Str(title, "ProfileTimeStamp");
      if (sort == "edited") value = Str(title, "LastEdited");
      if (sort == "purchased") value = Str(title, "PurchaseDate");
      if (sort == "runtime" && Int(title, "RunningTime")) {
        value = Str(title, "RunningTime") + " min";
      }
      if (sort == "rating" && Member(title, "Review").is_object()) {
        value = "review " + Str(Member(title, "Review"), "Film") + "/10";
      }
      if (sort == "price") value = Amount(Member(title, "Price"), Str(title, "CurrencyID"));
      if (!value.empty()) list += " <span class=\"muted\">" + Escape(value) + "</span>";
      list += "</li>\n";
    }
    if (!titles.empty()) body += list + "</ul>\n";
  }
  if (titles.empty()) body += "<p>No titles match.</p>\n";
  body += Pager(page, pages, [&](int64_t n) {
    return address.With({{"page", n == 1 ? "" : std::to_string(n)}});
  });
  return Page("Titles", body);
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
  const std::string type = CollectionMark(Str(data, "CollectionType"));
  std::string marks = type.empty() ? std::string() : Mark(type);
  if (!Member(data, "LoanInfo").is_null()) marks += Mark("on loan");
  std::string body = "<div class=\"headline\">\n<div class=\"covers\">" + cover_html + "</div>\n" +
                     "<div class=\"facts\">\n" +
                     (marks.empty() ? std::string() : "<p>" + marks + "</p>\n") +
                     "<dl class=\"fields\">\n" + facts + "</dl>\n";
  if (!Str(data, "Overview").empty()) {
    body += "<div class=\"overview\">\n" + RichText(Str(data, "Overview")) + "</div>\n";
  }
  body += "</div>\n</div>\n";

  body += Section("Cast", CreditsTable(Member(data, "Cast"), true, "Cast in credit order"));
  body += Section("Crew", CreditsTable(Member(data, "Crew"), false, "Crew in credit order"));

  std::string children;
  for (const Json& child : Member(data, "ChildProfiles")) {
    children += "<li>" + TitleLink(child) + "</li>\n";
  }
  for (const Json& missing : Member(data, "MissingChildProfiles")) {
    children += "<li>" + Escape(ShownId(missing.get<std::string>())) +
                Mark("missing from the catalogue") + "</li>\n";
  }
  if (!children.empty()) body += Section("In this box set", "<ul>\n" + children + "</ul>\n");
  std::string episodes;
  for (const Json& episode : Member(data, "Episodes")) {
    episodes += "<li>" + EpisodeLink(episode) + "</li>\n";
  }
  if (!episodes.empty()) {
    body += Section("Episodes on these discs", "<ul>\n" + episodes + "</ul>\n");
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
  const Json& purchase = Member(data, "PurchaseInfo");
  if (!purchase.is_null()) {
    owner += TextField("Price paid", Amount(purchase["Price"], Str(purchase, "CurrencyID")));
    owner += TextField("Purchased", Str(purchase, "PurchaseDate"));
    owner += TextField("Purchased at", Str(purchase, "PurchasePlaceName"));
  }
  const Json& loan = Member(data, "LoanInfo");
  if (!loan.is_null()) owner += TextField("On loan", LoanText(loan));
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
  if (Int(data, "WishListPriority")) {
    owner += TextField("Wish list priority", Str(data, "WishListPriority"));
  }
  owner += TextField("Counts as", Int(data, "CountAs") > 1 ? Str(data, "CountAs") : "");
  if (!owner.empty()) {
    body += Section("In the collection", "<dl class=\"fields\">\n" + owner + "</dl>\n");
  }
  if (!Str(data, "Notes").empty()) body += Section("Notes", RichText(Str(data, "Notes")));
  if (!Str(data, "EasterEggs").empty()) {
    body += Section("Easter eggs", RichText(Str(data, "EasterEggs")));
  }

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
