// The reference lists kept beside the catalogue: currencies, users (borrowers), retailers, stored
// SQL queries and translations.
//
// Each list is loaded on first read and cached in the catalogue's slot (the model:: functions at
// the end, behind ZelDatabase.Currencies and its siblings). Unlike the profile lists these
// collections write at once, to the catalogue they belong to: adding a member stores it (its
// Update* operation), removing one deletes its row. A record's Update* writes what changed since it
// was read into its stored row (store/row_images.h), or inserts a new record; a new record whose
// key another row holds fails (3022), and so does a rename onto such a key. A renamed record keeps
// its row; one that other rows name (a currency of a price, a user of a loan) cannot be renamed or
// removed (3200). Keys, Exists included, ignore the case of ASCII letters only, as the file's keys
// do. Null columns read as empty text.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/dictionary.h"
#include "store/keyed_collection.h"
#include "store/row_images.h"

namespace zel {

namespace store {
class CatalogueFile;
}  // namespace store

class ZelCurrency : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // Read-only to callers: a currency is named when it is created or loaded.
  const std::string& CurrencyID() const { return id_; }
  const std::string& CurrencyName() const { return name_; }
  void SetCurrencyName(std::string name) { name_ = std::move(name); }
  const std::string& CurrencySymbol() const { return symbol_; }
  void SetCurrencySymbol(std::string symbol) { symbol_ = std::move(symbol); }
  // Stores the currency in its catalogue: edits the row of its identifier or adds one.
  void UpdateCurrency();

  // Library-internal: the catalogue it belongs to, and the save into a given one.
  CatalogueLink& catalogue() { return catalogue_; }
  void SaveTo(store::CatalogueFile& database);
  void SetCurrencyID(std::string id) { id_ = std::move(id); }
  store::RowImage& row() { return row_; }
  void ReadRow(store::CatalogueFile& database, store::RowImage image);
  static const store::RecordShape<ZelCurrency>& Shape();

 private:
  CatalogueLink catalogue_;
  store::RowImage row_;
  std::string id_;
  std::string name_;
  std::string symbol_;
};

class ZelUser : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& Phone() const { return phone_; }
  void SetPhone(std::string phone) { phone_ = std::move(phone); }
  const std::string& Email() const { return email_; }
  void SetEmail(std::string email) { email_ = std::move(email); }
  bool IsActive() const { return is_active_; }
  void SetIsActive(bool is_active) { is_active_ = is_active; }
  // Stores the user in its catalogue (row of UserID = Name); IsActive from schema 88 on.
  void UpdateUser();

  // Library-internal: the catalogue it belongs to, and the save into a given one.
  CatalogueLink& catalogue() { return catalogue_; }
  void SaveTo(store::CatalogueFile& database);
  store::RowImage& row() { return row_; }
  void ReadRow(store::CatalogueFile& database, store::RowImage image);
  static const store::RecordShape<ZelUser>& Shape();

 private:
  CatalogueLink catalogue_;
  store::RowImage row_;
  std::string name_;
  std::string phone_;
  std::string email_;
  bool is_active_ = true;
};

class ZelRetailer : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& PlaceType() const { return place_type_; }
  void SetPlaceType(std::string place_type) { place_type_ = std::move(place_type); }
  const std::string& Website() const { return website_; }
  void SetWebsite(std::string website) { website_ = std::move(website); }
  void UpdateRetailer();

  // Library-internal: the catalogue it belongs to, and the save into a given one.
  CatalogueLink& catalogue() { return catalogue_; }
  void SaveTo(store::CatalogueFile& database);
  store::RowImage& row() { return row_; }
  void ReadRow(store::CatalogueFile& database, store::RowImage image);
  static const store::RecordShape<ZelRetailer>& Shape();

 private:
  CatalogueLink catalogue_;
  store::RowImage row_;
  std::string name_;
  std::string place_type_;
  std::string website_;
};

class ZelSQLQuery : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& SQLStatement() const { return statement_; }
  void SetSQLStatement(std::string statement) { statement_ = std::move(statement); }
  // Stores the statement under its name (see the file comment for a name already stored).
  void UpdateSQLQuery();

  // Library-internal: the catalogue it belongs to, and the save into a given one.
  CatalogueLink& catalogue() { return catalogue_; }
  void SaveTo(store::CatalogueFile& database);
  store::RowImage& row() { return row_; }
  void ReadRow(store::CatalogueFile& database, store::RowImage image);
  static const store::RecordShape<ZelSQLQuery>& Shape();

 private:
  CatalogueLink catalogue_;
  store::RowImage row_;
  std::string name_;
  std::string statement_;
};

class ZelCurrencies : public TypedCollection<ZelCurrency> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelCurrency> AddCurrency(std::shared_ptr<ZelCurrency> currency);
  std::shared_ptr<ZelCurrency> Add(std::string id, std::string name, std::string symbol);
  bool Exists(std::string_view id) const;

  // Every stored currency, by identifier.
  static std::shared_ptr<ZelCurrencies> Load(store::CatalogueFile& database);
  // Writes what changed in every member to `database`, as one write; members renamed onto one
  // another's key fail (3022) first. Rows the list never held stay.
  void Store(store::CatalogueFile& database);
  // Library-internal: adds the stored row of `key` when the list lacks it (after an import, or
  // when a record names a row the list was loaded without).
  void SyncStored(store::CatalogueFile& database, std::string_view key) override;

 protected:
  std::string KeyOf(const Object& item) const override;
  void Save(Object& item) override;
  void Delete(Object& item) override;
};

