// Collection, title and award files come from outside: markup that reaches for a local file or a
// URL through an entity or a DTD, or that expands entities without bound, is refused with a clear
// error, reads nothing and writes nothing.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "hardening/hardening_support.h"
#include "import/award_file.h"
#include "import/collection_import.h"
#include "import/profiler_import.h"

namespace zel::testing {
namespace {

constexpr int kRefused = 5;

// A DOCTYPE between the declaration and the DVD element of the base title.
std::string TitleWithDoctype(const std::string& doctype, const std::string& title_text) {
  std::string markup =
      BaseTitleWith("<Title>River Echo</Title>", "<Title>" + title_text + "</Title>");
  markup.insert(markup.find("<DVD>"), doctype + "\n");
  return markup;
}

// Entities that expand to 10^11 bytes in a few hundred bytes of markup.
std::string ExponentialDoctype(const std::string& root) {
  std::string doctype = "<!DOCTYPE " + root + " [\n<!ENTITY e0 \"lollollollol\">\n";
  for (int i = 1; i <= 10; ++i) {
    doctype += "<!ENTITY e" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) doctype += "&e" + std::to_string(i - 1) + ";";
    doctype += "\">\n";
  }
  return doctype + "]>";
}

// One entity of 100 kB, referenced 200 times: 20 MB from 100 kB of markup and no nesting.
std::string QuadraticMarkup() {
  std::string markup = "<!DOCTYPE DVD [<!ENTITY big \"" + std::string(100'000, 'x') + "\">]>";
  std::string references;
  for (int i = 0; i < 200; ++i) references += "&big;";
  return TitleWithDoctype(markup, references);
}

// A local port that listens, so that any attempt of the parser to reach the network shows.
class Listener {
 public:
  Listener() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd_, 4) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen";
    }
    port_ = ntohs(address.sin_port);
  }
  ~Listener() { close(fd_); }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/secret.ent"; }
  bool Contacted() const {
    const int client = accept(fd_, nullptr, nullptr);
    if (client >= 0) close(client);
    return client >= 0;
  }

 private:
  int fd_;
  int port_ = 0;
};

class UntrustedXmlTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    secret_ = dir_.File("secret.txt");
    WriteFile(secret_, "SECRET");
    // A title already stored, which a refused import must leave exactly as it is.
    ImportProfilerXml(BaseTitleWith("<ID>800004711037</ID>", "<ID>1</ID>"));
    before_ = Snapshot(*db_);
  }

  std::string secret_;
  std::string before_;
};

TEST_F(UntrustedXmlTest, TitleReferringToALocalFileIsRefusedUnread) {
  const FileWatch watch(secret_);
  EXPECT_ZEL_ERROR(
      ImportProfilerXml(TitleWithDoctype(
          "<!DOCTYPE DVD [<!ENTITY leak SYSTEM \"file://" + secret_ + "\">]>", "&leak;")),
      kRefused,
      "The title markup is refused: the document declares the external entity 'leak' "
      "(file://" +
          secret_ + "); external entities are never read");
  EXPECT_FALSE(watch.Touched());
  EXPECT_EQ(Snapshot(*db_), before_);
}

TEST_F(UntrustedXmlTest, TitleReferringToAUrlIsRefusedWithoutANetworkCall) {
  const Listener listener;
  EXPECT_ZEL_ERROR(
      ImportProfilerXml(TitleWithDoctype(
          "<!DOCTYPE DVD [<!ENTITY leak SYSTEM \"" + listener.Url() + "\">]>", "&leak;")),
      kRefused,
      "The title markup is refused: the document declares the external entity 'leak' "
      "(" +
          listener.Url() + "); external entities are never read");
  EXPECT_FALSE(listener.Contacted());
  EXPECT_EQ(Snapshot(*db_), before_);
}

TEST_F(UntrustedXmlTest, ExternalParameterEntityAndExternalDtdAreRefusedUnread) {
  const FileWatch watch(secret_);
  EXPECT_ZEL_ERROR(
      ImportProfilerXml(TitleWithDoctype(
          "<!DOCTYPE DVD [<!ENTITY % p SYSTEM \"file://" + secret_ + "\"> %p;]>", "River Echo")),
      kRefused,
      "The title markup is refused: the document declares the external entity 'p' (file://" +
          secret_ + "); external entities are never read");
  EXPECT_ZEL_ERROR(
      ImportProfilerXml(
          TitleWithDoctype("<!DOCTYPE DVD SYSTEM \"file://" + secret_ + "\">", "River Echo")),
      kRefused,
      "The title markup is refused: the document refers to an external DTD; external files are "
      "never read");
  EXPECT_FALSE(watch.Touched());
  EXPECT_EQ(Snapshot(*db_), before_);
}

TEST_F(UntrustedXmlTest, ExponentialAndQuadraticExpansionAreRefused) {
  // The parser itself stops the nested form.
  EXPECT_ZEL_ERROR_NUMBER(ImportProfilerXml(TitleWithDoctype(ExponentialDoctype("DVD"), "&e10;")),
                          errc::kMissingObject);
  EXPECT_ZEL_ERROR(ImportProfilerXml(QuadraticMarkup()), kRefused,
                   "The title markup is refused: the document's entity references expand to more "
                   "than 16777216 bytes");
  EXPECT_EQ(Snapshot(*db_), before_);
}

