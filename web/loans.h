// What is out on loan: the /loans page, its JSON, and /loans.ics, an iCalendar feed (RFC 5545) of
// the due dates that calendar programs can subscribe to.
//
// A loan is the title's LoanInfo (borrower, due date). Since when it is out is the date of the
// borrower's last "Borrowed" event of the title, which lending through the server records; loans
// made elsewhere without one show no such date.
#pragma once

#include <string>

#include "frame/variant.h"
#include "web/data.h"

namespace zel::store {
class PlainDatabase;
}

namespace zel::web {

// {Today, Loans: [{ProfileID, Title, UserID, Since, LoanedDue, Days (until due; negative: late;
// null: no due date), Overdue}]}, overdue first by how late, then by due date, undated last.
Json LoansData(store::PlainDatabase& db, Date today);

// The page; with an "Edit" member ({Token}) each loan gets a button that marks it returned.
std::string LoansPage(const Json& data);

// The calendar of the loans with a due date: one all-day event per loan on its due date. Lines end
// in CR LF and are folded at 75 octets; `stamp` is the time the feed is made, in UTC.
std::string LoansCalendar(const Json& data, std::time_t stamp);

}  // namespace zel::web
