// The reference lists kept beside the catalogue: currencies, users (borrowers), retailers, stored
// SQL queries and translations.
//
// Each list is loaded by ZelDatabase on first read and cached there. Unlike the profile lists these
// collections write at once: adding a member stores it (its Update* operation), removing one
// deletes its row. A record's Update* inserts its row or edits the stored row of the same key.
// Exists compares the key exactly (case counts) while the collection key ignores case, so a key
// that differs only in case is "not there" to Exists yet still refused on add.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "frame/dictionary.h"
#include "model/keyed_collection.h"

namespace zel {

class ZelDatabase;

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
  // Stores the currency in the active catalogue: edits the row of its identifier or adds one.
  void UpdateCurrency();

  // Library-internal.
  void SetCurrencyID(std::string id) { id_ = std::move(id); }

 private:
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
  // Stores the user in the active catalogue (row of UserID = Name); IsActive from schema 88 on.
  void UpdateUser();

 private:
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

 private:
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
  // Stores the statement under its name, replacing a stored statement of that name.
  void UpdateSQLQuery();

 private:
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

  // Every stored currency, by identifier. A Null column fails the load.
  static std::shared_ptr<ZelCurrencies> Load(ZelDatabase& database);
  // Replaces the Currencies table by this list, as one write.
  void Store(ZelDatabase& database) const;

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
  static std::shared_ptr<ZelUsers> Load(ZelDatabase& database);
  void Store(ZelDatabase& database) const;

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

  static std::shared_ptr<ZelRetailers> Load(ZelDatabase& database);
  void Store(ZelDatabase& database) const;

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

  static std::shared_ptr<ZelSQLQueries> Load(ZelDatabase& database);
  void Store(ZelDatabase& database) const;

 protected:
  std::string KeyOf(const Object& item) const override;
  void Save(Object& item) override;
  void Delete(Object& item) override;
};

// Translations: original text (exact, case-sensitive key) to the user's text, by original text.
std::shared_ptr<Dictionary> LoadTranslations(ZelDatabase& database);
// Replaces the Translation table by the dictionary's pairs, in its order, as one write.
void StoreTranslations(ZelDatabase& database, const Dictionary& translations);

}  // namespace zel
