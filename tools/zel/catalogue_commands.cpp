// zel create, info, sql and compact.
#include <chrono>
#include <filesystem>
#include <iostream>
#include <vector>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "commands.h"
#include "frame/error.h"
#include "import/profiler_import.h"
#include "output.h"
#include "store/backup.h"
#include "store/connection.h"
#include "store/sql_translator.h"
#include "web/index.h"

namespace zel::cli {
namespace {

// Whether a statement is an action or a definition, which changes rows or tables and returns none.
// Everything else (queries, PRAGMA, VALUES, WITH, EXPLAIN) is read as rows, as the engine adapter
// itself tells them apart.
bool IsAction(store::Connection& connection, const std::string& statement) {
  const store::StatementKind kind = store::Translate(statement, [&](std::string_view name) {
                                      return connection.FindTable(name);
                                    }).kind;
  return kind != store::StatementKind::kSelect && kind != store::StatementKind::kOther;
}

void RunCreate(const std::string& path) {
  Control control;
  auto database = control.CreateDatabase(path);
  std::cout << "Created " << path << " (schema " << database->Schema() << ")\n";
}

void RunInfo(const std::string& path, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  Json tables = Json::object();
  for (const store::TableDef& table : database->connection().TableDefs()) {
    // The change log of zel serve's index is not part of the catalogue.
    if (web::IsIndexTable(table.name)) continue;
    auto records = database->DbOpenRecordSet("SELECT COUNT(*) AS Rows FROM [" + table.name + "]");
    tables[table.name] = records->ValueAt(0).ToLong();
  }
  const int16_t schema = database->Schema();
  const std::string owner = database->Owner();
  if (json) {
    Json info = {{"File", path}, {"Schema", schema}, {"Owner", owner}, {"Tables", tables}};
    std::cout << info.dump(2) << '\n';
    return;
  }
  std::cout << "File:    " << path << "\nSchema:  " << schema << "\nOwner:   " << owner << "\n\n";
  std::vector<std::vector<std::string>> rows;
  for (const auto& [name, count] : tables.items()) {
    rows.push_back({name, std::to_string(count.get<int64_t>())});
  }
  PrintTable(std::cout, {"Table", "Rows"}, rows);
}

void RunSql(const std::string& path, const std::string& statement, bool json) {
  Control control;
  auto database = OpenCatalogue(control, path);
  if (IsAction(database->connection(), statement)) {
    const int64_t changed = database->connection().Execute(statement);
    if (json) {
      std::cout << Json{{"RowsChanged", changed}}.dump() << '\n';
    } else {
      std::cout << changed << (changed == 1 ? " row" : " rows") << " changed\n";
    }
    return;
  }
  auto records = database->DbOpenRecordSet(statement);
  const int32_t columns = records->FieldCount();
  std::vector<std::string> header;
  for (int32_t c = 0; c < columns; ++c) header.push_back(records->FieldName(c));
  Json json_rows = Json::array();
  std::vector<std::vector<std::string>> rows;
  for (; !records->Eof(); records->MoveNext()) {
    Json json_row = Json::object();
    std::vector<std::string> row;
    for (int32_t c = 0; c < columns; ++c) {
      const Variant value = records->ValueAt(c);
      if (json) {
        json_row[header[static_cast<size_t>(c)]] = ToJson(value);
      } else {
        row.push_back(CellText(value));
      }
    }
    if (json) {
      json_rows.push_back(std::move(json_row));
    } else {
      rows.push_back(std::move(row));
    }
  }
  if (json) {
    std::cout << json_rows.dump(2) << '\n';
    return;
  }
  // A statement without result columns (PRAGMA optimize) has run and has nothing to show.
  if (header.empty()) {
    std::cout << "(no rows)\n";
    return;
  }
  PrintTable(std::cout, header, rows);
  std::cout << "(" << rows.size() << (rows.size() == 1 ? " row)\n" : " rows)\n");
}

void RunCompact(const std::string& path) {
  Control control;
  const auto before = std::filesystem::exists(path) ? std::filesystem::file_size(path) : 0;
  control.CompactDatabase(path);
  std::cout << "Compacted " << path << ": " << before << " -> " << std::filesystem::file_size(path)
            << " bytes\n";
}

void RunBackup(const std::string& path, const std::string& destination, bool json) {
  const auto start = std::chrono::steady_clock::now();
  const store::BackupResult result = store::BackupCatalogue(path, destination);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (json) {
    std::cout << Json{{"File", path},
                      {"Backup", destination},
                      {"Bytes", result.bytes},
                      {"ElapsedSeconds", seconds}}
                     .dump(2)
              << '\n';
    return;
  }
  std::cout << "Backed up " << path << " to " << destination << " (" << result.bytes << " bytes)\n";
}

}  // namespace

std::shared_ptr<ZelDatabase> OpenCatalogue(Control& control, const std::string& path) {
  return control.OpenDatabase(path);
}

void RaiseUnknownTitle(ZelDatabase& database, const std::string& path, const std::string& text) {
  std::string description = "No title '" + text + "' in " + path;
  const std::vector<std::string> similar = SimilarProfileIds(database, text);
  for (size_t i = 0; i < similar.size(); ++i) {
    description += (i == 0 ? "; did you mean " : " or ") + similar[i];
  }
  if (!similar.empty()) description += "?";
  Raise(errc::kInvalidArgument, description);
}

void AddCatalogueCommands(CLI::App& app) {
  static std::string path;
  static std::string statement;
  static bool json = false;

  auto* create = app.add_subcommand("create", "Create a new, empty catalogue file");
  create->add_option("FILE", path, "Catalogue file to create")->required();
  create->callback([] { RunCreate(path); });

  auto* info = app.add_subcommand("info", "Show a catalogue's schema, owner and rows per table");
  info->add_option("FILE", path, "Catalogue file")->required();
  info->add_flag("--json", json, "Print JSON for scripts");
  info->callback([] { RunInfo(path, json); });

  auto* sql = app.add_subcommand("sql", "Run one SQL statement on a catalogue");
  sql->add_option("FILE", path, "Catalogue file")->required();
  sql->add_option("STATEMENT", statement, "The statement, in the catalogue's SQL dialect")
      ->required();
  sql->add_flag("--json", json, "Print query results as JSON for scripts");
  sql->callback([] { RunSql(path, statement, json); });

  auto* compact = app.add_subcommand("compact", "Compact a catalogue file in place");
  compact->add_option("FILE", path, "Catalogue file")->required();
  compact->callback([] { RunCompact(path); });

  static std::string destination;
  auto* backup = app.add_subcommand(
      "backup", "Copy a catalogue consistently, also while other processes read or write it");
  backup->add_option("FILE", path, "Catalogue file")->required();
  backup->add_option("DEST", destination, "The copy to make; must not exist")->required();
  backup->add_flag("--json", json, "Print the summary as JSON for scripts");
  backup->callback([] { RunBackup(path, destination, json); });
}

}  // namespace zel::cli
