// zel export and zel restore: the catalogue as CSV or JSON tables, as a whole JSON dump, and a
// dump back into an empty catalogue.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "catalogue_dump.h"
#include "catalogue_tables.h"
#include "commands.h"
#include "frame/error.h"
#include "output.h"

namespace zel::cli {
namespace {

// A row count on standard error, redrawn in place, when a person watches it.
std::function<void(int64_t)> RowProgress(const char* verb) {
  if (isatty(STDERR_FILENO) != 1) return {};
  return
      [verb](int64_t rows) { std::cerr << '\r' << verb << ' ' << rows << " rows" << std::flush; };
}

void EndProgress(const std::function<void(int64_t)>& progress) {
  if (progress) std::cerr << '\r' << std::string(40, ' ') << '\r' << std::flush;
}

// A file written under a temporary name and given its own only when complete, so that a failed
// export never leaves half a file under the name asked for.
class OutputFile {
 public:
  explicit OutputFile(std::string path) : path_(std::move(path)), temporary_(path_ + ".partial") {
    out_.open(temporary_, std::ios::binary | std::ios::trunc);
    if (!out_) Raise(errc::kInvalidArgument, "Cannot write " + path_);
  }
  ~OutputFile() {
    if (!done_) {
      out_.close();
      std::remove(temporary_.c_str());
    }
  }
  std::ostream& stream() { return out_; }
  void Finish() {
    out_.close();
    if (!out_ || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
      Raise(errc::kInvalidArgument, "Cannot write " + path_);
    }
    done_ = true;
  }

 private:
  std::string path_;
  std::string temporary_;
  std::ofstream out_;
  bool done_ = false;
};

struct ExportOptions {
  std::string format = "csv";
  std::string table;
  std::string output;
};

void RunExport(const std::string& path, const ExportOptions& options) {
  const bool json = options.format == "json";
  const TableView* view = nullptr;
  if (!options.table.empty() || !json) {
    view = FindTableView(options.table.empty() ? "profiles" : options.table);
    if (!view) {
      std::string names;
      for (const TableView& known : TableViews()) names += (names.empty() ? "" : ", ") + known.name;
      throw CLI::ValidationError("--table",
                                 "no table '" + options.table + "'; the tables are " + names);
    }
  }
  Control control;
  auto database = OpenCatalogue(control, path);
  std::optional<OutputFile> file;
  if (!options.output.empty()) file.emplace(options.output);
  std::ostream& out = file ? file->stream() : std::cout;
  if (view) {
    int64_t rows = 0;
    // Counts the rows on their way to the real sink, for the summary.
    class Counting : public TableSink {
     public:
      Counting(std::unique_ptr<TableSink> sink, int64_t& rows)
          : sink_(std::move(sink)), rows_(rows) {}
      void Begin(const std::vector<std::string>& header) override { sink_->Begin(header); }
      void Add(const Row& row) override {
        ++rows_;
        sink_->Add(row);
      }
      void End() override { sink_->End(); }

     private:
      std::unique_ptr<TableSink> sink_;
      int64_t& rows_;
    } sink(json ? JsonSink(out) : CsvSink(out), rows);
    view->write(*database, sink);
    if (file) {
      file->Finish();
      std::cout << "Exported " << rows << (rows == 1 ? " row" : " rows") << " of " << view->name
                << " to " << options.output << '\n';
    }
    return;
  }
  const auto progress = file ? RowProgress("exported") : std::function<void(int64_t)>();
  const DumpCounts counts = WriteDump(*database, out, progress);
  EndProgress(progress);
  if (file) {
    file->Finish();
    std::cout << "Exported " << counts.rows << " rows of " << counts.tables.size() << " tables to "
              << options.output << '\n';
  }
}

void RunRestore(const std::string& path, const std::string& dump, bool json) {
  const auto start = std::chrono::steady_clock::now();
  std::ifstream file;
  if (dump != "-") {
    if (std::filesystem::is_directory(dump)) {
      Raise(errc::kInvalidArgument, dump + " is not a catalogue dump: it is a folder");
    }
    file.open(dump, std::ios::binary);
    if (!file) Raise(errc::kInvalidArgument, "Cannot read " + dump);
  }
  const std::string source = dump == "-" ? "standard input" : dump;
  Control control;
  const bool created = !std::filesystem::exists(path);
  auto database = created ? control.CreateDatabase(path) : OpenCatalogue(control, path);
  const auto progress = RowProgress("restored");
  DumpCounts counts;
  try {
    counts = RestoreDump(*database, dump == "-" ? std::cin : file, source, progress);
  } catch (...) {
    EndProgress(progress);
    if (created) {
      // The catalogue was made for this restore: nothing of it is worth keeping.
      database.reset();
      control.CloseDatabase();
      for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
    }
    throw;
  }
  EndProgress(progress);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (json) {
    Json tables = Json::object();
    for (const auto& [table, rows] : counts.tables) tables[table] = rows;
    std::cout << Json{{"File", path},
                      {"Source", source},
                      {"Rows", counts.rows},
                      {"Tables", tables},
                      {"ElapsedSeconds", seconds}}
                     .dump(2)
              << '\n';
    return;
  }
  std::cout << "Restored " << counts.rows << " rows of " << counts.tables.size() << " tables from "
            << source << " into " << path << '\n';
}

}  // namespace

void AddExportCommands(CLI::App& app) {
  static std::string path;
  static std::string dump;
  static ExportOptions options;
  static bool json = false;

  std::string tables;
  for (const TableView& view : TableViews()) tables += "\n  " + view.name + ": " + view.description;
  auto* export_command = app.add_subcommand(
      "export",
      "Export a catalogue: a table as CSV or JSON, or everything as a JSON dump for zel restore");
  export_command->footer(
      "Tables (--table):" + tables +
      "\nCSV is UTF-8 with a byte-order mark, comma-separated, with a header row. --format json "
      "without --table writes the whole catalogue, every row of every table, which zel restore "
      "reads back.");
  export_command->add_option("FILE", path, "Catalogue file")->required();
  export_command->add_option("--format", options.format, "csv (the default) or json")
      ->check(CLI::IsMember({"csv", "json"}));
  export_command->add_option("--table", options.table,
                             "The table to export (csv: profiles unless given)");
  export_command->add_option("-o,--output", options.output,
                             "Write to this file instead of standard output");
  export_command->callback([] { RunExport(path, options); });

  auto* restore = app.add_subcommand(
      "restore", "Load a JSON dump made by zel export into a new or empty catalogue");
  restore->add_option("FILE", path, "Catalogue file; created when it does not exist")->required();
  restore->add_option("DUMP", dump, "The dump, or - for standard input")->required();
  restore->add_flag("--json", json, "Print the summary as JSON for scripts");
  restore->callback([] { RunRestore(path, dump, json); });
}

}  // namespace zel::cli
