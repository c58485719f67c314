// Editing through `zel serve --edit`: real HTTP against a real server process on a catalogue of
// the example collection in a folder of each test's own; every change is checked in the file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <map>
#include <regex>
#include <thread>

#include "catalogue/control.h"
#include "catalogue/database.h"
#include "store/connection.h"
#include "web/html.h"
#include "web_fixture.h"

namespace zel::testing {
namespace {

const std::string kTitle = "Key_800004711888";  // owned, not on loan
const std::string kPage = "/title/" + kTitle;

using Fields = std::vector<std::pair<std::string, std::string>>;

// A browser as far as the server can tell: it keeps the session cookie, sends its own origin with
// posts and fills in the form token of the last page it loaded.
class Browser {
 public:
  explicit Browser(int port)
      : client_("127.0.0.1", port), origin_("http://127.0.0.1:" + std::to_string(port)) {
    client_.set_read_timeout(30);  // a change waits for another writer up to the engine's limit
  }

  httplib::Result Get(const std::string& path) {
    auto result = client_.Get(path, Headers());
    Keep(result);
    static const std::regex kToken(R"re(name="token" value="([0-9a-f]+)")re");
    std::smatch found;
    if (result && std::regex_search(result->body, found, kToken)) token_ = found[1];
    return result;
  }
  // Posts `fields` with the token (unless given) from this browser's origin (unless given).
  httplib::Result Post(const std::string& path, Fields fields,
                       const std::optional<std::string>& origin = std::nullopt) {
    if (std::none_of(fields.begin(), fields.end(), [](auto& f) { return f.first == "token"; })) {
      fields.emplace_back("token", token_);
    }
    std::string body;
    for (const auto& [name, value] : fields) {
      body +=
          (body.empty() ? "" : "&") + web::EncodeSegment(name) + "=" + web::EncodeSegment(value);
    }
    httplib::Headers headers = Headers();
    const std::string from = origin.value_or(origin_);
    if (!from.empty()) headers.emplace("Origin", from);
    auto result = client_.Post(path, headers, body, "application/x-www-form-urlencoded");
    Keep(result);
    return result;
  }
  const std::string& cookie() const { return cookie_; }
  const std::string& token() const { return token_; }
  void set_cookie(std::string cookie) { cookie_ = std::move(cookie); }

 private:
  httplib::Headers Headers() const {
    return cookie_.empty() ? httplib::Headers{} : httplib::Headers{{"Cookie", cookie_}};
  }
  void Keep(const httplib::Result& result) {
    if (!result || !result->has_header("Set-Cookie")) return;
    const std::string set = result->get_header_value("Set-Cookie");
    last_set_cookie_ = set;
    cookie_ = set.substr(0, set.find(';'));
    if (set.find("Max-Age=0") != std::string::npos) cookie_.clear();
  }

 public:
  std::string last_set_cookie_;

 private:
  httplib::Client client_;
  std::string origin_;
  std::string cookie_;
  std::string token_;
};

class EditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    catalogue_ = dir_.File("edit.zel");
    ASSERT_EQ(RunZel({"create", catalogue_}).exit_code, 0);
    ASSERT_EQ(RunZel({"import", catalogue_, SourceDir() + "/examples/collection.xml"}).exit_code,
              0);
  }
  void Start(std::vector<std::string> extra = {"--edit"}) {
    server_ = std::make_unique<ServerProcess>(catalogue_, std::move(extra));
    ASSERT_GT(server_->port(), 0) << "the server did not start";
  }
  int64_t Sql(const std::string& sql) { return Count(catalogue_, sql); }
  // Everything the title's editable sections hold, to see that a refused post changed nothing.
  int64_t Rows() {
    return Sql("SELECT (SELECT COUNT(*) FROM LoanInfo) * 1000000 + (SELECT COUNT(*) FROM Tags) * "
               "10000 + (SELECT COUNT(*) FROM Events) * 100 + (SELECT COUNT(*) FROM Users)") +
           Sql("SELECT COUNT(*) FROM Profiles WHERE ProfileID = '" + kTitle +
               "' AND Notes = 'untouched' AND ColType = 'Owned'") *
               1000000000;
  }
  std::string PasswordFile(const std::string& password) {
    const std::string path = dir_.File("password");
    std::ofstream(path) << password << "\n";
    return path;
  }

