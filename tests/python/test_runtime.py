"""The zelcontrol module driving the runtime classes (Collection, Dictionary) from Python."""

import datetime
import gc
import importlib
import pydoc
import sys
import threading
import unittest
from decimal import Decimal
from pathlib import Path


def load_module():
    """zelcontrol from PYTHONPATH (as ctest sets it), else from the default build folder."""
    try:
        return importlib.import_module("zelcontrol")
    except ImportError:
        sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "build" / "python"))
        return importlib.import_module("zelcontrol")


zc = load_module()


def round_trip(value):
    coll = zc.Collection()
    coll.Add(value)
    return coll(1)


class ModuleTest(unittest.TestCase):
    def test_classes_are_module_attributes_that_describe_themselves(self):
        self.assertEqual(zc.__version__, "0.3.0")
        self.assertEqual(zc.classes()[:2], ["Control", "ZelDatabase"])
        self.assertEqual(len(zc.classes()), 43)
        self.assertTrue(all(name in zc.__all__ for name in zc.classes()))
        self.assertEqual(zc.Dictionary().class_name, "Dictionary")
        self.assertEqual(repr(zc.Dictionary), "<zelcontrol class Dictionary>")
        self.assertRegex(repr(zc.Collection()), r"^<zelcontrol\.Collection object at 0x[0-9a-f]+>$")
        profile = pydoc.render_doc(zc.ZelProfile)
        self.assertIn("One disc title", profile)
        self.assertIn("Title  -- property, read/write", profile)
        self.assertIn("Cast  -- object property, read/write", profile)
        self.assertIn("Add(ShowID, Title, SortTitle=\"\"", zc.ZelTVShows.__doc__)
        self.assertIn("UserID  -- property, write-only", zc.ZelLoanInfo.__doc__)
        with self.assertRaises(TypeError):
            zc.Object()

    def test_isinstance_against_a_class_attribute(self):
        coll = zc.Collection()
        self.assertIsInstance(coll, zc.Collection)
        self.assertIsInstance(coll, zc.Object)
        self.assertNotIsInstance(coll, zc.Dictionary)
        self.assertNotIsInstance("Collection", zc.Collection)
        self.assertTrue(zc.Collection())  # an empty collection is still true


