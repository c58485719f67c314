// Award files: the import of award nominations from a "|"-separated text file or an XML file.
//
// Text form, one nomination per line: fields 0 film title, 3 award year, 5 award name, 6 category,
// 7 "X" for a win, 8 nominee text, 9 (optional) the film's production year; fields 1, 2 and 4 are
// not read. Empty lines, lines without "|" and header lines (field 5 "Award") are skipped. The
// stored rows of every award and year the file holds are replaced by the file's, so importing a
// file twice leaves its rows once; other years of an award stay.
//
// XML form (extension .xml):
//   <Awards><Award Name="..." Year="2001"><Category Name="...">
//     <Movie Name="film" Year="2000" Won="True">nominee text</Movie>
//   </Category></Award></Awards>
// Each Award element replaces the rows of that award and year.
//
// In both forms the names in a nominee text are replaced by their common names (the Alias table);
// only whole names are replaced. A file is imported whole or not at all: any failure leaves the
// catalogue as it was. An award list of the catalogue that is loaded is brought in step.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frame/error.h"

namespace zel {

namespace store {
class CatalogueFile;
}  // namespace store

// Why an award file was not imported: the error that stopped it (its number and description), the
// file and the line. When the failure is one the import reports to a person rather than to its
// caller (every failure of the text form, and an XML file without an Awards element),
// message_title and message_text hold that message; otherwise they are empty.
class AwardFileError : public Error {
 public:
  AwardFileError(const Error& cause, std::string path, int32_t line, std::string message_title = {},
                 std::string message_text = {});

  const std::string& path() const { return path_; }
  // 1-based line of the file, 0 when unknown.
  int32_t line() const { return line_; }
  bool reported_as_message() const { return !message_text_.empty(); }
  const std::string& message_title() const { return message_title_; }
  const std::string& message_text() const { return message_text_; }

 private:
  std::string path_;
  int32_t line_;
  std::string message_title_;
  std::string message_text_;
};

// The rows of one award and year that a file replaced: how many were stored, how many it gave.
struct ReplacedAwardRows {
  std::string award;
  int16_t year = 0;
  int32_t replaced = 0;
  int32_t imported = 0;
};

// Imports the award file at `path` into `database` (whose schema decides the columns) in one write
// scope, and returns the number of rows added; `replaced`, when given, receives what was replaced,
// award and year by award and year in the order of the file. Throws AwardFileError for a failure
// of the file's content (nothing written then), zel::Error 53 when a text file cannot be read.
// Shows no message; ImportAwardFile does that. Library-internal.
int32_t ImportAwards(store::CatalogueFile& database, const std::string& path,
                     std::vector<ReplacedAwardRows>* replaced = nullptr);

// ZelDatabase.ImportAwardFile: ImportAwards, with a faulty text file (or an XML file without an
// Awards element) reported by a message naming the file and line instead of an error.
void ImportAwardFile(store::CatalogueFile& database, std::string_view file_path);

}  // namespace zel
