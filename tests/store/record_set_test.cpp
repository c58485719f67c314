// Record sets of the engine adapter: typed values read, rows of one table written, fields reached
// by scripts, and what a record set refuses.
#include <memory>
#include <string>

#include "engine_fixture.h"
#include "frame/object.h"
#include "store/engine_errors.h"

namespace zel::store {
namespace {

namespace ec = engine_errc;

TEST(RecordSet, ReadsTypedValues) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID, IsActive) VALUES ('ann', true)");
  c.db().Execute("INSERT INTO Currencies (CurrencyID) VALUES ('USD')");
  c.db().Execute(
      "INSERT INTO Events (EventID, ProfileID, UserID, EventTimeStamp) VALUES "
      "('7', 'p', 'ann', '2024-05-01 13:45:10')");
  c.db().Execute("INSERT INTO SRPInfo (ProfileID, SRPValue, CurrencyID) VALUES ('p', 10, 'USD')");
  auto events = c.db().OpenRecordSet(
      "SELECT e.*, u.IsActive, s.SRPValue, 1 + 1 AS two, 'x' AS t FROM Events e, Users u, SRPInfo "
      "s WHERE e.UserID = u.UserID");
  EXPECT_EQ(events->RecordCount(), 1);
  EXPECT_EQ(events->Value("EventID"), Variant(int32_t{7}));
  EXPECT_EQ(events->Value("eventtimestamp"), Variant(Date::FromParts(2024, 5, 1, 13, 45, 10)));
  EXPECT_EQ(events->Value("IsActive"), Variant(true));
  EXPECT_EQ(events->Value("SRPValue"), Variant(10.0));
  EXPECT_EQ(events->Value("Comment"), Variant::Null());
  EXPECT_EQ(events->Value("two"), Variant(int32_t{2}));
  EXPECT_EQ(events->ValueAt(1), Variant("p"));
  EXPECT_EQ(events->FieldName(2), "UserID");
  EXPECT_ZEL_ERROR(events->Value("Nothing"), ec::kUnknownField,
                   "Item not found in this collection: 'Nothing'.");
  auto rows = events->GetRows(1);
  EXPECT_EQ(rows->Length(0), static_cast<size_t>(events->FieldCount()));
  EXPECT_EQ(rows->At(0, 0), Variant(int32_t{7}));
  EXPECT_TRUE(events->Eof());
  EXPECT_ZEL_ERROR(events->Value("EventID"), ec::kNoCurrentRecord, "No current record.");
  EXPECT_ZEL_ERROR(events->MoveNext(), ec::kNoCurrentRecord, "No current record.");
  events->MoveFirst();
  EXPECT_FALSE(events->Eof());

  auto none = c.db().OpenRecordSet("SELECT * FROM Users WHERE UserID = 'nobody'");
  EXPECT_EQ(none->RecordCount(), 0);
  EXPECT_TRUE(none->Eof());
}

TEST(RecordSet, WritesRowsOfOneTable) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('ann')");
  auto cast = c.db().OpenRecordSet("SELECT * FROM CastCrew WHERE ProfileID = 'p1'");
  for (int position = 1; position <= 2; ++position) {
    cast->AddNew();
    cast->SetValue("ProfileID", Variant("p1"));
    cast->SetValue("Name", Variant("Ann"));
    cast->SetValue("Position", Variant(int16_t(position)));
    cast->SetValue("IsCast", Variant(true));
    cast->SetValue("BirthYear", Variant("1970"));
    cast->Update();
  }
  EXPECT_EQ(c.Raw("SELECT count(*) FROM CastCrew WHERE IsCast = 1 AND BirthYear = 1970"), "2");

  auto profile = c.db().OpenRecordSet("SELECT * FROM Profiles p WHERE p.ProfileID = 'x'");
  EXPECT_TRUE(profile->Eof());
  profile->AddNew();
  profile->SetValue("ProfileID", Variant("x"));
  profile->SetValue("Title", Variant("Old"));
  profile->SetValue("Released", Variant(Date::FromParts(2001, 2, 3)));
  profile->Update();
  EXPECT_EQ(c.Raw("SELECT Released FROM Profiles"), "2001-02-03 00:00:00");

  auto again = c.db().OpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = 'X'");
  again->Edit();
  again->SetValue("Title", Variant("New"));
  EXPECT_EQ(again->Value("Title"), Variant("New"));
  again->Update();
  EXPECT_EQ(again->Value("Title"), Variant("New"));
  EXPECT_EQ(c.Raw("SELECT Title FROM Profiles"), "New");

  // Errors of a record-set write are raised, not skipped.
  auto users = c.db().OpenRecordSet("SELECT * FROM Users");
  users->AddNew();
  users->SetValue("UserID", Variant("ANN"));
  EXPECT_ZEL_ERROR(users->Update(), ec::kDuplicateKey,
                   "The changes you requested to the table were not successful because they "
                   "would create duplicate values in the index, primary key, or relationship.");
  auto events = c.db().OpenRecordSet("SELECT * FROM Events");
  events->AddNew();
  events->SetValue("EventID", Variant(int32_t{1}));
  events->SetValue("UserID", Variant("ann"));
  EXPECT_ZEL_ERROR(events->Update(), ec::kRequiredValue,
                   "The field 'Events.ProfileID' cannot contain a Null value because the Required "
                   "property for this field is set to True. Enter a value in this field.");
  events->AddNew();
  events->SetValue("EventID", Variant(int32_t{1}));
  events->SetValue("ProfileID", Variant("p"));
  events->SetValue("UserID", Variant("nobody"));
  EXPECT_ZEL_ERROR(events->Update(), ec::kRelatedRecordRequired,
                   "You cannot add or change a record because a related record is required in "
                   "table 'Users'.");
  // The refused row stays in the buffer to be mended and stored again.
  events->SetValue("UserID", Variant("ann"));
  events->Update();
  EXPECT_ZEL_ERROR(events->Update(), ec::kUpdateWithoutEdit, "Update without AddNew or Edit.");
  EXPECT_ZEL_ERROR_NUMBER(events->SetValue("EventID", Variant("abc")), ec::kUpdateWithoutEdit);
  events->AddNew();
  EXPECT_ZEL_ERROR(events->SetValue("EventID", Variant("abc")), ec::kDataTypeMismatch,
                   "Data type mismatch: 'abc' is not a valid value for column Events.EventID.");

  auto joined = c.db().OpenRecordSet("SELECT * FROM Users u, Events e");
  EXPECT_ZEL_ERROR_NUMBER(joined->AddNew(), ec::kNotUpdatable);
  EXPECT_EQ(c.Count("Events"), 1);
}