class CollectionTest(unittest.TestCase):
    def setUp(self):
        self.coll = zc.Collection()
        self.coll.Add("one", Key="First")
        self.coll.Add("two")
        self.coll.Add("three", Key="Third")

    def test_positions_and_keys_ignoring_case(self):
        c = self.coll
        self.assertEqual(c(1), "one")
        self.assertEqual(c[2], "two")
        self.assertEqual(c.Item(3), "three")
        self.assertEqual(c["FIRST"], "one")
        self.assertEqual(c("third"), "three")

    def test_members_by_any_case(self):
        self.assertEqual(self.coll.Count, 3)
        self.assertEqual(self.coll.count, 3)
        self.assertEqual(self.coll.ITEM(1), "one")

    def test_len_and_iteration_follow_insertion_order(self):
        self.assertEqual(len(self.coll), 3)
        self.assertEqual(list(self.coll), ["one", "two", "three"])
        self.assertEqual([x for x in zc.Collection()], [])
        self.assertIn("two", self.coll)

    def test_iteration_walks_a_snapshot(self):
        seen = []
        for item in self.coll:
            seen.append(item)
            if item == "one":
                self.coll.Remove(1)
        self.assertEqual(seen, ["one", "two", "three"])
        self.assertEqual(len(self.coll), 2)

    def test_iterator_outlives_the_wrapper(self):
        it = iter(self.coll)
        del self.coll
        gc.collect()
        self.assertEqual(list(it), ["one", "two", "three"])

    def test_keyword_arguments_by_parameter_name(self):
        self.coll.Add("zero", key="Zero", BEFORE=1)
        self.coll.Add("between", After="First")
        self.assertEqual(list(self.coll), ["zero", "one", "between", "two", "three"])
        self.assertEqual(self.coll["zero"], "zero")

    def test_duplicate_key_is_error_457(self):
        with self.assertRaises(zc.Error) as caught:
            self.coll.Add("again", Key="first")
        self.assertEqual(caught.exception.number, 457)
        self.assertEqual(
            caught.exception.description,
            "This key is already associated with an element of this collection",
        )
        self.assertEqual(
            str(caught.exception),
            "This key is already associated with an element of this collection (error 457)",
        )
        self.assertEqual(len(self.coll), 3)

    def test_unknown_key_and_bad_position(self):
        with self.assertRaises(zc.Error) as caught:
            self.coll("missing")
        self.assertEqual(caught.exception.number, 5)
        for position in (0, 4, -1):
            with self.assertRaises(zc.Error) as caught:
                self.coll[position]
            self.assertEqual(caught.exception.number, 9)

    def test_arguments_that_do_not_bind(self):
        with self.assertRaises(zc.ArgumentError) as caught:
            self.coll.Add()
        self.assertEqual(caught.exception.number, 449)
        self.assertIsInstance(caught.exception, TypeError)
        with self.assertRaises(zc.ArgumentError) as caught:
            self.coll.Add("x", Colour="red")
        self.assertEqual(caught.exception.number, 450)
        with self.assertRaises(zc.ArgumentError) as caught:
            self.coll.Add("x", "k", Key="k")
        self.assertEqual(caught.exception.number, 450)
        with self.assertRaises(zc.ArgumentError):
            self.coll.Add(1, 2, 3, 4, 5)
        self.assertEqual(len(self.coll), 3)

    def test_unknown_member_is_attribute_error(self):
        self.assertTrue(hasattr(self.coll, "Count"))
        self.assertFalse(hasattr(self.coll, "Colour"))
        self.assertEqual(getattr(self.coll, "Colour", "fallback"), "fallback")
        with self.assertRaises(AttributeError) as caught:
            self.coll.Colour
        self.assertIsInstance(caught.exception, zc.Error)
        self.assertEqual(caught.exception.number, 438)
        self.assertIn("Collection.Colour", caught.exception.description)

    def test_assignments_that_cannot_happen(self):
        with self.assertRaises(AttributeError):
            self.coll.Colour = "red"
        with self.assertRaises(AttributeError):
            self.coll.Count = 7
        with self.assertRaises(AttributeError):
            self.coll.Add = 7
        self.assertEqual(self.coll.Count, 3)

    def test_dir_and_help_list_the_members_with_their_parameters(self):
        names = dir(self.coll)
        for name in ("Add", "Count", "Item", "Remove", "NewEnum", "GetInterfaceSafetyOptions"):
            self.assertIn(name, names)
        self.assertEqual(dir(zc.Collection), names)
        for shown in (pydoc.render_doc(zc.Collection), pydoc.render_doc(self.coll)):
            self.assertIn("Add(Item, Key=None, Before=None, After=None)  -- method", shown)
            self.assertIn("Item(Index)  -- method, default member", shown)
            self.assertIn("Count  -- property, read-only", shown)

    def test_methods_are_bound_callables(self):
        add = self.coll.Add
        self.assertEqual(add.name, "Add")
        self.assertIn("Add(Item, Key=None, Before=None, After=None)", repr(add))
        del self.coll
        gc.collect()
        add("four")  # the bound member keeps its object alive
        self.assertEqual(len(add.__self__), 4)

    def test_enumerator_taken_by_hand(self):
        enumerator = self.coll.NewEnum
        self.assertEqual(enumerator.class_name, "Enumerator")
        self.assertEqual(next(iter(enumerator)), "one")
        self.assertEqual(list(enumerator), ["two", "three"])
        with self.assertRaises(TypeError):
            enumerator(1)  # no default member
        with self.assertRaises(TypeError):
            enumerator[1]
        with self.assertRaises(TypeError):
            len(enumerator)  # no Count

    def test_wrappers_of_one_object_compare_equal(self):
        inner = zc.Collection()
        self.coll.Add(inner, Key="inner")
        del inner
        gc.collect()
        a = self.coll("inner")
        b = self.coll[4]
        self.assertEqual(a, b)
        self.assertEqual(hash(a), hash(b))
        self.assertNotEqual(a, zc.Collection())
        self.assertNotEqual(a, "inner")
        a.Add("kept")
        self.assertEqual(b(1), "kept")


