#include "import/profiler_import.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>

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
#include "store/title_parts.h"
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

// Runs `write` for a part of the title; of a changed title, notes the part as changed when its
// stored rows (`rows`) differ afterwards. Without `rows`, `write` notes its changes itself.
void WritePart(TitleContext& title, std::string_view part, const store::TitlePart* rows,
               const std::function<void()>& write) {
  if (!title.changed || !rows) return write();
  store::Connection& connection = title.database.connection();
  const std::vector<std::string> before = store::PartRows(connection, title.profile_id, *rows);
  write();
  if (store::PartRows(connection, title.profile_id, *rows) != before) NoteChanged(title, part);
}

const store::EditMark* EditOf(const TitleContext& title, std::string_view part) {
  for (const store::EditMark& mark : title.edits) {
    if (EqualsIgnoreCase(mark.part, part)) return &mark;
  }
  return nullptr;
}

void ForgetChanged(TitleContext& title, std::string_view part) { std::erase(*title.changed, part); }

// Decides about a part edited here once the export's version of it was written over the version
// edited here: `local` its rows before, `exported` after. Returns nothing when the export's version
// stays (the mark is dropped); otherwise the version edited here is to be put back, and what its
// mark is to hold then. A conflict is reported once: the mark takes the export's new version, so
// the next import reports only what the export changes again.
std::optional<std::string> KeepEditedPart(TitleContext& title, const store::EditMark& mark,
                                          const std::vector<std::string>& local,
                                          const std::vector<std::string>& exported) {
  store::Connection& connection = title.database.connection();
  // The export came to say what was edited here: there is nothing left to keep.
  const bool same = exported == local;
  const std::string digest = store::PartDigest(exported);
  if (!same && digest != mark.digest) {
    title.conflicts->push_back(mark.part);
    if (title.prefer_export) {
      store::DropEditMark(connection, title.profile_id, mark.part);
      return std::nullopt;
    }
  }
  if (same) {
    store::DropEditMark(connection, title.profile_id, mark.part);
    return std::nullopt;
  }
  title.kept->push_back(mark.part);
  ForgetChanged(title, mark.part);
  return digest;
}

// As WritePart, for a part that may have been edited here since the title's last import.
void WriteEditablePart(TitleContext& title, std::string_view part, const store::TitlePart* rows,
                       const std::function<void()>& write) {
  const store::EditMark* mark = title.changed ? EditOf(title, part) : nullptr;
  if (!mark) return WritePart(title, part, rows, write);
  const store::TitlePart& compared = rows ? *rows : *store::FindTitlePart(part);
  store::Connection& connection = title.database.connection();
  const std::vector<std::string> local = store::PartRows(connection, title.profile_id, compared);
  std::optional<store::WriteScope> exported_version(std::in_place, connection);
  write();
  const std::vector<std::string> exported = store::PartRows(connection, title.profile_id, compared);
  const std::optional<std::string> keep = KeepEditedPart(title, *mark, local, exported);
  if (!keep) {
    exported_version->Commit();
    if (exported != local) NoteChanged(title, part);
    return;
  }
  exported_version.reset();  // rolls the export's version back
  // Crew roles learned from it went with it.
  CrewMappingTable().RemoveAll();
  if (*keep != mark->digest) {
    store::WriteEditMark(connection, title.profile_id, {mark->part, *keep});
  }
}

// Writes the Profiles row (`write`), then puts back the columns edited here that are to stay.
void WriteProfileKeepingEdits(TitleContext& title, const std::function<void()>& write) {
  struct Edited {
    const store::EditMark* mark;
    const store::TitlePart* part;
    std::vector<std::string> rows;
    std::vector<store::StoredValue> values;
  };
  store::Connection& connection = title.database.connection();
  std::vector<Edited> edited;
  for (const store::EditMark& mark : title.edits) {
    const store::TitlePart* part = store::FindTitlePart(mark.part);
    if (!part || part->columns.empty() || IsLocked(title.locks, part->name)) continue;
    edited.push_back({&mark, part, store::PartRows(connection, title.profile_id, *part),
                      store::ReadPartColumns(connection, title.profile_id, *part)});
  }
  write();
  for (const Edited& column : edited) {
    const std::optional<std::string> keep =
        KeepEditedPart(title, *column.mark, column.rows,
                       store::PartRows(connection, title.profile_id, *column.part));
    if (!keep) continue;
    store::WritePartColumns(connection, title.profile_id, *column.part, column.values);
    if (*keep != column.mark->digest) {
      store::WriteEditMark(connection, title.profile_id, {column.mark->part, *keep});
    }
  }
}

// The meta entries the import writes besides the parts that locks name.
const store::TitlePart kExclusions{
    .name = "Exclusions", .table = store::Table::kMetaInfo, .names = "|Exclusions|"};
const store::TitlePart kMediaBanners{.name = "MediaBanners",
                                     .table = store::Table::kMetaInfo,
                                     .names = "|MediaBannerFront|MediaBannerBack|"};
const store::TitlePart kRatingEntries{
    .name = "Rating", .table = store::Table::kMetaInfo, .names = "|RatingAge|RatingVariant|"};

