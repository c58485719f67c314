#include "web/loans.h"

#include <cmath>
#include <ctime>
#include <map>

#include "store/plain_database.h"
#include "web/cells.h"
#include "web/html.h"
#include "web/page_parts.h"
#include "web/sql.h"
#include "web/text.h"

namespace zel::web {
namespace {

int DaysBetween(Date from, Date to) {
  return static_cast<int>(std::floor(to.serial) - std::floor(from.serial));
}

// A TEXT value of iCalendar: backslash, semicolon, comma and line breaks escaped.
std::string CalendarText(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' || c == ';' || c == ',') {
      out += '\\';
      out += c;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\\n";
    } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
      out += c;
    }
  }
  return out;
}

// One content line, folded so that no line is longer than 75 octets, never inside a UTF-8
// sequence; each piece ends in CR LF and the continuations begin with a space.
std::string ContentLine(std::string_view line) {
  std::string out;
  size_t limit = 75;
  while (line.size() > limit) {
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    out.append(line.substr(0, cut));
    out += "\r\n ";
    line.remove_prefix(cut);
    limit = 74;  // the leading space counts
  }
  out.append(line);
  out += "\r\n";
  return out;
}

std::string CompactDate(Date date) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  Date{std::floor(date.serial)}.ToParts(year, month, day, hour, minute, second);
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
  return text;
}

}  // namespace

Json LoansData(store::PlainDatabase& db, Date today) {
  std::map<std::pair<std::string, std::string>, Date> since;  // by title and borrower
  {
    store::PlainStatement& borrowed = db.Prepare(
        "SELECT ProfileID, UserID, MAX(EventTimeStamp) FROM Events WHERE EventType = 'Borrowed' "
        "GROUP BY ProfileID, UserID");
    while (borrowed.Step()) {
      since[{borrowed.Text(0), borrowed.Text(1)}] = DateAt(borrowed, 2);
    }
    borrowed.Reset();
  }
  Json overdue = Json::array(), due = Json::array(), undated = Json::array();
  store::PlainStatement& loans = db.Prepare(
      "SELECT x.ProfileID, p.Title, x.UserID, x.LoanedDue FROM LoanInfo x INNER JOIN Profiles p ON "
      "p.ProfileID = x.ProfileID ORDER BY x.LoanedDue, p.SortTitle");
  while (loans.Step()) {
    const Date when = DateAt(loans, 3);
    const auto out = since.find({loans.Text(0), loans.Text(2)});
    const bool dated = when != Date::Zero();
    const int days = dated ? DaysBetween(today, when) : 0;
    Json loan = {{"ProfileID", loans.Text(0)},
                 {"Title", loans.Text(1)},
                 {"UserID", loans.Text(2)},
                 {"Since", out == since.end() ? Json(nullptr)
                                              : DateJson(Date{std::floor(out->second.serial)})},
                 {"LoanedDue", DateJson(when)},
                 {"Days", dated ? Json(days) : Json(nullptr)},
                 {"Overdue", dated && days < 0}};
    (!dated ? undated : days < 0 ? overdue : due).push_back(std::move(loan));
  }
  loans.Reset();
  Json all = std::move(overdue);
  for (Json& loan : due) all.push_back(std::move(loan));
  for (Json& loan : undated) all.push_back(std::move(loan));
  return {{"Today", DateJson(today)}, {"Loans", std::move(all)}};
}

std::string LoansPage(const Json& data) {
  const Json& edit = data.contains("Edit") ? data["Edit"] : Json();
  std::string rows;
  for (const Json& loan : data["Loans"]) {
    std::string due = Str(loan, "LoanedDue");
    if (loan["Overdue"].get<bool>()) due += Mark("overdue");
    std::string action;
    if (!edit.is_null()) {
      action = "<td><form method=\"post\" action=\"" +
               Escape(Link("/title/", Str(loan, "ProfileID"))) +
               "\"><input type=\"hidden\" name=\"token\" value=\"" + Escape(Str(edit, "Token")) +
               "\"><input type=\"hidden\" name=\"action\" value=\"return\">"
               "<input type=\"hidden\" name=\"back\" value=\"/loans\">"
               "<button type=\"submit\">Returned</button></form></td>";
    }
    rows += std::string("<tr") + (loan["Overdue"].get<bool>() ? " class=\"overdue\"" : "") +
            "><td>" + TitleLink(loan) + "</td><td>" + Escape(Str(loan, "UserID")) + "</td><td>" +
            Escape(Str(loan, "Since")) + "</td><td>" + due + "</td>" + action + "</tr>\n";
  }
  std::string body;
  if (!edit.is_null() && !Str(edit, "Note").empty()) {
    body += "<p class=\"note\" role=\"status\">" + Escape(Str(edit, "Note")) + "</p>\n";
  }
  if (rows.empty()) {
    body += "<p>Nothing is out on loan.</p>\n";
  } else {
    body +=
        "<div class=\"scroll\"><table>\n<caption>Titles on loan, overdue first</caption>\n"
        "<thead><tr><th scope=\"col\">Title</th><th scope=\"col\">Lent to</th>"
        "<th scope=\"col\">Since</th><th scope=\"col\">Due</th>" +
        std::string(edit.is_null() ? "" : "<th scope=\"col\">Return</th>") +
        "</tr></thead>\n<tbody>\n" + rows + "</tbody>\n</table></div>\n";
  }
  body +=
      "<p><a href=\"/loans.ics\">Due dates as a calendar</a> (iCalendar: subscribe to this "
      "address in a calendar program)</p>\n";
  return Page("Loans", body);
}

std::string LoansCalendar(const Json& data, std::time_t stamp) {
  std::tm utc{};
  gmtime_r(&stamp, &utc);
  char now[32];
  std::strftime(now, sizeof now, "%Y%m%dT%H%M%SZ", &utc);
  std::string calendar = ContentLine("BEGIN:VCALENDAR") + ContentLine("VERSION:2.0") +
                         ContentLine("PRODID:-//ZelControl//zel serve loans//EN") +
                         ContentLine("CALSCALE:GREGORIAN") +
                         ContentLine("X-WR-CALNAME:Loans due back");
  for (const Json& loan : data["Loans"]) {
    if (loan["Days"].is_null()) continue;
    Date due;
    ParseDate(Str(loan, "LoanedDue"), due);
    const std::string day = CompactDate(due);
    const std::string next = CompactDate(Date{due.serial + 1});
    const std::string title = Str(loan, "Title"), user = Str(loan, "UserID");
    // Stable while the loan stays as it is, so a calendar updates the event instead of adding one.
    const std::string uid =
        "loan-" + EncodeSegment(Str(loan, "ProfileID")) + "-" + day + "@zelcontrol";
    calendar += ContentLine("BEGIN:VEVENT") + ContentLine("UID:" + CalendarText(uid)) +
                ContentLine(std::string("DTSTAMP:") + now) +
                ContentLine("DTSTART;VALUE=DATE:" + day) + ContentLine("DTEND;VALUE=DATE:" + next) +
                ContentLine("SUMMARY:" + CalendarText("Due back: " + title + " (" + user + ")")) +
                ContentLine("DESCRIPTION:" + CalendarText(title + " was lent to " + user +
                                                          (Str(loan, "Since").empty()
                                                               ? std::string()
                                                               : " on " + Str(loan, "Since")) +
                                                          ".")) +
                ContentLine("TRANSP:TRANSPARENT") + ContentLine("END:VEVENT");
  }
  calendar += ContentLine("END:VCALENDAR");
  return calendar;
}

}  // namespace zel::web
