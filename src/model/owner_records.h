// The owner's side of a title: suggested retail price, purchase, loan, dated events, tags, and the
// two lists of named values (AdditionalInfo and MetaInfo).
//
// Four records name rows of the reference lists by key (currency, retailer, user). They belong to
// the catalogue of the profile or episode they were read for (a record made by a caller joins the
// active one). Setting a key the catalogue's list lacks adds it there, which stores it at once; a
// save adds a missing one to the catalogue it writes to, so the referenced row always exists. The
// getters of the referenced objects look the key up in the list and fail with the collection's
// error when it is not there. Reading a record adds nothing: the rows it names are there already.
//
// As for the physical records, the Load*/Save* functions take the owner (a profile or an episode);
// loads return the rows they read and Save* writes the record against them (store/row_images.h);
// callers run it in their write scope. A save stores everything the record holds or fails naming
// it: a price or purchase without a currency is stored without one (Null), a record holding
// nothing at all is not stored (a stored one is deleted), and a loan with a due date but no
// borrower, or an event without a user, fails with 3314. Amounts keep four decimals: setting one
// that the file's doubles cannot give back exactly fails with Overflow (6).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "model/reference_lists.h"
#include "store/catalogue_link.h"
#include "store/info.h"
#include "store/keyed_collection.h"
#include "store/row_images.h"

namespace zel {

namespace store {
class CatalogueFile;
}  // namespace store

class ZelSRP : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  Currency Value() const { return value_; }
  void SetValue(Currency value);
  const std::string& CurrencyID() const { return currency_id_; }
  // Adds the currency (identifier, name and symbol all `id`) when the catalogue lacks it.
  void SetCurrencyID(std::string id);
  std::shared_ptr<ZelCurrency> GetCurrency() const;

  // Library-internal: the key as stored, without the lookup; and the record's catalogue.
  void SetStoredCurrencyID(std::string id) { currency_id_ = std::move(id); }
  CatalogueLink& catalogue() const { return catalogue_; }
  static const store::RecordShape<ZelSRP>& Shape();

 private:
  Currency value_;
  std::string currency_id_;
  mutable CatalogueLink catalogue_;
};

class ZelPurchaseInfo : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  Currency Price() const { return price_; }
  void SetPrice(Currency price);
  const std::string& CurrencyID() const { return currency_id_; }
  void SetCurrencyID(std::string id);
  std::shared_ptr<ZelCurrency> GetCurrency() const;
  Date PurchaseDate() const { return date_; }
  void SetPurchaseDate(Date date) { date_ = date; }
  // Adds the retailer (no type, no website) when the catalogue lacks it.
  void SetPurchasePlaceName(std::string name);
  std::shared_ptr<ZelRetailer> PurchasePlace() const;

  // Library-internal: the name as set, without a lookup; the keys as stored; the catalogue.
  const std::string& PurchasePlaceName() const { return place_name_; }
  void SetStoredCurrencyID(std::string id) { currency_id_ = std::move(id); }
  void SetStoredPlaceName(std::string name) { place_name_ = std::move(name); }
  CatalogueLink& catalogue() const { return catalogue_; }
  static const store::RecordShape<ZelPurchaseInfo>& Shape();

 private:
  Currency price_;
  std::string currency_id_;
  Date date_;
  std::string place_name_;
  mutable CatalogueLink catalogue_;
};

class ZelLoanInfo : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // Adds the user (no phone, no e-mail) when the catalogue lacks it.
  void SetUserID(std::string user_id);
  Date LoanedDue() const { return due_; }
  void SetLoanedDue(Date due) { due_ = due; }
  // The borrower; with no UserID a new, empty user that belongs to no list.
  std::shared_ptr<ZelUser> User() const;

  const std::string& UserID() const { return user_id_; }
  void SetStoredUserID(std::string user_id) { user_id_ = std::move(user_id); }
  CatalogueLink& catalogue() const { return catalogue_; }
  static const store::RecordShape<ZelLoanInfo>& Shape();

 private:
  std::string user_id_;
  Date due_;
  mutable CatalogueLink catalogue_;
};

