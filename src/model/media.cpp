#include "model/media.h"

#include "frame/error.h"
#include "frame/member_table.h"
#include "model/load_once.h"
#include "store/catalogue_file.h"

namespace zel {

const ClassInfo& ZelDisc::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelDisc>("ZelDisc")
          .Creatable()
          .WithReflection(Reflection::kPlain)
          .Property("Number", &ZelDisc::Number, &ZelDisc::SetNumber)
          .Property("DescriptionSideA", &ZelDisc::DescriptionSideA, &ZelDisc::SetDescriptionSideA)
          .Property("DescriptionSideB", &ZelDisc::DescriptionSideB, &ZelDisc::SetDescriptionSideB)
          .Property("DiscIDSideA", &ZelDisc::DiscIDSideA, &ZelDisc::SetDiscIDSideA)
          .Property("DiscIDSideB", &ZelDisc::DiscIDSideB, &ZelDisc::SetDiscIDSideB)
          .Property("LabelSideA", &ZelDisc::LabelSideA, &ZelDisc::SetLabelSideA)
          .Property("LabelSideB", &ZelDisc::LabelSideB, &ZelDisc::SetLabelSideB)
          .Property("DualSided", &ZelDisc::DualSided, &ZelDisc::SetDualSided)
          .Property("DualLayered", &ZelDisc::DualLayered, &ZelDisc::SetDualLayered)
          .Property("Flipper", &ZelDisc::Flipper, &ZelDisc::SetFlipper)
          .Property("Location", &ZelDisc::Location, &ZelDisc::SetLocation)
          .Property("Slot", &ZelDisc::Slot, &ZelDisc::SetSlot)
          .Build();
  return info;
}

const ClassInfo& ZelDiscs::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelDiscs>("ZelDiscs")
          .Creatable()
          .Get("Count", &ZelDiscs::Count)
          .Method("Item", &ZelDiscs::Item, {Param("vntIndexKey")})
          .Default()
          .Method("Remove", &ZelDiscs::Remove, {Param("vntIndexKey")})
          .Method("RemoveAll", &ZelDiscs::RemoveAll)
          .Get("NewEnum", &ZelDiscs::NewEnum)
          .Enumerator()
          .Method("AddDisc", &ZelDiscs::AddDisc, {Param("Disc")})
          .Method("Add", &ZelDiscs::Add, {Param("DiscNo"), Param("Description")})
          .Build();
  return info;
}

std::shared_ptr<ZelDisc> ZelDiscs::AddDisc(std::shared_ptr<ZelDisc> disc) {
  AddExisting(disc);
  return disc;
}

std::shared_ptr<ZelDisc> ZelDiscs::Add(std::string disc_no, std::string description) {
  auto disc = std::make_shared<ZelDisc>();
  disc->SetNumber(Variant(disc_no).ToLongLong());
  disc->SetDescriptionSideA(std::move(description));
  Insert(disc, disc_no);
  return disc;
}

const ClassInfo& ZelVideo::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelVideo>("ZelVideo")
          .Creatable()
          .WithReflection(Reflection::kPlain)
          .Property("AspectRatio", &ZelVideo::AspectRatio, &ZelVideo::SetAspectRatio)
          .Property("VideoStandard", &ZelVideo::VideoStandard, &ZelVideo::SetVideoStandard)
          .Property("LetterBox", &ZelVideo::LetterBox, &ZelVideo::SetLetterBox)
          .Property("PanAndScan", &ZelVideo::PanAndScan, &ZelVideo::SetPanAndScan)
          .Property("FullFrame", &ZelVideo::FullFrame, &ZelVideo::SetFullFrame)
          .Property("Anamorphic", &ZelVideo::Anamorphic, &ZelVideo::SetAnamorphic)
          .Build();
  return info;
}

