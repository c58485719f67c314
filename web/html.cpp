#include "web/html.h"

#include <cctype>
#include <cstdint>
#include <utility>

namespace zel::web {

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string EncodeSegment(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    // "." and ".." alone would be taken as relative path steps by the browser.
    if (plain && !(c == '.' && (text == "." || text == ".."))) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

std::string Link(std::string_view prefix, std::string_view value) {
  const bool marked = value == "." || value == ".." || value.starts_with('~');
  return std::string(prefix) + (marked ? "~" : "") + EncodeSegment(value);
}

std::string LinkedValue(std::string_view segment) {
  return std::string(segment.starts_with('~') ? segment.substr(1) : segment);
}

std::string Anchor(std::string_view prefix, std::string_view value, std::string_view text) {
  return "<a href=\"" + Escape(Link(prefix, value)) + "\">" + Escape(text) + "</a>";
}

namespace {

// The allowed formatting tag at text[at] ("<b>", "</I>", "<br/>", ...): its lower-case name and
// whether it closes, with `length` its length; false for anything else.
bool AllowedTag(std::string_view text, size_t at, std::string& name, bool& closing,
                size_t& length) {
  size_t i = at + 1;
  closing = i < text.size() && text[i] == '/';
  if (closing) ++i;
  name.clear();
  while (i < text.size() && name.size() < 3 && std::isalpha(static_cast<unsigned char>(text[i]))) {
    name += static_cast<char>(std::tolower(static_cast<unsigned char>(text[i++])));
  }
  if (name != "i" && name != "b" && name != "u" && name != "br" && name != "p") return false;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && text[i] == '/' && !closing) ++i;
  if (i >= text.size() || text[i] != '>') return false;
  length = i + 1 - at;
  return true;
}

// The character references the formatting keeps, with the character each stands for.
constexpr std::pair<std::string_view, char const*> kKeptReferences[] = {
    {"&amp;", "&"}, {"&lt;", "<"},   {"&gt;", ">"},  {"&quot;", "\""},
    {"&#39;", "'"}, {"&apos;", "'"}, {"&nbsp;", " "}};

// Reads an overview or note: `tag(name, closing)` for each allowed formatting tag,
// `reference(written, character)` for each kept character reference, and `character(c)` for
// everything else but carriage returns.
template <class Tag, class Reference, class Character>
void ReadRichText(std::string_view text, Tag tag, Reference reference, Character character) {
  std::string name;
  bool closing = false;
  size_t length = 0;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '<' && AllowedTag(text, i, name, closing, length)) {
      i += length;
      tag(name, closing);
      continue;
    }
    if (c == '&') {
      bool kept = false;
      for (const auto& [written, stands_for] : kKeptReferences) {
        if (text.substr(i, written.size()) == written) {
          reference(written, stands_for);
          i += written.size();
          kept = true;
          break;
        }
      }
      if (kept) continue;
    }
    if (c != '\r') character(c);
    ++i;
  }
}

}  // namespace

std::string RichText(std::string_view text) {
  std::string out = "<p>";
  std::string open;  // inline elements open, innermost last: 'i', 'b', 'u'
  const auto close_all = [&] {
    while (!open.empty()) {
      out += std::string("</") + open.back() + ">";
      open.pop_back();
    }
  };
  ReadRichText(
      text,
      [&](const std::string& name, bool closing) {
        if (name == "br") {
          out += "<br>";
        } else if (name == "p") {
          close_all();
          if (!out.ends_with("<p>")) out += "</p>\n<p>";
        } else if (!closing) {
          open += name[0];
          out += "<" + name + ">";
        } else if (const size_t at = open.rfind(name[0]); at != std::string::npos) {
          // Elements opened inside this one close with it.
          while (open.size() > at) {
            out += std::string("</") + open.back() + ">";
            open.pop_back();
          }
        }
      },
      [&](std::string_view written, const char*) { out += written; },
      [&](char c) { out += c == '\n' ? std::string("<br>") : Escape(std::string_view(&c, 1)); });
  close_all();
  out += "</p>";
  // A paragraph break at either end leaves an empty paragraph behind.
  if (out.starts_with("<p></p>\n")) out.erase(0, 8);
  if (out.ends_with("\n<p></p>")) out.erase(out.size() - 8);
  return out + "\n";
}

std::string PlainText(std::string_view text) {
  std::string out;
  ReadRichText(
      text,
      [&](const std::string& name, bool) {
        if (name == "br") {
          out += '\n';
        } else if (name == "p" && !out.empty() && !out.ends_with("\n\n")) {
          out += out.ends_with('\n') ? "\n" : "\n\n";
        }
      },
      [&](std::string_view, const char* character) { out += character; },
      [&](char c) { out += c; });
  while (out.ends_with('\n')) out.pop_back();
  return out;
}

