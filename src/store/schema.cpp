#include "store/schema.h"

#include "store/catalogue_file.h"
#include "store/tables.h"

namespace zel {

const std::vector<std::string>& TableStatements() {
  static const std::vector<std::string> statements = [] {
    std::vector<std::string> built;
    for (const store::TableLayout& table : store::AllTables()) built.push_back(table.Definition());
    return built;
  }();
  return statements;
}

const std::vector<std::string>& IndexStatements() {
  static const std::vector<std::string> statements = [] {
    std::vector<std::string> built;
    for (const store::IndexLayout& index : store::AllIndexes()) {
      built.push_back(std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                      std::string(index.name) + " ON " + std::string(index.table) + " (" +
                      std::string(index.columns) + ")");
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