const ClassInfo& ZelAudioFormat::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelAudioFormat>("ZelAudioFormat")
          .Creatable()
          .WithReflection(Reflection::kPlain)
          .Property("Position", &ZelAudioFormat::Position, &ZelAudioFormat::SetPosition)
          .Property("Language", &ZelAudioFormat::Language, &ZelAudioFormat::SetLanguage)
          .Property("Compression", &ZelAudioFormat::Compression, &ZelAudioFormat::SetCompression)
          .Property("Channels", &ZelAudioFormat::Channels, &ZelAudioFormat::SetChannels)
          .Build();
  return info;
}

const ClassInfo& ZelAudioFormats::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelAudioFormats>("ZelAudioFormats")
          .Creatable()
          .Get("Count", &ZelAudioFormats::Count)
          .Method("Item", &ZelAudioFormats::Item, {Param("vntIndexKey")})
          .Default()
          .Method("Remove", &ZelAudioFormats::Remove, {Param("vntIndexKey")})
          .Method("RemoveAll", &ZelAudioFormats::RemoveAll)
          .Get("NewEnum", &ZelAudioFormats::NewEnum)
          .Enumerator()
          .Method("AddAudioFormat", &ZelAudioFormats::AddAudioFormat, {Param("AudioFormat")})
          .Method("Add", &ZelAudioFormats::Add,
                  {Param("Language"), Param("Compression"), Param("Position"), Param("Channels")})
          .Build();
  return info;
}

std::shared_ptr<ZelAudioFormat> ZelAudioFormats::AddAudioFormat(
    std::shared_ptr<ZelAudioFormat> format) {
  AddExisting(format);
  return format;
}

std::shared_ptr<ZelAudioFormat> ZelAudioFormats::Add(std::string language, std::string compression,
                                                     int64_t position, std::string channels) {
  auto format = std::make_shared<ZelAudioFormat>();
  format->SetLanguage(std::move(language));
  format->SetCompression(std::move(compression));
  format->SetPosition(position);
  format->SetChannels(std::move(channels));
  return AddAudioFormat(format);
}

const ClassInfo& ZelReview::Info() {
  static const ClassInfo info = ClassBuilder<ZelReview>("ZelReview")
                                    .Creatable()
                                    .WithReflection(Reflection::kPlain)
                                    .Property("Film", &ZelReview::Film, &ZelReview::SetFilm)
                                    .Property("Video", &ZelReview::Video, &ZelReview::SetVideo)
                                    .Property("Audio", &ZelReview::Audio, &ZelReview::SetAudio)
                                    .Property("Extras", &ZelReview::Extras, &ZelReview::SetExtras)
                                    .Build();
  return info;
}

const ClassInfo& ZelStudio::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelStudio>("ZelStudio")
          .Creatable()
          .WithReflection(Reflection::kPlain)
          .Property("Name", &ZelStudio::Name, &ZelStudio::SetName)
          .Property("StudioType", &ZelStudio::StudioType, &ZelStudio::SetStudioType)
          .Build();
  return info;
}

const ClassInfo& ZelStudios::Info() {
  static const ClassInfo info =
      ClassBuilder<ZelStudios>("ZelStudios")
          .Creatable()
          .Get("Count", &ZelStudios::Count)
          .Method("Item", &ZelStudios::ItemAt, {Param("intIndex")})
          .Default()
          .Get("NewEnum", &ZelStudios::NewEnum)
          .Enumerator()
          .Method("Remove", &ZelStudios::RemoveAt, {Param("lngIndex")})
          .Method("RemoveAll", &ZelStudios::RemoveAll)
          .Method("AddStudio", &ZelStudios::AddStudio, {Param("Studio")})
          .Method("Add", &ZelStudios::Add, {Param("Name"), Param("sType")})
          .Build();
  return info;
}

std::shared_ptr<ZelStudio> ZelStudios::AddStudio(std::shared_ptr<ZelStudio> studio) {
  AddExisting(studio);
  return studio;
}

std::shared_ptr<ZelStudio> ZelStudios::Add(std::string name, std::string type) {
  auto studio = std::make_shared<ZelStudio>();
  studio->SetName(std::move(name));
  studio->SetStudioType(std::move(type));
  return AddStudio(studio);
}

// --- rows --------------------------------------------------------------------------------------

