"""Editing through zel serve --edit in a real browser: headless Chromium, driven over its DevTools
pipe, fills in and sends the forms of the pages as a person would (the pages themselves run no
scripts). It lends a title, finds it on the loans page and in the calendar feed, returns it, adds a
tag, records a watched event and moves a wish-list title to owned; each change is then read from
the catalogue file itself."""

import json
import os
import shutil
import sqlite3
import subprocess
import tempfile
import time
import unittest
import urllib.request

from test_serve_pages import BROWSER_FLAGS, SOURCE, ZEL, find_chromium, zel

TITLE = "Key_800004711888"  # Crimson Iron
WISHED = "Key_800004711296.4"


class Chromium:
    """One headless Chromium and one page in it, commanded over --remote-debugging-pipe: JSON
    messages ended by a NUL byte, commands on its descriptor 3, answers and events on 4."""

    def __init__(self, executable, profile):
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()
        flags = [f for f in BROWSER_FLAGS if not f.startswith("--virtual-time")]
        command = " ".join(
            ["exec", executable, *flags, f"--user-data-dir={profile}", "--remote-debugging-pipe",
             "about:blank", f"3<&{to_browser_read}", f"4>&{from_browser_write}"])
        self.process = subprocess.Popen(
            ["/bin/sh", "-c", command], pass_fds=(to_browser_read, from_browser_write),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._buffer = b""
        self._next_id = 0
        self._events = []
        target = self.command("Target.createTarget", {"url": "about:blank"})["targetId"]
        self._session = self.command("Target.attachToTarget",
                                     {"targetId": target, "flatten": True})["sessionId"]
        self.command("Page.enable", session=True)

    def close(self):
        try:
            self.command("Browser.close")
        except Exception:  # the browser may be gone already
            pass
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
        os.close(self._to_browser)
        os.close(self._from_browser)

    def _message(self, deadline):
        while b"\0" not in self._buffer:
            if time.monotonic() > deadline:
                raise AssertionError("Chromium did not answer in time")
            chunk = os.read(self._from_browser, 65536)
            if not chunk:
                raise AssertionError("Chromium ended")
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def command(self, method, params=None, session=False):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self._session
        os.write(self._to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + 60
        while True:
            answer = self._message(deadline)
            if answer.get("id") == self._next_id:
                if "error" in answer:
                    raise AssertionError(f"{method}: {answer['error']}")
                return answer.get("result", {})
            self._events.append(answer)

    def wait_for_load(self):
        deadline = time.monotonic() + 60
        while True:
            for index, event in enumerate(self._events):
                if event.get("method") == "Page.loadEventFired":
                    del self._events[:index + 1]
                    return
            self._events.append(self._message(deadline))

    def evaluate(self, expression):
        result = self.command("Runtime.evaluate",
                              {"expression": expression, "returnByValue": True}, session=True)
        if "exceptionDetails" in result:
            raise AssertionError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def open(self, url):
        self._events.clear()
        self.command("Page.navigate", {"url": url}, session=True)
        self.wait_for_load()

    def submit(self, form, values):
        """Fills in the fields of the form labelled `form` and sends it, as a person pressing its
        button would; waits for the page that answers."""
        self._events.clear()
        self.evaluate(
            "(() => { const form = document.querySelector('form[aria-label=" + json.dumps(form) +
            "]'); const values = " + json.dumps(values) + "; for (const name in values) "
            "form.elements[name].value = values[name]; form.requestSubmit(); })()")
        self.wait_for_load()

    def text(self, selector):
        return self.evaluate(
            f"(document.querySelector({json.dumps(selector)}) || {{textContent: ''}}).textContent")


class EditInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        executable = find_chromium()
        if not executable:
            raise unittest.SkipTest("no Chromium installed (make test installs it)")
        cls.folder = tempfile.mkdtemp(prefix="zel-edit-browser-")
        cls.catalogue = os.path.join(cls.folder, "example.zel")
        zel("create", cls.catalogue)
        zel("import", cls.catalogue, os.path.join(SOURCE, "examples", "collection.xml"))
        zel("sql", cls.catalogue,
            f"UPDATE Profiles SET ColType = 'WishList', WishListPriority = 3 "
            f"WHERE ProfileID = '{WISHED}'")
        cls.server = subprocess.Popen(
            [ZEL, "serve", cls.catalogue, "--edit", "--port", "0", "--bind", "127.0.0.1"],
            stdout=subprocess.PIPE, text=True)
        first = cls.server.stdout.readline()
        marker = "http://127.0.0.1:"
        if marker not in first:
            cls.server.kill()
            raise AssertionError(f"zel serve did not start: {first!r}")
        cls.base = "http://127.0.0.1:" + first.split(marker, 1)[1].split("/", 1)[0]
        cls.browser = Chromium(executable, os.path.join(cls.folder, "profile"))

    @classmethod
    def tearDownClass(cls):
        if getattr(cls, "browser", None):
            cls.browser.close()
        if getattr(cls, "server", None):
            cls.server.terminate()
            cls.server.wait(timeout=30)
        if getattr(cls, "folder", None):
            shutil.rmtree(cls.folder, ignore_errors=True)

    def stored(self, sql, *values):
        # Read-only, as a second program reading the file would.
        with sqlite3.connect(f"file:{self.catalogue}?mode=ro", uri=True) as database:
            return database.execute(sql, values).fetchall()

    def test_lend_return_tag_watch_and_own(self):
        browser = self.browser
        page = f"{self.base}/title/{TITLE}"
        browser.open(page)
        browser.submit("Lend", {"user": "Ann Lee", "due": "2030-05-04"})
        self.assertEqual(browser.evaluate("location.href"), page)
        self.assertEqual(browser.text(".note"), "Lent to Ann Lee, due 2030-05-04.")
        self.assertEqual(len(self.stored(
            "SELECT 1 FROM LoanInfo WHERE ProfileID = ? AND UserID = 'Ann Lee' "
            "AND LoanedDue LIKE '2030-05-04%'", TITLE)), 1)

        browser.open(self.base + "/loans")
        self.assertIn("Crimson Iron", browser.text("tbody"))
        self.assertIn("Ann Lee", browser.text("tbody"))
        with urllib.request.urlopen(self.base + "/loans.ics", timeout=30) as feed:
            calendar = feed.read().decode("utf-8")
        self.assertIn("DTSTART;VALUE=DATE:20300504\r\n", calendar)
        self.assertIn("SUMMARY:Due back: Crimson Iron (Ann Lee)\r\n", calendar)

        browser.open(page)
        browser.submit("Return", {})
        self.assertEqual(browser.text(".note"), "Returned by Ann Lee.")
        self.assertEqual(self.stored("SELECT 1 FROM LoanInfo WHERE ProfileID = ?", TITLE), [])

        browser.submit("Add a tag", {"tag": "Living Room/Shelf 7"})
        self.assertEqual(browser.text(".note"), "Tagged Living Room/Shelf 7.")
        self.assertEqual(self.stored("SELECT TagName, FullyQualifiedName FROM Tags "
                                     "WHERE ProfileID = ?", TITLE),
                         [("Shelf 7", "Living Room/Shelf 7")])

        browser.submit("Record an event", {"type": "Watched", "date": "2026-11-30",
                                           "user": "Ann Lee", "comment": "with popcorn"})
        self.assertEqual(len(self.stored(
            "SELECT 1 FROM Events WHERE ProfileID = ? AND EventType = 'Watched' AND "
            "EventTimeStamp LIKE '2026-11-30%' AND UserID = 'Ann Lee' AND "
            "Comment = 'with popcorn'", TITLE)), 1)

        browser.open(f"{self.base}/title/{WISHED}")
        browser.submit("Collection", {"type": "Owned", "priority": "0"})
        self.assertEqual(browser.text(".note"), "Now owned.")
        self.assertEqual(self.stored("SELECT ColType, WishListPriority FROM Profiles "
                                     "WHERE ProfileID = ?", WISHED), [("Owned", 0)])


if __name__ == "__main__":
    unittest.main()
