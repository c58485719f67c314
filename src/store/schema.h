// Building a new catalogue file: its 32 tables and 37 indexes, in a fixed order, as
// store/tables.h describes them.
#pragma once

#include <string>
#include <vector>

namespace zel {

namespace store {
class CatalogueFile;
}  // namespace store

// The definition statements of every table, in creation order (referenced tables first).
const std::vector<std::string>& TableStatements();
// The index statements, in creation order.
const std::vector<std::string>& IndexStatements();

// Builds every table, then every index, in `database`, which must be new and empty.
void BuildSchema(store::CatalogueFile& database);

}  // namespace zel
