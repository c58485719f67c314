// The descriptions themselves. Column order is the order of the definition statements; the file
// format depends on it.
#include "store/tables.h"

#include <stdexcept>

#include "frame/text.h"

namespace zel::store {
namespace {

using S = OldFlagForm;

std::vector<TableLayout> BuildTables() {
  // Each line: column, type, constraints, property, first schema, first schema without it.
  return {
      {"Alias",
       {{"AliasName", "varchar", "NOT NULL UNIQUE PRIMARY KEY", "AliasName"},
        {"CommonName", "varchar", "NOT NULL", "CommonName"},
        {"BirthYear", "integer", "", "BirthYear"},
        {"Comment", "varchar", "", "Comment"}},
       {"AliasName"},
       ""},
      {"Awards",
       {{"Award", "varchar", "NOT NULL", "Award"},
        {"Year", "integer", "NOT NULL", "Year"},
        {"Category", "varchar", "", "Category"},
        {"MovieTitle", "varchar", "NOT NULL", "MovieTitle"},
        {"Won", "yesno", "", "HasWon", 0, 0, S::kWonMark},
        {"Nominee", "varchar", "", "Nominee"},
        {"MovieYear", "integer", "", "MovieYear", schema::kAwardFilmYear},
        {"AwardID", "long", "", "", 0, schema::kAwardsWithoutId}},
       {},
       ""},
      {"SQLQueries",
       {{"Name", "varchar", "NOT NULL UNIQUE PRIMARY KEY", "Name"},
        {"SQLStatement", "memo", "NOT NULL", "SQLStatement"}},
       {"Name"},
       ""},
      {"Currencies",
       {{"CurrencyID", "varchar", "NOT NULL UNIQUE PRIMARY KEY", "CurrencyID"},
        {"CurrencyName", "varchar", "", "CurrencyName"},
        {"CurrencySymbol", "varchar", "", "CurrencySymbol"}},
       {"CurrencyID"},
       ""},
      {"Users",
       {{"UserID", "varchar", "NOT NULL UNIQUE PRIMARY KEY", "Name"},
        {"PhoneNumber", "varchar", "", "Phone"},
        {"EmailAddress", "varchar", "", "Email"},
        {"IsActive", "yesno", "", "IsActive", schema::kCreditOnly}},
       {"UserID"},
       ""},
      {"Profile2Episodes",
       {{"ProfileID", "varchar", "NOT NULL", ""}, {"EpisodeID", "varchar", "NOT NULL", ""}},
       {"ProfileID", "EpisodeID"},
       "ProfileID"},
      {"Translation",
       {{"OriginalString", "varchar", "UNIQUE PRIMARY KEY", ""},
        {"UserString", "varchar", "NOT NULL", ""}},
       {"OriginalString"},
       ""},
      {"DbInfo",
       {{"InfoName", "varchar", "PRIMARY KEY", ""},
        {"InfoValue", "memo", "", ""},
        {"Comment", "varchar", "", ""}},
       {"InfoName"},
       ""},
      {"AdditionalInfo",
       {{"ProfileID", "varchar", "NOT NULL", ""},
        {"InfoName", "varchar", "", "Name"},
        {"InfoValue", "memo", "", "Value"},
        {"InfoType", "varchar", "", "InfoType", schema::kInfoTypes}},
       {"ProfileID", "InfoName"},
       "ProfileID"},
      {"MetaInfo",
       {{"ProfileID", "varchar", "NOT NULL", ""},
        {"InfoName", "varchar", "", "Name"},
        {"InfoValue", "memo", "", "Value"}},
       {"ProfileID", "InfoName"},
       "ProfileID"},
      {"Events",
       {{"EventID", "long", "PRIMARY KEY NOT NULL", "EventID"},
        {"ProfileID", "varchar", "NOT NULL", ""},
        {"UserID", "varchar", "NOT NULL REFERENCES Users(UserID)", "UserID"},
        {"EventType", "varchar", "", "EventType"},
        {"EventTimeStamp", "date", "", "TimeStamp"},
        {"Comment", "varchar", "", "Comment"}},
       {"EventID"},
       "ProfileID"},
      {"Retailers",
       {{"Name", "varchar", "PRIMARY KEY", "Name"},
        {"Type", "varchar", "", "PlaceType"},
        {"Website", "varchar", "", "Website"}},
       {"Name"},
       ""},
      {"Profiles",
       {{"ProfileID", "varchar", "NOT NULL UNIQUE PRIMARY KEY", "ProfileID"},
        {"Medium", "varchar", "", "Medium"},
        {"Title", "varchar", "NOT NULL", "Title"},
        {"OriginalTitle", "varchar", "", "OriginalTitle"},
        {"SortTitle", "varchar", "", "SortTitle"},
        {"OriginalSortTitle", "varchar", "", "OriginalSortTitle"},
        {"Description", "varchar", "", "Description"},
        {"ColNo", "varchar", "", "CollectionNumber"},
        {"ColType", "varchar", "", "CollectionType"},
        {"UPC", "varchar", "", "UPC"},
        {"ProfileTimestamp", "date", "", "ProfileTimeStamp"},
        {"Rating", "varchar", "", "Rating"},
        {"RatingSystem", "varchar", "", "RatingSystem"},
        {"RatingDetails", "varchar", "", "RatingDetails"},
        {"ProdYear", "integer", "", "ProductionYear"},
        {"Released", "date", "", "ReleaseDate"},
        {"Runtime", "integer", "", "RunningTime"},
        {"CaseType", "varchar", "", "CaseType"},
        {"Overview", "memo", "", "Overview"},
        {"Notes", "memo", "", "Notes"},
        {"Eastereggs", "memo", "", "EasterEggs"},
        {"LastEdited", "date", "", "LastEdited"},
        {"WishListPriority", "integer", "", "WishListPriority"},
        {"DataSource", "varchar", "", "DataSource"},
        {"Locality", "varchar", "", "Locality"},
        {"CountryOfOrigin", "varchar", "", "CountryOfOrigin"},
        {"CountAs", "integer", "", "CountAs", schema::kCreditOnly},
        {"MD5", "varchar", "", "MD5", schema::kTitleFingerprint}},
       {"ProfileID"},
       "ProfileID"},
      {"TVSeries",
       {{"SeriesID", "varchar", "NOT NULL UNIQUE PRIMARY KEY", "ShowID"},
        {"OriginalTitle", "varchar", "NOT NULL", "OriginalTitle"},
        {"Title", "varchar", "NOT NULL", "Title"},
        {"SortTitle", "varchar", "", "SortTitle"},
        {"OriginalSortTitle", "varchar", "", "OriginalSortTitle"}},
       {"SeriesID"},
       "SeriesID"},
      {"CastCrew",
       {{"Name", "varchar", "NOT NULL", "Name"},
        {"Role", "varchar", "", "Role"},
        {"ProfileID", "varchar", "NOT NULL", ""},
        {"Position", "integer", "NOT NULL", "Position"},
        {"BirthYear", "integer", "", "BirthYear"},
        {"IsUncredited", "yesno", "", "IsUncredited", 0, 0, S::kTrueFalse},
        {"IsVoice", "yesno", "", "IsVoice", 0, 0, S::kTrueFalse},
        {"IsCast", "yesno", "", "", 0, 0, S::kYesNo},
        {"IsCreditOnly", "yesno", "", "IsCreditOnly", schema::kCreditOnly}},
       {"ProfileID", "Name", "Position", "IsCast"},
       "ProfileID"},
      {"Episodes",
       {{"EpisodeID", "varchar", "NOT NULL UNIQUE PRIMARY KEY", "EpisodeID"},
        {"EpisodeNo", "varchar", "", "Number"},
        {"EpisodeTitle", "varchar", "", "Title"},
        {"EpisodeOriginalTitle", "varchar", "", "OriginalTitle"},
        {"Season", "varchar", "", "Season"},
        {"Overview", "memo", "", "Overview"},
        {"Runtime", "integer", "", "RunningTime"},
        {"Rating", "varchar", "", "Rating"},
        {"RatingSystem", "varchar", "", "RatingSystem"},
        {"RatingDetails", "varchar", "", "RatingDetails"},
        {"Airdate", "date", "", "Airdate"},
        {"Notes", "memo", "", "Notes"},
        {"SeriesID", "varchar", "NOT NULL", "ShowID"}},
       {"EpisodeID"},
       "EpisodeID"},
      {"TVCastCrew",
       {{"Name", "varchar", "NOT NULL", "Name"},
        {"Role", "varchar", "", "Role"},
        {"Position", "integer", "NOT NULL", "Position"},
        {"EpisodeID", "varchar", "NOT NULL", ""},
        {"BirthYear", "integer", "", "BirthYear"},
        {"IsUncredited", "yesno", "", "IsUncredited", 0, 0, S::kTrueFalse},
        {"IsVoice", "yesno", "", "IsVoice", 0, 0, S::kTrueFalse},
        {"IsCast", "yesno", "", "", 0, 0, S::kYesNo},
        {"IsRegular", "yesno", "", "IsRegular", schema::kRegularCredits},
        {"IsCreditOnly", "yesno", "", "IsCreditOnly", schema::kCreditOnly}},
       {"EpisodeID", "Name", "Position", "IsCast"},
       "EpisodeID"},
      {"BoxSet",
       {{"ChildID", "varchar", "UNIQUE NOT NULL PRIMARY KEY", ""},
        {"BoxSetID", "varchar", "NOT NULL", ""}},
       {"ChildID"},
       ""},
      {"Discs",
       {{"ProfileID", "varchar", "NOT NULL", ""},
        {"DiscNo", "integer", "NOT NULL", "Number"},
        {"Description", "varchar", "", "DescriptionSideA"},
        {"DiscIDSideA", "varchar", "", "DiscIDSideA"},
        {"LabelSideA", "varchar", "", "LabelSideA"},
        {"DescriptionSideB", "varchar", "", "DescriptionSideB"},
        {"DiscIDSideB", "varchar", "", "DiscIDSideB"},
        {"LabelSideB", "varchar", "", "LabelSideB"},
        {"DualSided", "yesno", "", "DualSided"},
        {"DualLayered", "yesno", "", "DualLayered"},
        {"DualLayeredSideB", "yesno", "", ""},
        {"Flipper", "yesno", "", "Flipper"},
        {"Location", "varchar", "", "Location"},
        {"Slot", "varchar", "", "Slot"}},
       {"ProfileID", "DiscNo"},
       "ProfileID"},
      // The plain lists keep each item in one column; their lists hold the items as texts.
      {"Regions",
       {{"ProfileID", "varchar", "NOT NULL", ""}, {"Region", "integer", "NOT NULL", ""}},
       {"ProfileID", "Region"},
       "ProfileID"},
      {"Locks",
       {{"ProfileID", "varchar", "NOT NULL", ""}, {"LockName", "varchar", "", ""}},
       {"ProfileID", "LockName"},
       "ProfileID"},
      {"VideoFormat",
       {{"ProfileID", "varchar", "NOT NULL PRIMARY KEY", ""},
        {"AspectRatio", "varchar(4)", "", "AspectRatio"},
        {"VideoStandard", "varchar", "", "VideoStandard"},
        {"LetterBox", "yesno", "", "LetterBox"},
        {"PanAndScan", "yesno", "", "PanAndScan"},
        {"FullFrame", "yesno", "", "FullFrame"},
        {"F16X9", "yesno", "", "Anamorphic"}},
       {"ProfileID"},
       "ProfileID"},
      {"Features",
       {{"ProfileID", "varchar", "NOT NULL", ""}, {"Feature", "varchar", "", ""}},
       {"ProfileID", "Feature"},
       "ProfileID"},
      {"Studios",
       {{"ProfileID", "varchar", "NOT NULL", ""},
        {"Studio", "varchar", "NOT NULL", "Name"},
        {"Type", "varchar", "NOT NULL", "StudioType"}},
       {"ProfileID", "Studio", "Type"},
       "ProfileID"},
      {"Genres",
       {{"ProfileID", "varchar", "NOT NULL", ""}, {"Genre", "varchar", "", ""}},
       {"ProfileID", "Genre"},
       "ProfileID"},
      {"Subtitles",
       {{"ProfileID", "varchar", "NOT NULL", ""}, {"Subtitle", "varchar", "", ""}},
       {"ProfileID", "Subtitle"},
       "ProfileID"},
      {"AudioFormats",
       {{"ProfileID", "varchar", "NOT NULL", ""},
        {"OrderPos", "integer", "NOT NULL", "Position"},
        {"Language", "varchar", "", "Language"},
        {"Compression", "varchar", "", "Compression"},
        {"Channels", "varchar", "", "Channels"}},
       {"ProfileID", "OrderPos"},
       "ProfileID"},
      {"Reviews",
       {{"ProfileID", "varchar", "PRIMARY KEY", ""},
        {"Film", "integer", "", "Film"},
        {"Video", "integer", "", "Video"},
        {"Audio", "integer", "", "Audio"},
        {"Extras", "integer", "", "Extras"}},
       {"ProfileID"},
       "ProfileID"},
      {"SRPInfo",
       {{"ProfileID", "varchar", "PRIMARY KEY", ""},
        {"SRPValue", "NUMERIC", "", "Value"},
        {"CurrencyID", "varchar(5)", "REFERENCES Currencies(CurrencyID)", "CurrencyID"}},
       {"ProfileID"},
       "ProfileID"},
      {"PurchaseInfo",
       {{"ProfileID", "varchar", "PRIMARY KEY", ""},
        {"Price", "NUMERIC", "", "Price"},
        {"CurrencyID", "varchar(5)", "REFERENCES Currencies(CurrencyID)", "CurrencyID"},
        {"PurchaseDate", "date", "", "PurchaseDate"},
        {"PurchasePlace", "varchar", "REFERENCES Retailers(Name)", "PurchasePlaceName"}},
       {"ProfileID"},
       "ProfileID"},
      {"LoanInfo",
       {{"ProfileID", "varchar", "PRIMARY KEY", ""},
        {"UserID", "varchar", "NOT NULL REFERENCES Users(UserID)", "UserID"},
        {"LoanedDue", "date", "", "LoanedDue"}},
       {"ProfileID"},
       "ProfileID"},
      {"Tags",
       {{"ProfileID", "varchar", "", ""},
        {"TagName", "varchar", "NOT NULL", "Name"},
        {"FullyQualifiedName", "varchar", "", "LongName"}},
       {"ProfileID", "TagName"},
       "ProfileID"},
  };
}

}  // namespace

ColumnType ColumnLayout::Type() const {
  if (type.starts_with("varchar")) return ColumnType::kText;
  if (type == "memo") return ColumnType::kMemo;
  if (type == "integer" || type == "long") return ColumnType::kLong;
  if (type == "NUMERIC") return ColumnType::kDouble;
  if (type == "date") return ColumnType::kDate;
  return ColumnType::kBoolean;
}

std::string TableLayout::Definition() const {
  std::string sql = "CREATE TABLE " + std::string(name) + " (";
  bool first = true;
  for (const ColumnLayout& column : columns) {
    if (!column.In(schema::kCurrent)) continue;
    if (!first) sql += ", ";
    first = false;
    sql += std::string(column.name) + " " + std::string(column.type);
    if (!column.constraints.empty()) sql += " " + std::string(column.constraints);
  }
  if (key.size() > 1) {
    sql += ", PRIMARY KEY (";
    for (size_t i = 0; i < key.size(); ++i) sql += (i ? ", " : "") + std::string(key[i]);
    sql += ")";
  }
  return sql + ")";
}

size_t TableLayout::IndexOf(std::string_view column) const {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (EqualsIgnoreCase(columns[i].name, column)) return i;
  }
  throw std::logic_error("table " + std::string(name) + " has no column " + std::string(column));
}

