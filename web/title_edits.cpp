#include "web/title_edits.h"

#include <charconv>

#include "catalogue/database.h"
#include "frame/error.h"
#include "frame/text.h"
#include "import/profiler_import.h"
#include "model/profile.h"
#include "store/connection.h"
#include "store/text_helpers.h"

namespace zel::web {
namespace {

// Longest texts taken; the desktop program's own fields are no longer.
constexpr size_t kMaxNameLength = 100;
constexpr size_t kMaxCommentLength = 250;
constexpr size_t kMaxNotesLength = 8000;

std::string Field(const HeaderList& fields, std::string_view name) {
  for (const auto& [key, value] : fields) {
    if (key == name) return value;
  }
  return {};
}

// Why `text` cannot be stored as the value of a field, empty when it can: not UTF-8, control
// characters (line breaks only where `lines`), longer than `limit` characters.
std::string TextProblem(std::string_view text, size_t limit, bool lines) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    const char32_t c = NextCodePoint(text, i);
    if (c == U'\uFFFD' && text.substr(start, 3) != "\xEF\xBF\xBD") {
      return "This is not valid text (UTF-8).";
    }
    if ((c < 0x20 && !(lines && (c == '\n' || c == '\r' || c == '\t'))) || c == 0x7F) {
      return lines ? "Control characters other than line breaks and tabs are not allowed."
                   : "Line breaks and control characters are not allowed here.";
    }
    ++characters;
  }
  if (characters > limit) {
    return "At most " + std::to_string(limit) + " characters (this has " +
           std::to_string(characters) + ").";
  }
  return {};
}

// A one-line text of a form: trimmed, checked; a problem goes to `errors` under `name`.
std::string LineField(const HeaderList& fields, const std::string& name, size_t limit,
                      bool required, EditResult& result) {
  std::string text = Trim(Field(fields, name));
  if (std::string problem = TextProblem(text, limit, false); !problem.empty()) {
    result.errors[name] = std::move(problem);
  } else if (required && text.empty()) {
    result.errors[name] = "Please fill this in.";
  }
  return text;
}

// An optional date of a form: Zero when empty.
Date DateField(const HeaderList& fields, const std::string& name, bool required,
               EditResult& result) {
  const std::string text = Trim(Field(fields, name));
  Date date = Date::Zero();
  if (text.empty()) {
    if (required) result.errors[name] = "Please give a date.";
  } else if (!ParseFormDate(text, date)) {
    result.errors[name] = "Not a date: write it as YYYY-MM-DD, from 1900 to 9999.";
  }
  return date;
}

std::shared_ptr<ZelProfile> ReadProfile(ZelDatabase& database, const std::string& text) {
  const std::string profile_id = FindProfileId(database, text);
  if (profile_id.empty()) return nullptr;
  auto records = database.DbOpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = '" +
                                          QuoteSql(profile_id) + "'");
  return records->Eof() ? nullptr : ProfileFromRecord(database, *records);
}

void Lend(ZelProfile& profile, const HeaderList& fields, Date now, EditResult& result) {
  const std::string user = LineField(fields, "user", kMaxNameLength, true, result);
  const Date due = DateField(fields, "due", false, result);
  const auto loan = profile.LoanInfo();
  if (!loan->UserID().empty()) {
    result.errors[""] = "The title is on loan to " + loan->UserID() + " already: return it first.";
  }
  if (!result.ok()) return;
  loan->SetUserID(user);
  loan->SetLoanedDue(due);
  profile.Events()->Add("Borrowed", user, now, "");
  result.note = "Lent to " + user + (due == Date::Zero() ? "" : ", due " + FormatDate(due)) + ".";
}

void Return(ZelProfile& profile, Date now, EditResult& result) {
  const auto loan = profile.LoanInfo();
  const std::string user = loan->UserID();
  if (user.empty()) {
    result.errors[""] = "The title is not on loan.";
    return;
  }
  // A loan record holding nothing is not stored: the save removes the loan.
  profile.SetLoanInfo(std::make_shared<ZelLoanInfo>());
  profile.Events()->Add("Returned", user, now, "");
  result.note = "Returned by " + user + ".";
}

void AddTag(ZelProfile& profile, const HeaderList& fields, EditResult& result) {
  std::string long_name = LineField(fields, "tag", kMaxNameLength, true, result);
  // Tags in folders are written as the desktop program shows them: "Living Room/Shelf 2".
  const size_t slash = long_name.rfind('/');
  const std::string name =
      Trim(slash == std::string::npos ? long_name : long_name.substr(slash + 1));
  if (result.ok() && name.empty()) result.errors["tag"] = "A tag needs a name after its folder.";
  const auto tags = profile.Tags();
  if (result.ok() && tags->Exists(name)) {
    result.errors["tag"] = "The title has a tag named " + name + " already.";
  }
  if (!result.ok()) return;
  tags->Add(name, long_name);
  result.note = "Tagged " + long_name + ".";
}

