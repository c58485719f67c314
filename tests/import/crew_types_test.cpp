#include "import/crew_types.h"

#include "frame/dictionary.h"
#include "frame/library_state.h"
#include "support/test_support.h"

namespace zel {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs PairsOf(const Dictionary& table) {
  Pairs pairs;
  for (const auto& [key, item] : table.entries()) pairs.emplace_back(key, item.ToText());
  return pairs;
}

// A fresh thread-wide mapping for each test, as a new process would have.
class LoadCrewMappingTest : public ::testing::Test {
 protected:
  void SetUp() override { State().crew_mapping_table = nullptr; }
  void TearDown() override { State().crew_mapping_table = nullptr; }
};

TEST(FillCrewType, LeavesATableWithAnyPairAlone) {
  Dictionary table;
  table.Add("Gaffer", Variant("Lighting"));
  FillCrewType(table);
  EXPECT_EQ(PairsOf(table), (Pairs{{"Gaffer", "Lighting"}}));
}

TEST(ProfilerCrewType, LooksUpRolesExactly) {
  Dictionary table;
  FillCrewType(table);
  EXPECT_EQ(ProfilerCrewType(table, "Director"), "Direction");
  EXPECT_EQ(ProfilerCrewType(table, "Sound Re-Recording Mixer"), "Sound");
  EXPECT_EQ(ProfilerCrewType(table, "director"), "");
  EXPECT_EQ(ProfilerCrewType(table, "Gaffer"), "");
  EXPECT_EQ(ProfilerCrewType(table, ""), "");
}

TEST_F(LoadCrewMappingTest, ReadsEntriesInOrderAndCreatesTheTable) {
  LoadCrewMapping("Gaffer=Lighting|Driver=Stunts");
  ASSERT_NE(State().crew_mapping_table, nullptr);
  EXPECT_EQ(&CrewMappingTable(), State().crew_mapping_table.get());
  EXPECT_EQ(PairsOf(CrewMappingTable()), (Pairs{{"Gaffer", "Lighting"}, {"Driver", "Stunts"}}));
}

TEST_F(LoadCrewMappingTest, FirstEntryOfARoleWins) {
  LoadCrewMapping("Director=Direction|Gaffer=Lighting|Director=Other|gaffer=Electric");
  EXPECT_EQ(PairsOf(CrewMappingTable()),
            (Pairs{{"Director", "Direction"}, {"Gaffer", "Lighting"}, {"gaffer", "Electric"}}));
}

TEST_F(LoadCrewMappingTest, EmptyTextEmptiesTheTable) {
  LoadCrewMapping("Gaffer=Lighting");
  LoadCrewMapping("");
  EXPECT_EQ(CrewMappingTable().Count(), 0);
  State().crew_mapping_table = nullptr;
  LoadCrewMapping("");
  ASSERT_NE(State().crew_mapping_table, nullptr);
  EXPECT_EQ(CrewMappingTable().Count(), 0);
}

TEST_F(LoadCrewMappingTest, EntryWithoutEqualsSignIsSkippedInsteadOfFailing) {
  // A role "Sound|Music Editor" stored by an earlier version broke its entry in two.
  LoadCrewMapping("Gaffer=Lighting|Sound|Music Editor=Sound||Driver=Stunts|Grip");
  EXPECT_EQ(PairsOf(CrewMappingTable()),
            (Pairs{{"Gaffer", "Lighting"}, {"Music Editor", "Sound"}, {"Driver", "Stunts"}}));
}

TEST_F(LoadCrewMappingTest, CrewTypeEndsAtAFurtherEqualsSign) {
  LoadCrewMapping("A=B=C|Gaffer=|=Lighting");
  EXPECT_EQ(PairsOf(CrewMappingTable()), (Pairs{{"A", "B"}, {"Gaffer", ""}, {"", "Lighting"}}));
}

TEST(IsLearnableCrewText, RejectsTheSeparatorsOfTheStoredText) {
  EXPECT_TRUE(IsLearnableCrewText("Gaffer"));
  EXPECT_TRUE(IsLearnableCrewText("Sound Re-Recording Mixer"));
  EXPECT_TRUE(IsLearnableCrewText(""));
  EXPECT_FALSE(IsLearnableCrewText("Sound|Music Editor"));
  EXPECT_FALSE(IsLearnableCrewText("A=B"));
}

}  // namespace
}  // namespace zel
