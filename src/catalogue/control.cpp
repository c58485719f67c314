#include "catalogue/control.h"

#include <filesystem>

#include "awards/nominees.h"
#include "catalogue/database.h"
#include "frame/error.h"
#include "frame/library_state.h"
#include "frame/member_table.h"
#include "frame/text.h"
#include "import/crew_types.h"
#include "people/name_parsing.h"
#include "store/engine_errors.h"
#include "store/schema.h"
#include "store/tables.h"

namespace zel {

namespace {

// Whether two paths name one file, whatever their spelling ("a.zel", "./a.zel", a link).
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// A new catalogue: the learned crew roles of the previous one must not stand in for its own.
void ForgetCrewMapping() { State().crew_mapping_table.reset(); }

}  // namespace

const ClassInfo& Control::Info() {
  static const ClassInfo info =
      ClassBuilder<Control>("Control")
          .Creatable()
          .WithReflection(Reflection::kTolerant)
          .Get("CurrentDbSchema", &Control::CurrentDbSchema)
          .Get("ActiveDb", &Control::ActiveDb)
          .Method("OpenDatabase", &Control::OpenDatabase, {Param("FilePath")})
          .Method("CloseDatabase", &Control::CloseDatabase)
          .Method("CompactDatabase", &Control::CompactDatabase, {Param("DbFilePath")})
          .Method("GetProfilerCrewType", &Control::GetProfilerCrewType, {Param("strCrewType")})
          .Method("RemoveInvalidFileNameCharacters", &Control::RemoveInvalidFileNameCharacters,
                  {Param("FileName")})
          .Method("FillCrewType", &Control::FillCrewType)
          .Get("Version", &Control::Version)
          .Method("CreateDatabase", &Control::CreateDatabase, {Param("FilePath")})
          .Method("SplitUpNominees", &Control::SplitUpNominees, {Param("NomineeString")})
          .Method("SplitUpName", &Control::SplitUpName, {Param("Name")})
          .Method("CreateVBACollection", &Control::CreateVBACollection)
          .Build();
  return info;
}

Control::Control() : crew_types_(std::make_shared<Dictionary>()) {
  LibraryState& state = State();
  state.current_db_schema = store::schema::kCurrent;
  FillCrewType();
  if (!state.decimal_separator_overridden) state.decimal_separator = UserDecimalSeparator();
}

int16_t Control::CurrentDbSchema() const { return State().current_db_schema; }

std::shared_ptr<ZelDatabase> Control::ActiveDb() const {
  if (!State().active_database) Raise(errc::kNoActiveDatabase, "No active Zel database");
  // Only Control makes catalogues active, and each is a ZelDatabase.
  return std::static_pointer_cast<ZelDatabase>(State().active_database);
}

std::shared_ptr<ZelDatabase> Control::OpenDatabase(const std::string& file_path) {
  LibraryState& state = State();
  state.active_database.reset();
  if (!std::filesystem::exists(file_path)) {
    Raise(errc::kDatabaseMissing, "Database " + file_path + " does not exist");
  }
  ForgetCrewMapping();
  auto database = std::make_shared<ZelDatabase>(store::Connection::Open(file_path, "DbInfo"));
  state.active_database = database;
  state.active_db_schema = database->Schema();
  database->SetSchemaNumber(state.active_db_schema);
  FillCrewType();
  return database;
}

void Control::CloseDatabase() {
  // Closed, not only let go: a script may still hold the database, its lists or record sets, and
  // the file must be free for compacting.
  if (State().active_database) State().active_database->Close();
  State().active_database.reset();
  ForgetCrewMapping();
}

void Control::CompactDatabase(const std::string& db_file_path) {
  const LibraryState& state = State();
  if (state.active_database && (state.active_database->FilePath() == db_file_path ||
                                SameFile(state.active_database->FilePath(), db_file_path))) {
    Raise(errc::kCloseActiveFirst, "Close Active Database first");
  }
  if (!std::filesystem::exists(db_file_path)) {
    Raise(errc::kCompactSourceMissing, "Database does not exist");
  }
  // The compacted copy is written beside the file and only then moved over it, so a failure at any
  // step leaves the catalogue as it was.
  const std::string compacted = db_file_path + "_bak";
  std::error_code ignored;
  std::filesystem::remove(compacted, ignored);
  try {
    // Refused while anyone else has the file open: their later writes would go to the file the
    // compacted copy replaces, and be lost.
    store::Connection::Compact(db_file_path, compacted, "DbInfo");
    std::filesystem::rename(compacted, db_file_path);
  } catch (...) {
    std::filesystem::remove(compacted, ignored);
    throw;
  }
  std::filesystem::remove(db_file_path + "-wal", ignored);
  std::filesystem::remove(db_file_path + "-shm", ignored);
}

std::string Control::GetProfilerCrewType(std::string_view crew_type) const {
  return ProfilerCrewType(*crew_types_, crew_type);
}

std::string Control::RemoveInvalidFileNameCharacters(std::string_view file_name) {
  static const std::pair<const char*, const char*> kReplacements[] = {
      {":", " -"}, {"?", ""}, {"\\", ""}, {"/", ""}, {"*", ""}, {"<", ""}, {">", ""}, {"\"", "'"}};
  std::string text(file_name);
  for (const auto& [from, to] : kReplacements) text = ReplaceAll(text, from, to);
  return text;
}

void Control::FillCrewType() { zel::FillCrewType(*crew_types_); }

std::string Control::Version() { return ZEL_VERSION_TEXT; }

std::shared_ptr<ZelDatabase> Control::CreateDatabase(const std::string& file_path) {
  LibraryState& state = State();
  state.active_database.reset();
  if (std::filesystem::exists(file_path)) {
    Raise(errc::kDatabaseExists, "Database already exists!");
  }
  // The engine takes these names for a catalogue that lives in memory or in a temporary file and
  // is gone when closed; a catalogue is a file that stays.
  if (file_path.empty() || file_path == ":memory:") {
    Raise(store::engine_errc::kCannotOpen,
          "Could not create '" + file_path + "': a catalogue must be a file of its own.");
  }
  ForgetCrewMapping();
  auto database = std::make_shared<ZelDatabase>(store::Connection::Create(file_path));
  database->SetSchemaNumber(state.current_db_schema);
  state.active_database = database;
  {
    store::WriteScope scope(database->connection());
    BuildSchema(*database);
    database->SetSchema(state.current_db_schema);
    scope.Commit();
  }
  state.active_db_schema = state.current_db_schema;
  return database;
}

std::shared_ptr<Collection> Control::SplitUpNominees(std::string_view nominee_string) {
  return SplitNomineesToCollection(nominee_string);
}

std::string Control::SplitUpName(std::string_view name) { return SplitPersonName(name); }

std::shared_ptr<Collection> Control::CreateVBACollection() {
  return std::make_shared<Collection>();
}

}  // namespace zel