TEST_F(UntrustedXmlTest, SmallInternalEntitiesStillWork) {
  const ImportResult result = ImportProfilerXml(
      TitleWithDoctype("<!DOCTYPE DVD [<!ENTITY r \"River\"><!ENTITY t \"&r; Echo\">]>", "&t;"));
  EXPECT_EQ(result.outcome, ImportOutcome::kNew);
  EXPECT_EQ(result.title, "River Echo");
}

TEST_F(UntrustedXmlTest, AwardXmlFileReferringToALocalFileIsRefusedUnread) {
  const std::string path = dir_.File("awards.xml");
  WriteFile(path, "<?xml version=\"1.0\"?>\n<!DOCTYPE Awards [<!ENTITY leak SYSTEM \"file://" +
                      secret_ +
                      "\">]>\n<Awards><Award Name=\"Prize\" Year=\"2001\"><Category "
                      "Name=\"Best\"><Movie Name=\"A\">&leak;</Movie></Category></Award></Awards>");
  const FileWatch watch(secret_);
  try {
    ImportAwards(*db_, path);
    ADD_FAILURE() << "no error";
  } catch (const AwardFileError& error) {
    EXPECT_EQ(error.number(), kRefused);
    EXPECT_EQ(error.description(),
              "Invalid award file: the document declares the external entity 'leak' (file://" +
                  secret_ + "); external entities are never read");
  }
  EXPECT_FALSE(watch.Touched());
  EXPECT_EQ(Snapshot(*db_), before_);
}

TEST_F(UntrustedXmlTest, AwardXmlFileExpandingExponentiallyIsRefused) {
  const std::string path = dir_.File("awards.xml");
  WriteFile(path, "<?xml version=\"1.0\"?>\n" + ExponentialDoctype("Awards") +
                      "\n<Awards><Award Name=\"Prize\" Year=\"2001\"><Category Name=\"Best\">"
                      "<Movie Name=\"X\">&e10;</Movie></Category></Award></Awards>");
  EXPECT_THROW(ImportAwards(*db_, path), AwardFileError);
  EXPECT_EQ(Snapshot(*db_), before_);
}

TEST_F(UntrustedXmlTest, CollectionFileReferringToALocalFileIsRefusedUnread) {
  const std::string path = dir_.File("collection.xml");
  std::string title = BaseTitleWith("<Title>River Echo</Title>", "<Title>&leak;</Title>");
  title.erase(0, title.find("<DVD>"));
  WriteFile(path, "<?xml version=\"1.0\"?>\n<!DOCTYPE Collection [<!ENTITY leak SYSTEM \"file://" +
                      secret_ + "\">]>\n<Collection>" + title + "</Collection>");
  const FileWatch watch(secret_);
  EXPECT_ZEL_ERROR(ImportCollectionFile(path), kRefused,
                   path +
                       ": The document is refused: the document declares the external entity "
                       "'leak' (file://" +
                       secret_ + "); external entities are never read");
  EXPECT_FALSE(watch.Touched());
  EXPECT_EQ(Snapshot(*db_), before_);
}

TEST_F(UntrustedXmlTest, CollectionFileExpandingWithoutBoundIsRefused) {
  const std::string path = dir_.File("collection.xml");
  std::string title = QuadraticMarkup();
  const std::string doctype =
      title.substr(title.find("<!DOCTYPE"), title.find("]>") + 2 - title.find("<!DOCTYPE"));
  title.erase(0, title.find("<DVD>"));
  WriteFile(path, "<?xml version=\"1.0\"?>\n" + std::string(doctype).replace(10, 3, "Collection") +
                      "\n<Collection>" + title + "</Collection>");
  EXPECT_ZEL_ERROR(ImportCollectionFile(path), kRefused,
                   path +
                       ": The document is refused: the document's entity references expand to "
                       "more than 16777216 bytes");
  EXPECT_EQ(Snapshot(*db_), before_);
}

// The declaration check once took the streamed document with a call that made the reader keep
// every node and never free the document: the sanitizer build reports the leak.
TEST_F(UntrustedXmlTest, CheckedCollectionStreamStillFreesWhatItRead) {
  const std::string path = dir_.File("collection.xml");
  std::string title = BaseTitleWith("<Title>River Echo</Title>", "<Title>&river; Echo</Title>");
  title.erase(0, title.find("<DVD>"));
  WriteFile(path,
            "<?xml version=\"1.0\"?>\n<!DOCTYPE Collection [<!ENTITY river \"River\">]>\n"
            "<Collection>" +
                title + "</Collection>");
  const CollectionSummary summary = ImportCollectionFile(path);
  EXPECT_EQ(summary.changed + summary.new_titles, 1u);
  EXPECT_EQ(summary.failed, 0u);
}

TEST_F(UntrustedXmlTest, ZelImportRefusesWithOneLine) {
  const std::string path = dir_.File("collection.xml");
  WriteFile(path, "<?xml version=\"1.0\"?>\n<!DOCTYPE Collection SYSTEM \"file://" + secret_ +
                      "\">\n<Collection><DVD/></Collection>");
  control_.CloseDatabase();
  const FileWatch watch(secret_);
  const CommandResult result = RunZel({"import", dir_.File("catalogue.zel"), path});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "zel: " + path +
                            ": The document is refused: the document refers to an external DTD; "
                            "external files are never read (error 5)\n");
  EXPECT_EQ(result.out, "");
  EXPECT_FALSE(watch.Touched());
  db_ = control_.OpenDatabase(dir_.File("catalogue.zel"));
  EXPECT_EQ(Snapshot(*db_), before_);
}

}  // namespace
}  // namespace zel::testing
