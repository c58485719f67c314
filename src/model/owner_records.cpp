#include "model/owner_records.h"

#include "frame/member_table.h"
#include "frame/random_ids.h"
#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"
#include "store/text_helpers.h"

namespace zel {
namespace {

// A property that takes a value but has no getter (a key whose object is read through another
// member).
template <class C, class S>
Member LetOnly(std::string name, S setter) {
  Member member;
  member.name = std::move(name);
  member.kind = MemberKind::kProperty;
  member.let = [setter](Object& self, const Variant& value) {
    CallConverted(static_cast<C&>(self), setter, Args{value});
  };
  return member;
}

void EnsureCurrency(store::CatalogueFile& database, const std::string& id) {
  auto currencies = model::Currencies(database);
  if (!currencies->Exists(id)) currencies->Add(id, id, id);
}

void EnsureUser(store::CatalogueFile& database, const std::string& name) {
  auto users = model::Users(database);
  if (!users->Exists(name)) users->Add(name, "", "");
}

void EnsureRetailer(store::CatalogueFile& database, const std::string& name) {
  auto retailers = model::Retailers(database);
  if (!retailers->Exists(name)) retailers->Add(name, "", "");
}

// A key as a statement value: quoted, or NULL for an empty key (a record that names none).
std::string KeyOrNull(std::string_view key) {
  return key.empty() ? "NULL" : "'" + QuoteSql(key) + "'";
}

std::string Of(std::string_view owner_id) { return " of '" + std::string(owner_id) + "'"; }

Date DateOrZero(const Variant& value) { return value.IsNull() ? Date::Zero() : value.ToDate(); }

std::string OwnedBy(std::string_view head, std::string_view owner_id, std::string_view tail = "") {
  return std::string(head) + QuoteSql(owner_id) + "'" + std::string(tail);
}

}  // namespace

// --- SRP -------------------------------------------------------------------------------------

const ClassInfo& ZelSRP::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelSRP>("ZelSRP")
          .Creatable()
          .WithReflection(Reflection::kTolerant)
          .Property("Value", &ZelSRP::Value, &ZelSRP::SetValue)
          .Property("CurrencyID", &ZelSRP::CurrencyID, &ZelSRP::SetCurrencyID)
          .Get("GetCurrency", &ZelSRP::GetCurrency)
          .Build();
  return info;
}

void ZelSRP::SetCurrencyID(std::string id) {
  currency_id_ = std::move(id);
  EnsureCurrency(catalogue_.Get(), currency_id_);
}

std::shared_ptr<ZelCurrency> ZelSRP::GetCurrency() const {
  return model::Currencies(catalogue_.Get())->Item(Variant(currency_id_));
}

// --- purchase --------------------------------------------------------------------------------

const ClassInfo& ZelPurchaseInfo::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelPurchaseInfo>("ZelPurchaseInfo")
          .Creatable()
          .WithReflection(Reflection::kTolerant)
          .Property("Price", &ZelPurchaseInfo::Price, &ZelPurchaseInfo::SetPrice)
          .Property("CurrencyID", &ZelPurchaseInfo::CurrencyID, &ZelPurchaseInfo::SetCurrencyID)
          .Get("GetCurrency", &ZelPurchaseInfo::GetCurrency)
          .Property("PurchaseDate", &ZelPurchaseInfo::PurchaseDate,
                    &ZelPurchaseInfo::SetPurchaseDate)
          .Raw(
              LetOnly<ZelPurchaseInfo>("PurchasePlaceName", &ZelPurchaseInfo::SetPurchasePlaceName))
          .Get("PurchasePlace", &ZelPurchaseInfo::PurchasePlace)
          .Build();
  return info;
}

void ZelPurchaseInfo::SetCurrencyID(std::string id) {
  currency_id_ = std::move(id);
  EnsureCurrency(catalogue_.Get(), currency_id_);
}

std::shared_ptr<ZelCurrency> ZelPurchaseInfo::GetCurrency() const {
  return model::Currencies(catalogue_.Get())->Item(Variant(currency_id_));
}

void ZelPurchaseInfo::SetPurchasePlaceName(std::string name) {
  place_name_ = std::move(name);
  EnsureRetailer(catalogue_.Get(), place_name_);
}

std::shared_ptr<ZelRetailer> ZelPurchaseInfo::PurchasePlace() const {
  return model::Retailers(catalogue_.Get())->Item(Variant(place_name_));
}

