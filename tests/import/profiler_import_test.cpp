#include "import/profiler_import.h"

#include "frame/message.h"
#include "frame/object.h"
#include "frame/text.h"
#include "import_fixture.h"
#include "model/profiles.h"
#include "model/reference_lists.h"
#include "people/aliases.h"
#include "store/engine_errors.h"

namespace zel::testing {
namespace {

constexpr std::string_view kFullTitle = R"(
  <ProfileTimestamp>2008-05-01T12:34:56.789+01:00</ProfileTimestamp>
  <MediaTypes><DVD>false</DVD><HDDVD>False</HDDVD><BluRay>True</BluRay>
    <CustomMediaType>UMD</CustomMediaType></MediaTypes>
  <CollectionNumber>17</CollectionNumber>
  <CollectionType>On Order</CollectionType>
  <DistTrait/>
  <Description>ignored because DistTrait is present</Description>
  <OriginalTitle>Nachtfluss</OriginalTitle>
  <SortTitle>River, Night</SortTitle>
  <CountryOfOrigin>Germany</CountryOfOrigin>
  <ProductionYear>1999</ProductionYear>
  <Released>2003-02-01</Released>
  <RunningTime>101</RunningTime>
  <RatingSystem>Film</RatingSystem><Rating>PG</Rating><RatingDetails>mild peril</RatingDetails>
  <RatingAge>12</RatingAge><RatingVariant>0</RatingVariant>
  <CaseType>Keep Case</CaseType><CaseSlipCover>true</CaseSlipCover>
  <Overview>Line one
Line two</Overview>
  <EasterEggs/>
  <LastEdited>2009-05-13T20:05:15.000Z</LastEdited>
  <WishPriority>3</WishPriority>
  <CountAs>2</CountAs>
  <Exclusions><MovieList>x</MovieList><Mobile/></Exclusions>
  <MediaBanners Front="Automatic" Back="HD"/>
)";

TEST_F(ImportTest, ANewTitleBecomesAProfileRowWithItsMetaEntries) {
  const ImportResult result = Import(Dvd(kFullTitle, "012345678901.4"));
  EXPECT_EQ(result.outcome, ImportOutcome::kNew);
  EXPECT_EQ(result.profile_id, "Key_012345678901.4");
  EXPECT_EQ(result.title, "Night River");
  const Table rows = Rows(
      "SELECT ProfileID, Title, Medium, OriginalTitle, SortTitle, Description, ColNo, ColType, "
      "UPC, "
      "Rating, RatingSystem, RatingDetails, ProdYear, Released, Runtime, CaseType, Overview, "
      "ProfileTimestamp, LastEdited, WishListPriority, DataSource, Locality, CountryOfOrigin, "
      "CountAs FROM Profiles");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"Key_012345678901.4",
                                               "Night River",
                                               "Blu-ray Disc/UMD",
                                               "Nachtfluss",
                                               "River, Night",
                                               "",
                                               "17",
                                               "OnOrder",
                                               "0-12345-67890-1",
                                               "PG",
                                               "Film",
                                               "mild peril",
                                               "1999",
                                               "2003-02-01",
                                               "101",
                                               "Keep Case, Slip Cover",
                                               "Line one\r\nLine two",
                                               "2008-05-01 12:34:56",
                                               "2009-05-13 20:05:15",
                                               "3",
                                               "DVDProfiler",
                                               "United Kingdom",
                                               "Germany",
                                               "2"}));
  const std::string md5 = Value("SELECT MD5 FROM Profiles");
  EXPECT_EQ(md5.size(), 32u);
  EXPECT_EQ(md5.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(Rows("SELECT InfoName, InfoValue FROM MetaInfo ORDER BY InfoName"),
            (Table{{"Exclusions", "MovieList, Mobile"},
                   {"MediaBannerBack", "HD"},
                   {"MediaBannerFront", ""},
                   {"RatingAge", "12"},
                   {"RatingVariant", "0"}}));
}

TEST_F(ImportTest, DefaultsOfAMinimalTitle) {
  Import(Dvd(""));
  EXPECT_EQ(Rows("SELECT Medium, ProdYear, Released, Runtime, CaseType, LastEdited, CountAs, "
                 "Locality, WishListPriority FROM Profiles"),
            (Table{{"DVD", "0", "1899-12-30", "0", "", "1899-12-30", "1", "United States", ""}}));
  EXPECT_EQ(Value("SELECT COUNT(*) FROM MetaInfo WHERE InfoName LIKE 'MediaBanner*'"), "0");
  EXPECT_EQ(Value("SELECT InfoValue FROM MetaInfo WHERE InfoName = 'Exclusions'"), "");
  // A title without regions counts as region 0.
  EXPECT_EQ(Rows("SELECT Region FROM Regions"), (Table{{"0"}}));
}

