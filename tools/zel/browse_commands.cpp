// zel search and zel stats: the search and the statistics of `zel serve` on the command line, read
// by the same functions, so that a command and its page always agree.
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <optional>

#include "commands.h"
#include "frame/text.h"
#include "output.h"
#include "web/fold.h"
#include "web/index.h"
#include "web/search.h"
#include "web/stats.h"
#include "web/text.h"

namespace zel::cli {
namespace {

using web::Int;
using web::Member;
using web::Str;
using Rows = std::vector<std::vector<std::string>>;

// The kinds as a person names one, with the names of the web addresses also taken.
const std::vector<web::NamedValue> kKinds = {
    {"title", static_cast<int>(web::SearchKind::kTitles)},
    {"person", static_cast<int>(web::SearchKind::kPeople)},
    {"role", static_cast<int>(web::SearchKind::kRoles)},
    {"series", static_cast<int>(web::SearchKind::kSeries)},
    {"episode", static_cast<int>(web::SearchKind::kEpisodes)}};

}  // namespace

std::function<void(int64_t done, int64_t total)> IndexProgress(const std::string& path) {
  if (!isatty(STDERR_FILENO)) return {};
  return [path](int64_t done, int64_t total) {
    std::cerr << "\rIndexing " << path << ": " << done << " of " << total << " titles and episodes"
              << (done == total ? "\n" : "") << std::flush;
  };
}

namespace {

// The catalogue's index, brought up to date, and a connection reading it; building it the first
// time shows how far it got when someone watches.
class Index {
 public:
  explicit Index(const std::string& path)
      : index_(path, IndexProgress(path)), reader_(index_.OpenReader(true)), scope_(*reader_) {}
  store::PlainDatabase& reader() { return *reader_; }

