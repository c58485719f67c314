#include "serve_pages.h"

#include <cstdio>

#include "serve_html.h"

namespace zel::serve {
namespace {

std::string Str(const Json& json, const char* key) {
  const auto found = json.find(key);
  if (found == json.end() || found->is_null()) return {};
  if (found->is_string()) return found->get<std::string>();
  return found->dump();
}

bool Bool(const Json& json, const char* key) {
  const auto found = json.find(key);
  return found != json.end() && found->is_boolean() && found->get<bool>();
}

int64_t Int(const Json& json, const char* key) {
  const auto found = json.find(key);
  return found != json.end() && found->is_number() ? found->get<int64_t>() : 0;
}

std::string YearText(const Json& json, const char* key) {
  const int64_t year = Int(json, key);
  return year == 0 ? std::string() : std::to_string(year);
}

std::string Mark(std::string_view text) {
  return " <span class=\"mark\">" + Escape(text) + "</span>";
}

std::string Marks(const Json& credit) {
  std::string marks;
  if (Bool(credit, "IsVoice")) marks += Mark("voice");
  if (Bool(credit, "IsUncredited")) marks += Mark("uncredited");
  if (Bool(credit, "IsCreditOnly")) marks += Mark("credit only");
  if (Bool(credit, "IsRegular")) marks += Mark("regular");
  return marks;
}

std::string TitleLink(const Json& title) {
  std::string link = Anchor("/title/", Str(title, "ProfileID"), Str(title, "Title"));
  const std::string year = YearText(title, "ProductionYear");
  if (!year.empty()) link += " <span class=\"muted\">(" + Escape(year) + ")</span>";
  return link;
}

// "Series title 1x03 Episode title", linked to the episode on its series page.
std::string EpisodeLink(const Json& episode) {
  std::string series = Str(episode, "SeriesTitle");
  if (series.empty()) series = Str(episode, "ShowID");
  std::string label = series + " \xE2\x80\x93 " + Str(episode, "Season") + "x" +
                      Str(episode, "Number") + " " + Str(episode, "Title");
  return "<a href=\"" +
         Escape(Link("/series/", Str(episode, "ShowID")) + "#ep-" +
                EncodeSegment(Str(episode, "EpisodeID"))) +
         "\">" + Escape(label) + "</a>";
}

std::string Field(std::string_view label, const std::string& value_html) {
  if (value_html.empty()) return {};
  return "<dt>" + Escape(label) + "</dt><dd>" + value_html + "</dd>\n";
}

std::string TextField(std::string_view label, const std::string& text) {
  return text.empty() ? std::string() : Field(label, Escape(text));
}

// Multi-line texts keep their line breaks.
std::string Paragraphs(const std::string& text) {
  std::string out = "<p>";
  for (char c : Escape(text)) {
    if (c == '\n') {
      out += "<br>";
    } else if (c != '\r') {
      out += c;
    }
  }
  return out + "</p>\n";
}

std::string Section(std::string_view heading, const std::string& body) {
  if (body.empty()) return {};
  return "<section>\n<h2>" + Escape(heading) + "</h2>\n" + body + "</section>\n";
}

std::string Joined(const Json& list) {
  std::string out;
  for (const Json& item : list) out += (out.empty() ? "" : ", ") + item.get<std::string>();
  return out;
}

std::string Amount(const Json& value, const std::string& currency) {
  if (!value.is_number()) return {};
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", value.get<double>());
  return currency.empty() ? buffer : std::string(buffer) + " " + currency;
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
    std::string nominees;
    for (const Json& nominee : award["Nominees"]) {
      const std::string name = nominee.get<std::string>();
      nominees += (nominees.empty() ? "" : ", ") + Anchor("/person/", name, name);
    }
    out += "<td>" + nominees + "</td><td>" + (Bool(award, "HasWon") ? "Won" : "Nominated") +
           "</td></tr>\n";
  }
  return out + "</tbody>\n</table></div>\n";
}

std::string SearchForm(const std::string& text) {
  return "<form action=\"/search\" method=\"get\" role=\"search\">\n"
         "<label>Titles and people<input type=\"search\" name=\"q\" maxlength=\"200\" value=\"" +
         Escape(text) + "\"></label>\n<button type=\"submit\">Search</button>\n</form>\n";
}

std::string TitleList(const Json& titles) {
  if (titles.empty()) return {};
  std::string out = "<ul class=\"plain\">\n";
  for (const Json& title : titles) {
    out += "<li>" + TitleLink(title);
    if (!Str(title, "Medium").empty()) {
      out += " <span class=\"mark\">" + Escape(Str(title, "Medium")) + "</span>";
    }
    out += "</li>\n";
  }
  return out + "</ul>\n";
}

std::string Option(const std::string& value, const std::string& selected) {
  return "<option value=\"" + Escape(value) + "\"" + (value == selected ? " selected" : "") + ">" +
         Escape(value) + "</option>";
}

// Appearances of a person: one row per credit, with the name it was credited under.
std::string AppearanceTable(const Json& rows, bool episodes, bool cast, std::string_view caption) {
  if (rows.empty()) return {};
  std::string out = "<div class=\"scroll\"><table>\n<caption>" + Escape(caption) +
                    "</caption>\n<thead><tr><th scope=\"col\">" + (episodes ? "Episode" : "Title") +
                    "</th><th scope=\"col\">" + (cast ? "Role" : "Job") +
                    "</th><th scope=\"col\">Credited as</th><th scope=\"col\">Notes</th></tr>"
                    "</thead>\n<tbody>\n";
  for (const Json& row : rows) {
    out += "<tr><td>" + (episodes ? EpisodeLink(row) : TitleLink(row)) + "</td><td>" +
           Escape(Str(row, "Role")) + "</td><td>" + Escape(Str(row, "CreditedAs")) + "</td><td>" +
           Marks(row) + "</td></tr>\n";
  }
  return out + "</tbody>\n</table></div>\n";
}

}  // namespace

