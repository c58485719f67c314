// The physical side of a title: discs, video format, audio tracks, review scores, studios, and the
// plain text lists (regions, genres, subtitles, features, locks).
//
// Profiles and episodes keep these in the same tables, with their own identifier in the ProfileID
// column; the Load*/Save* functions therefore take the owner. Loads append to the object given
// (already cached by the caller) and return the rows they read; empty columns read as empty, 0 or
// false, and numbers whole, whatever their size. Each Save* writes the object against those rows
// (store/row_images.h), so callers run it inside their write scope; a row the catalogue refuses
// (two audio tracks at one position, a genre listed twice) fails the save with an error naming it.
// A review or video format that holds nothing is not stored as a new row.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "frame/collection.h"
#include "store/keyed_collection.h"
#include "store/row_images.h"

namespace zel {

namespace store {
class CatalogueFile;
}  // namespace store

class ZelDisc : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  int64_t Number() const { return number_; }
  void SetNumber(int64_t number) { number_ = number; }
  const std::string& DescriptionSideA() const { return description_a_; }
  void SetDescriptionSideA(std::string text) { description_a_ = std::move(text); }
  const std::string& DescriptionSideB() const { return description_b_; }
  void SetDescriptionSideB(std::string text) { description_b_ = std::move(text); }
  const std::string& DiscIDSideA() const { return disc_id_a_; }
  void SetDiscIDSideA(std::string text) { disc_id_a_ = std::move(text); }
  const std::string& DiscIDSideB() const { return disc_id_b_; }
  void SetDiscIDSideB(std::string text) { disc_id_b_ = std::move(text); }
  const std::string& LabelSideA() const { return label_a_; }
  void SetLabelSideA(std::string text) { label_a_ = std::move(text); }
  const std::string& LabelSideB() const { return label_b_; }
  void SetLabelSideB(std::string text) { label_b_ = std::move(text); }
  bool DualSided() const { return dual_sided_; }
  void SetDualSided(bool flag) { dual_sided_ = flag; }
  bool DualLayered() const { return dual_layered_; }
  void SetDualLayered(bool flag) { dual_layered_ = flag; }
  bool Flipper() const { return flipper_; }
  void SetFlipper(bool flag) { flipper_ = flag; }
  const std::string& Location() const { return location_; }
  void SetLocation(std::string text) { location_ = std::move(text); }
  const std::string& Slot() const { return slot_; }
  void SetSlot(std::string text) { slot_ = std::move(text); }

  static const store::RecordShape<ZelDisc>& Shape();

 private:
  int64_t number_ = 0;
  std::string description_a_, description_b_, disc_id_a_, disc_id_b_, label_a_, label_b_;
  bool dual_sided_ = false, dual_layered_ = false, flipper_ = false;
  std::string location_, slot_;
};

// Discs in list order. Add keys the disc by the disc-number text exactly as passed; AddDisc and
// loading add without key.
class ZelDiscs : public TypedCollection<ZelDisc> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelDisc> AddDisc(std::shared_ptr<ZelDisc> disc);
  // The number text is converted to the Number before anything is added.
  std::shared_ptr<ZelDisc> Add(std::string disc_no, std::string description);
};

class ZelVideo : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& AspectRatio() const { return aspect_ratio_; }
  void SetAspectRatio(std::string text) { aspect_ratio_ = std::move(text); }
  const std::string& VideoStandard() const { return video_standard_; }
  void SetVideoStandard(std::string text) { video_standard_ = std::move(text); }
  bool LetterBox() const { return letter_box_; }
  void SetLetterBox(bool flag) { letter_box_ = flag; }
  bool PanAndScan() const { return pan_and_scan_; }
  void SetPanAndScan(bool flag) { pan_and_scan_ = flag; }
  bool FullFrame() const { return full_frame_; }
  void SetFullFrame(bool flag) { full_frame_ = flag; }
  // Stored as F16X9.
  bool Anamorphic() const { return anamorphic_; }
  void SetAnamorphic(bool flag) { anamorphic_ = flag; }

  static const store::RecordShape<ZelVideo>& Shape();
  bool HoldsNothing() const;

 private:
  std::string aspect_ratio_, video_standard_;
  bool letter_box_ = false, pan_and_scan_ = false, full_frame_ = false, anamorphic_ = false;
};

class ZelAudioFormat : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  // Stored as OrderPos; the next read orders by it.
  int64_t Position() const { return position_; }
  void SetPosition(int64_t position) { position_ = position; }
  const std::string& Language() const { return language_; }
  void SetLanguage(std::string text) { language_ = std::move(text); }
  const std::string& Compression() const { return compression_; }
  void SetCompression(std::string text) { compression_ = std::move(text); }
  const std::string& Channels() const { return channels_; }
  void SetChannels(std::string text) { channels_ = std::move(text); }

  static const store::RecordShape<ZelAudioFormat>& Shape();

 private:
  int64_t position_ = 0;
  std::string language_, compression_, channels_;
};