class ZelUsers : public TypedCollection<ZelUser> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelUser> AddUser(std::shared_ptr<ZelUser> user);
  std::shared_ptr<ZelUser> Add(std::string name, std::string phone, std::string email);
  bool Exists(std::string_view name) const;

  // Every stored user, by name. From schema 88 on IsActive is read (a Null counts as active).
  static std::shared_ptr<ZelUsers> Load(store::CatalogueFile& database);
  // Writes what changed in every member to `database`, as one write; members renamed onto one
  // another's key fail (3022) first. Rows the list never held stay.
  void Store(store::CatalogueFile& database);
  // Library-internal: adds the stored row of `key` when the list lacks it (after an import, or
  // when a record names a row the list was loaded without).
  void SyncStored(store::CatalogueFile& database, std::string_view key) override;

 protected:
  std::string KeyOf(const Object& item) const override;
  void Save(Object& item) override;
  void Delete(Object& item) override;
};

class ZelRetailers : public TypedCollection<ZelRetailer> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelRetailer> AddRetailer(std::shared_ptr<ZelRetailer> retailer);
  std::shared_ptr<ZelRetailer> Add(std::string name, std::string type, std::string website);
  bool Exists(std::string_view name) const;

  static std::shared_ptr<ZelRetailers> Load(store::CatalogueFile& database);
  // Writes what changed in every member to `database`, as one write; members renamed onto one
  // another's key fail (3022) first. Rows the list never held stay.
  void Store(store::CatalogueFile& database);
  // Library-internal: adds the stored row of `key` when the list lacks it (after an import, or
  // when a record names a row the list was loaded without).
  void SyncStored(store::CatalogueFile& database, std::string_view key) override;

 protected:
  std::string KeyOf(const Object& item) const override;
  void Save(Object& item) override;
  void Delete(Object& item) override;
};

class ZelSQLQueries : public TypedCollection<ZelSQLQuery> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelSQLQuery> AddSQL(std::shared_ptr<ZelSQLQuery> query);
  std::shared_ptr<ZelSQLQuery> Add(std::string name, std::string statement);
  bool Exists(std::string_view sql_name) const;

  static std::shared_ptr<ZelSQLQueries> Load(store::CatalogueFile& database);
  // Writes what changed in every member to `database`, as one write; members renamed onto one
  // another's key fail (3022) first. Rows the list never held stay.
  void Store(store::CatalogueFile& database);
  // Library-internal: adds the stored row of `key` when the list lacks it (after an import, or
  // when a record names a row the list was loaded without).
  void SyncStored(store::CatalogueFile& database, std::string_view key) override;

 protected:
  std::string KeyOf(const Object& item) const override;
  void Save(Object& item) override;
  void Delete(Object& item) override;
};

// Translations: original text to the user's text, by original text. The dictionary compares keys
// as the file does (text comparison: ASCII letters in either case), so "Hello" and "hello" are one
// key in both.
std::shared_ptr<Dictionary> LoadTranslations(store::CatalogueFile& database,
                                             std::vector<store::RowImage>& rows);
// Writes what changed in the dictionary against `rows` (what was read or last stored), as one
// write: changed texts into their rows, new pairs as new rows, and deletes the rows of keys the
// dictionary no longer holds; `rows` then holds the file's rows. Other stored rows stay. A pair the
// file refuses fails the whole write with an error naming it.
void StoreTranslations(store::CatalogueFile& database, const Dictionary& translations,
                       std::vector<store::RowImage>& rows);

namespace model {

// The reference lists of a catalogue (ZelDatabase.Currencies, Users, Retailers, SQLQueries,
// Translations), each loaded on first read and kept in the catalogue's slot. The Update* of a list
// writes each member (edits its row or adds one), as one write, and does nothing when the list is
// not loaded.
std::shared_ptr<ZelCurrencies> Currencies(store::CatalogueFile& database);
void UpdateCurrencies(store::CatalogueFile& database);
std::shared_ptr<ZelUsers> Users(store::CatalogueFile& database);
void UpdateUsers(store::CatalogueFile& database);
std::shared_ptr<ZelRetailers> Retailers(store::CatalogueFile& database);
void UpdateRetailers(store::CatalogueFile& database);
std::shared_ptr<ZelSQLQueries> SQLQueries(store::CatalogueFile& database);
void UpdateSQLQueries(store::CatalogueFile& database);
// Translations also delete, when written, the keys removed from the loaded dictionary; a
// dictionary set by the caller never held the stored rows, so it removes none of them and takes
// over those of its own keys.
std::shared_ptr<Dictionary> Translations(store::CatalogueFile& database);
void SetTranslations(store::CatalogueFile& database, std::shared_ptr<Dictionary> list);
void UpdateTranslations(store::CatalogueFile& database);

}  // namespace model

}  // namespace zel