TEST_F(ImportTest, MediumAndCaseRules) {
  Import(
      Dvd("<MediaTypes><DVD>false</DVD><BluRay>false</BluRay></MediaTypes>"
          "<CaseType/><CaseSlipCover>True</CaseSlipCover>",
          "1"));
  Import(Dvd("<MediaTypes><HDDVD>true</HDDVD><DVD>TRUE</DVD></MediaTypes>", "2"));
  EXPECT_EQ(Rows("SELECT Medium, CaseType FROM Profiles ORDER BY ProfileID"),
            (Table{{"", "Slip Cover"}, {"HD DVD/DVD", ""}}));
}

TEST_F(ImportTest, TheSameMarkupTwiceWritesNothing) {
  const std::string markup = Dvd(std::string(kFullTitle) + "<Genres><Genre>Drama</Genre></Genres>");
  ASSERT_EQ(Import(markup).outcome, ImportOutcome::kNew);
  // Rows changed by hand in between show that the second import writes nothing at all.
  db_->ExecuteSQL("DELETE FROM Genres");
  db_->ExecuteSQL("DELETE FROM MetaInfo WHERE InfoName = 'RatingAge'");
  EXPECT_EQ(Import(markup).outcome, ImportOutcome::kUnchanged);
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Genres"), "0");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM MetaInfo WHERE InfoName = 'RatingAge'"), "0");
  // Indentation is no change: the fingerprint is taken of the parsed element.
  const std::string indented = ReplaceAll(markup, "><", ">\n    <");
  EXPECT_EQ(Import(indented).outcome, ImportOutcome::kUnchanged);
}

TEST_F(ImportTest, ANullFingerprintIsImportedAgain) {
  const std::string markup = Dvd("<Genres><Genre>Drama</Genre></Genres>");
  Import(markup);
  const std::string md5 = Value("SELECT MD5 FROM Profiles");
  db_->ExecuteSQL("UPDATE Profiles SET MD5 = NULL");
  db_->ExecuteSQL("DELETE FROM Genres");
  EXPECT_EQ(Import(markup).outcome, ImportOutcome::kChanged);
  EXPECT_EQ(Value("SELECT MD5 FROM Profiles"), md5);
  EXPECT_EQ(Value("SELECT Genre FROM Genres"), "Drama");
}

TEST_F(ImportTest, AChangedTitleKeepsCountAsAndNeverMovesLastEditedBack) {
  Import(
      Dvd("<LastEdited>2010-01-01T00:00:00Z</LastEdited><CountAs>3</CountAs>"
          "<WishPriority>4</WishPriority><ProfileTimestamp>2010-01-01</ProfileTimestamp>"));
  const ImportResult result =
      Import(Dvd("<LastEdited>2009-01-01T00:00:00Z</LastEdited><CountAs>1</CountAs>"
                 "<WishPriority/><ProfileTimestamp>2011-02-03T04:05:06Z</ProfileTimestamp>",
                 "012345678901", "Night River (Director's Cut)"));
  EXPECT_EQ(result.outcome, ImportOutcome::kChanged);
  EXPECT_EQ(
      Rows("SELECT Title, LastEdited, CountAs, WishListPriority, ProfileTimestamp FROM "
           "Profiles"),
      (Table{{"Night River (Director's Cut)", "2010-01-01", "3", "4", "2011-02-03 04:05:06"}}));
  Import(Dvd("<LastEdited>2012-06-07T08:09:10Z</LastEdited>"));
  EXPECT_EQ(Value("SELECT LastEdited FROM Profiles"), "2012-06-07 08:09:10");
}

TEST_F(ImportTest, AnEntireLockInAnyCaseLeavesAChangedTitleAlone) {
  Import(Dvd("<Genres><Genre>Drama</Genre></Genres>"));
  db_->ExecuteSQL("INSERT INTO Locks (ProfileID, LockName) VALUES ('Key_012345678901', 'eNtIrE')");
  const ImportResult result =
      Import(Dvd("<Genres><Genre>Comedy</Genre></Genres>", "012345678901", "Other"));
  EXPECT_EQ(result.outcome, ImportOutcome::kLocked);
  EXPECT_EQ(Rows("SELECT Title FROM Profiles"), (Table{{"Night River"}}));
  EXPECT_EQ(Rows("SELECT Genre FROM Genres"), (Table{{"Drama"}}));
}

