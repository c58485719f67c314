#include "people/aliases.h"

#include "frame/member_table.h"
#include "frame/text.h"
#include "store/catalogue_file.h"
#include "store/engine_errors.h"

namespace zel {

using store::Quoted;
using store::Texts;

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

const store::RecordShape<ZelAlias>& ZelAlias::Shape() {
  using A = ZelAlias;
  static const store::RecordShape<A> shape(
      store::Table::kAlias,
      {store::FieldOf("AliasName", &A::alias_name_), store::FieldOf("CommonName", &A::common_name_),
       store::FieldOf("BirthYear", &A::birth_year_), store::FieldOf("Comment", &A::comment_)});
  return shape;
}

void ZelAlias::ReadRow(store::CatalogueFile& database, store::RowImage image) {
  Shape().Read(*this, image, database.SchemaNumber());
  row_ = std::move(image);
  catalogue_.Bind(database);
}

namespace {

std::vector<std::shared_ptr<ZelAlias>> LoadAliases(store::CatalogueFile& database,
                                                   std::string_view where,
                                                   const std::vector<store::StoredValue>& params,
                                                   std::string_view order) {
  return store::LoadRecords<ZelAlias>(database, store::Table::kAlias, where, params, order);
}

}  // namespace

void ZelAlias::SaveTo(store::CatalogueFile& database) {
  store::WriteScope scope(database.connection());
  auto self = weak_from_this().lock();
  if (catalogue_.Belongs() && catalogue_.Peek() != &database) {
    store::UndoOnRollback(database, row_, self);
    row_ = {};
  }
  if (!row_.Stored()) {
    // A new alias stored already as it is takes that row.
    auto stored = LoadAliases(database, "t.\"AliasName\" = ?", Texts({alias_name_}), "");
    if (!stored.empty() && stored.front()->AliasName() == alias_name_ &&
        stored.front()->CommonName() == common_name_ && stored.front()->Comment() == comment_ &&
        stored.front()->BirthYear() == birth_year_) {
      store::UndoOnRollback(database, row_, self);
      row_ = stored.front()->row();
    }
  }
  store::SaveKeyedRow(database, Shape(), *this, alias_name_, row_, "Alias");
  store::UndoOnRollback(database, catalogue_, self);
  catalogue_.Bind(database);
  scope.Commit();
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

void ZelAliases::Save(Object& item) { static_cast<ZelAlias&>(item).SaveTo(catalogue_.Get()); }

void ZelAliases::Delete(Object& item) {
  auto& alias = static_cast<ZelAlias&>(item);
  store::CatalogueFile& database = catalogue_.Get();
  if (!alias.row().Stored() || alias.catalogue().Peek() != &database) return;
  store::WriteScope scope(database.connection());
  store::RowWriter(database, store::Table::kAlias)
      .Delete(alias.row(), "Alias '" + store::StoredKey(alias.row(), store::Table::kAlias) + "'");
  store::UndoOnRollback(database, alias.row(), alias.weak_from_this().lock());
  alias.row() = {};
  scope.Commit();
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
  UndoOnRollback([this, self = weak_from_this().lock(), alias] {
    for (int32_t position = items_.Count(); position >= 1; --position) {
      if (items_.At(static_cast<size_t>(position - 1)).ToObject() == alias) {
        items_.Remove(Variant(position));
        return;
      }
    }
  });
  return alias;
}

std::shared_ptr<ZelAlias> ZelAliases::Add(std::string alias_name, std::string common_name,
                                          std::string comment, int64_t birth_year) {
  auto alias = std::make_shared<ZelAlias>();
  alias->SetAliasName(std::move(alias_name));
  alias->SetCommonName(std::move(common_name));
  alias->SetComment(std::move(comment));
  alias->SetBirthYear(birth_year);
  AddExisting(alias);
  return alias;
}

bool ZelAliases::Exists(std::string_view alias_name, int64_t birth_year) const {
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
  for (const auto& alias : All()) {
    if (EqualsFolded(alias->AliasName(), alias_name)) return;
  }
  for (auto& stored : LoadAliases(database, "t.\"AliasName\" = ?", Texts({alias_name}), "")) {
    AddLoadedAlias(stored);
  }
}

namespace people {

std::shared_ptr<ZelAliases> Aliases(store::CatalogueFile& database) {
  // Cached only once complete (LoadList), so a failed load is tried again by the next read.
  return database.LoadList<ZelAliases>(
      store::CatalogueFile::List::kAliases, [](store::CatalogueFile& file) {
        auto aliases = std::make_shared<ZelAliases>();
        aliases->catalogue().Bind(file);
        for (auto& alias : LoadAliases(file, "", {}, "t.\"AliasName\"")) {
          aliases->AddLoadedAlias(alias);
        }
        return aliases;
      });
}

void UpdateAliases(store::CatalogueFile& database) {
  const auto aliases = database.LoadedAs<ZelAliases>(store::CatalogueFile::List::kAliases);
  if (!aliases) return;
  aliases->RequireDistinctKeys("Alias");
  store::WriteScope scope(database.connection());
  for (const auto& alias : aliases->All()) {
    // An alias another catalogue's list took over is saved there.
    if (alias->catalogue().Belongs() && alias->catalogue().Peek() != &database) continue;
    alias->SaveTo(database);
  }
  aliases->RekeyChanged();
  scope.Commit();
}

std::string GetCommonName(store::CatalogueFile& database, std::string_view name) {
  const auto rows = database.connection().Read(
      "SELECT \"CommonName\" FROM \"Alias\" WHERE \"AliasName\" = ?", Texts({name}));
  if (rows.empty()) return std::string(name);
  return rows.front().front().IsNull() ? std::string() : rows.front().front().text;
}

}  // namespace people

}  // namespace zel