  TempDir dir_;
  std::string catalogue_;
  std::unique_ptr<ServerProcess> server_;
};

TEST_F(EditTest, EachChangeIsStoredAnsweredWithARedirectAndShownWithANote) {
  Start();
  Browser browser(server_->port());
  ASSERT_EQ(browser.Get(kPage)->status, 200);
  EXPECT_TRUE(Has(browser.last_set_cookie_, "HttpOnly; SameSite=Strict; Path=/"));

  auto lent = browser.Post(kPage, {{"action", "lend"}, {"user", "Ann Lee"}, {"due", "2001-02-03"}});
  ASSERT_EQ(lent->status, 303);
  EXPECT_EQ(lent->get_header_value("Location"), kPage);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM LoanInfo WHERE ProfileID = '" + kTitle +
                "' AND UserID = 'Ann Lee' AND LoanedDue = '2001-02-03 00:00:00'"),
            1);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Users WHERE UserID = 'Ann Lee'"), 1);
  const std::string page = browser.Get(kPage)->body;
  EXPECT_TRUE(Has(page, "Lent to Ann Lee, due 2001-02-03."));
  EXPECT_FALSE(Has(browser.Get(kPage)->body, "Lent to Ann Lee")) << "the note is shown once";
  const std::string loans = browser.Get("/loans")->body;
  EXPECT_TRUE(Has(loans, "Ann Lee")) << loans;
  EXPECT_TRUE(Has(loans, "overdue"));

  // A second loan of a title out already is refused beside the form.
  auto twice = browser.Post(kPage, {{"action", "lend"}, {"user", "Bo"}});
  EXPECT_EQ(twice->status, 400);
  EXPECT_TRUE(Has(twice->body, "on loan to Ann Lee already"));

  ASSERT_EQ(
      browser.Post(kPage, {{"action", "return"}, {"back", "/loans"}})->get_header_value("Location"),
      "/loans");
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM LoanInfo WHERE ProfileID = '" + kTitle + "'"), 0);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Events WHERE ProfileID = '" + kTitle +
                "' AND UserID = 'Ann Lee' AND EventType IN ('Borrowed', 'Returned')"),
            2);

  EXPECT_EQ(browser.Post(kPage, {{"action", "tag"}, {"tag", "Living Room/Shelf 9"}})->status, 303);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Tags WHERE ProfileID = '" + kTitle +
                "' AND TagName = 'Shelf 9' AND FullyQualifiedName = 'Living Room/Shelf 9'"),
            1);
  EXPECT_TRUE(Has(browser.Get(kPage)->body, "<option value=\"Favourites\">"))
      << "the catalogue's tags are offered";
  EXPECT_EQ(browser.Post(kPage, {{"action", "untag"}, {"tag", "Living Room/Shelf 9"}})->status,
            303);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Tags WHERE ProfileID = '" + kTitle + "'"), 0);

  EXPECT_EQ(
      browser.Post(kPage, {{"action", "collection"}, {"type", "WishList"}, {"priority", "4"}})
          ->status,
      303);
  EXPECT_EQ(Sql("SELECT WishListPriority FROM Profiles WHERE ProfileID = '" + kTitle +
                "' AND ColType = 'WishList'"),
            4);
  EXPECT_EQ(
      browser.Post(kPage, {{"action", "notes"}, {"notes", "Two lines\r\n<i>kept</i>"}})->status,
      303);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Profiles WHERE ProfileID = '" + kTitle +
                "' AND Notes = 'Two lines' || char(13) || char(10) || '<i>kept</i>'"),
            1);
}