// --- loan ------------------------------------------------------------------------------------

const ClassInfo& ZelLoanInfo::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelLoanInfo>("ZelLoanInfo")
          .Creatable()
          .WithReflection(Reflection::kTolerant)
          .Raw(LetOnly<ZelLoanInfo>("UserID", &ZelLoanInfo::SetUserID))
          .Property("LoanedDue", &ZelLoanInfo::LoanedDue, &ZelLoanInfo::SetLoanedDue)
          .Get("User", &ZelLoanInfo::User)
          .Build();
  return info;
}

void ZelLoanInfo::SetUserID(std::string user_id) {
  user_id_ = std::move(user_id);
  EnsureUser(catalogue_.Get(), user_id_);
}

std::shared_ptr<ZelUser> ZelLoanInfo::User() const {
  if (user_id_.empty()) return std::make_shared<ZelUser>();
  return model::Users(catalogue_.Get())->Item(Variant(user_id_));
}

// --- events ----------------------------------------------------------------------------------

ZelEvent::ZelEvent() : event_id_(NextRandomId()) {}

const ClassInfo& ZelEvent::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelEvent>("ZelEvent")
          .Creatable()
          .WithReflection(Reflection::kTolerant)
          .Property("EventID", &ZelEvent::EventID, &ZelEvent::SetEventID)
          .Property("Comment", &ZelEvent::Comment, &ZelEvent::SetComment)
          .Raw(LetOnly<ZelEvent>("UserID", &ZelEvent::SetUserID))
          .Get("User", &ZelEvent::User)
          .Property("EventType", &ZelEvent::EventType, &ZelEvent::SetEventType)
          .Property("TimeStamp", &ZelEvent::TimeStamp, &ZelEvent::SetTimeStamp)
          .Build();
  return info;
}

void ZelEvent::SetUserID(std::string user_id) {
  user_id_ = std::move(user_id);
  EnsureUser(catalogue_.Get(), user_id_);
}

std::shared_ptr<ZelUser> ZelEvent::User() const {
  return model::Users(catalogue_.Get())->Item(Variant(user_id_));
}

const ClassInfo& ZelEvents::Info() {
  static const ClassInfo info = ClassBuilder<ZelEvents>("ZelEvents")
                                    .Creatable()
                                    .Get("Count", &ZelEvents::Count)
                                    .Method("Item", &ZelEvents::Item, {Param("vntIndexKey")})
                                    .Default()
                                    .Method("Remove", &ZelEvents::Remove, {Param("vntIndexKey")})
                                    .Method("RemoveAll", &ZelEvents::RemoveAll)
                                    .Get("NewEnum", &ZelEvents::NewEnum)
                                    .Enumerator()
                                    .Method("AddEvent", &ZelEvents::AddEvent, {Param("cEvent")})
                                    .Method("Add", &ZelEvents::Add,
                                            {Param("EventType"), Param("UserID"),
                                             Param("TimeStamp"), Optional("Comment", "")})
                                    .Build();
  return info;
}

std::shared_ptr<ZelEvent> ZelEvents::AddEvent(std::shared_ptr<ZelEvent> event) {
  AddExisting(event);
  return event;
}

std::shared_ptr<ZelEvent> ZelEvents::Add(std::string event_type, std::string user_id,
                                         Date time_stamp, std::string comment) {
  auto event = std::make_shared<ZelEvent>();
  // The user is looked up in the catalogue of the title the list was read for.
  event->catalogue().Join(catalogue_);
  event->SetEventType(std::move(event_type));
  event->SetUserID(std::move(user_id));
  event->SetTimeStamp(time_stamp);
  event->SetComment(std::move(comment));
  return AddEvent(event);
}

// --- tags ------------------------------------------------------------------------------------

const ClassInfo& ZelTag::Info() {
  static const ClassInfo info = ClassBuilder<ZelTag>("ZelTag")
                                    .Creatable()
                                    .WithReflection(Reflection::kPlain)
                                    .Property("Name", &ZelTag::Name, &ZelTag::SetName)
                                    .Property("LongName", &ZelTag::LongName, &ZelTag::SetLongName)
                                    .Build();
  return info;
}

