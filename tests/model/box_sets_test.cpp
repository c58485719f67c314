// Titles as the collection counts them, and region codes as it means them, through imported titles.
#include "model/box_sets.h"

#include "import/import_fixture.h"
#include "model/region_codes.h"

namespace zel::testing {
namespace {

class BoxSetsTest : public ImportTest {
 protected:
  // A season box set that counts as one title, its two discs counting as none, one part the
  // catalogue lacks, a double feature that counts as two and a title on the wish list.
  void ImportCollection() {
    Import(
        Dvd("<CountAs>1</CountAs><BoxSet><Contents><Content>D1</Content><Content>D2</Content>"
            "<Content>D3</Content></Contents></BoxSet>",
            "B1", "Castle: Season 3"));
    Import(Dvd("<CountAs>0</CountAs>", "D2", "Castle: Season 3: Disc 2"));
    Import(Dvd("<CountAs>0</CountAs>", "D1", "Castle: Season 3: Disc 1"));
    Import(Dvd("<CountAs>2</CountAs>", "F1", "Double Feature"));
    Import(Dvd("<CollectionType>Wish List</CollectionType>", "W1", "Wanted"));
  }
};

TEST_F(BoxSetsTest, ABoxSetIsOneTitleWithItsPartsAndCountsFollowCountAs) {
  ImportCollection();
  const model::TitleList list = model::ReadTitleList(*db_);
  std::vector<std::string> titles;
  for (const model::TitleEntry& entry : list.titles) {
    std::string line = entry.title + " " + std::to_string(entry.Counted());
    for (const model::TitleEntry& part : entry.parts) line += " [" + part.title + "]";
    for (const std::string& missing : entry.missing_parts) line += " [missing " + missing + "]";
    titles.push_back(line + " " + entry.collection_type);
  }
  EXPECT_EQ(titles, (std::vector<std::string>{
                        "Castle: Season 3 1 [Castle: Season 3: Disc 1] [Castle: Season 3: Disc 2] "
                        "[missing Key_D3] Owned",
                        "Double Feature 2 Owned", "Wanted 1 WishList"}));
  const model::TitleCounts& counts = list.counts;
  EXPECT_EQ(
      std::tuple(counts.profiles, counts.entries, counts.box_sets, counts.parts, counts.counted),
      std::tuple(5, 3, 1, 2, 4));
  EXPECT_EQ(counts.counted_by_type,
            (std::map<std::string, int64_t>{{"Owned", 3}, {"WishList", 1}}));

  // Parts as titles of their own, each naming its box set.
  const model::TitleList flat = model::ReadTitleList(*db_, true);
  ASSERT_EQ(flat.titles.size(), 5u);
  EXPECT_EQ(flat.titles[1].title, "Castle: Season 3: Disc 1");
  EXPECT_EQ(flat.titles[1].box_set_id, "Key_B1");
  EXPECT_EQ(flat.titles[0].part_count, 2);

  const auto part = model::ReadTitleEntry(*db_, "Key_D2");
  ASSERT_TRUE(part);
  EXPECT_EQ(part->box_set_id, "Key_B1");
  const auto box = model::ReadTitleEntry(*db_, "Key_B1");
  ASSERT_TRUE(box);
  EXPECT_EQ(std::tuple(box->parts.size(), box->missing_parts.size(), box->Counted()),
            std::tuple(2u, 1u, 1));
  EXPECT_FALSE(model::ReadTitleEntry(*db_, "Key_nothing"));
}

TEST(RegionCodes, BluRayRegionsShowAsLettersAndAllStaysAll) {
  EXPECT_EQ(model::RegionLabel("Blu-ray Disc", "1"), "A");
  EXPECT_EQ(model::RegionLabel("Blu-ray Disc", "3"), "C");
  EXPECT_EQ(model::RegionLabel("Blu-ray Disc", "0"), "All");
  EXPECT_EQ(model::RegionLabel("DVD", "2"), "2");
  EXPECT_EQ(model::RegionLabel("DVD", "0"), "All");
  // A combination with a DVD keeps the numbers: each may be either disc's.
  EXPECT_EQ(model::RegionLabel("DVD/Blu-ray Disc", "2"), "2");
  EXPECT_EQ(model::RegionLabel("HD DVD/Blu-ray Disc", "2"), "B");
}

}  // namespace
}  // namespace zel::testing
