// Longer than most files on purpose: the reference lists (currencies, users, retailers, stored
// queries) and the translations are one shape repeated, and keeping them together lets the row
// rules at the top serve every one of them.
#include "model/reference_lists.h"

#include <unordered_map>

#include "frame/member_table.h"
#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"

namespace zel {

using store::Quoted;
using store::Texts;
namespace {

// Reads a reference record and its stored row from a loaded image.
template <class Record>
void ReadReference(Record& record, store::CatalogueFile& database, store::RowImage image) {
  Record::Shape().Read(record, image, database.SchemaNumber());
  record.row() = std::move(image);
  record.catalogue().Bind(database);
}

// Saves a reference record into `database`: what changed since it was read, or a new row. A key
// change moves the row; other rows that name the old key keep the rename from happening.
template <class Record>
void SaveReference(store::CatalogueFile& database, Record& record, std::string_view key,
                   std::string_view kind, std::string_view named_by) {
  store::WriteScope scope(database.connection());
  if (record.catalogue().Peek() != &database && record.catalogue().Belongs()) {
    // Another catalogue's record is new to this one.
    store::UndoOnRollback(database, record.row(), nullptr);
    record.row() = {};
  }
  try {
    store::SaveKeyedRow(database, Record::Shape(), record, key, record.row(), kind);
  } catch (const Error& error) {
    if (error.number() != store::engine_errc::kRelatedRecordRequired) throw;
    Raise(store::engine_errc::kRelatedRecordsExist,
          std::string(kind) + " '" + store::StoredKey(record.row(), Record::Shape().table()) +
              "' cannot take another key: " + std::string(named_by) + " still name it");
  }
  store::UndoOnRollback(database, record.catalogue(), nullptr);
  record.catalogue().Bind(database);
  scope.Commit();
}

// Deletes the stored row of a reference record, provided it still holds what was read. A row
// that other rows still name stays, and the removal fails (3200).
template <class Record>
void DeleteReference(store::CatalogueFile& database, Record& record, const std::string& what,
                     std::string_view named_by) {
  if (!record.row().Stored() || record.catalogue().Peek() != &database) return;
  store::WriteScope scope(database.connection());
  try {
    store::RowWriter(database, Record::Shape().table()).Delete(record.row(), what);
  } catch (const Error& error) {
    if (error.number() != store::engine_errc::kRelatedRecordRequired) throw;
    Raise(store::engine_errc::kRelatedRecordsExist,
          what + " cannot be removed: " + std::string(named_by) + " still name it");
  }
  store::UndoOnRollback(database, record.row(), nullptr);
  record.row() = {};
  scope.Commit();
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
  SaveReference(database, *this, id_, "Currency", "suggested prices or purchases");
}

void ZelCurrency::ReadRow(store::CatalogueFile& database, store::RowImage image) {
  ReadReference(*this, database, std::move(image));
}

const store::RecordShape<ZelCurrency>& ZelCurrency::Shape() {
  using C = ZelCurrency;
  static const store::RecordShape<C> shape(
      store::Table::kCurrencies,
      {store::FieldOf("CurrencyID", &C::id_), store::FieldOf("CurrencyName", &C::name_),
       store::FieldOf("CurrencySymbol", &C::symbol_)});
  return shape;
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
  SaveReference(database, *this, name_, "User", "loans or events");
}

void ZelUser::ReadRow(store::CatalogueFile& database, store::RowImage image) {
  ReadReference(*this, database, std::move(image));
}

const store::RecordShape<ZelUser>& ZelUser::Shape() {
  using U = ZelUser;
  // A user without the flag is active: without that, a later save would mark every user read
  // from such a file as active.
  static const store::RecordShape<U> shape(
      store::Table::kUsers, {store::FieldOf("Name", &U::name_), store::FieldOf("Phone", &U::phone_),
                             store::FieldOf("Email", &U::email_),
                             store::FieldOf("IsActive", &U::is_active_, Variant(true))});
  return shape;
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
  SaveReference(database, *this, name_, "Retailer", "purchases");
}

void ZelRetailer::ReadRow(store::CatalogueFile& database, store::RowImage image) {
  ReadReference(*this, database, std::move(image));
}

const store::RecordShape<ZelRetailer>& ZelRetailer::Shape() {
  using R = ZelRetailer;
  static const store::RecordShape<R> shape(
      store::Table::kRetailers,
      {store::FieldOf("Name", &R::name_), store::FieldOf("PlaceType", &R::place_type_),
       store::FieldOf("Website", &R::website_)});
  return shape;
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
  SaveReference(database, *this, name_, "Query", "");
}

void ZelSQLQuery::ReadRow(store::CatalogueFile& database, store::RowImage image) {
  ReadReference(*this, database, std::move(image));
}

const store::RecordShape<ZelSQLQuery>& ZelSQLQuery::Shape() {
  static const store::RecordShape<ZelSQLQuery> shape(
      store::Table::kSQLQueries, {store::FieldOf("Name", &ZelSQLQuery::name_),
                                  store::FieldOf("SQLStatement", &ZelSQLQuery::statement_)});
  return shape;
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

// Writes what changed in the members of a reference list into `database`, as one write. Members
// another catalogue's list took over are saved there.
template <class List>
void StoreMembers(List& list, store::CatalogueFile& database, std::string_view what) {
  list.RequireDistinctKeys(what);
  store::WriteScope scope(database.connection());
  for (const auto& member : list.All()) {
    if (member->catalogue().Belongs() && member->catalogue().Peek() != &database) continue;
    member->SaveTo(database);
  }
  list.RekeyChanged();
  scope.Commit();
}

// The records of every row of `table` in `order`, each with its row, added to a new list bound to
// `database`.
template <class List, class Record>
std::shared_ptr<List> LoadList(store::CatalogueFile& database, std::string_view order) {
  auto list = std::make_shared<List>();
  list->catalogue().Bind(database);
  for (auto& record :
       store::LoadRecords<Record>(database, Record::Shape().table(), "", {}, order)) {
    list->AddLoaded(record);
  }
  return list;
}

// Adds the stored row of `key` to `list` when the list lacks it.
template <class List, class Record>
void SyncMember(List& list, store::CatalogueFile& database, std::string_view key) {
  if (list.Exists(key)) return;
  const store::TableLayout& layout = Record::Shape().layout();
  auto found = store::LoadRecords<Record>(database, Record::Shape().table(),
                                          "t." + Quoted(layout.key.front()) + " = ?", Texts({key}));
  if (!found.empty()) list.AddLoaded(found.front());
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
  auto& currency = static_cast<ZelCurrency&>(item);
  DeleteReference(catalogue_.Get(), currency, "Currency '" + currency.CurrencyID() + "'",
                  "suggested prices or purchases");
}

std::shared_ptr<ZelCurrencies> ZelCurrencies::Load(store::CatalogueFile& database) {
  return LoadList<ZelCurrencies, ZelCurrency>(database, "t.\"CurrencyID\"");
}

void ZelCurrencies::Store(store::CatalogueFile& database) {
  StoreMembers(*this, database, "Currency");
}

void ZelCurrencies::SyncStored(store::CatalogueFile& database, std::string_view key) {
  SyncMember<ZelCurrencies, ZelCurrency>(*this, database, key);
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
  auto& user = static_cast<ZelUser&>(item);
  DeleteReference(catalogue_.Get(), user, "User '" + user.Name() + "'", "loans or events");
}

std::shared_ptr<ZelUsers> ZelUsers::Load(store::CatalogueFile& database) {
  return LoadList<ZelUsers, ZelUser>(database, "t.\"UserID\"");
}

void ZelUsers::Store(store::CatalogueFile& database) { StoreMembers(*this, database, "User"); }

void ZelUsers::SyncStored(store::CatalogueFile& database, std::string_view key) {
  SyncMember<ZelUsers, ZelUser>(*this, database, key);
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
  auto& retailer = static_cast<ZelRetailer&>(item);
  DeleteReference(catalogue_.Get(), retailer, "Retailer '" + retailer.Name() + "'", "purchases");
}

std::shared_ptr<ZelRetailers> ZelRetailers::Load(store::CatalogueFile& database) {
  return LoadList<ZelRetailers, ZelRetailer>(database, "t.\"Name\"");
}

void ZelRetailers::Store(store::CatalogueFile& database) {
  StoreMembers(*this, database, "Retailer");
}

void ZelRetailers::SyncStored(store::CatalogueFile& database, std::string_view key) {
  SyncMember<ZelRetailers, ZelRetailer>(*this, database, key);
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
  auto& query = static_cast<ZelSQLQuery&>(item);
  DeleteReference(catalogue_.Get(), query, "Query '" + query.Name() + "'", "");
}

std::shared_ptr<ZelSQLQueries> ZelSQLQueries::Load(store::CatalogueFile& database) {
  return LoadList<ZelSQLQueries, ZelSQLQuery>(database, "t.\"Name\"");
}

void ZelSQLQueries::Store(store::CatalogueFile& database) {
  StoreMembers(*this, database, "Query");
}

void ZelSQLQueries::SyncStored(store::CatalogueFile& database, std::string_view key) {
  SyncMember<ZelSQLQueries, ZelSQLQuery>(*this, database, key);
}

// --- translations ----------------------------------------------------------------------------

namespace {

constexpr size_t kOriginal = 0;  // Translation.OriginalString
constexpr size_t kUserText = 1;  // Translation.UserString

}  // namespace

std::shared_ptr<Dictionary> LoadTranslations(store::CatalogueFile& database,
                                             std::vector<store::RowImage>& rows) {
  auto translations = std::make_shared<Dictionary>(Dictionary::kTextCompare);
  const store::TableLayout& layout = store::Describe(store::Table::kTranslation);
  for (store::LoadedRow& row :
       store::LoadRows(database, store::Table::kTranslation, "", {}, "t.\"OriginalString\"")) {
    translations->Add(
        store::ReadColumn(layout.columns[kOriginal], row.image.values[kOriginal]).ToText(),
        store::ReadColumn(layout.columns[kUserText], row.image.values[kUserText]));
    rows.push_back(std::move(row.image));
  }
  return translations;
}

void StoreTranslations(store::CatalogueFile& database, const Dictionary& translations,
                       std::vector<store::RowImage>& rows) {
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
  const store::TableLayout& layout = store::Describe(store::Table::kTranslation);
  const int16_t schema = database.SchemaNumber();
  store::RowWriter writer(database, store::Table::kTranslation);
  store::WriteScope scope(database.connection());
  std::vector<store::RowImage> next;
  std::unordered_map<std::string, bool> stored;
  for (const store::RowImage& row : rows) {
    const std::string original = row.values[kOriginal].text;
    const std::string what = "The translation of '" + original + "'";
    if (!translations.Exists(original)) {
      writer.Delete(row, what);
      continue;
    }
    stored[FoldKey(original)] = true;
    const store::StoredValue user_text = store::WriteColumn(
        layout.columns[kUserText], Variant(translations.Item(original).ToTextOrEmpty()), schema);
    store::ColumnValues changes;
    // The key as the dictionary spells it now, and the text.
    for (const auto& [key, value] : translations.entries()) {
      if (EqualsFolded(key, original) && key != original) {
        changes.emplace_back(kOriginal, store::StoredValue::Text(key));
      }
    }
    if (!(user_text == row.values[kUserText])) changes.emplace_back(kUserText, user_text);
    writer.Update(row, changes, what);
    next.push_back(store::RowWriter::Applied(row, changes));
  }
  for (const auto& [original, user_text] : translations.entries()) {
    if (stored.count(FoldKey(original))) continue;
    next.push_back(
        writer.Insert({{kOriginal, store::StoredValue::Text(original)},
                       {kUserText, store::WriteColumn(layout.columns[kUserText],
                                                      Variant(user_text.ToTextOrEmpty()), schema)}},
                      "The translation of '" + original + "'"));
  }
  store::UndoOnRollback(database, rows, nullptr);
  rows = std::move(next);
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
    std::vector<store::RowImage> rows;
    auto translations = LoadTranslations(file, rows);
    file.StoredTranslations() = std::move(rows);
    return translations;
  });
}

void SetTranslations(store::CatalogueFile& database, std::shared_ptr<Dictionary> list) {
  database.Loaded(List::kTranslations) = std::move(list);
  database.StoredTranslations().reset();
}

void UpdateTranslations(store::CatalogueFile& database) {
  const auto translations = database.LoadedAs<Dictionary>(List::kTranslations);
  if (!translations) return;
  auto& stored = database.StoredTranslations();
  if (!stored) {
    // A dictionary the caller set takes over the stored rows of its own keys, and no others.
    std::vector<store::RowImage> rows;
    LoadTranslations(database, rows);
    std::erase_if(rows, [&](const store::RowImage& row) {
      return !translations->Exists(row.values[kOriginal].text);
    });
    stored = std::move(rows);
  }
  StoreTranslations(database, *translations, *stored);
}

}  // namespace model

}  // namespace zel