TEST_F(ImportTest, SectionAndColumnLocksProtectOnlyTheirPart) {
  Import(
      Dvd("<Rating>PG</Rating><RatingSystem>Film</RatingSystem><RatingDetails>a</RatingDetails>"
          "<Actors><Actor FirstName=\"Anna\" LastName=\"Berg\" Role=\"Eva\"/></Actors>"
          "<Genres><Genre>Drama</Genre></Genres>"));
  for (const char* lock : {"Cast", "RATING", "title"}) {
    db_->ExecuteSQL(std::string("INSERT INTO Locks (ProfileID, LockName) VALUES "
                                "('Key_012345678901', '") +
                    lock + "')");
  }
  const ImportResult result =
      Import(Dvd("<Rating>R</Rating><RatingSystem>TV</RatingSystem><RatingDetails>b</RatingDetails>"
                 "<Actors><Actor FirstName=\"Tom\" LastName=\"Hale\" Role=\"Max\"/></Actors>"
                 "<Genres><Genre>Comedy</Genre></Genres><Overview>New</Overview>",
                 "012345678901", "Renamed"));
  // What changed and what the locks kept, by the names of the locks.
  EXPECT_EQ(result.changed_sections, (std::vector<std::string>{"Overview", "Genres"}));
  EXPECT_EQ(result.locked_sections, (std::vector<std::string>{"Cast"}));
  EXPECT_EQ(Rows("SELECT Title, Rating, RatingSystem, RatingDetails FROM Profiles"),
            (Table{{"Night River", "PG", "Film", "a"}}));
  EXPECT_EQ(Rows("SELECT Name, Role FROM CastCrew"), (Table{{"Anna Berg", "Eva"}}));
  EXPECT_EQ(Rows("SELECT Genre FROM Genres"), (Table{{"Comedy"}}));
}

// Edits made here are kept as locked parts are, until the export says the same; what the export
// changed besides is imported, and a part changed on both sides is a conflict.
TEST_F(ImportTest, PartsEditedHereOutliveAChangedExport) {
  const auto export_with = [](const std::string& genre, const std::string& overview) {
    return Dvd("<Genres><Genre>" + genre + "</Genre></Genres><Overview>" + overview +
               "</Overview><Notes>n</Notes>");
  };
  Import(export_with("Drama", "Old"));
  EXPECT_EQ(Value("SELECT COUNT(*) FROM MetaInfo WHERE ProfileID LIKE 'edited:%'"), "0");
  auto title = db_->Profiles()->Item(Variant("Key_012345678901"));
  title->Genres()->AddText("Comedy");
  title->SetNotes("mine");
  title->UpdateProfile();
  title->SetNotes("mine, again");  // a second edit keeps the first one's record of the export
  title->UpdateProfile();

  ImportResult result = Import(export_with("Drama", "New"));
  EXPECT_EQ(result.changed_sections, (std::vector<std::string>{"Overview"}));
  EXPECT_EQ(result.kept_sections, (std::vector<std::string>{"Notes", "Genres"}));
  EXPECT_TRUE(result.conflicts.empty());
  EXPECT_EQ(Rows("SELECT Genre FROM Genres ORDER BY Genre"), (Table{{"Comedy"}, {"Drama"}}));
  EXPECT_EQ(Rows("SELECT Notes, Overview FROM Profiles"), (Table{{"mine, again", "New"}}));

  // The export's genre changed too: the genres edited here stay, once reported.
  result = Import(export_with("Horror", "New"));
  EXPECT_EQ(result.conflicts, (std::vector<std::string>{"Genres"}));
  EXPECT_EQ(result.kept_sections, (std::vector<std::string>{"Notes", "Genres"}));
  EXPECT_EQ(Rows("SELECT Genre FROM Genres ORDER BY Genre"), (Table{{"Comedy"}, {"Drama"}}));
  result = Import(export_with("Horror", "Newer"));
  EXPECT_TRUE(result.conflicts.empty());

  // Once the export holds what was edited here, the part follows the export again.
  result =
      Import(Dvd("<Genres><Genre>Comedy</Genre><Genre>Drama</Genre></Genres>"
                 "<Overview>Newer</Overview><Notes>mine, again</Notes>"));
  EXPECT_TRUE(result.kept_sections.empty());
  EXPECT_EQ(Value("SELECT COUNT(*) FROM MetaInfo WHERE ProfileID LIKE 'edited:%'"), "0");
  result = Import(export_with("Western", "Newest"));
  EXPECT_EQ(Rows("SELECT Genre FROM Genres"), (Table{{"Western"}}));

  // A removed title takes its marks along.
  title->SetNotes("gone soon");
  title->UpdateProfile();
  EXPECT_EQ(Value("SELECT COUNT(*) FROM MetaInfo WHERE ProfileID = 'edited:Key_012345678901'"),
            "1");
  RemoveProfileRows(*db_, "Key_012345678901");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM MetaInfo"), "0");
}

