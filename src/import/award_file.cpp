#include "import/award_file.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "awards/awards.h"
#include "awards/nominees.h"
#include "frame/message.h"
#include "frame/text.h"
#include "frame/variant.h"
#include "import/xml_document.h"
#include "store/catalogue_file.h"
#include "store/text_helpers.h"

namespace zel {
namespace {

constexpr std::string_view kNoFilmTitle = "[no specific film title]";
constexpr int32_t kFileNotFound = 53;

// One nomination as it is stored.
struct AwardRow {
  std::string movie_title;
  std::string year_text;  // as the file gives it; the old row identifier is built from it
  int16_t year = 0;
  std::string award;
  std::string category;
  bool won = false;
  std::string won_mark;  // the file's win mark in capitals, for the old row identifier
  std::string nominee;
  std::optional<int16_t> movie_year;
};

// A year from the file as a number. Only a whole number within the column's range is taken, so no
// text of the file reaches a statement.
int16_t ParseYear(std::string_view text, std::string_view what) {
  const std::string trimmed = Trim(text);
  const std::string_view digits = !trimmed.empty() && trimmed[0] == '-'
                                      ? std::string_view(trimmed).substr(1)
                                      : std::string_view(trimmed);
  if (!IsAsciiDigits(digits) || digits.size() > 6) {
    Raise(errc::kTypeMismatch, std::string(what) + " '" + std::string(text) + "' is not a year");
  }
  const long value = std::stol(trimmed);
  if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max()) {
    Raise(errc::kOverflow, std::string(what) + " '" + std::string(text) + "' is out of range");
  }
  return static_cast<int16_t>(value);
}

// The film's production year where the file gives a number; a text that is no number at all is
// not a year and is left out.
std::optional<int16_t> OptionalMovieYear(std::string_view text) {
  double number = 0;
  if (!ParseNumber(text, number)) return std::nullopt;
  return ParseYear(text, "The film year");
}

// Where a nominee text separates two names, and how long the separator is (0: not here). The
// separators are those of SplitNominees, ", Jr" and the like excepted.
size_t SeparatorAt(std::string_view text, size_t i) {
  const std::string_view rest = text.substr(i);
  if (rest.starts_with(", ")) {
    for (std::string_view suffix : {", Jr", ", jr", ", Sr", ", sr"}) {
      if (!rest.starts_with(suffix)) continue;
      const bool word_follows = rest.size() > suffix.size() &&
                                (std::isalpha(static_cast<unsigned char>(rest[suffix.size()])) ||
                                 static_cast<unsigned char>(rest[suffix.size()]) >= 0x80);
      if (!word_follows) return 0;
    }
    return 2;
  }
  if (rest.starts_with("; ")) return 2;
  if (rest.starts_with(" & ")) return 3;
  if (rest.starts_with(" and ")) return 5;
  return 0;
}

// `nominee` with each of its names that is a stored alias replaced by the alias's common name. A
// leading "role:" part and a parenthesised note after a name play no part in the lookup. Only a
// whole name is replaced: "Tom Hale" as an alias leaves "Tom Haley" and "Tom Hales" alone.
std::string WithCommonNames(store::CatalogueFile& database, const std::string& nominee) {
  if (nominee.empty()) return nominee;
  size_t start = 0;
  const size_t colon = nominee.find(':');
  if (colon != std::string::npos && colon > 0) start = colon + 1;
  if (start < nominee.size() && nominee[start] == ' ') ++start;
  std::string out = nominee.substr(0, start);
  size_t name_begin = start;
  for (size_t i = start; i <= nominee.size(); ++i) {
    const size_t separator = i < nominee.size() ? SeparatorAt(nominee, i) : 0;
    if (i < nominee.size() && separator == 0) continue;
    const std::string piece = nominee.substr(name_begin, i - name_begin);
    const std::vector<std::string> split = SplitNominees(piece);
    std::string name = split.empty() ? piece : split.front();
    const size_t paren = name.find('(');
    if (paren != std::string::npos && paren >= 2) name = name.substr(0, paren - 1);
    std::string replaced = piece;
    if (!name.empty() && piece.starts_with(name)) {
      auto records = database.DbOpenRecordSet("SELECT CommonName FROM Alias WHERE AliasName = '" +
                                              QuoteSql(name) + "'");
      if (records->RecordCount() != 0) {
        replaced = records->Value("CommonName").ToTextOrEmpty() + piece.substr(name.size());
      }
    }
    out += replaced;
    if (i < nominee.size()) out += nominee.substr(i, separator);
    i += separator == 0 ? 0 : separator - 1;
    name_begin = i + 1;
  }
  return out;
}

// Adds rows to the Awards table in the columns the active schema has.
class RowWriter {
 public:
  explicit RowWriter(store::CatalogueFile& database)
      : schema_(database.SchemaNumber()),
        records_(database.DbOpenRecordSet("SELECT * FROM Awards")) {}

