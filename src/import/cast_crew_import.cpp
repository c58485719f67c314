// Cast and crew of an imported title: one CastCrew row per child of Actors or Credits, dividers
// included, in document order.
#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frame/dictionary.h"
#include "frame/error.h"
#include "frame/text.h"
#include "frame/variant.h"
#include "import/crew_types.h"
#include "import/import_sections.h"
#include "people/alias_registration.h"
#include "people/name_parsing.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/text_helpers.h"

namespace zel {

namespace {

enum class List { kCast, kCrew };

// The working values of one child of the list, reset before each child.
struct Credit {
  Name name;
  std::string role;
  std::string credited_as;
  std::string birth_year_text;
  int16_t birth_year = 0;
  std::string voice = "False";
  std::string uncredited = "False";
  std::string credit_only = "False";

  void Reset() {
    name.Clear();
    role.clear();
    credited_as.clear();
    birth_year_text.clear();
    birth_year = 0;
    voice = "False";
    uncredited = "False";
    credit_only = "False";
  }
};

std::string DividerMarker(const std::optional<std::string>& type) {
  if (!type) return "[Divider]";
  if (*type == "Episode") return "[DivEpisode]";
  if (*type == "Group") return "[DivGroup]";
  if (*type == "Team") return "[DivTeam]";
  if (*type == "EndDiv") return "[DivEnd]";
  return *type;
}

std::string RemoveEach(std::string text, std::initializer_list<std::string_view> pieces) {
  for (std::string_view piece : pieces) text = ReplaceAll(text, piece, "");
  return text;
}

void ApplyVoiceMarker(Credit& credit) {
  if (ToLower(credit.role).find("(voice)") == std::string::npos) return;
  credit.voice = "True";
  credit.role = RemoveEach(credit.role, {" (Voice)", " (voice)", "(voice)"});
}

void ApplyUncreditedMarker(Credit& credit) {
  if (ToLower(credit.role).find("(uncr") == std::string::npos) return;
  credit.uncredited = "True";
  credit.role = RemoveEach(credit.role, {" (uncredited)", " (Uncredited)", " (uncr)", " (uncr.)",
                                         " (uncred.)", "(uncredited)"});
}

void ApplyCreditOnlyMarker(Credit& credit) {
  if (credit.role.find("(credit only)") == std::string::npos) return;
  credit.credit_only = "True";
  credit.role = Trim(ReplaceAll(credit.role, "(credit only)", ""));
}

void ReadBirthYear(Credit& credit, std::string_view text) {
  credit.birth_year_text.assign(text);
  credit.birth_year = BirthYearValue(credit.birth_year_text);
}

class ListImporter {
 public:
  ListImporter(TitleContext& title, List list) : title_(title), list_(list) {}

  void Run(const xml::Node& list_node) {
    // Files before schema 76 keep the cast flag as the texts "yes" and "no".
    text_flags_ = title_.schema < 76;
    // A changed title's list is written again only when its rows change: deleting and writing
    // the same rows anew would be most of the cost of a changed title.
    keep_if_same_ = title_.stored && !text_flags_;
    if (!keep_if_same_) DeleteRows();
    if (list_node) ReadList(list_node);
    const std::string_view part = list_ == List::kCast ? "Cast" : "Crew";
    if (keep_if_same_ && !SameAsStored()) {
      DeleteRows();
      for (const Row& row : read_) Write(row);
      NoteChanged(title_, part);
    } else if (!keep_if_same_) {
      // (The rows of a file with text flags are not compared: taken as changed.)
      NoteChanged(title_, part);
    }
  }

 private:
  // One row of the list as the import writes it.
  struct Row {
    std::string name;
    std::string role;
    int16_t position = 0;
    bool voice = false;
    bool uncredited = false;
    std::optional<bool> credit_only;  // written for the cast of schema 88 on
    int16_t birth_year = 0;
  };

  std::string CastFlag() const {
    const bool is_cast = list_ == List::kCast;
    return text_flags_ ? (is_cast ? "'yes'" : "'no'") : (is_cast ? "true" : "false");
  }

