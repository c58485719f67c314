#include "web/text.h"

#include <cstdio>
#include <utility>

#include "frame/text.h"
#include "tv/series_outline.h"

namespace zel::web {

std::string Str(const Json& json, const char* key) {
  const auto found = json.find(key);
  if (found == json.end() || found->is_null()) return {};
  if (found->is_string()) return found->get<std::string>();
  return found->dump();
}

bool Bool(const Json& json, const char* key) {
  const auto found = json.find(key);
  return found != json.end() && found->is_boolean() && found->get<bool>();
}

int64_t Int(const Json& json, const char* key) {
  const auto found = json.find(key);
  return found != json.end() && found->is_number() ? found->get<int64_t>() : 0;
}

const Json& Member(const Json& json, const char* key) {
  static const Json kNull;
  const auto found = json.find(key);
  return found == json.end() ? kNull : *found;
}

std::string YearText(const Json& json, const char* key) {
  const int64_t year = Int(json, key);
  return year == 0 ? std::string() : std::to_string(year);
}

std::string Plural(int64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string Joined(const Json& list) {
  std::string out;
  for (const Json& item : list) out += (out.empty() ? "" : ", ") + item.get<std::string>();
  return out;
}

std::string Amount(const Json& value, const std::string& currency) {
  if (!value.is_number()) return {};
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", value.get<double>());
  return currency.empty() ? buffer : std::string(buffer) + " " + currency;
}

std::string CollectionMark(std::string_view type) {
  if (type == "OnOrder") return "on order";
  if (type == "WishList") return "wish list";
  if (type == "Other") return "other";
  return {};
}

std::vector<std::string> CreditMarks(const Json& credit) {
  std::vector<std::string> marks;
  for (const auto& [key, mark] :
       {std::pair{"IsVoice", "voice"}, std::pair{"IsUncredited", "uncredited"},
        std::pair{"IsCreditOnly", "credit only"}, std::pair{"IsRegular", "regular"}}) {
    if (Bool(credit, key)) marks.emplace_back(mark);
  }
  return marks;
}

std::string ShownId(std::string id) {
  if (id.starts_with("Key_")) id.erase(0, 4);
  return id;
}

std::string EpisodeLabel(const Json& episode) {
  std::string series = Str(episode, "SeriesTitle");
  if (series.empty()) series = Str(episode, "ShowID");
  return series + " \xE2\x80\x93 " +
         tv::EpisodeLabel(Str(episode, "Season"), Str(episode, "Number"), Str(episode, "Title"));
}

std::string RatingText(const Json& title) {
  std::string rating = Str(title, "Rating");
  if (!rating.empty() && !Str(title, "RatingSystem").empty()) {
    rating += " (" + Str(title, "RatingSystem") + ")";
  }
  if (!rating.empty() && !Str(title, "RatingDetails").empty()) {
    rating += ": " + Str(title, "RatingDetails");
  }
  return rating;
}

std::string RegionsText(const Json& regions) {
  std::string text;
  for (const Json& region : regions) {
    text += (text.empty() ? "" : ", ") + Str(region, "Region");
  }
  return text;
}

std::string DiscSideText(const Json& disc, bool side_b) {
  std::string text = Str(disc, side_b ? "DescriptionSideB" : "DescriptionSideA");
  const std::string label = Str(disc, side_b ? "LabelSideB" : "LabelSideA");
  if (!label.empty()) text += " [" + label + "]";
  return text;
}

std::string DiscPlaceText(const Json& disc) {
  std::string place = Str(disc, "Location");
  if (!Str(disc, "Slot").empty())
    place += (place.empty() ? "slot " : ", slot ") + Str(disc, "Slot");
  return place;
}

std::vector<std::string> DiscMarks(const Json& disc) {
  std::vector<std::string> marks;
  for (const auto& [key, mark] :
       {std::pair{"DualSided", "dual sided"}, std::pair{"DualLayered", "dual layered"},
        std::pair{"Flipper", "flipper"}}) {
    if (Bool(disc, key)) marks.emplace_back(mark);
  }
  return marks;
}

std::string VideoText(const Json& video) {
  std::string text = Str(video, "VideoStandard");
  if (!Str(video, "AspectRatio").empty()) {
    text += (text.empty() ? "" : ", ") + Str(video, "AspectRatio") + ":1";
  }
  for (const auto& [key, label] :
       {std::pair{"Anamorphic", "16:9 enhanced"}, std::pair{"LetterBox", "letterbox"},
        std::pair{"PanAndScan", "pan and scan"}, std::pair{"FullFrame", "full frame"}}) {
    if (Bool(video, key)) text += std::string(text.empty() ? "" : ", ") + label;
  }
  return text;
}

std::string AudioText(const Json& track) {
  std::string text = Str(track, "Language");
  for (const char* key : {"Compression", "Channels"}) {
    if (!Str(track, key).empty()) text += (text.empty() ? "" : ", ") + Str(track, key);
  }
  return text;
}

std::string ReviewText(const Json& review) {
  if (!Int(review, "Film") && !Int(review, "Video") && !Int(review, "Audio") &&
      !Int(review, "Extras")) {
    return {};
  }
  return "film " + Str(review, "Film") + ", video " + Str(review, "Video") + ", audio " +
         Str(review, "Audio") + ", extras " + Str(review, "Extras");
}

std::string LoanText(const Json& loan) {
  std::string text = "to " + Str(loan, "UserID");
  if (!Str(loan, "LoanedDue").empty()) text += ", due " + Str(loan, "LoanedDue");
  return text;
}

std::string PurchaseText(const Json& purchase) {
  std::vector<std::string> parts;
  const std::string paid = Amount(Member(purchase, "Price"), Str(purchase, "CurrencyID"));
  if (!paid.empty()) parts.push_back(paid);
  if (!Str(purchase, "PurchaseDate").empty()) parts.push_back(Str(purchase, "PurchaseDate"));
  if (!Str(purchase, "PurchasePlaceName").empty()) {
    parts.push_back("at " + Str(purchase, "PurchasePlaceName"));
  }
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}

std::vector<std::string> CrewNames(const Json& crew, std::string_view role) {
  std::vector<std::string> names;
  for (const Json& credit : crew) {
    if (!credit.contains("Divider") && EqualsIgnoreCase(Str(credit, "Role"), role)) {
      names.push_back(Str(credit, "Name"));
    }
  }
  return names;
}

std::string TagText(const Json& tag) {
  return Str(tag, "LongName").empty() ? Str(tag, "Name") : Str(tag, "LongName");
}

std::string EventText(const Json& event) {
  std::string text = Str(event, "TimeStamp") + " " + Str(event, "EventType");
  if (!Str(event, "UserID").empty()) text += " (" + Str(event, "UserID") + ")";
  if (!Str(event, "Comment").empty()) text += ": " + Str(event, "Comment");
  return text;
}

std::vector<ShownCount> ShownCounts(const Json& list, const char* key, size_t limit) {
  std::vector<ShownCount> shown;
  int64_t rest = 0;
  for (const Json& item : list) {
    if (shown.size() == limit) {
      rest += Int(item, "Titles");
    } else {
      shown.push_back({Str(item, key), Int(item, "Titles"), false});
    }
  }
  if (rest) shown.push_back({"Others", rest, true});
  return shown;
}

std::string DecadeText(const Json& decade) {
  return Member(decade, "Decade").is_number() ? Str(decade, "Decade") + "s" : "No year";
}

std::string DueText(const Json& loan) {
  std::string when = Str(loan, "LoanedDue");
  const Json& days = Member(loan, "Days");
  if (days.is_number()) {
    const int64_t n = days.get<int64_t>();
    when += n < 0    ? " (" + Plural(-n, "day", "days") + " late)"
            : n == 0 ? " (today)"
                     : " (in " + Plural(n, "day", "days") + ")";
  }
  return when;
}

}  // namespace zel::web