TEST_F(EditTest, PostsWithoutTheRightTokenOrFromAnotherOriginChangeNothing) {
  Execute(catalogue_,
          {"UPDATE Profiles SET Notes = 'untouched' WHERE ProfileID = '" + kTitle + "'"});
  Start();
  const int64_t before = Rows();
  const Fields lend = {{"action", "lend"}, {"user", "Mallory"}};
  Browser browser(server_->port());
  // No session yet: the browser never loaded a page of this server.
  EXPECT_EQ(browser.Post(kPage, lend)->status, 403);
  ASSERT_EQ(browser.Get(kPage)->status, 200);
  Fields wrong = lend;
  wrong.emplace_back("token", std::string(64, 'a'));
  EXPECT_EQ(browser.Post(kPage, wrong)->status, 403);
  wrong.back().second.clear();
  EXPECT_EQ(browser.Post(kPage, wrong)->status, 403);
  EXPECT_EQ(browser.Post(kPage, lend, "http://evil.example")->status, 403);
  EXPECT_EQ(browser.Post(kPage, lend, "null")->status, 403);
  EXPECT_EQ(browser.Post(kPage, lend, "")->status, 403) << "neither Origin nor Referer";
  // Another browser's session does not take this one's token.
  Browser other(server_->port());
  other.Get("/loans");
  Fields foreign = lend;
  foreign.emplace_back("token", browser.token());
  const auto refused = other.Post(kPage, foreign);
  EXPECT_EQ(refused->status, 403);
  EXPECT_TRUE(Has(refused->body, "Nothing was changed."));
  EXPECT_EQ(Rows(), before);
  EXPECT_EQ(browser.Post(kPage, lend)->status, 303) << "the right form still works";
}

TEST_F(EditTest, BadValuesComeBackBesideTheirFieldAndNothingIsStored) {
  Execute(catalogue_,
          {"UPDATE Profiles SET Notes = 'untouched' WHERE ProfileID = '" + kTitle + "'"});
  Start();
  const int64_t before = Rows();
  Browser browser(server_->port());
  browser.Get(kPage);
  const struct {
    Fields fields;
    std::string field, message;
  } cases[] = {
      {{{"action", "lend"}, {"user", std::string(101, 'x')}}, "lend-user", "At most 100"},
      {{{"action", "lend"}, {"user", "Ann"}, {"due", "2023-02-29"}}, "lend-due", "Not a date"},
      {{{"action", "lend"}, {"user", "Ann\nLee"}}, "lend-user", "Line breaks"},
      {{{"action", "lend"}, {"user", "\xC3\x28"}}, "lend-user", "This is not valid text"},
      {{{"action", "event"}, {"type", "Eaten"}, {"date", "2024-01-01"}, {"user", "A"}},
       "event-type",
       "Unknown event type"},
      {{{"action", "event"}, {"type", "Watched"}, {"date", ""}, {"user", "A"}},
       "event-date",
       "Please give a date"},
      {{{"action", "collection"}, {"type", "Stolen"}}, "collection-type", "Unknown collection"},
      {{{"action", "collection"}, {"type", "Owned"}, {"priority", "9"}},
       "collection-priority",
       "A whole number from 0 (none) to 5"},
      {{{"action", "notes"}, {"notes", std::string(8001, 'n')}}, "notes-notes", "At most 8000"},
      {{{"action", "tag"}, {"tag", "Folder/"}}, "tag-tag", "A tag needs a name"},
  };
  for (const auto& bad : cases) {
    const auto answer = browser.Post(kPage, bad.fields);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 400) << bad.field;
    EXPECT_TRUE(Has(answer->body, "id=\"" + bad.field + "-error\">" + bad.message))
        << bad.field << "\n"
        << answer->body.substr(std::min(answer->body.find("class=\"error\""), answer->body.size()),
                               300);
  }
  // An error about no field is shown above the page.
  EXPECT_TRUE(Has(browser.Post(kPage, {{"action", "untag"}, {"tag", "Nope"}})->body,
                  "role=\"alert\">The title has no such tag."));
  // What was typed comes back in the form.
  EXPECT_TRUE(
      Has(browser.Post(kPage, {{"action", "lend"}, {"user", "Ann"}, {"due", "someday"}})->body,
          "value=\"someday\""));
  // Over the body limit: refused by the HTTP layer before any form is read.
  EXPECT_EQ(browser.Post(kPage, {{"action", "notes"}, {"notes", std::string(20000, 'n')}})->status,
            413);
  EXPECT_EQ(Rows(), before);
}