void RunSections(TitleContext& title, std::vector<std::string>& locked) {
  struct Section {
    std::string_view name;  // also the lock name, where `lockable`
    bool lockable;
    void (*run)(TitleContext&);
    // The stored rows it writes; none for the lists of credits, which note their changes.
    const store::TitlePart* rows;
  };
  const auto cast = [](TitleContext& t) {
    if (t.credits) return ImportCast(t, t.credits->cast);
    CreditList read = ReadCredits(t.dvd.Child("Actors"), true, t.schema);
    ImportCast(t, read);
  };
  const auto crew = [](TitleContext& t) {
    if (t.credits) return ImportCrew(t, t.credits->crew);
    CreditList read = ReadCredits(t.dvd.Child("Credits"), false, t.schema);
    ImportCrew(t, read);
  };
  const auto part = [](std::string_view name) { return store::FindTitlePart(name); };
  static const Section kSections[] = {
      {"Cast", true, cast, nullptr},
      {"Crew", true, crew, nullptr},
      {"BoxSet", true, ImportBoxSet, part("BoxSet")},
      {"Discs", true, ImportDiscs, part("Discs")},
      {"Regions", true, ImportRegions, part("Regions")},
      {"VideoFormats", true, ImportVideoFormat, part("VideoFormats")},
      {"Features", true, ImportFeatures, part("Features")},
      {"Studios", true, ImportStudios, part("Studios")},
      {"Genres", true, ImportGenres, part("Genres")},
      {"Subtitles", true, ImportSubtitles, part("Subtitles")},
      {"AudioFormats", true, ImportAudio, part("AudioFormats")},
      {"SRPInfo", true, ImportSuggestedPrice, part("SRPInfo")},
      {"Reviews", true, ImportReview, part("Reviews")},
      {"Exclusions", false, WriteExclusions, &kExclusions},
      {"MediaBanners", false, WriteMediaBanners, &kMediaBanners},
      {"PurchaseInfo", true, ImportPurchase, part("PurchaseInfo")},
      {"Events", true, ImportEvents, part("Events")},
      {"LoanInfo", true, ImportLoan, part("LoanInfo")},
      {"Tags", true, ImportTags, part("Tags")},
  };
  for (const Section& section : kSections) {
    if (section.lockable && IsLocked(title.locks, section.name)) {
      if (title.stored) locked.emplace_back(section.name);
      continue;
    }
    WriteEditablePart(title, section.name, section.rows, [&] { section.run(title); });
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
                         const std::string& markup_fingerprint, const ParsedTitleOptions& options) {
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
                     .schema = database.SchemaNumber(),
                     .credits = options.credits};
  const bool has_fingerprint = title.schema >= 78;
  const std::string fingerprint = has_fingerprint ? markup_fingerprint : std::string();
  const std::string locality = LocalityOfId(id);

  // Whether the profile is stored, and its fingerprint: asked with a bound read, as most titles
  // of a collection are new. A stored profile is edited through a record set.
  const auto stored =
      database.connection().Read(has_fingerprint ? "SELECT MD5 FROM Profiles WHERE ProfileID = ?"
                                                 : "SELECT NULL FROM Profiles WHERE ProfileID = ?",
                                 {store::StoredValue::Text(title.profile_id)});
  const bool is_new = stored.empty();
  if (!is_new && has_fingerprint && stored[0][0].kind == store::StoredValue::Kind::kText &&
      stored[0][0].text == fingerprint) {
    result.outcome = ImportOutcome::kUnchanged;
    return result;
  }
  std::shared_ptr<store::RecordSet> profile;
  if (!is_new) {
    profile = database.DbOpenRecordSet("SELECT * FROM Profiles WHERE ProfileID = '" +
                                       title.quoted_id + "'");
  }
  title.locks = LockNames(database, title.quoted_id);
  if (!is_new && IsLocked(title.locks, "Entire")) {
    result.outcome = ImportOutcome::kLocked;
    return result;
  }

  title.stored = !is_new;
  if (title.stored) {
    title.changed = &result.changed_sections;
    title.edits = store::ReadEditMarks(database.connection(), title.profile_id);
    title.prefer_export = options.prefer_export;
    title.kept = &result.kept_sections;
    title.conflicts = &result.conflicts;
  }
  try {
    std::optional<store::WriteScope> scope;
    if (options.own_savepoint) scope.emplace(database.connection());
    const store::UnmarkedWrites from_the_export(database.connection());
    title.medium = MediumOf(dvd);
    WriteProfileKeepingEdits(title, [&] {
      WritePart(title, "Rating", &kRatingEntries,
                [&] { WriteProfileRow(title, profile.get(), fingerprint, locality); });
    });
    profile.reset();
    RunSections(title, result.locked_sections);
    DeriveTelevision(title);
    database.NoteImported(store::CatalogueFile::List::kProfiles, result.profile_id);
    if (scope) scope->Commit();
  } catch (...) {
    // The rollback took back any role learned by this title; forget the loaded mapping too, so
    // that such a role is learned again when it next comes.
    CrewMappingTable().RemoveAll();
    database.ForgetImported();
    throw;
  }
  // The lists of the catalogue that are loaded show the title as it now is.
  if (options.sync_loaded_lists) {
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
                               const ParsedTitleOptions& options) {
  store::CatalogueFile& database = store::RequireActiveCatalogue();
  if (!options.own_savepoint && database.connection().ScopeDepth() == 0) {
    throw std::logic_error(
        "ImportParsedTitle: a title written without a savepoint of its own needs an open write "
        "scope");
  }
  return ImportTitle(database, dvd, fingerprint, options);
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
  return ImportTitle(database, dvd, TitleFingerprint(DocumentElement(markup)), {});
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
