"""Aliases, awards and award files driven from Python, against real catalogue files."""

import os
import shutil
import tempfile
import unittest

import zelcontrol


class AliasesAndAwardsTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zelpy-")
        self.control = zelcontrol.Control()
        self.db = self.control.CreateDatabase(self.path("awards.zel"))
        self.messages = []
        zelcontrol.set_message_handler(lambda *args: self.messages.append(args))

    def tearDown(self):
        zelcontrol.set_message_handler(None)
        self.control.CloseDatabase()
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, text):
        with open(self.path(name), "w", encoding="utf-8", newline="") as out:
            out.write(text)
        return self.path(name)

    def test_aliases_and_common_names(self):
        aliases = self.db.Aliases
        anna = aliases.Add("Anna Berg", "Anne Berg", BirthYear=1950)
        self.assertEqual(aliases("anna berg1950"), anna)
        self.assertTrue(aliases.Exists("Anna Berg", 1950))
        self.assertFalse(aliases.Exists("Anna Berg"))
        self.assertEqual(self.db.GetCommonName("ANNA BERG"), "Anne Berg")
        self.assertEqual(self.db.GetCommonName("Nobody"), "Nobody")
        self.assertEqual(anna.GetPropertyList(), ["AliasName", "CommonName", "BirthYear", "Comment"])

        anna.CommonName = "Anna Bergman"
        self.db.UpdateDatabase()
        self.assertEqual(self.db.GetCommonName("Anna Berg"), "Anna Bergman")
        aliases.Remove(1)
        self.assertEqual(len(aliases), 0)
        self.assertEqual(self.db.GetCommonName("Anna Berg"), "Anna Berg")

    def test_award_list_and_queries(self):
        awards = self.db.Awards
        awards.Add("Oscar", "Best Picture", 2001, "Gladiator", True, "Douglas Wick")
        custom = zelcontrol.ZelAward()
        custom.Award = "Oscar"
        custom.Year = 2001
        custom.MovieTitle = "Chocolat"
        custom.MovieYear = 2000
        awards.AddAward(custom)
        self.db.UpdateAwards()

        found = self.db.GetMovieAwards("Chocolat: Special Edition", ProductionYear=2000)
        self.assertEqual([a.MovieTitle for a in found], ["Chocolat"])
        self.assertEqual(found(1).MovieYear, 2000)
        self.assertEqual([a.MovieTitle for a in self.db.GetAwardByYear("Oscar", "2001")],
                         ["Gladiator", "Chocolat"])
        self.assertEqual(len(self.db.GetPersonAwards("wick")), 1)
        with self.assertRaises(zelcontrol.Error) as raised:
            self.db.GetAwardByYear("Oscar", "2001; DELETE FROM Awards")
        self.assertEqual(raised.exception.number, 13)
        with self.assertRaises(zelcontrol.Error) as raised:
            custom.UpdateAward()
        self.assertEqual(raised.exception.number, 30)
        self.assertEqual(raised.exception.description, "Update Award not implemented")

    def test_award_files_in_both_forms(self):
        self.db.Aliases.Add("Kit Golden", "Katherine Golden")
        text = self.write("oscars.txt", "Chocolat|||2001||Oscar|Best Picture||Kit Golden|2000\r\n")
        self.db.ImportAwardFile(text)
        self.assertEqual(self.db.GetPersonAwards("Katherine")(1).MovieTitle, "Chocolat")

        xml = self.write("emmys.xml",
                         '<Awards><Award Name="Emmy" Year="2005"><Category Name="Drama">'
                         '<Movie Name="Lost" Won="True">J. J. Abrams</Movie>'
                         "</Category></Award></Awards>")
        self.db.ImportAwardFile(FilePath=xml)
        self.assertTrue(self.db.GetAwardByYear("Emmy", 2005)(1).HasWon)
        self.assertEqual(self.messages, [])

        bad = self.write("bad.txt", "Alien|||1980||Oscar|Effects|X|Giger\nBrazil|||1986\n")
        self.db.ImportAwardFile(bad)
        self.assertEqual(self.messages,
                         [("warning", "Error occured", "Award file %s\r\nhas an error at line 2!" % bad)])
        self.assertEqual(len(self.db.GetMovieAwards("Alien")), 0)


if __name__ == "__main__":
    unittest.main()
