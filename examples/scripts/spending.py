#!/usr/bin/env python3
"""What the collection cost, per year of purchase and currency.

    python3 spending.py CATALOGUE
"""

import collections
import decimal
import sys

import zelcontrol


def main(catalogue):
    control = zelcontrol.Control()
    db = control.OpenDatabase(catalogue)
    totals = collections.defaultdict(decimal.Decimal)
    titles = collections.Counter()
    records = db.ExecuteSQLWithResult(
        "SELECT PurchaseDate, Price, CurrencyID FROM PurchaseInfo WHERE Price IS NOT NULL")
    while not records.EOF:
        date, price, currency = (records.Fields(i).Value for i in range(3))
        year = str(date.year) if date and date.year > 1899 else "unknown"
        key = (year, currency or "")
        totals[key] += decimal.Decimal(str(price))
        titles[key] += 1
        records.MoveNext()
    print(f"{'Year':<8}{'Currency':<10}{'Titles':>7}{'Spent':>12}")
    for year, currency in sorted(totals):
        amount = totals[year, currency].quantize(decimal.Decimal("0.01"))
        print(f"{year:<8}{currency:<10}{titles[year, currency]:>7}{amount:>12}")
    control.CloseDatabase()


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[2].strip())
    main(sys.argv[1])
