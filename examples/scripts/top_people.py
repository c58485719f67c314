#!/usr/bin/env python3
"""The people credited most often, counted as people across all their credited names.

    python3 top_people.py CATALOGUE [COUNT]      (COUNT: 20 unless given)
"""

import collections
import sys

import zelcontrol

# The rows the import keeps for the headings of a cast or crew list; nobody's credits.
DIVIDERS = ("[DivGroup]", "[DivEpisode]", "[DivTeam]", "[DivEnd]", "[Divider]")


def rows(db, sql):
    """The rows of a query as tuples."""
    records = db.ExecuteSQLWithResult(sql)
    fields = records.Fields
    while not records.EOF:
        yield tuple(fields(i).Value for i in range(fields.Count))
        records.MoveNext()


def main(catalogue, count):
    control = zelcontrol.Control()
    db = control.OpenDatabase(catalogue)
    credits = collections.Counter()
    titles = collections.defaultdict(set)
    for table, owner in (("CastCrew", "ProfileID"), ("TVCastCrew", "EpisodeID")):
        sql = (f"SELECT COALESCE(a.CommonName, c.Name), c.{owner}, c.Role FROM {table} AS c "
               "LEFT JOIN Alias AS a ON a.AliasName = c.Name")
        for person, owner_id, role in rows(db, sql):
            if role in DIVIDERS:
                continue
            credits[person] += 1
            titles[person].add(owner_id)
    print(f"{'Credits':>7}  {'Titles':>6}  Person")
    for person, number in sorted(credits.items(), key=lambda item: (-item[1], item[0]))[:count]:
        print(f"{number:>7}  {len(titles[person]):>6}  {person}")
    control.CloseDatabase()


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip().splitlines()[2].strip())
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) == 3 else 20)
