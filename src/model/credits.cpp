#include "model/credits.h"

#include "awards/awards.h"
#include "frame/member_table.h"
#include "model/load_once.h"
#include "store/catalogue_file.h"

namespace zel {

const ClassInfo& ZelCredit::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelCredit>("ZelCredit")
          .Creatable()
          .WithReflection(Reflection::kPlain)
          .Property("Name", &ZelCredit::Name, &ZelCredit::SetName)
          .Get("CommonName", &ZelCredit::CommonName)
          .Property("Role", &ZelCredit::Role, &ZelCredit::SetRole)
          .Property("Position", &ZelCredit::Position, &ZelCredit::SetPosition)
          .Property("IsVoice", &ZelCredit::IsVoice, &ZelCredit::SetIsVoice)
          .Property("IsUncredited", &ZelCredit::IsUncredited, &ZelCredit::SetIsUncredited)
          .Property("IsRegular", &ZelCredit::IsRegular, &ZelCredit::SetIsRegular)
          .Property("IsCreditOnly", &ZelCredit::IsCreditOnly, &ZelCredit::SetIsCreditOnly)
          .Property("BirthYear", &ZelCredit::BirthYear, &ZelCredit::SetBirthYear)
          .Get("Awards", &ZelCredit::Awards)
          .Build();
  return info;
}

std::shared_ptr<ZelAwards> ZelCredit::Awards() {
  if (awards_) return awards_;
  store::CatalogueFile& database = catalogue_.Get();
  // An empty name would match every nominee; a credit made by a script has only its Name.
  const std::string& name = common_name_.empty() ? name_ : common_name_;
  awards_ = name.empty() ? std::make_shared<ZelAwards>() : awards::GetPersonAwards(database, name);
  return awards_;
}

const ClassInfo& ZelCredits::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelCredits>("ZelCredits")
          .Creatable()
          .Get("Count", &ZelCredits::Count)
          .Method("Item", &ZelCredits::Item, {Param("vntIndexKey")})
          .Default()
          .Method("Remove", &ZelCredits::Remove, {Param("vntIndexKey")})
          .Method("RemoveAll", &ZelCredits::RemoveAll)
          .Get("NewEnum", &ZelCredits::NewEnum)
          .Enumerator()
          .Method("AddCredit", &ZelCredits::AddCredit, {Param("Credit")})
          .Method("Add", &ZelCredits::Add,
                  {Param("Name"), Param("Role"), Param("Position"), Param("BirthYear")})
          .Build();
  return info;
}

std::shared_ptr<ZelCredit> ZelCredits::AddCredit(std::shared_ptr<ZelCredit> credit) {
  AddExisting(credit);
  return credit;
}

std::shared_ptr<ZelCredit> ZelCredits::Add(std::string name, std::string role, int64_t position,
                                           int64_t birth_year) {
  auto credit = std::make_shared<ZelCredit>();
  credit->SetName(std::move(name));
  credit->SetRole(std::move(role));
  credit->SetPosition(position);
  credit->SetBirthYear(birth_year);
  return AddCredit(credit);
}

const store::RecordShape<ZelCredit>& ZelCredit::Shape(store::Table table, bool cast) {
  using C = ZelCredit;
  using Shape = store::RecordShape<C>;
  const auto build = [](store::Table of, bool with_voice) {
    std::vector<Shape::Field> fields = {
        store::FieldOf("Name", &C::name_),
        store::FieldOf("Role", &C::role_),
        store::FieldOf("Position", &C::position_),
        store::FieldOf("BirthYear", &C::birth_year_),
        store::FieldOf("IsUncredited", &C::is_uncredited_),
        store::FieldOf("IsCreditOnly", &C::is_credit_only_),
    };
    if (with_voice) {
      fields.push_back(store::FieldOf("IsVoice", &C::is_voice_));
    } else {
      // The crew is stored without the flag, whatever a script set.
      fields.push_back(
          {"IsVoice", [](const C&) { return Variant(false); }, [](C&, const Variant&) {}, {}});
    }
    if (of == kEpisodeCredits) fields.push_back(store::FieldOf("IsRegular", &C::is_regular_));
    return Shape(of, std::move(fields));
  };
  static const Shape profile_cast = build(kProfileCredits, true);
  static const Shape profile_crew = build(kProfileCredits, false);
  static const Shape episode_cast = build(kEpisodeCredits, true);
  static const Shape episode_crew = build(kEpisodeCredits, false);
  if (table == kEpisodeCredits) return cast ? episode_cast : episode_crew;
  return cast ? profile_cast : profile_crew;
}

namespace {

// The stored IsCast value of a list in this file's form.
store::StoredValue CastFlag(CreditTable table, bool cast, int16_t schema) {
  return store::WriteColumn(store::Describe(table).Column("IsCast"), Variant(cast), schema);
}

}  // namespace

CreditsImage LoadCredits(store::CatalogueFile& database, CreditTable table,
                         std::string_view owner_id, bool cast, ZelCredits& credits) {
  const int16_t schema = database.SchemaNumber();
  const store::TableLayout& layout = store::Describe(table);
  const std::string owner = "t.\"" + std::string(layout.owner) + "\"";
  const auto& shape = ZelCredit::Shape(table, cast);
  CreditsImage image;
  for (store::LoadedRow& row : store::LoadRows(
           database, table, owner + " = ? AND t.\"IsCast\" = ?",
           {store::StoredValue::Text(std::string(owner_id)), CastFlag(table, cast, schema)},
           "t.\"Position\"",
           "\"" + std::string(layout.name) +
               "\" t LEFT JOIN \"Alias\" a ON a.\"AliasName\" = t.\"Name\"",
           {"a.\"CommonName\""})) {
    auto credit = std::make_shared<ZelCredit>();
    shape.Read(*credit, row.image, schema);
    const store::StoredValue& common_name = row.extra[0];
    credit->SetCommonName(common_name.IsNull()
                              ? credit->Name()
                              : store::ReadColumn(layout.Column("Name"), common_name).ToText());
    credit->catalogue().Bind(database);
    credits.AddCredit(credit);
    image.rows.push_back({credit, std::move(row.image)});
  }
  return image;
}

void SaveCredits(store::CatalogueFile& database, CreditTable table, const Owner& owner, bool cast,
                 const ZelCredits& credits, CreditsImage& image) {
  auto context = owner.Context<ZelCredit>(table, [&](const ZelCredit& credit) {
    return std::string(cast ? "Cast" : "Crew") + " credit '" + credit.Name() + "' at position " +
           std::to_string(credit.Position()) + owner.Of();
  });
  context.fixed.emplace_back(store::Describe(table).IndexOf("IsCast"),
                             CastFlag(table, cast, database.SchemaNumber()));
  store::SaveList(database, ZelCredit::Shape(table, cast), credits.All(), image, context);
}

}  // namespace zel
