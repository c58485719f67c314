#include "model/media.h"

#include "frame/error.h"
#include "frame/member_table.h"
#include "store/catalogue_file.h"
#include "store/text_helpers.h"

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
  disc->SetNumber(Variant(disc_no).ToInteger());
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
                                                     int16_t position, std::string channels) {
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

// --- reading and saving ----------------------------------------------------------------------

namespace {

// "... WHERE x.ProfileID = '<quoted owner>'" completed with `tail`.
std::string OwnedBy(std::string_view head, std::string_view owner_id, std::string_view tail = "") {
  return std::string(head) + QuoteSql(owner_id) + "'" + std::string(tail);
}

// "('<owner>', '<a>', '<b>', ...)" with every value quoted.
std::string Values(std::string_view owner_id, std::initializer_list<std::string> values) {
  std::string text = "('" + QuoteSql(owner_id) + "'";
  for (const std::string& value : values) text += ", '" + QuoteSql(value) + "'";
  return text + ")";
}

struct TextListTable {
  const char* table;
  const char* column;
  const char* alias;
  bool keyed;
  const char* what;  // one item, for messages
};

// A yes/no column; a row written by another program may leave it empty, which reads as false.
bool Flag(const Variant& value) { return !value.IsNull() && value.ToBool(); }

std::string Of(std::string_view owner_id) { return " of '" + std::string(owner_id) + "'"; }

// Stores the row being added to `records`; a refused row fails with its error, naming `what`.
void StoreRow(store::RecordSet& records, const std::string& what) {
  try {
    records.Update();
  } catch (const Error& error) {
    Raise(error.number(), what + " could not be stored: " + error.description());
  }
}

TextListTable TableOf(TextList list) {
  switch (list) {
    case TextList::kRegions:
      return {"Regions", "Region", "r", false, "Region"};
    case TextList::kGenres:
      return {"Genres", "Genre", "g", true, "Genre"};
    case TextList::kSubtitles:
      return {"Subtitles", "Subtitle", "s", true, "Subtitle"};
    case TextList::kFeatures:
      return {"Features", "Feature", "f", true, "Feature"};
    case TextList::kLocks:
      return {"Locks", "LockName", "l", true, "Lock"};
  }
  return {"Regions", "Region", "r", false, "Region"};
}

}  // namespace

void LoadDiscs(store::CatalogueFile& database, std::string_view owner_id, ZelDiscs& discs) {
  auto records = database.DbOpenRecordSet(
      OwnedBy("SELECT DiscNo, Description, DiscIDSideA, LabelSideA, DiscIDSideB, LabelSideB, "
              "DualSided, DualLayered, Flipper, Location, Slot, DescriptionSideB, DualLayeredSideB "
              "FROM Discs d WHERE d.ProfileID = '",
              owner_id, " ORDER BY DiscNo"));
  for (; !records->Eof(); records->MoveNext()) {
    auto disc = std::make_shared<ZelDisc>();
    disc->SetNumber(Int16Column(records->Value("DiscNo")));
    disc->SetDescriptionSideA(records->Value("Description").ToTextOrEmpty());
    disc->SetDiscIDSideA(records->Value("DiscIDSideA").ToTextOrEmpty());
    disc->SetLabelSideA(records->Value("LabelSideA").ToTextOrEmpty());
    disc->SetDiscIDSideB(records->Value("DiscIDSideB").ToTextOrEmpty());
    disc->SetLabelSideB(records->Value("LabelSideB").ToTextOrEmpty());
    disc->SetDescriptionSideB(records->Value("DescriptionSideB").ToTextOrEmpty());
    disc->SetDualSided(Flag(records->Value("DualSided")));
    disc->SetDualLayered(Flag(records->Value("DualLayered")));
    disc->SetFlipper(Flag(records->Value("Flipper")));
    disc->SetLocation(records->Value("Location").ToTextOrEmpty());
    disc->SetSlot(records->Value("Slot").ToTextOrEmpty());
    disc->SetStoredDualLayeredSideB(records->Value("DualLayeredSideB"));
    discs.AddDisc(disc);
  }
}

void SaveDiscs(store::CatalogueFile& database, std::string_view owner_id, const ZelDiscs& discs) {
  DeleteProfileRows(database, owner_id, "Discs");
  auto records =
      database.DbOpenRecordSet(OwnedBy("SELECT * FROM Discs WHERE ProfileID = '", owner_id));
  for (const auto& disc : discs.All()) {
    records->AddNew();
    records->SetValue("ProfileID", Variant(owner_id));
    records->SetValue("DiscNo", Variant(disc->Number()));
    records->SetValue("Description", Variant(disc->DescriptionSideA()));
    records->SetValue("DescriptionSideB", Variant(disc->DescriptionSideB()));
    records->SetValue("DiscIDSideA", Variant(disc->DiscIDSideA()));
    records->SetValue("LabelSideA", Variant(disc->LabelSideA()));
    records->SetValue("DiscIDSideB", Variant(disc->DiscIDSideB()));
    records->SetValue("LabelSideB", Variant(disc->LabelSideB()));
    records->SetValue("DualSided", Variant(disc->DualSided()));
    records->SetValue("DualLayered", Variant(disc->DualLayered()));
    records->SetValue("DualLayeredSideB", disc->StoredDualLayeredSideB());
    records->SetValue("Flipper", Variant(disc->Flipper()));
    records->SetValue("Location", Variant(disc->Location()));
    records->SetValue("Slot", Variant(disc->Slot()));
    StoreRow(*records, "Disc " + std::to_string(disc->Number()) + Of(owner_id));
  }
}

void LoadVideo(store::CatalogueFile& database, std::string_view owner_id, ZelVideo& video) {
  auto records = database.DbOpenRecordSet(
      OwnedBy("SELECT * FROM VideoFormat v WHERE v.ProfileID = '", owner_id));
  if (records->RecordCount() == 0) return;
  video.SetAspectRatio(records->Value("AspectRatio").ToTextOrEmpty());
  video.SetVideoStandard(records->Value("VideoStandard").ToTextOrEmpty());
  video.SetLetterBox(Flag(records->Value("LetterBox")));
  video.SetPanAndScan(Flag(records->Value("PanAndScan")));
  video.SetFullFrame(Flag(records->Value("FullFrame")));
  video.SetAnamorphic(Flag(records->Value("F16X9")));
}

void SaveVideo(store::CatalogueFile& database, std::string_view owner_id, const ZelVideo& video) {
  DeleteProfileRows(database, owner_id, "VideoFormat");
  auto records =
      database.DbOpenRecordSet(OwnedBy("SELECT * FROM VideoFormat WHERE ProfileID = '", owner_id));
  records->AddNew();
  records->SetValue("ProfileID", Variant(owner_id));
  records->SetValue("AspectRatio", Variant(video.AspectRatio()));
  records->SetValue("VideoStandard", Variant(video.VideoStandard()));
  records->SetValue("LetterBox", Variant(video.LetterBox()));
  records->SetValue("PanAndScan", Variant(video.PanAndScan()));
  records->SetValue("FullFrame", Variant(video.FullFrame()));
  records->SetValue("F16X9", Variant(video.Anamorphic()));
  StoreRow(*records, "The video format" + Of(owner_id));
}

void LoadAudio(store::CatalogueFile& database, std::string_view owner_id,
               ZelAudioFormats& formats) {
  auto records = database.DbOpenRecordSet(
      OwnedBy("SELECT OrderPos, Language, Compression, Channels FROM AudioFormats a "
              "WHERE a.ProfileID = '",
              owner_id, " ORDER BY OrderPos"));
  for (; !records->Eof(); records->MoveNext()) {
    auto format = std::make_shared<ZelAudioFormat>();
    format->SetPosition(Int16Column(records->Value("OrderPos")));
    format->SetLanguage(records->Value("Language").ToTextOrEmpty());
    format->SetCompression(records->Value("Compression").ToTextOrEmpty());
    format->SetChannels(records->Value("Channels").ToTextOrEmpty());
    formats.AddAudioFormat(format);
  }
}

void SaveAudio(store::CatalogueFile& database, std::string_view owner_id,
               const ZelAudioFormats& formats) {
  DeleteProfileRows(database, owner_id, "AudioFormats");
  for (const auto& format : formats.All()) {
    const std::string position = std::to_string(format->Position());
    InsertSavedRow(
        database,
        "INSERT INTO AudioFormats (ProfileID, OrderPos, Language, Compression, Channels) VALUES " +
            Values(owner_id,
                   {position, format->Language(), format->Compression(), format->Channels()}),
        "Audio track '" + format->Language() + "' at position " + position + Of(owner_id) +
            " could not be stored: another track has that position");
  }
}

void LoadReview(store::CatalogueFile& database, std::string_view owner_id, ZelReview& review) {
  auto records = database.DbOpenRecordSet(
      OwnedBy("SELECT Film, Video, Audio, Extras FROM Reviews r WHERE r.ProfileID = '", owner_id));
  if (records->RecordCount() == 0) return;
  review.SetFilm(Int16Column(records->Value("Film")));
  review.SetVideo(Int16Column(records->Value("Video")));
  review.SetAudio(Int16Column(records->Value("Audio")));
  review.SetExtras(Int16Column(records->Value("Extras")));
}

void SaveReview(store::CatalogueFile& database, std::string_view owner_id,
                const ZelReview& review) {
  DeleteProfileRows(database, owner_id, "Reviews");
  InsertSavedRow(
      database,
      "INSERT INTO Reviews (ProfileID, Film, Video, Audio, Extras) VALUES " +
          Values(owner_id, {std::to_string(review.Film()), std::to_string(review.Video()),
                            std::to_string(review.Audio()), std::to_string(review.Extras())}),
      "The review" + Of(owner_id) + " could not be stored");
}

void LoadStudios(store::CatalogueFile& database, std::string_view owner_id, ZelStudios& studios) {
  auto records =
      database.DbOpenRecordSet(OwnedBy("SELECT Studio, Type FROM Studios s WHERE s.ProfileID = '",
                                       owner_id, " ORDER BY Studio, Type"));
  for (; !records->Eof(); records->MoveNext()) {
    auto studio = std::make_shared<ZelStudio>();
    studio->SetName(records->Value("Studio").ToTextOrEmpty());
    studio->SetStudioType(records->Value("Type").ToTextOrEmpty());
    studios.AddStudio(studio);
  }
}

void SaveStudios(store::CatalogueFile& database, std::string_view owner_id,
                 const ZelStudios& studios) {
  DeleteProfileRows(database, owner_id, "Studios");
  for (const auto& studio : studios.All()) {
    InsertSavedRow(database,
                   "INSERT INTO Studios (ProfileID, Studio, Type) VALUES " +
                       Values(owner_id, {studio->Name(), studio->StudioType()}),
                   "Studio '" + studio->Name() + "' (type '" + studio->StudioType() + "')" +
                       Of(owner_id) + " could not be stored: it is listed twice");
  }
}

void LoadTextList(store::CatalogueFile& database, std::string_view owner_id, TextList list,
                  Collection& items) {
  const TextListTable table = TableOf(list);
  const std::string column = table.column;
  const std::string alias = table.alias;
  auto records =
      database.DbOpenRecordSet(OwnedBy("SELECT " + column + " FROM " + table.table + " " + alias +
                                           " WHERE " + alias + ".ProfileID = '",
                                       owner_id, " ORDER BY " + column));
  for (; !records->Eof(); records->MoveNext()) {
    const std::string text = records->ValueAt(0).ToTextOrEmpty();
    items.Add(Variant(text), table.keyed ? Variant(text) : Variant());
  }
}

void SaveTextList(store::CatalogueFile& database, std::string_view owner_id, TextList list,
                  const Collection& items) {
  const TextListTable table = TableOf(list);
  DeleteProfileRows(database, owner_id, table.table);
  for (const Variant& item : items.Items()) {
    const std::string text = item.ToText();
    InsertSavedRow(database,
                   "INSERT INTO " + std::string(table.table) + " (ProfileID, " + table.column +
                       ") VALUES " + Values(owner_id, {text}),
                   std::string(table.what) + " '" + text + "'" + Of(owner_id) +
                       " could not be stored: it is listed twice (the case of letters aside)");
  }
}

}  // namespace zel
