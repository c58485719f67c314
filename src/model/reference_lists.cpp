// Longer than most files on purpose: the reference lists (currencies, users, retailers, stored
// queries) and the translations are one shape repeated, and keeping them together lets the row
// rules at the top serve every one of them.
#include "model/reference_lists.h"

#include <unordered_map>

#include "frame/member_table.h"
#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"
#include "store/text_helpers.h"

namespace zel {
namespace {

// Edits the one row that `select` finds, or adds one when it finds none; `fill` assigns the columns
// (`adding` tells it to set the key column as well). The row is stored at the end.
template <class Fill>
void UpsertRow(store::CatalogueFile& database, const std::string& select, Fill fill) {
  auto records = database.DbOpenRecordSet(select);
  const bool adding = records->RecordCount() == 0;
  if (adding) {
    records->AddNew();
  } else {
    records->Edit();
  }
  fill(*records, adding);
  records->Update();
}

// Deletes the row of `key`. A row that other rows still name is kept by the engine; the removal
// then fails (3200) rather than dropping a member whose row stays.
void DeleteKeyedRow(store::CatalogueFile& database, std::string_view table, std::string_view column,
                    std::string_view key, std::string_view what, std::string_view named_by) {
  const std::string where = " WHERE " + std::string(column) + " = '" + QuoteSql(key) + "'";
  if (database.connection().Execute("DELETE FROM " + std::string(table) + where) > 0) return;
  auto left = database.DbOpenRecordSet("SELECT " + std::string(column) + " FROM " +
                                       std::string(table) + where);
  if (left->RecordCount() == 0) return;
  Raise(store::engine_errc::kRelatedRecordsExist,
        std::string(what) + " '" + std::string(key) +
            "' cannot be removed: " + std::string(named_by) + " still name it");
}

// The first row of `sql`, or nullptr when there is none.
std::shared_ptr<store::RecordSet> FirstRow(store::CatalogueFile& database, const std::string& sql) {
  auto records = database.DbOpenRecordSet(sql);
  if (records->RecordCount() == 0) return nullptr;
  return records;
}

}  // namespace

// --- records ---------------------------------------------------------------------------------

const ClassInfo& ZelCurrency::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelCurrency>("ZelCurrency")
          .Creatable()
          .WithReflection(Reflection::kPlain)
          .Get("CurrencyID", &ZelCurrency::CurrencyID)
          .Property("CurrencyName", &ZelCurrency::CurrencyName, &ZelCurrency::SetCurrencyName)
          .Property("CurrencySymbol", &ZelCurrency::CurrencySymbol, &ZelCurrency::SetCurrencySymbol)
          .Method("UpdateCurrency", &ZelCurrency::UpdateCurrency)
          .Build();
  return info;
}

void ZelCurrency::UpdateCurrency() { SaveTo(catalogue_.Get()); }

void ZelCurrency::SaveTo(store::CatalogueFile& database) {
  UpsertRow(database, "SELECT * FROM Currencies WHERE CurrencyID = '" + QuoteSql(id_) + "'",
            [&](store::RecordSet& row, bool adding) {
              if (adding) row.SetValue("CurrencyID", Variant(id_));
              row.SetValue("CurrencyName", Variant(name_));
              row.SetValue("CurrencySymbol", Variant(symbol_));
            });
}

const ClassInfo& ZelUser::Info() {
  static const ClassInfo info = ClassBuilder<ZelUser>("ZelUser")
                                    .Creatable()
                                    .WithReflection(Reflection::kPlain)
                                    .Property("Name", &ZelUser::Name, &ZelUser::SetName)
                                    .Property("Phone", &ZelUser::Phone, &ZelUser::SetPhone)
                                    .Property("Email", &ZelUser::Email, &ZelUser::SetEmail)
                                    .Property("IsActive", &ZelUser::IsActive, &ZelUser::SetIsActive)
                                    .Method("UpdateUser", &ZelUser::UpdateUser)
                                    .Build();
  return info;
}

void ZelUser::UpdateUser() { SaveTo(catalogue_.Get()); }