std::string HomePage(const Json& data) {
  const Json& counts = data["counts"];
  std::string body = SearchForm("");
  body += "<ul class=\"counts\" aria-label=\"The catalogue in numbers\">\n";
  const std::pair<const char*, const char*> labels[] = {{"titles", "Titles"},
                                                        {"people", "People"},
                                                        {"series", "Series"},
                                                        {"episodes", "Episodes"},
                                                        {"awards", "Awards"}};
  for (const auto& [key, label] : labels) {
    body += "<li><strong>" + std::to_string(Int(counts, key)) + "</strong> " + label + "</li>\n";
  }
  body += "</ul>\n";
  std::string recent;
  for (const Json& title : data["recent"]) {
    recent += "<li>" + TitleLink(title);
    if (!Str(title, "LastEdited").empty()) {
      recent += " <span class=\"muted\">edited " + Escape(Str(title, "LastEdited")) + "</span>";
    }
    recent += "</li>\n";
  }
  if (!recent.empty()) body += Section("Edited last", "<ol>\n" + recent + "</ol>\n");
  return Page("Catalogue", body);
}

std::string TitlesPage(const Json& data) {
  const Json& filter = data["filter"];
  const std::string genre = Str(filter, "genre"), medium = Str(filter, "medium");
  std::string body =
      "<form action=\"/titles\" method=\"get\" aria-label=\"Filter titles\">\n"
      "<label>Title<input type=\"search\" name=\"q\" maxlength=\"200\" value=\"" +
      Escape(Str(filter, "text")) +
      "\"></label>\n<label>Genre<select name=\"genre\"><option value=\"\">any</option>";
  for (const Json& item : data["genres"]) body += Option(item.get<std::string>(), genre);
  body += "</select></label>\n<label>Medium<select name=\"medium\"><option value=\"\">any</option>";
  for (const Json& item : data["media"]) body += Option(item.get<std::string>(), medium);
  const int64_t year = Int(filter, "year");
  body +=
      "</select></label>\n<label>Year<input type=\"number\" name=\"year\" min=\"1\" "
      "max=\"9999\" value=\"" +
      (year ? std::to_string(year) : std::string()) +
      "\"></label>\n<button type=\"submit\">Show</button>\n</form>\n";
  const int64_t total = Int(data, "total"), page = Int(data, "page"), pages = Int(data, "pages");
  body += "<p>" + std::to_string(total) + (total == 1 ? " title" : " titles") + ", page " +
          std::to_string(page) + " of " + std::to_string(pages) + ".</p>\n";
  body += TitleList(data["titles"]);
  // The pager keeps the filter in its addresses.
  std::string query = "/titles?q=" + EncodeSegment(Str(filter, "text")) +
                      "&genre=" + EncodeSegment(genre) + "&medium=" + EncodeSegment(medium) +
                      (year ? "&year=" + std::to_string(year) : std::string()) + "&page=";
  body += "<nav class=\"pager\" aria-label=\"Pages\">";
  body += page > 1 ? "<a rel=\"prev\" href=\"" + Escape(query + std::to_string(page - 1)) +
                         "\">Previous page</a>"
                   : "<span></span>";
  if (page < pages) {
    body +=
        "<a rel=\"next\" href=\"" + Escape(query + std::to_string(page + 1)) + "\">Next page</a>";
  }
  body += "</nav>\n";
  return Page("Titles", body);
}

