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

void DeleteRows(TitleContext& title, std::string_view table) {
  title.database.ExecuteSQL("DELETE FROM " + std::string(table) + " WHERE ProfileID = '" +
                            title.quoted_id + "'");
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
  title.database.ExecuteSQL("INSERT INTO Features (ProfileID, Feature) Values ('" +
                            title.quoted_id + "', '" + QuoteSql(feature) + "')");
}

void InsertStudio(TitleContext& title, std::string_view studio, std::string_view type) {
  title.database.ExecuteSQL("INSERT INTO Studios (ProfileID, Studio, Type) VALUES ('" +
                            title.quoted_id + "', '" + QuoteSql(studio) + "', '" + QuoteSql(type) +
                            "')");
}

}  // namespace

void ImportDiscs(TitleContext& title) {
  DeleteRows(title, "Discs");
  const std::vector<xml::Node> discs = Items(title, "Discs", "Disc");
  if (discs.empty()) return;
  auto records = title.database.DbOpenRecordSet("SELECT * FROM Discs WHERE ProfileID = '" +
                                                title.quoted_id + "'");
  int16_t number = 1;
  for (const xml::Node& disc : discs) {
    records->AddNew();
    records->SetValue("ProfileID", Variant(title.profile_id));
    records->SetValue("DiscNo", Variant(number));
    records->SetValue("Description", Variant(ChildText(disc, "DescriptionSideA", "")));
    for (std::string_view column :
         {"DescriptionSideB", "DiscIDSideA", "LabelSideA", "DiscIDSideB", "LabelSideB"}) {
      records->SetValue(column, Variant(ChildText(disc, column, "")));
    }
    records->SetValue("DualSided", Variant(FlagValue(ChildText(disc, "DualSided", "False"))));
    records->SetValue("DualLayered",
                      Variant(FlagValue(ChildText(disc, "DualLayeredSideA", "False"))));
    records->SetValue("DualLayeredSideB",
                      Variant(FlagValue(ChildText(disc, "DualLayeredSideB", "False"))));
    records->SetValue("Flipper", Variant(false));
    records->SetValue("Location", Variant(ChildText(disc, "Location", "")));
    records->SetValue("Slot", Variant(ChildText(disc, "Slot", "")));
    records->Update();
    ++number;
  }
}

void ImportRegions(TitleContext& title) {
  DeleteRows(title, "Regions");
  std::vector<std::string> codes;
  for (const xml::Node& region : Items(title, "Regions", "Region")) {
    codes.push_back(RegionCode(region.Text()));
  }
  // A title without regions counts as region 0.
  if (codes.empty()) codes.emplace_back("0");
  for (const std::string& code : codes) {
    title.database.ExecuteSQL("INSERT INTO Regions (ProfileID, Region) VALUES ('" +
                              title.quoted_id + "', '" + QuoteSql(code) + "')");
  }
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
  DeleteRows(title, "Features");
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
  DeleteRows(title, "Studios");
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
  DeleteRows(title, "Genres");
  for (const xml::Node& genre : Items(title, "Genres", "Genre")) {
    const std::string text = genre.Text();
    if (text.empty()) continue;
    title.database.ExecuteSQL("INSERT INTO Genres (ProfileID, Genre) VALUES ('" + title.quoted_id +
                              "', '" + QuoteSql(text) + "')");
  }
}

void ImportSubtitles(TitleContext& title) {
  DeleteRows(title, "Subtitles");
  for (const xml::Node& subtitle : Items(title, "Subtitles", "Subtitle")) {
    title.database.ExecuteSQL("INSERT INTO Subtitles (ProfileID, Subtitle) VALUES ('" +
                              title.quoted_id + "', '" + QuoteSql(subtitle.Text()) + "')");
  }
}

void ImportAudio(TitleContext& title) {
  DeleteRows(title, "AudioFormats");
  int position = 1;
  for (const xml::Node& track : Items(title, "Audio", "AudioTrack")) {
    title.database.ExecuteSQL(
        "INSERT INTO AudioFormats(ProfileID, OrderPos, Language, Compression, Channels) VALUES "
        "('" +
        title.quoted_id + "', '" + std::to_string(position) + "', '" +
        QuoteSql(ChildText(track, "AudioContent", "")) + "', '" +
        QuoteSql(ChildText(track, "AudioFormat", "")) + "', '" +
        QuoteSql(ChannelText(ChildText(track, "AudioChannels", ""))) + "')");
    ++position;
  }
}

void ImportReview(TitleContext& title) {
  DeleteRows(title, "Reviews");
  const xml::Node review = title.dvd.Child("Review");
  if (!review) return;
  std::string values = "'" + title.quoted_id + "'";
  for (std::string_view score : {"Film", "Video", "Audio", "Extras"}) {
    values += ", " + QuotedOrNull(AttributeText(review, score, ""));
  }
  title.database.ExecuteSQL("INSERT INTO Reviews (ProfileID, Film, Video, Audio, Extras) VALUES (" +
                            values + ")");
}

}  // namespace zel
