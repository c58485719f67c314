// The catalogue as tables for spreadsheets and scripts: one row per title, per credit, per person,
// per loan, per purchase, per award or per episode. `zel export --table` writes them as CSV or as
// JSON; the column names are the member names a script uses on the objects.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frame/variant.h"

namespace zel {
class ZelDatabase;
}

namespace zel::cli {

using Row = std::vector<Variant>;

// Where the rows of one table go. Begin comes first, then one Add per row, then End. A date of
// 1899-12-30, which the catalogue keeps for "no date", is written as no value.
class TableSink {
 public:
  virtual ~TableSink() = default;
  virtual void Begin(const std::vector<std::string>& header) = 0;
  virtual void Add(const Row& row) = 0;
  virtual void End() = 0;
};

// CSV as RFC 4180 describes it: a header row, CRLF line ends, fields quoted when they hold a comma,
// a quote or a line break. UTF-8 with a byte-order mark, so that spreadsheets read accents right.
// Booleans are true/false, numbers use a decimal point, dates are ISO texts.
std::unique_ptr<TableSink> CsvSink(std::ostream& out);
// A JSON array with one object per row, keyed by the header.
std::unique_ptr<TableSink> JsonSink(std::ostream& out);

struct TableView {
  std::string name;
  std::string description;
  std::function<void(ZelDatabase&, TableSink&)> write;
};

// The tables `--table` can name, in the order --help lists them.
const std::vector<TableView>& TableViews();
// The table of that name; nullptr when there is none.
const TableView* FindTableView(std::string_view name);

// Calls `row` with the columns of every row of "SELECT columns FROM from [WHERE where]", in the
// order of `key` (a rowid of one of the tables). The rows are read a page at a time, so memory
// does not grow with the table; a row another process adds meanwhile may or may not be seen.
void ForEachPage(ZelDatabase& database, const std::string& columns, const std::string& from,
                 const std::string& where, const std::string& key,
                 const std::function<void(const Row&)>& row);

}  // namespace zel::cli
