// The whole content of a catalogue as one JSON document, and back: what `zel export --format json`
// writes and `zel restore` reads.
//
//   {"Format": "ZelControl catalogue", "FormatVersion": 2, "Schema": 89, "Owner": "...",
//    "Tables": {"Alias": [{"AliasName": "...", "CommonName": "...", ...}, ...], ...}}
//
// Every row of every table, in the order the file keeps them, with every column by its name and
// every value exactly as the file stores it, whatever the column's type: texts as strings (dates
// as the file keeps them, "2010-01-01 13:45:00"), whole numbers as numbers of up to 64 bits, other
// numbers as numbers, 0 and 1 of a yes/no column as false and true, a missing value as null.
// Restoring a dump into an empty catalogue of the same schema gives the same rows, value for
// value, and exporting them again the same dump. Dumps of version 1, which wrote dates as ISO
// texts ("2010-01-01", with " 13:45:00" when they have a time of day), are read too.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace zel {
class ZelDatabase;
}

namespace zel::cli {

struct DumpCounts {
  std::vector<std::pair<std::string, int64_t>> tables;  // rows of each table, in dump order
  int64_t rows = 0;
};

// Writes the dump of `database` to `out`, reading each table row by row. `progress`, when
// given, hears the number of rows written so far now and then.
DumpCounts WriteDump(ZelDatabase& database, std::ostream& out,
                     const std::function<void(int64_t)>& progress = {});

// Reads a dump from `in` (named `source` in errors) into `database`, which must hold no rows but
// its DbInfo entries and have the dump's schema. Everything is written in one write scope: a
// failure leaves the catalogue as it was. The DbInfo entries are replaced by the dump's. Fails with
// an error naming the table and row when a row cannot be stored, and when a table ends up with
// another number of rows than the dump holds.
DumpCounts RestoreDump(ZelDatabase& database, std::istream& in, const std::string& source,
                       const std::function<void(int64_t)>& progress = {});

}  // namespace zel::cli