void ZelUser::SaveTo(store::CatalogueFile& database) {
  const bool has_active = database.SchemaNumber() >= 88;
  UpsertRow(database, "SELECT * FROM Users WHERE UserID = '" + QuoteSql(name_) + "'",
            [&](store::RecordSet& row, bool adding) {
              if (adding) row.SetValue("UserID", Variant(name_));
              row.SetValue("PhoneNumber", Variant(phone_));
              row.SetValue("EmailAddress", Variant(email_));
              if (has_active) row.SetValue("IsActive", Variant(is_active_));
            });
}

const ClassInfo& ZelRetailer::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelRetailer>("ZelRetailer")
          .Creatable()
          .WithReflection(Reflection::kPlain)
          .Property("Name", &ZelRetailer::Name, &ZelRetailer::SetName)
          .Property("PlaceType", &ZelRetailer::PlaceType, &ZelRetailer::SetPlaceType)
          .Property("Website", &ZelRetailer::Website, &ZelRetailer::SetWebsite)
          .Method("UpdateRetailer", &ZelRetailer::UpdateRetailer)
          .Build();
  return info;
}

void ZelRetailer::UpdateRetailer() { SaveTo(catalogue_.Get()); }

void ZelRetailer::SaveTo(store::CatalogueFile& database) {
  UpsertRow(database, "SELECT * FROM Retailers WHERE Name = '" + QuoteSql(name_) + "'",
            [&](store::RecordSet& row, bool adding) {
              if (adding) row.SetValue("Name", Variant(name_));
              row.SetValue("Type", Variant(place_type_));
              row.SetValue("Website", Variant(website_));
            });
}

const ClassInfo& ZelSQLQuery::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelSQLQuery>("ZelSQLQuery")
          .Creatable()
          .WithReflection(Reflection::kPlain)
          .Property("Name", &ZelSQLQuery::Name, &ZelSQLQuery::SetName)
          .Property("SQLStatement", &ZelSQLQuery::SQLStatement, &ZelSQLQuery::SetSQLStatement)
          .Method("UpdateSQLQuery", &ZelSQLQuery::UpdateSQLQuery)
          .Build();
  return info;
}

void ZelSQLQuery::UpdateSQLQuery() { SaveTo(catalogue_.Get()); }

void ZelSQLQuery::SaveTo(store::CatalogueFile& database) {
  // A plain insert would be skipped for a name already stored, leaving the old statement in the
  // file while the object holds the new one; the stored row is replaced instead.
  store::WriteScope scope(database.connection());
  database.DbExecute("DELETE FROM SQLQueries WHERE Name = '" + QuoteSql(name_) + "'");
  InsertSavedRow(database,
                 "INSERT INTO SQLQueries (Name, SQLStatement) VALUES ('" + QuoteSql(name_) +
                     "', '" + QuoteSql(statement_) + "')",
                 "Query '" + name_ + "' could not be stored");
  scope.Commit();
}

// --- collections -----------------------------------------------------------------------------

namespace {

// The member table every reference list shares: the family's common members, then the add pair and
// Exists under the list's own names.
template <class List, class AddExisting, class AddNew>
ClassInfo ReferenceListInfo(std::string name, std::string add_existing_name,
                            AddExisting add_existing, std::string item_param, AddNew add_new,
                            std::vector<Parameter> add_params, std::string exists_param) {
  return ClassBuilder<List>(std::move(name))
      .Creatable()
      .Get("Count", &List::Count)
      .Method("Item", &List::Item, {Param("vntIndexKey")})
      .Default()
      .Method("Remove", &List::Remove, {Param("vntIndexKey")})
      .Method("RemoveAll", &List::RemoveAll)
      .Get("NewEnum", &List::NewEnum)
      .Enumerator()
      .Method(std::move(add_existing_name), add_existing, {Param(std::move(item_param))})
      .Method("Add", add_new, std::move(add_params))
      .Method("Exists", &List::Exists, {Param(std::move(exists_param))})
      .Build();
}

// Saves a member added to a list into the list's catalogue, which the member joins.
template <class Member>
void SaveIntoList(CatalogueLink& list, Member& member) {
  store::CatalogueFile& database = list.Get();
  member.catalogue().Join(database);
  member.SaveTo(database);
}

// Writes the members of a reference list into `database`, as one write. `table` and `column` name
// the key column, where a renamed member's old row is given up first (the engine keeps it while
// other rows name it).
template <class List>
void StoreMembers(List& list, store::CatalogueFile& database, std::string_view table,
                  std::string_view column) {
  store::WriteScope scope(database.connection());
  const auto members = list.All();
  for (size_t i = 0; i < members.size(); ++i) {
    if (!list.KeptItsKey(i)) {
      database.DbExecute("DELETE FROM " + std::string(table) + " WHERE " + std::string(column) +
                         " = '" + QuoteSql(list.AddedKeyAt(i)) + "'");
    }
    members[i]->catalogue().Join(database);
    members[i]->SaveTo(database);
  }
  scope.Commit();
}

// Reads every row of `sql` into a new list bound to `database`.
template <class List, class FromRow>
std::shared_ptr<List> LoadList(store::CatalogueFile& database, const std::string& sql,
                               FromRow from_row) {
  auto list = std::make_shared<List>();
  list->catalogue().Bind(database);
  auto records = database.DbOpenRecordSet(sql);
  for (; !records->Eof(); records->MoveNext()) {
    auto member = from_row(*records);
    member->catalogue().Bind(database);
    list->AddLoaded(member);
  }
  return list;
}

}  // namespace

