// Cast and crew of an imported title: one CastCrew row per child of Actors or Credits, dividers
// included, in document order.
#include <algorithm>
#include <exception>
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
#include "import/title_credits.h"
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

// Reads the entries of one list: touches no catalogue (see title_credits.h).
class CreditReader {
 public:
  CreditReader(List list, int16_t schema) : list_(list), schema_(schema) {}

  CreditList Read(const xml::Node& list_node) {
    CreditList read;
    if (!list_node) return read;
    const bool is_cast = list_ == List::kCast;
    int16_t position = 1;
    for (const xml::Node& child : list_node.ChildNodes()) {
      // A comment, an instruction or stray text is no entry: it neither ends the list nor takes a
      // position, and stores nothing, as the fingerprint does not count it either.
      if (!child.IsElement()) continue;
      CreditEntry& entry = read.entries.emplace_back();
      try {
        ReadEntry(child, entry);
      } catch (...) {
        entry.failure = std::current_exception();
        entry.registers = false;
        return read;
      }
      try {
        // Positions are 16-bit; a longer list would wrap to negative positions and scramble it.
        if (position < 1) {
          Raise(errc::kOverflow, std::string("Overflow: the title has more than 32767 ") +
                                     (is_cast ? "cast" : "crew") + " entries");
        }
        entry.position = position;
        entry.voice = is_cast && FlagValue(credit_.voice);
        entry.uncredited = FlagValue(credit_.uncredited);
        if (is_cast && schema_ >= 88) entry.credit_only = FlagValue(credit_.credit_only);
      } catch (...) {
        entry.failure = std::current_exception();
        return read;
      }
      if (entry.role == "[DivEpisode]") read.episode_headings = true;
      position = position == INT16_MAX ? int16_t{0} : static_cast<int16_t>(position + 1);
    }
    return read;
  }

 private:
  void ReadEntry(const xml::Node& child, CreditEntry& entry) {
    const bool is_cast = list_ == List::kCast;
    credit_.Reset();
    crew_type_.reset();
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
    entry.full_name = credit_.name.FullName();
    entry.credited = !credit_.credited_as.empty();
    entry.name = entry.credited ? credit_.credited_as : entry.full_name;
    entry.role = std::move(credit_.role);
    entry.birth_year = credit_.birth_year;
    if (crew_type_) {
      entry.learns_crew_type = true;
      entry.crew_type = std::move(*crew_type_);
    }
  }

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
    if (crew_type != "Other") crew_type_ = std::move(crew_type);
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

  List list_;
  int16_t schema_;
  Credit credit_;
  std::optional<std::string> crew_type_;  // of the credit being read, when not "Other"
  std::string group_caption_;
  std::optional<std::string_view> fields_[kMostFields];  // of the element being read (ReadFields)
  std::string scratch_[kMostFields];  // attribute values put together from pieces
};

// Writes the entries of one list read by CreditReader.
class ListWriter {
 public:
  ListWriter(TitleContext& title, List list) : title_(title), list_(list) {}

  void Run(CreditList& list) {
    // Files before schema 76 keep the cast flag as the texts "yes" and "no".
    text_flags_ = title_.schema < 76;
    // A changed title's list is written again only when its rows change: deleting and writing
    // the same rows anew would be most of the cost of a changed title.
    keep_if_same_ = title_.stored && !text_flags_;
    if (!keep_if_same_) DeleteRows();
    for (CreditEntry& entry : list.entries) {
      if (entry.registers) Register(entry);
      if (entry.failure) std::rethrow_exception(entry.failure);
      if (!keep_if_same_) Write(entry);
    }
    if (list.episode_headings) title_.episode_headings = true;
    const std::string_view part = list_ == List::kCast ? "Cast" : "Crew";
    if (keep_if_same_ && !SameAsStored(list.entries)) {
      DeleteRows();
      for (CreditEntry& entry : list.entries) Write(entry);
      NoteChanged(title_, part);
    } else if (!keep_if_same_) {
      // (The rows of a file with text flags are not compared: taken as changed.)
      NoteChanged(title_, part);
    }
  }

