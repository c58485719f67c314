#include "serve_pages.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

#include "frame/text.h"
#include "serve_charts.h"
#include "serve_html.h"
#include "serve_text.h"

namespace zel::serve {
namespace {

std::string Mark(std::string_view text) {
  return " <span class=\"mark\">" + Escape(text) + "</span>";
}

std::string Marks(const Json& credit) {
  std::string marks;
  for (const std::string& mark : CreditMarks(credit)) marks += Mark(mark);
  return marks;
}

// The marks of a title that is not simply on the shelf: ordered, wished for, lent out.
std::string TitleMarks(const Json& title) {
  const std::string type = CollectionMark(Str(title, "CollectionType"));
  std::string marks = type.empty() ? std::string() : Mark(type);
  if (Bool(title, "OnLoan")) marks += Mark("on loan");
  return marks;
}

std::string TitleLink(const Json& title) {
  std::string link = Anchor("/title/", Str(title, "ProfileID"), Str(title, "Title"));
  const std::string year = YearText(title, "ProductionYear");
  if (!year.empty()) link += " <span class=\"muted\">(" + Escape(year) + ")</span>";
  return link;
}

// "Series title – 1x03 Episode title", linked to the episode on its series page.
std::string EpisodeLink(const Json& episode) {
  return "<a href=\"" +
         Escape(Link("/series/", Str(episode, "ShowID")) + "#ep-" +
                EncodeSegment(Str(episode, "EpisodeID"))) +
         "\">" + Escape(EpisodeLabel(episode)) + "</a>";
}

std::string Field(std::string_view label, const std::string& value_html) {
  if (value_html.empty()) return {};
  return "<dt>" + Escape(label) + "</dt><dd>" + value_html + "</dd>\n";
}

std::string TextField(std::string_view label, const std::string& text) {
  return text.empty() ? std::string() : Field(label, Escape(text));
}

std::string Section(std::string_view heading, const std::string& body) {
  if (body.empty()) return {};
  return "<section>\n<h2>" + Escape(heading) + "</h2>\n" + body + "</section>\n";
}

// An address with query values, each encoded; empty values are left out.
std::string Address(std::string_view path,
                    const std::vector<std::pair<std::string, std::string>>& values) {
  std::string address(path);
  char separator = '?';
  for (const auto& [name, value] : values) {
    if (value.empty()) continue;
    address += separator + name + "=" + EncodeSegment(value);
    separator = '&';
  }
  return address;
}

std::string A(const std::string& href, std::string_view text, bool current = false) {
  return "<a href=\"" + Escape(href) + "\"" + (current ? " aria-current=\"page\"" : "") + ">" +
         Escape(text) + "</a>";
}

// Numbered page links: the first, the last and those near the current one. `href(n)` is the
// address of page n.
template <class Href>
std::string Pager(int64_t page, int64_t pages, Href href) {
  if (pages <= 1) return {};
  std::string out = "<nav class=\"pages\" aria-label=\"Pages\">";
  if (page > 1) out += "<a rel=\"prev\" href=\"" + Escape(href(page - 1)) + "\">Previous</a>";
  int64_t last_shown = 0;
  for (int64_t n = 1; n <= pages; ++n) {
    if (n != 1 && n != pages && (n < page - 2 || n > page + 2)) continue;
    if (n > last_shown + 1) out += "<span class=\"gap\">\xE2\x80\xA6</span>";
    out += A(href(n), std::to_string(n), n == page);
    last_shown = n;
  }
  if (page < pages) out += "<a rel=\"next\" href=\"" + Escape(href(page + 1)) + "\">Next</a>";
  return out + "</nav>\n";
}

// A credit list in credit order; dividers open a new group with their caption as its heading.
std::string CreditsTable(const Json& credits, bool cast, std::string_view caption) {
  if (credits.empty()) return {};
  std::string out = "<div class=\"scroll\"><table class=\"credits\">\n<caption>" + Escape(caption) +
                    "</caption>\n<thead><tr><th scope=\"col\">Name</th>" + "<th scope=\"col\">" +
                    (cast ? "Role" : "Job") + "</th>" +
                    "<th scope=\"col\">Notes</th></tr></thead>\n<tbody>\n";
  for (const Json& credit : credits) {
    if (credit.contains("Divider")) {
      const std::string kind = Str(credit, "Divider");
      out += "</tbody>\n<tbody>\n";
      if (kind != "End" && !Str(credit, "Caption").empty()) {
        out += "<tr><th colspan=\"3\" scope=\"colgroup\">" + Escape(Str(credit, "Caption")) +
               (kind == "Divider" ? std::string() : Mark(kind)) + "</th></tr>\n";
      }
      continue;
    }
    const std::string name = Str(credit, "Name");
    const std::string common = Str(credit, "CommonName");
    std::string who = Anchor("/person/", name, name);
    if (!common.empty() && common != name) {
      who += " <span class=\"muted\">(" + Escape(common) + ")</span>";
    }
    out += "<tr><td>" + who + "</td><td>" + Escape(Str(credit, "Role")) + "</td><td>" +
           Marks(credit) + "</td></tr>\n";
  }
  return out + "</tbody>\n</table></div>\n";
}

std::string Nominees(const Json& award) {
  std::string nominees;
  for (const Json& nominee : Member(award, "Nominees")) {
    const std::string name = nominee.get<std::string>();
    nominees += (nominees.empty() ? "" : ", ") + Anchor("/person/", name, name);
  }
  return nominees;
}

std::string AwardsTable(const Json& awards, bool with_title) {
  if (awards.empty()) return {};
  std::string out =
      "<div class=\"scroll\"><table>\n<thead><tr><th scope=\"col\">Award</th>"
      "<th scope=\"col\">Year</th><th scope=\"col\">Category</th>";
  if (with_title) out += "<th scope=\"col\">Film</th>";
  out += "<th scope=\"col\">Nominee</th><th scope=\"col\">Result</th></tr></thead>\n<tbody>\n";
  for (const Json& award : awards) {
    out += "<tr><td>" + Anchor("/awards?award=", Str(award, "Award"), Str(award, "Award")) +
           "</td><td>" + Escape(YearText(award, "Year")) + "</td><td>" +
           Escape(Str(award, "Category")) + "</td>";
    if (with_title) {
      out += "<td>" + Anchor("/titles?q=", Str(award, "MovieTitle"), Str(award, "MovieTitle")) +
             "</td>";
    }
    out += "<td>" + Nominees(award) + "</td><td>" + (Bool(award, "HasWon") ? "Won" : "Nominated") +
           "</td></tr>\n";
  }
  return out + "</tbody>\n</table></div>\n";
}

std::string SearchForm(const std::string& text) {
  return "<form action=\"/search\" method=\"get\" role=\"search\">\n"
         "<label>Titles, people, roles, series, episodes, UPCs<input type=\"search\" name=\"q\" "
         "maxlength=\"200\" value=\"" +
         Escape(text) + "\"></label>\n<button type=\"submit\">Search</button>\n</form>\n";
}

std::string TitleItem(const Json& title) {
  std::string out = "<li>" + TitleLink(title);
  if (!Str(title, "Medium").empty()) out += Mark(Str(title, "Medium"));
  return out + TitleMarks(title);
}

// The small cover of a title, or its placeholder.
std::string Thumbnail(const Json& title) {
  const std::string cover = Str(title, "Cover");
  if (cover.empty()) return CoverPlaceholder(Str(title, "Title"), true);
  return "<img src=\"" + Escape(cover + "?size=thumb") + "\" alt=\"\" loading=\"lazy\">";
}

std::string CoverGrid(const Json& titles) {
  if (titles.empty()) return {};
  std::string out = "<ul class=\"grid\">\n";
  for (const Json& title : titles) {
    std::string caption = Escape(Str(title, "Title"));
    const std::string year = YearText(title, "ProductionYear");
    if (!year.empty()) caption += " <span class=\"muted\">(" + Escape(year) + ")</span>";
    out += "<li><a href=\"" + Escape(Link("/title/", Str(title, "ProfileID"))) + "\">" +
           Thumbnail(title) + "<span class=\"caption\">" + caption + TitleMarks(title) +
           "</span></a></li>\n";
  }
  return out + "</ul>\n";
}

std::string Option(const std::string& value, const std::string& selected,
                   std::string_view label = {}) {
  return "<option value=\"" + Escape(value) + "\"" + (value == selected ? " selected" : "") + ">" +
         Escape(label.empty() ? value : label) + "</option>";
}

std::string Select(std::string_view label, std::string_view name, const Json& values,
                   const std::string& selected) {
  if (values.empty() && selected.empty()) return {};
  std::string out = "<label>" + Escape(label) + "<select name=\"" + Escape(name) +
                    "\"><option value=\"\">any</option>";
  for (const Json& value : values) out += Option(value.get<std::string>(), selected);
  return out + "</select></label>\n";
}

// What the collection switch offers, in address words and labels.
constexpr std::pair<const char*, const char*> kCollectionLabels[] = {
    {"owned", "Owned"}, {"onorder", "On order"}, {"wishlist", "Wish list"}, {"other", "Other"}};

// The address word of a collection type given in JSON ("WishList" -> "wishlist", null -> "all").
std::string CollectionWord(const Json& type) {
  if (!type.is_string()) return "all";
  std::string word;
  for (char c : type.get<std::string>()) word += static_cast<char>(std::tolower(c));
  return word;
}

// The collection switch: one link per type that has titles (owned always), and "All".
template <class Href>
std::string CollectionSwitch(const Json& counts, const std::string& current, Href href) {
  std::string out = "<nav class=\"switch\" aria-label=\"Collection\">";
  int64_t all = 0;
  for (const auto& [word, label] : kCollectionLabels) {
    std::string json_name = word == std::string("owned")      ? "Owned"
                            : word == std::string("onorder")  ? "OnOrder"
                            : word == std::string("wishlist") ? "WishList"
                                                              : "Other";
    const int64_t count = Int(counts, json_name.c_str());
    all += count;
    if (count == 0 && word != std::string("owned") && current != word) continue;
    out += A(href(word), std::string(label) + " (" + std::to_string(count) + ")", current == word);
  }
  out += A(href("all"), "All (" + std::to_string(all) + ")", current == "all");
  return out + "</nav>\n";
}

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

// A person's lines: the work, its year and every role there.
std::string LinesTable(std::string_view caption, std::string_view work, const std::string& rows) {
  return "<div class=\"scroll\"><table>\n<caption class=\"sr\">" + Escape(caption) +
         "</caption>\n<thead><tr><th scope=\"col\">" + Escape(work) +
         "</th><th scope=\"col\">Year</th><th scope=\"col\">Roles</th></tr></thead>\n<tbody>\n" +
         rows + "</tbody>\n</table></div>\n";
}

std::string RolesText(const Json& line, const std::string& common_name) {
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
    out += (out.empty() ? "" : "; ") + text;
  }
  return out;
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
  count("People", "People", "");
  count("Series", "Series", "/series");
  count("Episodes", "Episodes", "");
  count("Awards", "Awards", "/awards");
  body += "</ul>\n";
  std::string recent;
  for (const Json& title : Member(data, "Recent")) {
    recent += "<li>" + TitleLink(title) + TitleMarks(title);
    if (!Str(title, "LastEdited").empty()) {
      recent += " <span class=\"muted\">edited " + Escape(Str(title, "LastEdited")) + "</span>";
    }
    recent += "</li>\n";
  }
  if (!recent.empty()) body += Section("Edited last", "<ol>\n" + recent + "</ol>\n");
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