 private:
  web::CatalogueIndex index_;
  std::unique_ptr<store::PlainDatabase> reader_;
  web::ReadScope scope_;
};

// A named choice of an option; a bad one fails as a usage error naming the choices there are.
int Choice(const std::string& option, std::string_view what, const std::string& text,
           const std::vector<web::NamedValue>& choices,
           const std::vector<web::NamedValue>& also = {}) {
  for (const web::NamedValue& choice : also) {
    if (EqualsIgnoreCase(choice.name, text)) return choice.value;
  }
  try {
    return web::ChoiceOf(what, text, choices);
  } catch (const web::QueryError& bad) {
    throw CLI::ValidationError(option, bad.what());
  }
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) {
    if (!text.empty()) joined += (joined.empty() ? "" : ", ") + text;
  }
  return joined;
}

std::string TitleYear(const Json& item) {
  const std::string year = web::YearText(item, "ProductionYear");
  return Str(item, "Title") + (year.empty() ? "" : " (" + year + ")");
}

// A text that differs from the one beside it, or nothing.
std::string IfOther(const std::string& text, const std::string& beside) {
  return text == beside ? std::string() : text;
}

struct KindView {
  const char* group;  // the group's key in the search's JSON, and its heading
  const char* word;   // the --kind that pages through it
  std::vector<std::string> header;
  std::vector<std::string> (*row)(const Json& item);
};

const KindView kKindViews[] = {
    {"Titles",
     "title",
     {"ProfileID", "Title", "Year", "Medium", "UPC", "Notes"},
     [](const Json& item) -> std::vector<std::string> {
       std::string original = IfOther(Str(item, "OriginalTitle"), Str(item, "Title"));
       return {Str(item, "ProfileID"),
               Str(item, "Title"),
               web::YearText(item, "ProductionYear"),
               Str(item, "Medium"),
               Str(item, "UPC"),
               Joined({original.empty() ? "" : "original title " + original,
                       web::CollectionMark(Str(item, "CollectionType")),
                       web::Bool(item, "OnLoan") ? "on loan" : ""})};
     }},
    {"People",
     "person",
     {"Common name", "Credited as"},
     [](const Json& item) -> std::vector<std::string> {
       return {Str(item, "CommonName"), IfOther(Str(item, "MatchedName"), Str(item, "CommonName"))};
     }},
    {"Roles",
     "role",
     {"Role", "Name", "Common name", "ID", "In"},
     [](const Json& item) -> std::vector<std::string> {
       const bool episode = item.contains("EpisodeID");
       return {Str(item, "Role"), Str(item, "Name"),
               IfOther(Str(item, "CommonName"), Str(item, "Name")),
               Str(item, episode ? "EpisodeID" : "ProfileID"),
               episode ? web::EpisodeLabel(item) : TitleYear(item)};
     }},
    {"Series",
     "series",
     {"ShowID", "Title", "Original title"},
     [](const Json& item) -> std::vector<std::string> {
       return {Str(item, "ShowID"), Str(item, "Title"),
               IfOther(Str(item, "OriginalTitle"), Str(item, "Title"))};
     }},
    {"Episodes",
     "episode",
     {"EpisodeID", "Episode", "Original title"},
     [](const Json& item) -> std::vector<std::string> {
       return {Str(item, "EpisodeID"), web::EpisodeLabel(item),
               IfOther(Str(item, "OriginalTitle"), Str(item, "Title"))};
     }},
};

struct SearchOptions {
  std::string text;
  std::string kind;
  int32_t page = 1;
  bool json = false;
};

void PrintSearch(const Json& found, const SearchOptions& options) {
  std::string totals;
  int64_t all = 0;
  for (const KindView& view : kKindViews) {
    const int64_t total = Int(Member(found, view.group), "Total");
    all += total;
    totals += (totals.empty() ? "" : ", ") + std::string(view.group) + " " + std::to_string(total);
  }
  std::cout << "Search for \"" << options.text << "\": " << totals << '\n';
  if (all == 0) {
    std::cout << "Nothing found.\n";
    return;
  }
  const bool one_kind = !Member(found, "Kind").is_null();
  for (const KindView& view : kKindViews) {
    const Json& group = Member(found, view.group);
    const Json& items = Member(group, "Items");
    if (items.empty()) continue;
    Rows rows;
    for (const Json& item : items) rows.push_back(view.row(item));
    const int64_t total = Int(group, "Total"), page = Int(group, "Page"),
                  pages = Int(group, "Pages");
    std::cout << '\n' << view.group << " (" << total << ")";
    if (one_kind && pages > 1) std::cout << ", page " << page << " of " << pages;
    std::cout << '\n';
    PrintTable(std::cout, view.header, rows);
    if (!one_kind && total > static_cast<int64_t>(items.size())) {
      std::cout << "(the first " << items.size() << "; --kind " << view.word
                << " lists all of them, a page at a time)\n";
    } else if (one_kind && page < pages) {
      std::cout << "(--page " << page + 1 << " for the next page)\n";
    }
  }
}

void RunSearch(const std::string& path, const SearchOptions& options) {
  web::SearchQuery query;
  query.text = options.text;
  if (web::FoldedWords(options.text).empty()) {
    throw CLI::ValidationError("TEXT", "give at least one word to search for");
  }
  if (!options.kind.empty()) {
    query.kind = static_cast<web::SearchKind>(
        Choice("--kind", "kind", options.kind, kKinds, web::kSearchKinds));
  }
  query.page = options.page;
  Index index(path);
  const Json found = web::SearchData(index.reader(), query, nullptr);
  if (options.json) {
    PrintJson(std::cout, found);
  } else {
    PrintSearch(found, options);
  }
}

// A statistics list as a table: its first items and the rest summed, as the page charts it.
void PrintCounts(const std::string& heading, const Json& stats, const char* list, const char* key,
                 const std::string& column, size_t limit) {
  Rows rows;
  for (const web::ShownCount& count : web::ShownCounts(Member(stats, list), key, limit)) {
    rows.push_back({count.name.empty() ? "(none)" : count.name, std::to_string(count.titles)});
  }
  if (rows.empty()) return;
  std::cout << '\n' << heading << '\n';
  PrintTable(std::cout, {column, "Titles"}, rows);
}

void PrintStats(const Json& stats) {
  const Json& counts = Member(stats, "Counts");
  const Json& type = Member(stats, "CollectionType");
  const std::string word = type.is_string() ? web::CollectionMark(type.get<std::string>()) : "";
  std::cout << "Statistics of "
            << (type.is_null() ? "every title"
                               : "the " + (word.empty() ? "owned" : word) + " titles")
            << ": " << web::Plural(Int(stats, "Titles"), "title", "titles") << '\n';
  int64_t all = 0;
  for (const auto& [name, count] : counts.items()) all += count.get<int64_t>();
  std::cout << "Owned " << Int(counts, "Owned") << ", on order " << Int(counts, "OnOrder")
            << ", wish list " << Int(counts, "WishList") << ", other " << Int(counts, "Other")
            << ", all " << all << " (--collection chooses)\n";

  PrintCounts("Titles by medium", stats, "Media", "Medium", "Medium", web::kShownMedia);
  PrintCounts("Titles by genre", stats, "Genres", "Genre", "Genre", web::kShownGenres);
  Rows decades;
  for (const Json& decade : Member(stats, "Decades")) {
    decades.push_back({web::DecadeText(decade), Str(decade, "Titles")});
  }
  if (!decades.empty()) {
    std::cout << "\nTitles by decade of production\n";
    PrintTable(std::cout, {"Decade", "Titles"}, decades);
  }
  PrintCounts("Titles by studio", stats, "Studios", "Studio", "Studio", web::kShownStudios);
  PrintCounts("Titles by country of origin", stats, "Countries", "CountryOfOrigin", "Country",
              web::kShownCountries);

  // One table per currency: amounts in different currencies do not add up.
  std::vector<std::string> currencies;
  for (const Json& item : Member(stats, "Spending")) {
    const std::string currency = Str(item, "CurrencyID");
    if (std::find(currencies.begin(), currencies.end(), currency) == currencies.end()) {
      currencies.push_back(currency);
    }
  }
  for (const std::string& currency : currencies) {
    Rows years;
    for (const Json& item : Member(stats, "Spending")) {
      if (Str(item, "CurrencyID") != currency) continue;
      years.push_back({Int(item, "Year") ? Str(item, "Year") : "No date", Str(item, "Titles"),
                       web::Amount(Member(item, "Spent"), currency)});
    }
    std::cout << "\nSpent in " << (currency.empty() ? "no currency" : currency)
              << " per year of purchase\n";
    PrintTable(std::cout, {"Year", "Titles", "Spent"}, years);
  }

  Rows people;
  for (const Json& person : Member(stats, "People")) {
    people.push_back({Str(person, "CommonName"), Str(person, "Titles"), Str(person, "Episodes")});
  }
  if (!people.empty()) {
    std::cout << "\nMost credited people, across all their names\n";
    PrintTable(std::cout, {"Person", "Titles", "Episodes"}, people);
  }

  const Json& loans = Member(stats, "Loans");
  bool lent = false;
  for (const auto& [list, heading] :
       {std::pair{"Overdue", "Overdue"}, std::pair{"Due", "On loan"}}) {
    Rows rows;
    for (const Json& loan : Member(loans, list)) {
      rows.push_back(
          {Str(loan, "Title"), Str(loan, "ProfileID"), Str(loan, "UserID"), web::DueText(loan)});
    }
    if (rows.empty()) continue;
    lent = true;
    std::cout << '\n' << heading << '\n';
    PrintTable(std::cout, {"Title", "ProfileID", "Lent to", "Due"}, rows);
  }
  if (!lent) std::cout << "\nNothing is on loan.\n";
}

void RunStats(const std::string& path, const std::string& collection, bool json) {
  web::StatsQuery query;
  const int type = Choice("--collection", "collection", collection, web::kCollectionChoices);
  query.collection =
      type < 0 ? std::nullopt : std::optional(static_cast<web::CollectionType>(type));
  Index index(path);
  const Json stats = web::StatsData(index.reader(), query, web::Today());
  if (json) {
    PrintJson(std::cout, stats);
  } else {
    PrintStats(stats);
  }
}

}  // namespace

