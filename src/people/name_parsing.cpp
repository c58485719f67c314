#include "people/name_parsing.h"

#include <array>
#include <vector>

#include "frame/member_table.h"
#include "frame/reflection.h"
#include "frame/text.h"

namespace zel {
namespace {

// Words that make the next word part of the first name ("Sir Tom"). "de" is here as well as among
// the particles: as the first word it is taken for a title.
constexpr std::array<std::string_view, 28> kTitles = {
    "sir",       "lady",      "madame",   "de",       "capt.",     "lt.",    "captain",
    "mr.",       "miss",      "mrs.",     "ms.",      "dr.",       "ssgt.",  "dr",
    "corporal",  "constable", "sergeant", "reverend", "professor", "prof.",  "dame",
    "inspector", "senator",   "sen.",     "queen",    "king",      "prince", "princess"};

// Words that make the previous word part of the last name ("Hale Jr.").
constexpr std::array<std::string_view, 8> kSuffixes = {"jr.",    "sr.",    "sr", "jr",
                                                       "junior", "senior", "ii", "iii"};

template <size_t N>
bool IsOneOf(const std::array<std::string_view, N>& words, std::string_view lowered) {
  for (std::string_view word : words) {
    if (word == lowered) return true;
  }
  return false;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Length as the names' users count it: in UTF-16 units, so "dé" is two characters.
size_t CharacterCount(std::string_view text) { return Utf8ToUtf16(text).size(); }

// The shape of short name particles such as "van", "de", "la", "el", "St.", "Mc", "Lo"; "lee" has
// the shape but is a given name far more often.
bool HasParticleShape(std::string_view lowered) {
  const size_t length = CharacterCount(lowered);
  if (length < 2 || length > 3) return false;
  if (lowered == "lee") return false;
  if (lowered == "el") return true;
  const char first = lowered.front();
  if (first == 's' || first == 'l' || first == 'n' || first == 'v' || first == 'd') return true;
  return lowered.starts_with("mc") || lowered.starts_with("lo");
}

bool BelongsToMiddleName(std::string_view word) {
  const std::string lowered = ToLower(word);
  // An initial ("J.") is a middle name; "St." and "v." are the dotted particles.
  if (Contains(word, ".") && lowered != "st." && word != "v.") return true;
  return !HasParticleShape(lowered) && !word.ends_with(",");
}

struct NameParts {
  std::string first;
  std::string middle;
  std::string last;
};

NameParts SplitIntoParts(std::string_view name) {
  NameParts parts;
  const std::string lowered = ToLower(name);
  if (Contains(lowered, " the ") || Contains(lowered, "==") || name.starts_with("The ")) {
    parts.first = std::string(name);
    return parts;
  }
  if (name.empty()) return parts;

  const std::vector<std::string> words = Split(name, " ");
  const size_t k = words.size() - 1;
  std::string& first = parts.first;
  std::string& middle = parts.middle;
  std::string& last = parts.last;
  first = words[0];
  if (k == 1) {
    last = words[1];
  } else if (k >= 2) {
    const bool has_suffix = IsOneOf(kSuffixes, ToLower(words[k])) || Contains(words[k], "(");
    // In a three-word name a title and a suffix would both claim the middle word and the name would
    // come out with that word twice; the last name keeps it, as in two-word names.
    const bool has_title = IsOneOf(kTitles, ToLower(words[0])) && !(k == 2 && has_suffix);
    size_t start = 1;
    if (has_title) {
      first += " " + words[1];
      start = 2;
    }
    last = words[k];
    size_t end = k - 1;
    if (has_suffix) {
      last = words[k - 1] + " " + words[k];
      end = k - 2;
    }
    // From the right, particles join the last name until the first other word; every word left of
    // that one is middle name, particle or not.
    bool middle_found = false;
    for (size_t i = end + 1; i > start; --i) {
      const std::string& word = words[i - 1];
      if (middle_found || BelongsToMiddleName(word)) {
        middle = word + " " + middle;
        middle_found = true;
      } else {
        last = word + " " + last;
      }
    }
    if (!middle.empty()) middle.pop_back();
  }
  return parts;
}

}  // namespace

std::string SplitPersonName(std::string_view name) {
  const NameParts parts = SplitIntoParts(name);
  return parts.first + "|" + parts.middle + "|" + parts.last;
}

const ClassInfo& Name::Info() {
  static const ClassInfo info = [] {
    std::vector<Member> reflection = ReflectionMembers();
    ClassInfo built = ClassBuilder<Name>("Name")
                          .Raw(reflection[1])  // ReadProperty
                          .Raw(reflection[2])  // WriteProperty
                          .Property("FullName", &Name::FullName, &Name::SetFullName)
                          .Property("FirstName", &Name::FirstName, &Name::SetFirstName)
                          .Property("LastName", &Name::LastName, &Name::SetLastName)
                          .Property("MiddleName", &Name::MiddleName, &Name::SetMiddleName)
                          .Method("Clear", &Name::Clear)
                          .Property("BirthYear", &Name::BirthYear, &Name::SetBirthYear)
                          .Build();
    // The builder adds the reflection trio as a whole; this class has no GetPropertyList, so the
    // table is taken over with the tolerant reading form and without a factory.
    return ClassInfo(built.name(), built.members(), Reflection::kTolerant, nullptr);
  }();
  return info;
}

void Name::SetFullName(std::string_view full_name) {
  full_name_ = std::string(full_name);
  // Taken from the parts themselves, not from the joined text, so that a "|" inside the name stays
  // in its part instead of shifting the rest into the wrong fields.
  NameParts parts = SplitIntoParts(full_name);
  first_name_ = std::move(parts.first);
  middle_name_ = std::move(parts.middle);
  last_name_ = std::move(parts.last);
}

void Name::SetFirstName(std::string_view first_name) {
  first_name_ = std::string(first_name);
  BuildFullName();
}

void Name::SetMiddleName(std::string_view middle_name) {
  middle_name_ = std::string(middle_name);
  BuildFullName();
}

void Name::SetLastName(std::string_view last_name) {
  last_name_ = std::string(last_name);
  BuildFullName();
}

void Name::Clear() {
  full_name_.clear();
  first_name_.clear();
  middle_name_.clear();
  last_name_.clear();
}

void Name::BuildFullName() {
  // Parts are joined by single blanks; a missing first name leaves no blank in front ("Cher", not
  // " Cher", which no search for the name would find).
  full_name_ = first_name_;
  for (const std::string* part : {&middle_name_, &last_name_}) {
    if (part->empty()) continue;
    if (!full_name_.empty()) full_name_ += " ";
    full_name_ += *part;
  }
}

}  // namespace zel