const ClassInfo& ZelCurrencies::Info() {
  static const ClassInfo info = ReferenceListInfo<ZelCurrencies>(
      "ZelCurrencies", "AddCurrency", &ZelCurrencies::AddCurrency, "cCurrency", &ZelCurrencies::Add,
      {Param("CurrencyID"), Param("CurrencyName"), Param("CurrencySymbol")}, "CurrencyID");
  return info;
}

std::shared_ptr<ZelCurrency> ZelCurrencies::AddCurrency(std::shared_ptr<ZelCurrency> currency) {
  AddExisting(currency);
  return currency;
}

std::shared_ptr<ZelCurrency> ZelCurrencies::Add(std::string id, std::string name,
                                                std::string symbol) {
  auto currency = std::make_shared<ZelCurrency>();
  currency->SetCurrencyID(std::move(id));
  currency->SetCurrencyName(std::move(name));
  currency->SetCurrencySymbol(std::move(symbol));
  return AddCurrency(currency);
}

bool ZelCurrencies::Exists(std::string_view id) const {
  return AnyOf<ZelCurrency>(
      [&](const ZelCurrency& currency) { return EqualsFolded(currency.CurrencyID(), id); });
}

std::string ZelCurrencies::KeyOf(const Object& item) const {
  return static_cast<const ZelCurrency&>(item).CurrencyID();
}

void ZelCurrencies::Save(Object& item) {
  SaveIntoList(catalogue_, static_cast<ZelCurrency&>(item));
}

void ZelCurrencies::Delete(Object& item) {
  DeleteKeyedRow(catalogue_.Get(), "Currencies", "CurrencyID",
                 static_cast<ZelCurrency&>(item).CurrencyID(), "Currency",
                 "suggested prices or purchases");
}

namespace {

std::shared_ptr<ZelCurrency> CurrencyFromRow(store::RecordSet& records) {
  auto currency = std::make_shared<ZelCurrency>();
  currency->SetCurrencyID(records.ValueAt(0).ToTextOrEmpty());
  currency->SetCurrencyName(records.ValueAt(1).ToTextOrEmpty());
  currency->SetCurrencySymbol(records.ValueAt(2).ToTextOrEmpty());
  return currency;
}

}  // namespace

std::shared_ptr<ZelCurrencies> ZelCurrencies::Load(store::CatalogueFile& database) {
  return LoadList<ZelCurrencies>(database, "SELECT * FROM Currencies ORDER BY CurrencyID",
                                 CurrencyFromRow);
}

void ZelCurrencies::Store(store::CatalogueFile& database) {
  StoreMembers(*this, database, "Currencies", "CurrencyID");
}

void ZelCurrencies::SyncStored(store::CatalogueFile& database, std::string_view key) {
  if (Exists(key)) return;
  auto row =
      FirstRow(database, "SELECT * FROM Currencies WHERE CurrencyID = '" + QuoteSql(key) + "'");
  if (!row) return;
  auto currency = CurrencyFromRow(*row);
  currency->catalogue().Bind(database);
  AddLoaded(currency);
}

const ClassInfo& ZelUsers::Info() {
  static const ClassInfo info = ReferenceListInfo<ZelUsers>(
      "ZelUsers", "AddUser", &ZelUsers::AddUser, "User", &ZelUsers::Add,
      {Param("Name"), Optional("Phone", ""), Optional("Email", "")}, "Name");
  return info;
}