const ClassInfo& ZelTags::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelTags>("ZelTags")
          .Creatable()
          .Get("Count", &ZelTags::Count)
          .Method("Item", &ZelTags::ItemAt, {Param("intIndex")})
          .Default()
          .Get("NewEnum", &ZelTags::NewEnum)
          .Enumerator()
          .Method("Remove", &ZelTags::RemoveAt, {Param("intIndex")})
          .Method("RemoveAll", &ZelTags::RemoveAll)
          .Method("AddTag", &ZelTags::AddTag, {Param("Tag")})
          .Method("Add", &ZelTags::Add, {Param("Name"), Param("LongName")})
          .Method("Exists", &ZelTags::Exists, {Param("TagName")})
          .Build();
  return info;
}

std::shared_ptr<ZelTag> ZelTags::AddTag(std::shared_ptr<ZelTag> tag) {
  AddExisting(tag);
  return tag;
}

std::shared_ptr<ZelTag> ZelTags::Add(std::string name, std::string long_name) {
  auto tag = std::make_shared<ZelTag>();
  tag->SetName(std::move(name));
  tag->SetLongName(std::move(long_name));
  return AddTag(tag);
}

bool ZelTags::Exists(std::string_view tag_name) const {
  return AnyOf<ZelTag>([&](const ZelTag& tag) { return EqualsFolded(tag.Name(), tag_name); });
}

// --- reading and saving ----------------------------------------------------------------------

void LoadSRP(store::CatalogueFile& database, std::string_view owner_id, ZelSRP& srp) {
  auto records =
      database.DbOpenRecordSet(OwnedBy("SELECT * FROM SRPInfo s WHERE s.ProfileID = '", owner_id));
  if (records->RecordCount() == 0) return;
  const Variant value = records->ValueAt(1);
  if (!value.IsNull()) srp.SetValue(value.ToCurrency());
  srp.SetStoredCurrencyID(records->ValueAt(2).ToTextOrEmpty());
}

void SaveSRP(store::CatalogueFile& database, std::string_view owner_id, const ZelSRP& srp) {
  DeleteProfileRows(database, owner_id, "SRPInfo");
  if (srp.Value() == Currency{} && srp.CurrencyID().empty()) return;  // no price at all
  if (!srp.CurrencyID().empty()) EnsureCurrency(database, srp.CurrencyID());
  InsertSavedRow(database,
                 "INSERT INTO SRPInfo (ProfileID, SRPValue, CurrencyID) VALUES ('" +
                     QuoteSql(owner_id) + "', '" + QuoteSql(Variant(srp.Value()).ToText()) + "', " +
                     KeyOrNull(srp.CurrencyID()) + ")",
                 "The suggested price" + Of(owner_id) + " could not be stored");
}

void LoadPurchaseInfo(store::CatalogueFile& database, std::string_view owner_id,
                      ZelPurchaseInfo& purchase) {
  auto records = database.DbOpenRecordSet(
      OwnedBy("SELECT * FROM PurchaseInfo p WHERE p.ProfileID = '", owner_id));
  if (records->RecordCount() == 0) return;
  const Variant price = records->Value("Price");
  if (!price.IsNull()) purchase.SetPrice(price.ToCurrency());
  purchase.SetStoredCurrencyID(records->Value("CurrencyID").ToTextOrEmpty());
  const Variant date = records->Value("PurchaseDate");
  if (!date.IsNull()) purchase.SetPurchaseDate(date.ToDate());
  purchase.SetStoredPlaceName(records->Value("PurchasePlace").ToTextOrEmpty());
}

void SavePurchaseInfo(store::CatalogueFile& database, std::string_view owner_id,
                      const ZelPurchaseInfo& purchase) {
  DeleteProfileRows(database, owner_id, "PurchaseInfo");
  const std::string& currency = purchase.CurrencyID();
  const std::string& place = purchase.PurchasePlaceName();
  if (purchase.Price() == Currency{} && currency.empty() && place.empty() &&
      purchase.PurchaseDate() == Date::Zero()) {
    return;  // no purchase at all
  }
  if (!currency.empty()) EnsureCurrency(database, currency);
  if (!place.empty()) EnsureRetailer(database, place);
  InsertSavedRow(
      database,
      "INSERT INTO PurchaseInfo (ProfileID, Price, CurrencyID, PurchaseDate, PurchasePlace) "
      "VALUES ('" +
          QuoteSql(owner_id) + "', '" + QuoteSql(Variant(purchase.Price()).ToText()) + "', " +
          KeyOrNull(currency) + ", '" + QuoteSql(FormatDateTime(purchase.PurchaseDate())) + "', " +
          KeyOrNull(place) + ")",
      "The purchase" + Of(owner_id) + " could not be stored");
}

