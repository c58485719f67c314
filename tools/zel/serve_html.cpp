#include "serve_html.h"

namespace zel::serve {

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
  return std::string(prefix) + EncodeSegment(value);
}

std::string Anchor(std::string_view prefix, std::string_view value, std::string_view text) {
  return "<a href=\"" + Escape(Link(prefix, value)) + "\">" + Escape(text) + "</a>";
}

std::string Page(std::string_view title, std::string_view body) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  page += Escape(title);
  page +=
      " \xE2\x80\x93 ZelControl</title>\n<link rel=\"stylesheet\" href=\"/style.css\">\n</head>\n"
      "<body>\n<a class=\"skip\" href=\"#content\">Skip to content</a>\n"
      "<header>\n<nav aria-label=\"Site\">\n<ul>\n"
      "<li><a href=\"/\">Catalogue</a></li>\n<li><a href=\"/titles\">Titles</a></li>\n"
      "<li><a href=\"/series\">Series</a></li>\n<li><a href=\"/awards\">Awards</a></li>\n"
      "</ul>\n</nav>\n</header>\n<main id=\"content\">\n<h1>";
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
main{max-width:60em;margin:0 auto;padding:0 1em 3em}
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
ul.plain{padding-left:1.2em}
.pager{display:flex;gap:1em;justify-content:space-between}
.scroll{overflow-x:auto}
@media (max-width:40em){dl.fields{grid-template-columns:1fr}dl.fields dd{margin-bottom:.4em}th,td{padding:.25em .3em}}
)css";
}

}  // namespace zel::serve