class DictionaryTest(unittest.TestCase):
    def test_exact_keys_in_insertion_order(self):
        d = zc.Dictionary()
        d.Add("b", 2)
        d.Add(Key="a", Item=1)
        d.Add("A", "upper")
        self.assertEqual(d.Keys(), ["b", "a", "A"])
        self.assertEqual(d.Items(), [2, 1, "upper"])
        self.assertEqual(d("a"), 1)
        self.assertEqual(d["A"], "upper")
        self.assertTrue(d.Exists("a"))
        self.assertFalse(d.Exists("B"))
        self.assertEqual(len(d), 3)

    def test_set_item_adds_or_replaces(self):
        d = zc.Dictionary()
        d.SetItem("k", 1)
        d.SetItem("k", 2)
        self.assertEqual(d.Items(), [2])

    def test_missing_and_duplicate_keys(self):
        d = zc.Dictionary()
        d.Add("k", 1)
        with self.assertRaises(zc.Error) as caught:
            d.Add("k", 2)
        self.assertEqual(caught.exception.number, 457)
        with self.assertRaises(zc.Error) as caught:
            d("K")
        self.assertEqual(caught.exception.number, 32811)

    def test_not_iterable_without_enumerator(self):
        with self.assertRaises(TypeError):
            iter(zc.Dictionary())


class ValueConversionTest(unittest.TestCase):
    def test_plain_values(self):
        for value in (None, True, False, 0, -5, 2**31 - 1, -(2**31), 1.5, -0.25, "", "Ünïcødé ☃"):
            with self.subTest(value=value):
                back = round_trip(value)
                self.assertEqual(back, value)
                self.assertIs(type(back), type(value))

    def test_integers_keep_every_digit_up_to_64_bits(self):
        for value in (2**31, -(2**31) - 1, 2**40, 2**53 + 1, 2**63 - 1, -(2**63)):
            with self.subTest(value=value):
                back = round_trip(value)
                self.assertIs(type(back), int)
                self.assertEqual(back, value)
        for value in (2**63, -(2**63) - 1, 10**400):
            with self.subTest(value=value):
                with self.assertRaises(OverflowError):
                    round_trip(value)

    def test_decimal_is_currency_with_four_places(self):
        cases = {
            Decimal("12.5"): "12.5000",
            Decimal("-0.0001"): "-0.0001",
            Decimal("922337203685477.5807"): "922337203685477.5807",
            Decimal("-922337203685477.5808"): "-922337203685477.5808",
            Decimal("0.00005"): "0.0000",  # half to even
            Decimal("0.00015"): "0.0002",
            Decimal("1E+3"): "1000.0000",
            Decimal("0E+50"): "0.0000",
        }
        for value, text in cases.items():
            with self.subTest(value=value):
                back = round_trip(value)
                self.assertIsInstance(back, Decimal)
                self.assertEqual(str(back), text)

    def test_decimal_outside_currency(self):
        for value in (Decimal("922337203685477.5808"), Decimal("1E+20"), Decimal("-1E+400")):
            with self.subTest(value=value):
                with self.assertRaises(OverflowError):
                    round_trip(value)
        for value in (Decimal("NaN"), Decimal("Infinity")):
            with self.assertRaises(ValueError):
                round_trip(value)

    def test_datetimes_to_the_second(self):
        for value in (
            datetime.datetime(2024, 5, 1, 13, 45, 10),
            datetime.datetime(1899, 12, 30),
            datetime.datetime(1850, 6, 1, 6, 30),
            datetime.datetime(1, 1, 1),
            datetime.datetime(9999, 12, 31, 23, 59, 59),
        ):
            with self.subTest(value=value):
                self.assertEqual(round_trip(value), value)
        self.assertEqual(
            round_trip(datetime.datetime(2024, 5, 1, 23, 59, 59, 500000)),
            datetime.datetime(2024, 5, 2),
        )
        self.assertEqual(
            round_trip(datetime.datetime(2024, 5, 1, 12, 0, 0, 499999)),
            datetime.datetime(2024, 5, 1, 12),
        )

    def test_date_becomes_midnight(self):
        self.assertEqual(round_trip(datetime.date(2001, 2, 3)), datetime.datetime(2001, 2, 3))

    def test_aware_datetime_refused(self):
        with self.assertRaises(ValueError):
            round_trip(datetime.datetime(2024, 1, 1, tzinfo=datetime.timezone.utc))

    def test_sequences_become_arrays(self):
        self.assertEqual(round_trip([1, "a", None, [True, 2.5]]), [1, "a", None, [True, 2.5]])
        self.assertEqual(round_trip(("x", "y")), ["x", "y"])
        self.assertEqual(round_trip([]), [])

    def test_objects_pass_by_reference(self):
        inner = zc.Dictionary()
        back = round_trip(inner)
        self.assertEqual(back, inner)
        back.Add("k", "v")
        self.assertEqual(inner("k"), "v")
        self.assertEqual(round_trip([inner])[0], inner)

    def test_text_with_a_lone_surrogate_is_refused(self):
        for text in ("caf\udce9", "\ud800", "a\udfffb"):
            with self.subTest(text=text):
                with self.assertRaisesRegex(ValueError, "lone surrogate"):
                    round_trip(text)

    def test_unsupported_values(self):
        for value in (b"bytes", object(), {"a": 1}, 1j, datetime.time(12, 0)):
            with self.subTest(value=value):
                with self.assertRaises(TypeError):
                    round_trip(value)


