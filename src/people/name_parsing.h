// Splitting a person's name into first, middle and last name.
//
// Credited names arrive as one text; the cast import and callers want the parts. The rules are
// tuned to personal names: a title stays with the first name, a junior/senior suffix and name
// particles ("van", "de", "St.") stay with the last name, and the rest between the first and the
// last word is the middle name. Stored name parts depend on these rules, so they change only
// together with the data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frame/object.h"

namespace zel {

// Returns first + "|" + middle + "|" + last for the UTF-8 text `name`. Parts may be empty; the
// result always has exactly these two separators added, and a "|" inside `name` is not escaped, so
// a caller that splits the result must not expect exactly three pieces for such a name.
//
// Words are separated by single spaces and nothing is trimmed: two spaces in a row make an empty
// word, which ends up in the (then dropped) middle name. A name containing " the " or "==" (any
// case), or starting with "The ", is not a personal name and is returned whole as the first name. A
// title
// ("Sir", "Dr.", ...) is joined to the following word only in names of three words or more. Never
// fails.
std::string SplitPersonName(std::string_view name);

// The parts of one person's name, kept in step with the full text. Library-internal: not creatable
// by callers. Its interface offers ReadProperty (tolerant: an unknown name reads as Empty) and
// WriteProperty, but no GetPropertyList.
class Name : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& FullName() const { return full_name_; }
  const std::string& FirstName() const { return first_name_; }
  const std::string& MiddleName() const { return middle_name_; }
  const std::string& LastName() const { return last_name_; }
  int16_t BirthYear() const { return birth_year_; }

  // Keeps `full_name` exactly as given (spacing, punctuation) and splits it into the three parts.
  void SetFullName(std::string_view full_name);
  // Each stores its part and rebuilds the full name in single-spaced form, so a full name given as
  // a whole loses its own spacing once a part is set.
  void SetFirstName(std::string_view first_name);
  void SetMiddleName(std::string_view middle_name);
  void SetLastName(std::string_view last_name);
  // Empties the full name and the parts; the birth year stays.
  void Clear();
  void SetBirthYear(int16_t birth_year) { birth_year_ = birth_year; }

 private:
  void BuildFullName();

  std::string first_name_;
  std::string middle_name_;
  std::string last_name_;
  std::string full_name_;
  int16_t birth_year_ = 0;
};

}  // namespace zel