TEST_F(EditTest, WithoutEditTheServerStaysReadOnly) {
  Start({});
  Browser browser(server_->port());
  const std::string page = browser.Get(kPage)->body;
  EXPECT_FALSE(Has(page, "<form method=\"post\""));
  EXPECT_EQ(browser.Post(kPage, {{"action", "lend"}, {"user", "Ann"}})->status, 405);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM LoanInfo WHERE ProfileID = '" + kTitle + "'"), 0);
  EXPECT_EQ(browser.Get("/loans")->status, 200) << "the loans are shown all the same";
}

TEST_F(EditTest, EditingOnAnOpenAddressNeedsAPasswordNeverGivenOnTheCommandLine) {
  const CommandResult open =
      RunZel({"serve", catalogue_, "--edit", "--bind", "0.0.0.0", "--port", "0"});
  EXPECT_NE(open.exit_code, 0);
  EXPECT_TRUE(Has(open.err, "needs a password")) << open.err;
  const CommandResult private_only = RunZel({"serve", catalogue_, "--private", "--port", "0"});
  EXPECT_NE(private_only.exit_code, 0);
  EXPECT_TRUE(Has(private_only.err, "needs a password")) << private_only.err;
  EXPECT_NE(RunZel({"serve", catalogue_, "--edit", "--password", "x"}).exit_code, 0);
  std::ofstream(dir_.File("empty")) << "\n";
  EXPECT_NE(
      RunZel({"serve", catalogue_, "--edit", "--password-file", dir_.File("empty")}).exit_code, 0);
}

TEST_F(EditTest, LoginsAreSlowedDownAndSessionsExpire) {
  Start({"--edit", "--password-file", PasswordFile("s3cret pass"), "--session-timeout", "2"});
  Browser browser(server_->port());
  // Not logged in: the page is read-only and offers the login.
  const std::string page = browser.Get(kPage)->body;
  EXPECT_FALSE(Has(page, "name=\"action\""));
  EXPECT_TRUE(Has(page, "/login?back="));
  EXPECT_EQ(browser.Post(kPage, {{"action", "lend"}, {"user", "Ann"}, {"token", ""}})->status, 403);

  EXPECT_EQ(browser.Post("/login", {{"password", "wrong"}, {"back", kPage}})->status, 403);
  const auto too_soon = browser.Post("/login", {{"password", "s3cret pass"}, {"back", kPage}});
  EXPECT_EQ(too_soon->status, 429) << "even the right password waits out the delay";
  EXPECT_EQ(too_soon->get_header_value("Retry-After"), "1");
  EXPECT_TRUE(browser.cookie().empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(
      browser.Post("/login", {{"password", "s3cret pass"}, {"back", kPage}}, "http://evil.example")
          ->status,
      403);
  const auto in = browser.Post("/login", {{"password", "s3cret pass"}, {"back", kPage}});
  ASSERT_EQ(in->status, 303);
  EXPECT_EQ(in->get_header_value("Location"), kPage);
  EXPECT_TRUE(Has(browser.last_set_cookie_, "HttpOnly; SameSite=Strict; Path=/"));

  browser.Get(kPage);
  EXPECT_EQ(browser.Post(kPage, {{"action", "tag"}, {"tag", "Lent"}})->status, 303);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Tags WHERE ProfileID = '" + kTitle + "'"), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));
  const auto expired = browser.Post(kPage, {{"action", "untag"}, {"tag", "Lent"}});
  EXPECT_EQ(expired->status, 403);
  EXPECT_TRUE(Has(expired->body, "session has expired"));
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Tags WHERE ProfileID = '" + kTitle + "'"), 1);

  // Logging out ends the session at once.
  browser.Post("/login", {{"password", "s3cret pass"}, {"back", kPage}});
  browser.Get(kPage);
  const std::string kept = browser.cookie();
  EXPECT_EQ(browser.Post("/logout", {})->status, 303);
  EXPECT_TRUE(browser.cookie().empty());
  browser.set_cookie(kept);  // a copy of the cookie taken before is worth nothing now
  EXPECT_EQ(browser.Post(kPage, {{"action", "untag"}, {"tag", "Lent"}, {"token", browser.token()}})
                ->status,
            403);
}

TEST_F(EditTest, APrivateServerShowsNothingBeforeTheLogin) {
  setenv("ZEL_SERVE_PASSWORD", "from the environment", 1);
  Start({"--private"});
  unsetenv("ZEL_SERVE_PASSWORD");
  Browser browser(server_->port());
  const auto home = browser.Get("/titles");
  EXPECT_EQ(home->status, 303);
  EXPECT_TRUE(home->get_header_value("Location").starts_with("/login?back="));
  EXPECT_EQ(browser.Get("/api/titles")->status, 401);
  EXPECT_EQ(browser.Get("/loans.ics")->status, 303);
  EXPECT_EQ(browser.Get("/login")->status, 200);
  ASSERT_EQ(
      browser.Post("/login", {{"password", "from the environment"}, {"back", "/titles"}})->status,
      303);
  EXPECT_EQ(browser.Get("/titles")->status, 200);
  EXPECT_EQ(browser.Post(kPage, {{"action", "notes"}, {"notes", "x"}})->status, 405)
      << "private, not editing";
  browser.Get("/titles");
}

// A change that meets another writer holding the file longer than the engine waits fails as a
// whole with a message and the current state; once the writer is done it goes through, and what
// the other writer stored stays.
TEST_F(EditTest, AnEditMeetingAnotherWriterIsRefusedWithAMessageAndNothingIsLost) {
  Start();
  Browser browser(server_->port());
  browser.Get(kPage);
  std::promise<void> locked;
  std::thread writer([&] {
    Control control;
    auto database = control.OpenDatabase(catalogue_);
    {
      store::WriteScope scope(database->connection());
      database->ExecuteSQL(
          "UPDATE Profiles SET Overview = 'written elsewhere' WHERE ProfileID = '" + kTitle + "'");
      locked.set_value();
      std::this_thread::sleep_for(std::chrono::seconds(7));
      scope.Commit();
    }
    control.CloseDatabase();
  });
  locked.get_future().wait();
  const auto busy = browser.Post(kPage, {{"action", "lend"}, {"user", "Ann"}});
  writer.join();
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->status, 409);
  EXPECT_TRUE(Has(busy->body, "Nothing was changed"));
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM LoanInfo WHERE ProfileID = '" + kTitle + "'"), 0);

  EXPECT_EQ(browser.Post(kPage, {{"action", "lend"}, {"user", "Ann"}})->status, 303);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM LoanInfo WHERE ProfileID = '" + kTitle + "'"), 1);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Profiles WHERE ProfileID = '" + kTitle +
                "' AND Overview = 'written elsewhere'"),
            1);
}

