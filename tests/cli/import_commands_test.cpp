#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "support/test_support.h"

extern char** environ;

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

  Json Sql(const std::string& query) {
    return Json::parse(RunZel({"sql", catalogue_, query, "--json"}).out);
  }

  testing::TempDir dir_;
  std::string catalogue_ = dir_.File("cli.zel");
  std::string example_ = testing::SourceDir() + "/examples/collection.xml";
};

std::string Title(const std::string& id, const std::string& title) {
  return "<DVD><ID>" + id + "</ID><UPC>" + id + "</UPC><Title>" + title + "</Title></DVD>";
}

TEST_F(ZelImportCli, ImportsTheExampleCollectionThenFindsItUnchanged) {
  auto first = RunZel({"import", catalogue_, example_});
  ASSERT_EQ(first.exit_code, 0) << first.err << first.out;
  EXPECT_NE(first.out.find("Imported " + example_ + " into " + catalogue_ + "\n"),
            std::string::npos);
  EXPECT_NE(first.out.find("  titles read       30\n  new               30\n"), std::string::npos)
      << first.out;
  EXPECT_NE(first.out.find("  failed             0\n"), std::string::npos);
  EXPECT_NE(first.out.find("  elapsed "), std::string::npos);
  EXPECT_NE(first.out.find("in the catalogue but not in this file: 0\n"), std::string::npos);

  auto again = RunZel({"import", catalogue_, example_, "--json", "--quiet"});
  ASSERT_EQ(again.exit_code, 0) << again.err;
  EXPECT_EQ(again.err, "");
  const Json summary = Json::parse(again.out);
  EXPECT_EQ(summary["File"], catalogue_);
  EXPECT_EQ(summary["Collection"], example_);
  EXPECT_EQ(summary["TitlesRead"], 30);
  EXPECT_EQ(summary["New"], 0);
  EXPECT_EQ(summary["Unchanged"], 30);
  EXPECT_EQ(summary["Failed"], 0);
  EXPECT_TRUE(summary["ElapsedSeconds"].is_number());
  EXPECT_TRUE(summary["Failures"].empty());
  EXPECT_TRUE(summary["Stopped"].is_null());
  EXPECT_TRUE(summary["Missing"].empty());

  // Every section of the example arrived.
  for (const char* table :
       {"Profiles",    "CastCrew",  "Alias",        "BoxSet",  "Discs",     "Regions",
        "VideoFormat", "Features",  "Studios",      "Genres",  "Subtitles", "AudioFormats",
        "Reviews",     "SRPInfo",   "PurchaseInfo", "Events",  "LoanInfo",  "Tags",
        "Currencies",  "Retailers", "Users",        "MetaInfo"}) {
    EXPECT_GT(Sql(std::string("SELECT COUNT(*) AS N FROM ") + table)[0]["N"].get<int>(), 0)
        << table;
  }
}

TEST_F(ZelImportCli, FailedTitlesAreNamedAndTheSummarySaysSoFirst) {
  const std::string collection =
      Write("c.xml", "<Collection>\n" + Title("1", "Fine") +
                         "\n<DVD><UPC>2</UPC><Title>No Identity</Title></DVD>\n" +
                         Title("3", "Control \x01 character") + "\n" + Title("4", "Also Fine") +
                         "\n</Collection>");
  auto result = RunZel({"import", catalogue_, collection});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out.substr(0, result.out.find('\n')),
            "Imported " + collection + " into " + catalogue_ + " but for 2 titles that failed");
  EXPECT_NE(result.out.find("  new                2\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("failed: title 2 on line 3, ID \"\", \"No Identity\": The DVD element "
                            "has no ID element (error 91)\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(
      result.out.find("failed: title 3 on line 4, ID \"3\", \"Control \uFFFD character\": The "
                      "title markup is not "
                      "well-formed XML: PCDATA invalid Char value 1 (line 4) (error 91)\n"),
      std::string::npos)
      << result.out;

  auto json = RunZel({"import", catalogue_, collection, "--json", "--remove-missing"});
  EXPECT_EQ(json.exit_code, 1);
  const Json summary = Json::parse(json.out);
  EXPECT_EQ(summary["Unchanged"], 2);
  ASSERT_EQ(summary["Failures"].size(), 2u);
  EXPECT_EQ(summary["Failures"][0], (Json{{"Position", 2},
                                          {"Line", 3},
                                          {"ID", nullptr},
                                          {"Title", "No Identity"},
                                          {"Error", 91},
                                          {"Description", "The DVD element has no ID element"}}));
  EXPECT_EQ(summary["RemovalRefused"], "2 of its titles failed");
}

