"""A test case with a catalogue of its own, in a temporary folder removed after the test."""

import os
import shutil
import tempfile
import unittest

import zelcontrol


class CatalogueCase(unittest.TestCase):
    FILE = "test.zel"  # the catalogue's name in the folder

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zelpy-")
        self.path = os.path.join(self.dir, self.FILE)
        self.control = zelcontrol.Control()
        self.db = self.control.CreateDatabase(self.path)

    def tearDown(self):
        self.control.CloseDatabase()
        shutil.rmtree(self.dir, ignore_errors=True)
