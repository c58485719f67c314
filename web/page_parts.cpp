#include "web/page_parts.h"

#include <cctype>
#include <utility>

#include "web/html.h"
#include "web/text.h"

namespace zel::web {
namespace {

// What the collection switch offers, in address words and labels.
constexpr std::pair<const char*, const char*> kCollectionLabels[] = {
    {"owned", "Owned"}, {"onorder", "On order"}, {"wishlist", "Wish list"}, {"other", "Other"}};

std::string Marks(const Json& credit) {
  std::string marks;
  for (const std::string& mark : CreditMarks(credit)) marks += Mark(mark);
  return marks;
}

}  // namespace

std::string Thumbnail(const Json& title) {
  const std::string cover = Str(title, "Cover");
  if (cover.empty()) return CoverPlaceholder(Str(title, "Title"), true);
  return "<img src=\"" + Escape(cover + "?size=thumb") + "\" alt=\"\" loading=\"lazy\">";
}

std::string Mark(std::string_view text) {
  return " <span class=\"mark\">" + Escape(text) + "</span>";
}

std::string TitleMarks(const Json& title) {
  const std::string type = CollectionMark(Str(title, "CollectionType"));
  std::string marks = type.empty() ? std::string() : Mark(type);
  if (Bool(title, "OnLoan")) marks += Mark("on loan");
  if (const int64_t parts = Int(title, "Parts")) {
    marks += Mark("box set of " + Plural(parts, "part", "parts"));
  }
  if (!Str(title, "BoxSet").empty()) marks += Mark("part of a box set");
  return marks;
}

std::string TitleLink(const Json& title) {
  std::string link = Anchor("/title/", Str(title, "ProfileID"), Str(title, "Title"));
  const std::string year = YearText(title, "ProductionYear");
  if (!year.empty()) link += " <span class=\"muted\">(" + Escape(year) + ")</span>";
  return link;
}

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

std::string A(const std::string& href, std::string_view text, bool current) {
  return "<a href=\"" + Escape(href) + "\"" + (current ? " aria-current=\"page\"" : "") + ">" +
         Escape(text) + "</a>";
}

std::string Pager(int64_t page, int64_t pages, const PageHref& href) {
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

std::string Result(const Json& nomination) {
  return Bool(nomination, "HasWon") ? "<strong>\xE2\x98\x85 Won</strong>" : "Nominated";
}

std::string AwardsTable(const Json& awards, bool with_title) {
  if (awards.empty()) return {};
  std::string out =
      "<div class=\"scroll\"><table>\n<thead><tr><th scope=\"col\">Award</th>"
      "<th scope=\"col\">Year</th><th scope=\"col\">Category</th>";
  if (with_title) out += "<th scope=\"col\">Film</th>";
  out += "<th scope=\"col\">Nominee</th><th scope=\"col\">Result</th></tr></thead>\n<tbody>\n";
  for (const Json& award : awards) {
    out += "<tr" + std::string(Bool(award, "HasWon") ? " class=\"won\"" : "") + "><td>" +
           Anchor("/awards?award=", Str(award, "Award"), Str(award, "Award")) + "</td><td>" +
           Escape(YearText(award, "Year")) + "</td><td>" + Escape(Str(award, "Category")) + "</td>";
    if (with_title) {
      out += "<td>" + Anchor("/titles?q=", Str(award, "MovieTitle"), Str(award, "MovieTitle")) +
             "</td>";
    }
    out += "<td>" + Nominees(award) + "</td><td>" + Result(award) + "</td></tr>\n";
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

std::string Option(const std::string& value, const std::string& selected, std::string_view label) {
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

std::string CompactSelect(std::string_view label, std::string_view any, std::string_view name,
                          const Json& values, const std::string& selected) {
  if (values.empty() && selected.empty()) return {};
  std::string out = "<select name=\"" + Escape(name) + "\" aria-label=\"" + Escape(label) + "\">" +
                    Option("", selected, any);
  for (const Json& value : values) out += Option(value.get<std::string>(), selected);
  return out + "</select>\n";
}

std::string CollectionWord(const Json& type) {
  if (!type.is_string()) return "all";
  std::string word;
  for (char c : type.get<std::string>()) word += static_cast<char>(std::tolower(c));
  return word;
}

std::string CollectionSwitch(const Json& counts, const std::string& current,
                             const CollectionHref& href) {
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

}  // namespace zel::web
