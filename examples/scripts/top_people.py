#!/usr/bin/env python3
"""The people credited most often, counted as people across all their credited names.

    python3 top_people.py CATALOGUE [COUNT]      (COUNT: 20 unless given)

Namesakes with different birth years are different people: the catalogue names each credit's person
(GetPersonName), with the birth year where namesakes share the name.
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
    person_of = {}  # (credited name, birth year) -> the person's name
    credits = collections.Counter()
    titles = collections.defaultdict(set)
    # Episodes derived from a title's episode headings repeat the title's credits: left out.
    for table, owner, where in (
            ("CastCrew", "ProfileID", ""),
            ("TVCastCrew", "EpisodeID", " WHERE NOT EXISTS (SELECT * FROM MetaInfo AS m WHERE "
                                        "m.ProfileID = c.EpisodeID AND m.InfoName = 'Derived')")):
        sql = f"SELECT c.Name, c.BirthYear, c.{owner}, c.Role FROM {table} AS c{where}"
        for name, birth_year, owner_id, role in rows(db, sql):
            if role in DIVIDERS:
                continue
            key = (name, birth_year or 0)
            if key not in person_of:
                person_of[key] = db.GetPersonName(name, birth_year or 0)
            person = person_of[key]
            credits[person] += 1
            if table == "CastCrew":
                titles[person].add(owner_id)
    print(f"{'Credits':>7}  {'Titles':>6}  Person")
    for person, number in sorted(credits.items(), key=lambda item: (-item[1], item[0]))[:count]:
        print(f"{number:>7}  {len(titles[person]):>6}  {person}")
    control.CloseDatabase()


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip().splitlines()[2].strip())
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) == 3 else 20)
