"""Saves write what changed since it was read, and never what another writer changed meanwhile.

Each test drives real catalogue files; the second writer is another process (a Python subprocess
or zel sql) or the sqlite3 module standing for any other program.
"""

import datetime
import decimal
import json
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import unittest

import zelcontrol
from catalogue_case import CatalogueCase
from zel_tool import run_zel

CHANGED_ELSEWHERE = 3197


class WriteModelTest(CatalogueCase):
    FILE = "w.zel"

    def reopen(self):
        self.control.CloseDatabase()
        self.db = self.control.OpenDatabase(self.path)

    def count(self, sql):
        return self.db.ExecuteSQLWithResult(sql).GetRows(1)[0][0]

    def other_process(self, script):
        """Runs `script` with zelcontrol in another process, on this catalogue (`db`)."""
        subprocess.run(
            [sys.executable, "-c",
             "import sys, zelcontrol\n"
             "db = zelcontrol.Control().OpenDatabase(sys.argv[1])\n" + script, self.path],
            check=True)

    def other_program(self, *statements):
        """Writes what the library never would, as any other program may."""
        with sqlite3.connect(self.path) as connection:
            for statement in statements:
                connection.execute(statement)
        connection.close()

    def file_count(self, sql):
        """A count as another program reads the file, for values the dialect cannot name."""
        with sqlite3.connect(self.path) as connection:
            count = connection.execute(sql).fetchone()[0]
        connection.close()
        return count

    def add_profile(self, profile_id, title):
        profile = zelcontrol.ZelProfile()
        profile.ProfileID = profile_id
        profile.Title = title
        return self.db.Profiles.AddProfile(profile)

    def assert_changed_elsewhere(self, call):
        with self.assertRaises(zelcontrol.Error) as raised:
            call()
        self.assertEqual(raised.exception.number, CHANGED_ELSEWHERE)
        self.assertIn("changed elsewhere since it was read", raised.exception.description)

    def test_another_process_keeps_its_tags_and_fixes(self):
        self.add_profile("M", "Mine").Tags.Add("Old", "/Old")
        self.db.Profiles["M"].UpdateProfile()
        self.add_profile("T", "Theirs")
        self.reopen()
        mine = self.db.Profiles["M"]
        self.assertEqual(mine.Tags.Count, 1)
        self.other_process(
            "p = db.Profiles['M']; p.Tags.Add('Theirs', '/Theirs'); p.UpdateProfile()\n"
            "t = db.Profiles['T']; t.Title = 'Theirs (fixed)'; t.UpdateProfile()\n")
        mine.Title = "Mine (edited)"
        mine.Tags.Add("Mine", "/Mine")
        self.db.UpdateDatabase()
        self.assertEqual(self.count("SELECT COUNT(*) FROM Tags"), 3)
        self.assertEqual(self.count("SELECT COUNT(*) FROM Profiles WHERE Title LIKE '*(fixed)'"), 1)
        self.assertEqual(self.count("SELECT COUNT(*) FROM Profiles WHERE Title = 'Mine (edited)'"), 1)
        # A row the other process changed is not overwritten: the save fails and writes nothing.
        theirs = self.db.Profiles["T"]
        theirs.Notes = "stale"
        self.assert_changed_elsewhere(theirs.UpdateProfile)
        self.assertEqual(self.count("SELECT COUNT(*) FROM Profiles WHERE Notes = 'stale'"), 0)

    def test_a_failed_save_changes_nothing_and_a_retry_does_the_first_try(self):
        self.add_profile("F", "First").Cast.Add("Ann Lee", "Herself", 1, 0)
        self.add_profile("S", "Second").Tags.Add("Drama", "/Drama")
        self.db.UpdateDatabase()
        self.reopen()
        profiles = self.db.Profiles
        first = profiles["F"]
        first.Cast[1].Role = "Narrator"
        first.ProfileID = "Renamed"
        second = profiles["S"]
        second.Tags.Add("drama", "/Lists/Drama")  # the file takes it as the same tag
        with self.assertRaises(zelcontrol.Error) as raised:
            self.db.UpdateDatabase()
        self.assertEqual(raised.exception.number, 3022)
        self.assertEqual(self.count("SELECT COUNT(*) FROM Profiles WHERE ProfileID = 'Renamed'"), 0)
        second.Tags.Remove(2)
        self.db.UpdateDatabase()
        self.assertEqual(self.count("SELECT COUNT(*) FROM Profiles"), 2)
        self.assertEqual(self.count(
            "SELECT COUNT(*) FROM CastCrew WHERE ProfileID = 'Renamed' AND Role = 'Narrator'"), 1)
        self.assertEqual(self.count("SELECT COUNT(*) FROM CastCrew WHERE ProfileID = 'F'"), 0)
        self.assertIs(profiles["Renamed"], first)

    def test_renamed_members_keep_their_rows_and_never_take_anothers(self):
        self.add_profile("P1", "One")
        self.add_profile("P2", "Two")
        self.db.Users.Add("Ann")
        self.db.Users.Add("Bob")
        self.db.Retailers.Add("Shop")
        self.db.Retailers.Add("Store")
        self.db.SQLQueries.Add("Q1", "SELECT 1")
        self.db.SQLQueries.Add("Q2", "SELECT 2")
        self.db.Aliases.Add("Annie", "Ann Lee")
        self.db.Aliases.Add("A. Lee", "Ann Lee")
        self.db.TVShows.Add("S1", "One")
        self.db.TVShows.Add("S2", "Two")
        self.reopen()
        lists = [("Profiles", "ProfileID", "ProfileID", "Profiles"),
                 ("Users", "Name", "UserID", "Users"), ("Retailers", "Name", "Name", "Retailers"),
                 ("SQLQueries", "Name", "Name", "SQLQueries"),
                 ("Aliases", "AliasName", "AliasName", "Alias"),
                 ("TVShows", "ShowID", "SeriesID", "TVSeries")]
        for name, field, column, table in lists:
            with self.subTest(list=name):
                members = getattr(self.db, name)
                first, second = members[1], members[2]
                taken = getattr(second, field)
                setattr(first, field, taken)
                # Onto another member's key: the list save fails and nothing is lost.
                with self.assertRaises(zelcontrol.Error) as raised:
                    getattr(self.db, "Update" + name)()
                self.assertEqual(raised.exception.number, 3022)
                self.assertEqual(self.count(f"SELECT COUNT(*) FROM {table}"), 2)
                # Removing the renamed member deletes its own row, not the other's.
                members.Remove(1)
                self.assertEqual(
                    self.count(f"SELECT COUNT(*) FROM {table} WHERE {column} = '{taken}'"), 1)
                self.assertEqual(self.count(f"SELECT COUNT(*) FROM {table}"), 1)

    def test_lists_keep_rows_another_process_added(self):
        self.db.Aliases.Add("Annie", "Ann Lee")
        self.db.Awards.Add("Oscar", "Best Picture", 1999, "Alpha", True, "")
        self.db.Awards.Add("Oscar", "Best Actor", 1999, "Alpha", False, "Ann Lee")
        self.db.UpdateAwards()
        self.reopen()
        aliases, awards = self.db.Aliases, self.db.Awards
        self.assertEqual(awards.Count, 2)
        self.other_process(
            "db.Aliases.Add('A. Lee', 'Ann Lee')\n"
            "db.ExecuteSQL(\"UPDATE Awards SET Won = true WHERE Category = 'Best Actor'\")\n"
            "db.ExecuteSQL(\"DELETE FROM Awards WHERE Category = 'Best Picture'\")\n")
        aliases["Annie"].Comment = "mine"
        self.db.UpdateDatabase()
        self.assertEqual(self.count("SELECT COUNT(*) FROM Alias"), 2)
        # Awards unchanged here are not written: neither duplicated nor brought back.
        self.assertEqual(self.count("SELECT COUNT(*) FROM Awards"), 1)
        self.assertEqual(self.count("SELECT COUNT(*) FROM Awards WHERE Won = true"), 1)
        awards[1].Nominee = "Somebody"
        self.assert_changed_elsewhere(self.db.UpdateAwards)

    def test_a_renamed_series_takes_its_episodes_and_locks(self):
        show = self.db.TVShows.Add("S1", "Show")
        show.Locks.Add("Title", "Title")
        season = show.Seasons.Add("1")
        season.Locks.Add("Cast", "Cast")
        pilot = season.Episodes.Add("Pilot", "1")
        pilot.Cast.Add("Ann Lee", "Maggie", 1, 0)
        show.UpdateTVShow()
        self.db.TVShows.Add("S2", "Other")
        self.reopen()
        show = self.db.TVShows["S1"]
        show.ShowID = "S9"
        show.UpdateTVShow()
        self.assertEqual(self.count("SELECT COUNT(*) FROM Episodes WHERE SeriesID = 'S9'"), 1)
        self.assertEqual(self.count("SELECT COUNT(*) FROM TVCastCrew WHERE EpisodeID = 'S111'"), 1)
        self.reopen()
        show = self.db.TVShows["S9"]
        self.assertEqual((show.Locks.Count, show.Seasons[1].Locks.Count), (1, 1))
        self.assertEqual(show.Seasons[1].Episodes[1].ShowID, "S9")
        # A season of another series joins no other list, and the list keeps its series.
        with self.assertRaises(zelcontrol.Error) as raised:
            self.db.TVShows["S2"].Seasons.AddSeason(show.Seasons[1])
        self.assertEqual(raised.exception.number, 5)
        self.db.TVShows["S2"].Seasons.Add("1").Episodes.Add("Its own", "1")
        self.assertEqual(self.count("SELECT COUNT(*) FROM Episodes WHERE SeriesID = 'S2'"), 1)

    def test_values_the_file_holds_are_read_whole_and_kept(self):
        profile = self.db.Profiles.Add("Odd")
        profile.Cast.Add("Ann Lee", "Herself", 1, 0)
        profile.Discs.Add("1", "One")
        profile.UpdateProfile()
        show = self.db.TVShows.Add("S1", "Show")
        show.Seasons.Add("1").Episodes.Add("Pilot", "1")
        pid = profile.ProfileID
        self.control.CloseDatabase()
        self.other_program(
            f"UPDATE Profiles SET Runtime = 5000000000, Released = '' WHERE ProfileID = '{pid}'",
            "UPDATE CastCrew SET IsUncredited = NULL, IsVoice = NULL",
            f"UPDATE Discs SET DiscNo = 40001 WHERE ProfileID = '{pid}'",
            f"INSERT INTO Discs (ProfileID, DiscNo) VALUES ('{pid}', 40002)",
            "UPDATE Episodes SET Runtime = 70000, Season = NULL",
            "INSERT INTO TVCastCrew (Name, Position, EpisodeID, IsCast, IsVoice) "
            "VALUES ('Bo Berg', 1, 'S111', 1, NULL)")
        listed = run_zel("profiles", self.path, "--json")
        self.assertEqual(listed.returncode, 0, listed.stderr)
        shown = run_zel("show", self.path, pid, "--json")
        self.assertEqual(shown.returncode, 0, shown.stderr)
        self.db = self.control.OpenDatabase(self.path)
        profile = self.db.Profiles[pid]
        self.assertEqual(profile.RunningTime, 5000000000)
        self.assertFalse(profile.Cast[1].IsUncredited)
        self.assertEqual([disc.Number for disc in profile.Discs], [40001, 40002])
        profile.Discs[2].Slot = "B"
        profile.Title = "Odd (edited)"
        profile.UpdateProfile()
        season = self.db.TVShows["S1"].Seasons[1]
        self.assertEqual(season.Name, "")
        episode = season.Episodes[1]
        self.assertEqual(episode.RunningTime, 70000)
        self.assertFalse(episode.Cast[1].IsVoice)
        episode.Title = "Pilot (edited)"
        episode.UpdateEpisode()
        self.assertEqual(self.file_count(
            "SELECT COUNT(*) FROM Profiles WHERE Runtime = 5000000000 AND Released = ''"), 1)
        self.assertEqual(self.count("SELECT COUNT(*) FROM CastCrew WHERE IsVoice IS NULL"), 1)
        self.assertEqual(self.count("SELECT COUNT(*) FROM Discs WHERE Slot = 'B'"), 1)
        self.assertEqual(self.count(
            "SELECT COUNT(*) FROM Episodes WHERE Runtime = 70000 AND Season IS NULL"), 1)

    def test_amounts_keep_four_decimals_or_are_refused(self):
        purchase = self.db.Profiles.Add("Priced").PurchaseInfo
        for amount in ("98765432109876.5432", "922337203685477.5807"):
            with self.subTest(amount=amount):
                with self.assertRaises(zelcontrol.Error) as raised:
                    purchase.Price = decimal.Decimal(amount)
                self.assertEqual(raised.exception.number, 6)
        purchase.Price = decimal.Decimal("123456789.1234")
        self.db.UpdateProfiles()
        self.control.CloseDatabase()
        self.other_program("INSERT INTO Profiles (ProfileID, Title) VALUES ('Big', 'Big')",
                           "INSERT INTO PurchaseInfo (ProfileID, Price) VALUES "
                           "('Big', 98765432109876.5432)")
        stored = self.file_count("SELECT Price FROM PurchaseInfo WHERE ProfileID = 'Big'")
        self.db = self.control.OpenDatabase(self.path)
        # What is stored reads back, to the four decimals nearest to it.
        self.assertEqual(self.db.Profiles["Big"].PurchaseInfo.Price,
                         decimal.Decimal(stored).quantize(decimal.Decimal("0.0001")))
        self.assertEqual(self.count("SELECT COUNT(*) FROM PurchaseInfo WHERE Price = 123456789.1234"),
                         1)

    def test_every_write_goes_to_its_own_catalogue(self):
        first = self.db
        second_path = os.path.join(self.dir, "second.zel")
        second = self.control.CreateDatabase(second_path)  # now the active one
        first.ImportSingleProfilerXMLNode(
            "<DVD><ID>1</ID><UPC>1</UPC><Title>Imported</Title></DVD>")
        added = zelcontrol.ZelProfile()
        added.Title = "Added"
        added.Cast.Add("Ann Lee", "Herself", 1, 0)  # read while the second catalogue is active
        first.Profiles.AddProfile(added)
        added.Notes = "edited later"
        added.UpdateProfile()
        self.assertEqual(first.ExecuteSQLWithResult("SELECT COUNT(*) FROM Profiles").GetRows(1),
                         [[2]])
        self.assertEqual(first.ExecuteSQLWithResult(
            "SELECT COUNT(*) FROM Profiles WHERE Notes = 'edited later'").GetRows(1), [[1]])
        self.assertEqual(first.ExecuteSQLWithResult("SELECT COUNT(*) FROM CastCrew").GetRows(1),
                         [[1]])
        self.assertEqual(second.ExecuteSQLWithResult("SELECT COUNT(*) FROM Profiles").GetRows(1),
                         [[0]])
        infos = zelcontrol.ZelInfos()
        infos.Add("Color", "Blue")
        infos.Add("Size", "Big").Name = "color"
        with self.assertRaises(zelcontrol.Error) as raised:
            first.WriteAdditionalInfosByProfileID("Key_1", infos)
        self.assertEqual(raised.exception.number, 3022)
        self.assertEqual(first.ExecuteSQLWithResult(
            "SELECT COUNT(*) FROM AdditionalInfo").GetRows(1), [[0]])