std::string CoverPlaceholder(std::string_view title, bool small) {
  uint32_t hash = 2166136261u;
  for (char c : title) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return "<div class=\"placeholder tint" + std::to_string(hash % 6) + (small ? " small" : "") +
         "\"><span>" + Escape(title) + "</span></div>";
}

std::string Page(std::string_view title, std::string_view body, bool wide) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  page += Escape(title);
  page +=
      " \xE2\x80\x93 ZelControl</title>\n<link rel=\"stylesheet\" href=\"/style.css\">\n</head>\n"
      "<body>\n<a class=\"skip\" href=\"#content\">Skip to content</a>\n"
      "<header>\n<nav aria-label=\"Site\">\n<ul>\n"
      "<li><a href=\"/\">Catalogue</a></li>\n<li><a href=\"/titles\">Titles</a></li>\n"
      "<li><a href=\"/people\">People</a></li>\n"
      "<li><a href=\"/series\">Series</a></li>\n<li><a href=\"/awards\">Awards</a></li>\n"
      "<li><a href=\"/stats\">Statistics</a></li>\n"
      "<li><a href=\"/loans\">Loans</a></li>\n<li><a href=\"/search\">Search</a></li>\n"
      "</ul>\n</nav>\n</header>\n<main id=\"content\"";
  page += wide ? " class=\"wide\">\n<h1>" : ">\n<h1>";
  page += Escape(title);
  page += "</h1>\n";
  page += body;
  page += "</main>\n</body>\n</html>\n";
  return page;
}

