#include "frame/class_docs.h"

#include <utility>

#include "frame/text.h"

namespace zel {
namespace {

// A default value as a Python literal, the language most scripts use.
std::string Literal(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return "None";
    case VarType::kBoolean:
      return value.ToBool() ? "True" : "False";
    case VarType::kString:
      return "\"" + ReplaceAll(ReplaceAll(value.ToText(), "\\", "\\\\"), "\"", "\\\"") + "\"";
    case VarType::kDate:
      return "\"" + value.ToText() + "\"";
    default:
      return value.ToText();
  }
}

// What a class is for, by name. A class added to the catalogue without a line here shows none.
constexpr std::pair<std::string_view, std::string_view> kSummaries[] = {
    {"Control", "The entry object: opens, creates, closes and compacts catalogue files."},
    {"ZelDatabase",
     "The open catalogue: SQL, information stores, the top-level lists, queries and imports "
     "(from Control.OpenDatabase, Control.CreateDatabase or Control.ActiveDb)."},
    {"ZelProfile", "One disc title with everything attached to it."},
    {"ZelProfiles", "The titles of the catalogue, keyed by ProfileID."},
    {"ZelDisc", "One disc of a title."},
    {"ZelDiscs", "The discs of a title, by position."},
    {"ZelVideo", "The video format of a title or episode."},
    {"ZelAudioFormat", "One audio track format."},
    {"ZelAudioFormats", "The audio tracks of a title or episode, by position."},
    {"ZelReview", "Film, video, audio and extras ratings."},
    {"ZelStudio", "A studio or media company of a title."},
    {"ZelStudios", "The studios and media companies of a title or episode."},
    {"ZelSRP", "The suggested retail price of a title, with its currency."},
    {"ZelPurchaseInfo", "Price, currency, date and place of purchase of a title."},
    {"ZelLoanInfo", "To whom a title is lent and when it is due back."},
    {"ZelEvent", "A dated event of a title for a user (watched, borrowed, ...)."},
    {"ZelEvents", "The events of a title or episode."},
    {"ZelTag", "A tag of a title."},
    {"ZelTags", "The tags of a title or episode."},
    {"ZelInfo", "One named information value of a title."},
    {"ZelInfos", "Named information values, keyed by name."},
    {"ZelCredit", "One cast or crew credit: the credited name, its common name and the role."},
    {"ZelCredits", "The cast or the crew of a title or episode, in credit order."},
    {"ZelTVShow", "A television series."},
    {"ZelTVShows", "The television series of the catalogue, keyed by ShowID."},
    {"ZelSeason", "A season of a series: the episodes stored under one season name."},
    {"ZelSeasons", "The seasons of a series, keyed by name."},
    {"ZelEpisode", "A television episode with its own credits and lists."},
    {"ZelEpisodes", "The episodes of a season, keyed by EpisodeID."},
    {"ZelCurrency", "A currency."},
    {"ZelCurrencies", "The currencies of the catalogue, keyed by CurrencyID."},
    {"ZelUser", "A borrower or user."},
    {"ZelUsers", "The users of the catalogue, keyed by name."},
    {"ZelRetailer", "A retailer."},
    {"ZelRetailers", "The retailers of the catalogue, keyed by name."},
    {"ZelSQLQuery", "A stored, named SQL statement."},
    {"ZelSQLQueries", "The stored SQL statements, keyed by name."},
    {"ZelAlias", "A credited name and the common name it belongs to."},
    {"ZelAliases", "The aliases of the catalogue, keyed by alias name and birth year."},
    {"ZelAward", "One award nomination."},
    {"ZelAwards", "A list of award nominations, by position."},
    {"Collection",
     "An ordered list addressed by 1-based position or by a text key (letter case ignored)."},
    {"Dictionary", "A map from text keys (exact letter case) to values, in insertion order."},
    {"Recordset", "The rows of a query: read the current row through Fields, move with MoveNext."},
    {"TableDefs", "The tables of the catalogue file, by position or name."},
};

}  // namespace

std::string MemberSignature(const Member& member) {
  if (member.kind == MemberKind::kProperty && member.params.empty()) return member.name;
  std::string text = member.name + "(";
  for (size_t i = 0; i < member.params.size(); ++i) {
    const Parameter& param = member.params[i];
    if (i > 0) text += ", ";
    text += param.name;
    if (param.optional) text += "=" + Literal(param.default_value);
  }
  return text + ")";
}

std::string MemberKind(const Member& member) {
  std::string kind;
  if (member.kind == MemberKind::kMethod) {
    kind = "method";
  } else if (!member.get) {
    kind = "property, write-only";
  } else if (!member.let && !member.set) {
    kind = "property, read-only";
  } else {
    kind = member.let ? "property, read/write" : "object property, read/write";
  }
  if (member.is_default) kind += ", default member";
  if (member.is_enumerator) kind += ", for-each";
  return kind;
}

std::string_view ClassSummary(std::string_view class_name) {
  for (const auto& [name, summary] : kSummaries) {
    if (name == class_name) return summary;
  }
  return {};
}

std::string ClassHelp(const ClassInfo& info) {
  std::string text = info.name();
  const std::string_view summary = ClassSummary(info.name());
  if (!summary.empty()) text += ": " + std::string(summary);
  text +=
      info.creatable() ? "\nCreate one by calling the class." : "\nObtained from other objects.";
  text += "\n\nMembers, in interface order:\n";
  for (const Member& member : info.members()) {
    text += "  " + MemberSignature(member) + "  -- " + MemberKind(member) + "\n";
  }
  return text;
}

}  // namespace zel
