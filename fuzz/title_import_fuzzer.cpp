// The single-title import: any bytes as the markup of one DVD element.
#include <cstddef>
#include <cstdint>

#include "frame/error.h"
#include "fuzz_support.h"
#include "import/crew_types.h"
#include "import/profiler_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zel::fuzz::Catalogue& catalogue = zel::fuzz::Shared();
  zel::store::WriteScope scope(catalogue.database->connection());  // rolled back: never committed
  try {
    zel::ImportProfilerXml(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const zel::Error&) {
  }
  zel::CrewMappingTable().RemoveAll();
  return 0;
}