void AddBrowseCommands(CLI::App& app) {
  static std::string path;
  static SearchOptions search_options;
  static std::string collection = "owned";
  static bool json = false;

  auto* search = app.add_subcommand(
      "search", "Search titles, people, roles, series and episodes as zel serve's search does");
  search->footer(
      "Every word of TEXT must occur in the text matched; letter case and accents play no part "
      "(\"renee\" finds \"Renée\"). Titles match by title, original title or UPC, people by any "
      "credited name. Without --kind the first 10 of each kind are shown with every kind's "
      "total; with it, 50 a page of that kind. --json prints what /api/search of zel serve "
      "answers.");
  search->add_option("FILE", path, "Catalogue file")->required();
  search->add_option("TEXT", search_options.text, "The words to search for")->required();
  search->add_option("--kind", search_options.kind,
                     "Only one kind, all its matches: title, person, role, series or episode");
  search->add_option("--page", search_options.page, "Page of that kind (with --kind)")
      ->check(CLI::Range(1, 1000000));
  search->add_flag("--json", search_options.json, "Print JSON for scripts");
  search->callback([] { RunSearch(path, search_options); });

  auto* stats = app.add_subcommand(
      "stats", "Statistics of the collection: the figures of zel serve's statistics page");
  stats->footer(
      "Titles by medium, genre, decade, studio and country; spending per year and currency; the "
      "most credited people, counted across all their names; loans overdue and due. --json "
      "prints what /api/stats of zel serve answers.");
  stats->add_option("FILE", path, "Catalogue file")->required();
  stats->add_option("--collection", collection,
                    "The titles counted: owned (the default), onorder, wishlist, other or all");
  stats->add_flag("--json", json, "Print JSON for scripts");
  stats->callback([] { RunStats(path, collection, json); });
}

}  // namespace zel::cli