TEST(RecordSet, ScriptsReachFieldsThroughTheMemberTables) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID, PhoneNumber) VALUES ('ann', '555')");
  std::shared_ptr<RecordSet> records = c.db().OpenRecordSet("SELECT * FROM Users");
  EXPECT_EQ(Invoke(*records, "EOF", CallKind::kGet), Variant(false));
  ObjectPtr fields = Invoke(*records, "Fields", CallKind::kGet).ToObject();
  EXPECT_EQ(Invoke(*fields, "Count", CallKind::kGet), Variant(int32_t{4}));
  ObjectPtr phone = Invoke(*fields, "Item", CallKind::kCall, {Variant("phonenumber")}).ToObject();
  EXPECT_EQ(Invoke(*phone, "Value", CallKind::kGet), Variant("555"));
  EXPECT_EQ(Invoke(*phone, "Name", CallKind::kGet), Variant("PhoneNumber"));
  ObjectPtr first = Invoke(*fields, "Item", CallKind::kCall, {Variant(int32_t{0})}).ToObject();
  EXPECT_EQ(Invoke(*first, "Value", CallKind::kGet), Variant("ann"));
  Invoke(*records, "Edit", CallKind::kCall);
  Invoke(*phone, "Value", CallKind::kLet, {Variant("777")});
  Invoke(*records, "Update", CallKind::kCall);
  EXPECT_EQ(c.Raw("SELECT PhoneNumber FROM Users"), "777");
  Variant rows = Invoke(*records, "GetRows", CallKind::kCall);
  EXPECT_EQ(rows.AsArray().At(1, 0), Variant("777"));
  EXPECT_EQ(Invoke(*records, "EOF", CallKind::kGet), Variant(true));
}

TEST(RecordSet, RefusesActionsAndAClosedDatabase) {
  Catalogue c;
  c.db().Execute("INSERT INTO Users (UserID) VALUES ('ann')");
  EXPECT_ZEL_ERROR(c.db().OpenRecordSet("DELETE FROM Users"), ec::kEngine,
                   "Cannot open a record set on an action or definition statement: 'DELETE FROM "
                   "Users'.");
  EXPECT_EQ(c.Count("Users"), 1);
  auto late = c.db().OpenRecordSet("SELECT * FROM Users");
  auto closed = c.db().OpenRecordSet("SELECT * FROM Users");
  closed->Close();
  EXPECT_ZEL_ERROR(closed->Eof(), ec::kEngine, "The record set is closed.");
  c.shared().reset();
  EXPECT_ZEL_ERROR(late->Eof(), ec::kEngine, "The database of the record set is closed.");
}

TEST(RecordSet, OpeningForAppendReadsNothingAndLeavesNoStatementActive) {
  Catalogue c;
  auto users = c.db().OpenRecordSet("SELECT * FROM Users WHERE UserID = 'x'");
  users->AddNew();
  users->SetValue("UserID", Variant("x"));
  users->Update();
  // A write through another path while a read set is open must not be blocked by it.
  auto all = c.db().OpenRecordSet("SELECT * FROM Users");
  EXPECT_FALSE(all->Eof());
  c.db().Execute("DELETE FROM Users");
  EXPECT_EQ(c.Count("Users"), 0);
  EXPECT_EQ(all->Value("UserID"), Variant("x"));
}

}  // namespace
}  // namespace zel::store
