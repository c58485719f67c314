#include "import/collection_import.h"

#include <filesystem>
#include <fstream>

#include "import/xml_document.h"
#include "import_fixture.h"

namespace zel::testing {
namespace {

class CollectionImportTest : public ImportTest {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::vector<std::filesystem::path> RealExports() {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path folder = SharedTestData() / "profiler";
    if (SharedTestData().empty() || !std::filesystem::exists(folder)) return files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().extension() == ".xml") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
  }
};

std::string Collection(const std::string& titles,
                       const std::string& declaration = "<?xml version=\"1.0\"?>") {
  return declaration + "\n<Collection>\n" + titles + "\n</Collection>\n";
}

TEST_F(CollectionImportTest, EveryRealExportImportsAndThenReadsAsUnchanged) {
  const std::vector<std::filesystem::path> files = RealExports();
  if (files.empty()) GTEST_SKIP() << "no shared test data in this checkout";
  uint64_t titles = 0;
  for (const auto& file : files) {
    const CollectionSummary summary = ImportCollectionFile(file.string());
    for (const TitleFailure& failure : summary.failures) {
      ADD_FAILURE() << file.filename() << " " << failure.id << ": " << failure.description;
    }
    EXPECT_TRUE(summary.stream_error.empty()) << summary.stream_error;
    EXPECT_GT(summary.titles_read, 0u) << file;
    titles += summary.titles_read;
  }
  // Files share titles, so the catalogue holds fewer profiles than titles read.
  EXPECT_GT(std::stoi(Value("SELECT COUNT(*) FROM Profiles")), 40);
  for (const auto& file : files) {
    const CollectionSummary again = ImportCollectionFile(file.string());
    EXPECT_EQ(again.unchanged + again.changed, again.titles_read) << file;
    EXPECT_EQ(again.failed, 0u) << file;
  }
  EXPECT_GT(titles, 45u);
}

TEST_F(CollectionImportTest, TheSingleTitleImportAndTheStreamAgreeOnFingerprints) {
  const std::vector<std::filesystem::path> files = RealExports();
  if (files.empty()) GTEST_SKIP() << "no shared test data in this checkout";
  for (const auto& file : files) {
    // The host's way: parse the file, hand each DVD element's markup over on its own.
    const xml::Document document = xml::Document::Load(file.string());
    for (const xml::Node& dvd : document.Root().Children("DVD")) {
      EXPECT_NO_THROW(ImportProfilerXml(dvd.Xml())) << file;
    }
    const CollectionSummary summary = ImportCollectionFile(file.string());
    EXPECT_EQ(summary.unchanged, summary.titles_read) << file;
  }
}

TEST_F(CollectionImportTest, ReadsTheEncodingTheFileDeclares) {
  const std::string title = Dvd("", "1", "Caf\xe9 \x80");  // windows-1252 bytes
  ImportCollectionFile(
      Write("cp1252.xml", Collection(title, "<?xml version=\"1.0\" encoding=\"windows-1252\"?>")));
  ImportCollectionFile(Write("utf8.xml", Collection(Dvd("", "2", "Caf\u00e9 \u20ac"))));
  std::string utf16 = "\xff\xfe";
  for (char16_t unit :
       u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><Collection>"
       u"<DVD><ID>3</ID><UPC>3</UPC><Title>Caf\u00e9 \u20ac</Title></DVD>"
       u"</Collection>") {
    if (unit == 0) break;
    utf16 += static_cast<char>(unit & 0xff);
    utf16 += static_cast<char>(unit >> 8);
  }
  ImportCollectionFile(Write("utf16.xml", utf16));
  EXPECT_EQ(Rows("SELECT ProfileID, Title FROM Profiles ORDER BY ProfileID"),
            (Table{{"Key_1", "Caf\u00e9 \u20ac"},
                   {"Key_2", "Caf\u00e9 \u20ac"},
                   {"Key_3", "Caf\u00e9 \u20ac"}}));
}

TEST_F(CollectionImportTest, AFailingTitleIsReportedAndTheNextOnesStillImport) {
  std::vector<CollectionProgress> progress;
  CollectionImportOptions options;
  options.on_progress = [&](const CollectionProgress& p) { progress.push_back(p); };
  const CollectionSummary summary = ImportCollectionFile(
      Write("c.xml", Collection(Dvd("", "1") + "<DVD><Title>No Identity</Title><UPC>2</UPC></DVD>" +
                                Dvd("<Discs><Disc><DualSided>x</DualSided></Disc></Discs>", "3",
                                    "Bad Disc") +
                                Dvd("", "4"))),
      options);
  EXPECT_EQ(summary.titles_read, 4u);
  EXPECT_EQ(summary.new_titles, 2u);
  EXPECT_EQ(summary.failed, 2u);
  ASSERT_EQ(summary.failures.size(), 2u);
  EXPECT_EQ(summary.failures[0].position, 2u);
  EXPECT_EQ(summary.failures[0].id, "");
  EXPECT_EQ(summary.failures[0].title, "No Identity");
  EXPECT_EQ(summary.failures[0].number, 91);
  EXPECT_EQ(summary.failures[0].description, "The DVD element has no ID element");
  EXPECT_EQ(summary.failures[1].id, "3");
  EXPECT_EQ(summary.failures[1].title, "Bad Disc");
  EXPECT_EQ(summary.failures[1].number, 13);
  EXPECT_EQ(Rows("SELECT ProfileID FROM Profiles ORDER BY ProfileID"),
            (Table{{"Key_1"}, {"Key_4"}}));
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Discs"), "0");
  ASSERT_EQ(progress.size(), 4u);
  EXPECT_EQ(progress.back().titles_read, 4u);
  EXPECT_GT(progress.back().bytes_total, 0u);
}

TEST_F(CollectionImportTest, BrokenFiles) {
  EXPECT_ZEL_ERROR(ImportCollectionFile(dir_.File("missing.xml")), 53,
                   "File not found: " + dir_.File("missing.xml"));
  const std::string wrong_root = Write("wrong.xml", "<Titles>" + Dvd("") + "</Titles>");
  EXPECT_ZEL_ERROR(ImportCollectionFile(wrong_root), 5,
                   wrong_root + ": the document element is Titles, not Collection");
  const std::string garbage = Write("garbage.xml", "this is no XML");
  EXPECT_ZEL_ERROR_NUMBER(ImportCollectionFile(garbage), 5);
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles"), "0");

  // Broken after two titles: the titles before are imported and kept, and the summary says where
  // it broke.
  // (Titles of some size, so that the parser's read-ahead does not reach the break at once.)
  const std::string overview = "<Overview>" + std::string(20000, 'x') + "</Overview>";
  CollectionImportOptions options;
  options.commit_every_titles = 1;
  const CollectionSummary summary =
      ImportCollectionFile(Write("cut.xml", "<Collection>\n" + Dvd(overview, "1") + "\n" +
                                                Dvd(overview, "2") + "\n<DVD><ID>3</Title>"),
                           options);
  // The parser reads ahead of the titles it delivers, so the one just before the break may be lost.
  EXPECT_GE(summary.titles_read, 1u);
  EXPECT_EQ(summary.new_titles, summary.titles_read);
  EXPECT_NE(summary.stream_error.find("cut.xml line 4: Opening and ending tag mismatch"),
            std::string::npos)
      << summary.stream_error;
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles"), std::to_string(summary.titles_read));
}

TEST_F(CollectionImportTest, AnEmptyCollectionImportsNothing) {
  const CollectionSummary summary = ImportCollectionFile(Write("empty.xml", "<Collection/>"));
  EXPECT_EQ(summary.titles_read, 0u);
  EXPECT_TRUE(summary.stream_error.empty());
}

}  // namespace
}  // namespace zel::testing
