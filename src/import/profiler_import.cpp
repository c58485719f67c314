#include "import/profiler_import.h"

#include <algorithm>
#include <functional>

#include "frame/dictionary.h"
#include "frame/error.h"
#include "frame/library_state.h"
#include "frame/message.h"
#include "frame/text.h"
#include "frame/variant.h"
#include "import/crew_types.h"
#include "import/import_sections.h"
#include "import/title_fingerprint.h"
#include "import/title_splitter.h"
#include "import/value_conversions.h"
#include "import/xml_document.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/text_helpers.h"
#include "tv/episode_derivation.h"

namespace zel {

std::string ChildText(const xml::Node& node, std::string_view name, std::string_view fallback) {
  const xml::Node child = node.Child(name);
  if (!child) return std::string(fallback);
  std::string text = child.Text();
  if (text.empty()) return std::string(fallback);
  return text;
}

std::string AttributeText(const xml::Node& node, std::string_view name, std::string_view fallback) {
  std::optional<std::string> value = node.Attribute(name);
  return value ? std::move(*value) : std::string(fallback);
}

bool IsLocked(const std::vector<std::string>& lock_names, std::string_view lock_name) {
  const std::string wanted = ToLower(lock_name);
  return std::find(lock_names.begin(), lock_names.end(), wanted) != lock_names.end();
}

bool FlagValue(std::string_view text) {
  try {
    return Variant(text).ToBool();
  } catch (const Error& error) {
    if (error.number() != errc::kTypeMismatch) throw;
    // The platform's bare "Type mismatch" would not say which of a title's many flags is wrong.
    Raise(errc::kTypeMismatch,
          "Type mismatch: the flag '" + std::string(text) + "' is neither true nor false");
  }
}

int16_t BirthYearValue(std::string_view text) {
  double number = 0;
  if (!ParseNumber(text, number)) return 0;
  if (!(number >= INT16_MIN - 0.5 && number < INT16_MAX + 0.5)) return 0;
  return Variant(number).ToInteger();
}

void WriteMetaEntry(TitleContext& title, std::string_view name, std::string_view value) {
  store::Connection& connection = title.database.connection();
  if (MayHoldRows(title)) {
    connection.Write(
        "DELETE FROM MetaInfo WHERE ProfileID = ? AND InfoName = ?",
        {store::StoredValue::Text(title.profile_id), store::StoredValue::Text(std::string(name))});
  }
  static const store::Connection::RowShape kShape{"MetaInfo",
                                                  {"ProfileID", "InfoName", "InfoValue"}};
  connection.Insert(kShape, {Variant(title.profile_id), Variant(name), Variant(value)},
                    store::Connection::Refused::kSkip);
}

void ImportBoxSet(TitleContext& title) {
  DeleteTitleRows(title, "BoxSet", "BoxSetID");
  const xml::Node box_set = title.dvd.Child("BoxSet");
  if (!box_set) return;
  // An exported box set always has Contents; one without is taken as a box set of no titles.
  const xml::Node contents = box_set.Child("Contents");
  if (!contents) return;
  for (const xml::Node& content : contents.Children("Content")) {
    static const store::Connection::RowShape kShape{"BoxSet", {"ChildID", "BoxSetID"}};
    title.database.connection().Insert(
        kShape, {Variant("Key_" + content.Text()), Variant(title.profile_id)},
        store::Connection::Refused::kSkip);
    title.box_set_parts = true;
  }
}

namespace {

constexpr std::string_view kMessageTitle = "Import Profiler XML";

[[noreturn]] void RaiseMissing(std::string description) {
  Raise(errc::kMissingObject, std::move(description));
}

xml::Node RequireChild(const xml::Node& dvd, std::string_view name) {
  xml::Node child = dvd.Child(name);
  if (!child) RaiseMissing("The DVD element has no " + std::string(name) + " element");
  return child;
}

std::vector<std::string> LockNames(store::CatalogueFile& database, const std::string& quoted_id) {
  std::vector<std::string> names;
  auto records =
      database.DbOpenRecordSet("SELECT LockName FROM Locks WHERE ProfileID = '" + quoted_id + "'");
  for (; !records->Eof(); records->MoveNext()) {
    names.push_back(ToLower(records->ValueAt(0).ToTextOrEmpty()));
  }
  return names;
}

// Where the stored rows of a part of a title are: the rows of `table` whose `key` column holds its
// ProfileID, but for the column `leave_out` (drawn anew by every import); and, where `names` is
// given, only the information entries (InfoName) it lists, "|" around each.
struct PartRows {
  std::string_view table;
  std::string_view key = "ProfileID";
  std::string_view leave_out = {};
  std::string_view names = {};
};

// The stored rows of a part of the title, each as one text, sorted: the same before and after its
// import when the import changed nothing of it.
std::vector<std::string> StoredRows(TitleContext& title, const PartRows& part) {
  store::Connection& connection = title.database.connection();
  const store::TableDef* table = connection.FindTable(part.table);
  if (!table) return {};
  const auto column_of = [&](std::string_view name) {
    for (size_t c = 0; c < table->columns.size(); ++c) {
      if (EqualsIgnoreCase(table->columns[c].name, name)) return c;
    }
    return table->columns.size();
  };
  const size_t left_out =
      part.leave_out.empty() ? table->columns.size() : column_of(part.leave_out);
  const size_t info_name = part.names.empty() ? table->columns.size() : column_of("InfoName");
  std::vector<std::string> rows;
  connection.ReadStoredRows(
      part.table, part.key, title.profile_id, [&](const std::vector<store::SqlValue>& values) {
        if (info_name < values.size() &&
            part.names.find("|" + values[info_name].text + "|") == std::string_view::npos) {
          return;
        }
        std::string row;
        for (size_t c = 0; c < values.size(); ++c) {
          if (c == left_out) continue;
          const store::SqlValue& value = values[c];
          row += static_cast<char>('0' + static_cast<int>(value.kind));
          switch (value.kind) {
            case store::SqlValue::Kind::kNull:
              break;
            case store::SqlValue::Kind::kInteger:
              row += std::to_string(value.integer);
              break;
            case store::SqlValue::Kind::kReal:
              row += std::to_string(value.real);
              break;
            case store::SqlValue::Kind::kText:
              row += value.text;
              break;
          }
          row += '\x1f';
        }
        rows.push_back(std::move(row));
      });
  std::sort(rows.begin(), rows.end());
  return rows;
}

// Runs `write` for a part of the title; of a changed title, notes the part as changed when its
// stored rows differ afterwards.
void WritePart(TitleContext& title, std::string_view part, const PartRows& rows,
               const std::function<void()>& write) {
  if (!title.changed || rows.table.empty()) return write();
  const std::vector<std::string> before = StoredRows(title, rows);
  write();
  if (StoredRows(title, rows) != before) NoteChanged(title, part);
}

void RunSections(TitleContext& title, std::vector<std::string>& locked) {
  struct Section {
    std::string_view name;  // also the lock name, where `lockable`
    bool lockable;
    void (*run)(TitleContext&);
    // The stored rows it writes; none for the lists of credits, which note their changes.
    PartRows rows;
  };
  const auto cast = [](TitleContext& t) { ImportCast(t, t.dvd.Child("Actors")); };
  const auto crew = [](TitleContext& t) { ImportCrew(t, t.dvd.Child("Credits")); };
  static const Section kSections[] = {
      {"Cast", true, cast, {}},
      {"Crew", true, crew, {}},
      {"BoxSet", true, ImportBoxSet, {"BoxSet", "BoxSetID"}},
      {"Discs", true, ImportDiscs, {"Discs"}},
      {"Regions", true, ImportRegions, {"Regions"}},
      {"VideoFormats", true, ImportVideoFormat, {"VideoFormat"}},
      {"Features", true, ImportFeatures, {"Features"}},
      {"Studios", true, ImportStudios, {"Studios"}},
      {"Genres", true, ImportGenres, {"Genres"}},
      {"Subtitles", true, ImportSubtitles, {"Subtitles"}},
      {"AudioFormats", true, ImportAudio, {"AudioFormats"}},
      {"SRPInfo", true, ImportSuggestedPrice, {"SRPInfo"}},
      {"Reviews", true, ImportReview, {"Reviews"}},
      {"Exclusions", false, WriteExclusions, {"MetaInfo", "ProfileID", {}, "|Exclusions|"}},
      {"MediaBanners",
       false,
       WriteMediaBanners,
       {"MetaInfo", "ProfileID", {}, "|MediaBannerFront|MediaBannerBack|"}},
      {"PurchaseInfo", true, ImportPurchase, {"PurchaseInfo"}},
      // An event's identifier is drawn anew by every import.
      {"Events", true, ImportEvents, {"Events", "ProfileID", "EventID"}},
      {"LoanInfo", true, ImportLoan, {"LoanInfo"}},
      {"Tags", true, ImportTags, {"Tags"}},
  };
  for (const Section& section : kSections) {
    if (section.lockable && IsLocked(title.locks, section.name)) {
      if (title.stored) locked.emplace_back(section.name);
      continue;
    }
    WritePart(title, section.name, section.rows, [&] { section.run(title); });
  }
}

// The series and episodes the title's episode headings describe, kept in step with its lists, and
// with those of its parts when it is a box set (their series may follow its title).
void DeriveTelevision(TitleContext& title) {
  const bool lists_read = !IsLocked(title.locks, "Cast") && !IsLocked(title.locks, "Crew");
  const bool headings_possible = !lists_read || title.episode_headings;
  // A new title without headings has no links to take back.
  if (headings_possible || title.stored) {
    tv::DeriveTitleEpisodes(title.database, title.profile_id, headings_possible);
  }
  if (title.box_set_parts) tv::DeriveBoxSetParts(title.database, title.profile_id);
}

}  // namespace

void NoteChanged(TitleContext& title, std::string_view part) {
  if (!title.changed) return;
  if (std::find(title.changed->begin(), title.changed->end(), part) == title.changed->end()) {
    title.changed->emplace_back(part);
  }
}

namespace {

// Refuses a catalogue whose stored schema is above the one recorded when it was opened: it was
// written by a newer program, whose tables the import might damage.
bool RefuseNewerSchema(store::CatalogueFile& database) {
  if (database.SchemaNumber() >= database.Schema()) return false;
  ShowMessage(MessageIcon::kWarning, kMessageTitle, "Zel Database Version not supported");
  return true;
}

ImportResult ImportTitle(store::CatalogueFile& database, const xml::Node& dvd,
                         const std::string& markup_fingerprint, bool sync_loaded_lists) {
  ImportResult result;
  if (!dvd || !dvd.IsElement() || dvd.Name() != "DVD") {
    RaiseMissing("The title markup has no DVD element");
  }
  result.title = RequireChild(dvd, "Title").Text();
  const std::string id = RequireChild(dvd, "ID").Text();
  RequireChild(dvd, "UPC");
  result.profile_id = "Key_" + id;

  TitleContext title{.database = database,
                     .dvd = dvd,
                     .id = id,
                     .profile_id = result.profile_id,
                     .quoted_id = QuoteSql(result.profile_id),
                     .schema = database.SchemaNumber()};
  const bool has_fingerprint = title.schema >= 78;
  const std::string fingerprint = has_fingerprint ? markup_fingerprint : std::string();
  const std::string locality = LocalityOfId(id);

  auto profile = database.DbOpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = '" +
                                          title.quoted_id + "'");
  const bool is_new = profile->RecordCount() == 0;
  if (!is_new && has_fingerprint && profile->Value("MD5").ToTextOrEmpty() == fingerprint) {
    result.outcome = ImportOutcome::kUnchanged;
    return result;
  }
  title.locks = LockNames(database, title.quoted_id);
  if (!is_new && IsLocked(title.locks, "Entire")) {
    result.outcome = ImportOutcome::kLocked;
    return result;
  }