 private:
  std::string CastFlag() const {
    const bool is_cast = list_ == List::kCast;
    return text_flags_ ? (is_cast ? "'yes'" : "'no'") : (is_cast ? "true" : "false");
  }

  void DeleteRows() {
    if (!MayHoldRows(title_)) return;
    title_.database.ExecuteSQL("DELETE FROM CastCrew WHERE ProfileID = '" + title_.quoted_id +
                               "' AND IsCast = " + CastFlag());
  }

  // What writing an entry registers first: the crew type of its role, then its names.
  void Register(const CreditEntry& entry) {
    if (entry.learns_crew_type && !CrewMappingTable().Exists(entry.role)) {
      LearnCrewType(title_.database, entry.role, entry.crew_type);
    }
    if (entry.credited) {
      RegisterAlias(title_.database, entry.full_name, entry.name, entry.birth_year);
    } else {
      RegisterSuffixVariant(title_.database, entry.full_name, entry.birth_year);
    }
  }

  // Whether the stored rows of the list are the rows just read, value for value.
  bool SameAsStored(const std::vector<CreditEntry>& entries) {
    auto stored = title_.database.DbOpenRecordSet(
        "SELECT Name, Role, Position, IsVoice, IsUncredited, IsCreditOnly, BirthYear FROM CastCrew "
        "WHERE ProfileID = '" +
        title_.quoted_id + "' AND IsCast = " + CastFlag() + " ORDER BY Position");
    const auto same_flag = [](const Variant& value, std::optional<bool> flag) {
      return flag ? value.type() == VarType::kBoolean && value.ToBool() == *flag : value.IsNull();
    };
    size_t i = 0;
    for (; !stored->Eof(); stored->MoveNext(), ++i) {
      if (i == entries.size()) return false;
      const CreditEntry& row = entries[i];
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
    return i == entries.size();
  }

  // Stores the entry's row. Its texts move into the row written: an entry is written once.
  void Write(CreditEntry& entry) {
    using store::Connection;
    static const Connection::RowShape kRow{"CastCrew",
                                           {"Name", "Role", "Position", "IsCast", "IsVoice",
                                            "IsUncredited", "BirthYear", "ProfileID"}};
    static const Connection::RowShape kCreditOnlyRow{
        "CastCrew",
        {"Name", "Role", "Position", "IsCast", "IsVoice", "IsUncredited", "BirthYear", "ProfileID",
         "IsCreditOnly"}};
    if (row_[kProfileColumn].IsEmpty()) {
      const bool is_cast = list_ == List::kCast;
      row_[3] = text_flags_ ? Variant(is_cast ? "yes" : "no") : Variant(is_cast);
      row_[kProfileColumn] = Variant(title_.profile_id);
    }
    row_[0] = Variant(std::move(entry.name));
    row_[1] = Variant(std::move(entry.role));
    row_[2] = Variant(entry.position);
    row_[4] = Variant(entry.voice);
    row_[5] = Variant(entry.uncredited);
    row_[6] = Variant(entry.birth_year);
    const bool credit_only = entry.credit_only.has_value();
    if (credit_only) row_[8] = Variant(*entry.credit_only);
    title_.database.connection().Insert(credit_only ? kCreditOnlyRow : kRow,
                                        std::span<const Variant>(row_, credit_only ? 9 : 8),
                                        Connection::Refused::kRaise);
  }

  static constexpr size_t kProfileColumn = 7;

  TitleContext& title_;
  List list_;
  bool text_flags_ = false;
  bool keep_if_same_ = false;
  Variant row_[9];  // the row being written, in the columns of Write's shapes
};

}  // namespace

CreditList ReadCredits(const xml::Node& list, bool cast, int16_t schema) {
  return CreditReader(cast ? List::kCast : List::kCrew, schema).Read(list);
}

TitleCredits ReadTitleCredits(const xml::Node& dvd, int16_t schema) {
  return {ReadCredits(dvd.Child("Actors"), true, schema),
          ReadCredits(dvd.Child("Credits"), false, schema)};
}

void ImportCast(TitleContext& title, CreditList& list) { ListWriter(title, List::kCast).Run(list); }

void ImportCrew(TitleContext& title, CreditList& list) { ListWriter(title, List::kCrew).Run(list); }

}  // namespace zel
