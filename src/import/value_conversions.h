// Conversions of values in DVD Profiler's collection XML into the forms the catalogue stores: the
// locality number at the end of a title's ID, time stamps, and prices.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zel {

// The country of a DVD Profiler locality number (1 "New Zealand" ... 46 "Romania"); empty text for
// a number DVD Profiler does not define. A title whose ID carries no locality is from the United
// States, which has no number.
std::string CountryName(int16_t number);

// The country of a title from its ID: the number after the last "." (CountryName), or "United
// States" when the ID has no ".". A number that is not a 16-bit integer raises the conversion's
// error (13 or 6).
std::string LocalityOfId(std::string_view id);

// A time stamp as the engine reads it: an ISO form with "T" becomes "YYYY-MM-DD HH:MM:SS" (the
// fraction and zone are dropped), other texts stay as they are, and an empty text becomes
// "1899-12-20".
std::string FixTimestamp(std::string_view text);

// Splits a displayed price ("$19.99", "19,99 €") into amount + "|" + symbol. Scanning from the
// right, the digits and the rightmost "." or decimal separator make the amount; every other
// character goes to the symbol in its order. A symbol that starts with "?" or with a character
// windows-1252 cannot hold becomes "€". Every "." in the amount is then written as the user's
// decimal separator. An empty text gives "|".
std::string SplitPrice(std::string_view formatted_value);

struct Price {
  std::string amount;  // with the user's decimal separator; empty when none is known
  std::string symbol;  // currency symbol without separators and surrounding blanks
};

// The price of a price element. DVD Profiler writes the amount as the element's own text with "."
// as decimal point ("21.99") beside a displayed value in the user's format ("$21,99"); the own text
// is the reliable one, so it is taken when it is a plain number, and the displayed value is split
// (SplitPrice) only when it is not. The symbol always comes from the displayed value.
Price ReadPrice(std::string_view element_text, std::string_view formatted_value);

}  // namespace zel
