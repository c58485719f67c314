#!/usr/bin/env python3
"""The titles on loan: to whom, and when each is due back (overdue ones marked).

    python3 loans.py CATALOGUE
"""

import datetime
import sys

import zelcontrol


def main(catalogue):
    control = zelcontrol.Control()
    db = control.OpenDatabase(catalogue)
    records = db.ExecuteSQLWithResult(
        "SELECT p.Title, p.ProfileID, l.UserID, l.LoanedDue FROM LoanInfo AS l "
        "INNER JOIN Profiles AS p ON p.ProfileID = l.ProfileID ORDER BY l.LoanedDue, p.SortTitle")
    today = datetime.datetime.now()
    loans = 0
    while not records.EOF:
        title, profile_id, user, due = (records.Fields(name).Value
                                        for name in ("Title", "ProfileID", "UserID", "LoanedDue"))
        when = due.date().isoformat() if due else "no due date"
        late = "  OVERDUE" if due and due < today else ""
        print(f"{when}  {user}: {title} ({profile_id}){late}")
        loans += 1
        records.MoveNext()
    print(f"{loans} title{'' if loans == 1 else 's'} on loan")
    control.CloseDatabase()


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[2].strip())
    main(sys.argv[1])
