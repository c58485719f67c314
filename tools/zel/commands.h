// The subcommands of `zel`. Each Add* function registers its commands on the application; the
// command bodies throw zel::Error on failure, which main() turns into one line and exit code 1.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

namespace zel {
class Control;
class ZelDatabase;
}  // namespace zel

namespace zel::cli {

// Opens the catalogue at `path` through `control`, as every command that reads one does.
std::shared_ptr<ZelDatabase> OpenCatalogue(Control& control, const std::string& path);
// The error (5) for a title `text` names that is not in the catalogue at `path`, with the stored
// identifiers that would have matched.
[[noreturn]] void RaiseUnknownTitle(ZelDatabase& database, const std::string& path,
                                    const std::string& text);

// Shows on standard error how far building the catalogue's index got, when someone watches there;
// nothing otherwise.
std::function<void(int64_t done, int64_t total)> IndexProgress(const std::string& path);

void AddCatalogueCommands(CLI::App& app);  // create, info, sql, compact, backup
void AddProfileCommands(CLI::App& app);    // profiles, show
void AddBrowseCommands(CLI::App& app);     // search, stats
void AddPeopleCommands(CLI::App& app);     // aliases, awards, import-awards, people
void AddImportCommands(CLI::App& app);     // import, remove, restore-removed
void AddServeCommands(CLI::App& app);      // serve
void AddTvCommands(CLI::App& app);         // appearances, tv
void AddExportCommands(CLI::App& app);     // export, restore
// Checks input files of the commands registered before (import) before they are read.
void AddInputChecks(CLI::App& app);

}  // namespace zel::cli
