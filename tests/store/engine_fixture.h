// A catalogue file for the tests of the engine adapter: a few tables of the catalogue through a
// connection, and the file read back with the plain SQLite library.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "frame/variant.h"
#include "store/connection.h"
#include "support/test_support.h"

namespace zel::store {

// A few tables of the catalogue, written as the library writes them.
inline constexpr const char* kTables[] = {
    "CREATE TABLE Users (UserID varchar NOT NULL UNIQUE PRIMARY KEY, PhoneNumber varchar, "
    "EmailAddress varchar, IsActive yesno)",
    "CREATE TABLE Currencies (CurrencyID varchar NOT NULL UNIQUE PRIMARY KEY, CurrencyName "
    "varchar, CurrencySymbol varchar)",
    "CREATE TABLE Retailers (Name varchar PRIMARY KEY, Type varchar, Website varchar)",
    "CREATE TABLE Events (EventID long PRIMARY KEY NOT NULL, ProfileID varchar NOT NULL, UserID "
    "varchar NOT NULL REFERENCES Users(UserID), EventType varchar, EventTimeStamp date, Comment "
    "varchar)",
    "CREATE TABLE Profiles (ProfileID varchar NOT NULL UNIQUE PRIMARY KEY, Title varchar NOT NULL, "
    "SortTitle varchar, ProdYear integer, Released date, Overview memo, CountAs integer)",
    "CREATE TABLE CastCrew (Name varchar NOT NULL, Role varchar, ProfileID varchar NOT NULL, "
    "Position integer NOT NULL, BirthYear integer, IsUncredited yesno, IsVoice yesno, IsCast "
    "yesno, IsCreditOnly yesno, PRIMARY KEY (ProfileID, Name, Position, IsCast))",
    "CREATE TABLE VideoFormat (ProfileID varchar NOT NULL PRIMARY KEY, AspectRatio varchar(4), "
    "VideoStandard varchar, LetterBox yesno)",
    "CREATE TABLE SRPInfo (ProfileID varchar PRIMARY KEY, SRPValue NUMERIC, CurrencyID "
    "varchar(5) REFERENCES Currencies(CurrencyID))",
    "CREATE TABLE Alias (AliasName varchar NOT NULL UNIQUE PRIMARY KEY, CommonName varchar NOT "
    "NULL, BirthYear integer, Comment varchar)",
    "CREATE TABLE Awards (Award varchar NOT NULL, Year integer NOT NULL, Category varchar, "
    "MovieTitle varchar NOT NULL, Won yesno, Nominee varchar, MovieYear integer)",
    "CREATE UNIQUE INDEX idx_Alias_AliasName ON Alias (AliasName, BirthYear)",
    "CREATE INDEX idx_CastCrew_Name ON CastCrew (Name)",
};

struct RawCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};

// The first column of the first row of a query, read with the plain SQLite library and no help of
// the adapter; "<none>" when there is no row, "<null>" for a null.
inline std::string RawQuery(const std::string& path, const std::string& sql) {
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(raw);
    throw std::runtime_error("cannot open " + path);
  }
  std::unique_ptr<sqlite3, RawCloser> db(raw);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(raw, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    throw std::runtime_error(sqlite3_errmsg(raw));
  }
  std::string result = "<none>";
  if (sqlite3_step(statement) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    result = text ? text : "<null>";
  }
  sqlite3_finalize(statement);
  return result;
}

class Catalogue {
 public:
  Catalogue() : path_(dir_.File("catalogue.zel")), db_(Connection::Create(path_)) {
    for (const char* sql : kTables) db_->Execute(sql);
  }
  Connection& db() { return *db_; }
  std::shared_ptr<Connection>& shared() { return db_; }
  const std::string& path() const { return path_; }
  std::string Raw(const std::string& sql) const { return RawQuery(path_, sql); }
  // The value of the first row's first column through the adapter.
  Variant First(std::string_view sql) {
    auto records = db_->OpenRecordSet(sql);
    if (records->Eof()) return Variant("<none>");
    return records->ValueAt(0);
  }
  int64_t Count(const std::string& table) {
    return std::stoll(Raw("SELECT count(*) FROM " + table));
  }

 private:
  testing::TempDir dir_;
  std::string path_;
  std::shared_ptr<Connection> db_;
};

}  // namespace zel::store