std::shared_ptr<ZelUser> ZelUsers::AddUser(std::shared_ptr<ZelUser> user) {
  AddExisting(user);
  return user;
}

std::shared_ptr<ZelUser> ZelUsers::Add(std::string name, std::string phone, std::string email) {
  auto user = std::make_shared<ZelUser>();
  user->SetName(std::move(name));
  user->SetPhone(std::move(phone));
  user->SetEmail(std::move(email));
  return AddUser(user);
}

bool ZelUsers::Exists(std::string_view name) const {
  return AnyOf<ZelUser>([&](const ZelUser& user) { return EqualsFolded(user.Name(), name); });
}

std::string ZelUsers::KeyOf(const Object& item) const {
  return static_cast<const ZelUser&>(item).Name();
}

void ZelUsers::Save(Object& item) { SaveIntoList(catalogue_, static_cast<ZelUser&>(item)); }

void ZelUsers::Delete(Object& item) {
  DeleteKeyedRow(catalogue_.Get(), "Users", "UserID", static_cast<ZelUser&>(item).Name(), "User",
                 "loans or events");
}

namespace {

std::shared_ptr<ZelUser> UserFromRow(store::RecordSet& records, bool has_active) {
  auto user = std::make_shared<ZelUser>();
  user->SetName(records.Value("UserID").ToTextOrEmpty());
  user->SetPhone(records.Value("PhoneNumber").ToTextOrEmpty());
  user->SetEmail(records.Value("EmailAddress").ToTextOrEmpty());
  if (has_active) {
    // Without this a later UpdateUsers would write every user back as active.
    const Variant active = records.Value("IsActive");
    user->SetIsActive(active.IsNull() || active.ToBool());
  }
  return user;
}

}  // namespace

std::shared_ptr<ZelUsers> ZelUsers::Load(store::CatalogueFile& database) {
  const bool has_active = database.SchemaNumber() >= 88;
  return LoadList<ZelUsers>(database, "SELECT * FROM Users ORDER BY UserID",
                            [&](store::RecordSet& row) { return UserFromRow(row, has_active); });
}

void ZelUsers::Store(store::CatalogueFile& database) {
  StoreMembers(*this, database, "Users", "UserID");
}

void ZelUsers::SyncStored(store::CatalogueFile& database, std::string_view key) {
  if (Exists(key)) return;
  auto row = FirstRow(database, "SELECT * FROM Users WHERE UserID = '" + QuoteSql(key) + "'");
  if (!row) return;
  auto user = UserFromRow(*row, database.SchemaNumber() >= 88);
  user->catalogue().Bind(database);
  AddLoaded(user);
}

const ClassInfo& ZelRetailers::Info() {
  static const ClassInfo info = ReferenceListInfo<ZelRetailers>(
      "ZelRetailers", "AddRetailer", &ZelRetailers::AddRetailer, "Retailer", &ZelRetailers::Add,
      {Param("Name"), Optional("rType", ""), Optional("Website", "")}, "Name");
  return info;
}

std::shared_ptr<ZelRetailer> ZelRetailers::AddRetailer(std::shared_ptr<ZelRetailer> retailer) {
  AddExisting(retailer);
  return retailer;
}

std::shared_ptr<ZelRetailer> ZelRetailers::Add(std::string name, std::string type,
                                               std::string website) {
  auto retailer = std::make_shared<ZelRetailer>();
  retailer->SetName(std::move(name));
  retailer->SetPlaceType(std::move(type));
  retailer->SetWebsite(std::move(website));
  return AddRetailer(retailer);
}

bool ZelRetailers::Exists(std::string_view name) const {
  return AnyOf<ZelRetailer>(
      [&](const ZelRetailer& retailer) { return EqualsFolded(retailer.Name(), name); });
}

std::string ZelRetailers::KeyOf(const Object& item) const {
  return static_cast<const ZelRetailer&>(item).Name();
}

void ZelRetailers::Save(Object& item) { SaveIntoList(catalogue_, static_cast<ZelRetailer&>(item)); }

