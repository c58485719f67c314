#!/usr/bin/env python3
"""Every title and episode a person appears in, under any of the names they were credited by.

    python3 appearances.py CATALOGUE NAME

NAME may be any credited form of the name: the catalogue's aliases gather them under one common
name, and the search covers all of them. Namesakes with different birth years are different people
and are listed apart (GetPersonName names each credit's person).
"""

import collections
import sys

import zelcontrol


def credits_of(db, item, common_name):
    """(person, credited name, role, cast or crew) of each credit of the name in a title or episode."""
    found = []
    for kind in ("Cast", "Crew"):
        for credit in getattr(item, kind):
            if credit.CommonName.lower() == common_name.lower():
                person = db.GetPersonName(credit.Name, credit.BirthYear)
                found.append((person, credit.Name, credit.Role, kind.lower()))
    return found


def main(catalogue, name):
    control = zelcontrol.Control()
    db = control.OpenDatabase(catalogue)
    common_name = db.GetCommonName(name)
    print(f"{common_name}" + (f" (credited also as {name})" if name != common_name else ""))
    lines = collections.defaultdict(dict)  # person -> {title or episode: its line}
    for item in db.FindAppearances(name):  # episodes first, then titles; one per credit
        if item.class_name == "ZelEpisode":
            key, line = item.EpisodeID, f"episode {item.EpisodeID}: {item.Title}"
        else:
            year = f" ({item.ProductionYear})" if item.ProductionYear else ""
            key, line = item.ProfileID, f"title   {item.ProfileID}: {item.Title}{year}"
        by_person = collections.defaultdict(list)
        for person, credited, role, kind in credits_of(db, item, common_name):
            by_person[person].append(f"{role or kind} as {credited}")
        for person, roles in by_person.items():
            lines[person].setdefault(key, f"  {line}  -- {'; '.join(dict.fromkeys(roles))}")
    for person in sorted(lines):
        if len(lines) > 1:
            print(person)
        print("\n".join(lines[person].values()))
    print(f"{len({key for found in lines.values() for key in found})} titles and episodes")
    control.CloseDatabase()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[2].strip())
    main(sys.argv[1], sys.argv[2])