class WorkDoneHereTest(unittest.TestCase):
    """What is edited here survives the next import of a changed export."""

    SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    TITLE = "Key_800004711000"
    SHOWN = '800004711000 "Harbour Trilogy (Box Set)"'

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zelpy-")
        self.path = os.path.join(self.dir, "here.zel")
        with open(os.path.join(self.SOURCE, "examples", "collection.xml"), encoding="cp1252",
                  newline="") as example:
            self.export = example.read()
        self.assertEqual(run_zel("create", self.path).returncode, 0)
        self.import_file(self.write("first.xml", self.export))

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w", encoding="cp1252", newline="") as out:
            out.write(text)
        return path

    def import_file(self, path, *args, catalogue=None):
        result = run_zel("import", catalogue or self.path, path, "--quiet", *args)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout

    def edit(self, change):
        control = zelcontrol.Control()
        db = control.OpenDatabase(self.path)
        change(db, db.Profiles[self.TITLE])
        control.CloseDatabase()

    def read(self, catalogue=None):
        control = zelcontrol.Control()
        title = control.OpenDatabase(catalogue or self.path).Profiles[self.TITLE]
        shown = ([tag.Name for tag in title.Tags], title.LoanInfo.User.Name, title.Notes,
                 title.Overview.splitlines()[-1])
        control.CloseDatabase()
        return shown

    def test_a_changed_export_keeps_what_was_edited_here_and_names_conflicts(self):
        def lend_and_tag(db, title):
            db.Users.Add("Ann")
            title.Tags.Add("Mine", "/Mine")
            title.LoanInfo.UserID = "Ann"
            title.LoanInfo.LoanedDue = datetime.date(2027, 1, 1)
            title.Notes = "Signed by the director."
            title.UpdateProfile()
        self.edit(lend_and_tag)
        # The export changes the title's overview, and nothing that was edited here.
        retold = self.export.replace("Title 1 of 30: Harbour Trilogy (Box Set).",
                                     "Retold: Harbour Trilogy (Box Set).", 1)
        changed = self.write("changed.xml", retold)

        before = self.read()
        dry = json.loads(self.import_file(changed, "--dry-run", "--json"))
        self.assertEqual(dry["ChangedTitles"][0]["KeptEditedHere"], ["Notes", "LoanInfo", "Tags"])
        self.assertEqual(dry["ChangedTitles"][0]["Sections"], ["Overview"])
        self.assertEqual(self.read(), before)

        out = self.import_file(changed)
        self.assertIn("kept 3 sections edited here on 1 title\n", out)
        self.assertIn("changed: " + self.SHOWN + ": Overview; kept as edited here: Notes, "
                      "LoanInfo, Tags\n", out)
        self.assertEqual(self.read(), (["Mine"], "Ann", "Signed by the director.",
                                       "Retold: Harbour Trilogy (Box Set)."))

        # The marks travel with a dump and a compacted copy: the export's own tag then conflicts.
        dump = os.path.join(self.dir, "dump.json")
        self.assertEqual(run_zel("export", self.path, "--format", "json", "-o", dump).returncode, 0)
        copy = os.path.join(self.dir, "copy.zel")
        self.assertEqual(run_zel("restore", copy, dump).returncode, 0)
        self.assertEqual(run_zel("compact", copy).returncode, 0)
        theirs = self.write("theirs.xml", retold.replace(
            "<Tags/>", '<Tags><Tag Name="Theirs" FullName="Theirs"/></Tags>', 1))
        out = self.import_file(theirs, catalogue=copy)
        self.assertIn("conflict: " + self.SHOWN + ": Tags was changed both in the file and here; "
                      "kept the version edited here (--prefer-export takes the file's)\n", out)
        self.assertEqual(self.read(copy)[0], ["Mine"])
        # Reported once; the file's side when asked for.
        self.assertNotIn("conflict", self.import_file(theirs, catalogue=copy))
        self.assertEqual(run_zel("import", copy, changed, "--quiet").returncode, 0)
        out = self.import_file(theirs, "--prefer-export", catalogue=copy)
        self.assertIn("Tags was changed both in the file and here; took the file's version", out)
        self.assertEqual(self.read(copy)[:2], (["Theirs"], "Ann"))


if __name__ == "__main__":
    unittest.main()
