"""Television series, episodes and the appearance search driven from Python and from zel."""

import json
import unittest

import zelcontrol
from catalogue_case import CatalogueCase
from zel_tool import run_zel


class TelevisionTest(CatalogueCase):
    FILE = "tv.zel"

    def reopen(self):
        self.control.CloseDatabase()
        self.db = self.control.OpenDatabase(self.path)

    def build_series(self):
        show = self.db.TVShows.Add("S1", "Northern Exposure", OriginalTitle="Northern Exposure")
        season = show.Seasons.Add("1")
        pilot = season.Episodes.Add("Pilot", "1")
        pilot.Cast.Add("Janine Turner", "Maggie", 1, 0)
        pilot.Crew.Add("Joshua Brand", "Creator", 1, 0)
        pilot.UpdateEpisode()
        self.db.Aliases.Add("Janine Gauntt", "Janine Turner")
        return show

    def test_series_round_trip_and_assignment(self):
        self.build_series()
        box = self.db.Profiles.Add("Season One Box")
        box.AssignEpisode("S111")
        self.reopen()
        show = self.db.TVShows("S1")
        self.assertEqual(show.SortTitle, "Northern Exposure")
        episodes = show.Seasons("1").Episodes
        self.assertEqual(episodes.Count, 1)
        pilot = episodes("S111")
        self.assertEqual((pilot.Title, pilot.Season, pilot.ShowID), ("Pilot", "1", "S1"))
        self.assertEqual(pilot.Cast(1).Name, "Janine Turner")
        self.assertEqual(pilot.AssignedProfiles(1).Title, "Season One Box")
        self.assertEqual(self.db.Profiles(1).Episodes(1).EpisodeID, "S111")

    def test_identifier_collisions_are_refused(self):
        show = self.build_series()
        show.Seasons.Add("2").Episodes.Add("Thirteen", "13")
        with self.assertRaises(zelcontrol.Error) as caught:
            show.Seasons.Add("21").Episodes.Add("Three", "3")
        self.assertEqual(caught.exception.number, 3022)

    def test_appearances_under_an_alias(self):
        self.build_series()
        film = self.db.Profiles.Add("Cliffhanger")
        film.Cast.Add("Janine Gauntt", "Jessie", 1, 0)
        film.UpdateProfile()
        found = self.db.FindAppearances("Janine Gauntt")
        self.assertEqual([item.Title for item in found], ["Pilot", "Cliffhanger"])
        self.assertEqual(len(list(self.db.FindAppearances("Janine Turner", IncludeEpisodes=False))), 1)
        self.assertEqual(len(list(self.db.FindAppearances("Janine Turner", IncludeCast=False))), 0)

        self.control.CloseDatabase()
        out = run_zel("appearances", self.path, "Janine Turner", "--json", check=True).stdout
        self.db = self.control.OpenDatabase(self.path)
        hits = json.loads(out)["Appearances"]
        kinds = [(hit["Kind"], hit["Title"], hit["Roles"][0]["Role"]) for hit in hits]
        # By year, then title: neither has a year, and the film's title comes first.
        self.assertEqual(kinds, [("profile", "Cliffhanger", "Jessie"), ("episode", "Pilot", "Maggie")])
        self.assertEqual((hits[0]["ProfileID"], hits[1]["EpisodeID"]), (film.ProfileID, "S111"))

    def test_episode_headings_of_an_imported_disc_become_a_series(self):
        self.build_series()

        def disc(second_caption):
            actors = "".join(
                f'<Divider Caption="{caption}" Type="Episode"/>'
                '<Actor FirstName="Tom" LastName="Hale" Role="Narrator (voice)" BirthYear="0"/>'
                for caption in ("3.01 A Deadly Affair", second_caption))
            return ("<DVD><ID>D1</ID><UPC>1</UPC><Title>Castle: Season 3: Disc 1</Title>"
                    f"<Actors>{actors}</Actors><Credits><Credit FirstName=\"Tom\" "
                    'LastName="Hale" BirthYear="1946" CreditType="Direction" '
                    'CreditSubtype="Director"/></Credits></DVD>')

        self.db.ImportSingleProfilerXMLNode(disc("3.02 He's Dead"))
        self.db.ImportSingleProfilerXMLNode(disc("3.02 He Is Dead"))
        self.reopen()
        self.assertEqual(sorted(show.ShowID for show in self.db.TVShows), ["S1", "tv:castle"])
        self.assertEqual(self.db.TVShows("S1").Seasons("1").Episodes.Count, 1)
        episodes = list(self.db.TVShows("tv:castle").Seasons("3").Episodes)
        self.assertEqual([(e.Number, e.Title) for e in episodes],
                         [("01", "A Deadly Affair"), ("02", "He Is Dead")])
        self.assertEqual(episodes[1].Cast(1).Name, "Tom Hale")
        self.assertEqual(episodes[0].AssignedProfiles(1).ProfileID, "Key_D1")
        # The narrator has no birth year, and the only known Tom Hale was born 1946.
        self.assertEqual(self.db.GetPersonName("Tom Hale", 0), "Tom Hale")


if __name__ == "__main__":
    unittest.main()
