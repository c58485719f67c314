// The stored tables of a catalogue, each described once: its columns with their types and
// constraints, its key, the property of the record class each column is read into, and the schema
// numbers a column exists in.
//
// Everything that meets a table reads this description: the schema builder writes the definition
// statements from it, the loaders select the columns a file of its schema has, and the saves
// write and guard those columns (store/row_images.h). A new column is one line here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"

namespace zel::store {

// The schema numbers at which the file format changed (the DbInfo entry "Schema"). A file keeps
// the number it was created with; operations adapt to it.
namespace schema {
// IsCast, IsUncredited, IsVoice and Awards.Won are yes/no columns; before, texts.
inline constexpr int16_t kFlagsAsYesNo = 76;
// Awards has no AwardID checksum column any more.
inline constexpr int16_t kAwardsWithoutId = 77;
// Profiles.MD5, the fingerprint of an imported title.
inline constexpr int16_t kTitleFingerprint = 78;
// TVCastCrew.IsRegular.
inline constexpr int16_t kRegularCredits = 79;
// Awards.MovieYear, the film's production year.
inline constexpr int16_t kAwardFilmYear = 80;
// AdditionalInfo.InfoType.
inline constexpr int16_t kInfoTypes = 84;
// IsCreditOnly of both credit tables, Profiles.CountAs and Users.IsActive; profiles save their meta
// entries from this schema on.
inline constexpr int16_t kCreditOnly = 88;
// The schema this library creates.
inline constexpr int16_t kCurrent = 89;
}  // namespace schema

// How a yes/no column was kept before schema::kFlagsAsYesNo.
enum class OldFlagForm {
  kNone,       // a yes/no column in every file
  kTrueFalse,  // the texts "True" and "False"
  kYesNo,      // the texts "yes" and "no"
  kWonMark,    // "X" for true, the empty text for false
};

struct ColumnLayout {
  std::string_view name;
  // As the definition writes it: varchar, varchar(n), memo, integer, long, NUMERIC, date, yesno.
  std::string_view type;
  // NOT NULL, UNIQUE, PRIMARY KEY and REFERENCES t(c), in the order the definition writes them.
  std::string_view constraints;
  // The property of the record class the column is read into; empty for a column no property
  // holds (the owner's identifier, the cast flag, a column kept only as stored).
  std::string_view property;
  int16_t from_schema = 0;   // the first schema number that has the column
  int16_t until_schema = 0;  // the first that no longer has it; 0 while every newer one has it
  OldFlagForm old_form = OldFlagForm::kNone;

  ColumnType Type() const;
  bool In(int16_t schema) const {
    return schema >= from_schema && (until_schema == 0 || schema < until_schema);
  }
};

struct TableLayout {
  std::string_view name;
  std::vector<ColumnLayout> columns;
  // The primary key; with more than one column written as a table constraint.
  std::vector<std::string_view> key;
  // The column that names the profile, episode or series a row belongs to; empty for none.
  std::string_view owner;

  // "CREATE TABLE name (columns...)" as a new file is built.
  std::string Definition() const;
  // Position of a column; raises std::logic_error for a name the table lacks.
  size_t IndexOf(std::string_view column) const;
  const ColumnLayout& Column(std::string_view column) const { return columns[IndexOf(column)]; }
};

// The tables, in creation order (the referenced ones before those that refer to them).
enum class Table : uint8_t {
  kAlias,
  kAwards,
  kSQLQueries,
  kCurrencies,
  kUsers,
  kProfile2Episodes,
  kTranslation,
  kDbInfo,
  kAdditionalInfo,
  kMetaInfo,
  kEvents,
  kRetailers,
  kProfiles,
  kTVSeries,
  kCastCrew,
  kEpisodes,
  kTVCastCrew,
  kBoxSet,
  kDiscs,
  kRegions,
  kLocks,
  kVideoFormat,
  kFeatures,
  kStudios,
  kGenres,
  kSubtitles,
  kAudioFormats,
  kReviews,
  kSRPInfo,
  kPurchaseInfo,
  kLoanInfo,
  kTags,
};

const TableLayout& Describe(Table table);
// Every table in creation order.
const std::vector<TableLayout>& AllTables();

struct IndexLayout {
  std::string_view name;
  std::string_view table;
  std::string_view columns;  // "a, b"
  bool unique = false;
};
// The indexes, created after every table, in creation order.
const std::vector<IndexLayout>& AllIndexes();

// The tables that keep rows of a profile under its ProfileID, its lists and links included
// (BoxSet aside, which names profiles in two columns). An episode keeps its lists in the same
// tables under its EpisodeID (EpisodeListTables).
const std::vector<Table>& ProfileRowTables();
const std::vector<Table>& EpisodeListTables();

}  // namespace zel::store
