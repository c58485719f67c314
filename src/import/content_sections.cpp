// Disc and content sections of an imported title: discs, regions, video format, features, studios
// and media companies, genres, subtitles, audio tracks and the review.
//
// A section element that a trimmed export leaves out reads as an empty one: the section's old rows
// go and none come, as for an empty list.
#include <string>

#include "frame/text.h"
#include "import/import_sections.h"
#include "store/catalogue_file.h"
#include "store/connection.h"
#include "store/text_helpers.h"

namespace zel {

namespace {

using store::Connection;

// A row of the title in `shape`, whose first column is its ProfileID: refused rows (the same
// feature twice, say) are skipped, as a statement of the dialect skips them.
template <typename... Values>
void InsertRow(TitleContext& title, const Connection::RowShape& shape, Values&&... values) {
  title.database.connection().Insert(
      shape, {Variant(title.profile_id), Variant(std::forward<Values>(values))...},
      Connection::Refused::kSkip);
}

// The child elements `name` of the section element `section`; none when the section is missing.
std::vector<xml::Node> Items(const TitleContext& title, std::string_view section,
                             std::string_view name) {
  const xml::Node element = title.dvd.Child(section);
  if (!element) return {};
  return element.Children(name);
}

std::string RegionCode(const std::string& text) {
  if (text == "All") return "0";
  if (text == "A") return "1";
  if (text == "B") return "2";
  if (text == "C") return "3";
  return text;
}

std::string ChannelText(std::string channels) {
  if (channels == "Dolby Surround") return "2.0 Surround";
  if (channels == "2-Channel Stereo") return "2.0 Stereo";
  return channels;
}

// The feature of a child of Features; empty for a child that names none. "Other" marks the two
// free-text children.
std::string_view FeatureOf(std::string_view element) {
  static constexpr std::pair<std::string_view, std::string_view> kFeatures[] = {
      {"FeatureSceneAccess", "Scene Access"},
      {"FeatureCommentary", "Commentary"},
      {"FeatureTrailer", "Trailers"},
      {"FeaturePhotoGallery", "Photo Gallery"},
      {"FeatureDeletedScenes", "Deleted Scenes"},
      {"FeatureMakingOf", "Featurettes"},
      {"FeatureProductionNotes", "Production Notes"},
      {"FeatureGame", "Interactive Game"},
      {"FeatureDVDROMContent", "DVD-ROM Content"},
      {"FeatureMultiAngle", "Multi Angle"},
      {"FeatureMusicVideos", "Music Videos"},
      {"FeatureClosedCaptioned", "Closed Captioned"},
      {"FeatureTHXCertified", "THX certified"},
      {"FeatureInterviews", "Interviews"},
      {"FeatureOuttakes", "Outtakes"},
      {"FeatureStoryboardComparisons", "Storyboard Comparisons"},
      {"FeaturePIP", "Picture-in-picture"},
      {"FeatureBDLive", "BD-Live"},
      {"FeatureBonusTrailers", "Bonus Trailers"},
      {"FeatureDigitalCopy", "Digital Copy"},
      {"FeatureOther", "Other"},
      {"OtherFeatures", "Other"},
  };
  for (const auto& [name, feature] : kFeatures) {
    if (name == element) return feature;
  }
  return {};
}

void InsertFeature(TitleContext& title, std::string_view feature) {
  static const Connection::RowShape kShape{"Features", {"ProfileID", "Feature"}};
  InsertRow(title, kShape, feature);
}

void InsertStudio(TitleContext& title, std::string_view studio, std::string_view type) {
  static const Connection::RowShape kShape{"Studios", {"ProfileID", "Studio", "Type"}};
  InsertRow(title, kShape, studio, type);
}

}  // namespace

void ImportDiscs(TitleContext& title) {
  DeleteTitleRows(title, "Discs");
  static const Connection::RowShape kShape{
      "Discs",
      {"ProfileID", "DiscNo", "Description", "DescriptionSideB", "DiscIDSideA", "LabelSideA",
       "DiscIDSideB", "LabelSideB", "DualSided", "DualLayered", "DualLayeredSideB", "Flipper",
       "Location", "Slot"}};
  int16_t number = 1;
  for (const xml::Node& disc : Items(title, "Discs", "Disc")) {
    const auto text = [&](std::string_view element) {
      return Variant(ChildText(disc, element, ""));
    };
    const auto flag = [&](std::string_view element) {
      return Variant(FlagValue(ChildText(disc, element, "False")));
    };
    title.database.connection().Insert(
        kShape,
        {Variant(title.profile_id), Variant(number), text("DescriptionSideA"),
         text("DescriptionSideB"), text("DiscIDSideA"), text("LabelSideA"), text("DiscIDSideB"),
         text("LabelSideB"), flag("DualSided"), flag("DualLayeredSideA"), flag("DualLayeredSideB"),
         Variant(false), text("Location"), text("Slot")},
        Connection::Refused::kRaise);
    ++number;
  }
}

void ImportRegions(TitleContext& title) {
  DeleteTitleRows(title, "Regions");
  std::vector<std::string> codes;
  for (const xml::Node& region : Items(title, "Regions", "Region")) {
    codes.push_back(RegionCode(region.Text()));
  }
  // A title without regions counts as region 0.
  if (codes.empty()) codes.emplace_back("0");
  static const Connection::RowShape kShape{"Regions", {"ProfileID", "Region"}};
  for (const std::string& code : codes) InsertRow(title, kShape, code);
}

void ImportVideoFormat(TitleContext& title) {
  const xml::Node format = title.dvd.Child("Format");
  if (!format) return;
  auto records = title.database.DbOpenRecordSet("SELECT * FROM VideoFormat WHERE ProfileID = '" +
                                                title.quoted_id + "'");
  if (records->RecordCount() != 0) {
    records->Edit();
  } else {
    records->AddNew();
  }
  records->SetValue("ProfileID", Variant(title.profile_id));
  records->SetValue("AspectRatio", Variant(ChildText(format, "FormatAspectRatio", "")));
  // Only a DVD has a video standard; the column of other media keeps what it holds.
  if (title.medium == "DVD") {
    records->SetValue("VideoStandard", Variant(ChildText(format, "FormatVideoStandard", "")));
  }
  records->SetValue("LetterBox", Variant(FlagValue(ChildText(format, "FormatLetterBox", "False"))));
  records->SetValue("PanAndScan",
                    Variant(FlagValue(ChildText(format, "FormatPanAndScan", "False"))));
  records->SetValue("FullFrame", Variant(FlagValue(ChildText(format, "FormatFullFrame", "False"))));
  records->SetValue("F16X9", Variant(FlagValue(ChildText(format, "Format16X9", "False"))));
  records->Update();
}

void ImportFeatures(TitleContext& title) {
  DeleteTitleRows(title, "Features");
  const xml::Node features = title.dvd.Child("Features");
  if (!features) return;
  for (const xml::Node& child : features.ChildNodes()) {
    if (!child.IsElement()) continue;
    const std::string_view feature = FeatureOf(child.Name());
    if (feature.empty()) continue;
    const std::string text = child.Text();
    if (feature != "Other") {
      if (ToLower(text) == "true") InsertFeature(title, feature);
      continue;
    }
    if (text.empty()) continue;
    const std::string joined = ReplaceAll(ReplaceAll(text, "\r\n", ", "), "\n", ", ");
    for (const std::string& piece : Split(joined, ",")) InsertFeature(title, Trim(piece));
  }
}

void ImportStudios(TitleContext& title) {
  DeleteTitleRows(title, "Studios");
  for (const xml::Node& studio : Items(title, "Studios", "Studio")) {
    InsertStudio(title, studio.Text(), "");
  }
  const std::string publisher = ChildText(title.dvd, "MediaPublisher", "");
  if (!publisher.empty()) InsertStudio(title, publisher, "Media Company");
  for (const xml::Node& company : Items(title, "MediaCompanies", "MediaCompany")) {
    const std::string name = company.Text();
    if (!name.empty()) InsertStudio(title, name, "Media Company");
  }
}

void ImportGenres(TitleContext& title) {
  DeleteTitleRows(title, "Genres");
  static const Connection::RowShape kShape{"Genres", {"ProfileID", "Genre"}};
  for (const xml::Node& genre : Items(title, "Genres", "Genre")) {
    std::string text = genre.Text();
    if (!text.empty()) InsertRow(title, kShape, std::move(text));
  }
}

void ImportSubtitles(TitleContext& title) {
  DeleteTitleRows(title, "Subtitles");
  static const Connection::RowShape kShape{"Subtitles", {"ProfileID", "Subtitle"}};
  for (const xml::Node& subtitle : Items(title, "Subtitles", "Subtitle")) {
    InsertRow(title, kShape, subtitle.Text());
  }
}

void ImportAudio(TitleContext& title) {
  DeleteTitleRows(title, "AudioFormats");
  static const Connection::RowShape kShape{
      "AudioFormats", {"ProfileID", "OrderPos", "Language", "Compression", "Channels"}};
  int position = 1;
  for (const xml::Node& track : Items(title, "Audio", "AudioTrack")) {
    InsertRow(title, kShape, std::to_string(position), ChildText(track, "AudioContent", ""),
              ChildText(track, "AudioFormat", ""),
              ChannelText(ChildText(track, "AudioChannels", "")));
    ++position;
  }
}

void ImportReview(TitleContext& title) {
  DeleteTitleRows(title, "Reviews");
  const xml::Node review = title.dvd.Child("Review");
  if (!review) return;
  static const Connection::RowShape kShape{"Reviews",
                                           {"ProfileID", "Film", "Video", "Audio", "Extras"}};
  const auto score = [&](std::string_view name) {
    return TextOrNull(AttributeText(review, name, ""));
  };
  InsertRow(title, kShape, score("Film"), score("Video"), score("Audio"), score("Extras"));
}

}  // namespace zel
