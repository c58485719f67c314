#include "collection_generator.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zel::bench {

namespace {

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number in [low, high].
  int Between(int low, int high) {
    return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1));
  }
  bool Chance(int percent) { return Between(1, 100) <= percent; }
  template <class T, size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[static_cast<size_t>(Between(0, static_cast<int>(N) - 1))];
  }

 private:
  uint64_t state_;
};

// Words in windows-1252: "\xe9" is é, "\xfc" ü, "\xf1" ñ, "\x80" €, "\xa3" £.
constexpr std::array<std::string_view, 40> kFirstNames = {
    "Anna", "Tom",   "Ren\xe9", "J\xfcrgen", "Maria", "Paul",  "Lena", "Jos\xe9", "Clara", "Oskar",
    "Ines", "Hugo",  "Mila",    "Felix",     "Nora",  "Emil",  "Ada",  "Bruno",   "Cora",  "Dario",
    "Edda", "Frank", "Greta",   "Hanno",     "Ida",   "Jonas", "Kira", "Lars",    "Mona",  "Nils",
    "Olga", "Piet",  "Quinn",   "Rosa",      "Sven",  "Tilda", "Ulla", "Viktor",  "Wanda", "Xaver"};
constexpr std::array<std::string_view, 12> kMiddleNames = {
    "", "", "", "", "", "", "J.", "Lee", "Maria", "T.", "van", "de la"};
constexpr std::array<std::string_view, 40> kLastNames = {"Berg",
                                                         "Hale",
                                                         "Nu\xf1"
                                                         "ez",
                                                         "Keller",
                                                         "Lindqvist",
                                                         "Moreau",
                                                         "Novak",
                                                         "Okafor",
                                                         "Petrov",
                                                         "Quist",
                                                         "Rossi",
                                                         "Sato",
                                                         "Tanaka",
                                                         "Ulrich",
                                                         "Vidal",
                                                         "Weber",
                                                         "Yilmaz",
                                                         "Zimmer",
                                                         "Adler",
                                                         "Brandt",
                                                         "Castell",
                                                         "Dunn",
                                                         "Eklund",
                                                         "Fischer",
                                                         "Garnier",
                                                         "Horvath",
                                                         "Iversen",
                                                         "Jansen",
                                                         "Kowalski",
                                                         "Lambert",
                                                         "Marsh",
                                                         "Nolan",
                                                         "O'Hara",
                                                         "Pacheco",
                                                         "Reyes",
                                                         "Stone",
                                                         "Thorne",
                                                         "Vance",
                                                         "Winter",
                                                         "Young"};
constexpr std::array<std::string_view, 24> kTitleWords = {
    "Night",   "River",   "Empire", "Silent",   "Crimson", "Garden", "Storm",    "Winter",
    "Caf\xe9", "Harbour", "Echo",   "Iron",     "Glass",   "Shadow", "Summer",   "Last",
    "Golden",  "Distant", "Broken", "Midnight", "Wild",    "Hidden", "Electric", "Paper"};
constexpr std::array<std::string_view, 14> kGenres = {
    "Drama",           "Comedy",  "Thriller", "Horror",           "Action",
    "Science-Fiction", "Romance", "Western",  "Animation",        "Documentary",
    "Musical",         "War",     "Family",   "Suspense/Thriller"};
constexpr std::array<std::string_view, 10> kLanguages = {
    "English",  "German", "French",  "Spanish",    "Italian",
    "Japanese", "Dutch",  "Swedish", "Portuguese", "Czech"};
constexpr std::array<std::string_view, 6> kAudioFormats = {
    "Dolby Digital", "DTS", "PCM", "Dolby TrueHD", "DTS-HD Master Audio", "Dolby Digital Plus"};
constexpr std::array<std::string_view, 6> kChannels = {
    "5.1", "2-Channel Stereo", "Dolby Surround", "Mono", "7.1", "6.1"};
constexpr std::array<std::string_view, 10> kStudios = {
    "Northlight Pictures", "Harbour Films", "Blue Meadow",  "Crescent & Co.",
    "Fjord Studios",       "Lantern House", "Orchid Media", "Paper Moon Productions",
    "Quarry Films",        "Red Kite"};