// An import rewriting the same title again and again while the title is edited: every change is
// applied or refused with a message (never a server error), each import stores the whole export,
// and once the imports are done an edit goes through beside what they stored.
TEST_F(EditTest, EditsWhileAnImportWritesTheSameTitleAreAppliedOrRefusedWithAMessage) {
  const std::string original = ReadFile(SourceDir() + "/examples/collection.xml");
  const std::string before = "Title 25 of 30: Crimson Iron.";
  const std::string after = "Title 25 of 30: Crimson Iron, restored.";
  ASSERT_NE(original.find(before), std::string::npos);
  std::string changed = original;
  changed.replace(changed.find(before), before.size(), after);
  std::ofstream(dir_.File("original.xml"), std::ios::binary) << original;
  std::ofstream(dir_.File("changed.xml"), std::ios::binary) << changed;
  Start();

  std::atomic<bool> importing{true};
  std::thread importer([&] {
    for (int round = 0; round < 4; ++round) {
      const std::string file = dir_.File(round % 2 == 0 ? "changed.xml" : "original.xml");
      EXPECT_EQ(RunZel({"import", catalogue_, file, "--quiet"}).exit_code, 0) << round;
    }
    EXPECT_EQ(RunZel({"import", catalogue_, dir_.File("changed.xml"), "--quiet"}).exit_code, 0);
    importing = false;
  });
  Browser browser(server_->port());
  browser.Get(kPage);
  std::map<int, int> statuses;
  for (int i = 0; importing; ++i) {
    const auto answer =
        browser.Post(kPage, i % 2 == 0 ? Fields{{"action", "tag"}, {"tag", "Racing"}}
                                       : Fields{{"action", "untag"}, {"tag", "Racing"}});
    ASSERT_TRUE(answer);
    ++statuses[answer->status];
    if (answer->status != 303) {
      EXPECT_TRUE(Has(answer->body, "role=\"alert\"")) << answer->status;
    }
  }
  importer.join();
  for (const auto& [status, count] : statuses) {
    EXPECT_TRUE(status == 303 || status == 400 || status == 409) << status << " x" << count;
  }
  EXPECT_GT(statuses[303], 0);

  Execute(catalogue_, {"DELETE FROM Tags WHERE ProfileID = '" + kTitle + "'"});
  EXPECT_EQ(browser.Post(kPage, {{"action", "tag"}, {"tag", "Racing"}})->status, 303);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Profiles WHERE ProfileID = '" + kTitle +
                "' AND Overview LIKE '*" + after + "'"),
            1);
  EXPECT_EQ(
      Sql("SELECT COUNT(*) FROM Tags WHERE ProfileID = '" + kTitle + "' AND TagName = 'Racing'"),
      1);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Profiles"), 30);

  // What was edited on the page outlives the next changed export.
  EXPECT_EQ(RunZel({"import", catalogue_, dir_.File("original.xml"), "--quiet"}).exit_code, 0);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Profiles WHERE ProfileID = '" + kTitle +
                "' AND Overview LIKE '*" + before + "'"),
            1);
  EXPECT_EQ(Sql("SELECT COUNT(*) FROM Tags WHERE ProfileID = '" + kTitle + "'"), 1);
}