TEST_F(ZelImportCli, BrokenFilesEndWithOneLineOrSayWhereTheyStopped) {
  const std::string garbage = Write("garbage.xml", "no markup at all");
  auto broken = RunZel({"import", catalogue_, garbage});
  EXPECT_EQ(broken.exit_code, 1);
  EXPECT_EQ(broken.err,
            "zel: " + garbage +
                " is not a collection file: it holds no XML markup (it begins with \"no markup at "
                "all\") (error 5)\n");

  const std::string wrong = Write("wrong.xml", "<Titles><DVD><ID>1</ID></DVD></Titles>");
  auto wrong_root = RunZel({"import", catalogue_, wrong});
  EXPECT_EQ(wrong_root.exit_code, 1);
  EXPECT_EQ(wrong_root.err,
            "zel: " + wrong + ": the document element is Titles, not Collection (error 5)\n");

  auto missing = RunZel({"import", catalogue_, dir_.File("none.xml")});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err, "zel: File not found: " + dir_.File("none.xml") + " (error 53)\n");
  EXPECT_EQ(Sql("SELECT COUNT(*) AS N FROM Profiles")[0]["N"], 0);

  const std::string cut =
      Write("cut.xml", "<Collection>\n" + Title("1", "One") + "\n<DVD><ID>2</ID><Title>Tw");
  auto stopped = RunZel({"import", catalogue_, cut, "--remove-missing"});
  EXPECT_EQ(stopped.exit_code, 1);
  EXPECT_EQ(stopped.out.substr(0, stopped.out.find('\n')),
            "Imported only the first 1 titles of " + cut + " into " + catalogue_ +
                ": the rest of the file cannot be read");
  EXPECT_NE(stopped.out.find("stopped: " + cut +
                             " line 3: title 2, which starts on line 3, is cut off: the file ends "
                             "inside it\n"),
            std::string::npos)
      << stopped.out;
  EXPECT_NE(stopped.out.find("removed nothing: the file could not be read to its end\n"),
            std::string::npos);
  EXPECT_EQ(stopped.out.find("not in this file"), std::string::npos);
}