  void Add(const AwardRow& row) {
    records_->AddNew();
    records_->SetValue("MovieTitle", Variant(row.movie_title));
    records_->SetValue("Year", Variant(row.year));
    records_->SetValue("Award", Variant(row.award));
    records_->SetValue("Category", Variant(row.category));
    records_->SetValue("Nominee", Variant(row.nominee));
    if (schema_ > 79 && row.movie_year) records_->SetValue("MovieYear", Variant(*row.movie_year));
    if (schema_ >= 76) {
      records_->SetValue("Won", Variant(row.won));
    } else {
      records_->SetValue("Won", Variant(std::string(row.won ? "X" : "")));
    }
    if (schema_ < 77) {
      records_->SetValue("AwardID", Variant(AwardId(row.year_text, row.award, row.movie_title,
                                                    row.category, row.won_mark, row.nominee)));
    }
    records_->Update();
    ++rows_added_;
  }

  int32_t rows_added() const { return rows_added_; }

 private:
  int16_t schema_;
  std::shared_ptr<store::RecordSet> records_;
  int32_t rows_added_ = 0;
};

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

// The lines of a text file. Award files come from old tools in windows-1252 and from newer ones in
// UTF-8; a line that is valid UTF-8 is taken as it is, any other is read as windows-1252.
std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in || std::filesystem::is_directory(path)) Raise(kFileNotFound, "File not found: " + path);
  std::ostringstream content;
  content << in.rdbuf();
  std::string text = content.str();
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  std::vector<std::string> lines = Split(text, "\n");
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!IsValidUtf8(line)) line = Windows1252ToUtf8(line);
  }
  return lines;
}

// Replaces the stored rows of an award and year by the file's, once per file: the first time the
// file names them. Keeps what it replaced, for the summary and for bringing a loaded award list in
// step, and counts the file's rows.
class Replacer {
 public:
  Replacer(store::CatalogueFile& database, std::vector<ReplacedAwardRows>& replaced)
      : database_(database), replaced_(replaced) {}

  // The file names the award and year (with or without rows); returns its entry.
  ReplacedAwardRows& Begin(const std::string& award, int16_t year) {
    const auto [at, first] =
        index_.try_emplace(std::make_pair(FoldKey(award), year), replaced_.size());
    if (first) {
      const int64_t removed =
          database_.connection().Execute("DELETE FROM Awards WHERE Award = '" + QuoteSql(award) +
                                         "' AND Year = " + std::to_string(year));
      replaced_.push_back({award, year, static_cast<int32_t>(removed), 0});
    }
    return replaced_[at->second];
  }

  void Add(const AwardRow& row, RowWriter& writer) {
    ReplacedAwardRows& entry = Begin(row.award, row.year);
    writer.Add(row);
    ++entry.imported;
  }

 private:
  store::CatalogueFile& database_;
  std::vector<ReplacedAwardRows>& replaced_;
  std::map<std::pair<std::string, int16_t>, size_t> index_;
};

int32_t ImportTextForm(store::CatalogueFile& database, const std::string& path,
                       std::vector<ReplacedAwardRows>& replaced) {
  const std::vector<std::string> lines = ReadLines(path);
  store::WriteScope scope(database.connection());
  std::optional<RowWriter> writer;
  Replacer replacer(database, replaced);
  int32_t line_number = 0;
  try {
    for (const std::string& line : lines) {
      ++line_number;
      if (line.empty()) continue;
      if (line.find('\0') != std::string::npos) {
        Raise(errc::kInvalidArgument,
              "The line holds NUL characters: award text files are UTF-8 or windows-1252 text, not "
              "UTF-16");
      }
      std::vector<std::string> fields = Split(line, "|");
      if (fields.size() < 2) continue;
      if (fields.size() < 6) {
        Raise(errc::kSubscriptOutOfRange, "The line has no award name (field 6)");
      }
      if (fields[5] == "Award") continue;
      if (fields.size() < 9) {
        Raise(errc::kSubscriptOutOfRange, "The line has " + std::to_string(fields.size()) +
                                              " fields; an award line has at least 9");
      }
      if (!writer) writer.emplace(database);
      AwardRow row;
      row.movie_title = fields[0].empty() ? std::string(kNoFilmTitle) : fields[0];
      row.year_text = fields[3];
      row.year = ParseYear(fields[3], "The award year");
      row.award = fields[5];
      row.category = fields[6];
      row.won_mark = ToUpper(fields[7]);
      row.won = row.won_mark == "X";
      row.nominee = WithCommonNames(database, fields[8]);
      if (fields.size() > 9) row.movie_year = OptionalMovieYear(fields[9]);
      // Each award and year the file holds replaces its stored rows, as the XML form's Award
      // elements do; other years of the award stay.
      replacer.Add(row, *writer);
    }
  } catch (const Error& error) {
    throw AwardFileError(
        error, path, line_number, "Error occured",
        "Award file " + path + "\r\nhas an error at line " + std::to_string(line_number) + "!");
  }
  scope.Commit();
  return writer ? writer->rows_added() : 0;
}