const store::RecordShape<ZelDisc>& ZelDisc::Shape() {
  using D = ZelDisc;
  static const store::RecordShape<D> shape(
      store::Table::kDiscs,
      {store::FieldOf("Number", &D::number_),
       store::FieldOf("DescriptionSideA", &D::description_a_),
       store::FieldOf("DiscIDSideA", &D::disc_id_a_), store::FieldOf("LabelSideA", &D::label_a_),
       store::FieldOf("DescriptionSideB", &D::description_b_),
       store::FieldOf("DiscIDSideB", &D::disc_id_b_), store::FieldOf("LabelSideB", &D::label_b_),
       store::FieldOf("DualSided", &D::dual_sided_),
       store::FieldOf("DualLayered", &D::dual_layered_), store::FieldOf("Flipper", &D::flipper_),
       store::FieldOf("Location", &D::location_), store::FieldOf("Slot", &D::slot_)});
  return shape;
}

const store::RecordShape<ZelVideo>& ZelVideo::Shape() {
  using V = ZelVideo;
  static const store::RecordShape<V> shape(store::Table::kVideoFormat,
                                           {store::FieldOf("AspectRatio", &V::aspect_ratio_),
                                            store::FieldOf("VideoStandard", &V::video_standard_),
                                            store::FieldOf("LetterBox", &V::letter_box_),
                                            store::FieldOf("PanAndScan", &V::pan_and_scan_),
                                            store::FieldOf("FullFrame", &V::full_frame_),
                                            store::FieldOf("Anamorphic", &V::anamorphic_)});
  return shape;
}

bool ZelVideo::HoldsNothing() const {
  return aspect_ratio_.empty() && video_standard_.empty() && !letter_box_ && !pan_and_scan_ &&
         !full_frame_ && !anamorphic_;
}

const store::RecordShape<ZelAudioFormat>& ZelAudioFormat::Shape() {
  using A = ZelAudioFormat;
  static const store::RecordShape<A> shape(
      store::Table::kAudioFormats,
      {store::FieldOf("Position", &A::position_), store::FieldOf("Language", &A::language_),
       store::FieldOf("Compression", &A::compression_), store::FieldOf("Channels", &A::channels_)});
  return shape;
}

const store::RecordShape<ZelReview>& ZelReview::Shape() {
  using R = ZelReview;
  static const store::RecordShape<R> shape(
      store::Table::kReviews,
      {store::FieldOf("Film", &R::film_), store::FieldOf("Video", &R::video_),
       store::FieldOf("Audio", &R::audio_), store::FieldOf("Extras", &R::extras_)});
  return shape;
}

const store::RecordShape<ZelStudio>& ZelStudio::Shape() {
  static const store::RecordShape<ZelStudio> shape(
      store::Table::kStudios,
      {store::FieldOf("Name", &ZelStudio::name_), store::FieldOf("StudioType", &ZelStudio::type_)});
  return shape;
}

namespace {

struct TextListTable {
  store::Table table;
  bool keyed;
  const char* what;  // one item, for messages
};

TextListTable TableOf(TextList list) {
  switch (list) {
    case TextList::kRegions:
      return {store::Table::kRegions, false, "Region"};
    case TextList::kGenres:
      return {store::Table::kGenres, true, "Genre"};
    case TextList::kSubtitles:
      return {store::Table::kSubtitles, true, "Subtitle"};
    case TextList::kFeatures:
      return {store::Table::kFeatures, true, "Feature"};
    case TextList::kLocks:
      return {store::Table::kLocks, true, "Lock"};
  }
  return {store::Table::kRegions, false, "Region"};
}

}  // namespace

DiscsImage LoadDiscs(store::CatalogueFile& database, std::string_view owner_id, ZelDiscs& discs) {
  return LoadOwned(database, ZelDisc::Shape(), owner_id, "t.\"DiscNo\"", discs, &ZelDiscs::AddDisc);
}

