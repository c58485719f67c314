"""zel serve in a real browser: headless Chromium loads the page of a person credited under two
names and the rendered page lists their titles and episodes under both; a screenshot of the page is
saved under the build folder."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from html.parser import HTMLParser

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
ZEL = os.environ.get("ZEL_BIN", os.path.join(SOURCE, "build", "bin", "zel"))
SCREENSHOT_DIR = os.environ.get("ZEL_SCREENSHOT_DIR", os.path.join(SOURCE, "build"))
BROWSER_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking"]


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


class Rows(HTMLParser):
    """The text of every table row of the rendered page, cell by cell, with the caption of its
    table."""

    def __init__(self):
        super().__init__()
        self.rows = []  # (caption, [cell texts])
        self.caption = ""
        self._in_caption = False
        self._cells = None
        self._cell = None

    def handle_starttag(self, tag, attrs):
        if tag == "caption":
            self._in_caption, self.caption = True, ""
        elif tag == "tr":
            self._cells = []
        elif tag in ("td", "th") and self._cells is not None:
            self._cell = ""

    def handle_endtag(self, tag):
        if tag == "caption":
            self._in_caption = False
        elif tag in ("td", "th") and self._cell is not None:
            self._cells.append(" ".join(self._cell.split()))
            self._cell = None
        elif tag == "tr" and self._cells is not None:
            self.rows.append((self.caption, self._cells))
            self._cells = None

    def handle_data(self, data):
        if self._in_caption:
            self.caption += data
        if self._cell is not None:
            self._cell += data


class PersonPageInBrowser(unittest.TestCase):
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
            [ZEL, "serve", cls.catalogue, "--port", "0", "--bind", "127.0.0.1"],
            stdout=subprocess.PIPE, text=True)
        first = cls.server.stdout.readline()
        marker = "http://127.0.0.1:"
        if marker not in first:
            cls.server.kill()
            raise AssertionError(f"zel serve did not start: {first!r}")
        port = int(first.split(marker, 1)[1].split("/", 1)[0])
        cls.url = f"http://127.0.0.1:{port}/person/T.%20Keller"

    @classmethod
    def tearDownClass(cls):
        if getattr(cls, "server", None):
            cls.server.terminate()
            cls.server.wait(timeout=30)
        if getattr(cls, "folder", None):
            shutil.rmtree(cls.folder, ignore_errors=True)

    def browse(self, *extra):
        # A new, empty profile folder for every run: nothing from an earlier session leaks in.
        with tempfile.TemporaryDirectory(prefix="zel-chromium-") as profile:
            result = subprocess.run(
                [self.chromium, *BROWSER_FLAGS, f"--user-data-dir={profile}", *extra, self.url],
                capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr[-2000:])
        return result.stdout

    def test_person_page_lists_titles_and_episodes_under_both_names(self):
        dom = self.browse("--dump-dom")
        self.assertIn("<h1>Tomas Keller</h1>", dom)
        parser = Rows()
        parser.feed(dom)
        credited = {}
        for caption, cells in parser.rows:
            if len(cells) == 4 and caption.startswith(("Titles", "Episodes")):
                credited.setdefault((caption.split(",")[0], cells[2]), []).append(cells[0])
        for kind in ("Titles", "Episodes"):
            for name in ("Tomas Keller", "T. Keller"):
                self.assertTrue(credited.get((kind, name)),
                                f"no {kind.lower()} credited as {name}: {sorted(credited)}")
        self.assertIn("Harbour Trilogy (Box Set) (1950)", credited[("Titles", "T. Keller")])
        episodes = " ".join(credited[("Episodes", "Tomas Keller")] +
                            credited[("Episodes", "T. Keller")])
        self.assertIn("The Lighthouse", episodes)
        self.assertIn("Low Tide", episodes)

    def test_screenshot_of_the_person_page(self):
        os.makedirs(SCREENSHOT_DIR, exist_ok=True)
        path = os.path.join(SCREENSHOT_DIR, "serve-person-page.png")
        if os.path.exists(path):
            os.remove(path)
        self.browse(f"--screenshot={path}", "--window-size=900,1400", "--hide-scrollbars")
        self.assertTrue(os.path.exists(path))
        with open(path, "rb") as image:
            self.assertEqual(image.read(8), b"\x89PNG\r\n\x1a\n")


if __name__ == "__main__":
    sys.exit(unittest.main())