TEST_F(ImportTest, BoxSetContentsBecomeChildRows) {
  Import(
      Dvd("<BoxSet><Parent/><Contents><Content>111</Content><Content>222</Content>"
          "<Content>333</Content></Contents></BoxSet>",
          "999"));
  EXPECT_EQ(Rows("SELECT ChildID, BoxSetID FROM BoxSet ORDER BY ChildID"),
            (Table{{"Key_111", "Key_999"}, {"Key_222", "Key_999"}, {"Key_333", "Key_999"}}));
  // A child already in another box set stays there.
  Import(Dvd("<BoxSet><Contents><Content>111</Content><Content>444</Content></Contents></BoxSet>",
             "888"));
  EXPECT_EQ(Value("SELECT BoxSetID FROM BoxSet WHERE ChildID = 'Key_111'"), "Key_999");
  EXPECT_EQ(Value("SELECT BoxSetID FROM BoxSet WHERE ChildID = 'Key_444'"), "Key_888");
  // An empty Contents leaves the box set with none; rows naming it as a child stay.
  Import(Dvd("<BoxSet><Contents/></BoxSet>", "999", "Changed"));
  EXPECT_EQ(Value("SELECT COUNT(*) FROM BoxSet WHERE BoxSetID = 'Key_999'"), "0");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM BoxSet"), "1");
}

TEST_F(ImportTest, DiscsRegionsAndVideoFormat) {
  Import(Dvd(R"(<MediaTypes><DVD>true</DVD></MediaTypes>
    <Discs><Disc><DescriptionSideA>Feature</DescriptionSideA><DiscIDSideA>AB12</DiscIDSideA>
      <LabelSideB>L2</LabelSideB><DualLayeredSideA>True</DualLayeredSideA><DualSided>false</DualSided>
      <Location>Shelf</Location><Slot>4</Slot></Disc><Disc/></Discs>
    <Regions><Region>A</Region><Region>B</Region><Region>All</Region><Region>2</Region></Regions>
    <Format><FormatAspectRatio>2.35</FormatAspectRatio><FormatVideoStandard>PAL</FormatVideoStandard>
      <FormatLetterBox>true</FormatLetterBox><Format16X9>TRUE</Format16X9></Format>)"));
  EXPECT_EQ(Rows("SELECT DiscNo, Description, DiscIDSideA, LabelSideB, DualLayered, DualSided, "
                 "DualLayeredSideB, Flipper, Location, Slot FROM Discs ORDER BY DiscNo"),
            (Table{{"1", "Feature", "AB12", "L2", "True", "False", "False", "False", "Shelf", "4"},
                   {"2", "", "", "", "False", "False", "False", "False", "", ""}}));
  // "2" is there twice (B and 2): the second insert is skipped by the key.
  EXPECT_EQ(Rows("SELECT Region FROM Regions ORDER BY Region"), (Table{{"0"}, {"1"}, {"2"}}));
  EXPECT_EQ(Rows("SELECT AspectRatio, VideoStandard, LetterBox, PanAndScan, FullFrame, F16X9 FROM "
                 "VideoFormat"),
            (Table{{"2.35", "PAL", "True", "False", "False", "True"}}));
  // A Blu-ray edition edits the row and leaves the video standard as it was.
  Import(
      Dvd("<MediaTypes><BluRay>true</BluRay></MediaTypes><Format><FormatAspectRatio>1.78"
          "</FormatAspectRatio><FormatVideoStandard>NTSC</FormatVideoStandard></Format>"));
  EXPECT_EQ(Rows("SELECT AspectRatio, VideoStandard, LetterBox FROM VideoFormat"),
            (Table{{"1.78", "PAL", "False"}}));
}

TEST_F(ImportTest, FeaturesStudiosGenresSubtitlesAudioAndReview) {
  Import(Dvd(R"(<Features><FeatureCommentary>True</FeatureCommentary>
      <FeatureTrailer>false</FeatureTrailer><FeatureUnknown>true</FeatureUnknown>
      <OtherFeatures>Trivia track, Easter eggs,
Booklet</OtherFeatures></Features>
    <Studios><Studio>North Pictures</Studio><Studio/></Studios>
    <MediaPublisher>Disc Press</MediaPublisher>
    <MediaCompanies><MediaCompany>Blue Media</MediaCompany><MediaCompany/></MediaCompanies>
    <Genres><Genre>Drama</Genre><Genre/><Genre>drama</Genre></Genres>
    <Subtitles><Subtitle>English</Subtitle><Subtitle/></Subtitles>
    <Audio><AudioTrack><AudioContent>English</AudioContent><AudioFormat>DTS</AudioFormat>
        <AudioChannels>Dolby Surround</AudioChannels></AudioTrack>
      <AudioTrack><AudioContent>German</AudioContent><AudioChannels>2-Channel Stereo</AudioChannels>
      </AudioTrack><AudioTrack/></Audio>
    <Review Film="8" Video="7" Audio="6" Extras="5"/>)"));
  EXPECT_EQ(Rows("SELECT Feature FROM Features ORDER BY Feature"),
            (Table{{""}, {"Booklet"}, {"Commentary"}, {"Easter eggs"}, {"Trivia track"}}));
  EXPECT_EQ(Rows("SELECT Studio, Type FROM Studios ORDER BY Type, Studio"),
            (Table{{"", ""},
                   {"North Pictures", ""},
                   {"Blue Media", "Media Company"},
                   {"Disc Press", "Media Company"}}));
  EXPECT_EQ(Rows("SELECT Genre FROM Genres"), (Table{{"Drama"}}));
  EXPECT_EQ(Rows("SELECT Subtitle FROM Subtitles ORDER BY Subtitle"), (Table{{""}, {"English"}}));
  EXPECT_EQ(Rows("SELECT OrderPos, Language, Compression, Channels FROM AudioFormats ORDER BY "
                 "OrderPos"),
            (Table{{"1", "English", "DTS", "2.0 Surround"},
                   {"2", "German", "", "2.0 Stereo"},
                   {"3", "", "", ""}}));
  EXPECT_EQ(Rows("SELECT Film, Video, Audio, Extras FROM Reviews"), (Table{{"8", "7", "6", "5"}}));
}

TEST_F(ImportTest, SectionsLeftOutOfATrimmedExportReadAsEmpty) {
  Import(
      Dvd("<Genres><Genre>Drama</Genre></Genres><Discs><Disc/></Discs>"
          "<Review Film=\"1\" Video=\"1\" Audio=\"1\" Extras=\"1\"/>"));
  EXPECT_EQ(Import(Dvd("", "012345678901", "Trimmed")).outcome, ImportOutcome::kChanged);
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Genres"), "0");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Discs"), "0");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Reviews"), "0");
}