  title.stored = !is_new;
  if (title.stored) title.changed = &result.changed_sections;
  try {
    store::WriteScope scope(database.connection());
    title.medium = MediumOf(dvd);
    WritePart(title, "Rating", {"MetaInfo", "ProfileID", {}, "|RatingAge|RatingVariant|"},
              [&] { WriteProfileRow(title, *profile, is_new, fingerprint, locality); });
    profile.reset();
    RunSections(title, result.locked_sections);
    DeriveTelevision(title);
    database.NoteImported(store::CatalogueFile::List::kProfiles, result.profile_id);
    scope.Commit();
  } catch (...) {
    // The rollback took back any role learned by this title; forget the loaded mapping too, so
    // that such a role is learned again when it next comes.
    CrewMappingTable().RemoveAll();
    database.ForgetImported();
    throw;
  }
  // The lists of the catalogue that are loaded show the title as it now is.
  if (sync_loaded_lists) {
    database.SyncImported();
  } else {
    database.ForgetImported();
  }
  result.outcome = is_new ? ImportOutcome::kNew : ImportOutcome::kChanged;
  return result;
}

}  // namespace

bool IsStoredUnchanged(std::string_view profile_id, std::string_view fingerprint) {
  store::CatalogueFile& database = store::RequireActiveCatalogue();
  if (State().active_db_schema < 78) return false;
  auto profile = database.DbOpenRecordSet("SELECT MD5 FROM Profiles WHERE ProfileID = '" +
                                          QuoteSql(profile_id) + "'");
  return !profile->Eof() && profile->ValueAt(0).ToTextOrEmpty() == fingerprint;
}