void ZelRetailers::Delete(Object& item) {
  DeleteKeyedRow(catalogue_.Get(), "Retailers", "Name", static_cast<ZelRetailer&>(item).Name(),
                 "Retailer", "purchases");
}

namespace {

std::shared_ptr<ZelRetailer> RetailerFromRow(store::RecordSet& records) {
  auto retailer = std::make_shared<ZelRetailer>();
  retailer->SetName(records.ValueAt(0).ToTextOrEmpty());
  retailer->SetPlaceType(records.ValueAt(1).ToTextOrEmpty());
  retailer->SetWebsite(records.ValueAt(2).ToTextOrEmpty());
  return retailer;
}

}  // namespace

std::shared_ptr<ZelRetailers> ZelRetailers::Load(store::CatalogueFile& database) {
  return LoadList<ZelRetailers>(database, "SELECT * FROM Retailers ORDER BY Name", RetailerFromRow);
}

void ZelRetailers::Store(store::CatalogueFile& database) {
  StoreMembers(*this, database, "Retailers", "Name");
}

void ZelRetailers::SyncStored(store::CatalogueFile& database, std::string_view key) {
  if (Exists(key)) return;
  auto row = FirstRow(database, "SELECT * FROM Retailers WHERE Name = '" + QuoteSql(key) + "'");
  if (!row) return;
  auto retailer = RetailerFromRow(*row);
  retailer->catalogue().Bind(database);
  AddLoaded(retailer);
}

const ClassInfo& ZelSQLQueries::Info() {
  static const ClassInfo info = ReferenceListInfo<ZelSQLQueries>(
      "ZelSQLQueries", "AddSQL", &ZelSQLQueries::AddSQL, "SQLQuery", &ZelSQLQueries::Add,
      {Param("Name"), Param("SQLStatement")}, "SQLName");
  return info;
}

std::shared_ptr<ZelSQLQuery> ZelSQLQueries::AddSQL(std::shared_ptr<ZelSQLQuery> query) {
  AddExisting(query);
  return query;
}

std::shared_ptr<ZelSQLQuery> ZelSQLQueries::Add(std::string name, std::string statement) {
  auto query = std::make_shared<ZelSQLQuery>();
  query->SetName(std::move(name));
  query->SetSQLStatement(std::move(statement));
  return AddSQL(query);
}

bool ZelSQLQueries::Exists(std::string_view sql_name) const {
  return AnyOf<ZelSQLQuery>(
      [&](const ZelSQLQuery& query) { return EqualsFolded(query.Name(), sql_name); });
}

std::string ZelSQLQueries::KeyOf(const Object& item) const {
  return static_cast<const ZelSQLQuery&>(item).Name();
}

void ZelSQLQueries::Save(Object& item) {
  SaveIntoList(catalogue_, static_cast<ZelSQLQuery&>(item));
}

void ZelSQLQueries::Delete(Object& item) {
  catalogue_.Get().DbExecute("DELETE FROM SQLQueries WHERE Name = '" +
                             QuoteSql(static_cast<ZelSQLQuery&>(item).Name()) + "'");
}

std::shared_ptr<ZelSQLQueries> ZelSQLQueries::Load(store::CatalogueFile& database) {
  return LoadList<ZelSQLQueries>(database, "SELECT * FROM SQLQueries ORDER BY Name",
                                 [](store::RecordSet& records) {
                                   auto query = std::make_shared<ZelSQLQuery>();
                                   query->SetName(records.ValueAt(0).ToTextOrEmpty());
                                   query->SetSQLStatement(records.ValueAt(1).ToTextOrEmpty());
                                   return query;
                                 });
}

void ZelSQLQueries::Store(store::CatalogueFile& database) {
  StoreMembers(*this, database, "SQLQueries", "Name");
}

void ZelSQLQueries::SyncStored(store::CatalogueFile&, std::string_view) {}

// --- translations ----------------------------------------------------------------------------

std::shared_ptr<Dictionary> LoadTranslations(store::CatalogueFile& database) {
  auto translations = std::make_shared<Dictionary>(Dictionary::kTextCompare);
  auto records = database.DbOpenRecordSet("SELECT * FROM Translation ORDER BY OriginalString");
  for (; !records->Eof(); records->MoveNext()) {
    translations->Add(records->ValueAt(0).ToTextOrEmpty(), records->ValueAt(1));
  }
  return translations;
}

