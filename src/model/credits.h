// Cast and crew credits: ZelCredit (one person's appearance in a title) and ZelCredits (one ordered
// list of them), with the reading and saving of a profile's two lists in the CastCrew table.
//
// A profile's cast and crew share the table and are told apart by IsCast. Reading joins the Alias
// table so that each credit carries the person's common name. Files below schema 76 keep IsCast as
// the texts 'yes'/'no' and the other flags as "True"/"False"; IsCreditOnly exists from schema 88.
// Positions and birth years are read whole (a stored number beyond 16 bits stays what it is), and
// an empty flag reads as false.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "store/catalogue_link.h"
#include "store/keyed_collection.h"
#include "store/row_images.h"

namespace zel {

class ZelAwards;
namespace store {
class CatalogueFile;
class RecordSet;
}  // namespace store

class ZelCredit : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  // The alias table's common name of Name, or Name itself; set only when a list is read.
  const std::string& CommonName() const { return common_name_; }
  const std::string& Role() const { return role_; }
  void SetRole(std::string role) { role_ = std::move(role); }
  int64_t Position() const { return position_; }
  void SetPosition(int64_t position) { position_ = position; }
  bool IsVoice() const { return is_voice_; }
  void SetIsVoice(bool is_voice) { is_voice_ = is_voice; }
  bool IsUncredited() const { return is_uncredited_; }
  void SetIsUncredited(bool is_uncredited) { is_uncredited_ = is_uncredited; }
  bool IsRegular() const { return is_regular_; }
  void SetIsRegular(bool is_regular) { is_regular_ = is_regular; }
  bool IsCreditOnly() const { return is_credit_only_; }
  void SetIsCreditOnly(bool is_credit_only) { is_credit_only_ = is_credit_only; }
  int64_t BirthYear() const { return birth_year_; }
  void SetBirthYear(int64_t birth_year) { birth_year_ = birth_year; }
  // The person's awards, found by CommonName (by Name for a credit not read from the catalogue,
  // whose CommonName is empty); read once from the credit's catalogue (error 91 without one).
  std::shared_ptr<ZelAwards> Awards();

  // Library-internal.
  void SetCommonName(std::string common_name) { common_name_ = std::move(common_name); }
  CatalogueLink& catalogue() { return catalogue_; }
  // How a credit meets the rows of `table` (CastCrew or TVCastCrew); a crew credit is always
  // stored without IsVoice.
  static const store::RecordShape<ZelCredit>& Shape(store::Table table, bool cast);

 private:
  std::string name_;
  std::string common_name_;
  std::string role_;
  int64_t position_ = 0;
  bool is_voice_ = false;
  bool is_uncredited_ = false;
  bool is_regular_ = false;
  bool is_credit_only_ = false;
  int64_t birth_year_ = 0;
  std::shared_ptr<ZelAwards> awards_;
  CatalogueLink catalogue_;
};

// Credits in list order, without keys: reachable by position only.
class ZelCredits : public TypedCollection<ZelCredit> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelCredit> AddCredit(std::shared_ptr<ZelCredit> credit);
  std::shared_ptr<ZelCredit> Add(std::string name, std::string role, int64_t position,
                                 int64_t birth_year);
};

struct Owner;

// Where an owner's credits are stored: a profile's in CastCrew under its ProfileID, an episode's
// in TVCastCrew under its EpisodeID, whose rows also carry IsRegular (from schema 79).
using CreditTable = store::Table;
inline constexpr CreditTable kProfileCredits = store::Table::kCastCrew;
inline constexpr CreditTable kEpisodeCredits = store::Table::kTVCastCrew;
using CreditsImage = store::ListImage<ZelCredit>;

// Appends the cast (`cast` true) or crew of `owner_id`, ordered by Position, to `credits`, and
// returns their rows. Crew credits never carry IsVoice.
CreditsImage LoadCredits(store::CatalogueFile& database, CreditTable table,
                         std::string_view owner_id, bool cast, ZelCredits& credits);

// Saves the cast (or crew) of `owner` against the rows it was read from (store/row_images.h).
// Two credits with one Name at one Position break the table key and fail with the engine's
// duplicate-key error (3022), naming the credit. Callers run it inside their write scope.
void SaveCredits(store::CatalogueFile& database, CreditTable table, const Owner& owner, bool cast,
                 const ZelCredits& credits, CreditsImage& image);

// The load and save of one list, for the owners' tables of lists (model/load_once.h).
inline auto CreditsLoader(CreditTable table, bool cast) {
  return [=](store::CatalogueFile& database, std::string_view owner_id, ZelCredits& credits) {
    return LoadCredits(database, table, owner_id, cast, credits);
  };
}
inline auto CreditsSaver(CreditTable table, bool cast) {
  return [=](store::CatalogueFile& database, const Owner& owner, const ZelCredits& credits,
             CreditsImage& image) { SaveCredits(database, table, owner, cast, credits, image); };
}

}  // namespace zel