  std::string body = CollectionSwitch(Member(data, "Counts"), collection, [&](std::string word) {
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

std::string PersonPage(const Json& data) {
  const std::string common = Str(data, "CommonName");
  const Json& summary = Member(data, "Summary");
  std::string line = Plural(Int(summary, "Titles"), "title", "titles") + ", " +
                     Plural(Int(summary, "Episodes"), "episode", "episodes");
  if (Int(summary, "Awards")) {
    line += ", " + Plural(Int(summary, "Awards"), "award nomination", "award nominations") + " (" +
            std::to_string(Int(summary, "Won")) + " won)";
  }
  if (Int(summary, "FirstYear")) {
    line +=
        Int(summary, "FirstYear") == Int(summary, "LastYear")
            ? ", in " + Str(summary, "FirstYear")
            : ", active " + Str(summary, "FirstYear") + "\xE2\x80\x93" + Str(summary, "LastYear");
  }
  std::string body = "<p class=\"summary\">" + Escape(line) + ".</p>\n";

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
    return Address(base, {{"sort", new_sort == "year" ? "" : new_sort},
                          {"order", new_order == "asc" ? "" : new_order},
                          {"page", page > 1 ? std::to_string(page) : ""},
                          {"epage", episode_page > 1 ? std::to_string(episode_page) : ""}});
  };
  const int64_t page = Int(titles, "Page"), episode_page = Int(episodes, "Page");
  std::string title_rows;
  for (const Json& item : Member(titles, "Items")) {
    title_rows += "<tr><td>" + Anchor("/title/", Str(item, "ProfileID"), Str(item, "Title")) +
                  TitleMarks(item) + "</td><td>" + Escape(YearText(item, "ProductionYear")) +
                  "</td><td>" + Escape(RolesText(item, common)) + "</td></tr>\n";
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
    episode_rows += "<tr><td>" + EpisodeLink(item) + "</td><td>" +
                    Escape(Str(item, "Airdate").substr(0, 4)) + "</td><td>" +
                    Escape(RolesText(item, common)) + "</td></tr>\n";
  }
  if (!episode_rows.empty()) {
    body += Section("Episodes", LinesTable("Episodes", "Episode", episode_rows) +
                                    Pager(episode_page, Int(episodes, "Pages"),
                                          [&](int64_t n) { return href(sort, order, page, n); }));
  }
  if (title_rows.empty() && episode_rows.empty()) body += Section("Appearances", "<p>None.</p>\n");
  body += Section("Awards", AwardsTable(Member(data, "Awards"), true));
  return Page(common, body);
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
                  "\">\n<h3>" + Escape(Str(episode, "Number") + ". " + Str(episode, "Title")) +
                  "</h3>\n";
      std::string details = TextField("Original title", Str(episode, "OriginalTitle"));
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
    body += Section("Season " + Str(season, "Name"), episodes);
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
        rows += "<tr><td>" + Escape(Str(nomination, "Category")) + "</td><td>" +
                Anchor("/titles?collection=all&q=", Str(nomination, "MovieTitle"),
                       Str(nomination, "MovieTitle")) +
                "</td><td>" + Nominees(nomination) + "</td><td>" +
                (Bool(nomination, "HasWon") ? "Won" : "Nominated") + "</td></tr>\n";
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
  std::string body = CollectionSwitch(Member(data, "Counts"), collection, [](std::string word) {
    return word == "owned" ? std::string("/stats") : "/stats?collection=" + word;
  });
  body += "<p class=\"summary\">" + Plural(Int(data, "Titles"), "title", "titles") + ".</p>\n";
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
                               bars("Countries", "CountryOfOrigin", nullptr, kShownCountries)));
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
  body += Section("Spending", spending);
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

std::string MessagePage(const std::string& title, const std::string& message) {
  return Page(title,
              "<p>" + Escape(message) + "</p>\n<p><a href=\"/\">Back to the catalogue</a></p>\n");
}

}  // namespace zel::serve