class ZelAudioFormats : public TypedCollection<ZelAudioFormat> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelAudioFormat> AddAudioFormat(std::shared_ptr<ZelAudioFormat> format);
  std::shared_ptr<ZelAudioFormat> Add(std::string language, std::string compression,
                                      int64_t position, std::string channels);
};

class ZelReview : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  int64_t Film() const { return film_; }
  void SetFilm(int64_t score) { film_ = score; }
  int64_t Video() const { return video_; }
  void SetVideo(int64_t score) { video_ = score; }
  int64_t Audio() const { return audio_; }
  void SetAudio(int64_t score) { audio_ = score; }
  int64_t Extras() const { return extras_; }
  void SetExtras(int64_t score) { extras_ = score; }

  static const store::RecordShape<ZelReview>& Shape();
  bool HoldsNothing() const { return film_ == 0 && video_ == 0 && audio_ == 0 && extras_ == 0; }

 private:
  int64_t film_ = 0, video_ = 0, audio_ = 0, extras_ = 0;
};

class ZelStudio : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& StudioType() const { return type_; }
  void SetStudioType(std::string type) { type_ = std::move(type); }

  static const store::RecordShape<ZelStudio>& Shape();

 private:
  std::string name_, type_;
};

// Studios by position only: Item takes a 16-bit position, Remove a 32-bit one.
class ZelStudios : public TypedCollection<ZelStudio> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelStudio> ItemAt(int16_t index) const { return Item(Variant(index)); }
  void RemoveAt(int32_t index) { Remove(Variant(index)); }
  std::shared_ptr<ZelStudio> AddStudio(std::shared_ptr<ZelStudio> studio);
  std::shared_ptr<ZelStudio> Add(std::string name, std::string type);
};

// The plain text lists of an owner. Regions are read without keys; the others key each item by its
// own text. Keys and the file ignore the case of the same letters, so every stored list can be
// read.
enum class TextList { kRegions, kGenres, kSubtitles, kFeatures, kLocks };

struct Owner;
using DiscsImage = store::ListImage<ZelDisc>;
using AudioImage = store::ListImage<ZelAudioFormat>;
using StudiosImage = store::ListImage<ZelStudio>;

DiscsImage LoadDiscs(store::CatalogueFile& database, std::string_view owner_id, ZelDiscs& discs);
void SaveDiscs(store::CatalogueFile& database, const Owner& owner, const ZelDiscs& discs,
               DiscsImage& image);
// Leaves `video` as it is when the owner has no VideoFormat row.
store::RowImage LoadVideo(store::CatalogueFile& database, std::string_view owner_id,
                          ZelVideo& video);
void SaveVideo(store::CatalogueFile& database, const Owner& owner, const ZelVideo& video,
               store::RowImage& image);
AudioImage LoadAudio(store::CatalogueFile& database, std::string_view owner_id,
                     ZelAudioFormats& formats);
void SaveAudio(store::CatalogueFile& database, const Owner& owner, const ZelAudioFormats& formats,
               AudioImage& image);
// Leaves `review` as it is when the owner has no Reviews row.
store::RowImage LoadReview(store::CatalogueFile& database, std::string_view owner_id,
                           ZelReview& review);
void SaveReview(store::CatalogueFile& database, const Owner& owner, const ZelReview& review,
                store::RowImage& image);
StudiosImage LoadStudios(store::CatalogueFile& database, std::string_view owner_id,
                         ZelStudios& studios);
void SaveStudios(store::CatalogueFile& database, const Owner& owner, const ZelStudios& studios,
                 StudiosImage& image);
store::TextListImage LoadTextList(store::CatalogueFile& database, std::string_view owner_id,
                                  TextList list, Collection& items);
void SaveTextList(store::CatalogueFile& database, const Owner& owner, TextList list,
                  const Collection& items, store::TextListImage& image);

// The load and save of one plain list, for the owners' tables of lists (model/load_once.h).
inline auto TextListLoader(TextList list) {
  return [=](store::CatalogueFile& database, std::string_view owner_id, Collection& items) {
    return LoadTextList(database, owner_id, list, items);
  };
}
inline auto TextListSaver(TextList list) {
  return [=](store::CatalogueFile& database, const Owner& owner, const Collection& items,
             store::TextListImage& image) { SaveTextList(database, owner, list, items, image); };
}

}  // namespace zel
