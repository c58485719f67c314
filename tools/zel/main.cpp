// zel: the command line of the ZelControl catalogue library.
#include <iostream>

#include "commands.h"
#include "frame/control.h"
#include "frame/error.h"

int main(int argc, char** argv) {
  CLI::App app{"zel - the catalogue of a DVD, HD DVD and Blu-ray collection", "zel"};
  app.set_version_flag("--version", zel::Control::Version());
  app.require_subcommand(1);
  zel::cli::AddCatalogueCommands(app);
  zel::cli::AddProfileCommands(app);
  zel::cli::AddPeopleCommands(app);
  zel::cli::AddImportCommands(app);
  zel::cli::AddTvCommands(app);
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
