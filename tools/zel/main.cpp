// zel: the command line of the ZelControl catalogue library.
#include <algorithm>
#include <iomanip>
#include <iostream>
#include <string_view>

#include "catalogue/control.h"
#include "commands.h"
#include "frame/error.h"

namespace {

// The commands with what each does, for a command line that names none or one that does not exist.
void PrintCommands(const CLI::App& app) {
  std::cerr << "The commands are:\n";
  const auto commands = app.get_subcommands([](const CLI::App*) { return true; });
  size_t width = 0;
  for (const CLI::App* command : commands) width = std::max(width, command->get_name().size());
  for (const CLI::App* command : commands) {
    std::cerr << "  " << std::left << std::setw(static_cast<int>(width + 2)) << command->get_name()
              << command->get_description() << '\n';
  }
  std::cerr << "Run 'zel COMMAND --help' for the arguments of one.\n";
}

bool IsCommand(const CLI::App& app, std::string_view name) {
  return !app.get_subcommands(
                 [&](const CLI::App* command) { return command->check_name(std::string(name)); })
              .empty();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"zel - the catalogue of a DVD, HD DVD and Blu-ray collection", "zel"};
  app.set_version_flag("--version", zel::Control::Version());
  app.require_subcommand(1);
  zel::cli::AddCatalogueCommands(app);
  zel::cli::AddProfileCommands(app);
  zel::cli::AddBrowseCommands(app);
  zel::cli::AddPeopleCommands(app);
  zel::cli::AddImportCommands(app);
  zel::cli::AddServeCommands(app);
  zel::cli::AddTvCommands(app);
  zel::cli::AddExportCommands(app);
  zel::cli::AddInputChecks(app);
  if (argc < 2) {
    std::cerr << "zel: no command given\n";
    PrintCommands(app);
    return 1;
  }
  if (const std::string_view first = argv[1]; !first.starts_with("-") && !IsCommand(app, first)) {
    std::cerr << "zel: unknown command '" << first << "'\n";
    PrintCommands(app);
    return 1;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  } catch (const zel::Error& error) {
    std::cerr << "zel: " << error.description() << " (error " << error.number() << ")\n";
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "zel: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