class ZelEvent : public Object {
 public:
  // Draws the identifier from the thread's one random sequence.
  ZelEvent();
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  int64_t EventID() const { return event_id_; }
  void SetEventID(int64_t id) { event_id_ = id; }
  const std::string& Comment() const { return comment_; }
  void SetComment(std::string comment) { comment_ = std::move(comment); }
  // Adds the user (no phone, no e-mail) when the catalogue lacks it.
  void SetUserID(std::string user_id);
  std::shared_ptr<ZelUser> User() const;
  const std::string& EventType() const { return event_type_; }
  void SetEventType(std::string type) { event_type_ = std::move(type); }
  Date TimeStamp() const { return time_stamp_; }
  void SetTimeStamp(Date time_stamp) { time_stamp_ = time_stamp; }

  const std::string& UserID() const { return user_id_; }
  void SetStoredUserID(std::string user_id) { user_id_ = std::move(user_id); }
  CatalogueLink& catalogue() const { return catalogue_; }
  static const store::RecordShape<ZelEvent>& Shape();

 private:
  std::string event_type_;
  Date time_stamp_;
  std::string user_id_;
  int64_t event_id_;
  std::string comment_;
  mutable CatalogueLink catalogue_;
};

class ZelEvents : public TypedCollection<ZelEvent> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelEvent> AddEvent(std::shared_ptr<ZelEvent> event);
  std::shared_ptr<ZelEvent> Add(std::string event_type, std::string user_id, Date time_stamp,
                                std::string comment);
};

class ZelTag : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  // The fully qualified name.
  const std::string& LongName() const { return long_name_; }
  void SetLongName(std::string long_name) { long_name_ = std::move(long_name); }

  static const store::RecordShape<ZelTag>& Shape();

 private:
  std::string name_, long_name_;
};

// Tags by position only (Item and Remove take a 16-bit position); Exists compares Name as keys do.
class ZelTags : public TypedCollection<ZelTag> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelTag> ItemAt(int16_t index) const { return Item(Variant(index)); }
  void RemoveAt(int16_t index) { Remove(Variant(index)); }
  std::shared_ptr<ZelTag> AddTag(std::shared_ptr<ZelTag> tag);
  std::shared_ptr<ZelTag> Add(std::string name, std::string long_name);
  bool Exists(std::string_view tag_name) const;
};

struct Owner;
using EventsImage = store::ListImage<ZelEvent>;
using TagsImage = store::ListImage<ZelTag>;
using InfosImage = store::ListImage<ZelInfo>;

store::RowImage LoadSRP(store::CatalogueFile& database, std::string_view owner_id, ZelSRP& srp);
void SaveSRP(store::CatalogueFile& database, const Owner& owner, const ZelSRP& srp,
             store::RowImage& image);
store::RowImage LoadPurchaseInfo(store::CatalogueFile& database, std::string_view owner_id,
                                 ZelPurchaseInfo& purchase);
void SavePurchaseInfo(store::CatalogueFile& database, const Owner& owner,
                      const ZelPurchaseInfo& purchase, store::RowImage& image);
store::RowImage LoadLoanInfo(store::CatalogueFile& database, std::string_view owner_id,
                             ZelLoanInfo& loan);
void SaveLoanInfo(store::CatalogueFile& database, const Owner& owner, const ZelLoanInfo& loan,
                  store::RowImage& image);
EventsImage LoadEvents(store::CatalogueFile& database, std::string_view owner_id,
                       ZelEvents& events);
// A new event whose EventID another stored event already holds gets a freshly drawn identifier
// (the object's EventID changes with the save, and back if the save fails) instead of being
// refused. An event without a user fails with 3314.
void SaveEvents(store::CatalogueFile& database, const Owner& owner, const ZelEvents& events,
                EventsImage& image);
TagsImage LoadTags(store::CatalogueFile& database, std::string_view owner_id, ZelTags& tags);
void SaveTags(store::CatalogueFile& database, const Owner& owner, const ZelTags& tags,
              TagsImage& image);
// AdditionalInfo; InfoType is read and written from schema 84 on.
InfosImage LoadInfos(store::CatalogueFile& database, std::string_view owner_id, ZelInfos& infos);
void SaveInfos(store::CatalogueFile& database, const Owner& owner, const ZelInfos& infos,
               InfosImage& image);
// MetaInfo; the info type is not stored.
InfosImage LoadMetaInfos(store::CatalogueFile& database, std::string_view owner_id,
                         ZelInfos& infos);
void SaveMetaInfos(store::CatalogueFile& database, const Owner& owner, const ZelInfos& infos,
                   InfosImage& image);

}  // namespace zel
