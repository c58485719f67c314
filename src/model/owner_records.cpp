#include "model/owner_records.h"

#include "frame/member_table.h"
#include "frame/random_ids.h"
#include "frame/text.h"
#include "model/load_once.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"

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

// Makes sure the list of `database` holds the row `key` names: taken from the file when the list
// was loaded without it, else added, which stores it.
template <class List, class Add>
void Ensure(const std::shared_ptr<List>& list, store::CatalogueFile& database,
            const std::string& key, Add add) {
  if (list->Exists(key)) return;
  list->SyncStored(database, key);
  if (!list->Exists(key)) add(*list);
}

void EnsureCurrency(store::CatalogueFile& database, const std::string& id) {
  Ensure(model::Currencies(database), database, id,
         [&](ZelCurrencies& list) { list.Add(id, id, id); });
}

void EnsureUser(store::CatalogueFile& database, const std::string& name) {
  Ensure(model::Users(database), database, name, [&](ZelUsers& list) { list.Add(name, "", ""); });
}

void EnsureRetailer(store::CatalogueFile& database, const std::string& name) {
  Ensure(model::Retailers(database), database, name,
         [&](ZelRetailers& list) { list.Add(name, "", ""); });
}

// A field naming a row of another table: stored as Null when empty, since no row has the empty
// key.
template <class C>
typename store::RecordShape<C>::Field KeyField(std::string_view property, std::string C::*member) {
  return {property,
          [member](const C& record) {
            return (record.*member).empty() ? Variant::Null() : Variant(record.*member);
          },
          [member](C& record, const Variant& value) { record.*member = value.ToTextOrEmpty(); },
          Variant::Null()};
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

void ZelSRP::SetValue(Currency value) {
  store::RequireStorableAmount(value, "The suggested price");
  value_ = value;
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

void ZelPurchaseInfo::SetPrice(Currency price) {
  store::RequireStorableAmount(price, "The price");
  price_ = price;
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

// --- rows --------------------------------------------------------------------------------------

const store::RecordShape<ZelSRP>& ZelSRP::Shape() {
  static const store::RecordShape<ZelSRP> shape(
      store::Table::kSRPInfo,
      {store::FieldOf("Value", &ZelSRP::value_), KeyField("CurrencyID", &ZelSRP::currency_id_)});
  return shape;
}

const store::RecordShape<ZelPurchaseInfo>& ZelPurchaseInfo::Shape() {
  using P = ZelPurchaseInfo;
  static const store::RecordShape<P> shape(
      store::Table::kPurchaseInfo,
      {store::FieldOf("Price", &P::price_), KeyField("CurrencyID", &P::currency_id_),
       store::FieldOf("PurchaseDate", &P::date_), KeyField("PurchasePlaceName", &P::place_name_)});
  return shape;
}

const store::RecordShape<ZelLoanInfo>& ZelLoanInfo::Shape() {
  static const store::RecordShape<ZelLoanInfo> shape(
      store::Table::kLoanInfo, {KeyField("UserID", &ZelLoanInfo::user_id_),
                                store::FieldOf("LoanedDue", &ZelLoanInfo::due_)});
  return shape;
}

const store::RecordShape<ZelEvent>& ZelEvent::Shape() {
  using E = ZelEvent;
  static const store::RecordShape<E> shape(
      store::Table::kEvents,
      {store::FieldOf("EventID", &E::event_id_), KeyField("UserID", &E::user_id_),
       store::FieldOf("EventType", &E::event_type_), store::FieldOf("TimeStamp", &E::time_stamp_),
       store::FieldOf("Comment", &E::comment_)});
  return shape;
}

const store::RecordShape<ZelTag>& ZelTag::Shape() {
  static const store::RecordShape<ZelTag> shape(
      store::Table::kTags,
      {store::FieldOf("Name", &ZelTag::name_), store::FieldOf("LongName", &ZelTag::long_name_)});
  return shape;
}

store::RowImage LoadSRP(store::CatalogueFile& database, std::string_view owner_id, ZelSRP& srp) {
  return LoadOwnedRow(database, ZelSRP::Shape(), owner_id, srp);
}

void SaveSRP(store::CatalogueFile& database, const Owner& owner, const ZelSRP& srp,
             store::RowImage& image) {
  const bool empty = srp.Value() == Currency{} && srp.CurrencyID().empty();
  if (!empty && !srp.CurrencyID().empty()) EnsureCurrency(database, srp.CurrencyID());
  store::SaveSingle(database, ZelSRP::Shape(), srp, empty, image,
                    owner.Context<ZelSRP>(store::Table::kSRPInfo, [&](const ZelSRP&) {
                      return "The suggested price" + owner.Of();
                    }));
}

store::RowImage LoadPurchaseInfo(store::CatalogueFile& database, std::string_view owner_id,
                                 ZelPurchaseInfo& purchase) {
  return LoadOwnedRow(database, ZelPurchaseInfo::Shape(), owner_id, purchase);
}

void SavePurchaseInfo(store::CatalogueFile& database, const Owner& owner,
                      const ZelPurchaseInfo& purchase, store::RowImage& image) {
  const std::string& currency = purchase.CurrencyID();
  const std::string& place = purchase.PurchasePlaceName();
  const bool empty = purchase.Price() == Currency{} && currency.empty() && place.empty() &&
                     purchase.PurchaseDate() == Date::Zero();
  if (!empty && !currency.empty()) EnsureCurrency(database, currency);
  if (!empty && !place.empty()) EnsureRetailer(database, place);
  store::SaveSingle(
      database, ZelPurchaseInfo::Shape(), purchase, empty, image,
      owner.Context<ZelPurchaseInfo>(store::Table::kPurchaseInfo, [&](const ZelPurchaseInfo&) {
        return "The purchase" + owner.Of();
      }));
}

store::RowImage LoadLoanInfo(store::CatalogueFile& database, std::string_view owner_id,
                             ZelLoanInfo& loan) {
  return LoadOwnedRow(database, ZelLoanInfo::Shape(), owner_id, loan);
}

void SaveLoanInfo(store::CatalogueFile& database, const Owner& owner, const ZelLoanInfo& loan,
                  store::RowImage& image) {
  const bool empty = loan.UserID().empty() && loan.LoanedDue() == Date::Zero();
  if (!empty && loan.UserID().empty()) {
    Raise(store::engine_errc::kRequiredValue,
          "The loan" + owner.Of() + " could not be stored: it has a due date (" +
              FormatDate(loan.LoanedDue()) + ") but no borrower; set its UserID");
  }
  if (!empty) EnsureUser(database, loan.UserID());
  store::SaveSingle(database, ZelLoanInfo::Shape(), loan, empty, image,
                    owner.Context<ZelLoanInfo>(store::Table::kLoanInfo, [&](const ZelLoanInfo&) {
                      return "The loan" + owner.Of();
                    }));
}

EventsImage LoadEvents(store::CatalogueFile& database, std::string_view owner_id,
                       ZelEvents& events) {
  return LoadOwned(database, ZelEvent::Shape(), owner_id, "t.rowid", events, &ZelEvents::AddEvent);
}

void SaveEvents(store::CatalogueFile& database, const Owner& owner, const ZelEvents& events,
                EventsImage& image) {
  const auto members = events.All();
  for (const auto& event : members) {
    if (event->UserID().empty()) {
      Raise(store::engine_errc::kRequiredValue,
            "Event " + std::to_string(event->EventID()) + " ('" + event->EventType() + "')" +
                owner.Of() + " could not be stored: it names no user; set its UserID");
    }
    EnsureUser(database, event->UserID());
    bool stored = false;
    for (const auto& row : image.rows) stored = stored || row.member == event;
    if (stored) continue;
    // Identifiers are drawn at random, so a taken one is redrawn rather than the event refused.
    for (int attempt = 0; attempt < 16; ++attempt) {
      if (database.connection()
              .Read("SELECT 1 FROM \"Events\" WHERE \"EventID\" = ?",
                    {store::StoredValue::Integer(event->EventID())})
              .empty()) {
        break;
      }
      database.connection().OnRollback([event, id = event->EventID()] { event->SetEventID(id); });
      event->SetEventID(NextRandomId());
    }
  }
  store::SaveList(database, ZelEvent::Shape(), members, image,
                  owner.Context<ZelEvent>(store::Table::kEvents, [&](const ZelEvent& event) {
                    return "Event " + std::to_string(event.EventID()) + owner.Of();
                  }));
}

TagsImage LoadTags(store::CatalogueFile& database, std::string_view owner_id, ZelTags& tags) {
  return LoadOwned(database, ZelTag::Shape(), owner_id, "t.\"TagName\"", tags, &ZelTags::AddTag);
}

void SaveTags(store::CatalogueFile& database, const Owner& owner, const ZelTags& tags,
              TagsImage& image) {
  store::SaveList(database, ZelTag::Shape(), tags.All(), image,
                  owner.Context<ZelTag>(store::Table::kTags, [&](const ZelTag& tag) {
                    return "Tag '" + tag.Name() + "' ('" + tag.LongName() + "')" + owner.Of();
                  }));
}

InfosImage LoadInfos(store::CatalogueFile& database, std::string_view owner_id, ZelInfos& infos) {
  return LoadOwned(database, ZelInfo::Shape(store::Table::kAdditionalInfo), owner_id,
                   "t.\"InfoName\"", infos, &ZelInfos::AddInfo);
}

void SaveInfos(store::CatalogueFile& database, const Owner& owner, const ZelInfos& infos,
               InfosImage& image) {
  store::SaveList(database, ZelInfo::Shape(store::Table::kAdditionalInfo), infos.All(), image,
                  owner.Context<ZelInfo>(store::Table::kAdditionalInfo, [&](const ZelInfo& info) {
                    return "Information '" + info.Name() + "'" + owner.Of();
                  }));
}

InfosImage LoadMetaInfos(store::CatalogueFile& database, std::string_view owner_id,
                         ZelInfos& infos) {
  return LoadOwned(database, ZelInfo::Shape(store::Table::kMetaInfo), owner_id, "t.\"InfoName\"",
                   infos, &ZelInfos::AddInfo);
}

void SaveMetaInfos(store::CatalogueFile& database, const Owner& owner, const ZelInfos& infos,
                   InfosImage& image) {
  store::SaveList(database, ZelInfo::Shape(store::Table::kMetaInfo), infos.All(), image,
                  owner.Context<ZelInfo>(store::Table::kMetaInfo, [&](const ZelInfo& info) {
                    return "Meta information '" + info.Name() + "'" + owner.Of();
                  }));
}

}  // namespace zel
