#include "people/aliases.h"

#include "frame/member_table.h"
#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"
#include "store/text_helpers.h"

namespace zel {

const ClassInfo& ZelAlias::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelAlias>("ZelAlias")
          .Creatable()
          .WithReflection(Reflection::kPlain)
          .Property("AliasName", &ZelAlias::AliasName, &ZelAlias::SetAliasName)
          .Property("CommonName", &ZelAlias::CommonName, &ZelAlias::SetCommonName)
          .Property("BirthYear", &ZelAlias::BirthYear, &ZelAlias::SetBirthYear)
          .Property("Comment", &ZelAlias::Comment, &ZelAlias::SetComment)
          .Method("UpdateAlias", &ZelAlias::UpdateAlias)
          .Build();
  return info;
}

void ZelAlias::UpdateAlias() { SaveTo(catalogue_.Get()); }

namespace {

std::string InsertStatement(const ZelAlias& alias) {
  // The year stands quoted like the texts; the engine converts it to the column's number.
  return "INSERT INTO Alias (AliasName, CommonName, Comment, BirthYear) VALUES ('" +
         QuoteSql(alias.AliasName()) + "', '" + QuoteSql(alias.CommonName()) + "', '" +
         QuoteSql(alias.Comment()) + "', '" + std::to_string(alias.BirthYear()) + "')";
}

std::shared_ptr<ZelAlias> AliasFromRow(store::CatalogueFile& database, store::RecordSet& records) {
  auto alias = std::make_shared<ZelAlias>();
  alias->SetAliasName(records.Value("AliasName").ToTextOrEmpty());
  alias->SetCommonName(records.Value("CommonName").ToTextOrEmpty());
  alias->SetComment(records.Value("Comment").ToTextOrEmpty());
  alias->SetBirthYear(Int16Column(records.Value("BirthYear")));
  alias->MarkStored();
  alias->catalogue().Bind(database);
  return alias;
}

}  // namespace

void ZelAlias::SaveTo(store::CatalogueFile& database) {
  if (database.connection().Execute(InsertStatement(*this)) > 0) {
    catalogue_.Join(database);
    if (catalogue_.Peek() == &database) stored_name_ = alias_name_;
    return;
  }
  auto stored = database.DbOpenRecordSet("SELECT * FROM Alias WHERE AliasName = '" +
                                         QuoteSql(alias_name_) + "'");
  if (stored->RecordCount() != 0) {
    const auto row = AliasFromRow(database, *stored);
    if (EqualsFolded(row->AliasName(), alias_name_) && row->CommonName() == common_name_ &&
        row->Comment() == comment_ && row->BirthYear() == birth_year_) {
      return;  // stored already, as it is
    }
  }
  Raise(store::engine_errc::kDuplicateKey,
        "Alias '" + alias_name_ +
            "' could not be stored: the catalogue holds the alias name "
            "already with another common name, comment or birth year; change that row instead");
}

void ZelAlias::ReplaceIn(store::CatalogueFile& database) {
  if (!stored_name_.empty() && catalogue_.Peek() == &database) {
    database.DbExecute("DELETE FROM Alias WHERE AliasName = '" + QuoteSql(stored_name_) + "'");
  }
  database.DbExecute("DELETE FROM Alias WHERE AliasName = '" + QuoteSql(alias_name_) + "'");
  InsertSavedRow(database, InsertStatement(*this),
                 "Alias '" + alias_name_ +
                     "' could not be stored: another member of the list "
                     "has that alias name (the case of letters aside)");
  catalogue_.Join(database);
  if (catalogue_.Peek() == &database) stored_name_ = alias_name_;
}

std::string AliasKey(const ZelAlias& alias) {
  if (alias.BirthYear() == 0) return alias.AliasName();
  return alias.AliasName() + std::to_string(alias.BirthYear());
}

const ClassInfo& ZelAliases::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelAliases>("ZelAliases")
          .Creatable()
          .Get("Count", &ZelAliases::Count)
          .Method("Item", &ZelAliases::Item, {Param("vntIndexKey")})
          .Default()
          .Method("Remove", &ZelAliases::Remove, {Param("vntIndexKey")})
          .Method("RemoveAll", &ZelAliases::RemoveAll)
          .Get("NewEnum", &ZelAliases::NewEnum)
          .Enumerator()
          .Method("AddAlias", &ZelAliases::AddAlias, {Param("Alias")})
          .Method("Add", &ZelAliases::Add,
                  {Param("AliasName"), Param("CommonName"), Optional("Comment", ""),
                   Optional("BirthYear", Variant(int16_t{0}))})
          .Method("Exists", &ZelAliases::Exists,
                  {Param("AliasName"), Optional("BirthYear", Variant(int16_t{0}))})
          .Method("GetCommonName", &ZelAliases::GetCommonName, {Param("AliasName")})
          .Build();
  return info;
}