ImportResult ImportParsedTitle(const xml::Node& dvd, const std::string& fingerprint,
                               bool sync_loaded_lists) {
  return ImportTitle(store::RequireActiveCatalogue(), dvd, fingerprint, sync_loaded_lists);
}

bool ImportRefusesSchema() { return RefuseNewerSchema(store::RequireActiveCatalogue()); }

ImportResult ImportProfilerXml(std::string_view markup) {
  return ImportProfilerXml(store::RequireActiveCatalogue(), markup);
}

ImportResult ImportProfilerXml(store::CatalogueFile& database, std::string_view markup) {
  if (RefuseNewerSchema(database)) return ImportResult{.outcome = ImportOutcome::kSchemaRefused};
  const xml::Document document = xml::Document::Parse(markup);
  if (document.parse_error().failed) {
    const xml::ParseError& error = document.parse_error();
    if (error.refused)
      Raise(errc::kInvalidArgument, "The title markup is refused: " + error.reason);
    std::string description = "The title markup is not well-formed XML: " + error.reason;
    if (error.line > 0) description += " (line " + std::to_string(error.line) + ")";
    RaiseMissing(std::move(description));
  }
  const xml::Node dvd = document.Child("DVD");
  if (!dvd) {
    RaiseMissing("The title markup has " + document.Root().Name() +
                 " as its document element instead of DVD");
  }
  // The markup parsed, so its document element (the DVD element) can be found as bytes.
  return ImportTitle(database, dvd, TitleFingerprint(DocumentElement(markup)), true);
}

