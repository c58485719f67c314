#include <fstream>

#include <nlohmann/json.hpp>

#include "support/test_support.h"

namespace zel {
namespace {

using testing::RunZel;
using Json = nlohmann::json;

class ZelImportCli : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(RunZel({"create", catalogue_}).exit_code, 0); }

  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = dir_.File(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  testing::TempDir dir_;
  std::string catalogue_ = dir_.File("cli.zel");
  std::string example_ = testing::SourceDir() + "/examples/collection.xml";
};

TEST_F(ZelImportCli, ImportsTheExampleCollectionThenFindsItUnchanged) {
  auto first = RunZel({"import", catalogue_, example_});
  ASSERT_EQ(first.exit_code, 0) << first.err << first.out;
  EXPECT_NE(first.out.find("Imported " + example_ + " into " + catalogue_), std::string::npos);
  EXPECT_NE(first.out.find("  titles read       30\n  new               30\n"), std::string::npos)
      << first.out;
  EXPECT_NE(first.out.find("  failed             0\n"), std::string::npos);
  EXPECT_NE(first.out.find("  elapsed "), std::string::npos);

  auto again = RunZel({"import", catalogue_, example_, "--json", "--quiet"});
  ASSERT_EQ(again.exit_code, 0) << again.err;
  EXPECT_EQ(again.err, "");
  const Json summary = Json::parse(again.out);
  EXPECT_EQ(summary["titles_read"], 30);
  EXPECT_EQ(summary["new"], 0);
  EXPECT_EQ(summary["unchanged"], 30);
  EXPECT_EQ(summary["failed"], 0);
  EXPECT_TRUE(summary["failures"].empty());
  EXPECT_TRUE(summary["stream_error"].is_null());

  // Every section of the example arrived.
  auto counts = RunZel({"info", catalogue_, "--json"});
  const Json tables = Json::parse(counts.out)["Tables"];
  for (const char* table :
       {"Profiles",    "CastCrew",  "Alias",        "BoxSet",  "Discs",     "Regions",
        "VideoFormat", "Features",  "Studios",      "Genres",  "Subtitles", "AudioFormats",
        "Reviews",     "SRPInfo",   "PurchaseInfo", "Events",  "LoanInfo",  "Tags",
        "Currencies",  "Retailers", "Users",        "MetaInfo"}) {
    EXPECT_GT(tables[table].get<int>(), 0) << table;
  }
}

TEST_F(ZelImportCli, ATitleThatFailsIsNamedAndTheExitCodeSaysSo) {
  const std::string collection =
      Write("c.xml",
            "<Collection><DVD><ID>1</ID><UPC>1</UPC><Title>Fine</Title></DVD>"
            "<DVD><UPC>2</UPC><Title>No Identity</Title></DVD>"
            "<DVD><ID>3</ID><UPC>3</UPC><Title>Also Fine</Title></DVD></Collection>");
  auto result = RunZel({"import", catalogue_, collection});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.out.find("  new                2\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("  failed             1\n"), std::string::npos);
  EXPECT_NE(result.out.find("failed: title 2, ID \"\", \"No Identity\": The DVD element has no "
                            "ID element (error 91)"),
            std::string::npos)
      << result.out;

  auto json = RunZel({"import", catalogue_, collection, "--json"});
  EXPECT_EQ(json.exit_code, 1);
  const Json summary = Json::parse(json.out);
  EXPECT_EQ(summary["unchanged"], 2);
  ASSERT_EQ(summary["failures"].size(), 1u);
  EXPECT_EQ(summary["failures"][0]["title"], "No Identity");
  EXPECT_EQ(summary["failures"][0]["error"], 91);
}

TEST_F(ZelImportCli, BrokenFilesEndWithOneLineAndNoImport) {
  const std::string garbage = Write("garbage.xml", "<Collection><DVD></Collection>");
  auto broken = RunZel({"import", catalogue_, garbage});
  EXPECT_EQ(broken.exit_code, 1);
  EXPECT_NE(broken.err.find("zel: " + garbage + " line 1: "), std::string::npos) << broken.err;
  EXPECT_NE(broken.err.find("(error 5)\n"), std::string::npos) << broken.err;

  const std::string wrong = Write("wrong.xml", "<Titles><DVD><ID>1</ID></DVD></Titles>");
  auto wrong_root = RunZel({"import", catalogue_, wrong});
  EXPECT_EQ(wrong_root.exit_code, 1);
  EXPECT_EQ(wrong_root.err,
            "zel: " + wrong + ": the document element is Titles, not Collection (error 5)\n");

  auto missing = RunZel({"import", catalogue_, dir_.File("none.xml")});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err, "zel: File not found: " + dir_.File("none.xml") + " (error 53)\n");

  auto count = RunZel({"sql", catalogue_, "SELECT COUNT(*) AS N FROM Profiles", "--json"});
  EXPECT_EQ(Json::parse(count.out)[0]["N"], 0);
}

}  // namespace
}  // namespace zel
