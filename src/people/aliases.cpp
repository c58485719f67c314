#include "people/aliases.h"

#include "frame/member_table.h"
#include "frame/text.h"
#include "store/database.h"
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

void ZelAlias::UpdateAlias() {
  // The year stands quoted like the texts; the engine converts it to the column's number.
  RequireActiveDatabase().DbExecute(
      "INSERT INTO Alias (AliasName, CommonName, Comment, BirthYear) VALUES ('" +
      QuoteSql(alias_name_) + "', '" + QuoteSql(common_name_) + "', '" + QuoteSql(comment_) +
      "', '" + std::to_string(birth_year_) + "')");
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

void ZelAliases::Save(Object& item) { static_cast<ZelAlias&>(item).UpdateAlias(); }

void ZelAliases::Delete(Object& item) {
  RequireActiveDatabase().DbExecute("DELETE FROM Alias WHERE AliasName = '" +
                                    QuoteSql(static_cast<ZelAlias&>(item).AliasName()) + "'");
}

std::shared_ptr<ZelAlias> ZelAliases::AddAlias(std::shared_ptr<ZelAlias> alias) {
  if (!alias) Raise(errc::kMissingObject);
  Insert(alias, alias->AliasName());
  Save(*alias);
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
    return alias.BirthYear() == birth_year && EqualsIgnoreCase(alias.AliasName(), alias_name);
  });
}

std::string ZelAliases::GetCommonName(std::string_view alias_name) const {
  for (const auto& alias : All()) {
    if (EqualsIgnoreCase(alias->AliasName(), alias_name)) return alias->CommonName();
  }
  return std::string(alias_name);
}

// ZelDatabase's alias members live here, beside the classes they load and save.

std::shared_ptr<ZelAliases> ZelDatabase::Aliases() {
  if (aliases_) return aliases_;
  auto aliases = std::make_shared<ZelAliases>();
  auto records = DbOpenRecordSet("SELECT * FROM Alias ORDER BY AliasName");
  for (; !records->Eof(); records->MoveNext()) {
    auto alias = std::make_shared<ZelAlias>();
    alias->SetAliasName(records->Value("AliasName").ToTextOrEmpty());
    alias->SetCommonName(records->Value("CommonName").ToTextOrEmpty());
    alias->SetComment(records->Value("Comment").ToTextOrEmpty());
    alias->SetBirthYear(records->Value("BirthYear").ToInteger());
    aliases->AddLoaded(alias);
  }
  // Cached only once complete, so a failed load is tried again by the next read.
  aliases_ = std::move(aliases);
  return aliases_;
}

void ZelDatabase::SetAliases(std::shared_ptr<ZelAliases> aliases) { aliases_ = std::move(aliases); }

void ZelDatabase::UpdateAliases() {
  if (!aliases_) return;
  store::WriteScope scope(*connection_);
  DbExecute("DELETE FROM Alias");
  for (const auto& alias : aliases_->All()) alias->UpdateAlias();
  scope.Commit();
}

std::string ZelDatabase::GetCommonName(std::string_view name) {
  auto records =
      DbOpenRecordSet("SELECT CommonName FROM Alias WHERE AliasName = '" + QuoteSql(name) + "'");
  if (records->RecordCount() == 0) return std::string(name);
  return records->Value("CommonName").ToTextOrEmpty();
}

}  // namespace zel