std::string FindProfileId(store::CatalogueFile& database, std::string_view text) {
  if (text.empty()) return {};
  for (const std::string& candidate : {std::string(text), "Key_" + std::string(text)}) {
    auto records = database.DbOpenRecordSet("SELECT ProfileID FROM Profiles WHERE ProfileID = '" +
                                            QuoteSql(candidate) + "'");
    if (!records->Eof()) return records->ValueAt(0).ToTextOrEmpty();
  }
  return {};
}

std::vector<std::string> SimilarProfileIds(store::CatalogueFile& database, std::string_view text,
                                           int limit) {
  std::vector<std::string> found;
  // Wildcards of the dialect in the text would make a pattern of it.
  if (text.empty() || text.find_first_of("*?#[") != std::string_view::npos) return found;
  const std::string quoted = QuoteSql(text);
  auto records =
      database.DbOpenRecordSet("SELECT ProfileID FROM Profiles WHERE ProfileID LIKE '" + quoted +
                               "*' OR ProfileID LIKE 'Key_" + quoted + "*' ORDER BY ProfileID");
  for (; !records->Eof() && static_cast<int>(found.size()) < limit; records->MoveNext()) {
    found.push_back(records->ValueAt(0).ToTextOrEmpty());
  }
  return found;
}

std::string_view OutcomeName(ImportOutcome outcome) {
  switch (outcome) {
    case ImportOutcome::kNew:
      return "new";
    case ImportOutcome::kChanged:
      return "changed";
    case ImportOutcome::kUnchanged:
      return "unchanged";
    case ImportOutcome::kLocked:
      return "locked";
    case ImportOutcome::kSchemaRefused:
      return "refused";
  }
  return "unknown";
}

}  // namespace zel