TEST_F(ImportTest, PricesCurrenciesAndRetailers) {
  ScopedDecimalSeparator dot(".");
  Import(Dvd(
      R"(<SRP DenominationType="USD" DenominationDesc="US Dollar" FormattedValue="$19.99">19.99</SRP>
    <PurchaseInfo><PurchasePrice DenominationType="EUR" DenominationDesc="Euro" FormattedValue="$21,99">21.99</PurchasePrice>
      <PurchasePlace>Joe's Shop</PurchasePlace><PurchasePlaceType>O</PurchasePlaceType>
      <PurchasePlaceWebsite>www.joe.example</PurchasePlaceWebsite>
      <PurchaseDate>2009-05-13</PurchaseDate></PurchaseInfo>)"));
  EXPECT_EQ(Rows("SELECT CurrencyID, CurrencyName, CurrencySymbol FROM Currencies ORDER BY "
                 "CurrencyID"),
            (Table{{"EUR", "Euro", "$"}, {"USD", "US Dollar", "$"}}));
  EXPECT_EQ(Rows("SELECT SRPValue, CurrencyID FROM SRPInfo"), (Table{{"19.99", "USD"}}));
  EXPECT_EQ(Rows("SELECT Price, CurrencyID, PurchaseDate, PurchasePlace FROM PurchaseInfo"),
            (Table{{"21.99", "EUR", "2009-05-13", "Joe's Shop"}}));
  EXPECT_EQ(Rows("SELECT Name, Type, Website FROM Retailers"),
            (Table{{"Joe's Shop", "Online", "www.joe.example"}}));
}

TEST_F(ImportTest, PriceEdgeCases) {
  // No code: neither currency nor price. A code with no value: no currency, and the price row only
  // when the currency is known. No purchase price: the retailer, but no purchase row.
  Import(
      Dvd("<SRP DenominationType=\"\" FormattedValue=\"$5.00\">5</SRP>"
          "<PurchaseInfo><PurchasePlace>Market</PurchasePlace>"
          "<PurchasePlaceType>L</PurchasePlaceType></PurchaseInfo>",
          "1"));
  Import(Dvd("<SRP DenominationType=\"JPY\" DenominationDesc=\"Yen\" FormattedValue=\"\"/>", "2"));
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Currencies"), "0");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM SRPInfo"), "0");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM PurchaseInfo"), "0");
  EXPECT_EQ(Rows("SELECT Name, Type FROM Retailers"), (Table{{"Market", "Local"}}));
  db_->ExecuteSQL("INSERT INTO Currencies (CurrencyID, CurrencyName) VALUES ('JPY', 'Yen')");
  Import(Dvd("<SRP DenominationType=\"JPY\" DenominationDesc=\"Yen\" FormattedValue=\"\"/>", "2",
             "Changed"));
  EXPECT_EQ(Rows("SELECT ProfileID, SRPValue, CurrencyID FROM SRPInfo"),
            (Table{{"Key_2", "", "JPY"}}));
}

