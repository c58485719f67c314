#include "store/schema.h"

#include "store/catalogue_file.h"

namespace zel {

const std::vector<std::string>& TableStatements() {
  static const std::vector<std::string> statements = {
      "CREATE TABLE Alias (AliasName varchar NOT NULL UNIQUE PRIMARY KEY, CommonName varchar NOT "
      "NULL, BirthYear integer, Comment varchar)",
      "CREATE TABLE Awards (Award varchar NOT NULL, Year integer NOT NULL, Category varchar, "
      "MovieTitle varchar NOT NULL, Won yesno, Nominee varchar, MovieYear integer)",
      "CREATE TABLE SQLQueries (Name varchar NOT NULL UNIQUE PRIMARY KEY, SQLStatement memo NOT "
      "NULL)",
      "CREATE TABLE Currencies (CurrencyID varchar NOT NULL UNIQUE PRIMARY KEY, CurrencyName "
      "varchar, CurrencySymbol varchar)",
      "CREATE TABLE Users (UserID varchar NOT NULL UNIQUE PRIMARY KEY, PhoneNumber varchar, "
      "EmailAddress varchar, IsActive yesno)",
      "CREATE TABLE Profile2Episodes (ProfileID varchar NOT NULL, EpisodeID varchar NOT NULL, "
      "PRIMARY KEY (ProfileID, EpisodeID))",
      "CREATE TABLE Translation (OriginalString varchar UNIQUE PRIMARY KEY, UserString varchar "
      "NOT NULL)",
      "CREATE TABLE DbInfo (InfoName varchar PRIMARY KEY, InfoValue memo, Comment varchar)",
      "CREATE TABLE AdditionalInfo (ProfileID varchar NOT NULL, InfoName varchar, InfoValue memo, "
      "InfoType varchar, PRIMARY KEY (ProfileID, InfoName))",
      "CREATE TABLE MetaInfo (ProfileID varchar NOT NULL, InfoName varchar, InfoValue memo, "
      "PRIMARY KEY (ProfileID, InfoName))",
      "CREATE TABLE Events (EventID long PRIMARY KEY NOT NULL, ProfileID varchar NOT NULL, UserID "
      "varchar NOT NULL REFERENCES Users(UserID), EventType varchar, EventTimeStamp date, Comment "
      "varchar)",
      "CREATE TABLE Retailers (Name varchar PRIMARY KEY, Type varchar, Website varchar)",
      "CREATE TABLE Profiles (ProfileID varchar NOT NULL UNIQUE PRIMARY KEY, Medium varchar, "
      "Title varchar NOT NULL, OriginalTitle varchar, SortTitle varchar, OriginalSortTitle "
      "varchar, Description varchar, ColNo varchar, ColType varchar, UPC varchar, "
      "ProfileTimestamp date, Rating varchar, RatingSystem varchar, RatingDetails varchar, "
      "ProdYear integer, Released date, Runtime integer, CaseType varchar, Overview memo, Notes "
      "memo, Eastereggs memo, LastEdited date, WishListPriority integer, DataSource varchar, "
      "Locality varchar, CountryOfOrigin varchar, CountAs integer, MD5 varchar)",
      "CREATE TABLE TVSeries (SeriesID varchar NOT NULL UNIQUE PRIMARY KEY, OriginalTitle varchar "
      "NOT NULL, Title varchar NOT NULL, SortTitle varchar, OriginalSortTitle varchar)",
      "CREATE TABLE CastCrew (Name varchar NOT NULL, Role varchar, ProfileID varchar NOT NULL, "
      "Position integer NOT NULL, BirthYear integer, IsUncredited yesno, IsVoice yesno, IsCast "
      "yesno, IsCreditOnly yesno, PRIMARY KEY (ProfileID, Name, Position, IsCast))",
      "CREATE TABLE Episodes (EpisodeID varchar NOT NULL UNIQUE PRIMARY KEY, EpisodeNo varchar, "
      "EpisodeTitle varchar, EpisodeOriginalTitle varchar, Season varchar, Overview memo, Runtime "
      "integer, Rating varchar, RatingSystem varchar, RatingDetails varchar, Airdate date, Notes "
      "memo, SeriesID varchar NOT NULL)",
      "CREATE TABLE TVCastCrew (Name varchar NOT NULL, Role varchar, Position integer NOT NULL, "
      "EpisodeID varchar NOT NULL, BirthYear integer, IsUncredited yesno, IsVoice yesno, IsCast "
      "yesno, IsRegular yesno, IsCreditOnly yesno, PRIMARY KEY (EpisodeID, Name, Position, "
      "IsCast))",
      "CREATE TABLE BoxSet (ChildID varchar UNIQUE NOT NULL PRIMARY KEY, BoxSetID varchar NOT "
      "NULL)",
      "CREATE TABLE Discs (ProfileID varchar NOT NULL, DiscNo integer NOT NULL, Description "
      "varchar, DiscIDSideA varchar, LabelSideA varchar, DescriptionSideB varchar, DiscIDSideB "
      "varchar, LabelSideB varchar, DualSided yesno, DualLayered yesno, DualLayeredSideB yesno, "
      "Flipper yesno, Location varchar, Slot varchar, PRIMARY KEY (ProfileID, DiscNo))",
      "CREATE TABLE Regions (ProfileID varchar NOT NULL, Region integer NOT NULL, PRIMARY KEY "
      "(ProfileID, Region))",
      "CREATE TABLE Locks (ProfileID varchar NOT NULL, LockName varchar, PRIMARY KEY (ProfileID, "
      "LockName))",
      "CREATE TABLE VideoFormat (ProfileID varchar NOT NULL PRIMARY KEY, AspectRatio varchar(4), "
      "VideoStandard varchar, LetterBox yesno, PanAndScan yesno, FullFrame yesno, F16X9 yesno)",
      "CREATE TABLE Features (ProfileID varchar NOT NULL, Feature varchar, PRIMARY KEY "
      "(ProfileID, Feature))",
      "CREATE TABLE Studios (ProfileID varchar NOT NULL, Studio varchar NOT NULL, Type varchar "
      "NOT NULL, PRIMARY KEY (ProfileID, Studio, Type))",
      "CREATE TABLE Genres (ProfileID varchar NOT NULL, Genre varchar, PRIMARY KEY (ProfileID, "
      "Genre))",
      "CREATE TABLE Subtitles (ProfileID varchar NOT NULL, Subtitle varchar, PRIMARY KEY "
      "(ProfileID, Subtitle))",
      "CREATE TABLE AudioFormats (ProfileID varchar NOT NULL, OrderPos integer NOT NULL, Language "
      "varchar, Compression varchar, Channels varchar, PRIMARY KEY (ProfileID, OrderPos))",
      "CREATE TABLE Reviews (ProfileID varchar PRIMARY KEY, Film integer, Video integer, Audio "
      "integer, Extras integer)",
      "CREATE TABLE SRPInfo (ProfileID varchar PRIMARY KEY, SRPValue NUMERIC, CurrencyID "
      "varchar(5) REFERENCES Currencies(CurrencyID))",
      "CREATE TABLE PurchaseInfo (ProfileID varchar PRIMARY KEY, Price NUMERIC, CurrencyID "
      "varchar(5) REFERENCES Currencies(CurrencyID), PurchaseDate date, PurchasePlace varchar "
      "REFERENCES Retailers(Name))",
      "CREATE TABLE LoanInfo (ProfileID varchar PRIMARY KEY, UserID varchar NOT NULL REFERENCES "
      "Users(UserID), LoanedDue date)",
      "CREATE TABLE Tags (ProfileID varchar, TagName varchar NOT NULL, FullyQualifiedName "
      "varchar, PRIMARY KEY (ProfileID, TagName))",
  };
  return statements;
}

const std::vector<std::string>& IndexStatements() {
  struct Index {
    const char* name;
    const char* table_and_columns;
    bool unique;
  };
  static const Index kIndexes[] = {
      {"idx_AdditionalInfo_ProfileIDInfoName", "AdditionalInfo (ProfileID, InfoName)", true},
      {"idx_MetaInfo_ProfileIDInfoName", "MetaInfo (ProfileID, InfoName)", true},
      {"idx_Episodes_EpisodeID", "Episodes (EpisodeID)", true},
      {"idx_Episodes_SeriesIDSeason", "Episodes (SeriesID, Season)", false},
      {"idx_Alias_AliasName", "Alias (AliasName, BirthYear)", true},
      {"idx_Alias_CommonName", "Alias (CommonName)", false},
      {"idx_AudioFormats_ProfileID", "AudioFormats (ProfileID)", false},
      {"idx_BoxSet_BoxsetID", "BoxSet (BoxSetID)", false},
      {"idx_BoxSet_ChildID", "BoxSet (ChildID)", true},
      {"idx_CastCrew_ProfileID", "CastCrew (ProfileID)", false},
      {"idx_CastCrew_Name", "CastCrew (Name)", false},
      {"idx_Discs_ProfileID", "Discs (ProfileID)", false},
      {"idx_Events_ProfileID", "Events (ProfileID)", false},
      {"idx_Events_EventID", "Events (EventID)", true},
      {"idx_Features_ProfileID", "Features (ProfileID)", false},
      {"idx_Genres_ProfileID", "Genres (ProfileID)", false},
      {"idx_LoanInfo_ProfileID", "LoanInfo (ProfileID)", true},
      {"idx_Locks_ProfileID", "Locks (ProfileID)", false},
      {"idx_Profile2Episodes_ProfileID", "Profile2Episodes (ProfileID)", false},
      {"idx_Profile2Episodes_EpisodeID", "Profile2Episodes (EpisodeID)", false},
      {"idx_Profiles_ProfileID", "Profiles (ProfileID)", true},
      {"idx_PurchaseInfo_ProfileID", "PurchaseInfo (ProfileID)", true},
      {"idx_Regions_ProfileID", "Regions (ProfileID)", false},
      {"idx_Reviews_ProfileID", "Reviews (ProfileID)", true},
      {"idx_SRPInfo_ProfileID", "SRPInfo (ProfileID)", true},
      {"idx_Studios_ProfileID", "Studios (ProfileID)", false},
      {"idx_Subtitles_ProfileID", "Subtitles (ProfileID)", false},
      {"idx_Tags_ProfileID", "Tags (ProfileID)", false},
      {"idx_Translation_OriginalString", "Translation (OriginalString)", true},
      {"idx_Translation_UserString", "Translation (UserString)", false},
      {"idx_TVCastCrew_EpisodeID", "TVCastCrew (EpisodeID)", false},
      {"idx_TVCastCrew_Name", "TVCastCrew (Name)", false},
      {"idx_TVSeries_SeriesID", "TVSeries (SeriesID)", true},
      {"idx_Users_UserID", "Users (UserID)", true},
      {"idx_VideoFormat_ProfileID", "VideoFormat (ProfileID)", true},
      {"idx_Awards_MovieTitle_Year", "Awards (MovieTitle, Year)", false},
      {"idx_Awards_Nominee", "Awards (Nominee)", false},
  };
  static const std::vector<std::string> statements = [] {
    std::vector<std::string> built;
    for (const Index& index : kIndexes) {
      built.push_back(std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                      index.name + " ON " + index.table_and_columns);
    }
    return built;
  }();
  return statements;
}

void BuildSchema(store::CatalogueFile& database) {
  for (const std::string& statement : TableStatements()) database.DbExecute(statement);
  for (const std::string& statement : IndexStatements()) database.DbExecute(statement);
  // The column display properties of the original engine have no meaning in this file format.
}

}  // namespace zel
