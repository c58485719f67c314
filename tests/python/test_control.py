"""Control and ZelDatabase driven from Python, against real catalogue files."""

import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import zelcontrol


class ControlTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zelpy-")
        self.control = zelcontrol.Control()

    def tearDown(self):
        self.control.CloseDatabase()
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def test_create_open_and_schema(self):
        db = self.control.CreateDatabase(self.path("a.zel"))
        self.assertEqual(db.Schema, 89)
        self.assertEqual(self.control.CurrentDbSchema, 89)
        self.assertEqual(self.control.Version, "0.3.0")
        self.control.CloseDatabase()
        db = self.control.OpenDatabase(FilePath=self.path("a.zel"))
        self.assertEqual(self.control.ActiveDb, db)
        self.assertEqual(db.FilePath, self.path("a.zel"))

    def test_errors_carry_number_and_description(self):
        missing = self.path("missing.zel")
        with self.assertRaises(zelcontrol.Error) as raised:
            self.control.OpenDatabase(missing)
        self.assertEqual(raised.exception.number, 1)
        self.assertEqual(raised.exception.description, "Database %s does not exist" % missing)
        with self.assertRaises(zelcontrol.Error) as raised:
            self.control.ActiveDb
        self.assertEqual(raised.exception.number, 2)
        self.assertIsNone(self.control.ReadProperty("ActiveDb"))
        with self.assertRaises(AttributeError):
            self.control.NoSuchMember

    def test_reflection(self):
        self.assertEqual(self.control.GetPropertyList(), ["CurrentDbSchema", "ActiveDb", "Version"])
        info = zelcontrol.ZelInfo()
        info.WriteProperty("Name", "Shelf")
        self.assertEqual(info.name, "Shelf")
        self.assertEqual(info.GetPropertyList(), ["Name", "Value", "InfoType"])
        self.assertEqual(info.GetInterfaceSafetyOptions("{iid}"), (3, 3))

    def test_db_info_and_profile_information(self):
        db = self.control.CreateDatabase(self.path("b.zel"))
        db.Owner = "O'Hara"
        self.assertEqual(db.Owner, "O'Hara")
        self.assertEqual(db.ReadDbInfo("Missing", Default="none"), "none")
        db.WriteAdditionalInfoByProfileID("P1", "Shelf", "Hall", InfoType="Text")
        infos = db.ReadAdditionalInfosByProfileID("P1")
        self.assertEqual(len(infos), 1)
        self.assertEqual(infos["shelf"].Value, "Hall")
        self.assertEqual([i.InfoType for i in infos], ["Text"])

    def test_sql_and_record_sets(self):
        db = self.control.CreateDatabase(self.path("c.zel"))
        db.ExecuteSQL("INSERT INTO Users (UserID, PhoneNumber, IsActive) VALUES ('Ann', '555', true)")
        db.ExecuteSQL("INSERT INTO Users (UserID, IsActive) VALUES ('ann', false)")  # skipped: key
        db.ExecuteSQL("INSERT INTO Events (EventID, ProfileID, UserID, EventTimeStamp) "
                      "VALUES (7, 'P', 'Ann', '2024-05-01 13:45:10')")
        rs = db.ExecuteSQLWithResult("SELECT * FROM Users WHERE UserID LIKE 'a*'")
        self.assertFalse(rs.EOF)
        self.assertEqual(rs.Fields("userid").Value, "Ann")
        self.assertIs(rs.Fields("IsActive").Value, True)
        self.assertIsNone(rs.Fields("EmailAddress").Value)
        rs.MoveNext()
        self.assertTrue(rs.EOF)
        events = db.DbOpenRecordSet("SELECT EventID, EventTimeStamp FROM Events")
        row = events.GetRows(1)
        self.assertEqual(row[0][0], 7)
        self.assertEqual(row[1][0], datetime.datetime(2024, 5, 1, 13, 45, 10))

    def test_compact_after_close_and_refused_while_another_program_has_the_file_open(self):
        path = self.path("shared.zel")
        held = self.control.CreateDatabase(path)
        held.Owner = "Ann"
        profiles = held.Profiles
        self.control.CloseDatabase()
        # Closed, although the script still holds the database and its list.
        self.control.CompactDatabase(path)
        for use in (lambda: held.Owner, lambda: profiles.Add("Late")):
            with self.assertRaises(zelcontrol.Error) as raised:
                use()
            self.assertEqual(raised.exception.number, 3420)
        # Another program keeps the catalogue open while it is compacted.
        with subprocess.Popen(
                [sys.executable, "-c",
                 "import sqlite3, sys\n"
                 "c = sqlite3.connect(sys.argv[1])\n"
                 "c.execute('SELECT count(*) FROM DbInfo').fetchall()\n"
                 "print('open', flush=True)\n"
                 "sys.stdin.read()\n", path],
                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True) as holder:
            self.assertEqual(holder.stdout.readline().strip(), "open")
            with self.assertRaises(zelcontrol.Error) as raised:
                self.control.CompactDatabase(path)
            self.assertEqual(raised.exception.number, 3260)
            holder.stdin.close()
        self.control.CompactDatabase(path)
        self.assertEqual(self.control.OpenDatabase(path).Owner, "Ann")
        with self.assertRaises(zelcontrol.Error) as raised:
            self.control.CreateDatabase(":memory:")
        self.assertEqual(raised.exception.number, 3051)

    def test_an_earlier_catalogue_keeps_writing_its_own_file(self):
        first = self.control.CreateDatabase(self.path("first.zel"))
        first.Currencies.Add("EUR", "Euro", "E")
        first.SQLQueries.Add("Q", "SELECT 1")
        second = self.control.CreateDatabase(self.path("second.zel"))
        first.UpdateDatabase()
        first.Users.Add("Ann")
        self.assertEqual(second.ExecuteSQLWithResult("SELECT COUNT(*) FROM Users").GetRows(1), [[0]])
        self.assertEqual(first.ExecuteSQLWithResult(
            "SELECT COUNT(*) FROM Currencies").GetRows(1), [[1]])

    def test_helpers(self):
        self.assertEqual(self.control.SplitUpName("Piet van Dam"), "Piet||van Dam")
        names = self.control.SplitUpNominees("Ann Lee & Bo Berg")
        self.assertEqual(list(names), ["Ann Lee", "Bo Berg"])
        self.assertEqual(self.control.GetProfilerCrewType("Film Editor"), "Film Editing")
        self.assertEqual(self.control.RemoveInvalidFileNameCharacters('Up: "Now"?'), "Up - 'Now'")
        self.assertEqual(len(self.control.CreateVBACollection()), 0)


if __name__ == "__main__":
    unittest.main()