  void DeleteRows() {
    if (!MayHoldRows(title_)) return;
    title_.database.ExecuteSQL("DELETE FROM CastCrew WHERE ProfileID = '" + title_.quoted_id +
                               "' AND IsCast = " + CastFlag());
  }

  void ReadList(const xml::Node& list_node) {
    const bool is_cast = list_ == List::kCast;
    int16_t position = 1;
    for (const xml::Node& child : list_node.ChildNodes()) {
      // A comment, an instruction or stray text is no entry: it neither ends the list nor takes a
      // position, and stores nothing, as the fingerprint does not count it either.
      if (!child.IsElement()) continue;
      credit_.Reset();
      if (!child.HasAttributes()) {
        is_cast ? ReadCastElement(child) : ReadCrewElement(child);
      } else {
        const std::string name = child.Name();
        if (name == "Divider") {
          ReadDivider(child);
        } else if (is_cast && name == "Actor") {
          ReadActor(child);
        } else if (!is_cast && name == "Credit") {
          ReadCredit(child);
        }
      }
      if (is_cast) {
        ApplyVoiceMarker(credit_);
        ApplyUncreditedMarker(credit_);
        ApplyCreditOnlyMarker(credit_);
      }
      ResolveName();
      // Positions are 16-bit; a longer list would wrap to negative positions and scramble it.
      if (position < 1) {
        Raise(errc::kOverflow, std::string("Overflow: the title has more than 32767 ") +
                                   (is_cast ? "cast" : "crew") + " entries");
      }
      InsertRow(position);
      position = position == INT16_MAX ? int16_t{0} : static_cast<int16_t>(position + 1);
    }
  }

  // Whether the stored rows of the list are the rows just read, value for value.
  bool SameAsStored() {
    auto stored = title_.database.DbOpenRecordSet(
        "SELECT Name, Role, Position, IsVoice, IsUncredited, IsCreditOnly, BirthYear FROM CastCrew "
        "WHERE ProfileID = '" +
        title_.quoted_id + "' AND IsCast = " + CastFlag() + " ORDER BY Position");
    const auto same_flag = [](const Variant& value, std::optional<bool> flag) {
      return flag ? value.type() == VarType::kBoolean && value.ToBool() == *flag : value.IsNull();
    };
    size_t i = 0;
    for (; !stored->Eof(); stored->MoveNext(), ++i) {
      if (i == read_.size()) return false;
      const Row& row = read_[i];
      const Variant name = stored->ValueAt(0);
      const Variant role = stored->ValueAt(1);
      const Variant birth_year = stored->ValueAt(6);
      if (!name.IsString() || name.ToText() != row.name || !role.IsString() ||
          role.ToText() != row.role || stored->ValueAt(2).ToLong() != row.position ||
          !same_flag(stored->ValueAt(3), row.voice) ||
          !same_flag(stored->ValueAt(4), row.uncredited) ||
          !same_flag(stored->ValueAt(5), row.credit_only) || birth_year.IsNull() ||
          birth_year.ToLong() != row.birth_year) {
        return false;
      }
    }
    return i == read_.size();
  }

 private:
  // The attributes of an actor or a credit, read in one pass: the names first, then those of its
  // kind. The values are views, valid until the next element is read, so each is used (copied
  // where it is kept) at once. Most credits are read without copying their texts twice.
  enum Field { kFirstName, kMiddleName, kLastName, kCreditedAs, kBirthYear, kFieldsOfEither };
  enum ActorField { kRole = kFieldsOfEither, kVoice, kUncredited, kActorFields };
  enum CreditField { kCreditSubtype = kFieldsOfEither, kCustomRole, kCreditType, kCreditFields };
  static constexpr std::string_view kActorNames[kActorFields] = {
      "FirstName", "MiddleName", "LastName", "CreditedAs",
      "BirthYear", "Role",       "Voice",    "Uncredited"};
  static constexpr std::string_view kCreditNames[kCreditFields] = {
      "FirstName", "MiddleName",    "LastName",   "CreditedAs",
      "BirthYear", "CreditSubtype", "CustomRole", "CreditType"};
  static constexpr size_t kMostFields = std::max<size_t>(kActorFields, kCreditFields);