void LoadLoanInfo(store::CatalogueFile& database, std::string_view owner_id, ZelLoanInfo& loan) {
  auto records =
      database.DbOpenRecordSet(OwnedBy("SELECT * FROM LoanInfo i WHERE i.ProfileID = '", owner_id));
  if (records->RecordCount() == 0) return;
  loan.SetStoredUserID(records->Value("UserID").ToTextOrEmpty());
  loan.SetLoanedDue(DateOrZero(records->Value("LoanedDue")));
}

void SaveLoanInfo(store::CatalogueFile& database, std::string_view owner_id,
                  const ZelLoanInfo& loan) {
  DeleteProfileRows(database, owner_id, "LoanInfo");
  if (loan.UserID().empty()) {
    if (loan.LoanedDue() == Date::Zero()) return;  // not lent
    Raise(store::engine_errc::kRequiredValue,
          "The loan" + Of(owner_id) + " could not be stored: it has a due date (" +
              FormatDate(loan.LoanedDue()) + ") but no borrower; set its UserID");
  }
  EnsureUser(database, loan.UserID());
  InsertSavedRow(database,
                 "INSERT INTO LoanInfo (ProfileID, UserID, LoanedDue) VALUES ('" +
                     QuoteSql(owner_id) + "', '" + QuoteSql(loan.UserID()) + "', '" +
                     QuoteSql(FormatDateTime(loan.LoanedDue())) + "')",
                 "The loan" + Of(owner_id) + " could not be stored");
}

void LoadEvents(store::CatalogueFile& database, std::string_view owner_id, ZelEvents& events) {
  auto records =
      database.DbOpenRecordSet(OwnedBy("SELECT * FROM Events e WHERE e.ProfileID = '", owner_id));
  for (; !records->Eof(); records->MoveNext()) {
    auto event = std::make_shared<ZelEvent>();
    event->SetEventID(records->Value("EventID").ToLong());
    event->SetStoredUserID(records->Value("UserID").ToTextOrEmpty());
    event->SetEventType(records->Value("EventType").ToTextOrEmpty());
    event->SetTimeStamp(DateOrZero(records->Value("EventTimeStamp")));
    event->SetComment(records->Value("Comment").ToTextOrEmpty());
    event->catalogue().Bind(database);
    events.AddEvent(event);
  }
}

void SaveEvents(store::CatalogueFile& database, std::string_view owner_id,
                const ZelEvents& events) {
  DeleteProfileRows(database, owner_id, "Events");
  for (const auto& event : events.All()) {
    const std::string& user = event->UserID();
    if (user.empty()) {
      Raise(store::engine_errc::kRequiredValue,
            "Event " + std::to_string(event->EventID()) + " ('" + event->EventType() + "')" +
                Of(owner_id) + " could not be stored: it names no user; set its UserID");
    }
    EnsureUser(database, user);
    // Identifiers are drawn at random, so a taken one is redrawn rather than the event lost; a few
    // attempts are plenty for 2^31 identifiers.
    for (int attempt = 0;; ++attempt) {
      const std::string id = std::to_string(event->EventID());
      const int64_t stored = database.connection().Execute(
          "INSERT INTO Events (EventID, ProfileID, UserID, EventType, EventTimeStamp, Comment) "
          "VALUES ('" +
          QuoteSql(id) + "', '" + QuoteSql(owner_id) + "', '" + QuoteSql(user) + "', '" +
          QuoteSql(event->EventType()) + "', '" + QuoteSql(FormatDateTime(event->TimeStamp())) +
          "', '" + QuoteSql(event->Comment()) + "')");
      if (stored > 0) break;
      const bool taken =
          database.DbOpenRecordSet("SELECT EventID FROM Events WHERE EventID = " + id)
              ->RecordCount() > 0;
      if (!taken || attempt == 16) {
        Raise(store::engine_errc::kRelatedRecordRequired, "Event " + id + Of(owner_id) +
                                                              " could not be stored: user '" +
                                                              user + "' is not in the Users table");
      }
      event->SetEventID(NextRandomId());
    }
  }
}

