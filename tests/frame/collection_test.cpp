#include "frame/collection.h"

#include "frame/dictionary.h"
#include "frame/object.h"
#include "support/test_support.h"

namespace zel {
namespace {

TEST(Collection, FindsItemsByPositionAndByKeyIgnoringCase) {
  Collection items;
  items.Add(Variant("first"), Variant("One"));
  items.Add(Variant("second"));
  items.Add(Variant("third"), Variant("Three"));
  EXPECT_EQ(items.Count(), 3);
  EXPECT_EQ(items.Item(Variant(1)).ToText(), "first");
  EXPECT_EQ(items.Item(Variant(2.0)).ToText(), "second");
  EXPECT_EQ(items.Item(Variant("ONE")).ToText(), "first");
  EXPECT_EQ(items.Item(Variant("three")).ToText(), "third");
}

TEST(Collection, FailsOnDuplicateKeysUnknownKeysAndBadPositions) {
  Collection items;
  items.Add(Variant(1), Variant("k"));
  EXPECT_ZEL_ERROR(items.Add(Variant(2), Variant("K")), 457,
                   "This key is already associated with an element of this collection");
  EXPECT_EQ(items.Count(), 1);
  EXPECT_ZEL_ERROR(items.Item(Variant("missing")), 5,
                   "Invalid procedure call or argument: no item has the key 'missing'");
  EXPECT_ZEL_ERROR(items.Remove(Variant("gone")), 5,
                   "Invalid procedure call or argument: no item has the key 'gone'");
  EXPECT_ZEL_ERROR(items.Item(Variant(0)), 9, "Subscript out of range: no item at position 0 of 1");
  EXPECT_ZEL_ERROR(items.Remove(Variant(5)), 9,
                   "Subscript out of range: no item at position 5 of 1");
}

TEST(Collection, NumericTextIsAKeyNotAPosition) {
  Collection items;
  items.Add(Variant("a"), Variant("2"));
  items.Add(Variant("b"));
  EXPECT_EQ(items.Item(Variant("2")).ToText(), "a");
  EXPECT_EQ(items.Item(Variant(2)).ToText(), "b");
}

TEST(Collection, BeforeAndAfterPlaceItemsAndRemoveFreesTheKey) {
  Collection items;
  items.Add(Variant("b"), Variant("kb"));
  items.Add(Variant("a"), Variant("ka"), Variant(1));
  items.Add(Variant("c"), {}, {}, Variant("kb"));
  EXPECT_EQ(items.Item(Variant(1)).ToText(), "a");
  EXPECT_EQ(items.Item(Variant(3)).ToText(), "c");
  items.Remove(Variant("KA"));
  EXPECT_EQ(items.Count(), 2);
  items.Add(Variant("again"), Variant("ka"));
  EXPECT_EQ(items.Item(Variant("ka")).ToText(), "again");
}

TEST(Collection, EnumerationWalksASnapshotInOrder) {
  Collection items;
  for (const char* text : {"x", "y", "z"}) items.AddText(text);
  auto walker = std::static_pointer_cast<Enumerator>(items.NewEnum());
  items.Remove(Variant(1));
  std::string seen;
  for (Variant item; walker->Next(item);) seen += item.ToText();
  EXPECT_EQ(seen, "xyz");
}

TEST(Collection, SharesObjectsInsteadOfCopying) {
  auto inner = std::make_shared<Collection>();
  Collection outer;
  outer.Add(Variant(inner));
  std::static_pointer_cast<Collection>(outer.Item(Variant(1)).ToObject())->AddText("seen");
  EXPECT_EQ(inner->Count(), 1);
}

TEST(Dictionary, KeysAreExactAndKeepInsertionOrder) {
  Dictionary map;
  map.Add("b", Variant(1));
  map.Add("a", Variant(2));
  map.Add("B", Variant(3));
  EXPECT_TRUE(map.Exists("B"));
  EXPECT_FALSE(map.Exists("A"));
  EXPECT_EQ(map.Item("B").ToLong(), 3);
  auto keys = map.Keys();
  ASSERT_EQ(keys->Length(), 3u);
  EXPECT_EQ(keys->At(0).ToText(), "b");
  EXPECT_EQ(keys->At(2).ToText(), "B");
  EXPECT_ZEL_ERROR(map.Add("a", Variant(9)), 457,
                   "This key is already associated with an element of this collection");
}

TEST(Dictionary, MissingKeysFailAndRemovalKeepsOrder) {
  Dictionary map;
  for (const char* key : {"one", "two", "three"}) map.Add(key, Variant(key));
  EXPECT_ZEL_ERROR(map.Item("four"), 32811, "Element not found: four");
  EXPECT_ZEL_ERROR(map.Remove("four"), 32811, "Element not found: four");
  map.Remove("one");
  EXPECT_EQ(map.Item("three").ToText(), "three");
  EXPECT_EQ(map.Items()->At(0).ToText(), "two");
  map.SetItem("two", Variant("2"));
  map.SetItem("four", Variant("4"));
  EXPECT_EQ(map.Count(), 3);
  EXPECT_EQ(map.TextOr("two", "?"), "2");
  EXPECT_EQ(map.TextOr("five", "?"), "?");
  map.RemoveAll();
  EXPECT_EQ(map.Count(), 0);
}

TEST(Collection, LateBoundMembersFollowTheMemberTable) {
  auto items = std::make_shared<Collection>();
  Invoke(*items, "add", CallKind::kCall, {Variant("v")}, {{"KEY", Variant("k")}});
  EXPECT_EQ(Invoke(*items, "Count", CallKind::kGet).ToLong(), 1);
  EXPECT_EQ(items->Class().DefaultMember()->name, "Item");
  EXPECT_EQ(InvokeMember(*items, *items->Class().DefaultMember(), CallKind::kCall, {Variant("K")})
                .ToText(),
            "v");
  EXPECT_ZEL_ERROR(Invoke(*items, "Nope", CallKind::kGet), 438,
                   "Object doesn't support this property or method: Collection.Nope");
  EXPECT_ZEL_ERROR(Invoke(*items, "Item", CallKind::kCall), 449,
                   "Argument not optional: Item needs Index");
  EXPECT_ZEL_ERROR_NUMBER(Invoke(*items, "Count", CallKind::kLet, {Variant(1)}), 450);
  EXPECT_ZEL_ERROR_NUMBER(
      Invoke(*items, "Add", CallKind::kCall, {Variant("v")}, {{"Color", Variant(1)}}), 450);
  auto safety = items->GetInterfaceSafetyOptions("{any}");
  EXPECT_EQ(safety.supported, 3u);
  EXPECT_EQ(safety.enabled, 3u);
}

}  // namespace
}  // namespace zel
