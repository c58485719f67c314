#include "import/collection_import.h"

#include <atomic>
#include <filesystem>
#include <fstream>

#include "frame/library_state.h"
#include "import/crew_types.h"
#include "import/removed_titles.h"
#include "import/title_splitter.h"
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

  // Every ProfileID of every table that holds one (BoxSet by both ends), with its table.
  std::vector<std::string> RowsOf(const std::string& profile_id) {
    std::vector<std::string> found;
    for (const store::TableDef& table : db_->connection().TableDefs()) {
      for (const store::ColumnDef& column : table.columns) {
        if (column.name != "ProfileID" && column.name != "BoxSetID" && column.name != "ChildID") {
          continue;
        }
        const auto count = Count("SELECT COUNT(*) FROM [" + table.name + "] WHERE [" + column.name +
                                 "] = '" + profile_id + "'");
        if (count > 0) found.push_back(table.name + "." + column.name);
      }
    }
    return found;
  }
};

// A title with a row in every table that holds a title's rows: the complete title of the
// hardening corpus, lent a loan and a tag.
std::string FullTitle(const std::string& id, const std::string& box_contents = "<Contents/>") {
  std::ifstream in(SourceDir() + "/tests/hardening/corpus/base_title.xml", std::ios::binary);
  std::string markup((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  markup.erase(0, markup.find("<DVD>"));
  const auto replace = [&](const std::string& from, const std::string& to) {
    const size_t at = markup.find(from);
    if (at == std::string::npos) {
      ADD_FAILURE() << "the corpus title has no " << from;
    } else {
      markup.replace(at, from.size(), to);
    }
  };
  replace("<ID>800004711037</ID>", "<ID>" + id + "</ID>");
  replace("<Contents/>", box_contents);
  replace("<Loaned>false</Loaned>",
          "<Loaned>true</Loaned><User FirstName=\"Lena\" LastName=\"Berg\"/><Due>2013-03-01</Due>");
  replace("<Tags/>", "<Tags><Tag Name=\"Shelf\" FullName=\"Shelf\"/></Tags>");
  return markup;
}

std::string Collection(const std::string& titles,
                       const std::string& declaration = "<?xml version=\"1.0\"?>") {
  return declaration + "\n<Collection>\n" + titles + "\n</Collection>\n";
}

// Titles 1..count, one line each.
std::string Titles(int count, int from = 1) {
  std::string titles;
  for (int i = from; i < from + count; ++i) {
    titles += Dvd("", std::to_string(i), "Title " + std::to_string(i)) + "\n";
  }
  return titles;
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

TEST_F(CollectionImportTest, TheSingleTitleImportAndTheCollectionImportAgreeOnFingerprints) {
  const std::vector<std::filesystem::path> files = RealExports();
  if (files.empty()) GTEST_SKIP() << "no shared test data in this checkout";
  for (const auto& file : files) {
    // The host's way: parse the file, hand each DVD element's markup, as the parser writes it,
    // over on its own.
    const xml::Document document = xml::Document::Load(file.string());
    for (const xml::Node& dvd : document.Root().Children("DVD")) {
      EXPECT_NO_THROW(ImportProfilerXml(dvd.Xml())) << file;
    }
    const CollectionSummary summary = ImportCollectionFile(file.string());
    EXPECT_EQ(summary.unchanged, summary.titles_read) << file;
    // And the other way round, with the titles' markup cut from the file as it stands.
    db_->ExecuteSQL("UPDATE Profiles SET MD5 = 'x'");
    ImportCollectionFile(file.string());
    CollectionSplitter splitter(file.string());
    TitleBytes title;
    while (splitter.Next(title)) {
      EXPECT_EQ(ImportProfilerXml(title.markup).outcome, ImportOutcome::kUnchanged) << file;
    }
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
  ImportCollectionFile(
      Write("latin9.xml", Collection(Dvd("", "4", "Caf\xe9 \xa4"),
                                     "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>")));
  EXPECT_EQ(Rows("SELECT ProfileID, Title FROM Profiles ORDER BY ProfileID"),
            (Table{{"Key_1", "Caf\u00e9 \u20ac"},
                   {"Key_2", "Caf\u00e9 \u20ac"},
                   {"Key_3", "Caf\u00e9 \u20ac"},
                   {"Key_4", "Caf\u00e9 \u20ac"}}));
}

// A control character, a byte that is not UTF-8, an entity nobody declared, a title that lost its
// end tag and one whose inner element is never closed: each costs its own title only, and is named
// with its position, line, ID and the parser's reason.
TEST_F(CollectionImportTest, BrokenTitlesInTheMiddleFailAloneAndEachIsNamed) {
  std::string titles = Titles(9);
  titles += Dvd("", "10", "Control \x01 character") + "\n";
  titles += Titles(1, 11);
  titles += Dvd("", "12", "Bad \xff byte") + "\n";
  titles += Dvd("", "13", "&defined; entity") + "\n";
  titles += Dvd("", "14", "&nbsp; entity") + "\n";
  titles += "<DVD><ID>15</ID><UPC>1</UPC><Title>No end tag</Title>\n";
  titles += "<DVD><ID>16</ID><UPC>1</UPC><Title>Open <Notes>element</Title></DVD>\n";
  titles += Titles(14, 17);
  std::vector<CollectionProgress> progress;
  CollectionImportOptions options;
  options.on_progress = [&](const CollectionProgress& p) { progress.push_back(p); };
  const CollectionSummary summary = ImportCollectionFile(
      Write("c.xml", Collection(titles,
                                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<!DOCTYPE Collection [<!ENTITY defined \"Declared\">]>")),
      options);
  EXPECT_EQ(summary.titles_read, 30u);
  EXPECT_EQ(summary.new_titles, 25u);
  EXPECT_TRUE(summary.stream_error.empty()) << summary.stream_error;
  ASSERT_EQ(summary.failures.size(), 5u);
  const auto expect_failure = [&](size_t index, uint64_t position, uint64_t line,
                                  const std::string& id, const std::string& reason) {
    const TitleFailure& failure = summary.failures[index];
    EXPECT_EQ(failure.position, position);
    EXPECT_EQ(failure.line, line) << failure.description;
    EXPECT_EQ(failure.id, id);
    EXPECT_EQ(failure.number, 91);
    EXPECT_EQ(failure.description.substr(0, 41 + reason.size()),
              "The title markup is not well-formed XML: " + reason);
  };
  expect_failure(0, 10, 13, "10", "PCDATA invalid Char value 1");
  expect_failure(1, 12, 15, "12", "Input is not proper UTF-8");
  expect_failure(2, 14, 17, "14", "Entity 'nbsp' not defined");
  expect_failure(3, 15, 18, "15", "Premature end of data");
  expect_failure(4, 16, 19, "16", "Premature end of data in tag DVD");
  EXPECT_EQ(summary.failures[0].description.substr(summary.failures[0].description.size() - 9),
            "(line 13)");
  EXPECT_EQ(Value("SELECT Title FROM Profiles WHERE ProfileID = 'Key_13'"), "Declared entity");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles WHERE ProfileID = 'Key_30'"), "1");
  ASSERT_EQ(progress.size(), 30u);
  EXPECT_EQ(progress.back().titles_read, 30u);
}

TEST_F(CollectionImportTest, CommentsCDataAndInstructionsHoldingTheEndTagDoNotEndATitle) {
  const CollectionSummary summary = ImportCollectionFile(Write(
      "c.xml", Collection("<!-- </DVD> between titles -->" +
                          Dvd("<!-- a comment with </DVD> --><Notes><![CDATA[</DVD> & <DVD>]]>"
                              "</Notes><?note </DVD>?>",
                              "1") +
                          Dvd("", "2"))));
  EXPECT_EQ(summary.titles_read, 2u);
  EXPECT_EQ(summary.new_titles, 2u);
  EXPECT_EQ(Value("SELECT Notes FROM Profiles WHERE ProfileID = 'Key_1'"), "</DVD> & <DVD>");
}

// Titles 3 and 8 fail halfway through their writes, after their cast and aliases: each is left
// out whole, and the titles before it in the same batch are all there.
TEST_F(CollectionImportTest, AFailingTitleIsReportedAndTheNextOnesStillImport) {
  std::string bad_disc = FullTitle("3");
  bad_disc.replace(bad_disc.find("<DualSided>false"), 16, "<DualSided>x");
  std::string later_bad_disc = bad_disc;
  later_bad_disc.replace(later_bad_disc.find("<ID>3</ID>"), 10, "<ID>8</ID>");
  const CollectionSummary summary = ImportCollectionFile(
      Write("c.xml",
            Collection(FullTitle("1") + "<DVD><Title>No Identity</Title><UPC>2</UPC></DVD>" +
                       bad_disc + Dvd("", "4") + Dvd("", "x5", "First") + Dvd("", "X5", "Second") +
                       Dvd("", "4", "Again") + later_bad_disc + FullTitle("9"))));
  EXPECT_EQ(summary.titles_read, 9u);
  EXPECT_EQ(summary.new_titles, 4u);
  EXPECT_EQ(summary.failed, 5u);
  ASSERT_EQ(summary.failures.size(), 5u);
  EXPECT_EQ(RowsOf("Key_3"), std::vector<std::string>{});
  EXPECT_EQ(RowsOf("Key_8"), std::vector<std::string>{});
  EXPECT_EQ(RowsOf("Key_1"), RowsOf("Key_9"));
  EXPECT_EQ(RowsOf("Key_1").size(), 17u);  // every table but BoxSet
  EXPECT_EQ(summary.failures[4].id, "8");
  // Regression: the second of two IDs that differ only in letter case overwrote the first, and
  // the summary said "changed 1, failed 0".
  EXPECT_EQ(summary.failures[2].title, "Second");
  EXPECT_EQ(summary.failures[2].number, errc::kDuplicateKey);
  EXPECT_EQ(summary.failures[2].description,
            "Title 5 of this file has the ID 'x5', which the catalogue does not tell from 'X5' (it "
            "ignores letter case): this title was not imported");
  EXPECT_EQ(summary.failures[3].description,
            "Title 4 of this file has the ID '4' too: this title was not imported");
  EXPECT_EQ(Value("SELECT Title FROM Profiles WHERE ProfileID = 'Key_x5'"), "First");
  EXPECT_EQ(summary.failures[0].position, 2u);
  const std::string first = FullTitle("1");
  EXPECT_EQ(summary.failures[0].line, 3u + std::count(first.begin(), first.end(), '\n'));
  EXPECT_EQ(summary.failures[0].id, "");
  EXPECT_EQ(summary.failures[0].title, "No Identity");
  EXPECT_EQ(summary.failures[0].number, 91);
  EXPECT_EQ(summary.failures[0].description, "The DVD element has no ID element");
  EXPECT_EQ(summary.failures[1].id, "3");
  EXPECT_EQ(summary.failures[1].number, 13);
  EXPECT_EQ(Rows("SELECT ProfileID FROM Profiles ORDER BY ProfileID"),
            (Table{{"Key_1"}, {"Key_4"}, {"Key_9"}, {"Key_x5"}}));
}

// Cast and crew are read on the reading thread: with the numbers of the calling thread, with a
// bad entry failing its title as it does in the single-title import, and with names and roles
// registered when the entry is written.
TEST_F(CollectionImportTest, CastAndCrewReadAheadAsTheSingleTitleImportReadsThem) {
  const ScopedDecimalSeparator comma(",");
  const std::string odd_numbers =
      R"(<Actors><Actor FirstName="Anna" LastName="Berg" Role="Eva" BirthYear="1970,6" )"
      R"(Voice="0,5"/></Actors>)";
  const std::string bad_flag =
      R"(<Actors><Actor FirstName="Tom" LastName="Hale" Role="Max" Voice="maybe"/></Actors>)";
  const std::string credited =
      R"(<Credits><Credit FirstName="Eva" LastName="Lind" CreditedAs="E. Lind" )"
      R"(CreditType="Writing" CreditSubtype="Story Editor"/></Credits>)";
  const CollectionSummary summary = ImportCollectionFile(
      Write("c.xml", Collection(Dvd(odd_numbers, "1") + Dvd(bad_flag, "2") + Dvd(credited, "3"))));
  EXPECT_EQ(summary.new_titles, 2u);
  ASSERT_EQ(summary.failures.size(), 1u);
  EXPECT_EQ(summary.failures[0].id, "2");
  EXPECT_EQ(summary.failures[0].number, errc::kTypeMismatch);
  EXPECT_EQ(summary.failures[0].description,
            "Type mismatch: the flag 'maybe' is neither true nor false");
  EXPECT_EQ(RowsOf("Key_2"), std::vector<std::string>{});
  EXPECT_EQ(Rows("SELECT ProfileID, Name, Role, BirthYear, IsVoice FROM CastCrew ORDER BY 1"),
            (Table{{"Key_1", "Anna Berg", "Eva", "1971", "True"},
                   {"Key_3", "E. Lind", "Story Editor", "0", "False"}}));
  EXPECT_EQ(Rows("SELECT AliasName, CommonName FROM Alias"), (Table{{"E. Lind", "Eva Lind"}}));
  EXPECT_TRUE(CrewMappingTable().Exists("Story Editor"));
}

TEST_F(CollectionImportTest, BrokenFiles) {
  EXPECT_ZEL_ERROR(ImportCollectionFile(dir_.File("missing.xml")), 53,
                   "File not found: " + dir_.File("missing.xml"));
  const std::string wrong_root = Write("wrong.xml", "<Titles>" + Dvd("") + "</Titles>");
  EXPECT_ZEL_ERROR(ImportCollectionFile(wrong_root), 5,
                   wrong_root + ": the document element is Titles, not Collection");
  const std::string garbage = Write("garbage.xml", "this is no XML");
  EXPECT_ZEL_ERROR(ImportCollectionFile(garbage), 5,
                   garbage + " line 1: Start tag expected, '<' not found");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles"), "0");

  // Cut off inside the third title: the two before it are imported, and the summary says where.
  CollectionImportOptions options;
  options.remove_missing = true;
  const std::string cut = Write("cut.xml", "<Collection>\n" + Dvd("", "1") + "\n" + Dvd("", "2") +
                                               "\n<DVD><ID>3</ID><Title>Cut");
  const CollectionSummary summary = ImportCollectionFile(cut, options);
  EXPECT_EQ(summary.new_titles, 2u);
  EXPECT_EQ(summary.stream_error,
            cut + " line 4: title 3, which starts on line 4, is cut off: the file ends inside it");
  EXPECT_FALSE(summary.complete);
  EXPECT_EQ(summary.removal_refused, "the file could not be read to its end");
  EXPECT_ZEL_ERROR(ImportCollectionFile(Write("first.xml", "<Collection><DVD><ID>1</ID>")), 5,
                   dir_.File("first.xml") +
                       " line 1: title 1, which starts on line 1, is cut off: the file ends "
                       "inside it");
  const CollectionSummary after =
      ImportCollectionFile(Write("after.xml", Collection(Dvd("", "5")) + "<Extra/>"));
  EXPECT_EQ(after.new_titles, 1u);
  EXPECT_EQ(after.stream_error,
            dir_.File("after.xml") + " line 5: Extra content at the end of the document");
  EXPECT_EQ(ImportCollectionFile(Write("empty.xml", "<Collection/>")).titles_read, 0u);
}

TEST_F(CollectionImportTest, ProgressFollowsTheBytesOfAWindows1252File) {
  std::string titles;
  for (int i = 1; i <= 20; ++i) {
    // Some titles straddle the chunks the file is read in.
    titles += Dvd("<Overview>Caf\xe9 \x80 " + std::string(static_cast<size_t>(i) * 6000, '\xe9') +
                      "</Overview>",
                  std::to_string(i)) +
              "\r\n";
  }
  const std::string bytes = Collection(titles, "<?xml version=\"1.0\" encoding=\"windows-1252\"?>");
  std::vector<CollectionProgress> progress;
  CollectionImportOptions options;
  options.on_progress = [&](const CollectionProgress& p) { progress.push_back(p); };
  ImportCollectionFile(Write("c.xml", bytes), options);
  ASSERT_EQ(progress.size(), 20u);
  // After each title, exactly the bytes of the file up to its end tag.
  size_t end = 0;
  for (const CollectionProgress& step : progress) {
    end = bytes.find("</DVD>", end) + 6;
    EXPECT_EQ(step.bytes_read, end);
    EXPECT_EQ(step.bytes_total, bytes.size());
  }
}

TEST_F(CollectionImportTest, RemoveMissingRemovesEveryRowOfTheTitlesTheFileNoLongerHolds) {
  const std::string box_set =
      FullTitle("1", "<Contents><Content>2</Content><Content>3</Content></Contents>");
  ImportCollectionFile(
      Write("all.xml", Collection(box_set + FullTitle("2") + FullTitle("3") + Dvd("", "4"))));
  db_->ExecuteSQL("INSERT INTO Locks (ProfileID, LockName) VALUES ('Key_4', 'entire')");
  db_->ExecuteSQL("INSERT INTO Locks (ProfileID, LockName) VALUES ('Key_2', 'Notes')");
  db_->ExecuteSQL("INSERT INTO Profile2Episodes (ProfileID, EpisodeID) VALUES ('Key_2', 'E1')");
  db_->ExecuteSQL(
      "INSERT INTO AdditionalInfo (ProfileID, InfoName, InfoValue) VALUES ('Key_2', 'Shelf', 'A')");
  // A profile made in the catalogue is not the export's to remove.
  db_->ExecuteSQL("INSERT INTO Profiles (ProfileID, Title) VALUES ('77Zel', 'Home video')");
  const std::vector<std::string> every_table = RowsOf("Key_2");
  ASSERT_EQ(every_table.size(), 21u) << ::testing::PrintToString(every_table);

  const std::string smaller = Write("smaller.xml", Collection(box_set));
  const CollectionSummary listed = ImportCollectionFile(smaller);
  ASSERT_TRUE(listed.complete);
  EXPECT_EQ(listed.missing,
            (std::vector<std::pair<std::string, std::string>>{
                {"Key_2", "River Echo"}, {"Key_3", "River Echo"}, {"Key_4", "Night River"}}));
  EXPECT_EQ(RowsOf("Key_2"), every_table);

  // A file with a failed title removes nothing.
  CollectionImportOptions options;
  options.remove_missing = true;
  const CollectionSummary broken = ImportCollectionFile(
      Write("broken.xml", Collection(box_set + "<DVD><ID>5</ID></DVD>")), options);
  EXPECT_EQ(broken.removal_refused, "1 of its titles failed");
  EXPECT_EQ(broken.removed, 0u);
  EXPECT_EQ(RowsOf("Key_3").size(), 18u);

  // A dry run says so and changes nothing.
  options.dry_run = true;
  const CollectionSummary dry = ImportCollectionFile(smaller, options);
  EXPECT_EQ(dry.removed, 2u);
  EXPECT_EQ(RowsOf("Key_2"), every_table);
  EXPECT_FALSE(std::filesystem::exists(RemovedTitlesPath(path_)));

  options.dry_run = false;
  const CollectionSummary removed = ImportCollectionFile(smaller, options);
  EXPECT_EQ(removed.removed, 2u);
  EXPECT_EQ(removed.kept_locked, std::vector<std::string>{"Key_4"});
  EXPECT_EQ(RowsOf("Key_2"), std::vector<std::string>{});
  EXPECT_EQ(RowsOf("Key_3"), std::vector<std::string>{});
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles WHERE ProfileID IN ('Key_1', 'Key_4', '77Zel')"),
            "3");

  // They are kept beside the catalogue, each whole, and come back with every row.
  EXPECT_EQ(removed.removed_titles_file, dir_.File("catalogue.removed.zel"));
  const RestoredTitles restored = RestoreRemovedTitles(*db_, {"2"});
  EXPECT_EQ(restored.restored,
            (std::vector<std::pair<std::string, std::string>>{{"Key_2", "River Echo"}}));
  EXPECT_EQ(RowsOf("Key_2"), every_table);
  EXPECT_EQ(Value("SELECT Title FROM Profiles WHERE ProfileID = 'Key_2'"), "River Echo");
  EXPECT_ZEL_ERROR(RestoreRemovedTitles(*db_, {"2"}), errc::kInvalidArgument,
                   "No title '2' among the titles removed from " + path_ + " (kept in " +
                       removed.removed_titles_file + ")");
  // A title imported again since stays where it is kept.
  ImportCollectionFile(Write("three.xml", Collection(FullTitle("3"))));
  const RestoredTitles rest = RestoreRemovedTitles(*db_, {});
  EXPECT_TRUE(rest.restored.empty());
  EXPECT_EQ(rest.kept, (std::vector<std::pair<std::string, std::string>>{
                           {"Key_3", "the catalogue holds a title Key_3 again"}}));
}

TEST_F(CollectionImportTest, StoppingCommitsTheTitlesImportedSoFar) {
  std::atomic<bool> stop{false};
  CollectionImportOptions options;
  options.stop = &stop;
  options.remove_missing = true;
  options.on_progress = [&](const CollectionProgress& p) {
    if (p.titles_read == 7) stop = true;
  };
  const CollectionSummary summary =
      ImportCollectionFile(Write("c.xml", Collection(Titles(40))), options);
  EXPECT_TRUE(summary.interrupted);
  EXPECT_EQ(summary.titles_read, 7u);
  EXPECT_EQ(summary.removal_refused, "the import was interrupted");
  EXPECT_EQ(db_->connection().ScopeDepth(), 0);
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles"), "7");
}

}  // namespace
}  // namespace zel::testing