TEST_F(EditTest, TheLoansFeedIsICalendar) {
  // Long enough to be folded, with two-byte characters where the folds fall.
  std::string borrower = "Zoë, the; \\ borrower ";
  for (int i = 0; i < 60; ++i) borrower += "é";
  Execute(catalogue_, {"INSERT INTO Users (UserID) VALUES ('" + borrower + "')",
                       "INSERT INTO LoanInfo (ProfileID, UserID, LoanedDue) VALUES ('" + kTitle +
                           "', '" + borrower + "', '2030-01-31')"});
  Start({});
  Browser browser(server_->port());
  const auto feed = browser.Get("/loans.ics");
  ASSERT_EQ(feed->status, 200);
  EXPECT_TRUE(Has(feed->get_header_value("Content-Type"), "text/calendar"));
  const std::string& text = feed->body;
  EXPECT_TRUE(text.starts_with("BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"));
  EXPECT_TRUE(text.ends_with("END:VCALENDAR\r\n"));
  EXPECT_TRUE(Has(text, "DTSTART;VALUE=DATE:20300131\r\n"));
  EXPECT_TRUE(Has(text, "UID:loan-" + kTitle + "-20300131@zelcontrol\r\n"));
  EXPECT_TRUE(std::regex_search(text, std::regex("DTSTAMP:\\d{8}T\\d{6}Z\r\n")));
  // Lines end in CR LF and hold at most 75 octets; a fold never splits a character.
  std::string unfolded;
  size_t start = 0, folds = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    const std::string line = text.substr(start, end - start);
    EXPECT_LE(line.size(), 75u) << line;
    EXPECT_EQ(line.find('\n'), std::string::npos);
    if (line.starts_with(" ")) {
      ++folds;
      EXPECT_NE(static_cast<unsigned char>(line[1]) & 0xC0, 0x80) << "a character split";
    }
    unfolded += line.starts_with(" ") ? line.substr(1) : "\n" + line;
  }
  EXPECT_EQ(start, text.size());
  EXPECT_GE(folds, 2u);
  std::string escaped = "Zoë\\, the\\; \\\\ borrower ";
  for (int i = 0; i < 60; ++i) escaped += "é";
  EXPECT_TRUE(Has(unfolded, "\nSUMMARY:Due back: Crimson Iron (" + escaped + ")\n")) << unfolded;
  EXPECT_TRUE(Has(browser.Get("/loans")->body, "Crimson Iron")) << "and on the loans page";
}

}  // namespace
}  // namespace zel::testing
