#include "store/reference_lists.h"

#include "frame/library_state.h"
#include "frame/member_table.h"
#include "store/database.h"
#include "store/text_helpers.h"

namespace zel {
namespace {

// Edits the one row that `select` finds, or adds one when it finds none; `fill` assigns the columns
// (`adding` tells it to set the key column as well). The row is stored at the end.
template <class Fill>
void UpsertRow(ZelDatabase& database, const std::string& select, Fill fill) {
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

// Runs `write_each` for every member after emptying `table`, as one write.
template <class List, class WriteEach>
void ReplaceTable(ZelDatabase& database, std::string_view table, const List& list,
                  WriteEach write_each) {
  store::WriteScope scope(database.connection());
  database.DbExecute("DELETE FROM " + std::string(table));
  for (const auto& member : list.All()) write_each(*member);
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

void ZelCurrency::UpdateCurrency() {
  UpsertRow(RequireActiveDatabase(),
            "SELECT * FROM Currencies WHERE CurrencyID = '" + QuoteSql(id_) + "'",
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

void ZelUser::UpdateUser() {
  UpsertRow(RequireActiveDatabase(), "SELECT * FROM Users WHERE UserID = '" + QuoteSql(name_) + "'",
            [&](store::RecordSet& row, bool adding) {
              if (adding) row.SetValue("UserID", Variant(name_));
              row.SetValue("PhoneNumber", Variant(phone_));
              row.SetValue("EmailAddress", Variant(email_));
              if (State().active_db_schema >= 88) row.SetValue("IsActive", Variant(is_active_));
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

void ZelRetailer::UpdateRetailer() {
  UpsertRow(RequireActiveDatabase(),
            "SELECT * FROM Retailers WHERE Name = '" + QuoteSql(name_) + "'",
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

void ZelSQLQuery::UpdateSQLQuery() {
  // A plain insert would be skipped for a name already stored, leaving the old statement in the
  // file while the object holds the new one; the stored row is replaced instead.
  ZelDatabase& database = RequireActiveDatabase();
  store::WriteScope scope(database.connection());
  database.DbExecute("DELETE FROM SQLQueries WHERE Name = '" + QuoteSql(name_) + "'");
  database.DbExecute("INSERT INTO SQLQueries (Name, SQLStatement) VALUES ('" + QuoteSql(name_) +
                     "', '" + QuoteSql(statement_) + "')");
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
      [&](const ZelCurrency& currency) { return currency.CurrencyID() == id; });
}

std::string ZelCurrencies::KeyOf(const Object& item) const {
  return static_cast<const ZelCurrency&>(item).CurrencyID();
}

void ZelCurrencies::Save(Object& item) { static_cast<ZelCurrency&>(item).UpdateCurrency(); }

void ZelCurrencies::Delete(Object& item) {
  RequireActiveDatabase().DbExecute("DELETE FROM Currencies WHERE CurrencyID = '" +
                                    QuoteSql(static_cast<ZelCurrency&>(item).CurrencyID()) + "'");
}

std::shared_ptr<ZelCurrencies> ZelCurrencies::Load(ZelDatabase& database) {
  auto list = std::make_shared<ZelCurrencies>();
  auto records = database.DbOpenRecordSet("SELECT * FROM Currencies ORDER BY CurrencyID");
  for (; !records->Eof(); records->MoveNext()) {
    auto currency = std::make_shared<ZelCurrency>();
    currency->SetCurrencyID(records->ValueAt(0).ToText());
    currency->SetCurrencyName(records->ValueAt(1).ToText());
    currency->SetCurrencySymbol(records->ValueAt(2).ToText());
    list->AddLoaded(currency);
  }
  return list;
}

void ZelCurrencies::Store(ZelDatabase& database) const {
  ReplaceTable(database, "Currencies", *this,
               [](ZelCurrency& currency) { currency.UpdateCurrency(); });
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
  return AnyOf<ZelUser>([&](const ZelUser& user) { return user.Name() == name; });
}

std::string ZelUsers::KeyOf(const Object& item) const {
  return static_cast<const ZelUser&>(item).Name();
}

void ZelUsers::Save(Object& item) { static_cast<ZelUser&>(item).UpdateUser(); }

void ZelUsers::Delete(Object& item) {
  RequireActiveDatabase().DbExecute("DELETE FROM Users WHERE UserID = '" +
                                    QuoteSql(static_cast<ZelUser&>(item).Name()) + "'");
}

std::shared_ptr<ZelUsers> ZelUsers::Load(ZelDatabase& database) {
  auto list = std::make_shared<ZelUsers>();
  auto records = database.DbOpenRecordSet("SELECT * FROM Users ORDER BY UserID");
  const bool has_active = State().active_db_schema >= 88;
  for (; !records->Eof(); records->MoveNext()) {
    auto user = std::make_shared<ZelUser>();
    user->SetName(records->Value("UserID").ToTextOrEmpty());
    user->SetPhone(records->Value("PhoneNumber").ToTextOrEmpty());
    user->SetEmail(records->Value("EmailAddress").ToTextOrEmpty());
    if (has_active) {
      // Without this a later UpdateUsers would write every user back as active.
      const Variant active = records->Value("IsActive");
      user->SetIsActive(active.IsNull() || active.ToBool());
    }
    list->AddLoaded(user);
  }
  return list;
}

void ZelUsers::Store(ZelDatabase& database) const {
  ReplaceTable(database, "Users", *this, [](ZelUser& user) { user.UpdateUser(); });
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
  return AnyOf<ZelRetailer>([&](const ZelRetailer& retailer) { return retailer.Name() == name; });
}

std::string ZelRetailers::KeyOf(const Object& item) const {
  return static_cast<const ZelRetailer&>(item).Name();
}

void ZelRetailers::Save(Object& item) { static_cast<ZelRetailer&>(item).UpdateRetailer(); }

void ZelRetailers::Delete(Object& item) {
  RequireActiveDatabase().DbExecute("DELETE FROM Retailers WHERE Name = '" +
                                    QuoteSql(static_cast<ZelRetailer&>(item).Name()) + "'");
}

std::shared_ptr<ZelRetailers> ZelRetailers::Load(ZelDatabase& database) {
  auto list = std::make_shared<ZelRetailers>();
  auto records = database.DbOpenRecordSet("SELECT * FROM Retailers ORDER BY Name");
  for (; !records->Eof(); records->MoveNext()) {
    auto retailer = std::make_shared<ZelRetailer>();
    retailer->SetName(records->ValueAt(0).ToTextOrEmpty());
    retailer->SetPlaceType(records->ValueAt(1).ToTextOrEmpty());
    retailer->SetWebsite(records->ValueAt(2).ToTextOrEmpty());
    list->AddLoaded(retailer);
  }
  return list;
}

void ZelRetailers::Store(ZelDatabase& database) const {
  ReplaceTable(database, "Retailers", *this,
               [](ZelRetailer& retailer) { retailer.UpdateRetailer(); });
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
  return AnyOf<ZelSQLQuery>([&](const ZelSQLQuery& query) { return query.Name() == sql_name; });
}

std::string ZelSQLQueries::KeyOf(const Object& item) const {
  return static_cast<const ZelSQLQuery&>(item).Name();
}

void ZelSQLQueries::Save(Object& item) { static_cast<ZelSQLQuery&>(item).UpdateSQLQuery(); }

void ZelSQLQueries::Delete(Object& item) {
  RequireActiveDatabase().DbExecute("DELETE FROM SQLQueries WHERE Name = '" +
                                    QuoteSql(static_cast<ZelSQLQuery&>(item).Name()) + "'");
}

std::shared_ptr<ZelSQLQueries> ZelSQLQueries::Load(ZelDatabase& database) {
  auto list = std::make_shared<ZelSQLQueries>();
  auto records = database.DbOpenRecordSet("SELECT * FROM SQLQueries ORDER BY Name");
  for (; !records->Eof(); records->MoveNext()) {
    auto query = std::make_shared<ZelSQLQuery>();
    query->SetName(records->ValueAt(0).ToText());
    query->SetSQLStatement(records->ValueAt(1).ToText());
    list->AddLoaded(query);
  }
  return list;
}

void ZelSQLQueries::Store(ZelDatabase& database) const {
  ReplaceTable(database, "SQLQueries", *this, [](ZelSQLQuery& query) { query.UpdateSQLQuery(); });
}

// --- translations ----------------------------------------------------------------------------

std::shared_ptr<Dictionary> LoadTranslations(ZelDatabase& database) {
  auto translations = std::make_shared<Dictionary>();
  auto records = database.DbOpenRecordSet("SELECT * FROM Translation ORDER BY OriginalString");
  for (; !records->Eof(); records->MoveNext()) {
    translations->Add(records->ValueAt(0).ToText(), records->ValueAt(1));
  }
  return translations;
}

void StoreTranslations(ZelDatabase& database, const Dictionary& translations) {
  store::WriteScope scope(database.connection());
  database.DbExecute("DELETE FROM Translation");
  for (const auto& [original, user_text] : translations.entries()) {
    database.DbExecute("INSERT INTO Translation (OriginalString, UserString) VALUES ('" +
                       QuoteSql(original) + "', '" + QuoteSql(user_text.ToText()) + "')");
  }
  scope.Commit();
}

}  // namespace zel