struct CrewRole {
  std::string_view type;
  std::string_view subtype;
};
constexpr std::array<CrewRole, 24> kCrewRoles = {{
    {"Direction", "Director"},
    {"Direction", "Assistant Director"},
    {"Writing", "Screenwriter"},
    {"Writing", "Writer"},
    {"Writing", "Original Material By"},
    {"Production", "Producer"},
    {"Production", "Executive Producer"},
    {"Production", "Associate Producer"},
    {"Cinematography", "Director of Photography"},
    {"Cinematography", "Camera Operator"},
    {"Film Editing", "Film Editor"},
    {"Music", "Composer"},
    {"Music", "Song Writer"},
    {"Sound", "Sound Designer"},
    {"Sound", "Sound Editor"},
    {"Sound", "Sound Re-Recording Mixer"},
    {"Sound", "Production Sound Mixer"},
    {"Art", "Production Designer"},
    {"Art", "Art Director"},
    {"Art", "Costume Designer"},
    {"Art", "Make-up Artist"},
    {"Art", "Visual Effects"},
    {"Other", "Gaffer"},
    {"Other", "Stunts"},
}};
constexpr std::array<std::string_view, 21> kFeatures = {"FeatureSceneAccess",
                                                        "FeatureCommentary",
                                                        "FeatureTrailer",
                                                        "FeaturePhotoGallery",
                                                        "FeatureDeletedScenes",
                                                        "FeatureMakingOf",
                                                        "FeatureProductionNotes",
                                                        "FeatureGame",
                                                        "FeatureDVDROMContent",
                                                        "FeatureMultiAngle",
                                                        "FeatureMusicVideos",
                                                        "FeatureInterviews",
                                                        "FeatureStoryboardComparisons",
                                                        "FeatureOuttakes",
                                                        "FeatureClosedCaptioned",
                                                        "FeatureTHXCertified",
                                                        "FeaturePIP",
                                                        "FeatureBDLive",
                                                        "FeatureBonusTrailers",
                                                        "FeatureDigitalCopy",
                                                        "FeatureOther"};

struct Person {
  std::string first;
  std::string middle;
  std::string last;
  int birth_year = 0;
  std::string credited_as;  // the other name this person is sometimes credited under
};

std::vector<Person> MakePeople(Random& random, int count) {
  std::vector<Person> people;
  people.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    Person person;
    person.first = random.Pick(kFirstNames);
    person.middle = random.Pick(kMiddleNames);
    person.last = std::string(random.Pick(kLastNames));
    // Many more people than names: a number keeps them apart, as real namesakes are kept apart by
    // DVD Profiler's birth years and suffixes.
    person.last += std::to_string(i / 1000);
    if (random.Chance(2)) person.last += " Jr.";
    person.birth_year = random.Chance(60) ? random.Between(1920, 2005) : 0;
    if (random.Chance(6)) {
      person.credited_as = person.first.substr(0, 1) + ". " + person.last;
    }
    people.push_back(std::move(person));
  }
  return people;
}

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string TwoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

std::string DateText(Random& random, int first_year, int last_year) {
  return std::to_string(random.Between(first_year, last_year)) + "-" +
         TwoDigits(random.Between(1, 12)) + "-" + TwoDigits(random.Between(1, 28));
}

std::string Stamp(Random& random) {
  return DateText(random, 2005, 2012) + "T" + TwoDigits(random.Between(0, 23)) + ":" +
         TwoDigits(random.Between(0, 59)) + ":" + TwoDigits(random.Between(0, 59)) + ".000Z";
}

std::string NameAttributes(const Person& person, bool credited) {
  return "FirstName=\"" + Escape(person.first) + "\" MiddleName=\"" + Escape(person.middle) +
         "\" LastName=\"" + Escape(person.last) + "\" BirthYear=\"" +
         std::to_string(person.birth_year) + "\" CreditedAs=\"" +
         (credited ? Escape(person.credited_as) : std::string()) + "\"";
}

struct Price {
  std::string_view code;
  std::string_view description;
  std::string formatted;
  std::string value;
};