TEST_F(ImportTest, EventsLoansAndTags) {
  db_->ExecuteSQL("INSERT INTO Users (UserID) VALUES ('Anna Berg')");
  Import(Dvd(R"(<Events>
      <Event><EventType>Watched</EventType><Timestamp>2010-04-29T09:44:02Z</Timestamp>
        <User LastName="Hale" PhoneNumber="555" EmailAddress="t@example.org"/></Event>
      <Event><EventType>Borrowed</EventType><User FirstName="Anna" LastName="Berg"/></Event>
      <Event><EventType>Lost</EventType></Event></Events>
    <LoanInfo><Loaned>True</Loaned><Due>2012-01-31</Due><User FirstName="Anna" LastName="Berg"/></LoanInfo>
    <Tags><Tag Name="Shelf 1" FullName="Living Room/Shelf 1"/><Tag Name="Mom's"/>
      <Tag Name="shelf 1" FullName="Attic/Shelf 1"/><Tag Name="Mom's"/></Tags>)"));
  // An event without a time stamp is stored without one (it used to get 1899-12-20).
  EXPECT_EQ(Rows("SELECT UserID, EventType, EventTimeStamp FROM Events ORDER BY EventType"),
            (Table{{"Anna Berg", "Borrowed", ""}, {"Hale", "Watched", "2010-04-29 09:44:02"}}));
  EXPECT_NE(Rows("SELECT EventID FROM Events")[0], Rows("SELECT EventID FROM Events")[1]);
  EXPECT_EQ(Rows("SELECT UserID, PhoneNumber, EmailAddress FROM Users ORDER BY UserID"),
            (Table{{"Anna Berg", "", ""}, {"Hale", "555", "t@example.org"}}));
  EXPECT_EQ(Rows("SELECT UserID, LoanedDue FROM LoanInfo"), (Table{{"Anna Berg", "2012-01-31"}}));
  // Regression: a second tag of one name under another parent was dropped without a word; the
  // same tag twice is still one.
  EXPECT_EQ(
      Rows("SELECT TagName, FullyQualifiedName FROM Tags ORDER BY TagName"),
      (Table{
          {"Attic/Shelf 1", "Attic/Shelf 1"}, {"Mom's", ""}, {"Shelf 1", "Living Room/Shelf 1"}}));
  // Returned: the loan goes and none comes. A loan to someone who is no user yet makes the user,
  // as an event does (the loan used to be dropped).
  Import(Dvd("<LoanInfo><Loaned>false</Loaned></LoanInfo>", "012345678901", "v2"));
  EXPECT_EQ(Value("SELECT COUNT(*) FROM LoanInfo"), "0");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Events"), "0");
  Import(
      Dvd("<LoanInfo><Loaned>true</Loaned><Due>2012-01-31</Due><User FirstName=\"Zed\"/>"
          "</LoanInfo>",
          "012345678901", "v3"));
  EXPECT_EQ(Rows("SELECT UserID FROM LoanInfo"), (Table{{"Zed"}}));
}

// Regression: values the statements placed between quotes unquoted (the ID, codes, symbols,
// dates, websites, scores) ended the import with a syntax error, or let the text change the
// statement.
TEST_F(ImportTest, QuotesInAnyValueAreData) {
  const ImportResult result = Import(Dvd(R"(
    <SRP DenominationType="U'S" DenominationDesc="Bob's $" FormattedValue="'$1.00">1.00</SRP>
    <PurchaseInfo><PurchasePrice DenominationType="U'S" FormattedValue="$2.00">2.00</PurchasePrice>
      <PurchasePlace>Joe's</PurchasePlace><PurchasePlaceType>O'</PurchasePlaceType>
      <PurchasePlaceWebsite>http://x/?a='1'</PurchasePlaceWebsite></PurchaseInfo>
    <BoxSet><Contents><Content>c'1</Content></Contents></BoxSet>
    <Genres><Genre>'); DELETE FROM Profiles; --</Genre></Genres>)",
                                         "12'34", "It's"));
  EXPECT_EQ(result.outcome, ImportOutcome::kNew);
  EXPECT_EQ(Rows("SELECT ProfileID, Title FROM Profiles"), (Table{{"Key_12'34", "It's"}}));
  EXPECT_EQ(Rows("SELECT CurrencyID, CurrencyName FROM Currencies"), (Table{{"U'S", "Bob's $"}}));
  EXPECT_EQ(Rows("SELECT ProfileID, CurrencyID FROM SRPInfo"), (Table{{"Key_12'34", "U'S"}}));
  EXPECT_EQ(Rows("SELECT Website FROM Retailers"), (Table{{"http://x/?a='1'"}}));
  EXPECT_EQ(Rows("SELECT ChildID, BoxSetID FROM BoxSet"), (Table{{"Key_c'1", "Key_12'34"}}));
  EXPECT_EQ(Rows("SELECT Genre FROM Genres"), (Table{{"'); DELETE FROM Profiles; --"}}));
  EXPECT_EQ(Import(Dvd("", "12'34", "It's")).outcome, ImportOutcome::kChanged);
  // A quote in a number column is a value that does not convert, not a broken statement.
  EXPECT_ZEL_ERROR_NUMBER(Import(Dvd("<Regions><Region>1'</Region></Regions>", "5")),
                          store::engine_errc::kDataTypeMismatch);
  EXPECT_ZEL_ERROR_NUMBER(Import(Dvd("<Review Film=\"8'\"/>", "6")),
                          store::engine_errc::kDataTypeMismatch);
}

// Regression: an error half way left the rows written before it.
TEST_F(ImportTest, AFailingTitleLeavesTheCatalogueAsItWas) {
  const std::string broken_discs = "<Discs><Disc><DualSided>perhaps</DualSided></Disc></Discs>";
  EXPECT_ZEL_ERROR(Import(Dvd("<Actors><Actor FirstName=\"Anna\" LastName=\"Berg\"/></Actors>"
                              "<Genres><Genre>Drama</Genre></Genres>" +
                              broken_discs)),
                   13, "Type mismatch: the flag 'perhaps' is neither true nor false");
  for (const char* table : {"Profiles", "CastCrew", "Genres", "MetaInfo", "Discs", "Alias"}) {
    EXPECT_EQ(Value(std::string("SELECT COUNT(*) FROM ") + table), "0") << table;
  }
  Import(Dvd("<Genres><Genre>Drama</Genre></Genres>"));
  const std::string md5 = Value("SELECT MD5 FROM Profiles");
  EXPECT_ZEL_ERROR_NUMBER(
      Import(Dvd("<Genres><Genre>Comedy</Genre></Genres>" + broken_discs, "012345678901", "Other")),
      13);
  EXPECT_EQ(Rows("SELECT Title, MD5 FROM Profiles"), (Table{{"Night River", md5}}));
  EXPECT_EQ(Rows("SELECT Genre FROM Genres"), (Table{{"Drama"}}));
}

TEST_F(ImportTest, BrokenMarkupIsRefusedWithAClearError) {
  EXPECT_ZEL_ERROR(Import("<DVD><ID>1</ID>"), 91,
                   "The title markup is not well-formed XML: Premature end of data in tag DVD "
                   "line 1 (line 1)");
  EXPECT_ZEL_ERROR(Import("<Collection><DVD/></Collection>"), 91,
                   "The title markup has Collection as its document element instead of DVD");
  EXPECT_ZEL_ERROR(Import("<DVD><Title>T</Title><UPC>1</UPC></DVD>"), 91,
                   "The DVD element has no ID element");
  EXPECT_ZEL_ERROR(Import("<DVD><ID>1</ID><UPC>1</UPC></DVD>"), 91,
                   "The DVD element has no Title element");
  EXPECT_ZEL_ERROR(
      Import(Dvd("", "1.x")), 13,
      "Type mismatch: the locality 'x' at the end of the ID '1.x' is not a number of 16 "
      "bits");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles"), "0");
}

TEST_F(ImportTest, ACatalogueOfANewerSchemaIsRefusedWithAWarning) {
  std::vector<std::string> messages;
  const MessageHandler previous =
      SetMessageHandler([&](MessageIcon icon, std::string_view title, std::string_view text) {
        EXPECT_EQ(icon, MessageIcon::kWarning);
        messages.push_back(std::string(title) + ": " + std::string(text));
      });
  db_->SetSchema(90);  // written by a newer program since it was opened
  const ImportResult result = Import(Dvd(""));
  SetMessageHandler(previous);
  EXPECT_EQ(result.outcome, ImportOutcome::kSchemaRefused);
  EXPECT_EQ(messages, (std::vector<std::string>{"Import Profiler XML: Zel Database Version not "
                                                "supported"}));
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles"), "0");
}

TEST_F(ImportTest, OlderSchemasLeaveOutTheColumnsTheyLack) {
  UseOlderSchema(80);
  Import(
      Dvd("<CountAs>2</CountAs><Actors><Actor FirstName=\"A\" LastName=\"B\" "
          "Role=\"Narrator (credit only)\"/></Actors>"));
  EXPECT_EQ(Rows("SELECT Title FROM Profiles WHERE MD5 IS NOT NULL"), (Table{{"Night River"}}));
  EXPECT_EQ(Rows("SELECT Role FROM CastCrew"), (Table{{"Narrator"}}));
}

// Regression: a number beyond 16 bits was stored, and then every read of the profile list failed;
// a list of more than 32767 entries wrapped its positions to negative numbers.
TEST_F(ImportTest, NumbersBeyondSixteenBitsRefuseTheTitleNamingTheField) {
  for (const char* element : {"RunningTime", "ProductionYear", "WishPriority", "CountAs"}) {
    const std::string name(element);
    EXPECT_ZEL_ERROR(Import(Dvd("<" + name + ">70000</" + name + ">")), 3349,
                     "Numeric overflow: the title's " + name +
                         " '70000' is outside the catalogue's range of -32768 to 32767.");
  }
  std::string dividers;
  for (int i = 0; i < 32768; ++i) dividers += "<Divider Type=\"Episode\"/>";
  EXPECT_ZEL_ERROR(Import(Dvd("<Actors>" + dividers + "</Actors>")), 6,
                   "Overflow: the title has more than 32767 cast entries");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles"), "0");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM CastCrew"), "0");
}

