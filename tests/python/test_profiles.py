"""Profiles, their sub-records and the reference lists driven from Python, against real files."""

import datetime
import decimal
import unittest

import zelcontrol
from catalogue_case import CatalogueCase
from zel_tool import run_zel


class ProfilesTest(CatalogueCase):
    FILE = "p.zel"

    def reopen(self):
        self.control.CloseDatabase()
        self.control = zelcontrol.Control()
        self.db = self.control.OpenDatabase(self.path)

    def test_round_trip_through_a_fresh_control(self):
        profile = self.db.Profiles.Add("Alien", OriginalTitle="Alien (1979)")
        profile.ProductionYear = 1979
        profile.ReleaseDate = datetime.date(1999, 10, 26)
        profile.Cast.Add("Sigourney Weaver", "Ripley", 1, 1949)
        profile.Crew.Add("Ridley Scott", "Director", 1, 1937)
        profile.Discs.Add("1", "Feature").DualLayered = True
        profile.Genres.Add("Horror")
        profile.SRP.Value = decimal.Decimal("19.99")
        profile.SRP.CurrencyID = "USD"
        profile.Events.Add("Watched", "Ann", datetime.datetime(2024, 1, 2, 20, 0))
        profile.Tags.Add("Favourites", "/Favourites")
        profile.UpdateProfile()
        profile_id = profile.ProfileID

        self.reopen()
        read = self.db.Profiles[profile_id]
        self.assertEqual(read.Title, "Alien")
        self.assertEqual(read.ProductionYear, 1979)
        self.assertEqual([c.Name for c in read.Cast], ["Sigourney Weaver"])
        self.assertEqual(read.Crew[1].Role, "Director")
        self.assertTrue(read.Discs[1].DualLayered)
        self.assertEqual(read.Genres["horror"], "Horror")
        self.assertEqual(read.SRP.Value, decimal.Decimal("19.99"))
        self.assertEqual(read.SRP.GetCurrency.CurrencyName, "USD")
        self.assertEqual(read.Events[1].User.Name, "Ann")
        self.assertTrue(read.Tags.Exists("Favourites"))
        self.assertEqual(read.Awards.Count, 0)
        self.assertEqual(read.ReadProperty("NoSuchProperty"), None)
        self.assertEqual(read.GetPropertyList()[:3], ["Cast", "Crew", "Discs"])
        with self.assertRaises(zelcontrol.Error) as caught:
            self.db.Profiles.Item("nope")
        self.assertEqual(caught.exception.number, 5)
        self.assertIn("'nope'", caught.exception.description)

    def test_reference_lists_write_at_once(self):
        self.db.Users.Add("Bob", Phone="555")
        self.db.SQLQueries.Add("All", "SELECT * FROM Profiles")
        self.db.SQLQueries["All"].SQLStatement = "SELECT Title FROM Profiles"
        self.db.SQLQueries["All"].UpdateSQLQuery()
        self.db.Translations.Add("Title", "Titel")
        self.db.UpdateDatabase()
        self.reopen()
        self.assertEqual(self.db.Users["Bob"].Phone, "555")
        self.assertTrue(self.db.Users["Bob"].IsActive)
        self.assertEqual(self.db.SQLQueries["All"].SQLStatement, "SELECT Title FROM Profiles")
        self.assertEqual(self.db.Translations.Item("Title"), "Titel")
        with self.assertRaises(zelcontrol.Error) as raised:
            self.db.Users.Add("bob")
        self.assertEqual(raised.exception.number, 457)

    def test_loaded_lists_keep_imported_titles_and_saves_store_everything(self):
        profiles = self.db.Profiles
        self.db.ImportSingleProfilerXMLNode(
            "<DVD><ID>1</ID><UPC>1</UPC><Title>Imported</Title><Actors>"
            "<Actor FirstName='Ann' LastName='Lee'/></Actors></DVD>")
        self.assertEqual(profiles["Key_1"].Title, "Imported")
        self.db.UpdateDatabase()
        self.assertEqual(self.db.ExecuteSQLWithResult(
            "SELECT COUNT(*) FROM Profiles").GetRows(1), [[1]])
        title = profiles["Key_1"]
        title.Audio.Add("English", "DD", 1, "5.1")
        title.Audio.Add("German", "DD", 1, "2.0")
        with self.assertRaises(zelcontrol.Error) as raised:
            title.UpdateProfile()
        self.assertEqual(raised.exception.number, 3022)
        title.Audio = None
        title.LoanInfo.LoanedDue = datetime.date(2024, 6, 1)
        with self.assertRaises(zelcontrol.Error) as raised:
            title.UpdateProfile()
        self.assertEqual(raised.exception.number, 3314)

    def test_keys_fold_ascii_letters_only_like_the_file(self):
        self.db.Users.Add("émile")
        self.db.Users.Add("ÉMILE")
        self.db.Currencies.Add("EUR", "Euro", "E")
        profile = self.db.Profiles.Add("Case")
        profile.SRP.CurrencyID = "eur"
        profile.SRP.Value = decimal.Decimal("5")
        profile.UpdateProfile()
        season = self.db.TVShows.Add("S1", "Show").Seasons.Add("Season A")
        self.assertIs(self.db.TVShows["S1"].Seasons.Item("season a"), season)
        self.reopen()
        self.assertEqual(len(self.db.Users), 2)
        self.assertEqual(self.db.Profiles[1].SRP.GetCurrency.CurrencyID, "EUR")

    def test_box_set_lists_end_links_without_deleting_titles(self):
        box = self.db.Profiles.Add("Box")
        part = self.db.Profiles.Add("Part")
        box.ChildProfiles.AddProfile(part)
        box.ChildProfiles.Remove(1)
        self.assertEqual(self.db.ExecuteSQLWithResult(
            "SELECT COUNT(*) FROM Profiles").GetRows(1), [[2]])
        self.assertEqual(self.db.ExecuteSQLWithResult(
            "SELECT COUNT(*) FROM BoxSet").GetRows(1), [[0]])

    def test_zel_show_reads_what_python_wrote(self):
        profile = self.db.Profiles.Add("Heat")
        profile.Cast.Add("Al Pacino", "Hanna", 1, 1940)
        profile.UpdateProfile()
        profile_id = profile.ProfileID
        self.control.CloseDatabase()
        shown = run_zel("show", self.path, profile_id, "--json", check=True)
        self.assertIn('"Al Pacino"', shown.stdout)
        self.db = self.control.OpenDatabase(self.path)


if __name__ == "__main__":
    unittest.main()