  void ReadFields(const xml::Node& element, std::span<const std::string_view> names) {
    element.AttributeViews(names, std::span(fields_).first(names.size()),
                           std::span(scratch_).first(names.size()));
  }
  std::string_view Field(int field, std::string_view fallback) const {
    return fields_[static_cast<size_t>(field)].value_or(fallback);
  }

  void ReadNameParts() {
    credit_.name.SetFirstName(Field(kFirstName, ""));
    credit_.name.SetMiddleName(Field(kMiddleName, ""));
    credit_.name.SetLastName(Field(kLastName, ""));
  }

  void ReadActor(const xml::Node& element) {
    ReadFields(element, kActorNames);
    ReadNameParts();
    credit_.role.assign(Field(kRole, ""));
    if (credit_.role.empty() && !group_caption_.empty()) credit_.role = group_caption_;
    credit_.credited_as.assign(Field(kCreditedAs, ""));
    ReadBirthYear(credit_, Field(kBirthYear, "0"));
    credit_.voice.assign(Field(kVoice, "False"));
    credit_.uncredited.assign(Field(kUncredited, "False"));
  }

  void ReadDivider(const xml::Node& element) {
    credit_.name.SetFullName(element.AttributeView("Caption", scratch_[0]).value_or(""));
    const std::optional<std::string> type = element.Attribute("Type");
    credit_.role = DividerMarker(type);
    if (list_ != List::kCast || !type) return;
    if (*type == "Group") {
      group_caption_ = credit_.name.FullName();
    } else if (*type == "EndDiv") {
      group_caption_.clear();
    }
  }

  void ReadCredit(const xml::Node& element) {
    ReadFields(element, kCreditNames);
    ReadNameParts();
    credit_.role.assign(Field(kCreditSubtype, ""));
    const std::string_view custom_role = Field(kCustomRole, "");
    if (!custom_role.empty()) credit_.role.assign(custom_role);
    std::string crew_type(Field(kCreditType, ""));
    if (crew_type == "Other" && credit_.role.find(": ") != std::string::npos) {
      const std::vector<std::string> pieces = Split(credit_.role, ": ");
      crew_type = pieces[0];
      credit_.role = pieces[1];
    }
    ApplyUncreditedMarker(credit_);
    if (crew_type != "Other" && !CrewMappingTable().Exists(credit_.role)) {
      LearnCrewType(title_.database, credit_.role, crew_type);
    }
    credit_.credited_as.assign(Field(kCreditedAs, ""));
    ReadBirthYear(credit_, Field(kBirthYear, "0"));
  }

  // The element form: a credit written as child elements instead of attributes.
  void ReadCastElement(const xml::Node& element) {
    ReadElementName(element);
    for (const xml::Node& child : element.ChildNodes()) {
      if (!child.IsElement()) continue;
      const std::string name = child.Name();
      if (name == "IsVoice") {
        credit_.voice = child.Text();
      } else if (name == "IsUncredited") {
        credit_.uncredited = child.Text();
      } else if (name == "IsCreditOnly") {
        credit_.credit_only = child.Text();
      }
    }
    if (const xml::Node role = element.Child("Role")) {
      credit_.role = role.Text();
      if (credit_.role == "[DivGroup]") {
        group_caption_ = ChildText(element, "Name", "");
      } else if (credit_.role.starts_with("[Div")) {
        group_caption_.clear();
      } else if (credit_.role.empty() && !group_caption_.empty()) {
        credit_.role = group_caption_;
      }
    }
  }

