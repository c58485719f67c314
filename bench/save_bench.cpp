// What saves write and how long they take: an unchanged UpdateDatabase over every loaded title, and
// one changed field of a title with 200 credits. Prints the time, the statements run and the rows
// the file changed, at each catalogue size given (default 10,000 and 100,000 titles).
//
//   build/bin/save_bench [TITLES...]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "model/profiles.h"
#include "store/connection.h"

namespace {

using zel::store::StoredValue;

constexpr int kCreditsPerTitle = 20;
constexpr int kBigCast = 200;

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int64_t RowsChanged(zel::ZelDatabase& database) {
  return database.connection().Read("SELECT total_changes()", {}).front().front().integer;
}

// A catalogue of `titles` titles of kCreditsPerTitle credits each, and "Big" of kBigCast.
void Fill(zel::ZelDatabase& database, int titles) {
  zel::store::Connection& connection = database.connection();
  zel::store::WriteScope scope(connection);
  auto credit = [&](const std::string& id, int position) {
    connection.Write(
        "INSERT INTO CastCrew (Name, Role, ProfileID, Position, BirthYear, IsUncredited, IsVoice, "
        "IsCast, IsCreditOnly) VALUES (?, ?, ?, ?, 1950, 0, 0, 1, 0)",
        {StoredValue::Text("Person " + std::to_string(position)),
         StoredValue::Text("Role " + std::to_string(position)), StoredValue::Text(id),
         StoredValue::Integer(position)});
  };
  for (int i = 0; i < titles; ++i) {
    const std::string id = "Key_" + std::to_string(i);
    connection.Write(
        "INSERT INTO Profiles (ProfileID, Title, SortTitle, ProdYear, Runtime, Released, "
        "Overview, DataSource, CountAs) VALUES (?, ?, ?, 1999, 120, '2001-02-03 00:00:00', "
        "'An overview long enough to be a real one.', 'DVDProfiler', 1)",
        {StoredValue::Text(id), StoredValue::Text("Title " + std::to_string(i)),
         StoredValue::Text("title " + std::to_string(i))});
    for (int position = 1; position <= kCreditsPerTitle; ++position) credit(id, position);
  }
  connection.Write("INSERT INTO Profiles (ProfileID, Title) VALUES ('Big', 'Big')", {});
  for (int position = 1; position <= kBigCast; ++position) credit("Big", position);
  scope.Commit();
}

void Measure(int titles) {
  const auto folder = std::filesystem::temp_directory_path() / "zel-save-bench";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "bench.zel").string();
  zel::Control control;
  Fill(*control.CreateDatabase(path), titles);
  control.CloseDatabase();
  auto database = control.OpenDatabase(path);

  auto start = std::chrono::steady_clock::now();
  auto profiles = database->Profiles();
  const double load = Seconds(start);

  auto unchanged = [&](const char* what) {
    const auto before = database->connection().stats().statements;
    const int64_t rows_before = RowsChanged(*database);
    const auto begin = std::chrono::steady_clock::now();
    database->UpdateDatabase();
    const double took = Seconds(begin);
    std::printf(
        "%7d titles  unchanged UpdateDatabase, %-22s %8.3f s  %6llu statements  %lld rows\n",
        titles, what, took,
        static_cast<unsigned long long>(database->connection().stats().statements - before),
        static_cast<long long>(RowsChanged(*database) - rows_before));
  };
  std::printf("%7d titles  load of Profiles                         %8.3f s\n", titles, load);
  unchanged("titles loaded:");

  start = std::chrono::steady_clock::now();
  for (const auto& profile : profiles->All()) profile->Cast();
  std::printf("%7d titles  load of every cast (%d credits each)    %8.3f s\n", titles,
              kCreditsPerTitle, Seconds(start));
  unchanged("casts loaded too:");

  auto big = profiles->Item(zel::Variant("Big"));
  big->Cast()->Item(zel::Variant(int32_t{kBigCast / 2}))->SetRole("Changed role");
  int64_t rows_before = RowsChanged(*database);
  start = std::chrono::steady_clock::now();
  big->UpdateProfile();
  std::printf("%7d titles  one credit of %d changed, UpdateProfile %8.3f s  %lld rows\n", titles,
              kBigCast, Seconds(start),
              static_cast<long long>(RowsChanged(*database) - rows_before));
  big->SetNotes("One field changed");
  rows_before = RowsChanged(*database);
  start = std::chrono::steady_clock::now();
  big->UpdateProfile();
  std::printf("%7d titles  one field of that title, UpdateProfile  %8.3f s  %lld rows\n", titles,
              Seconds(start), static_cast<long long>(RowsChanged(*database) - rows_before));
  control.CloseDatabase();
  std::filesystem::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {10000, 100000};
  for (int titles : sizes) Measure(titles);
  return 0;
}
