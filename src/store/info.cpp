#include "store/info.h"

#include "frame/member_table.h"
#include "frame/text.h"

namespace zel {

const ClassInfo& ZelInfo::Info() {
  static const ClassInfo info = ClassBuilder<ZelInfo>("ZelInfo")
                                    .Creatable()
                                    .WithReflection(Reflection::kPlain)
                                    .Property("Name", &ZelInfo::Name, &ZelInfo::SetName)
                                    .Property("Value", &ZelInfo::Value, &ZelInfo::SetValue)
                                    .Property("InfoType", &ZelInfo::InfoType, &ZelInfo::SetInfoType)
                                    .Build();
  return info;
}

const ClassInfo& ZelInfos::Info() {
  static const ClassInfo info = ClassBuilder<ZelInfos>("ZelInfos")
                                    .Creatable()
                                    .Get("Count", &ZelInfos::Count)
                                    .Method("Item", &ZelInfos::Item, {Param("vntIndexKey")})
                                    .Default()
                                    .Method("Remove", &ZelInfos::Remove, {Param("vntIndexKey")})
                                    .Method("RemoveAll", &ZelInfos::RemoveAll)
                                    .Get("NewEnum", &ZelInfos::NewEnum)
                                    .Enumerator()
                                    .Method("AddInfo", &ZelInfos::AddInfo, {Param("Info")})
                                    .Method("Add", &ZelInfos::Add, {Param("Name"), Param("Value")})
                                    .Method("Exists", &ZelInfos::Exists, {Param("InfoName")})
                                    .Method("GetInfo", &ZelInfos::GetInfo, {Param("InfoName")})
                                    .Build();
  return info;
}

const store::RecordShape<ZelInfo>& ZelInfo::Shape(store::Table table) {
  static const store::RecordShape<ZelInfo> with_type(
      store::Table::kAdditionalInfo,
      {store::FieldOf("Name", &ZelInfo::name_), store::FieldOf("Value", &ZelInfo::value_),
       store::FieldOf("InfoType", &ZelInfo::info_type_)});
  static const store::RecordShape<ZelInfo> without_type(
      store::Table::kMetaInfo,
      {store::FieldOf("Name", &ZelInfo::name_), store::FieldOf("Value", &ZelInfo::value_)});
  return table == store::Table::kMetaInfo ? without_type : with_type;
}

std::string ZelInfos::KeyOf(const Object& item) const {
  return static_cast<const ZelInfo&>(item).Name();
}

std::shared_ptr<ZelInfo> ZelInfos::AddInfo(std::shared_ptr<ZelInfo> info) {
  AddExisting(info);
  return info;
}

std::shared_ptr<ZelInfo> ZelInfos::Add(std::string name, std::string value) {
  auto info = std::make_shared<ZelInfo>();
  info->SetValue(std::move(value));
  info->SetName(std::move(name));
  AddExisting(info);
  return info;
}

bool ZelInfos::Exists(std::string_view info_name) const {
  return AnyOf<ZelInfo>([&](const ZelInfo& info) { return EqualsFolded(info.Name(), info_name); });
}

std::string ZelInfos::GetInfo(std::string_view info_name) const {
  for (const auto& info : All()) {
    if (EqualsFolded(info->Name(), info_name)) return info->Value();
  }
  return {};
}

}  // namespace zel