// Regression: a list read before an import kept showing the catalogue as it was, and saving it
// deleted the imported title's Profiles row (its credits left behind) and the aliases, users,
// currencies and retailers the import had added.
TEST_F(ImportTest, LoadedListsFollowTheImportAndTheirSavesKeepItsRows) {
  Import(Dvd("", "1", "Old title"));
  auto profiles = db_->Profiles();
  auto old_title = profiles->Item(Variant("Key_1"));
  EXPECT_EQ(old_title->Genres()->Count(), 0);
  auto aliases = db_->Aliases();
  auto users = db_->Users();
  auto currencies = db_->Currencies();
  auto retailers = db_->Retailers();
  Import(Dvd(R"(<Actors><Actor FirstName="Anna" LastName="Berg" CreditedAs="A. Berg"/></Actors>
    <Genres><Genre>Drama</Genre></Genres>
    <Events><Event><EventType>Watched</EventType><User FirstName="Ann"/></Event></Events>
    <PurchaseInfo><PurchasePrice DenominationType="EUR" FormattedValue="€2.00">2.00</PurchasePrice>
      <PurchasePlace>Shop</PurchasePlace></PurchaseInfo>)",
             "1", "New title"));
  Import(Dvd("", "2", "Second"));
  EXPECT_EQ(profiles->CountLong(), 2);
  EXPECT_EQ(old_title->Title(), "New title");  // the same object, read again
  EXPECT_EQ(old_title->Genres()->Count(), 1);
  EXPECT_EQ(aliases->GetCommonName("A. Berg"), "Anna Berg");
  EXPECT_TRUE(users->Exists("Ann"));
  EXPECT_TRUE(currencies->Exists("EUR"));
  EXPECT_TRUE(retailers->Exists("Shop"));
  db_->UpdateDatabase();
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles"), "2");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM CastCrew"), "1");
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Alias"), "1");
  for (const char* table : {"Users", "Currencies", "Retailers", "Events", "PurchaseInfo"}) {
    EXPECT_EQ(Value(std::string("SELECT COUNT(*) FROM ") + table), "1") << table;
  }
}

TEST_F(ImportTest, TheMemberTableEntryImportsAndReturnsNothing) {
  const Variant result =
      Invoke(*db_, "ImportSingleProfilerXMLNode", CallKind::kCall, Args{Variant(Dvd(""))});
  EXPECT_TRUE(result.IsEmpty());
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Profiles"), "1");
}

TEST(ImportWithoutCatalogue, RaisesMissingObject) {
  State().active_database = nullptr;
  EXPECT_ZEL_ERROR(ImportProfilerXml(Dvd("")), 91,
                   "Object variable or With block variable not set");
}

}  // namespace
}  // namespace zel::testing