std::string TitlePage(const Json& data) {
  std::string fields;
  fields += TextField("Original title", Str(data, "OriginalTitle"));
  fields += TextField("Sort title", Str(data, "SortTitle"));
  fields += TextField("Original sort title", Str(data, "OriginalSortTitle"));
  fields += TextField("Edition", Str(data, "Description"));
  fields += TextField("Medium", Str(data, "Medium"));
  fields += TextField("Production year", YearText(data, "ProductionYear"));
  fields += TextField("Country of origin", Str(data, "CountryOfOrigin"));
  fields += TextField("Released", Str(data, "ReleaseDate"));
  if (Int(data, "RunningTime")) {
    fields += TextField("Running time", std::to_string(Int(data, "RunningTime")) + " minutes");
  }
  std::string rating = Str(data, "Rating");
  if (!Str(data, "RatingSystem").empty()) rating += " (" + Str(data, "RatingSystem") + ")";
  if (!Str(data, "RatingDetails").empty()) rating += ": " + Str(data, "RatingDetails");
  fields += TextField("Rating", rating);
  fields += TextField("Case", Str(data, "CaseType"));
  fields += TextField("Collection", Str(data, "CollectionType"));
  fields += TextField("Collection number", Str(data, "CollectionNumber"));
  fields += TextField("UPC", Str(data, "UPC"));
  fields += TextField("Locality", Str(data, "Locality"));
  fields += TextField("Counts as", Int(data, "CountAs") > 1 ? Str(data, "CountAs") : "");
  if (Int(data, "WishListPriority")) {
    fields += TextField("Wish list priority", Str(data, "WishListPriority"));
  }
  fields += TextField("Data source", Str(data, "DataSource"));
  fields += TextField("Profile time stamp", Str(data, "ProfileTimeStamp"));
  fields += TextField("Last edited", Str(data, "LastEdited"));
  fields += TextField("Profile ID", Str(data, "ProfileID"));
  if (!data["ParentProfile"].is_null())
    fields += Field("Part of", TitleLink(data["ParentProfile"]));
  std::string genres;
  for (const Json& genre : data["Genres"]) {
    const std::string name = genre.get<std::string>();
    genres += (genres.empty() ? "" : ", ") + Anchor("/titles?genre=", name, name);
  }
  fields += Field("Genres", genres);
  fields += TextField("Regions", Joined(data["Regions"]));
  std::string body = "<dl class=\"fields\">\n" + fields + "</dl>\n";

  if (!Str(data, "Overview").empty())
    body += Section("Overview", Paragraphs(Str(data, "Overview")));
  body += Section("Cast", CreditsTable(data["Cast"], true, "Cast in credit order"));
  body += Section("Crew", CreditsTable(data["Crew"], false, "Crew in credit order"));

  std::string children;
  for (const Json& child : data["ChildProfiles"]) children += "<li>" + TitleLink(child) + "</li>\n";
  if (!children.empty()) body += Section("In this box set", "<ul>\n" + children + "</ul>\n");
  std::string episodes;
  for (const Json& episode : data["Episodes"]) {
    episodes += "<li>" + EpisodeLink(episode) + "</li>\n";
  }
  if (!episodes.empty())
    body += Section("Episodes on these discs", "<ul>\n" + episodes + "</ul>\n");

  std::string discs;
  for (const Json& disc : data["Discs"]) {
    std::string side_a = Str(disc, "DescriptionSideA");
    if (!Str(disc, "LabelSideA").empty()) side_a += " [" + Str(disc, "LabelSideA") + "]";
    std::string side_b = Str(disc, "DescriptionSideB");
    if (!Str(disc, "LabelSideB").empty()) side_b += " [" + Str(disc, "LabelSideB") + "]";
    std::string notes;
    if (Bool(disc, "DualSided")) notes += Mark("dual sided");
    if (Bool(disc, "DualLayered")) notes += Mark("dual layered");
    if (Bool(disc, "Flipper")) notes += Mark("flipper");
    std::string place = Str(disc, "Location");
    if (!Str(disc, "Slot").empty())
      place += (place.empty() ? "slot " : ", slot ") + Str(disc, "Slot");
    discs += "<tr><td>" + Escape(Str(disc, "Number")) + "</td><td>" + Escape(side_a) + "</td><td>" +
             Escape(side_b) + "</td><td>" + Escape(place) + "</td><td>" + notes + "</td></tr>\n";
  }
  if (!discs.empty()) {
    body += Section("Discs",
                    "<div class=\"scroll\"><table>\n<thead><tr><th scope=\"col\">No.</th>"
                    "<th scope=\"col\">Side A</th><th scope=\"col\">Side B</th>"
                    "<th scope=\"col\">Location</th><th scope=\"col\">Notes</th></tr></thead>\n"
                    "<tbody>\n" +
                        discs + "</tbody>\n</table></div>\n");
  }

  const Json& video = data["Video"];
  std::string video_text = Str(video, "VideoStandard");
  if (!Str(video, "AspectRatio").empty()) {
    video_text += (video_text.empty() ? "" : ", ") + Str(video, "AspectRatio") + ":1";
  }
  for (const auto& [key, label] :
       {std::pair{"Anamorphic", "16:9 enhanced"}, std::pair{"LetterBox", "letterbox"},
        std::pair{"PanAndScan", "pan and scan"}, std::pair{"FullFrame", "full frame"}}) {
    if (Bool(video, key)) video_text += std::string(video_text.empty() ? "" : ", ") + label;
  }
  std::string format = TextField("Video", video_text);
  std::string audio;
  for (const Json& track : data["Audio"]) {
    std::string line = Str(track, "Language");
    for (const char* key : {"Compression", "Channels"}) {
      if (!Str(track, key).empty()) line += (line.empty() ? "" : ", ") + Str(track, key);
    }
    audio += "<li>" + Escape(line) + "</li>";
  }
  if (!audio.empty()) format += Field("Audio", "<ul class=\"plain\">" + audio + "</ul>");
  format += TextField("Subtitles", Joined(data["Subtitles"]));
  format += TextField("Features", Joined(data["Features"]));
  std::string studios;
  for (const Json& studio : data["Studios"]) {
    studios += "<li>" + Escape(Str(studio, "Name")) +
               (Str(studio, "Type").empty() ? std::string() : Mark(Str(studio, "Type"))) + "</li>";
  }
  if (!studios.empty()) format += Field("Studios", "<ul class=\"plain\">" + studios + "</ul>");
  const Json& review = data["Review"];
  if (Int(review, "Film") || Int(review, "Video") || Int(review, "Audio") ||
      Int(review, "Extras")) {
    format += TextField("Review", "film " + Str(review, "Film") + ", video " +
                                      Str(review, "Video") + ", audio " + Str(review, "Audio") +
                                      ", extras " + Str(review, "Extras"));
  }
  if (!format.empty()) body += Section("Formats", "<dl class=\"fields\">\n" + format + "</dl>\n");

  body += Section("Awards", AwardsTable(data["Awards"], false));

  std::string owner;
  if (!data["SRP"].is_null()) {
    owner +=
        TextField("Retail price", Amount(data["SRP"]["Value"], Str(data["SRP"], "CurrencyID")));
  }
  if (!data["PurchaseInfo"].is_null()) {
    const Json& purchase = data["PurchaseInfo"];
    owner += TextField("Price paid", Amount(purchase["Price"], Str(purchase, "CurrencyID")));
    owner += TextField("Purchased", Str(purchase, "PurchaseDate"));
    owner += TextField("Purchased at", Str(purchase, "PurchasePlace"));
  }
  if (!data["LoanInfo"].is_null()) {
    const Json& loan = data["LoanInfo"];
    std::string text = "to " + Str(loan, "UserID");
    if (!Str(loan, "LoanedDue").empty()) text += ", due " + Str(loan, "LoanedDue");
    owner += TextField("On loan", text);
  }
  std::string tags;
  for (const Json& tag : data["Tags"]) {
    tags += "<li>" +
            Escape(Str(tag, "FullName").empty() ? Str(tag, "Name") : Str(tag, "FullName")) +
            "</li>";
  }
  if (!tags.empty()) owner += Field("Tags", "<ul class=\"plain\">" + tags + "</ul>");
  std::string events;
  for (const Json& event : data["Events"]) {
    std::string line = Str(event, "TimeStamp") + " " + Str(event, "EventType");
    if (!Str(event, "UserID").empty()) line += " (" + Str(event, "UserID") + ")";
    if (!Str(event, "Comment").empty()) line += ": " + Str(event, "Comment");
    events += "<li>" + Escape(line) + "</li>";
  }
  if (!events.empty()) owner += Field("Events", "<ul class=\"plain\">" + events + "</ul>");
  if (!owner.empty())
    body += Section("In the collection", "<dl class=\"fields\">\n" + owner + "</dl>\n");
  if (!Str(data, "Notes").empty()) body += Section("Notes", Paragraphs(Str(data, "Notes")));
  if (!Str(data, "EasterEggs").empty()) {
    body += Section("Easter eggs", Paragraphs(Str(data, "EasterEggs")));
  }
  return Page(Str(data, "Title"), body);
}

