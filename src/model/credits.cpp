#include "model/credits.h"

#include "awards/awards.h"
#include "frame/member_table.h"
#include "store/catalogue_file.h"
#include "store/text_helpers.h"

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

std::shared_ptr<ZelCredit> ZelCredits::Add(std::string name, std::string role, int16_t position,
                                           int16_t birth_year) {
  auto credit = std::make_shared<ZelCredit>();
  credit->SetName(std::move(name));
  credit->SetRole(std::move(role));
  credit->SetPosition(position);
  credit->SetBirthYear(birth_year);
  return AddCredit(credit);
}

namespace {

// Older files keep the flags as texts, where an empty text stands for false.
bool OldFlag(const Variant& value) {
  if (value.IsNull()) return false;
  if (value.IsString() && value.ToText().empty()) return false;
  return value.ToBool();
}

// The IsCast filter value of a list in this file's form.
std::string CastFilter(bool cast, int16_t schema) {
  if (schema >= 76) return cast ? "true" : "false";
  return cast ? "'yes'" : "'no'";
}

// Stores the credit row being added to `records`; a row the engine refuses fails with its error,
// naming the credit and its owner.
void StoreCreditRow(store::RecordSet& records, const ZelCredit& credit, bool cast,
                    std::string_view owner_id) {
  try {
    records.Update();
  } catch (const Error& error) {
    Raise(error.number(), std::string(cast ? "Cast" : "Crew") + " credit '" + credit.Name() +
                              "' at position " + std::to_string(credit.Position()) + " of '" +
                              std::string(owner_id) +
                              "' could not be stored: " + error.description());
  }
}

}  // namespace

void LoadCredits(store::CatalogueFile& database, const CreditTable& table,
                 std::string_view owner_id, bool cast, ZelCredits& credits) {
  const int16_t schema = database.SchemaNumber();
  const bool has_regular = table.has_regular && schema >= 79;
  const bool has_credit_only = schema >= 88;
  std::string sql =
      cast ? "SELECT Name, Role, Position, CommonName, IsUncredited, IsVoice, c.BirthYear"
           : "SELECT Name, Role, Position, CommonName, IsUncredited, c.BirthYear";
  if (has_regular) sql += ", IsRegular";
  if (has_credit_only) sql += ", IsCreditOnly";
  sql += " FROM " + std::string(table.table) +
         " c LEFT JOIN Alias a ON a.AliasName = c.Name WHERE c." + std::string(table.owner_column) +
         " = '" + QuoteSql(owner_id) + "' AND c.IsCast = " + CastFilter(cast, schema) +
         " ORDER BY Position";
  auto records = database.DbOpenRecordSet(sql);
  for (; !records->Eof(); records->MoveNext()) {
    auto credit = std::make_shared<ZelCredit>();
    credit->SetName(records->Value("Name").ToTextOrEmpty());
    credit->SetRole(records->Value("Role").ToTextOrEmpty());
    credit->SetPosition(Int16Column(records->Value("Position")));
    const Variant common_name = records->Value("CommonName");
    credit->SetCommonName(common_name.IsNull() ? credit->Name() : common_name.ToText());
    if (schema >= 76) {
      credit->SetIsUncredited(records->Value("IsUncredited").ToBool());
      if (cast) credit->SetIsVoice(records->Value("IsVoice").ToBool());
    } else {
      credit->SetIsUncredited(OldFlag(records->Value("IsUncredited")));
      if (cast) credit->SetIsVoice(OldFlag(records->Value("IsVoice")));
    }
    if (has_regular) credit->SetIsRegular(OldFlag(records->Value("IsRegular")));
    // The import stores the mark for cast rows only; a crew row without one is not credit-only.
    if (has_credit_only) credit->SetIsCreditOnly(OldFlag(records->Value("IsCreditOnly")));
    credit->SetBirthYear(Int16Column(records->Value("BirthYear")));
    credit->catalogue().Bind(database);
    credits.AddCredit(credit);
  }
}

void SaveCredits(store::CatalogueFile& database, const CreditTable& table,
                 std::string_view owner_id, bool cast, const ZelCredits& credits) {
  const int16_t schema = database.SchemaNumber();
  const bool old_flags = schema < 76;
  auto flag = [old_flags](bool value) {
    return old_flags ? Variant(BoolText(value)) : Variant(value);
  };
  const std::string owner_filter =
      " WHERE " + std::string(table.owner_column) + " = '" + QuoteSql(owner_id) + "'";
  database.DbExecute("DELETE FROM " + std::string(table.table) + owner_filter +
                     " AND IsCast = " + CastFilter(cast, schema));
  auto records =
      database.DbOpenRecordSet("SELECT * FROM " + std::string(table.table) + owner_filter);
  for (const auto& credit : credits.All()) {
    records->AddNew();
    records->SetValue(table.owner_column, Variant(std::string(owner_id)));
    records->SetValue("Name", Variant(credit->Name()));
    records->SetValue("Role", Variant(credit->Role()));
    records->SetValue("Position", Variant(credit->Position()));
    records->SetValue("IsCast", old_flags ? Variant(cast ? "yes" : "no") : Variant(cast));
    records->SetValue("IsVoice", flag(cast && credit->IsVoice()));
    records->SetValue("IsUncredited", flag(credit->IsUncredited()));
    if (table.has_regular && schema >= 79) {
      records->SetValue("IsRegular", Variant(credit->IsRegular()));
    }
    if (schema >= 88) records->SetValue("IsCreditOnly", Variant(credit->IsCreditOnly()));
    records->SetValue("BirthYear", Variant(credit->BirthYear()));
    StoreCreditRow(*records, *credit, cast, owner_id);
  }
}

}  // namespace zel