std::string_view StyleSheet() {
  return R"css(:root{color-scheme:light dark;--fg:#1d1d1f;--bg:#fdfdfb;--muted:#5f6368;--line:#d9d9d4;--accent:#1a5fb4;--band:#f1f1ec}
@media (prefers-color-scheme:dark){:root{--fg:#e8e8e3;--bg:#18191a;--muted:#a3a3a0;--line:#3a3b3c;--accent:#8ab4f8;--band:#242526}}
*{box-sizing:border-box}
body{margin:0;font:16px/1.5 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;color:var(--fg);background:var(--bg)}
a{color:var(--accent)}
.skip{position:absolute;left:-999px}.skip:focus{left:8px;top:8px;background:var(--bg);padding:4px}
header{border-bottom:1px solid var(--line);background:var(--band)}
nav ul{display:flex;flex-wrap:wrap;gap:0 1.2em;list-style:none;margin:0 auto;padding:.6em 1em;max-width:60em}
nav a{text-decoration:none;font-weight:600}
main{max-width:60em;margin:0 auto;padding:0 1em 3em}main.wide{max-width:none;padding:0 1.5em 3em}
h1{font-size:1.6em;margin:.8em 0 .3em}h2{font-size:1.25em;margin:1.6em 0 .4em;border-bottom:1px solid var(--line)}h3{font-size:1.05em;margin:1.2em 0 .3em}
table{border-collapse:collapse;width:100%;margin:.4em 0 1em}
caption{text-align:left;font-weight:600;padding:.3em 0}
th,td{text-align:left;vertical-align:top;padding:.3em .5em;border-bottom:1px solid var(--line)}
tbody th[colspan]{background:var(--band);font-style:italic}
dl.fields{display:grid;grid-template-columns:max-content 1fr;gap:.2em 1em}dl.fields dt{font-weight:600;color:var(--muted)}dl.fields dd{margin:0}
.counts{display:flex;flex-wrap:wrap;gap:.8em;list-style:none;padding:0}.counts li{background:var(--band);padding:.5em .9em;border-radius:6px}.counts strong{display:block;font-size:1.4em}
form{display:flex;flex-wrap:wrap;gap:.5em 1em;align-items:flex-end;margin:1em 0}
label{display:flex;flex-direction:column;font-size:.9em;color:var(--muted)}
input,select,button{font:inherit;padding:.3em .5em;border:1px solid var(--line);border-radius:4px;background:var(--bg);color:var(--fg)}
button{background:var(--accent);color:var(--bg);border:0;font-weight:600}
.mark{font-size:.8em;color:var(--muted);border:1px solid var(--line);border-radius:3px;padding:0 .3em;margin-left:.3em;white-space:nowrap}
.muted{color:var(--muted)}
.note{border-left:4px solid var(--accent);padding:.3em .8em;background:var(--band)}
.error{color:#c5221f;font-weight:600}
@media (prefers-color-scheme:dark){.error{color:#f28b82}}
textarea{font:inherit;width:100%;max-width:40em}
tr.overdue td{font-weight:600}
ul.plain{padding-left:1.2em}
.pager{display:flex;gap:1em;justify-content:space-between}
.scroll{overflow-x:auto}
.sr{position:absolute;width:1px;height:1px;overflow:hidden;clip:rect(0 0 0 0);white-space:nowrap}
nav.switch,nav.letters,nav.tabs,nav.pages{display:flex;flex-wrap:wrap;gap:.3em .5em;margin:.6em 0}
nav.switch a,nav.letters a,nav.tabs a,nav.pages a,nav.pages span{padding:.15em .55em;border:1px solid var(--line);border-radius:4px;text-decoration:none}
nav.switch a[aria-current],nav.letters a[aria-current],nav.tabs a[aria-current],nav.pages [aria-current]{background:var(--accent);color:var(--bg);border-color:var(--accent)}
nav.pages span.gap{border:0}
ul.grid{display:grid;grid-template-columns:repeat(auto-fill,minmax(8em,1fr));gap:1.2em .9em;list-style:none;padding:0;margin:1em 0}
ul.grid a{display:block;text-decoration:none;color:var(--fg)}
ul.grid img,ul.grid .placeholder{width:100%;aspect-ratio:27/38;object-fit:cover;border-radius:4px;box-shadow:0 1px 4px rgba(0,0,0,.3)}ul.grid img{display:block}
ul.grid .caption{display:block;font-size:.85em;margin-top:.35em;line-height:1.3}
.placeholder{display:flex;align-items:center;justify-content:center;text-align:center;padding:.8em;aspect-ratio:27/38;border-radius:4px;color:#fff;font-weight:600;overflow:hidden;overflow-wrap:anywhere}
.placeholder span{display:block;max-height:100%;font-size:1.15em;text-shadow:0 1px 2px rgba(0,0,0,.5)}.placeholder.small span{font-size:.9em}
.tint0{background:linear-gradient(160deg,#33546e,#13263a)}.tint1{background:linear-gradient(160deg,#6e3346,#3a1322)}.tint2{background:linear-gradient(160deg,#3f6e33,#1c3a13)}
.tint3{background:linear-gradient(160deg,#6e5a33,#3a2b13)}.tint4{background:linear-gradient(160deg,#4d336e,#25133a)}.tint5{background:linear-gradient(160deg,#336e69,#133a36)}
.headline{display:flex;flex-wrap:wrap;gap:1.2em;margin:.6em 0 1.2em}
.covers{display:flex;gap:.6em;flex:0 1 auto}
.covers img,.covers .placeholder{width:12em;max-width:42vw;aspect-ratio:27/38;object-fit:cover;border-radius:4px;box-shadow:0 1px 5px rgba(0,0,0,.35)}
.facts{flex:1 1 20em}
.overview p{margin:.5em 0}
figure.chart{margin:1em 0 1.6em}
table.chart{table-layout:fixed;max-width:48em;margin:0}table.chart caption{text-align:left;font-weight:600;margin-bottom:.3em}
table.chart th,table.chart td{border:0;padding:.12em 0;vertical-align:middle}
table.chart th{width:14em;padding-right:.6em;text-align:right;font-weight:normal;overflow:hidden;text-overflow:ellipsis;white-space:nowrap}
table.chart td{color:var(--muted)}table.chart svg.bar{display:inline-block;width:calc(100% - 11em);height:.95em;margin-right:.5em;vertical-align:-.1em}
svg.bar rect{fill:var(--accent)}
tr.won td{background:var(--band)}tr.won strong{color:var(--accent)}
@media (max-width:40em){table.chart th{width:38%}table.chart svg.bar{width:45%}}
p.summary{font-size:1.05em;color:var(--muted)}
.sort{font-size:.9em}.sort a[aria-current]{font-weight:700;text-decoration:none;color:var(--fg)}
.bar{display:flex;flex-wrap:wrap;gap:0 1.5em;align-items:center}
form.filters{gap:.4em .5em;align-items:center;margin:.4em 0 .6em}form.filters>input[type=search]{flex:1 1 12em;max-width:24em}
form.filters details{display:flex;align-items:center}form.filters details[open]{flex-basis:100%;order:5}
form.filters summary{cursor:pointer;color:var(--accent);font-size:.9em;padding:.3em 0}
form.filters details>div{display:flex;flex-wrap:wrap;gap:.4em 1em;align-items:flex-end;margin:.3em 0 .2em 1em}
form.filters button{order:4}
table.titles td{vertical-align:middle}table.titles td.thumb{width:2.8em;padding:.15em .3em}
table.titles td.thumb img,table.titles td.thumb .placeholder{width:2.4em;aspect-ratio:27/38;object-fit:cover;border-radius:2px;display:block;padding:0}
table.titles td.thumb .placeholder span{display:none}
table.titles th a{text-decoration:none;color:var(--fg)}table.titles th[aria-sort=ascending] a::after{content:" \25B2"}table.titles th[aria-sort=descending] a::after{content:" \25BC"}
td.number,th.number{text-align:right}
@media (max-width:40em){dl.fields{grid-template-columns:1fr}dl.fields dd{margin-bottom:.4em}th,td{padding:.25em .3em}ul.grid{grid-template-columns:repeat(auto-fill,minmax(6.5em,1fr))}.optional{display:none}main.wide{padding:0 .6em 2em}}
)css";
}

}  // namespace zel::web
