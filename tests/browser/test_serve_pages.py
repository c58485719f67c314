"""zel serve in a real browser: headless Chromium renders the example catalogue served with the
example covers (examples/images). The person page lists a person's titles and episodes under both
of their names; the cover grid shows one image per title with a cover and the placeholder
elsewhere; the statistics page draws its charts with their figures in tables; a series page shows
each episode with its cast and the discs that hold it. Screenshots of the
grid, a title page, the statistics and the person page are saved under the build folder."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unicodedata
import unittest
import urllib.request
from html.parser import HTMLParser

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
IMAGES = os.path.join(SOURCE, "examples", "images")
ZEL = os.environ.get("ZEL_BIN", os.path.join(SOURCE, "build", "bin", "zel"))
SCREENSHOT_DIR = os.environ.get("ZEL_SCREENSHOT_DIR", os.path.join(SOURCE, "build"))
BROWSER_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--virtual-time-budget=5000"]


def find_chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def zel(*args):
    result = subprocess.run([ZEL, *args], capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        raise AssertionError(f"zel {' '.join(args)} failed: {result.stderr}")
    return result.stdout


class Page(HTMLParser):
    """What the tests read of a rendered page: table rows with their table's caption, the items of
    the cover grid, the charts, the filter forms, the order the list is sorted by, and the order of
    its headings and fact lists."""

    def __init__(self):
        super().__init__()
        self.rows = []  # (caption, [cell texts])
        self.grid = []  # per item: {"href", "img" (src or None), "placeholder" (text or None)}
        self.charts = 0
        self.filter_forms = 0
        self.more_filters_open = []  # per folded group of filters: whether it shows unfolded
        self.sorted_by = []  # (heading, "ascending" or "descending")
        self.outline = []  # ("h2", text) and ("facts", first term) in document order
        self._heading = None
        self._sort = None
        self._term = None
        self.caption = ""
        self._in_caption = False
        self._cells = None
        self._cell = None
        self._in_grid = False
        self._placeholder = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        classes = (attrs.get("class") or "").split()
        if tag == "caption":
            self._in_caption, self.caption = True, ""
        elif tag == "tr":
            self._cells = []
        elif tag in ("td", "th") and self._cells is not None:
            self._cell = ""
        elif tag == "ul" and "grid" in classes:
            self._in_grid = True
        elif self._in_grid and tag == "a":
            self.grid.append({"href": attrs.get("href"), "img": None, "placeholder": None})
        elif self._in_grid and tag == "img" and self.grid:
            self.grid[-1]["img"] = attrs.get("src")
        elif self._in_grid and tag == "div" and "placeholder" in classes and self.grid:
            self._placeholder = ""
        elif tag == "table" and "chart" in classes:
            self.charts += 1
        elif tag == "form" and "filters" in classes:
            self.filter_forms += 1
        elif tag == "details" and "more" in classes:
            self.more_filters_open.append("open" in attrs)
        if tag == "th" and attrs.get("aria-sort"):
            self._sort = [attrs["aria-sort"], ""]
        elif tag == "h2":
            self._heading = ""
        elif tag == "dl" and "fields" in classes:
            self.outline.append(("facts", None))
        elif tag == "dt" and self.outline and self.outline[-1] == ("facts", None):
            self._term = ""

    def handle_endtag(self, tag):
        if tag == "th" and self._sort is not None:
            self.sorted_by.append((" ".join(self._sort[1].split()), self._sort[0]))
            self._sort = None
        elif tag == "h2" and self._heading is not None:
            self.outline.append(("h2", " ".join(self._heading.split())))
            self._heading = None
        elif tag == "dt" and self._term is not None:
            self.outline[-1] = ("facts", self._term.strip())
            self._term = None
        if tag == "caption":
            self._in_caption = False
        elif tag in ("td", "th") and self._cell is not None:
            self._cells.append(" ".join(self._cell.split()))
            self._cell = None
        elif tag == "tr" and self._cells is not None:
            self.rows.append((self.caption, self._cells))
            self._cells = None
        elif tag == "ul" and self._in_grid:
            self._in_grid = False
        elif tag == "div" and self._placeholder is not None:
            self.grid[-1]["placeholder"] = " ".join(self._placeholder.split())
            self._placeholder = None

    def handle_data(self, data):
        if self._sort is not None:
            self._sort[1] += data
        if self._heading is not None:
            self._heading += data
        if self._term is not None:
            self._term += data
        if self._in_caption:
            self.caption += data
        if self._cell is not None:
            self._cell += data
        if self._placeholder is not None:
            self._placeholder += data


class ServePagesInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.chromium = find_chromium()
        if not cls.chromium:
            raise unittest.SkipTest("no Chromium installed (make test installs it)")
        cls.folder = tempfile.mkdtemp(prefix="zel-browser-")
        cls.catalogue = os.path.join(cls.folder, "example.zel")
        zel("create", cls.catalogue)
        zel("import", cls.catalogue, os.path.join(SOURCE, "examples", "collection.xml"))
        with open(os.path.join(HERE, "example_series.sql"), encoding="utf-8") as statements:
            for line in statements:
                if line.strip():
                    zel("sql", cls.catalogue, line.strip())
        cls.server = subprocess.Popen(
            [ZEL, "serve", cls.catalogue, "--port", "0", "--bind", "127.0.0.1",
             "--images", IMAGES],
            stdout=subprocess.PIPE, text=True)
        first = cls.server.stdout.readline()
        marker = "http://127.0.0.1:"
        if marker not in first:
            cls.server.kill()
            raise AssertionError(f"zel serve did not start: {first!r}")
        port = int(first.split(marker, 1)[1].split("/", 1)[0])
        cls.base = f"http://127.0.0.1:{port}"

    @classmethod
    def tearDownClass(cls):
        if getattr(cls, "server", None):
            cls.server.terminate()
            cls.server.wait(timeout=30)
        if getattr(cls, "folder", None):
            shutil.rmtree(cls.folder, ignore_errors=True)

    def browse(self, path, *extra):
        # A new, empty profile folder for every run: nothing from an earlier session leaks in.
        with tempfile.TemporaryDirectory(prefix="zel-chromium-") as profile:
            result = subprocess.run(
                [self.chromium, *BROWSER_FLAGS, f"--user-data-dir={profile}", *extra,
                 self.base + path],
                capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr[-2000:])
        return result.stdout

    def rendered(self, path):
        page = Page()
        page.feed(self.browse(path, "--dump-dom"))
        return page

    def api(self, path):
        with urllib.request.urlopen(self.base + "/api" + path, timeout=30) as answer:
            return json.load(answer)

    def screenshot(self, path, name, height, width=1000):
        os.makedirs(SCREENSHOT_DIR, exist_ok=True)
        target = os.path.join(SCREENSHOT_DIR, name)
        if os.path.exists(target):
            os.remove(target)
        self.browse(path, f"--screenshot={target}", f"--window-size={width},{height}",
                    "--hide-scrollbars")
        with open(target, "rb") as image:
            self.assertEqual(image.read(8), b"\x89PNG\r\n\x1a\n")

    def test_person_page_lists_titles_and_episodes_under_both_names(self):
        # The name has namesakes; the page of the one born in 1941 lists his own credits.
        page = self.rendered("/person/T.%20Keller?born=1941")
        lines = {}
        for caption, cells in page.rows:
            if caption in ("Titles", "Episodes") and len(cells) == 3:
                lines.setdefault(caption, []).append(cells)
        titles = {cells[0]: cells[2] for cells in lines["Titles"]}
        self.assertEqual(titles["Harbour Trilogy (Box Set)"],
                         "River Captain (as T. Keller); Screenwriter")
        self.assertTrue(any("as T. Keller" not in roles for roles in titles.values()))
        episodes = {cells[0]: cells[2] for cells in lines["Episodes"]}
        self.assertEqual(episodes["Harbour Lights \u2013 1.1 The Lighthouse"], "Lighthouse Keeper")
        self.assertEqual(episodes["Harbour Lights \u2013 1.2 Low Tide"],
                         "Lighthouse Keeper (as T. Keller)")

    def test_series_page_shows_episodes_with_their_cast_and_discs(self):
        self.assertIn('href="/series/tv%3Aempire-distant"',
                      self.browse("/title/Key_800004711074.4", "--dump-dom"))
        page = self.rendered("/series/tv%3Aempire-distant")
        series = self.api("/series/tv%3Aempire-distant")
        self.assertEqual([text for kind, text in page.outline if kind == "h2"][0], "Season 1")
        self.assertIn(("facts", "On"), page.outline)
        episode = series["Seasons"][0]["Episodes"][0]
        cast = [" ".join(cells) for caption, cells in page.rows if caption == "Cast"]
        for credit in episode["Cast"]:
            if credit.get("Name"):
                self.assertTrue(any(credit["Name"] in row for row in cast), credit["Name"])
        self.screenshot("/series/tv%3Aempire-distant", "serve-series-page.png", 1200)

    def test_cover_grid_shows_covers_and_placeholders(self):
        page = self.rendered("/titles?view=grid&collection=all")
        titles = self.api("/titles?view=grid&collection=all")["Titles"]
        self.assertEqual(len(page.grid), len(titles))
        fronts = {name[:-len("f.png")] for name in os.listdir(IMAGES) if name.endswith("f.png")}
        with_cover = 0
        for item, title in zip(page.grid, titles):
            self.assertEqual(item["href"], "/title/" + title["ProfileID"].replace(" ", "%20"))
            cover_id = title["ProfileID"].removeprefix("Key_")
            if cover_id in fronts:
                with_cover += 1
                self.assertEqual(item["img"], f"/cover/{title['ProfileID']}/front?size=thumb")
                self.assertIsNone(item["placeholder"])
                with urllib.request.urlopen(self.base + item["img"], timeout=30) as image:
                    self.assertEqual(image.headers["Content-Type"], "image/png")
                    self.assertEqual(image.read(8), b"\x89PNG\r\n\x1a\n")
            else:
                self.assertIsNone(item["img"], title["Title"])
                self.assertEqual(item["placeholder"], title["Title"])
        self.assertGreater(with_cover, 3)
        self.assertGreater(len(titles) - with_cover, 3)

    def test_statistics_page_draws_charts_with_their_figures(self):
        page = self.rendered("/stats")
        stats = self.api("/stats")
        self.assertGreaterEqual(page.charts, 6)
        genres = {cells[0]: int(cells[1]) for caption, cells in page.rows
                  if caption == "Titles by genre" and cells[0] != "Genre"}
        self.assertEqual(genres, {item["Genre"]: item["Titles"] for item in stats["Genres"]})
        people = [cells for caption, cells in page.rows if caption.startswith("People by")]
        keller = next(item for item in stats["People"] if item["CommonName"] == "Tomas Keller")
        self.assertIn(["Tomas Keller", f"{keller['Titles']} titles, {keller['Episodes']} episodes"],
                      people)

    def test_title_list_is_one_compact_bar_and_a_sortable_table(self):
        query = "/titles?collection=all&sort=year&order=desc"
        page = self.rendered(query)
        self.assertEqual(page.filter_forms, 1)
        self.assertEqual(page.more_filters_open, [False])
        rows = [cells for caption, cells in page.rows if caption == "Titles"]
        header, body = rows[0], rows[1:]
        for column in ("Year", "Medium", "Running time", "Rating", "Director", "Purchased",
                       "Price"):
            self.assertIn(column, header)
        self.assertEqual(page.sorted_by, [("Year", "descending")])
        titles = self.api(query)["Titles"]
        self.assertEqual(len(body), len(titles))
        for cells, title in zip(body, titles):
            self.assertTrue(cells[1].startswith(title["Title"]), (cells, title["Title"]))
        years = [int(cells[header.index("Year")]) for cells in body
                 if cells[header.index("Year")]]
        self.assertEqual(years, sorted(years, reverse=True))
        self.assertGreater(len(set(years)), 3)
        # A filter among the rarer ones shows them unfolded.
        filtered = self.rendered("/titles?collection=all&location=Shelf%201")
        self.assertEqual(filtered.more_filters_open, [True])

    def test_people_index_pages_people_by_credits(self):
        page = self.rendered("/people")
        people = self.api("/people")["People"]
        rows = [cells for caption, cells in page.rows if caption == "People"][1:]
        self.assertEqual([cells[0] for cells in rows], [p["CommonName"] for p in people])
        credits = [int(cells[1]) + int(cells[2]) for cells in rows]
        self.assertEqual(credits, sorted(credits, reverse=True))
        self.assertEqual(rows[0][0], "Tomas Keller")
        by_name = [cells[0] for caption, cells in self.rendered("/people?sort=name").rows
                   if caption == "People"][1:]
        named = self.api("/people?sort=name")["People"]
        self.assertEqual(by_name, [person["CommonName"] for person in named])
        initials = [unicodedata.normalize("NFKD", name)[0].casefold() for name in by_name]
        self.assertEqual(initials, sorted(initials))

    def test_title_page_at_phone_width_puts_the_facts_first(self):
        page = self.rendered("/title/Key_800004711000")
        headings = [text for kind, text in page.outline if kind == "h2"]
        self.assertEqual(page.outline[0][0], "facts")
        self.assertLess(headings.index("Crew"), headings.index("Cast"))
        self.screenshot("/title/Key_800004711000", "serve-title-page-phone.png", 1800, 390)

    def test_screenshots(self):
        pages = [("/", "home", 1200), ("/titles?collection=all", "title-list", 1400),
                 ("/titles?view=grid&collection=all", "cover-grid", 1300),
                 ("/title/Key_800004711000", "title-page", 1500),
                 ("/person/T.%20Keller", "person-page", 1400), ("/people", "people", 1000),
                 ("/stats", "statistics", 2600), ("/awards", "awards", 900),
                 ("/search?q=harbour", "search", 1100), ("/nowhere/Harbour", "not-found", 600)]
        for path, name, height in pages:
            self.screenshot(path, f"serve-{name}.png", height)
            if name != "title-page":
                self.screenshot(path, f"serve-{name}-phone.png", height * 2, 390)


if __name__ == "__main__":
    sys.exit(unittest.main())
