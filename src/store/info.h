// ZelInfo, one named information value, and ZelInfos, the list of them keyed by name.
#pragma once

#include <string>

#include "store/keyed_collection.h"
#include "store/row_images.h"

namespace zel {

class ZelInfo : public Object {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& Value() const { return value_; }
  void SetValue(std::string value) { value_ = std::move(value); }
  const std::string& InfoType() const { return info_type_; }
  void SetInfoType(std::string info_type) { info_type_ = std::move(info_type); }

  // How an information entry meets the rows of AdditionalInfo or MetaInfo (which has no type).
  static const store::RecordShape<ZelInfo>& Shape(store::Table table);

 private:
  std::string name_;
  std::string value_;
  std::string info_type_;
};

// Keyed by Name. Exists and GetInfo compare names as the key does (ASCII letters in either case),
// visiting members in order.
class ZelInfos : public TypedCollection<ZelInfo> {
 public:
  static const ClassInfo& Info();
  const ClassInfo& Class() const override { return Info(); }

  std::shared_ptr<ZelInfo> AddInfo(std::shared_ptr<ZelInfo> info);
  std::shared_ptr<ZelInfo> Add(std::string name, std::string value);
  bool Exists(std::string_view info_name) const;
  // Value of the first member of that exact name; empty text when there is none.
  std::string GetInfo(std::string_view info_name) const;

 protected:
  std::string KeyOf(const Object& item) const override;
};

}  // namespace zel