Price MakePrice(Random& random) {
  const int cents = random.Between(499, 4999);
  const std::string whole = std::to_string(cents / 100);
  const std::string fraction = TwoDigits(cents % 100);
  switch (random.Between(0, 2)) {
    case 0:
      return {"USD", "United States (Dollar)", "$" + whole + "." + fraction,
              whole + "." + fraction};
    case 1:
      return {"EUR", "Europe (Euro)", whole + "," + fraction + " \x80", whole + "." + fraction};
    default:
      return {"GBP", "Great Britain (Pound)", "\xa3" + whole + "." + fraction,
              whole + "." + fraction};
  }
}

void WriteTitle(std::ostream& out, Random& random, const std::vector<Person>& people, int index) {
  const long long upc = 100000000000LL + static_cast<long long>(index) * 7919;
  std::string id = std::to_string(upc);
  if (index % 5 == 1) id += ".4";
  if (index % 7 == 2) id += ".5";
  std::string title = std::string(random.Pick(kTitleWords)) + " " +
                      std::string(random.Pick(kTitleWords)) + " " + std::to_string(index);
  const bool bluray = random.Chance(25);
  std::string o;
  o.reserve(24000);
  o += "  <DVD>\n";
  o += "    <ProfileTimestamp>" + Stamp(random) + "</ProfileTimestamp>\n";
  o += "    <ID>" + id + "</ID>\n";
  o += "    <MediaTypes>\n      <DVD>" + std::string(bluray ? "false" : "true") +
       "</DVD>\n      <HDDVD>false</HDDVD>\n      <BluRay>" + (bluray ? "true" : "false") +
       "</BluRay>\n    </MediaTypes>\n";
  o += "    <UPC>" + std::to_string(upc) + "</UPC>\n";
  o += "    <CollectionNumber>" + std::to_string(index + 1) + "</CollectionNumber>\n";
  o += "    <CollectionType>" + std::string(random.Chance(90) ? "Owned" : "Wish List") +
       "</CollectionType>\n";
  o += "    <Title>" + Escape(title) + "</Title>\n    <DistTrait/>\n    <OriginalTitle/>\n";
  o += "    <CountryOfOrigin>United States</CountryOfOrigin>\n";
  o += "    <ProductionYear>" + std::to_string(random.Between(1930, 2011)) + "</ProductionYear>\n";
  o += "    <Released>" + DateText(random, 1998, 2011) + "</Released>\n";
  o += "    <RunningTime>" + std::to_string(random.Between(70, 200)) + "</RunningTime>\n";
  o += "    <RatingSystem>Film</RatingSystem>\n    <Rating>PG-13</Rating>\n";
  o += "    <RatingAge>12</RatingAge>\n    <RatingVariant>0</RatingVariant>\n";
  o += "    <CaseType>Keep Case</CaseType>\n";
  o += "    <CaseSlipCover>" + std::string(random.Chance(20) ? "true" : "false") +
       "</CaseSlipCover>\n";
  o += "    <Genres>\n";
  for (int g = random.Between(1, 4); g > 0; --g) {
    o += "      <Genre>" + Escape(random.Pick(kGenres)) + "</Genre>\n";
  }
  o += "    </Genres>\n    <Regions>\n      <Region>" + std::to_string(random.Between(1, 2)) +
       "</Region>\n    </Regions>\n";
  o += "    <Format>\n      <FormatAspectRatio>" +
       std::string(random.Chance(70) ? "2.35" : "1.85") +
       "</FormatAspectRatio>\n      <FormatVideoStandard>NTSC</FormatVideoStandard>\n"
       "      <FormatLetterBox>true</FormatLetterBox>\n"
       "      <FormatPanAndScan>false</FormatPanAndScan>\n"
       "      <FormatFullFrame>false</FormatFullFrame>\n      <Format16X9>true</Format16X9>\n"
       "    </Format>\n";
  o += "    <Features>\n";
  for (std::string_view feature : kFeatures) {
    if (feature == "FeatureOther") continue;
    o += "      <" + std::string(feature) + ">" + (random.Chance(30) ? "true" : "false") + "</" +
         std::string(feature) + ">\n";
  }
  o += random.Chance(20) ? "      <OtherFeatures>Booklet, Postcards</OtherFeatures>\n"
                         : "      <OtherFeatures/>\n";
  o += "    </Features>\n    <Studios>\n";
  for (int s = random.Between(1, 3); s > 0; --s) {
    o += "      <Studio>" + Escape(random.Pick(kStudios)) + "</Studio>\n";
  }
  o += "    </Studios>\n    <MediaCompanies>\n      <MediaCompany>" +
       Escape(random.Pick(kStudios)) + "</MediaCompany>\n    </MediaCompanies>\n";
  o += "    <Audio>\n";
  for (int a = random.Between(1, 4); a > 0; --a) {
    o += "      <AudioTrack>\n        <AudioContent>" + std::string(random.Pick(kLanguages)) +
         "</AudioContent>\n        <AudioFormat>" + std::string(random.Pick(kAudioFormats)) +
         "</AudioFormat>\n        <AudioChannels>" + std::string(random.Pick(kChannels)) +
         "</AudioChannels>\n      </AudioTrack>\n";
  }
  o += "    </Audio>\n    <Subtitles>\n";
  for (int s = random.Between(0, 6); s > 0; --s) {
    o += "      <Subtitle>" + std::string(random.Pick(kLanguages)) + "</Subtitle>\n";
  }
  o += "    </Subtitles>\n";
  const Price srp = MakePrice(random);
  o += "    <SRP DenominationType=\"" + std::string(srp.code) + "\" DenominationDesc=\"" +
       std::string(srp.description) + "\" FormattedValue=\"" + srp.formatted + "\">" + srp.value +
       "</SRP>\n";

  const auto person = [&]() -> const Person& {
    // A few people appear far more often than the rest, as in real collections.
    const size_t pool = people.size();
    const size_t pick = random.Chance(30) ? static_cast<size_t>(random.Between(0, 199))
                                          : static_cast<size_t>(random.Next() % pool);
    return people[pick];
  };
  o += "    <Actors>\n";
  const int cast = random.Between(20, 60);
  for (int c = 0; c < cast; ++c) {
    if (c == cast / 2 && random.Chance(30)) {
      o += "      <Divider Caption=\"The Band\" Type=\"Group\"/>\n";
    }
    if (c == cast / 2 + 3 && random.Chance(30)) {
      o += "      <Divider Caption=\"\" Type=\"EndDiv\"/>\n";
    }
    const Person& p = person();
    std::string role =
        std::string(random.Pick(kFirstNames)) + " " + std::string(random.Pick(kTitleWords));
    if (random.Chance(5)) role += " (voice)";
    const bool uncredited = random.Chance(5);
    o += "      <Actor " + NameAttributes(p, !p.credited_as.empty() && random.Chance(50)) +
         " Role=\"" + Escape(role) + "\" Voice=\"false\" Uncredited=\"" +
         (uncredited ? "true" : "false") + "\"/>\n";
  }
  o += "    </Actors>\n    <Credits>\n";
  const int crew = random.Between(20, 80);
  for (int c = 0; c < crew; ++c) {
    const Person& p = person();
    const CrewRole& role = random.Pick(kCrewRoles);
    o += "      <Credit " + NameAttributes(p, !p.credited_as.empty() && random.Chance(50)) +
         " CreditType=\"" + std::string(role.type) + "\" CreditSubtype=\"" +
         (role.type == "Other" ? std::string("Custom") : std::string(role.subtype)) + "\"" +
         (role.type == "Other" ? " CustomRole=\"" + std::string(role.subtype) + "\"" : "") + "/>\n";
  }
  o += "    </Credits>\n";
  o += "    <Overview>" + Escape(title) +
       " follows a family across three summers at the edge of a small harbour town.\n"
       "When the storm comes, old debts are called in and nobody is quite who they seemed.\n"
       "A quiet, patient film about what people keep and what they let go.</Overview>\n";
  o += "    <EasterEggs/>\n    <Discs>\n";
  for (int d = random.Between(1, 4), n = 1; n <= d; ++n) {
    o += "      <Disc>\n        <DescriptionSideA>" +
         std::string(n == 1 ? "Main Feature" : "Bonus Material") +
         "</DescriptionSideA>\n        <DescriptionSideB/>\n        <DiscIDSideA>" +
         std::to_string(random.Next() % 100000000000ull) +
         "</DiscIDSideA>\n        <DiscIDSideB/>\n        <LabelSideA/>\n        <LabelSideB/>\n"
         "        <DualLayeredSideA>true</DualLayeredSideA>\n"
         "        <DualLayeredSideB>false</DualLayeredSideB>\n"
         "        <DualSided>false</DualSided>\n        <Location/>\n        <Slot/>\n"
         "      </Disc>\n";
  }
  o += "    </Discs>\n";
  o += "    <SortTitle>" + Escape(title) + "</SortTitle>\n";
  o += "    <LastEdited>" + Stamp(random) + "</LastEdited>\n";
  o += "    <WishPriority>0</WishPriority>\n    <CountAs>1</CountAs>\n";
  const Price paid = MakePrice(random);
  o += "    <PurchaseInfo>\n      <PurchasePrice DenominationType=\"" + std::string(paid.code) +
       "\" DenominationDesc=\"" + std::string(paid.description) + "\" FormattedValue=\"" +
       paid.formatted + "\">" + paid.value + "</PurchasePrice>\n";
  o += "      <PurchasePlace>" + Escape(random.Pick(kStudios)) +
       " Store</PurchasePlace>\n      <PurchasePlaceType>" + (random.Chance(50) ? "O" : "L") +
       "</PurchasePlaceType>\n      <PurchasePlaceWebsite/>\n      <PurchaseDate>" +
       DateText(random, 2000, 2012) + "</PurchaseDate>\n    </PurchaseInfo>\n";
  o += "    <Review Film=\"" + std::to_string(random.Between(0, 10)) + "\" Video=\"" +
       std::to_string(random.Between(0, 10)) + "\" Audio=\"" +
       std::to_string(random.Between(0, 10)) + "\" Extras=\"" +
       std::to_string(random.Between(0, 10)) + "\"/>\n";
  o += "    <MediaBanners Front=\"Automatic\" Back=\"Off\"/>\n";
  o += "    <Events>\n";
  for (int e = random.Between(0, 3); e > 0; --e) {
    const Person& viewer = people[static_cast<size_t>(random.Between(0, 9))];
    o += "      <Event>\n        <EventType>" +
         std::string(random.Chance(50) ? "Watched" : "Borrowed") +
         "</EventType>\n        <Timestamp>" + Stamp(random) + "</Timestamp>\n        <User " +
         "FirstName=\"" + Escape(viewer.first) + "\" LastName=\"" + Escape(viewer.last) +
         "\" EmailAddress=\"\" PhoneNumber=\"\"/>\n      </Event>\n";
  }
  o += "    </Events>\n    <BoxSet>\n      <Parent/>\n      <Contents/>\n    </BoxSet>\n";
  if (random.Chance(3)) {
    const Person& friend_ = people[static_cast<size_t>(random.Between(0, 9))];
    o += "    <LoanInfo>\n      <Loaned>true</Loaned>\n      <Due>" + DateText(random, 2012, 2013) +
         "</Due>\n      <User FirstName=\"" + Escape(friend_.first) + "\" LastName=\"" +
         Escape(friend_.last) + "\"/>\n    </LoanInfo>\n";
  } else {
    o += "    <LoanInfo>\n      <Loaned>false</Loaned>\n    </LoanInfo>\n";
  }
  o += "    <Notes/>\n    <Tags>\n";
  for (int t = random.Between(0, 3); t > 0; --t) {
    const std::string shelf = "Shelf " + std::to_string(random.Between(1, 40));
    o += "      <Tag Name=\"" + shelf + "\" FullName=\"Living Room/" + shelf + "\"/>\n";
  }
  o += "    </Tags>\n  </DVD>\n";
  out << o;
}

}  // namespace

void WriteCollection(std::ostream& out, int titles, uint64_t seed) {
  Random random(seed);
  const std::vector<Person> people = MakePeople(random, 30000);
  out << "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
         "<!--DVD Profiler Collection Export-->\n<Collection>\n";
  for (int i = 0; i < titles; ++i) WriteTitle(out, random, people, i);
  out << "</Collection>\n";
}

}  // namespace zel::bench