TEST_F(ZelImportCli, RemoveMissingAndRemoveTakeTitlesOut) {
  ASSERT_EQ(RunZel({"import", catalogue_, example_, "--quiet"}).exit_code, 0);
  const Json titles = Sql("SELECT ProfileID, Title FROM Profiles ORDER BY ProfileID");
  const std::string first = titles[0]["ProfileID"];
  const std::string second = titles[1]["ProfileID"];

  // zel remove takes the ID DVD Profiler shows as well as the stored one.
  auto removed = RunZel({"remove", catalogue_, first.substr(4), second});
  ASSERT_EQ(removed.exit_code, 0) << removed.err;
  EXPECT_EQ(removed.out, "Removed " + first + " \"" + titles[0]["Title"].get<std::string>() +
                             "\" from " + catalogue_ + "\nRemoved " + second + " \"" +
                             titles[1]["Title"].get<std::string>() + "\" from " + catalogue_ +
                             "\nThey are kept in " + dir_.File("cli.removed.zel") +
                             " (zel restore-removed brings them back)\n");
  EXPECT_EQ(Sql("SELECT COUNT(*) AS N FROM CastCrew WHERE ProfileID IN ('" + first + "', '" +
                second + "')")[0]["N"],
            0);
  // An unknown title removes nothing and points to the forms that would have matched.
  const std::string third = titles[2]["ProfileID"];
  auto unknown = RunZel({"remove", catalogue_, third, third.substr(4, 5)});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_EQ(unknown.err.find("zel: No title '" + third.substr(4, 5) + "' in " + catalogue_ +
                             "; did you mean Key_" + third.substr(4, 5)),
            0u)
      << unknown.err;
  EXPECT_EQ(Sql("SELECT COUNT(*) AS N FROM Profiles")[0]["N"], 28);
  // zel show takes both forms too.
  EXPECT_EQ(RunZel({"show", catalogue_, third.substr(4)}).exit_code, 0);

  // The removed titles are in the file, the file's titles are all stored again; then a file
  // without two of them removes those.
  auto missing = RunZel({"import", catalogue_, example_, "--json"});
  EXPECT_EQ(Json::parse(missing.out)["New"], 2);
  std::ifstream in(example_, std::ios::binary);
  std::string collection((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const std::string& id : {first, second}) {
    const size_t at = collection.find("<ID>" + id.substr(4) + "</ID>");
    ASSERT_NE(at, std::string::npos) << id;
    // (The title's own element, not the DVD flag of its media types.)
    const size_t start = collection.rfind("  <DVD>\r\n", at);
    collection.erase(start, collection.find("\n  </DVD>", at) + 9 - start);
  }
  const std::string smaller = Write("smaller.xml", collection);
  auto listed = RunZel({"import", catalogue_, smaller});
  EXPECT_NE(
      listed.out.find("in the catalogue but not in this file: 2 (zel import "
                      "--remove-missing removes them)\n  " +
                      first.substr(4) + "  \"" + titles[0]["Title"].get<std::string>() + "\"\n  " +
                      second.substr(4) + "  \"" + titles[1]["Title"].get<std::string>() + "\"\n"),
      std::string::npos)
      << listed.out;
  auto json = RunZel({"import", catalogue_, smaller, "--json", "--remove-missing"});
  ASSERT_EQ(json.exit_code, 0) << json.err;
  const Json summary = Json::parse(json.out);
  EXPECT_EQ(summary["Missing"][0]["ProfileID"], first);
  EXPECT_EQ(summary["Missing"][1]["ProfileID"], second);
  EXPECT_EQ(summary["Removed"], 2);
  EXPECT_EQ(Sql("SELECT COUNT(*) AS N FROM Profiles")[0]["N"], 28);
}

TEST_F(ZelImportCli, DryRunsWriteNothingAndRemovingMostOfTheCatalogueWantsForce) {
  ASSERT_EQ(RunZel({"import", catalogue_, example_, "--quiet"}).exit_code, 0);
  // An export of one title of the thirty, retitled.
  std::ifstream in(example_, std::ios::binary);
  std::string collection((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t first = collection.find("  <DVD>\r\n");
  const size_t end = collection.find("\n  </DVD>", first) + 9;
  std::string one = collection.substr(first, end - first);
  one.replace(one.find("<Title>"), 7, "<Title>New ");
  const std::string one_title =
      Write("one.xml", collection.substr(0, first) + one + "\r\n</Collection>\r\n");
  const std::string before = testing::FolderState(dir_.path());

  // A dry run names what would change and what would go, and writes nothing.
  auto dry = RunZel({"import", catalogue_, one_title, "--dry-run", "--remove-missing", "--quiet"});
  EXPECT_EQ(dry.exit_code, 1);
  EXPECT_EQ(dry.out.find("Would import " + one_title + " into " + catalogue_ +
                         " (a dry run: nothing was written)\n"),
            0u)
      << dry.out;
  EXPECT_NE(dry.out.find("  changed            1\n"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("\": Title\n"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("in the catalogue but not in this file: 29\n"), std::string::npos);
  EXPECT_NE(dry.out.find("\n  \u2026 and 9 more\n"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("would remove nothing: it would remove 29 of the 30 titles of the "
                         "catalogue; if the file is the right one, check what an import would "
                         "do with --dry-run, then add --force to remove them\n"),
            std::string::npos)
      << dry.out;
  auto forced = RunZel(
      {"import", catalogue_, one_title, "--dry-run", "--remove-missing", "--force", "--json"});
  ASSERT_EQ(forced.exit_code, 0) << forced.err;
  const Json summary = Json::parse(forced.out);
  EXPECT_EQ(summary["DryRun"], true);
  EXPECT_EQ(summary["Removed"], 29);
  EXPECT_EQ(summary["ChangedTitles"][0]["Sections"], Json::array({"Title"}));
  EXPECT_EQ(testing::FolderState(dir_.path()), before);

  // Without --force the import itself removes nothing either; with it, it keeps what it removes.
  auto refused = RunZel({"import", catalogue_, one_title, "--remove-missing", "--quiet"});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(Sql("SELECT COUNT(*) AS N FROM Profiles")[0]["N"], 30);
  auto removed =
      RunZel({"import", catalogue_, one_title, "--remove-missing", "--force", "--quiet"});
  ASSERT_EQ(removed.exit_code, 0) << removed.err;
  const std::string kept_in = dir_.File("cli.removed.zel");
  EXPECT_NE(removed.out.find("removed 29 titles; they are kept in " + kept_in +
                             " (zel restore-removed brings them back)\n"),
            std::string::npos)
      << removed.out;
  EXPECT_EQ(Sql("SELECT COUNT(*) AS N FROM Profiles")[0]["N"], 1);

  // Brought back, one by its ID and then the rest, they are the catalogue they were.
  auto one_back = RunZel({"restore-removed", catalogue_, "800004711037"});
  ASSERT_EQ(one_back.exit_code, 0) << one_back.err;
  EXPECT_EQ(one_back.out, "Restored Key_800004711037 \"River Echo\" into " + catalogue_ + "\n");
  auto rest = RunZel({"restore-removed", catalogue_, "--json"});
  ASSERT_EQ(rest.exit_code, 0) << rest.err;
  EXPECT_EQ(Json::parse(rest.out)["Restored"].size(), 28u);
  ASSERT_EQ(RunZel({"import", catalogue_, example_, "--quiet"}).exit_code, 0);
  const std::string fresh = dir_.File("fresh.zel");
  ASSERT_EQ(RunZel({"create", fresh}).exit_code, 0);
  ASSERT_EQ(RunZel({"import", fresh, example_, "--quiet"}).exit_code, 0);
  EXPECT_EQ(Json::parse(RunZel({"info", catalogue_, "--json"}).out)["Tables"],
            Json::parse(RunZel({"info", fresh, "--json"}).out)["Tables"]);
  EXPECT_EQ(
      Json::parse(
          RunZel({"sql", kept_in, "SELECT COUNT(*) AS N FROM Profiles", "--json"}).out)[0]["N"],
      0);
}

TEST_F(ZelImportCli, CtrlCSaysWhatIsCommittedAndHowToGoOn) {
  const std::string collection = dir_.File("big.xml");
  ASSERT_EQ(std::system((testing::BinaryDir() + "/bin/generate_collection 3000 " + collection +
                         " 3 > /dev/null")
                            .c_str()),
            0);
  const std::string err_path = dir_.File("err.txt");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT, 0644);
  const std::string zel = testing::BinaryDir() + "/bin/zel";
  std::vector<std::string> args = {zel, "import", catalogue_, collection, "--quiet"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, zel.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  // Once a title is committed, Ctrl+C: opening the file comes before that by as long as the
  // machine's load makes it.
  for (int i = 0; i < 600; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Json count = Sql("SELECT COUNT(*) AS N FROM Profiles");
    if (count.is_array() && count[0]["N"].get<int64_t>() > 0) break;
  }
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  std::ifstream err_file(err_path);
  std::stringstream err;
  err << err_file.rdbuf();
  const std::string line = err.str();
  // One line, and what it says is committed is what the catalogue holds.
  ASSERT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
  const std::string prefix = "zel: interrupted: the first ";
  ASSERT_EQ(line.substr(0, prefix.size()), prefix) << line;
  const int committed = std::stoi(line.substr(prefix.size()));
  EXPECT_GT(committed, 0);
  EXPECT_LT(committed, 3000);
  EXPECT_EQ(line.substr(line.find(" titles of ")),
            " titles of " + collection + " are committed to " + catalogue_ +
                "; run the same command again to go on (titles already imported are unchanged "
                "and pass quickly)\n");
  EXPECT_EQ(Sql("SELECT COUNT(*) AS N FROM Profiles")[0]["N"], committed);
}

}  // namespace
}  // namespace zel