void SaveDiscs(store::CatalogueFile& database, const Owner& owner, const ZelDiscs& discs,
               DiscsImage& image) {
  store::SaveList(database, ZelDisc::Shape(), discs.All(), image,
                  owner.Context<ZelDisc>(store::Table::kDiscs, [&](const ZelDisc& disc) {
                    return "Disc " + std::to_string(disc.Number()) + owner.Of();
                  }));
}

store::RowImage LoadVideo(store::CatalogueFile& database, std::string_view owner_id,
                          ZelVideo& video) {
  return LoadOwnedRow(database, ZelVideo::Shape(), owner_id, video);
}

void SaveVideo(store::CatalogueFile& database, const Owner& owner, const ZelVideo& video,
               store::RowImage& image) {
  store::SaveSingle(
      database, ZelVideo::Shape(), video, !image.Stored() && video.HoldsNothing(), image,
      owner.Context<ZelVideo>(store::Table::kVideoFormat,
                              [&](const ZelVideo&) { return "The video format" + owner.Of(); }));
}

AudioImage LoadAudio(store::CatalogueFile& database, std::string_view owner_id,
                     ZelAudioFormats& formats) {
  return LoadOwned(database, ZelAudioFormat::Shape(), owner_id, "t.\"OrderPos\"", formats,
                   &ZelAudioFormats::AddAudioFormat);
}

void SaveAudio(store::CatalogueFile& database, const Owner& owner, const ZelAudioFormats& formats,
               AudioImage& image) {
  store::SaveList(
      database, ZelAudioFormat::Shape(), formats.All(), image,
      owner.Context<ZelAudioFormat>(store::Table::kAudioFormats, [&](const ZelAudioFormat& format) {
        return "Audio track '" + format.Language() + "' at position " +
               std::to_string(format.Position()) + owner.Of();
      }));
}

store::RowImage LoadReview(store::CatalogueFile& database, std::string_view owner_id,
                           ZelReview& review) {
  return LoadOwnedRow(database, ZelReview::Shape(), owner_id, review);
}

void SaveReview(store::CatalogueFile& database, const Owner& owner, const ZelReview& review,
                store::RowImage& image) {
  store::SaveSingle(database, ZelReview::Shape(), review, !image.Stored() && review.HoldsNothing(),
                    image, owner.Context<ZelReview>(store::Table::kReviews, [&](const ZelReview&) {
                      return "The review" + owner.Of();
                    }));
}

StudiosImage LoadStudios(store::CatalogueFile& database, std::string_view owner_id,
                         ZelStudios& studios) {
  return LoadOwned(database, ZelStudio::Shape(), owner_id, "t.\"Studio\", t.\"Type\"", studios,
                   &ZelStudios::AddStudio);
}

void SaveStudios(store::CatalogueFile& database, const Owner& owner, const ZelStudios& studios,
                 StudiosImage& image) {
  store::SaveList(database, ZelStudio::Shape(), studios.All(), image,
                  owner.Context<ZelStudio>(store::Table::kStudios, [&](const ZelStudio& studio) {
                    return "Studio '" + studio.Name() + "' (type '" + studio.StudioType() + "')" +
                           owner.Of();
                  }));
}

store::TextListImage LoadTextList(store::CatalogueFile& database, std::string_view owner_id,
                                  TextList list, Collection& items) {
  const TextListTable table = TableOf(list);
  std::vector<std::string> texts;
  store::TextListImage image = store::LoadTextList(database, table.table, owner_id, texts);
  for (std::string& text : texts) {
    items.Add(Variant(text), table.keyed ? Variant(text) : Variant());
  }
  return image;
}

void SaveTextList(store::CatalogueFile& database, const Owner& owner, TextList list,
                  const Collection& items, store::TextListImage& image) {
  const TextListTable table = TableOf(list);
  std::vector<std::string> texts;
  for (const Variant& item : items.Items()) texts.push_back(item.ToText());
  store::SaveTextList(database, table.table, texts, image,
                      owner.Context<std::string>(table.table, [&](const std::string& text) {
                        return std::string(table.what) + " '" + text + "'" + owner.Of();
                      }));
}

}  // namespace zel