std::string PersonPage(const Json& data) {
  std::string body;
  std::string names = "<li>" + Escape(Str(data, "CommonName")) + Mark("common name") + "</li>\n";
  for (const Json& alias : data["Aliases"]) {
    names += "<li>" + Anchor("/person/", Str(alias, "Name"), Str(alias, "Name"));
    if (Int(alias, "BirthYear"))
      names += " <span class=\"muted\">born " + Str(alias, "BirthYear") + "</span>";
    names += "</li>\n";
  }
  body += Section("Names", "<ul>\n" + names + "</ul>\n");
  const Json& titles = data["Titles"];
  const Json& episodes = data["Episodes"];
  std::string appearances = AppearanceTable(titles["Cast"], false, true, "Titles, cast") +
                            AppearanceTable(titles["Crew"], false, false, "Titles, crew") +
                            AppearanceTable(episodes["Cast"], true, true, "Episodes, cast") +
                            AppearanceTable(episodes["Crew"], true, false, "Episodes, crew");
  body += Section("Appearances", appearances.empty() ? "<p>None.</p>\n" : appearances);
  body += Section("Awards", AwardsTable(data["Awards"], true));
  return Page(Str(data, "CommonName"), body);
}

std::string SeriesListPage(const Json& data) {
  std::string items;
  for (const Json& series : data["series"]) {
    items += "<li>" + Anchor("/series/", Str(series, "ShowID"), Str(series, "Title")) +
             " <span class=\"muted\">(" + std::to_string(Int(series, "Episodes")) +
             " episodes)</span></li>\n";
  }
  return Page("Series", items.empty() ? "<p>No series in the catalogue.</p>\n"
                                      : "<ul>\n" + items + "</ul>\n");
}

