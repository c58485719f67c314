// Import of DVD Profiler's collection XML, one title (one DVD element) at a time.
//
// A title becomes one profile of the active catalogue: its Profiles row, meta entries, cast and
// crew, box set, discs, regions, video format, features, studios, genres, subtitles, audio tracks,
// price, review, purchase, events, loan and tags, each section replacing what the catalogue held
// for the title. The profile is "Key_" + the title's ID. A stored fingerprint of the element's
// markup (TitleFingerprint) recognises an unchanged title, which is left alone without a single
// write; the profile's lock rows protect the whole title ("Entire") or single sections and columns
// of a changed one. Sections and columns edited here since the title's last import
// (store/title_parts.h) are kept as locked ones are; when the export changed them too, that is a
// conflict, and the version edited here still stays unless the caller prefers the export's.
//
// One title's import is all or nothing: any error leaves the catalogue as it was before the call
// (a new title absent, a changed one in its previous version) and reaches the caller. Shared
// reference rows (currencies, retailers, users, aliases) are only ever added, never changed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel {

namespace store {
class CatalogueFile;
}  // namespace store
namespace xml {
class Node;
}
struct TitleCredits;

enum class ImportOutcome {
  kNew,            // the profile did not exist and was written
  kChanged,        // the profile existed with another fingerprint and was rewritten
  kUnchanged,      // the stored fingerprint matched: nothing was written
  kLocked,         // the title changed but its profile is locked as a whole: nothing was written
  kSchemaRefused,  // the catalogue file is newer than this session knows: nothing was written
};

struct ImportResult {
  ImportOutcome outcome = ImportOutcome::kUnchanged;
  std::string profile_id;  // "Key_" + ID; empty when refused for the schema
  std::string title;
  // Of a changed title: the parts whose stored rows the import changed, named by the locks that
  // would have kept them ("Cast", "Overview", ...) or, where none would, by their element
  // ("Exclusions"), in the order of the import; its time stamps and fingerprint are left out. And
  // the sections its locks kept as they were.
  std::vector<std::string> changed_sections;
  std::vector<std::string> locked_sections;
  // Of a changed title: the parts edited here since its last import that keep the version edited
  // here, and the conflicts: parts edited here that the export changed as well. A conflict keeps
  // the version edited here, unless the import prefers the export's (then it is among the changed
  // sections instead).
  std::vector<std::string> kept_sections;
  std::vector<std::string> conflicts;
};

// Imports the DVD element given as markup (UTF-8 text; an encoding named in a declaration is
// ignored) into the active catalogue. Raises 91 when no catalogue is active. When the catalogue's
// stored schema number is above the one recorded when it was opened, shows the warning "Zel
// Database Version not supported" (title "Import Profiler XML") and returns kSchemaRefused.
// Markup that names an external DTD or entity or expands entities beyond a few megabytes raises 5
// (nothing outside the markup is read). Markup that is not well-formed, a document element other
// than DVD and a DVD without ID, Title or UPC raise 91 with a description of what is missing; an ID
// whose locality is not a number raises the conversion's error; engine errors pass unchanged.
ImportResult ImportProfilerXml(std::string_view markup);
// The same into `database`, whichever catalogue is active (ZelDatabase.ImportSingleProfilerXMLNode
// of that catalogue).
ImportResult ImportProfilerXml(store::CatalogueFile& database, std::string_view markup);

// For importers of many titles, such as the collection import: they check the schema once
// (ImportRefusesSchema) and take each title's fingerprint of its bytes (TitleFingerprint).

// Whether the stored profile `profile_id` carries `fingerprint`, so that its title is unchanged
// and needs no import (not even a parse). False when the catalogue keeps no fingerprints.
bool IsStoredUnchanged(std::string_view profile_id, std::string_view fingerprint);

struct ParsedTitleOptions {
  // False: the loaded lists of the catalogue are not brought in step, for an import whose writes
  // are to be rolled back.
  bool sync_loaded_lists = true;
  // A part that both the export and this catalogue changed since the title's last import takes
  // the export's version.
  bool prefer_export = false;
  // True: the title is written in a savepoint of its own, so that a title that raises leaves the
  // catalogue as it was. False: it is written straight into the caller's write scope, which must
  // be open; a title that raises leaves its partial writes there, and the caller must roll that
  // scope back. A savepoint makes the engine keep a copy of every page the title changes, which is
  // most of a new title's cost beyond its rows: importers of many titles undo a rare failure by
  // rolling back their batch instead.
  bool own_savepoint = true;
  // The title's cast and crew, read ahead from the same element (ReadTitleCredits) for the
  // catalogue's schema, and taken by the import; none: they are read as they are written.
  TitleCredits* credits = nullptr;
};

// Imports a DVD element that is already parsed, whose fingerprint was taken of its markup. Its
// parse must not keep whitespace-only text between its children (as xml::Document does not).
ImportResult ImportParsedTitle(const xml::Node& dvd, const std::string& fingerprint,
                               const ParsedTitleOptions& options = {});

// Whether the import refuses the active catalogue because its stored schema number is above the
// one recorded when it was opened; shows the warning when it does. Raises 91 when no catalogue is
// active.
bool ImportRefusesSchema();

// The stored profile that `text` names: its ProfileID as stored ("Key_123", letter case ignored as
// keys are), or the ID of an imported title as DVD Profiler shows it ("123" for "Key_123"). Empty
// when the catalogue holds neither.
std::string FindProfileId(store::CatalogueFile& database, std::string_view text);

// For an error about a title that FindProfileId did not find: stored ProfileIDs that begin with
// either form of `text` (an ID without its locality, say), at most `limit`, in ProfileID order.
std::vector<std::string> SimilarProfileIds(store::CatalogueFile& database, std::string_view text,
                                           int limit = 3);

// Text of an outcome for people and scripts: "new", "changed", "unchanged", "locked", "refused".
std::string_view OutcomeName(ImportOutcome outcome);

}  // namespace zel
