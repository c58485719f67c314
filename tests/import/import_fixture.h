// A catalogue fixture for the title import tests, with helpers to build title markup and to read
// rows back with SQL.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalogue/database.h"
#include "frame/dictionary.h"
#include "frame/library_state.h"
#include "import/crew_types.h"
#include "import/profiler_import.h"
#include "support/test_support.h"

namespace zel::testing {

// A DVD element with ID, UPC and Title and the given further children.
inline std::string Dvd(std::string_view children, std::string_view id = "012345678901",
                       std::string_view title = "Night River") {
  return "<DVD><ID>" + std::string(id) + "</ID><UPC>0-12345-67890-1</UPC><Title>" +
         std::string(title) + "</Title>" + std::string(children) + "</DVD>";
}

using Table = std::vector<std::vector<std::string>>;

class ImportTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    State().crew_mapping_table = nullptr;
  }
  void TearDown() override {
    State().crew_mapping_table = nullptr;
    CatalogueTest::TearDown();
  }

  ImportResult Import(const std::string& markup) { return ImportProfilerXml(markup); }

  // Every row of a query, each value as text (Null as empty text).
  Table Rows(const std::string& sql) {
    Table rows;
    auto records = db_->DbOpenRecordSet(sql);
    const int32_t columns = records->FieldCount();
    for (; !records->Eof(); records->MoveNext()) {
      std::vector<std::string> row;
      for (int32_t c = 0; c < columns; ++c) row.push_back(records->ValueAt(c).ToTextOrEmpty());
      rows.push_back(std::move(row));
    }
    return rows;
  }

  // The first value of a query as text; "<none>" when it has no row.
  std::string Value(const std::string& sql) {
    auto records = db_->DbOpenRecordSet(sql);
    if (records->Eof()) return "<none>";
    const Variant value = records->ValueAt(0);
    return value.IsNull() ? "<null>" : value.ToText();
  }
};

}  // namespace zel::testing