std::string SeriesPage(const Json& data) {
  std::string fields = TextField("Original title", Str(data, "OriginalTitle"));
  fields += TextField("Episodes", Str(data, "EpisodeCount"));
  fields += TextField("Series ID", Str(data, "ShowID"));
  std::string body = "<dl class=\"fields\">\n" + fields + "</dl>\n";
  for (const Json& season : data["Seasons"]) {
    std::string episodes;
    for (const Json& episode : season["Episodes"]) {
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
      if (!Str(episode, "Overview").empty()) episodes += Paragraphs(Str(episode, "Overview"));
      episodes += CreditsTable(episode["Cast"], true, "Cast");
      episodes += CreditsTable(episode["Crew"], false, "Crew");
      episodes += "</article>\n";
    }
    body += Section("Season " + Str(season, "Name"), episodes);
  }
  body += Section("Awards", AwardsTable(data["Awards"], false));
  return Page(Str(data, "Title"), body);
}

std::string AwardsPage(const Json& data) {
  const std::string selected = Str(data, "award");
  std::string body =
      "<form action=\"/awards\" method=\"get\" aria-label=\"Choose an award\">\n"
      "<label>Award<select name=\"award\"><option value=\"\">all</option>";
  for (const Json& name : data["names"]) body += Option(name.get<std::string>(), selected);
  body += "</select></label>\n<button type=\"submit\">Show</button>\n</form>\n";
  for (const Json& award : data["awards"]) {
    std::string years;
    for (const Json& year : award["Years"]) {
      std::string rows;
      for (const Json& nomination : year["Nominations"]) {
        std::string nominees;
        for (const Json& nominee : nomination["Nominees"]) {
          const std::string name = nominee.get<std::string>();
          nominees += (nominees.empty() ? "" : ", ") + Anchor("/person/", name, name);
        }
        rows += "<tr><td>" + Escape(Str(nomination, "Category")) + "</td><td>" +
                Anchor("/titles?q=", Str(nomination, "MovieTitle"), Str(nomination, "MovieTitle")) +
                "</td><td>" + nominees + "</td><td>" +
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
  if (data["awards"].empty()) body += "<p>No awards.</p>\n";
  return Page(selected.empty() ? "Awards" : selected, body);
}

std::string SearchPage(const Json& data) {
  std::string body = SearchForm(Str(data, "text"));
  std::string people;
  for (const Json& person : data["people"]) {
    const std::string name = person.get<std::string>();
    people += "<li>" + Anchor("/person/", name, name) + "</li>\n";
  }
  body += Section("Titles", TitleList(data["titles"]));
  if (!people.empty()) body += Section("People", "<ul>\n" + people + "</ul>\n");
  if (data["titles"].empty() && data["people"].empty() && !Str(data, "text").empty()) {
    body += "<p>Nothing found.</p>\n";
  }
  return Page("Search", body);
}

std::string MessagePage(const std::string& title, const std::string& message) {
  return Page(title,
              "<p>" + Escape(message) + "</p>\n<p><a href=\"/\">Back to the catalogue</a></p>\n");
}

}  // namespace zel::serve
