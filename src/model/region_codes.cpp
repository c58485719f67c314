#include "model/region_codes.h"

#include "frame/text.h"

namespace zel::model {

bool HasBluRayRegions(std::string_view medium) {
  bool blu_ray = false;
  for (const std::string& part : Split(medium, "/")) {
    const std::string name = ToLower(Trim(part));
    if (name == "dvd") return false;
    if (name.find("blu-ray") != std::string::npos) blu_ray = true;
  }
  return blu_ray;
}

std::string RegionLabel(std::string_view medium, std::string_view code) {
  const std::string text = Trim(code);
  if (text == "0") return "All";
  if (HasBluRayRegions(medium) && text.size() == 1 && text[0] >= '1' && text[0] <= '3') {
    return std::string(1, static_cast<char>('A' + (text[0] - '1')));
  }
  return text;
}

}  // namespace zel::model