std::string RequiredAttribute(const xml::Node& element, std::string_view name) {
  std::optional<std::string> value = element.Attribute(name);
  if (!value) {
    Raise(errc::kMissingObject,
          "The " + element.Name() + " element has no " + std::string(name) + " attribute");
  }
  return *value;
}

int32_t ImportXmlForm(store::CatalogueFile& database, const std::string& path,
                      std::vector<ReplacedAwardRows>& replaced) {
  const xml::Document document = xml::Document::Load(path);
  const xml::Node awards = document.Child("Awards");
  if (!awards) {
    const xml::ParseError& parse = document.parse_error();
    const std::string reason = parse.failed ? parse.reason : "the file has no Awards element";
    throw AwardFileError(Error(errc::kInvalidArgument, "Invalid award file: " + reason), path,
                         parse.line, path,
                         "Invalid award file!\r\n" + reason + "\r\n" + parse.source_text +
                             "\r\nLine " + std::to_string(parse.line));
  }
  store::WriteScope scope(database.connection());
  RowWriter writer(database);
  Replacer replacer(database, replaced);
  xml::Node current = awards;
  try {
    for (const xml::Node& award : awards.Children("Award")) {
      current = award;
      const std::string award_name = RequiredAttribute(award, "Name");
      const std::string year_text = RequiredAttribute(award, "Year");
      const int16_t year = ParseYear(year_text, "The award year");
      // (An award and year named twice in one file keeps the rows of both elements.)
      replacer.Begin(award_name, year);
      for (const xml::Node& category : award.Children("Category")) {
        current = category;
        const std::string category_name = RequiredAttribute(category, "Name");
        for (const xml::Node& movie : category.Children("Movie")) {
          current = movie;
          AwardRow row;
          row.movie_title = movie.Attribute("Name").value_or("");
          if (row.movie_title.empty()) row.movie_title = kNoFilmTitle;
          row.year_text = year_text;
          row.year = year;
          row.award = award_name;
          row.category = category_name;
          row.won = movie.Attribute("Won").value_or("") == "True";
          if (database.SchemaNumber() < 76) {
            row.won_mark = row.won ? "X" : "";
          } else {
            row.won_mark = ToUpper(BoolText(row.won));
          }
          row.nominee = WithCommonNames(database, movie.Text());
          if (auto movie_year = movie.Attribute("Year")) {
            row.movie_year = OptionalMovieYear(*movie_year);
          }
          replacer.Add(row, writer);
        }
      }
    }
  } catch (const Error& error) {
    throw AwardFileError(error, path, current.Line());
  }
  scope.Commit();
  return writer.rows_added();
}

}  // namespace

AwardFileError::AwardFileError(const Error& cause, std::string path, int32_t line,
                               std::string message_title, std::string message_text)
    : Error(cause.number(), cause.description()),
      path_(std::move(path)),
      line_(line),
      message_title_(std::move(message_title)),
      message_text_(std::move(message_text)) {}

// Brings the award list of `database`, when it is loaded, in step with the rows an import
// replaced: the members of those rows leave it and the imported rows join it.
void SyncLoadedAwards(store::CatalogueFile& database,
                      const std::vector<ReplacedAwardRows>& replaced) {
  const std::shared_ptr<ZelAwards> awards = awards::CachedAwards(database);
  if (!awards) return;
  for (const ReplacedAwardRows& entry : replaced) {
    awards->Forget([&](const ZelAward& member) {
      return member.catalogue().Peek() == &database && member.StoredAs(entry.award, entry.year);
    });
    auto records = database.DbOpenRecordSet(
        "SELECT rowid AS ZelRow, * FROM Awards WHERE Award = '" + QuoteSql(entry.award) +
        "' AND Year = " + std::to_string(entry.year) + " ORDER BY Category");
    awards->Append(*AwardsFromRecords(database, *records));
  }
}

int32_t ImportAwards(store::CatalogueFile& database, const std::string& path,
                     std::vector<ReplacedAwardRows>* replaced) {
  const std::string extension = ToLower(std::filesystem::path(path).extension().string());
  std::vector<ReplacedAwardRows> rows;
  const int32_t added = extension == ".xml" ? ImportXmlForm(database, path, rows)
                                            : ImportTextForm(database, path, rows);
  SyncLoadedAwards(database, rows);
  if (replaced) *replaced = std::move(rows);
  return added;
}

void ImportAwardFile(store::CatalogueFile& database, std::string_view file_path) {
  try {
    ImportAwards(database, std::string(file_path));
  } catch (const AwardFileError& failure) {
    if (!failure.reported_as_message()) throw;
    ShowMessage(MessageIcon::kWarning, failure.message_title(), failure.message_text());
  }
}

}  // namespace zel