  void ReadCrewElement(const xml::Node& element) {
    ReadElementName(element);
    for (const xml::Node& child : element.ChildNodes()) {
      if (!child.IsElement()) continue;
      const std::string name = child.Name();
      if (name == "Role" || name == "CreditSubtype") {
        credit_.role = child.Text();
      } else if (name == "IsUncredited") {
        credit_.uncredited = child.Text();
      }
    }
  }

  void ReadElementName(const xml::Node& element) {
    for (const xml::Node& child : element.ChildNodes()) {
      if (!child.IsElement()) continue;
      const std::string name = child.Name();
      if (name == "FirstName") {
        credit_.name.SetFirstName(child.Text());
      } else if (name == "MiddleName") {
        credit_.name.SetMiddleName(child.Text());
      } else if (name == "LastName") {
        credit_.name.SetLastName(child.Text());
      } else if (name == "Name") {
        credit_.name.SetFullName(child.Text());
      } else if (name == "BirthYear") {
        ReadBirthYear(credit_, child.Text());
      }
    }
  }

  void ResolveName() {
    const std::string full_name = credit_.name.FullName();
    if (credit_.credited_as.empty()) {
      RegisterSuffixVariant(title_.database, full_name, credit_.birth_year);
    } else {
      RegisterAlias(title_.database, full_name, credit_.credited_as, credit_.birth_year);
      credit_.name.SetFullName(credit_.credited_as);
    }
  }

  void InsertRow(int16_t position) {
    const bool is_cast = list_ == List::kCast;
    Row row;
    row.name = credit_.name.FullName();
    row.role = credit_.role;
    row.position = position;
    row.voice = is_cast && FlagValue(credit_.voice);
    row.uncredited = FlagValue(credit_.uncredited);
    if (is_cast && title_.schema >= 88) row.credit_only = FlagValue(credit_.credit_only);
    row.birth_year = credit_.birth_year;
    if (row.role == "[DivEpisode]") title_.episode_headings = true;
    if (keep_if_same_) {
      read_.push_back(std::move(row));
    } else {
      Write(row);
    }
  }

  void Write(const Row& row) {
    using store::Connection;
    static const Connection::RowShape kRow{"CastCrew",
                                           {"Name", "Role", "Position", "IsCast", "IsVoice",
                                            "IsUncredited", "BirthYear", "ProfileID"}};
    static const Connection::RowShape kCreditOnlyRow{
        "CastCrew",
        {"Name", "Role", "Position", "IsCast", "IsVoice", "IsUncredited", "BirthYear", "ProfileID",
         "IsCreditOnly"}};
    const bool is_cast = list_ == List::kCast;
    const Variant cast_flag = text_flags_ ? Variant(is_cast ? "yes" : "no") : Variant(is_cast);
    Connection& connection = title_.database.connection();
    if (row.credit_only) {
      connection.Insert(kCreditOnlyRow,
                        {Variant(row.name), Variant(row.role), Variant(row.position), cast_flag,
                         Variant(row.voice), Variant(row.uncredited), Variant(row.birth_year),
                         Variant(title_.profile_id), Variant(*row.credit_only)},
                        Connection::Refused::kRaise);
    } else {
      connection.Insert(kRow,
                        {Variant(row.name), Variant(row.role), Variant(row.position), cast_flag,
                         Variant(row.voice), Variant(row.uncredited), Variant(row.birth_year),
                         Variant(title_.profile_id)},
                        Connection::Refused::kRaise);
    }
  }

  TitleContext& title_;
  List list_;
  Credit credit_;
  std::string group_caption_;
  bool text_flags_ = false;
  bool keep_if_same_ = false;
  std::vector<Row> read_;  // the rows read, while they may still be the stored ones
  std::optional<std::string_view> fields_[kMostFields];  // of the element being read (ReadFields)
  std::string scratch_[kMostFields];  // attribute values put together from pieces
};

}  // namespace

void ImportCast(TitleContext& title, const xml::Node& list) {
  ListImporter(title, List::kCast).Run(list);
}

void ImportCrew(TitleContext& title, const xml::Node& list) {
  ListImporter(title, List::kCrew).Run(list);
}

}  // namespace zel