const std::vector<TableLayout>& AllTables() {
  static const std::vector<TableLayout> tables = BuildTables();
  return tables;
}

const TableLayout& Describe(Table table) { return AllTables()[static_cast<size_t>(table)]; }

const std::vector<IndexLayout>& AllIndexes() {
  static const std::vector<IndexLayout> indexes = {
      {"idx_AdditionalInfo_ProfileIDInfoName", "AdditionalInfo", "ProfileID, InfoName", true},
      {"idx_MetaInfo_ProfileIDInfoName", "MetaInfo", "ProfileID, InfoName", true},
      {"idx_Episodes_EpisodeID", "Episodes", "EpisodeID", true},
      {"idx_Episodes_SeriesIDSeason", "Episodes", "SeriesID, Season", false},
      {"idx_Alias_AliasName", "Alias", "AliasName, BirthYear", true},
      {"idx_Alias_CommonName", "Alias", "CommonName", false},
      {"idx_AudioFormats_ProfileID", "AudioFormats", "ProfileID", false},
      {"idx_BoxSet_BoxsetID", "BoxSet", "BoxSetID", false},
      {"idx_BoxSet_ChildID", "BoxSet", "ChildID", true},
      {"idx_CastCrew_ProfileID", "CastCrew", "ProfileID", false},
      {"idx_CastCrew_Name", "CastCrew", "Name", false},
      {"idx_Discs_ProfileID", "Discs", "ProfileID", false},
      {"idx_Events_ProfileID", "Events", "ProfileID", false},
      {"idx_Events_EventID", "Events", "EventID", true},
      {"idx_Features_ProfileID", "Features", "ProfileID", false},
      {"idx_Genres_ProfileID", "Genres", "ProfileID", false},
      {"idx_LoanInfo_ProfileID", "LoanInfo", "ProfileID", true},
      {"idx_Locks_ProfileID", "Locks", "ProfileID", false},
      {"idx_Profile2Episodes_ProfileID", "Profile2Episodes", "ProfileID", false},
      {"idx_Profile2Episodes_EpisodeID", "Profile2Episodes", "EpisodeID", false},
      {"idx_Profiles_ProfileID", "Profiles", "ProfileID", true},
      {"idx_PurchaseInfo_ProfileID", "PurchaseInfo", "ProfileID", true},
      {"idx_Regions_ProfileID", "Regions", "ProfileID", false},
      {"idx_Reviews_ProfileID", "Reviews", "ProfileID", true},
      {"idx_SRPInfo_ProfileID", "SRPInfo", "ProfileID", true},
      {"idx_Studios_ProfileID", "Studios", "ProfileID", false},
      {"idx_Subtitles_ProfileID", "Subtitles", "ProfileID", false},
      {"idx_Tags_ProfileID", "Tags", "ProfileID", false},
      {"idx_Translation_OriginalString", "Translation", "OriginalString", true},
      {"idx_Translation_UserString", "Translation", "UserString", false},
      {"idx_TVCastCrew_EpisodeID", "TVCastCrew", "EpisodeID", false},
      {"idx_TVCastCrew_Name", "TVCastCrew", "Name", false},
      {"idx_TVSeries_SeriesID", "TVSeries", "SeriesID", true},
      {"idx_Users_UserID", "Users", "UserID", true},
      {"idx_VideoFormat_ProfileID", "VideoFormat", "ProfileID", true},
      {"idx_Awards_MovieTitle_Year", "Awards", "MovieTitle, Year", false},
      {"idx_Awards_Nominee", "Awards", "Nominee", false},
  };
  return indexes;
}

const std::vector<Table>& ProfileRowTables() {
  static const std::vector<Table> tables = {
      Table::kTags,           Table::kVideoFormat,  Table::kStudios,         Table::kSRPInfo,
      Table::kReviews,        Table::kPurchaseInfo, Table::kLocks,           Table::kLoanInfo,
      Table::kAdditionalInfo, Table::kMetaInfo,     Table::kGenres,          Table::kFeatures,
      Table::kSubtitles,      Table::kEvents,       Table::kDiscs,           Table::kCastCrew,
      Table::kAudioFormats,   Table::kRegions,      Table::kProfile2Episodes};
  return tables;
}

const std::vector<Table>& EpisodeListTables() {
  static const std::vector<Table> tables = {
      Table::kVideoFormat,    Table::kStudios, Table::kReviews,     Table::kLocks,
      Table::kAdditionalInfo, Table::kGenres,  Table::kFeatures,    Table::kSubtitles,
      Table::kEvents,         Table::kTags,    Table::kAudioFormats};
  return tables;
}

}  // namespace zel::store