void LoadTags(store::CatalogueFile& database, std::string_view owner_id, ZelTags& tags) {
  auto records = database.DbOpenRecordSet(
      OwnedBy("SELECT TagName, FullyQualifiedName FROM Tags t WHERE t.ProfileID = '", owner_id,
              " ORDER BY TagName"));
  for (; !records->Eof(); records->MoveNext()) {
    auto tag = std::make_shared<ZelTag>();
    tag->SetName(records->Value("TagName").ToTextOrEmpty());
    tag->SetLongName(records->Value("FullyQualifiedName").ToTextOrEmpty());
    tags.AddTag(tag);
  }
}

void SaveTags(store::CatalogueFile& database, std::string_view owner_id, const ZelTags& tags) {
  DeleteProfileRows(database, owner_id, "Tags");
  for (const auto& tag : tags.All()) {
    InsertSavedRow(database,
                   "INSERT INTO Tags (ProfileID, TagName, FullyQualifiedName) VALUES ('" +
                       QuoteSql(owner_id) + "', '" + QuoteSql(tag->Name()) + "', '" +
                       QuoteSql(tag->LongName()) + "')",
                   "Tag '" + tag->Name() + "' ('" + tag->LongName() + "')" + Of(owner_id) +
                       " could not be stored: another tag has that name (the case of letters "
                       "aside)");
  }
}

namespace {

void LoadNamedValues(store::CatalogueFile& database, std::string_view table,
                     std::string_view owner_id, bool with_type, ZelInfos& infos) {
  auto records = database.DbOpenRecordSet(
      OwnedBy("SELECT * FROM " + std::string(table) + " i WHERE i.ProfileID = '", owner_id,
              " ORDER BY InfoName"));
  for (; !records->Eof(); records->MoveNext()) {
    auto info = std::make_shared<ZelInfo>();
    info->SetName(records->Value("InfoName").ToTextOrEmpty());
    info->SetValue(records->Value("InfoValue").ToTextOrEmpty());
    if (with_type) info->SetInfoType(records->Value("InfoType").ToTextOrEmpty());
    infos.AddInfo(info);
  }
}

}  // namespace

void LoadInfos(store::CatalogueFile& database, std::string_view owner_id, ZelInfos& infos) {
  LoadNamedValues(database, "AdditionalInfo", owner_id, database.SchemaNumber() >= 84, infos);
}

void SaveInfos(store::CatalogueFile& database, std::string_view owner_id, const ZelInfos& infos) {
  DeleteProfileRows(database, owner_id, "AdditionalInfo");
  const bool with_type = database.SchemaNumber() >= 84;
  for (const auto& info : infos.All()) {
    const std::string values = "('" + QuoteSql(owner_id) + "', '" + QuoteSql(info->Name()) +
                               "', '" + QuoteSql(info->Value());
    const std::string refusal = "Information '" + info->Name() + "'" + Of(owner_id) +
                                " could not be stored: another entry has that name";
    if (with_type) {
      InsertSavedRow(database,
                     "INSERT INTO AdditionalInfo (ProfileID, InfoName, InfoValue, InfoType) "
                     "VALUES " +
                         values + "', '" + QuoteSql(info->InfoType()) + "')",
                     refusal);
    } else {
      InsertSavedRow(
          database,
          "INSERT INTO AdditionalInfo (ProfileID, InfoName, InfoValue) VALUES " + values + "')",
          refusal);
    }
  }
}

void LoadMetaInfos(store::CatalogueFile& database, std::string_view owner_id, ZelInfos& infos) {
  LoadNamedValues(database, "MetaInfo", owner_id, false, infos);
}

void SaveMetaInfos(store::CatalogueFile& database, std::string_view owner_id,
                   const ZelInfos& infos) {
  DeleteProfileRows(database, owner_id, "MetaInfo");
  for (const auto& info : infos.All()) {
    InsertSavedRow(database,
                   "INSERT INTO MetaInfo (ProfileID, InfoName, InfoValue) VALUES ('" +
                       QuoteSql(owner_id) + "', '" + QuoteSql(info->Name()) + "', '" +
                       QuoteSql(info->Value()) + "')",
                   "Meta information '" + info->Name() + "'" + Of(owner_id) +
                       " could not be stored: another entry has that name");
  }
}

}  // namespace zel