void RemoveTag(ZelProfile& profile, const HeaderList& fields, EditResult& result) {
  const std::string long_name = Field(fields, "tag");
  const auto tags = profile.Tags();
  const auto all = tags->All();
  for (size_t i = 0; i < all.size(); ++i) {
    const std::string shown = all[i]->LongName().empty() ? all[i]->Name() : all[i]->LongName();
    if (shown == long_name) {
      tags->RemoveAt(static_cast<int16_t>(i + 1));
      result.note = "Tag " + shown + " removed.";
      return;
    }
  }
  result.errors[""] = "The title has no such tag.";
}

void RecordEvent(ZelProfile& profile, const HeaderList& fields, EditResult& result) {
  const std::string type = Field(fields, "type");
  const auto& types = EventTypes();
  if (std::find(types.begin(), types.end(), type) == types.end()) {
    result.errors["type"] = "Unknown event type.";
  }
  const Date date = DateField(fields, "date", true, result);
  const std::string user = LineField(fields, "user", kMaxNameLength, true, result);
  const std::string comment = LineField(fields, "comment", kMaxCommentLength, false, result);
  if (!result.ok()) return;
  profile.Events()->Add(type, user, date, comment);
  result.note = type + " on " + FormatDate(date) + " by " + user + " recorded.";
}

void SetCollection(ZelProfile& profile, const HeaderList& fields, EditResult& result) {
  const std::string type = Field(fields, "type");
  const auto& choices = CollectionChoices();
  const auto choice = std::find_if(choices.begin(), choices.end(),
                                   [&](const auto& item) { return item.first == type; });
  if (choice == choices.end()) result.errors["type"] = "Unknown collection type.";
  const std::string priority_text = Trim(Field(fields, "priority"));
  int priority = 0;
  if (!priority_text.empty()) {
    const auto [end, error] = std::from_chars(
        priority_text.data(), priority_text.data() + priority_text.size(), priority);
    if (error != std::errc() || end != priority_text.data() + priority_text.size() ||
        priority < 0 || priority > kMaxWishListPriority) {
      result.errors["priority"] =
          "A whole number from 0 (none) to " + std::to_string(kMaxWishListPriority) + ".";
    }
  }
  if (!result.ok()) return;
  profile.SetCollectionType(type);
  profile.SetWishListPriority(static_cast<int16_t>(priority));
  result.note = "Now " + choice->second +
                (priority ? ", wish-list priority " + std::to_string(priority) : "") + ".";
}

void SetNotes(ZelProfile& profile, const HeaderList& fields, EditResult& result) {
  std::string notes = Field(fields, "notes");
  // Browsers send line breaks as CR LF; the desktop program stores what it was given, so keep it.
  if (std::string problem = TextProblem(notes, kMaxNotesLength, true); !problem.empty()) {
    result.errors["notes"] = std::move(problem);
    return;
  }
  profile.SetNotes(std::move(notes));
  result.note = "Notes saved.";
}

}  // namespace

const std::vector<std::string>& EventTypes() {
  static const std::vector<std::string> kTypes = {"Watched", "Borrowed", "Returned"};
  return kTypes;
}

const std::vector<std::pair<std::string, std::string>>& CollectionChoices() {
  static const std::vector<std::pair<std::string, std::string>> kChoices = {
      {"WishList", "on the wish list"}, {"Ordered", "on order"}, {"Owned", "owned"}};
  return kChoices;
}

bool ParseFormDate(std::string_view text, Date& date) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !IsAsciiDigits(text.substr(0, 4)) ||
      !IsAsciiDigits(text.substr(5, 2)) || !IsAsciiDigits(text.substr(8, 2))) {
    return false;
  }
  const int year = std::stoi(std::string(text.substr(0, 4)));
  const int month = std::stoi(std::string(text.substr(5, 2)));
  const int day = std::stoi(std::string(text.substr(8, 2)));
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1900 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
      (month == 2 && day == 29 && !leap)) {
    return false;
  }
  date = Date::FromParts(year, month, day);
  return true;
}

EditResult EditTitle(ZelDatabase& database, const std::string& profile_id, const HeaderList& fields,
                     Date now) {
  EditResult result;
  // Opened before the title is read: what the change is checked against is what it replaces.
  store::WriteScope scope(database.connection());
  const auto profile = ReadProfile(database, profile_id);
  if (!profile) {
    result.errors[""] = "There is no such title in the catalogue.";
    return result;
  }
  const std::string action = Field(fields, "action");
  if (action == "lend") {
    Lend(*profile, fields, now, result);
  } else if (action == "return") {
    Return(*profile, now, result);
  } else if (action == "tag") {
    AddTag(*profile, fields, result);
  } else if (action == "untag") {
    RemoveTag(*profile, fields, result);
  } else if (action == "event") {
    RecordEvent(*profile, fields, result);
  } else if (action == "collection") {
    SetCollection(*profile, fields, result);
  } else if (action == "notes") {
    SetNotes(*profile, fields, result);
  } else {
    result.errors[""] = "Unknown change.";
  }
  if (!result.ok()) return result;
  profile->SetLastEdited(now);
  profile->UpdateProfile();
  scope.Commit();
  return result;
}

}  // namespace zel::web
