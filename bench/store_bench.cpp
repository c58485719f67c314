// Statements per second of the engine adapter for the library's two commonest shapes: a credit
// insert and a profile lookup by key, each with and without the prepared-statement cache.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "store/connection.h"

namespace {

using zel::store::Connection;
using zel::store::WriteScope;

constexpr const char* kCastCrew =
    "CREATE TABLE CastCrew (Name varchar NOT NULL, Role varchar, ProfileID varchar NOT NULL, "
    "Position integer NOT NULL, BirthYear integer, IsUncredited yesno, IsVoice yesno, IsCast "
    "yesno, IsCreditOnly yesno, PRIMARY KEY (ProfileID, Name, Position, IsCast))";
constexpr const char* kProfiles =
    "CREATE TABLE Profiles (ProfileID varchar NOT NULL UNIQUE PRIMARY KEY, Medium varchar, Title "
    "varchar NOT NULL, OriginalTitle varchar, SortTitle varchar, ProdYear integer, Released date, "
    "Runtime integer, Overview memo)";

std::string InsertCredit(int i) {
  return "INSERT INTO CastCrew (Name, Role, ProfileID, Position, BirthYear, IsUncredited, IsVoice, "
         "IsCast, IsCreditOnly) VALUES ('Person " +
         std::to_string(i) + "', 'Role of person " + std::to_string(i % 97) + "', 'Key_" +
         std::to_string(i / 40) + "', '" + std::to_string(i % 40) + "', '" +
         std::to_string(1930 + i % 70) + "', 'False', 'False', 'True', 'False')";
}

std::string Lookup(int i) {
  return "SELECT * FROM Profiles WHERE ProfileID = 'Key_" + std::to_string(i) + "'";
}

// Runs `body` `count` times and returns the rate per second.
double Rate(int count, const std::function<void(int)>& body) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) body(i);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return count / elapsed.count();
}

double Inserts(Connection& db, bool cached, int offset, int count) {
  db.SetStatementCache(cached);
  WriteScope scope(db);
  const double rate = Rate(count, [&](int i) { db.Execute(InsertCredit(offset + i)); });
  scope.Commit();
  return rate;
}

double Lookups(Connection& db, bool cached, int profiles, int count) {
  db.SetStatementCache(cached);
  size_t checksum = 0;
  const double rate = Rate(count, [&](int i) {
    auto records = db.OpenRecordSet(Lookup((i * 7919) % profiles));
    checksum += records->Value("Title").ToText().size();
  });
  if (checksum == 0) std::printf("no rows found\n");
  return rate;
}

}  // namespace

int main() {
  const auto folder = std::filesystem::temp_directory_path() / "zel-store-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "bench.zel").string();
  {
    auto db = Connection::Create(path);
    db->Execute(kCastCrew);
    db->Execute(kProfiles);
    constexpr int kProfileCount = 5000;
    {
      WriteScope scope(*db);
      for (int i = 0; i < kProfileCount; ++i) {
        db->Execute(
            "INSERT INTO Profiles (ProfileID, Medium, Title, SortTitle, ProdYear, "
            "Released, Runtime) VALUES ('Key_" +
            std::to_string(i) + "', 'DVD', 'Title " + std::to_string(i) + "', 'title " +
            std::to_string(i) + "', '1999', '5/1/2004', '120')");
      }
      scope.Commit();
    }
    constexpr int kInserts = 20000;
    constexpr int kLookups = 20000;
    const double insert_cached = Inserts(*db, true, 0, kInserts);
    const double insert_uncached = Inserts(*db, false, kInserts, kInserts);
    const double lookup_cached = Lookups(*db, true, kProfileCount, kLookups);
    const double lookup_uncached = Lookups(*db, false, kProfileCount, kLookups);

    std::printf("%-44s %14s %14s %8s\n", "statement (statements per second)", "cached", "uncached",
                "gain");
    std::printf("%-44s %14.0f %14.0f %7.1fx\n", "INSERT INTO CastCrew ... (one write scope)",
                insert_cached, insert_uncached, insert_cached / insert_uncached);
    std::printf("%-44s %14.0f %14.0f %7.1fx\n", "SELECT * FROM Profiles WHERE ProfileID = ..",
                lookup_cached, lookup_uncached, lookup_cached / lookup_uncached);
    const auto stats = db->stats();
    std::printf("\n%llu statements, %llu prepared-statement reuses, %llu prepares\n",
                static_cast<unsigned long long>(stats.statements),
                static_cast<unsigned long long>(stats.cache_hits),
                static_cast<unsigned long long>(stats.cache_misses));
  }
  std::filesystem::remove_all(folder);
  return 0;
}