void StoreTranslations(store::CatalogueFile& database, const Dictionary& translations,
                       const std::vector<std::string>& removed_from) {
  // The file's key ignores the case of ASCII letters; two such keys would silently become one row.
  std::unordered_map<std::string, std::string> folded;
  for (const auto& [original, user_text] : translations.entries()) {
    auto [it, fresh] = folded.emplace(FoldKey(original), original);
    if (!fresh) {
      Raise(store::engine_errc::kDuplicateKey,
            "The translations of '" + it->second + "' and '" + original +
                "' cannot both be stored: the catalogue's keys ignore the case of letters");
    }
  }
  store::WriteScope scope(database.connection());
  for (const std::string& original : removed_from) {
    if (!translations.Exists(original)) {
      database.DbExecute("DELETE FROM Translation WHERE OriginalString = '" + QuoteSql(original) +
                         "'");
    }
  }
  for (const auto& [original, user_text] : translations.entries()) {
    const std::string quoted = QuoteSql(original);
    database.DbExecute("DELETE FROM Translation WHERE OriginalString = '" + quoted + "'");
    InsertSavedRow(database,
                   "INSERT INTO Translation (OriginalString, UserString) VALUES ('" + quoted +
                       "', '" + QuoteSql(user_text.ToTextOrEmpty()) + "')",
                   "The translation of '" + original + "' could not be stored");
  }
  scope.Commit();
}

namespace model {

namespace {

// The list of type T in its slot, loaded by T::Load on first read; and its write, when loaded.
template <class T>
std::shared_ptr<T> LoadedList(store::CatalogueFile& database, store::CatalogueFile::List list) {
  return database.LoadList<T>(list, T::Load);
}

template <class T>
void StoreLoadedList(store::CatalogueFile& database, store::CatalogueFile::List list) {
  if (auto loaded = database.LoadedAs<T>(list)) loaded->Store(database);
}

using List = store::CatalogueFile::List;

void RememberStoredKeys(store::CatalogueFile& database, const Dictionary& translations) {
  std::vector<std::string>& keys = database.StoredTranslationKeys();
  keys.clear();
  for (const auto& [original, user_text] : translations.entries()) keys.push_back(original);
}

}  // namespace

std::shared_ptr<ZelCurrencies> Currencies(store::CatalogueFile& database) {
  return LoadedList<ZelCurrencies>(database, List::kCurrencies);
}

void UpdateCurrencies(store::CatalogueFile& database) {
  StoreLoadedList<ZelCurrencies>(database, List::kCurrencies);
}

std::shared_ptr<ZelUsers> Users(store::CatalogueFile& database) {
  return LoadedList<ZelUsers>(database, List::kUsers);
}

void UpdateUsers(store::CatalogueFile& database) {
  StoreLoadedList<ZelUsers>(database, List::kUsers);
}

std::shared_ptr<ZelRetailers> Retailers(store::CatalogueFile& database) {
  return LoadedList<ZelRetailers>(database, List::kRetailers);
}

void UpdateRetailers(store::CatalogueFile& database) {
  StoreLoadedList<ZelRetailers>(database, List::kRetailers);
}

std::shared_ptr<ZelSQLQueries> SQLQueries(store::CatalogueFile& database) {
  return LoadedList<ZelSQLQueries>(database, List::kSQLQueries);
}

void UpdateSQLQueries(store::CatalogueFile& database) {
  StoreLoadedList<ZelSQLQueries>(database, List::kSQLQueries);
}

std::shared_ptr<Dictionary> Translations(store::CatalogueFile& database) {
  return database.LoadList<Dictionary>(List::kTranslations, [](store::CatalogueFile& file) {
    auto translations = LoadTranslations(file);
    RememberStoredKeys(file, *translations);
    return translations;
  });
}

void SetTranslations(store::CatalogueFile& database, std::shared_ptr<Dictionary> list) {
  database.Loaded(List::kTranslations) = std::move(list);
  database.StoredTranslationKeys().clear();
}

void UpdateTranslations(store::CatalogueFile& database) {
  const auto translations = database.LoadedAs<Dictionary>(List::kTranslations);
  if (!translations) return;
  StoreTranslations(database, *translations, database.StoredTranslationKeys());
  RememberStoredKeys(database, *translations);
}

}  // namespace model

}  // namespace zel
