// Inputs that the fuzz targets found to crash or to trip a sanitizer, replayed through the same
// entry points; under the sanitizer build a relapse is reported as it was found. Each finding also
// has a test of its own, named for the fault.
#include <filesystem>

#include "hardening/hardening_support.h"
#include "store/engine_errors.h"
#include "store/sql_translator.h"

namespace zel::testing {
namespace {

const store::TableDef* NoTable(std::string_view) { return nullptr; }

// The type of a column followed by "(" and no ")" moved the reading position past the end of the
// column's words, and the type's name was then read from beyond them.
TEST(FuzzFindings, ColumnTypeWithAnUnclosedSizeIsReadInBounds) {
  const store::Translation translation =
      store::Translate("CREATE TABLE Odd (Name blob (5 x", NoTable);
  EXPECT_EQ(translation.kind, store::StatementKind::kCreateTable);
  EXPECT_NE(translation.sql.find("blob"), std::string::npos) << translation.sql;
}

TEST(FuzzFindings, EverySqlFindingTranslatesOrFailsWithAnEngineError) {
  const std::filesystem::path folder = SourceDir() + "/tests/hardening/fuzz_findings/sql_dialect";
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string text = ReadFile(entry.path().string());
    try {
      store::Translate(text, NoTable);
    } catch (const Error& error) {
      EXPECT_GE(error.number(), store::engine_errc::kEngine) << entry.path();
    }
    ++replayed;
  }
  EXPECT_GE(replayed, 1);
}

}  // namespace
}  // namespace zel::testing
