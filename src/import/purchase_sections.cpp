// Price, purchase, event, loan and tag sections of an imported title, with the currencies,
// retailers and users they name.
#include <random>
#include <set>
#include <string>

#include "frame/text.h"
#include "import/import_sections.h"
#include "import/value_conversions.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/text_helpers.h"

namespace zel {

namespace {

using store::Connection;

struct PriceElement {
  std::string code;  // DenominationType
  std::string name;  // DenominationDesc
  Price price;
};

PriceElement ReadPriceElement(const xml::Node& element) {
  PriceElement read;
  if (!element) return read;
  read.code = AttributeText(element, "DenominationType", "");
  read.name = AttributeText(element, "DenominationDesc", "");
  read.price = ReadPrice(element.Text(), AttributeText(element, "FormattedValue", ""));
  return read;
}

// Inserts a row; one that a key or reference refuses is skipped, as a statement of the dialect
// skips it.
bool Insert(TitleContext& title, const Connection::RowShape& shape,
            std::initializer_list<Variant> values) {
  return title.database.connection().Insert(shape, values, Connection::Refused::kSkip) > 0;
}

// Inserts into a reference table; a row that is new is noted for the loaded list.
void InsertReference(TitleContext& title, store::CatalogueFile::List list, std::string key,
                     const Connection::RowShape& shape, std::initializer_list<Variant> values) {
  if (Insert(title, shape, values)) title.database.NoteImported(list, std::move(key));
}

// The first import that names a currency defines it; later ones leave the stored row.
void InsertCurrency(TitleContext& title, const PriceElement& price) {
  if (price.price.amount.empty() || price.code.empty()) return;
  static const Connection::RowShape kShape{"Currencies",
                                           {"CurrencyID", "CurrencyName", "CurrencySymbol"}};
  InsertReference(title, store::CatalogueFile::List::kCurrencies, price.code, kShape,
                  {Variant(price.code), Variant(price.name), Variant(price.price.symbol)});
}

// The first import that names a person defines the user; later ones leave the stored row.
void InsertUser(TitleContext& title, const xml::Node& user, const std::string& user_name) {
  static const Connection::RowShape kShape{"Users", {"UserID", "PhoneNumber", "EmailAddress"}};
  InsertReference(title, store::CatalogueFile::List::kUsers, user_name, kShape,
                  {Variant(user_name), Variant(AttributeText(user, "PhoneNumber", "")),
                   Variant(AttributeText(user, "EmailAddress", ""))});
}

std::string UserName(const xml::Node& user) {
  const std::string first = AttributeText(user, "FirstName", "");
  const std::string last = AttributeText(user, "LastName", "");
  if (!first.empty() && !last.empty()) return first + " " + last;
  return first.empty() ? last : first;
}

// Event identifiers are drawn at random and checked against the stored ones.
int32_t DrawEventId() {
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<int32_t> distribution(0, INT32_MAX);
  return distribution(generator);
}

}  // namespace

void ImportSuggestedPrice(TitleContext& title) {
  DeleteTitleRows(title, "SRPInfo");
  const xml::Node srp = title.dvd.Child("SRP");
  if (!srp) return;
  const PriceElement price = ReadPriceElement(srp);
  InsertCurrency(title, price);
  if (price.code.empty()) return;
  static const Connection::RowShape kShape{"SRPInfo", {"ProfileID", "SRPValue", "CurrencyID"}};
  Insert(title, kShape,
         {Variant(title.profile_id), TextOrNull(price.price.amount), Variant(price.code)});
}

void ImportPurchase(TitleContext& title) {
  DeleteTitleRows(title, "PurchaseInfo");
  const xml::Node purchase = title.dvd.Child("PurchaseInfo");
  if (!purchase) return;
  const std::string date = ChildText(purchase, "PurchaseDate", "");
  const std::string place = ChildText(purchase, "PurchasePlace", "");
  std::string shop_type;
  if (const xml::Node type = purchase.Child("PurchasePlaceType")) {
    shop_type = type.Text();
    if (shop_type == "O") {
      shop_type = "Online";
    } else if (shop_type == "L") {
      shop_type = "Local";
    }
  }
  std::string website;
  if (const xml::Node site = purchase.Child("PurchasePlaceWebsite")) website = site.Text();

  xml::Node price_node = title.dvd.Child("PurchasePrice");
  if (!price_node) price_node = purchase.Child("PurchasePrice");
  const PriceElement price = ReadPriceElement(price_node);
  InsertCurrency(title, price);
  static const Connection::RowShape kRetailer{"Retailers", {"Name", "Type", "Website"}};
  InsertReference(title, store::CatalogueFile::List::kRetailers, place, kRetailer,
                  {Variant(place), Variant(shop_type), Variant(website)});
  if (price.code.empty()) return;
  static const Connection::RowShape kShape{
      "PurchaseInfo", {"ProfileID", "Price", "CurrencyID", "PurchaseDate", "PurchasePlace"}};
  Insert(title, kShape,
         {Variant(title.profile_id), TextOrNull(price.price.amount), Variant(price.code),
          TextOrNull(date), Variant(place)});
}

void ImportEvents(TitleContext& title) {
  DeleteTitleRows(title, "Events");
  static const Connection::RowShape kShape{
      "Events", {"EventID", "ProfileID", "UserID", "EventType", "EventTimeStamp"}};
  const xml::Node events = title.dvd.Child("Events");
  if (!events) return;
  for (const xml::Node& event : events.Children("Event")) {
    // Every event belongs to a user; an event without one cannot be stored.
    const xml::Node user = event.Child("User");
    if (!user) continue;
    const std::string user_name = UserName(user);
    const std::string event_type = ChildText(event, "EventType", "");
    // An event without a time stamp is stored without one, not at a made-up date.
    const std::string timestamp_text = ChildText(event, "Timestamp", "");
    const std::string timestamp = timestamp_text.empty() ? "" : FixTimestamp(timestamp_text);
    int32_t event_id = DrawEventId();
    while (title.database
               .ExecuteSQLWithResult("SELECT * FROM Events WHERE EventID = " +
                                     std::to_string(event_id))
               ->RecordCount() != 0) {
      event_id = DrawEventId();
    }
    InsertUser(title, user, user_name);
    Insert(title, kShape,
           {Variant(std::to_string(event_id)), Variant(title.profile_id), Variant(user_name),
            Variant(event_type), TextOrNull(timestamp)});
  }
}

void ImportLoan(TitleContext& title) {
  DeleteTitleRows(title, "LoanInfo");
  const xml::Node loan = title.dvd.Child("LoanInfo");
  if (!loan) return;
  std::string user_name;
  std::string due;
  xml::Node user;
  if (ToLower(ChildText(loan, "Loaned", "")) == "true") {
    user = loan.Child("User");
    if (user) user_name = UserName(user);
    due = ChildText(loan, "Due", "");
  }
  if (user_name.empty()) return;
  // The borrower is added to the users as an event's user is: without the row the table's
  // reference would refuse the loan and the title would lose it.
  InsertUser(title, user, user_name);
  static const Connection::RowShape kShape{"LoanInfo", {"ProfileID", "UserID", "LoanedDue"}};
  Insert(title, kShape, {Variant(title.profile_id), Variant(user_name), TextOrNull(due)});
}

void ImportTags(TitleContext& title) {
  DeleteTitleRows(title, "Tags");
  static const Connection::RowShape kShape{"Tags", {"ProfileID", "TagName", "FullyQualifiedName"}};
  const xml::Node tags = title.dvd.Child("Tags");
  if (!tags) return;
  // A title's tags are keyed by their name, ignoring letter case, and DVD Profiler names a tag by
  // the last part of its full name, so two tags under different parents ("Watched/2019",
  // "Bought/2019") share a name: the later one is stored under its full name, so both are kept.
  // Only the same tag twice is one tag.
  std::set<std::string> names;
  std::set<std::pair<std::string, std::string>> seen;
  for (const xml::Node& tag : tags.Children("Tag")) {
    const std::string name = AttributeText(tag, "Name", "");
    const std::string full_name = AttributeText(tag, "FullName", "");
    if (!seen.emplace(FoldKey(name), FoldKey(full_name)).second) continue;
    std::string stored = name;
    if (names.contains(FoldKey(stored)) && !full_name.empty()) stored = full_name;
    for (int n = 2; names.contains(FoldKey(stored)); ++n) {
      stored = (full_name.empty() ? name : full_name) + " (" + std::to_string(n) + ")";
    }
    names.insert(FoldKey(stored));
    Insert(title, kShape, {Variant(title.profile_id), Variant(stored), Variant(full_name)});
  }
}

}  // namespace zel