std::string ZelAliases::KeyOf(const Object& item) const {
  return AliasKey(static_cast<const ZelAlias&>(item));
}

void ZelAliases::Save(Object& item) {
  auto& alias = static_cast<ZelAlias&>(item);
  store::CatalogueFile& database = catalogue_.Get();
  alias.catalogue().Join(database);
  alias.SaveTo(database);
}

void ZelAliases::Delete(Object& item) {
  catalogue_.Get().DbExecute("DELETE FROM Alias WHERE AliasName = '" +
                             QuoteSql(static_cast<ZelAlias&>(item).AliasName()) + "'");
}

std::shared_ptr<ZelAlias> ZelAliases::AddAlias(std::shared_ptr<ZelAlias> alias) {
  if (!alias) Raise(errc::kMissingObject);
  Insert(alias, alias->AliasName());
  try {
    Save(*alias);
  } catch (...) {
    items_.Remove(Variant(items_.Count()));
    throw;
  }
  return alias;
}

std::shared_ptr<ZelAlias> ZelAliases::Add(std::string alias_name, std::string common_name,
                                          std::string comment, int16_t birth_year) {
  auto alias = std::make_shared<ZelAlias>();
  alias->SetAliasName(std::move(alias_name));
  alias->SetCommonName(std::move(common_name));
  alias->SetComment(std::move(comment));
  alias->SetBirthYear(birth_year);
  AddExisting(alias);
  return alias;
}

bool ZelAliases::Exists(std::string_view alias_name, int16_t birth_year) const {
  return AnyOf<ZelAlias>([&](const ZelAlias& alias) {
    return alias.BirthYear() == birth_year && EqualsFolded(alias.AliasName(), alias_name);
  });
}

std::string ZelAliases::GetCommonName(std::string_view alias_name) const {
  for (const auto& alias : All()) {
    if (EqualsFolded(alias->AliasName(), alias_name)) return alias->CommonName();
  }
  return std::string(alias_name);
}

void ZelAliases::AddLoadedAlias(std::shared_ptr<ZelAlias> alias) {
  const std::string key = AliasKey(*alias);
  Insert(alias, items_.HasKey(key) ? std::string() : key);
}

void ZelAliases::SyncStored(store::CatalogueFile& database, std::string_view alias_name) {
  auto records = database.DbOpenRecordSet("SELECT * FROM Alias WHERE AliasName = '" +
                                          QuoteSql(alias_name) + "'");
  if (records->RecordCount() == 0) return;
  auto stored = AliasFromRow(database, *records);
  for (const auto& alias : All()) {
    if (!EqualsFolded(alias->AliasName(), stored->AliasName())) continue;
    alias->SetCommonName(stored->CommonName());
    alias->SetComment(stored->Comment());
    alias->SetBirthYear(stored->BirthYear());
    return;
  }
  AddLoadedAlias(stored);
}

namespace people {

std::shared_ptr<ZelAliases> Aliases(store::CatalogueFile& database) {
  // Cached only once complete (LoadList), so a failed load is tried again by the next read.
  return database.LoadList<ZelAliases>(
      store::CatalogueFile::List::kAliases, [](store::CatalogueFile& file) {
        auto aliases = std::make_shared<ZelAliases>();
        aliases->catalogue().Bind(file);
        auto records = file.DbOpenRecordSet("SELECT * FROM Alias ORDER BY AliasName");
        for (; !records->Eof(); records->MoveNext()) {
          aliases->AddLoadedAlias(AliasFromRow(file, *records));
        }
        return aliases;
      });
}

void UpdateAliases(store::CatalogueFile& database) {
  const auto aliases = database.LoadedAs<ZelAliases>(store::CatalogueFile::List::kAliases);
  if (!aliases) return;
  // Row by row: removed aliases were deleted when removed, and rows the list never held stay.
  store::WriteScope scope(database.connection());
  for (const auto& alias : aliases->All()) alias->ReplaceIn(database);
  scope.Commit();
}

std::string GetCommonName(store::CatalogueFile& database, std::string_view name) {
  auto records = database.DbOpenRecordSet("SELECT CommonName FROM Alias WHERE AliasName = '" +
                                          QuoteSql(name) + "'");
  if (records->RecordCount() == 0) return std::string(name);
  return records->Value("CommonName").ToTextOrEmpty();
}

}  // namespace people

}  // namespace zel