class SafetyTest(unittest.TestCase):
    def test_every_object_answers_safe(self):
        for obj in (zc.Collection(), zc.Dictionary()):
            dispatch = "{00020400-0000-0000-C000-000000000046}"
            self.assertEqual(obj.GetInterfaceSafetyOptions(dispatch), (3, 3))
            self.assertEqual(obj.GetInterfaceSafetyOptions(), (3, 3))
            self.assertEqual(obj.getinterfacesafetyoptions(None), (3, 3))
            self.assertIsNone(obj.SetInterfaceSafetyOptions("any", 0xFFFF, 0))
            self.assertIsNone(obj.SetInterfaceSafetyOptions())


class MessageHandlerTest(unittest.TestCase):
    def tearDown(self):
        zc.set_message_handler(None)

    def test_handler_receives_messages(self):
        received = []
        self.assertIsNone(zc.set_message_handler(lambda *args: received.append(args)))
        zc._show_message("information", "Import", "done")
        zc._show_message("warning", "Import", "skipped")
        zc._show_message("error", "Import", "failed ☃")
        self.assertEqual(
            received,
            [("information", "Import", "done"), ("warning", "Import", "skipped"),
             ("error", "Import", "failed ☃")],
        )

    def test_install_returns_previous_and_none_restores_default(self):
        first, second = [], []
        zc.set_message_handler(first.append)
        previous = zc.set_message_handler(lambda icon, title, text: second.append(text))
        self.assertEqual(previous, first.append)
        self.assertEqual(zc.set_message_handler(None).__class__.__name__, "function")
        zc._show_message("information", "t", "to standard error")
        self.assertEqual(first, [])
        self.assertEqual(second, [])

    def test_failing_handler_is_reported_not_raised(self):
        reported = []
        old_hook = sys.unraisablehook
        sys.unraisablehook = reported.append
        try:
            def broken(icon, title, text):
                raise ValueError("handler broke")
            zc.set_message_handler(broken)
            del broken
            gc.collect()  # the registry keeps the handler alive
            zc._show_message("error", "t", "x")
        finally:
            sys.unraisablehook = old_hook
        self.assertEqual(len(reported), 1)
        self.assertIsInstance(reported[0].exc_value, ValueError)

    def test_handler_belongs_to_its_thread(self):
        received = []
        zc.set_message_handler(lambda *args: received.append(("main",) + args))
        other = []

        def run():
            zc.set_message_handler(lambda *args: other.append(args))
            zc._show_message("information", "worker", "hello")
            zc.set_message_handler(None)

        worker = threading.Thread(target=run)
        worker.start()
        worker.join()
        zc._show_message("information", "main", "hi")
        self.assertEqual(other, [("information", "worker", "hello")])
        self.assertEqual(received, [("main", "information", "main", "hi")])

    def test_bad_arguments(self):
        with self.assertRaises(TypeError):
            zc.set_message_handler("not callable")
        with self.assertRaises(ValueError):
            zc._show_message("question", "t", "x")


if __name__ == "__main__":
    unittest.main()
